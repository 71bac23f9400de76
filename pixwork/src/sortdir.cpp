#include "pixwork/sortdir.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "corekit/straw.h"
#include "pixwork/formats.h"
#include "pixwork/sortsettings.h"

namespace {

enum SortMode : uint32_t { kByName = 0, kByExtension = 1, kBySize = 2, kByDate = 3 };

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

// Everything a scan needs about one folder, read once.
class CFolderScan {
 public:
  CFolderScan(const MyString& directory, std::vector<std::unique_ptr<CFileEntry>>* files)
      : m_directory(directory), m_files(files), m_extensions(GetSupportedExtensions()) {}

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
    std::string folderReal;  // resolved only when a link needs it
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
      const std::string_view name(entry->d_name);
      if (name == "." || name == "..") continue;
      const std::string_view extension = ExtensionOfName(name);
      if (extension.empty() ? !withoutExtension : !m_extensions.Contains(extension)) continue;
      // A name that is not UTF-8 could not be opened again from its wide path.
      if (!CStrAW::IsValidUtf8(name)) continue;

      struct statx st {};
      if (statx(fd, entry->d_name, AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT, kStatxFacts, &st) !=
          0)
        continue;
      if (S_ISLNK(st.stx_mode)) {
        if (folderReal.empty()) {
          char* resolved = realpath(folder.c_str(), nullptr);
          if (!resolved) continue;
          folderReal = resolved;
          free(resolved);
        }
        if (!LinkStaysInside(folderReal,
                             folder + (folder.back() == '/' ? "" : "/") + entry->d_name))
          continue;
        if (statx(fd, entry->d_name, AT_STATX_SYNC_AS_STAT, kStatxFacts, &st) != 0) continue;
      }
      const bool isFolder = S_ISDIR(st.stx_mode);
      // Pipes, sockets and devices would block or mislead a decoder.
      if (!isFolder && !S_ISREG(st.stx_mode)) continue;
      if (isFolder && extension.empty()) continue;

      auto file = std::make_unique<CFileEntry>();
      file->strPath = m_directory + CStrAW::a_toW(name);
      file->nSize = isFolder ? 0 : st.stx_size;
      file->ftLastWriteTime = FileTime(st.stx_mtime);
      m_files->push_back(std::move(file));
    }
    // A folder that vanishes mid-scan ends the listing; what was read stays.
    closedir(dir);
  }

 private:
  const MyString& m_directory;
  std::vector<std::unique_ptr<CFileEntry>>* m_files;
  CExtensionSet m_extensions;
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
    default:
      return a.strPath.Compare(b.strPath);
  }
}

SortDir::~SortDir() = default;

void SortDir::InitializeSortDir(const MyString& folder, unsigned int) {
  ClearList();
  m_strDirectory = folder;
  if (!m_strDirectory.IsEmpty() && m_strDirectory[m_strDirectory.GetLength() - 1] != u'/')
    m_strDirectory += u'/';
  auto group = std::make_unique<CInfoBrowse>();
  group->strName = m_strDirectory;
  m_groups.push_back(std::move(group));
}

void SortDir::CreateSortedImageList() {
  CFolderScan(m_strDirectory, &m_files).Run(gbListFilesWithoutExtension == 1);
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
  struct Item {
    uint64_t nKey;
    CFileEntry* pEntry;
  };
  std::vector<Item> items;
  items.reserve(m_files.size());
  for (const auto& file : m_files) items.push_back(Item{0, file.get()});

  if (mode == kBySize || mode == kByDate) {
    for (Item& item : items)
      item.nKey = mode == kBySize ? item.pEntry->nSize : item.pEntry->ftLastWriteTime;
  } else if (mode == kByExtension) {
    // Rank the few distinct extensions once instead of collating per compare.
    std::vector<std::u16string_view> distinct;
    for (const Item& item : items) distinct.push_back(ExtensionOfPath(item.pEntry->strPath));
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    const QCollator collator = ExtensionCollator();
    std::vector<std::u16string_view> ordered = distinct;
    std::sort(ordered.begin(), ordered.end(), [&](std::u16string_view a, std::u16string_view b) {
      return CompareExtensions(collator, a, b) < 0;
    });
    std::vector<uint64_t> rankOfOrdered(ordered.size(), 0);
    for (size_t i = 1; i < ordered.size(); ++i)
      rankOfOrdered[i] = rankOfOrdered[i - 1] +
                         (CompareExtensions(collator, ordered[i - 1], ordered[i]) < 0 ? 1 : 0);
    std::vector<uint64_t> rankOfDistinct(distinct.size());
    for (size_t i = 0; i < ordered.size(); ++i) {
      const auto at = std::lower_bound(distinct.begin(), distinct.end(), ordered[i]);
      rankOfDistinct[size_t(at - distinct.begin())] = rankOfOrdered[i];
    }
    for (Item& item : items) {
      const auto at =
          std::lower_bound(distinct.begin(), distinct.end(), ExtensionOfPath(item.pEntry->strPath));
      item.nKey = rankOfDistinct[size_t(at - distinct.begin())];
    }
  }

  auto less = [](const Item& a, const Item& b) {
    if (a.nKey != b.nKey) return a.nKey < b.nKey;
    return a.pEntry->strPath.Compare(b.pEntry->strPath) < 0;
  };
  if (ascending)
    std::sort(items.begin(), items.end(), less);
  else
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) { return less(b, a); });

  // Put the owners in the new order; the entries themselves stay put.
  std::vector<std::unique_ptr<CFileEntry>> sorted;
  sorted.reserve(m_files.size());
  for (auto& file : m_files) file.release();
  for (const Item& item : items) sorted.emplace_back(item.pEntry);
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
  if (!entry || entry->nSize == 0) return MyString();
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
  if (!entry || entry->nSize == 0) return 0;
  m_files.erase(m_files.begin() + index);
  return 1;
}
