#include "corekit/registry.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "corekit/atomicfile.h"
#include "corekit/platform.h"
#include "corekit/straw.h"

namespace {

constexpr char16_t kRootName[] = u"HKEY_CURRENT_USER";
constexpr char kFileHeader[] = "Windows Registry Editor Version 5.00";

std::u16string Fold(std::u16string_view name) { return MyString::FoldCase(name); }

struct RegValue {
  MyString strName;
  uint32_t nType = REG_NONE;
  uint32_t dwValue = 0;
  MyString strValue;
};

struct RegKey {
  MyString strPath;  // as first written, '\' between names
  std::vector<RegValue> values;

  RegValue* Find(const MyString& name) {
    const std::u16string folded = Fold(name.str());
    for (RegValue& value : values)
      if (Fold(value.strName.str()) == folded) return &value;
    return nullptr;
  }
};

// Keys by folded path; a parent sorts before its children.
using RegTree = std::map<std::u16string, RegKey>;

struct RegOp {
  enum Kind { kSetValue, kDeleteValue, kCreateKey, kDeleteKey } kind;
  MyString strKey;
  RegValue value;  // kSetValue: the value; kDeleteValue: its name
};

// A key path split into names, without empty ones; false for names that
// cannot be stored (control characters).
bool SplitPath(const MyString& path, std::vector<std::u16string>* names) {
  names->clear();
  std::u16string current;
  for (char16_t c : path.str()) {
    if (c < 0x20 || c == 0x7F) return false;
    if (c == u'\\') {
      if (!current.empty()) names->push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) names->push_back(std::move(current));
  return true;
}

std::u16string Join(const std::vector<std::u16string>& names, size_t count) {
  std::u16string path;
  for (size_t i = 0; i < count; ++i) {
    if (i) path += u'\\';
    path += names[i];
  }
  return path;
}

// The key for a validated list of names, created with the keys above it;
// names that exist keep their first spelling.
RegKey& EnsureKey(RegTree& tree, const std::vector<std::u16string>& names) {
  RegKey* key = nullptr;
  std::u16string spelled;
  for (size_t depth = 0; depth <= names.size(); ++depth) {
    if (depth > 0) {
      if (depth > 1) spelled += u'\\';
      spelled += names[depth - 1];
    }
    const std::u16string folded = Fold(Join(names, depth));
    auto it = tree.find(folded);
    if (it == tree.end()) it = tree.emplace(folded, RegKey{MyString(spelled), {}}).first;
    key = &it->second;
    spelled = key->strPath.str();
  }
  return *key;
}

RegKey* FindKey(RegTree& tree, const std::vector<std::u16string>& names) {
  const auto it = tree.find(Fold(Join(names, names.size())));
  return it == tree.end() ? nullptr : &it->second;
}

bool EraseSubtree(RegTree& tree, const std::vector<std::u16string>& names) {
  if (names.empty()) return false;  // the root stays
  const std::u16string folded = Fold(Join(names, names.size()));
  const auto it = tree.find(folded);
  if (it == tree.end()) return false;
  const std::u16string prefix = folded + u'\\';
  auto end = std::next(it);
  while (end != tree.end() && end->first.starts_with(prefix)) ++end;
  tree.erase(it, end);
  return true;
}

void Apply(RegTree& tree, const RegOp& op) {
  std::vector<std::u16string> names;
  if (!SplitPath(op.strKey, &names)) return;
  switch (op.kind) {
    case RegOp::kCreateKey:
      EnsureKey(tree, names);
      break;
    case RegOp::kDeleteKey:
      EraseSubtree(tree, names);
      break;
    case RegOp::kSetValue: {
      RegKey& key = EnsureKey(tree, names);
      if (RegValue* existing = key.Find(op.value.strName)) {
        const MyString spelling = existing->strName;
        *existing = op.value;
        existing->strName = spelling;
      } else {
        key.values.push_back(op.value);
      }
      break;
    }
    case RegOp::kDeleteValue:
      if (RegKey* key = FindKey(tree, names)) {
        const std::u16string folded = Fold(op.value.strName.str());
        std::erase_if(key->values,
                      [&](const RegValue& v) { return Fold(v.strName.str()) == folded; });
      }
      break;
  }
}

// --- The text form ---

void AppendQuoted(std::string& out, const MyString& text) {
  static const char kHex[] = "0123456789ABCDEF";
  out += '"';
  for (char c : CStrAW::w_toA(text)) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (u < 0x20 || u == 0x7F) {
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 0xF];
    } else {
      out += c;
    }
  }
  out += '"';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text starting at line[pos] == '"'; pos ends after the
// closing quote. An unknown escape keeps its backslash.
bool ReadQuoted(std::string_view line, size_t& pos, std::string* text) {
  text->clear();
  for (++pos; pos < line.size(); ++pos) {
    const char c = line[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c != '\\' || pos + 1 == line.size()) {
      *text += c;
      continue;
    }
    const char next = line[pos + 1];
    if (next == '\\' || next == '"') {
      *text += next;
      ++pos;
    } else if (next == 'n') {
      *text += '\n';
      ++pos;
    } else if (next == 'r') {
      *text += '\r';
      ++pos;
    } else if (next == 't') {
      *text += '\t';
      ++pos;
    } else if (next == 'x' && pos + 3 < line.size() && HexDigit(line[pos + 2]) >= 0 &&
               HexDigit(line[pos + 3]) >= 0) {
      *text += char(HexDigit(line[pos + 2]) * 16 + HexDigit(line[pos + 3]));
      pos += 3;
    } else {
      *text += c;
    }
  }
  return false;  // no closing quote
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// A value line: "name"=dword:0000004b, "name"="text", @=... for the unnamed
// value. False for anything else.
bool ParseValueLine(std::string_view line, RegValue* value) {
  size_t pos = 0;
  std::string name;
  if (line[0] == '@') {
    pos = 1;
  } else if (!ReadQuoted(line, pos, &name)) {
    return false;
  }
  const std::string_view rest = Trim(line.substr(pos));
  if (rest.empty() || rest[0] != '=') return false;
  const std::string_view data = Trim(rest.substr(1));
  if (data.empty()) return false;
  value->strName = CStrAW::a_toW(name);
  if (data[0] == '"') {
    size_t end = 0;
    std::string text;
    if (!ReadQuoted(data, end, &text) || end != data.size()) return false;
    value->nType = REG_SZ;
    value->strValue = CStrAW::a_toW(text);
    return true;
  }
  constexpr std::string_view kDword = "dword:";
  if (data.size() > kDword.size() && data.size() <= kDword.size() + 8 &&
      Fold(CStrAW::a_toW(data.substr(0, kDword.size())).str()) == u"dword:") {
    uint32_t number = 0;
    for (char c : data.substr(kDword.size())) {
      const int digit = HexDigit(c);
      if (digit < 0) return false;
      number = (number << 4) | uint32_t(digit);
    }
    value->nType = REG_DWORD;
    value->dwValue = number;
    return true;
  }
  return false;  // other types (hex:, deletions) are not ours
}

// The path below HKEY_CURRENT_USER of a "[...]" line, or false for a line
// of another root, a deletion or a damaged header.
bool ParseHeader(std::string_view line, std::vector<std::u16string>* names) {
  if (line.size() < 2 || line.back() != ']') return false;
  const MyString inner = CStrAW::a_toW(line.substr(1, line.size() - 2));
  const std::u16string root = kRootName;
  const std::u16string folded = Fold(inner.str());
  const std::u16string foldedRoot = Fold(root);
  if (!folded.starts_with(foldedRoot)) return false;
  if (folded.size() > root.size() && folded[root.size()] != u'\\') return false;
  return SplitPath(inner.Mid(root.size()), names);
}

RegTree ParseRegText(std::string_view text) {
  RegTree tree;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  RegKey* current = nullptr;  // null: values are skipped until a good header
  std::vector<std::u16string> names;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      current = ParseHeader(line, &names) ? &EnsureKey(tree, names) : nullptr;
      continue;
    }
    if (!current || (line[0] != '"' && line[0] != '@')) continue;
    RegValue value;
    if (!ParseValueLine(line, &value)) continue;
    // A name given twice: the later line wins, as when importing the file.
    RegOp op{RegOp::kSetValue, current->strPath, std::move(value)};
    Apply(tree, op);
  }
  return tree;
}

std::string FormatRegText(const RegTree& tree) {
  std::string out = kFileHeader;
  out += "\n\n";
  char number[16];
  for (const auto& [folded, key] : tree) {
    if (key.strPath.IsEmpty() && key.values.empty()) continue;  // the bare root
    out += '[';
    out += CStrAW::w_toA(MyString(kRootName));
    if (!key.strPath.IsEmpty()) {
      out += '\\';
      out += CStrAW::w_toA(key.strPath);
    }
    out += "]\n";
    for (const RegValue& value : key.values) {
      if (value.strName.IsEmpty())
        out += '@';
      else
        AppendQuoted(out, value.strName);
      out += '=';
      if (value.nType == REG_DWORD) {
        std::snprintf(number, sizeof number, "dword:%08x", value.dwValue);
        out += number;
      } else {
        AppendQuoted(out, value.strValue);
      }
      out += '\n';
    }
    out += '\n';
  }
  return out;
}

struct FileStamp {
  bool bExists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};

  static FileStamp Of(const std::string& path) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return stamp;
    stamp.bExists = true;
    stamp.dev = st.st_dev;
    stamp.ino = st.st_ino;
    stamp.size = st.st_size;
    stamp.mtime = st.st_mtim;
    return stamp;
  }
  bool operator==(const FileStamp& o) const {
    return bExists == o.bExists && dev == o.dev && ino == o.ino && size == o.size &&
           mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
  }
};

// Holds an advisory lock on the lock file beside the store for its lifetime.
class CFileLockGuard {
 public:
  explicit CFileLockGuard(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) return;
    while (::flock(m_fd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(m_fd);
        m_fd = -1;
        return;
      }
    }
  }
  ~CFileLockGuard() {
    if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
  }
  bool IsLocked() const { return m_fd >= 0; }

 private:
  int m_fd = -1;
};

}  // namespace

struct CRegistryStore::Impl {
  MyString strFile;
  std::string file;
  std::string lockFile;
  std::mutex mutex;
  RegTree tree;  // the file as last read or written, with the pending changes applied
  std::vector<RegOp> pending;
  FileStamp stamp;
  bool bLoaded = false;
  MyString strLastError;

  // Reads the file (a missing one is empty); false when it exists but
  // cannot be read, so that a write would destroy what it holds.
  bool ReadDisk(RegTree* result) {
    std::string bytes;
    MyString error;
    if (!ReadWholeFile(strFile, &bytes, 64u << 20, &error)) {
      std::error_code ec;
      if (std::filesystem::exists(file, ec) || ec) {
        strLastError = error;
        return false;
      }
      bytes.clear();
    }
    *result = ParseRegText(bytes);
    return true;
  }

  void RefreshLocked() {
    const FileStamp now = FileStamp::Of(file);
    if (bLoaded && now == stamp) return;
    RegTree fresh;
    if (!ReadDisk(&fresh)) return;  // keep what we have
    for (const RegOp& op : pending) Apply(fresh, op);
    tree = std::move(fresh);
    stamp = now;
    bLoaded = true;
  }

  void Record(RegOp op) {
    RefreshLocked();
    Apply(tree, op);
    pending.push_back(std::move(op));
  }
};

CRegistryStore::CRegistryStore(const MyString& filePath) : m(std::make_unique<Impl>()) {
  m->strFile = filePath;
  m->file = CStrAW::ToPath(filePath).string();
  m->lockFile = m->file + ".lock";
}

CRegistryStore::~CRegistryStore() { Flush(); }

CRegistryStore& CRegistryStore::Instance() {
  static CRegistryStore store(GetConfigFolder() + u"/registry.reg");
  return store;
}

const MyString& CRegistryStore::GetFilePath() const { return m->strFile; }

MyString CRegistryStore::GetLastError() const {
  std::lock_guard lock(m->mutex);
  return m->strLastError;
}

void CRegistryStore::Refresh() {
  std::lock_guard lock(m->mutex);
  m->RefreshLocked();
}

int CRegistryStore::Flush() {
  std::lock_guard lock(m->mutex);
  if (m->pending.empty()) return 1;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(m->file).parent_path(), ec);
  CFileLockGuard fileLock(m->lockFile);
  if (!fileLock.IsLocked()) {
    m->strLastError = CStrAW::printf(u"Cannot lock \"%S\"", m->lockFile.c_str());
    return 0;
  }
  // Another program may have written since we read: start from its file.
  RegTree merged;
  if (!m->ReadDisk(&merged)) return 0;
  for (const RegOp& op : m->pending) Apply(merged, op);
  if (!WriteFileAtomically(m->strFile, FormatRegText(merged), &m->strLastError)) return 0;
  m->tree = std::move(merged);
  m->pending.clear();
  m->stamp = FileStamp::Of(m->file);
  m->bLoaded = true;
  return 1;
}

int CRegistryStore::KeyExists(const MyString& key) {
  std::vector<std::u16string> names;
  if (!SplitPath(key, &names)) return 0;
  std::lock_guard lock(m->mutex);
  m->RefreshLocked();
  return FindKey(m->tree, names) ? 1 : 0;
}

int CRegistryStore::CreateKey(const MyString& key) {
  std::vector<std::u16string> names;
  if (!SplitPath(key, &names)) return 0;
  std::lock_guard lock(m->mutex);
  m->RefreshLocked();
  if (FindKey(m->tree, names)) return 1;
  m->Record(RegOp{RegOp::kCreateKey, key, {}});
  return 1;
}

int CRegistryStore::DeleteKey(const MyString& key) {
  std::vector<std::u16string> names;
  if (!SplitPath(key, &names) || names.empty()) return 0;
  std::lock_guard lock(m->mutex);
  m->RefreshLocked();
  if (!FindKey(m->tree, names)) return 0;
  m->Record(RegOp{RegOp::kDeleteKey, key, {}});
  return 1;
}

int CRegistryStore::GetDword(const MyString& key, const MyString& name, uint32_t* value) {
  std::vector<std::u16string> names;
  if (!SplitPath(key, &names)) return 0;
  std::lock_guard lock(m->mutex);
  m->RefreshLocked();
  RegKey* found = FindKey(m->tree, names);
  const RegValue* stored = found ? found->Find(name) : nullptr;
  if (!stored || stored->nType != REG_DWORD) return 0;
  *value = stored->dwValue;
  return 1;
}

int CRegistryStore::GetString(const MyString& key, const MyString& name, MyString* value) {
  std::vector<std::u16string> names;
  if (!SplitPath(key, &names)) return 0;
  std::lock_guard lock(m->mutex);
  m->RefreshLocked();
  RegKey* found = FindKey(m->tree, names);
  const RegValue* stored = found ? found->Find(name) : nullptr;
  if (!stored || stored->nType != REG_SZ) return 0;
  *value = stored->strValue;
  return 1;
}

uint32_t CRegistryStore::GetValueType(const MyString& key, const MyString& name) {
  std::vector<std::u16string> names;
  if (!SplitPath(key, &names)) return REG_NONE;
  std::lock_guard lock(m->mutex);
  m->RefreshLocked();
  RegKey* found = FindKey(m->tree, names);
  const RegValue* stored = found ? found->Find(name) : nullptr;
  return stored ? stored->nType : REG_NONE;
}

int CRegistryStore::SetDword(const MyString& key, const MyString& name, uint32_t value) {
  std::vector<std::u16string> names;
  if (!SplitPath(key, &names)) return 0;
  std::lock_guard lock(m->mutex);
  m->Record(RegOp{RegOp::kSetValue, key, RegValue{name, REG_DWORD, value, MyString()}});
  return 1;
}

int CRegistryStore::SetString(const MyString& key, const MyString& name, const MyString& value) {
  std::vector<std::u16string> names;
  if (!SplitPath(key, &names)) return 0;
  std::lock_guard lock(m->mutex);
  m->Record(RegOp{RegOp::kSetValue, key, RegValue{name, REG_SZ, 0, value}});
  return 1;
}

int CRegistryStore::DeleteValue(const MyString& key, const MyString& name) {
  std::vector<std::u16string> names;
  if (!SplitPath(key, &names)) return 0;
  std::lock_guard lock(m->mutex);
  m->RefreshLocked();
  RegKey* found = FindKey(m->tree, names);
  if (!found || !found->Find(name)) return 0;
  m->Record(RegOp{RegOp::kDeleteValue, key, RegValue{name, REG_NONE, 0, MyString()}});
  return 1;
}

int CRegistryStore::EnumValueNames(const MyString& key, MyStringList* names) {
  std::vector<std::u16string> path;
  if (!SplitPath(key, &path)) return 0;
  std::lock_guard lock(m->mutex);
  m->RefreshLocked();
  RegKey* found = FindKey(m->tree, path);
  if (!found) return 0;
  for (const RegValue& value : found->values) names->Append(value.strName);
  return 1;
}

int CRegistryStore::EnumSubKeys(const MyString& key, MyStringList* names) {
  std::vector<std::u16string> path;
  if (!SplitPath(key, &path)) return 0;
  std::lock_guard lock(m->mutex);
  m->RefreshLocked();
  const std::u16string folded = Fold(Join(path, path.size()));
  const auto it = m->tree.find(folded);
  if (it == m->tree.end()) return 0;
  const std::u16string prefix = folded.empty() ? folded : folded + u'\\';
  for (auto child = std::next(it); child != m->tree.end() && child->first.starts_with(prefix);
       ++child) {
    const std::u16string_view rest = std::u16string_view(child->first).substr(prefix.size());
    if (rest.find(u'\\') != std::u16string_view::npos) continue;  // deeper down
    const std::u16string& spelled = child->second.strPath.str();
    names->Append(MyString(spelled.substr(spelled.size() - rest.size())));
  }
  return 1;
}

// --- CRegistry ---

namespace {

MyString JoinKey(const MyString& base, const MyString& sub) {
  if (base.IsEmpty()) return sub;
  if (sub.IsEmpty()) return base;
  return base + u'\\' + sub;
}

}  // namespace

CRegistry::CRegistry(HKEY root, const MyString& path, bool bCreate, CRegistryStore* store)
    : m_pStore(store ? store : &CRegistryStore::Instance()), m_strBase(path) {
  m_bValidRoot = root == HKEY_CURRENT_USER;
  if (m_bValidRoot) Open(path, bCreate);
}

CRegistry::~CRegistry() {
  if (m_bChanged) m_pStore->Flush();
}

int CRegistry::Open(const MyString& path, bool bCreate) {
  m_bOpen = false;
  if (m_pStore->KeyExists(path)) {
    m_bOpen = true;
  } else if (bCreate && m_pStore->CreateKey(path)) {
    m_bOpen = true;
    m_bChanged = true;
  }
  if (m_bOpen) m_strKey = path;
  return m_bOpen ? 1 : 0;
}

int CRegistry::SetSubKey(const MyString& subKey, bool bCreate) {
  if (!m_bValidRoot) return 0;
  return Open(JoinKey(m_strBase, subKey), bCreate);
}

int CRegistry::GetValue(const MyString& name, uint32_t& value) const {
  return m_bOpen && m_pStore->GetDword(m_strKey, name, &value);
}

int CRegistry::GetValue(const MyString& name, int32_t& value) const {
  uint32_t stored = 0;
  if (!GetValue(name, stored)) return 0;
  value = int32_t(stored);
  return 1;
}

int CRegistry::GetValue(const MyString& name, MyString& value) const {
  return m_bOpen && m_pStore->GetString(m_strKey, name, &value);
}

int CRegistry::SetValue(const MyString& name, uint32_t value) {
  if (!m_bOpen || !m_pStore->SetDword(m_strKey, name, value)) return 0;
  m_bChanged = true;
  return 1;
}

int CRegistry::SetValue(const MyString& name, int32_t value) {
  return SetValue(name, uint32_t(value));
}

int CRegistry::SetValue(const MyString& name, const MyString& value) {
  if (!m_bOpen || !m_pStore->SetString(m_strKey, name, value)) return 0;
  m_bChanged = true;
  return 1;
}

int CRegistry::DeleteValue(const MyString& name) {
  if (!m_bOpen || !m_pStore->DeleteValue(m_strKey, name)) return 0;
  m_bChanged = true;
  return 1;
}

uint32_t CRegistry::GetValueType(const MyString& name) const {
  return m_bOpen ? m_pStore->GetValueType(m_strKey, name) : REG_NONE;
}

int CRegistry::DeleteKey(const MyString& subKey) {
  if (!m_bOpen || subKey.IsEmpty()) return 0;
  if (!m_pStore->DeleteKey(JoinKey(m_strKey, subKey))) return 0;
  m_bChanged = true;
  return 1;
}

int CRegistry::EnumValueNames(MyStringList& names) const {
  return m_bOpen && m_pStore->EnumValueNames(m_strKey, &names);
}

int CRegistry::EnumSubKeys(MyStringList& names) const {
  return m_bOpen && m_pStore->EnumSubKeys(m_strKey, &names);
}

int CRegistry::Flush() {
  if (!m_bOpen) return 0;
  return m_pStore->Flush();
}
