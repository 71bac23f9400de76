#include "corekit/datafile.h"

#include <climits>
#include <cstdint>

#include "corekit/atomicfile.h"
#include "corekit/straw.h"

namespace {

std::u16string Fold(const MyString& name) { return MyString::FoldCase(name.str()); }

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view TrimLeft(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::u16string_view Trim(std::u16string_view s) {
  s = TrimLeft(s);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

enum class Field { kKey, kValue, kSection };

// Backslash escapes for whatever the line layout would otherwise eat or
// misread: control characters, blanks at the ends, '\' itself, and in key
// names the '=' separator and a leading section or comment marker.
void AppendEscaped(std::u16string& out, const std::u16string& text, Field field) {
  static const char16_t kHex[] = u"0123456789ABCDEF";
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool atEnd = i == 0 || i + 1 == text.size();
    if (c == u'\\') {
      out += u"\\\\";
    } else if (c == u'\n') {
      out += u"\\n";
    } else if (c == u'\r') {
      out += u"\\r";
    } else if (c == u'\t') {
      out += u"\\t";
    } else if (c < 0x20 || c == 0x7F) {
      out += u"\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else if (c == u' ' && atEnd) {
      out += u"\\s";
    } else if (field == Field::kKey &&
               (c == u'=' || (i == 0 && (c == u'[' || c == u';' || c == u'#')))) {
      out += u'\\';
      out += c;
    } else {
      out += c;
    }
  }
}

MyString Unescape(std::u16string_view raw) {
  std::u16string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    const char16_t c = raw[i];
    if (c != u'\\' || i + 1 == raw.size()) {
      out += c;
      continue;
    }
    const char16_t next = raw[i + 1];
    switch (next) {
      case u'\\':
      case u'=':
      case u'[':
      case u';':
      case u'#':
        out += next;
        ++i;
        break;
      case u'n':
        out += u'\n';
        ++i;
        break;
      case u'r':
        out += u'\r';
        ++i;
        break;
      case u't':
        out += u'\t';
        ++i;
        break;
      case u's':
        out += u' ';
        ++i;
        break;
      case u'x':
        if (i + 3 < raw.size() && HexDigit(raw[i + 2]) >= 0 && HexDigit(raw[i + 3]) >= 0) {
          out += char16_t(HexDigit(raw[i + 2]) * 16 + HexDigit(raw[i + 3]));
          i += 3;
        } else {
          out += c;  // not an escape: keep the backslash as text
        }
        break;
      default:
        out += c;
        break;
    }
  }
  return MyString(std::move(out));
}

// Position of the first '=' that is not escaped, or npos.
size_t FindSeparator(std::u16string_view line) {
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == u'\\')
      ++i;
    else if (line[i] == u'=')
      return i;
  }
  return std::u16string_view::npos;
}

std::u16string_view DropCarriageReturns(std::u16string_view line) {
  while (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
  return line;
}

// One comment line per line of the comment. Line ends cannot carry a '\r',
// and a comment that is one empty line is no comment.
void AppendComment(std::u16string& out, const MyString& comment) {
  std::u16string_view rest = comment.str();
  if (DropCarriageReturns(rest).empty()) return;
  for (;;) {
    const size_t end = rest.find(u'\n');
    const std::u16string_view line = DropCarriageReturns(rest.substr(0, end));
    out += line.empty() ? u";" : u"; ";
    out += line;
    out += u'\n';
    if (end == std::u16string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
}

MyString JoinLines(const std::vector<std::u16string>& lines) {
  std::u16string joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) joined += u'\n';
    joined += lines[i];
  }
  return MyString(std::move(joined));
}

}  // namespace

CDataFile::CDataFile(const MyString& path) { Load(path); }

CDataFile::~CDataFile() {
  // Callers that change a file and drop the object rely on it being written.
  if (m_bDirty && !m_strFileName.IsEmpty()) Save();
}

void CDataFile::Clear() {
  if (!m_sections.empty() || !m_strClosingComment.IsEmpty()) m_bDirty = true;
  m_sections.clear();
  m_sectionIndex.clear();
  m_strClosingComment = MyString();
}

int CDataFile::Load(const MyString& path) {
  Clear();
  m_bDirty = false;
  m_strFileName = path;
  std::string bytes;
  if (!ReadWholeFile(path, &bytes, 64u << 20, &m_strLastError)) return 0;
  LoadFromText(bytes);
  return 1;
}

void CDataFile::LoadFromText(std::string_view utf8) {
  Clear();
  if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  const MyString text = CStrAW::a_toW(utf8);
  std::u16string_view rest = text.str();

  // Index, not pointer: creating a section may move the others.
  size_t current = SIZE_MAX;  // the unnamed section until a header is read
  std::vector<std::u16string> pending;
  bool seenEntry = false;
  for (bool more = !rest.empty(); more;) {
    const size_t end = rest.find(u'\n');
    std::u16string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::u16string_view::npos ? rest.size() : end + 1);
    more = !rest.empty();  // the newline ending the last line opens no new one
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);

    const std::u16string_view left = TrimLeft(line);
    const std::u16string_view trimmed = Trim(line);
    if (trimmed.empty()) {
      // A comment block at the top set off by a blank line describes the file.
      if (!seenEntry && !pending.empty()) {
        Section& global = GetOrCreateSection(MyString());
        std::vector<std::u16string> lines;
        if (!global.strComment.IsEmpty()) lines.push_back(global.strComment.str());
        lines.insert(lines.end(), pending.begin(), pending.end());
        global.strComment = JoinLines(lines);
        pending.clear();
      }
      continue;
    }
    if (left[0] == u';' || left[0] == u'#') {
      std::u16string_view comment = DropCarriageReturns(left.substr(1));
      if (!comment.empty() && comment[0] == u' ') comment.remove_prefix(1);
      pending.emplace_back(comment);
      continue;
    }
    if (trimmed[0] == u'[') {
      const size_t close = trimmed.rfind(u']');
      const std::u16string_view inner =
          close == 0 ? trimmed.substr(1) : trimmed.substr(1, close - 1);
      Section& section = GetOrCreateSection(Unescape(Trim(inner)));
      current = size_t(&section - m_sections.data());
      if (!pending.empty()) {
        if (!section.strComment.IsEmpty())
          pending.insert(pending.begin(), section.strComment.str());
        section.strComment = JoinLines(pending);
        pending.clear();
      }
      seenEntry = true;
      continue;
    }
    const size_t separator = FindSeparator(trimmed);
    if (separator == std::u16string_view::npos) continue;  // damaged line
    MyString key = Unescape(Trim(trimmed.substr(0, separator)));
    if (key.IsEmpty()) continue;
    if (current == SIZE_MAX) current = size_t(&GetOrCreateSection(MyString()) - m_sections.data());
    Section& section = m_sections[current];
    const std::u16string folded = Fold(key);
    seenEntry = true;
    if (section.index.count(folded)) {  // the first of duplicate keys wins
      pending.clear();
      continue;
    }
    section.index.emplace(folded, section.keys.size());
    section.keys.push_back(
        Key{std::move(key), Unescape(Trim(trimmed.substr(separator + 1))), JoinLines(pending)});
    pending.clear();
  }
  if (!pending.empty()) m_strClosingComment = JoinLines(pending);
  m_bDirty = false;
}

std::string CDataFile::ToText() const {
  std::u16string out;
  auto appendKeys = [&out](const Section& section) {
    for (const Key& key : section.keys) {
      AppendComment(out, key.strComment);
      AppendEscaped(out, key.strName.str(), Field::kKey);
      out += u'=';
      AppendEscaped(out, key.strValue.str(), Field::kValue);
      out += u'\n';
    }
  };
  if (const Section* global = FindSection(MyString())) {
    if (!global->strComment.IsEmpty()) {
      AppendComment(out, global->strComment);
      out += u'\n';
    }
    appendKeys(*global);
  }
  for (const Section& section : m_sections) {
    if (section.strName.IsEmpty()) continue;
    if (!out.empty() && !out.ends_with(u"\n\n")) out += u'\n';
    AppendComment(out, section.strComment);
    out += u'[';
    AppendEscaped(out, section.strName.str(), Field::kSection);
    out += u"]\n";
    appendKeys(section);
  }
  if (!m_strClosingComment.IsEmpty()) {
    if (!out.empty() && !out.ends_with(u"\n\n")) out += u'\n';
    AppendComment(out, m_strClosingComment);
  }
  // Reading drops one leading byte-order mark, so a first key that starts
  // with that character needs one in front of it to survive.
  const std::string bom = !out.empty() && out[0] == 0xFEFF ? "\xEF\xBB\xBF" : "";
  return bom + CStrAW::w_toA(MyString(std::move(out)));
}

int CDataFile::Save() {
  if (m_strFileName.IsEmpty()) {
    m_strLastError = u"The data file has no file name";
    return 0;
  }
  if (!WriteFileAtomically(m_strFileName, ToText(), &m_strLastError)) return 0;
  m_bDirty = false;
  return 1;
}

CDataFile::Section* CDataFile::FindSection(const MyString& section) {
  const auto it = m_sectionIndex.find(Fold(section));
  return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

const CDataFile::Section* CDataFile::FindSection(const MyString& section) const {
  const auto it = m_sectionIndex.find(Fold(section));
  return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

CDataFile::Section& CDataFile::GetOrCreateSection(const MyString& section) {
  if (Section* found = FindSection(section)) return *found;
  m_bDirty = true;
  if (section.IsEmpty()) {
    // The unnamed section is written first (its keys precede any header),
    // so it is kept first in memory too.
    m_sections.insert(m_sections.begin(), Section{section, MyString(), {}, {}});
    for (auto& entry : m_sectionIndex) ++entry.second;
    m_sectionIndex.emplace(Fold(section), 0);
    return m_sections.front();
  }
  m_sectionIndex.emplace(Fold(section), m_sections.size());
  m_sections.push_back(Section{section, MyString(), {}, {}});
  return m_sections.back();
}

CDataFile::Key* CDataFile::FindKey(const MyString& key, const MyString& section) {
  Section* found = FindSection(section);
  if (!found) return nullptr;
  const auto it = found->index.find(Fold(key));
  return it == found->index.end() ? nullptr : &found->keys[it->second];
}

const CDataFile::Key* CDataFile::FindKey(const MyString& key, const MyString& section) const {
  const Section* found = FindSection(section);
  if (!found) return nullptr;
  const auto it = found->index.find(Fold(key));
  return it == found->index.end() ? nullptr : &found->keys[it->second];
}

void CDataFile::Reindex(Section& section) {
  section.index.clear();
  for (size_t i = 0; i < section.keys.size(); ++i)
    section.index.emplace(Fold(section.keys[i].strName), i);
}

int CDataFile::CreateSection(const MyString& section, const MyString& comment) {
  Section& found = GetOrCreateSection(section);
  if (!comment.IsEmpty() && !(found.strComment == comment)) {
    found.strComment = comment;
    m_bDirty = true;
  }
  return 1;
}

int CDataFile::CreateKey(const MyString& key, const MyString& value, const MyString& comment,
                         const MyString& section) {
  if (key.IsEmpty()) return 0;
  if (!SetValue(key, value, MyString(), section)) return 0;
  return SetKeyComment(key, comment, section);
}

int CDataFile::SetValue(const MyString& key, const MyString& value, const MyString& comment,
                        const MyString& section) {
  if (key.IsEmpty()) return 0;
  Section& found = GetOrCreateSection(section);
  const std::u16string folded = Fold(key);
  const auto it = found.index.find(folded);
  if (it == found.index.end()) {
    found.index.emplace(folded, found.keys.size());
    found.keys.push_back(Key{key, value, comment});
    m_bDirty = true;
    return 1;
  }
  Key& existing = found.keys[it->second];
  if (!(existing.strValue == value)) {
    existing.strValue = value;
    m_bDirty = true;
  }
  if (!comment.IsEmpty() && !(existing.strComment == comment)) {
    existing.strComment = comment;
    m_bDirty = true;
  }
  return 1;
}

int CDataFile::SetInt(const MyString& key, int32_t number, const MyString& comment,
                      const MyString& section) {
  return SetValue(key, CStrAW::printf(u"%d", int(number)), comment, section);
}

int CDataFile::SetKeyComment(const MyString& key, const MyString& comment,
                             const MyString& section) {
  Key* found = FindKey(key, section);
  if (!found) return 0;
  if (!(found->strComment == comment)) {
    found->strComment = comment;
    m_bDirty = true;
  }
  return 1;
}

int CDataFile::SetSectionComment(const MyString& section, const MyString& comment) {
  Section* found = FindSection(section);
  if (!found) return 0;
  if (!(found->strComment == comment)) {
    found->strComment = comment;
    m_bDirty = true;
  }
  return 1;
}

void CDataFile::SetClosingComment(const MyString& comment) {
  if (m_strClosingComment == comment) return;
  m_strClosingComment = comment;
  m_bDirty = true;
}

int CDataFile::DeleteKey(const MyString& key, const MyString& section) {
  Section* found = FindSection(section);
  if (!found) return 0;
  const auto it = found->index.find(Fold(key));
  if (it == found->index.end()) return 0;
  found->keys.erase(found->keys.begin() + ptrdiff_t(it->second));
  Reindex(*found);
  m_bDirty = true;
  return 1;
}

int CDataFile::DeleteSection(const MyString& section) {
  const auto it = m_sectionIndex.find(Fold(section));
  if (it == m_sectionIndex.end()) return 0;
  m_sections.erase(m_sections.begin() + ptrdiff_t(it->second));
  m_sectionIndex.clear();
  for (size_t i = 0; i < m_sections.size(); ++i)
    m_sectionIndex.emplace(Fold(m_sections[i].strName), i);
  m_bDirty = true;
  return 1;
}

MyString CDataFile::GetValue(const MyString& key, const MyString& section) const {
  const Key* found = FindKey(key, section);
  return found ? found->strValue : MyString();
}

int32_t CDataFile::GetInt(const MyString& key, const MyString& section) const {
  const Key* found = FindKey(key, section);
  return found ? ParseInt(found->strValue) : 0;
}

MyString CDataFile::GetKeyComment(const MyString& key, const MyString& section) const {
  const Key* found = FindKey(key, section);
  return found ? found->strComment : MyString();
}

MyString CDataFile::GetSectionComment(const MyString& section) const {
  const Section* found = FindSection(section);
  return found ? found->strComment : MyString();
}

bool CDataFile::HasKey(const MyString& key, const MyString& section) const {
  return FindKey(key, section) != nullptr;
}

bool CDataFile::HasSection(const MyString& section) const {
  return FindSection(section) != nullptr;
}

MyStringList CDataFile::GetSectionNames() const {
  MyStringList names;
  for (const Section& section : m_sections) {
    if (section.strName.IsEmpty() && section.keys.empty() && section.strComment.IsEmpty()) continue;
    names.Append(section.strName);
  }
  return names;
}

MyStringList CDataFile::GetKeyNames(const MyString& section) const {
  MyStringList names;
  if (const Section* found = FindSection(section))
    for (const Key& key : found->keys) names.Append(key.strName);
  return names;
}

int32_t CDataFile::ParseInt(const MyString& text) {
  std::u16string_view s = TrimLeft(text.str());
  bool negative = false;
  if (!s.empty() && (s[0] == u'-' || s[0] == u'+')) {
    negative = s[0] == u'-';
    s.remove_prefix(1);
  }
  int64_t value = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') break;
    value = value * 10 + (c - u'0');
    if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;  // clamp, keep going
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return int32_t(value);
}
