#include "nodehelpers.h"

#include <QChar>
#include <dirent.h>
#include <sys/stat.h>

#include "corekit/straw.h"

namespace {

char16_t Fold(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
  return QChar::toCaseFolded(c);
}

}  // namespace

int CompareNoCase(const MyString& a, const MyString& b) {
  const size_t n = std::min(a.GetLength(), b.GetLength());
  for (size_t i = 0; i < n; ++i) {
    const char16_t ca = Fold(a[i]), cb = Fold(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.GetLength() == b.GetLength()) return 0;
  return a.GetLength() < b.GetLength() ? -1 : 1;
}

MyString TrimFolderPath(const MyString& path) {
  MyString trimmed = path;
  while (trimmed.GetLength() > 1 && trimmed[trimmed.GetLength() - 1] == u'/')
    trimmed.tShaveLastChar();
  return trimmed;
}

MyString JoinPath(const MyString& folder, const MyString& name) {
  if (folder.IsEmpty() || folder[folder.GetLength() - 1] == u'/') return folder + name;
  return folder + u'/' + name;
}

bool FolderHolds(const MyString& folder, const MyString& path) {
  const MyString top = TrimFolderPath(folder);
  if (top.IsEmpty() || path.GetLength() < top.GetLength()) return false;
  if (path.str().compare(0, top.GetLength(), top.str()) != 0) return false;
  return path.GetLength() == top.GetLength() || top[top.GetLength() - 1] == u'/' ||
         path[top.GetLength()] == u'/';
}

bool ListSubfolderNames(const MyString& folder, std::vector<MyString>* names, size_t limit) {
  if (folder.IsEmpty()) return false;
  const std::string native = CStrAW::w_toA(folder);
  DIR* dir = opendir(native.c_str());
  if (!dir) return false;
  const int dirFd = dirfd(dir);
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;  // ".", ".." and hidden folders
    bool isFolder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      isFolder = fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    if (!isFolder || !CStrAW::IsValidUtf8(entry->d_name)) continue;
    names->push_back(CStrAW::a_toW(entry->d_name));
    if (limit && names->size() >= limit) break;
  }
  closedir(dir);
  return true;
}

bool FolderIdentity(const MyString& path, std::pair<uint64_t, uint64_t>* id) {
  struct stat st {};
  if (stat(CStrAW::w_toA(path).c_str(), &st) != 0) return false;
  *id = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
  return true;
}
