#include "shell/mimeappslist.h"

#include <cstdlib>

#include "corekit/atomicfile.h"
#include "corekit/platform.h"
#include "corekit/straw.h"

namespace {

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool IsHeader(const std::string& line) {
  const std::string trimmed = Trim(line);
  return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']';
}

// The key of a "key=value" line (blanks around '=' allowed), else empty.
std::string KeyOf(const std::string& line) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed[0] == '#' || trimmed[0] == '[') return std::string();
  const size_t eq = trimmed.find('=');
  if (eq == std::string::npos) return std::string();
  return Trim(trimmed.substr(0, eq));
}

}  // namespace

MyString CMimeAppsList::GetUserFilePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const MyString folder =
      (config && *config == '/') ? CStrAW::a_toW(config) : GetHomeFolder() + u"/.config";
  return folder + u"/mimeapps.list";
}

int CMimeAppsList::Load(const MyString& path) {
  m_strPath = path;
  m_lines.clear();
  m_bFinalNewline = true;
  std::string bytes;
  if (!ReadWholeFile(path, &bytes, 16u << 20, &m_strLastError)) {
    CFileInfo info;
    return GetFileInfo(path, &info) ? 0 : 1;  // missing: start empty
  }
  m_bFinalNewline = bytes.empty() || bytes.back() == '\n';
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    m_lines.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return 1;
}

std::string CMimeAppsList::ToText() const {
  std::string text;
  for (size_t i = 0; i < m_lines.size(); ++i) {
    text += m_lines[i];
    if (i + 1 < m_lines.size() || m_bFinalNewline) text += '\n';
  }
  return text;
}

int CMimeAppsList::Save() { return WriteFileAtomically(m_strPath, ToText(), &m_strLastError); }

int CMimeAppsList::FindSection(const std::string& section) const {
  const std::string header = "[" + section + "]";
  for (size_t i = 0; i < m_lines.size(); ++i)
    if (Trim(m_lines[i]) == header) return int(i);
  return -1;
}

int CMimeAppsList::FindKey(int header, const std::string& key) const {
  for (size_t i = size_t(header) + 1; i < m_lines.size() && !IsHeader(m_lines[i]); ++i)
    if (KeyOf(m_lines[i]) == key) return int(i);
  return -1;
}

bool CMimeAppsList::GetValue(const std::string& section, const std::string& key,
                             std::string* value) const {
  const int header = FindSection(section);
  const int line = header < 0 ? -1 : FindKey(header, key);
  if (line < 0) return false;
  const std::string& text = m_lines[size_t(line)];
  *value = Trim(text.substr(text.find('=') + 1));
  return true;
}

void CMimeAppsList::SetValue(const std::string& section, const std::string& key,
                             const std::string& value) {
  int header = FindSection(section);
  if (header < 0) {
    if (!m_lines.empty() && !Trim(m_lines.back()).empty()) m_lines.push_back(std::string());
    m_lines.push_back("[" + section + "]");
    m_bFinalNewline = true;
    header = int(m_lines.size()) - 1;
  }
  const int line = FindKey(header, key);
  if (line >= 0) {
    m_lines[size_t(line)] = key + "=" + value;
    return;
  }
  // After the section's last entry, before the blank lines that end it.
  size_t insertAt = size_t(header) + 1;
  for (size_t i = insertAt; i < m_lines.size() && !IsHeader(m_lines[i]); ++i)
    if (!Trim(m_lines[i]).empty()) insertAt = i + 1;
  m_lines.insert(m_lines.begin() + long(insertAt), key + "=" + value);
}

void CMimeAppsList::RemoveKey(const std::string& section, const std::string& key) {
  const int header = FindSection(section);
  const int line = header < 0 ? -1 : FindKey(header, key);
  if (line >= 0) m_lines.erase(m_lines.begin() + line);
}

std::vector<std::string> CMimeAppsList::SplitList(const std::string& value) {
  std::vector<std::string> ids;
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find(';', start);
    if (end == std::string::npos) end = value.size();
    const std::string id = Trim(value.substr(start, end - start));
    if (!id.empty()) ids.push_back(id);
    start = end + 1;
  }
  return ids;
}

std::string CMimeAppsList::JoinList(const std::vector<std::string>& ids) {
  std::string value;
  for (const std::string& id : ids) value += id + ';';
  return value;
}
