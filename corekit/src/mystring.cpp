#include "corekit/mystring.h"

#include <QChar>
#include <QString>
#include <algorithm>

#include "corekit/straw.h"

namespace {

char16_t FoldChar(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
  return QChar::toCaseFolded(c);
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

MyString MyString::FromUtf8(std::string_view utf8) { return CStrAW::a_toW(utf8); }
std::string MyString::ToUtf8() const { return CStrAW::w_toA(*this); }
MyString MyString::FromQString(const QString& s) {
  return MyString(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
}
QString MyString::ToQString() const {
  return QString::fromUtf16(m_str.data(), qsizetype(m_str.size()));
}

int MyString::Compare(const MyString& rhs) const {
  const std::u16string& a = m_str;
  const std::u16string& b = rhs.m_str;
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      // Compare the numbers by value: skip leading zeros, then the longer
      // run is larger, then the first differing digit decides.
      size_t si = i, sj = j;
      while (si < a.size() && a[si] == u'0') ++si;
      while (sj < b.size() && b[sj] == u'0') ++sj;
      size_t ei = si, ej = sj;
      while (ei < a.size() && IsDigit(a[ei])) ++ei;
      while (ej < b.size() && IsDigit(b[ej])) ++ej;
      if (ei - si != ej - sj) return (ei - si < ej - sj) ? -1 : 1;
      for (size_t k = 0; k < ei - si; ++k)
        if (a[si + k] != b[sj + k]) return a[si + k] < b[sj + k] ? -1 : 1;
      i = ei;
      j = ej;
      continue;
    }
    const char16_t ca = FoldChar(a[i]), cb = FoldChar(b[j]);
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  // Equal to the eye: fall back to code units so only equal strings give 0.
  return a == b ? 0 : (a < b ? -1 : 1);
}

bool MyString::EqualsNoCase(const MyString& rhs) const {
  if (m_str.size() != rhs.m_str.size()) return false;
  for (size_t i = 0; i < m_str.size(); ++i)
    if (FoldChar(m_str[i]) != FoldChar(rhs.m_str[i])) return false;
  return true;
}

std::u16string MyString::FoldCase(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& c : folded) c = FoldChar(c);
  return folded;
}

MyString& MyString::erase(size_t pos, size_t n) {
  if (pos < m_str.size()) m_str.erase(pos, n);
  return *this;
}

MyString MyString::Mid(size_t pos, size_t n) const {
  if (pos >= m_str.size()) return MyString();
  return MyString(m_str.substr(pos, n));
}

MyString MyString::ToLower() const { return FromQString(ToQString().toLower()); }
MyString MyString::ToUpper() const { return FromQString(ToQString().toUpper()); }

size_t MyString::NameStart() const {
  const size_t slash = m_str.rfind(u'/');
  return slash == npos ? 0 : slash + 1;
}

size_t MyString::ExtensionStart() const {
  const size_t name = NameStart();
  const size_t dot = m_str.rfind(u'.');
  if (dot == npos || dot < name || dot == name) return npos;
  return dot;
}

MyString MyString::GetStringPath() const {
  const size_t slash = m_str.rfind(u'/');
  if (slash == npos) return MyString();
  if (slash == 0) return MyString(u"/");
  return MyString(m_str.substr(0, slash));
}

MyString MyString::GetStringTitle() const {
  const size_t name = NameStart();
  const size_t ext = ExtensionStart();
  return MyString(m_str.substr(name, ext == npos ? npos : ext - name));
}

MyString MyString::GetStringTitleExt() const { return MyString(m_str.substr(NameStart())); }

MyString MyString::GetStringExtension() const {
  const size_t ext = ExtensionStart();
  return ext == npos ? MyString() : MyString(m_str.substr(ext));
}

void MyString::tSetStringExtension(const MyString& ext) {
  const size_t start = ExtensionStart();
  if (start != npos) m_str.erase(start);
  if (ext.IsEmpty()) return;
  if (ext[0] != u'.') m_str += u'.';
  m_str += ext.m_str;
}

void MyString::tShaveFirstChar(size_t n) { m_str.erase(0, std::min(n, m_str.size())); }

void MyString::tShaveLastChar(size_t n) { m_str.resize(m_str.size() - std::min(n, m_str.size())); }

void MyStringList::tSortList() {
  std::sort(m_items.begin(), m_items.end(),
            [](const MyString& a, const MyString& b) { return a.Compare(b) < 0; });
}

int MyStringList::ConvertFromMOFN(const char16_t* buffer, size_t count) {
  std::vector<MyString> parts;
  size_t start = 0;
  for (size_t i = 0; i <= count; ++i) {
    if (i == count || buffer[i] == u'\0') {
      if (i == start) break;  // an empty part ends the list
      parts.emplace_back(buffer + start, i - start);
      start = i + 1;
    }
  }
  if (parts.empty()) return 0;
  if (parts.size() == 1) {
    Append(parts[0]);
    return 1;
  }
  MyString folder = parts[0];
  if (folder.GetLength() > 0 && folder[folder.GetLength() - 1] != u'/') folder += u'/';
  for (size_t i = 1; i < parts.size(); ++i) Append(folder + parts[i]);
  return int(parts.size() - 1);
}

MyString MyStringList::ConvertToSFO() const {
  std::u16string out;
  for (const MyString& s : m_items) {
    out += s.str();
    out += u'\0';
  }
  out += u'\0';
  return MyString(std::move(out));
}
