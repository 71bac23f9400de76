#include "pixwork/sortdir.h"

#include <QChar>
#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <stdio.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <utility>

#include "corekit/straw.h"
#include "pixwork/formats.h"
#include "pixwork/sortsettings.h"

namespace {

enum SortMode : uint32_t {
  kByName = 0,
  kByExtension = 1,
  kBySize = 2,
  kByDate = 3,
  kByTaken = kSortByExifDate
};

std::atomic<ExifDateReader> g_exifDateReader{nullptr};

// The taken date, else the last write: undated files sort among the dated.
FILETIME64 TakenKey(const CFileEntry& entry) {
  return entry.ftTaken ? entry.ftTaken : entry.ftLastWriteTime;
}

// The extension of a file name without its dot, as a "*.E" pattern sees
// it: the text after the last dot, wherever that dot is (".jpg" is a JPEG
// file). Empty when the name has no dot or ends with one.
template <typename Char>
std::basic_string_view<Char> ExtensionOfName(std::basic_string_view<Char> name) {
  const size_t dot = name.rfind(Char('.'));
  if (dot == std::basic_string_view<Char>::npos) return {};
  return name.substr(dot + 1);
}

std::u16string_view NameOfPath(const MyString& path) {
  const std::u16string& s = path.str();
  const size_t slash = s.rfind(u'/');
  return slash == std::u16string::npos ? std::u16string_view(s)
                                       : std::u16string_view(s).substr(slash + 1);
}

std::u16string_view ExtensionOfPath(const MyString& path) {
  return ExtensionOfName(NameOfPath(path));
}

char16_t UpperAToZ(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

// The extensions a scan lists, each once whatever its letter case: ASCII
// ones folded for a quick byte test, others kept for a full comparison.
class CExtensionSet {
 public:
  explicit CExtensionSet(const std::vector<MyString>& extensions) {
    for (const MyString& extension : extensions) {
      if (extension.EqualsNoCase(MyString(u"LRM"))) continue;  // portfolios are not images
      std::string ascii;
      bool isAscii = true;
      for (char16_t c : extension.str()) {
        if (c >= 0x80) {
          isAscii = false;
          break;
        }
        ascii += char(c >= u'A' && c <= u'Z' ? c + 32 : c);
      }
      if (isAscii) {
        if (std::find(m_ascii.begin(), m_ascii.end(), ascii) == m_ascii.end())
          m_ascii.push_back(ascii);
      } else {
        m_wide.push_back(extension);
      }
    }
  }

  bool Contains(std::string_view extension) const {
    bool isAscii = true;
    char folded[16];
    if (extension.size() > sizeof(folded)) isAscii = false;
    for (size_t i = 0; isAscii && i < extension.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(extension[i]);
      if (c >= 0x80) isAscii = false;
      folded[i] = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    if (isAscii) {
      const std::string_view key(folded, extension.size());
      for (const std::string& known : m_ascii)
        if (known == key) return true;
      return false;
    }
    const MyString wide = CStrAW::a_toW(extension);
    for (const MyString& known : m_wide)
      if (known.EqualsNoCase(wide)) return true;
    for (const std::string& known : m_ascii)
      if (CStrAW::a_toW(known).EqualsNoCase(wide)) return true;
    return false;
  }

 private:
  std::vector<std::string> m_ascii;
  std::vector<MyString> m_wide;
};

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// directory + name (valid UTF-8) in one allocation for the common case.
MyString JoinPath(const MyString& directory, std::string_view name) {
  if (!IsAscii(name)) return directory + CStrAW::a_toW(name);
  std::u16string path;
  path.reserve(directory.GetLength() + name.size());
  path = directory.str();
  for (char c : name) path += char16_t(c);
  return MyString(std::move(path));
}

FILETIME64 FileTime(const struct statx_timestamp& t) {
  return FileTimeFromUnix(t.tv_sec, t.tv_nsec);
}

constexpr unsigned kStatxFacts = STATX_TYPE | STATX_SIZE | STATX_MTIME;

// A link is followed only when it stays inside the folder (or below it).
bool LinkStaysInside(const std::string& folderReal, const std::string& linkPath) {
  char* resolved = realpath(linkPath.c_str(), nullptr);
  if (!resolved) return false;
  const std::string target(resolved);
  free(resolved);
  return target.size() > folderReal.size() &&
         target.compare(0, folderReal.size(), folderReal) == 0 &&
         (folderReal.back() == '/' || target[folderReal.size()] == '/');
}

// What a scan keeps of a statx call.
struct CEntryFacts {
  bool bRead = false;
  mode_t nMode = 0;
  uint64_t nSize = 0;
  struct statx_timestamp tWritten {};
};

CEntryFacts ReadFacts(int folderFd, const char* name, int flags) {
  struct statx st {};
  CEntryFacts facts;
  if (statx(folderFd, name, flags | AT_STATX_SYNC_AS_STAT, kStatxFacts, &st) != 0) return facts;
  facts.bRead = true;
  facts.nMode = st.stx_mode;
  facts.nSize = st.stx_size;
  facts.tWritten = st.stx_mtime;
  return facts;
}

// Below this many names a second thread costs more than it saves.
constexpr size_t kNamesPerStatThread = 2048;

// Runs range over [0, count) split over the cores: on a large folder the
// stat calls are most of the time and scale with the cores.
void InParts(size_t count, const std::function<void(size_t, size_t)>& range) {
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t parts = std::min(cores, std::max<size_t>(1, count / kNamesPerStatThread));
  std::vector<std::thread> helpers;
  const size_t step = count / parts;
  for (size_t part = 1; part < parts; ++part) {
    const size_t first = part * step;
    const size_t last = part + 1 == parts ? count : first + step;
    try {
      helpers.emplace_back(range, first, last);
    } catch (const std::system_error&) {
      range(first, last);  // no thread to spare: do it here
    }
  }
  range(0, parts > 1 ? step : count);
  for (std::thread& helper : helpers) helper.join();
}

// Everything a scan needs about one folder, read once. The names are read
// first and stat-ed afterwards, split over the cores; with facts later a
// regular file is not stat-ed at all.
class CFolderScan {
 public:
  CFolderScan(const MyString& directory, std::vector<std::unique_ptr<CFileEntry>>* files,
              bool bFactsLater)
      : m_directory(directory),
        m_files(files),
        m_extensions(GetSupportedExtensions()),
        m_bFactsLater(bFactsLater) {}

  void Run(bool withoutExtension) {
    if (m_directory.IsEmpty()) return;
    const std::string folder = CStrAW::w_toA(m_directory);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    DIR* dir = fdopendir(fd);
    if (!dir) {
      close(fd);
      return;
    }
    ReadNames(dir, withoutExtension);
    const std::vector<CEntryFacts> facts = StatNames(fd);
    std::string folderReal;  // resolved only when a link needs it
    for (size_t i = 0; i < m_nameEnds.size(); ++i) {
      const size_t begin = i == 0 ? 0 : m_nameEnds[i - 1];
      const std::string_view name(m_names.data() + begin, m_nameEnds[i] - begin - 1);
      if (m_bLater[i]) {
        auto file = std::make_unique<CFileEntry>();
        file->strPath = JoinPath(m_directory, name);
        file->bFactsPending = true;
        m_files->push_back(std::move(file));
        continue;
      }
      CEntryFacts entry = facts[i];
      if (!entry.bRead) continue;
      if (S_ISLNK(entry.nMode)) {
        if (folderReal.empty()) {
          char* resolved = realpath(folder.c_str(), nullptr);
          if (!resolved) continue;
          folderReal = resolved;
          free(resolved);
        }
        const std::string linkPath = folder + (folder.back() == '/' ? "" : "/") + std::string(name);
        if (!LinkStaysInside(folderReal, linkPath)) continue;
        entry = ReadFacts(fd, name.data(), 0);
        if (!entry.bRead) continue;
      }
      const bool isFolder = S_ISDIR(entry.nMode);
      // Pipes, sockets and devices would block or mislead a decoder.
      if (!isFolder && !S_ISREG(entry.nMode)) continue;
      if (isFolder && ExtensionOfName(name).empty()) continue;

      auto file = std::make_unique<CFileEntry>();
      file->strPath = JoinPath(m_directory, name);
      file->nSize = isFolder ? 0 : entry.nSize;
      file->ftLastWriteTime = FileTime(entry.tWritten);
      m_files->push_back(std::move(file));
    }
    // A folder that vanishes mid-scan ends the listing; what was read stays.
    closedir(dir);
  }

 private:
  // The names worth a stat, each ended by a 0 in one buffer.
  void ReadNames(DIR* dir, bool withoutExtension) {
    while (const dirent* entry = readdir(dir)) {
      const std::string_view name(entry->d_name);
      if (name == "." || name == "..") continue;
      const std::string_view extension = ExtensionOfName(name);
      if (extension.empty() ? !withoutExtension : !m_extensions.Contains(extension)) continue;
      // A name that is not UTF-8 could not be opened again from its wide path.
      if (!IsAscii(name) && !CStrAW::IsValidUtf8(name)) continue;
      m_names.append(name);
      m_names.push_back('\0');
      m_nameEnds.push_back(m_names.size());
      m_bLater.push_back(m_bFactsLater && entry->d_type == DT_REG);
    }
  }

  std::vector<CEntryFacts> StatNames(int fd) const {
    std::vector<CEntryFacts> facts(m_nameEnds.size());
    InParts(facts.size(), [&](size_t first, size_t last) {
      for (size_t i = first; i < last; ++i)
        if (!m_bLater[i])
          facts[i] =
              ReadFacts(fd, m_names.data() + (i == 0 ? 0 : m_nameEnds[i - 1]), AT_SYMLINK_NOFOLLOW);
    });
    return facts;
  }

  const MyString& m_directory;
  std::vector<std::unique_ptr<CFileEntry>>* m_files;
  CExtensionSet m_extensions;
  const bool m_bFactsLater;
  std::string m_names;
  std::vector<size_t> m_nameEnds;
  std::vector<bool> m_bLater;  // per name: listed without a stat
};

QCollator ExtensionCollator() {
  QCollator collator{QLocale()};
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  collator.setNumericMode(false);
  return collator;
}

int CompareExtensions(const QCollator& collator, std::u16string_view a, std::u16string_view b) {
  // Without an extension an entry sorts after all that have one.
  if (a.empty() || b.empty()) return int(a.empty()) - int(b.empty());
  return collator.compare(QStringView(a.data(), qsizetype(a.size())),
                          QStringView(b.data(), qsizetype(b.size())));
}

template <typename T>
int Sign(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

struct CSortItem {
  uint64_t nKey;        // the mode's key (size, time or extension rank)
  uint32_t nKeyOffset;  // the name key in CNameKeys
  uint32_t nKeyLength;
  CFileEntry* pEntry;
};

template <typename Less>
void SortItems(std::vector<CSortItem>& items, Less less, bool ascending) {
  if (ascending)
    std::sort(items.begin(), items.end(), less);
  else
    std::sort(items.begin(), items.end(),
              [&](const CSortItem& a, const CSortItem& b) { return less(b, a); });
}

// Ranks the few distinct extensions once instead of collating per compare.
void RankExtensions(std::vector<CSortItem>& items) {
  std::vector<std::u16string_view> distinct;
  for (const CSortItem& item : items) distinct.push_back(ExtensionOfPath(item.pEntry->strPath));
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  const QCollator collator = ExtensionCollator();
  std::vector<std::u16string_view> ordered = distinct;
  std::sort(ordered.begin(), ordered.end(), [&](std::u16string_view a, std::u16string_view b) {
    return CompareExtensions(collator, a, b) < 0;
  });
  std::vector<uint64_t> rankOfDistinct(distinct.size(), 0);
  uint64_t rank = 0;
  for (size_t i = 0; i < ordered.size(); ++i) {
    if (i > 0 && CompareExtensions(collator, ordered[i - 1], ordered[i]) < 0) ++rank;
    const auto at = std::lower_bound(distinct.begin(), distinct.end(), ordered[i]);
    rankOfDistinct[size_t(at - distinct.begin())] = rank;
  }
  for (CSortItem& item : items) {
    const auto at =
        std::lower_bound(distinct.begin(), distinct.end(), ExtensionOfPath(item.pEntry->strPath));
    item.nKey = rankOfDistinct[size_t(at - distinct.begin())];
  }
}

// Keys whose byte order is MyString::Compare's order of the paths, so that
// a sort compares bytes. MyString::Compare folds letter case and compares
// runs of digits by value, then tells strings equal to the eye apart by
// code units. A key holds, per code unit big-endian: each character folded
// as Compare folds it; each run of digits as '0', the run's length without
// leading zeros plus 1, and those digits; then 0 and the original units.
// A digit run's '0' orders against any other character as any digit does.
// The folder part that all paths share is left out: it ends with '/', so
// no run of digits crosses it.
class CNameKeys {
 public:
  explicit CNameKeys(std::vector<CSortItem>& items) {
    size_t shared = SharedFolderLength(items);
    size_t total = 0;
    for (const CSortItem& item : items)
      total += (item.pEntry->strPath.GetLength() - shared) * 6 + 2;
    m_bytes.reserve(total);
    for (CSortItem& item : items) {
      const size_t start = m_bytes.size();
      const std::u16string_view path(item.pEntry->strPath.str());
      Append(path.substr(shared));
      item.nKeyOffset = uint32_t(start);
      item.nKeyLength = uint32_t(m_bytes.size() - start);
    }
  }

  bool Less(const CSortItem& a, const CSortItem& b) const {
    const size_t n = std::min(a.nKeyLength, b.nKeyLength);
    const int byBytes = memcmp(m_bytes.data() + a.nKeyOffset, m_bytes.data() + b.nKeyOffset, n);
    return byBytes != 0 ? byBytes < 0 : a.nKeyLength < b.nKeyLength;
  }

 private:
  static size_t SharedFolderLength(const std::vector<CSortItem>& items) {
    if (items.empty()) return 0;
    const std::u16string& first = items[0].pEntry->strPath.str();
    size_t shared = first.size();
    for (const CSortItem& item : items) {
      const std::u16string& path = item.pEntry->strPath.str();
      shared = std::min(shared, path.size());
      size_t i = 0;
      while (i < shared && path[i] == first[i]) ++i;
      shared = i;
    }
    const size_t slash = std::u16string_view(first).substr(0, shared).rfind(u'/');
    return slash == std::u16string_view::npos ? 0 : slash + 1;
  }

  void Put(uint32_t unit) {
    m_bytes.push_back(char(unit >> 8));
    m_bytes.push_back(char(unit & 0xFF));
  }

  static bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

  static char16_t Fold(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    return char16_t(QChar::toCaseFolded(char32_t(c)));
  }

  void Append(std::u16string_view s) {
    size_t i = 0;
    while (i < s.size()) {
      if (!IsDigit(s[i])) {
        Put(Fold(s[i++]));
        continue;
      }
      size_t start = i;
      while (start < s.size() && s[start] == u'0') ++start;
      size_t end = start;
      while (end < s.size() && IsDigit(s[end])) ++end;
      Put(u'0');
      Put(uint32_t(end - start + 1));
      for (size_t k = start; k < end; ++k) Put(s[k]);
      i = end;
    }
    Put(0);
    for (char16_t c : s) Put(c);
  }

  std::string m_bytes;
};

}  // namespace

int CompareSortKeys(const CFileEntry& a, const CFileEntry& b, uint32_t mode) {
  switch (mode) {
    case kByExtension:
      return CompareExtensions(ExtensionCollator(), ExtensionOfPath(a.strPath),
                               ExtensionOfPath(b.strPath));
    case kBySize:
      return Sign(a.nSize, b.nSize);
    case kByDate:
      return Sign(a.ftLastWriteTime, b.ftLastWriteTime);
    case kByTaken:
      return Sign(TakenKey(a), TakenKey(b));
    default:
      return a.strPath.Compare(b.strPath);
  }
}

void SetExifDateReader(ExifDateReader reader) { g_exifDateReader = reader; }

bool ReadExifDate(const MyString& path, FILETIME64* taken) {
  const ExifDateReader reader = g_exifDateReader;
  *taken = 0;
  return reader && reader(path, taken);
}

SortDir::~SortDir() = default;

void SortDir::ReadTakenDates() {
  for (const auto& file : m_files) ReadExifDate(file->strPath, &file->ftTaken);
}

void SortDir::InitializeSortDir(const MyString& folder, unsigned int) {
  ClearList();
  m_strDirectory = folder;
  while (m_strDirectory.GetLength() > 1 && m_strDirectory[m_strDirectory.GetLength() - 1] == u'/')
    m_strDirectory.tShaveLastChar();
  if (!m_strDirectory.IsEmpty() && m_strDirectory[m_strDirectory.GetLength() - 1] != u'/')
    m_strDirectory += u'/';
  auto group = std::make_unique<CInfoBrowse>();
  group->strName = m_strDirectory;
  m_groups.push_back(std::move(group));
}

void SortDir::CreateSortedImageList() {
  const bool bOrderNeedsFacts =
      gdwSortingMode == kBySize || gdwSortingMode == kByDate || gdwSortingMode == kByTaken;
  CFolderScan(m_strDirectory, &m_files, m_bFactsLater && !bOrderNeedsFacts)
      .Run(gbListFilesWithoutExtension == 1);
  Sort();
  if (!m_groups.empty()) {
    CInfoBrowse& group = *m_groups.back();
    group.nLast = GetLengthFileList() - 1;
    group.bHasFiles = group.nLast >= group.nFirst;
  }
}

// Ties of the mode's key are ordered by name, so that every list of the same
// folder comes out in the same order; descending is the exact reverse.
void SortDir::Sort() {
  const uint32_t mode = gdwSortingMode;
  const bool ascending = bSortAscending != 0;
  std::vector<CSortItem> items;
  items.reserve(m_files.size());
  for (const auto& file : m_files) items.push_back(CSortItem{0, 0, 0, file.get()});

  if (mode == kBySize || mode == kByDate || mode == kByTaken) {
    for (CSortItem& item : items)
      item.nKey = mode == kBySize   ? item.pEntry->nSize
                  : mode == kByDate ? item.pEntry->ftLastWriteTime
                                    : TakenKey(*item.pEntry);
    // Equal sizes and times are rare: compare their names directly.
    auto less = [](const CSortItem& a, const CSortItem& b) {
      if (a.nKey != b.nKey) return a.nKey < b.nKey;
      return a.pEntry->strPath.Compare(b.pEntry->strPath) < 0;
    };
    SortItems(items, less, ascending);
  } else {
    if (mode == kByExtension) RankExtensions(items);
    // Names compare often here: compare prepared keys instead.
    CNameKeys keys(items);
    auto less = [&keys](const CSortItem& a, const CSortItem& b) {
      if (a.nKey != b.nKey) return a.nKey < b.nKey;
      return keys.Less(a, b);
    };
    SortItems(items, less, ascending);
  }

  // Put the owners in the new order; the entries themselves stay put.
  std::vector<std::unique_ptr<CFileEntry>> sorted;
  sorted.reserve(m_files.size());
  for (auto& file : m_files) file.release();
  for (const CSortItem& item : items) sorted.emplace_back(item.pEntry);
  m_files.swap(sorted);
}

void SortDir::PushImage(MyString path) {
  CFileInfo info;
  if (path.IsEmpty() || !GetFileInfo(path, &info)) return;
  auto file = std::make_unique<CFileEntry>();
  file->strPath = std::move(path);
  file->nSize = info.bDirectory ? 0 : info.nSize;
  file->ftLastWriteTime = info.ftLastWriteTime;
  m_files.push_back(std::move(file));
}

void SortDir::PushFile(std::unique_ptr<MyString> path) {
  if (path) PushImage(std::move(*path));
}

void SortDir::Append(std::vector<CFileEntry*> entries, const MyString& groupName) {
  auto group = std::make_unique<CInfoBrowse>();
  group->strName = groupName;
  group->nFirst = GetLengthFileList();
  for (CFileEntry* entry : entries) {
    if (!entry) continue;
    group->bHasFiles = true;
    PushImage(entry->strPath);
  }
  group->nLast = GetLengthFileList() - 1;
  m_groups.push_back(std::move(group));
}

void SortDir::Append(std::unique_ptr<CInfoBrowse> group) {
  if (!group) return;
  group->nLast = GetLengthFileList() - 1;
  m_groups.push_back(std::move(group));
}

bool SortDir::GetGroupFileRange(int group, int* first, int* last) const {
  const CInfoBrowse* info = GetInfoBrowse(group);
  if (!info || !info->bHasFiles) return false;
  // A group filled in by hand may point past the list; only real entries go.
  const int from = std::max(info->nFirst, 0);
  const int to = std::min(info->nLast, GetLengthFileList() - 1);
  if (from > to) return false;
  if (first) *first = from;
  if (last) *last = to;
  return true;
}

int SortDir::Remove(int group) {
  if (!GetInfoBrowse(group)) return 0;
  int first = 0, last = -1;
  if (GetGroupFileRange(group, &first, &last)) {
    m_files.erase(m_files.begin() + first, m_files.begin() + last + 1);
    const int removed = last - first + 1;
    for (size_t i = size_t(group) + 1; i < m_groups.size(); ++i) {
      if (!m_groups[i]) continue;
      m_groups[i]->nFirst -= removed;
      m_groups[i]->nLast -= removed;
    }
  }
  m_groups.erase(m_groups.begin() + group);
  return 1;
}

void SortDir::ClearList() {
  m_files.clear();
  m_groups.clear();
}

void SortDir::RemoveAll() {
  ClearList();
  m_strDirectory = MyString();
}

void SortDir::Swap(SortDir& other) {
  std::swap(m_strDirectory, other.m_strDirectory);
  m_files.swap(other.m_files);
  m_groups.swap(other.m_groups);
}

const CFileEntry* SortDir::GetEntry(int index) const {
  if (index < 0 || index >= GetLengthFileList()) return nullptr;
  return m_files[size_t(index)].get();
}

std::vector<CFileEntry*> SortDir::GetEntries() const {
  std::vector<CFileEntry*> entries;
  entries.reserve(m_files.size());
  for (const auto& file : m_files) entries.push_back(file.get());
  return entries;
}

MyString SortDir::GetString(int index) const {
  const CFileEntry* entry = GetEntry(index);
  if (!entry || (entry->nSize == 0 && !entry->bFactsPending)) return MyString();
  return entry->strPath;
}

int SortDir::GetIndex(const MyString& path) const {
  for (size_t i = 0; i < m_files.size(); ++i)
    if (m_files[i]->strPath == path) return int(i);
  return -1;
}

int SortDir::GetIndexFirstLater(char16_t ch, int start) const {
  const int count = GetLengthFileList();
  if (count == 0) return -1;
  const char16_t wanted = UpperAToZ(ch);
  auto matches = [&](int index) {
    const std::u16string_view name = NameOfPath(m_files[size_t(index)]->strPath);
    return !name.empty() && UpperAToZ(name[0]) == wanted;
  };
  for (int i = std::max(start, 0); i < count; ++i)
    if (matches(i)) return i;
  if (start <= 0) return -1;
  for (int i = 0; i < std::min(start, count); ++i)
    if (matches(i)) return i;
  return -1;
}

const CInfoBrowse* SortDir::GetInfoBrowse(int group) const {
  if (group < 0 || size_t(group) >= m_groups.size()) return nullptr;
  return m_groups[size_t(group)].get();
}

CInfoBrowse* SortDir::GetInfoBrowse(int group) {
  return const_cast<CInfoBrowse*>(std::as_const(*this).GetInfoBrowse(group));
}

int SortDir::RenameFile(const MyString& oldPath, const MyString& newPath) {
  if (oldPath.IsEmpty() || newPath.IsEmpty()) return 0;
  const std::string from = CStrAW::w_toA(oldPath);
  const std::string to = CStrAW::w_toA(newPath);
  // Never replace a file that is already there.
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) return 0;
    // A file system without the no-replace move: look first.
    struct stat st {};
    if (lstat(to.c_str(), &st) == 0 || errno != ENOENT) return 0;
    if (rename(from.c_str(), to.c_str()) != 0) return 0;
  }
  const int index = GetIndex(oldPath);
  if (index < 0) return -1;
  m_files[size_t(index)]->strPath = newPath;
  return 1;
}

int SortDir::DeleteFileW(int index) {
  const CFileEntry* entry = GetEntry(index);
  if (!entry || (entry->nSize == 0 && !entry->bFactsPending)) return 0;
  m_files.erase(m_files.begin() + index);
  return 1;
}

std::vector<tagFILEFACTS> ReadFileFacts(const std::vector<MyString>& paths,
                                        const std::function<bool()>& cancelled) {
  std::vector<tagFILEFACTS> facts(paths.size());
  InParts(paths.size(), [&](size_t first, size_t last) {
    for (size_t i = first; i < last; ++i) {
      if ((i - first) % 1024 == 1023 && cancelled && cancelled()) return;
      const CEntryFacts read = ReadFacts(AT_FDCWD, CStrAW::w_toA(paths[i]).c_str(), 0);
      if (!read.bRead) continue;
      facts[i].bRead = true;
      facts[i].nSize = S_ISDIR(read.nMode) ? 0 : read.nSize;
      facts[i].ftLastWriteTime = FileTime(read.tWritten);
    }
  });
  return facts;
}

std::vector<MyString> SortDir::PendingFactsPaths() const {
  std::vector<MyString> paths;
  for (const auto& file : m_files)
    if (file->bFactsPending) paths.push_back(file->strPath);
  return paths;
}

int SortDir::FillPendingFacts(const std::vector<MyString>& paths,
                              const std::vector<tagFILEFACTS>& facts) {
  // Matched by path: entries may have come or gone since the paths were taken.
  std::unordered_map<std::u16string_view, const tagFILEFACTS*> byPath;
  byPath.reserve(paths.size());
  for (size_t i = 0; i < paths.size() && i < facts.size(); ++i)
    byPath.emplace(std::u16string_view(paths[i].str()), &facts[i]);
  int filled = 0;
  for (auto& file : m_files) {
    if (!file->bFactsPending) continue;
    const auto it = byPath.find(std::u16string_view(file->strPath.str()));
    if (it == byPath.end()) continue;
    file->bFactsPending = false;
    file->nSize = it->second->nSize;
    file->ftLastWriteTime = it->second->ftLastWriteTime;
    ++filled;
  }
  return filled;
}
