#include "browse/searchthread.h"

#include <QDate>
#include <QDateTime>
#include <QMimeDatabase>
#include <QTime>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <utility>

#include "corekit/straw.h"

namespace {

struct tagOPENFOLDER {
  DIR* dir = nullptr;
  std::string path;  // UTF-8
};

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

std::string Join(const std::string& folder, const char* name) {
  return folder == "/" ? '/' + std::string(name) : folder + '/' + name;
}

bool HasExtension(const MyString& name, const std::vector<MyString>& types) {
  const MyString extension = name.GetStringExtension();
  if (extension.GetLength() < 2) return false;
  const MyString bare = extension.Mid(1);
  return std::any_of(types.begin(), types.end(),
                     [&](const MyString& type) { return bare.EqualsNoCase(type); });
}

// Whether the folder holds a file of one of the types (a folder result).
bool HoldsImage(const std::string& path, const std::vector<MyString>& types) {
  DIR* dir = opendir(path.c_str());
  if (!dir) return false;
  bool found = false;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_type == DT_DIR || !CStrAW::IsValidUtf8(entry->d_name)) continue;
    if (!HasExtension(CStrAW::a_toW(entry->d_name), types)) continue;
    struct stat st {};
    if (fstatat(dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode)) {
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

int CompareNoCase(const MyString& a, const MyString& b) {
  const std::u16string x = MyString::FoldCase(a.str());
  const std::u16string y = MyString::FoldCase(b.str());
  return x < y ? -1 : (y < x ? 1 : 0);
}

}  // namespace

bool MatchWildcard(const MyString& pattern, const MyString& name) {
  const std::u16string p = MyString::FoldCase(pattern.str());
  const std::u16string s = MyString::FoldCase(name.str());
  // The greedy walk with one remembered star: linear in practice.
  size_t i = 0, j = 0, star = std::u16string::npos, mark = 0;
  while (j < s.size()) {
    if (i < p.size() && (p[i] == u'?' || p[i] == s[j])) {
      ++i;
      ++j;
    } else if (i < p.size() && p[i] == u'*') {
      star = i++;
      mark = j;
    } else if (star != std::u16string::npos) {
      i = star + 1;
      j = ++mark;
    } else {
      return false;
    }
  }
  while (i < p.size() && p[i] == u'*') ++i;
  return i == p.size();
}

void GetSearchDayRange(const QDate& first, const QDate& last, int64_t* from, int64_t* to) {
  const QDate start = std::min(first, last);
  const QDate end = std::max(first, last);
  *from = QDateTime(start, QTime(0, 0)).toSecsSinceEpoch();
  // The last second of the last day; any fraction of it is inside too.
  *to = QDateTime(end.addDays(1), QTime(0, 0)).toSecsSinceEpoch() - 1;
}

void SortSearchResults(std::vector<tagSEARCHRESULT>* results, SearchColumn column) {
  auto less = [column](const tagSEARCHRESULT& a, const tagSEARCHRESULT& b) {
    switch (column) {
      case SearchColumn::Name:
        if (a.bFolder != b.bFolder) return a.bFolder;
        return a.bFolder ? CompareNoCase(a.strPath, b.strPath) < 0
                         : CompareNoCase(a.strName, b.strName) < 0;
      case SearchColumn::Folder:
        return CompareNoCase(a.strFolder, b.strFolder) < 0;
      case SearchColumn::Type:
        if (a.bFolder != b.bFolder) return a.bFolder;
        return CompareNoCase(a.strType, b.strType) < 0;
      case SearchColumn::Modified:
        return std::pair(a.tModified, a.nModifiedNs) < std::pair(b.tModified, b.nModifiedNs);
    }
    return false;
  };
  std::stable_sort(results->begin(), results->end(), less);
}

void CSearchThread::Search(const tagSEARCHQUERY& query, const std::atomic<bool>& stop,
                           const ResultFct& onResult) {
  const MyString pattern = u"*" + query.strText + u"*";
  std::vector<MyString> types;
  if (query.nType >= 0 && size_t(query.nType) < query.types.size())
    types.push_back(query.types[size_t(query.nType)]);
  else
    types = query.types;
  std::vector<MyString> filePatterns;
  for (const MyString& type : types) filePatterns.push_back(pattern + u"." + type);

  QMimeDatabase mimes;
  const MyString folderType =
      MyString::FromQString(mimes.mimeTypeForName("inode/directory").comment());
  auto inRange = [&](const struct stat& st) {
    return !query.bByDate || (st.st_mtim.tv_sec >= query.tFrom && st.st_mtim.tv_sec <= query.tTo);
  };
  auto result = [&](const MyString& name, const MyString& folder, const MyString& path,
                    const struct stat& st, bool isFolder) {
    tagSEARCHRESULT row;
    row.strName = name;
    row.strFolder = folder;
    row.strPath = path;
    row.bFolder = isFolder;
    row.tModified = st.st_mtim.tv_sec;
    row.nModifiedNs = int32_t(st.st_mtim.tv_nsec);
    row.strType =
        isFolder
            ? folderType
            : MyString::FromQString(
                  mimes.mimeTypeForFile(path.ToQString(), QMimeDatabase::MatchExtension).comment());
    onResult(row);
  };

  std::vector<tagOPENFOLDER> stack;
  // Folders walked, by device and inode: a folder mounted inside itself is
  // walked once.
  std::set<std::pair<dev_t, ino_t>> walked;
  auto open = [&](const std::string& path) {
    DIR* dir = opendir(path.c_str());
    if (!dir) return;  // unreadable or gone: passed over
    struct stat st {};
    if (fstat(dirfd(dir), &st) != 0 || !walked.insert({st.st_dev, st.st_ino}).second) {
      closedir(dir);
      return;
    }
    stack.push_back(tagOPENFOLDER{dir, path});
  };
  open(CStrAW::w_toA(query.strFolder));

  while (!stack.empty()) {
    if (stop) break;
    tagOPENFOLDER& top = stack.back();
    const dirent* entry = readdir(top.dir);
    if (!entry) {
      closedir(top.dir);
      stack.pop_back();
      continue;
    }
    if (IsDotOrDotDot(entry->d_name) || !CStrAW::IsValidUtf8(entry->d_name)) continue;
    struct stat st {};
    if (fstatat(dirfd(top.dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    const std::string path = Join(top.path, entry->d_name);
    const MyString name = CStrAW::a_toW(entry->d_name);
    if (S_ISLNK(st.st_mode)) {
      // A link to a file is found as the file; a link to a folder is not followed.
      if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    }
    if (S_ISDIR(st.st_mode)) {
      if (inRange(st) && MatchWildcard(pattern, name) && HoldsImage(path, types)) {
        const MyString folder = CStrAW::a_toW(path);
        result(name, folder, folder, st, true);
      }
      open(path);  // the walk goes on below it, whatever the match
      continue;
    }
    if (!S_ISREG(st.st_mode) || !inRange(st)) continue;
    const bool matches = std::any_of(filePatterns.begin(), filePatterns.end(),
                                     [&](const MyString& p) { return MatchWildcard(p, name); });
    if (matches) result(name, CStrAW::a_toW(top.path), CStrAW::a_toW(path), st, false);
  }
  for (tagOPENFOLDER& folder : stack) closedir(folder.dir);
}

CSearchThread::~CSearchThread() {
  Stop();
  Wait();
}

int CSearchThread::Start(const tagSEARCHQUERY& query, ResultFct onResult,
                         std::function<void()> onDone) {
  if (m_bRunning || !onResult) return 0;
  Wait();
  m_bStop = false;
  m_bRunning = true;
  try {
    m_thread =
        std::thread([this, query, onResult = std::move(onResult), onDone = std::move(onDone)] {
          Search(query, m_bStop, onResult);
          m_bRunning = false;
          if (onDone) onDone();
        });
  } catch (const std::system_error&) {
    m_bRunning = false;
    return 0;
  }
  return 1;
}

void CSearchThread::Wait() {
  if (m_thread.joinable()) m_thread.join();
}
