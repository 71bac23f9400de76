#include "browse/directorytree.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "corekit/platform.h"
#include "corekit/straw.h"

namespace {

MyString Join(const MyString& folder, const MyString& name) {
  return folder == u"/" ? u"/" + name : folder + u"/" + name;
}

bool IsFolderEntry(int dirFd, const dirent* entry) {
  if (entry->d_type == DT_DIR) return true;
  if (entry->d_type != DT_UNKNOWN) return false;
  struct stat st {};
  return fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::vector<tagDIRNODE> GetDirectoryRoots(const MyStringList& volumes) {
  std::vector<tagDIRNODE> roots;
  const MyString home = GetHomeFolder();
  if (!home.IsEmpty()) roots.push_back({home.GetStringTitleExt(), home});
  const MyString desktop = GetDesktopFolder();
  struct stat st {};
  if (!desktop.IsEmpty() && desktop != home && stat(CStrAW::w_toA(desktop).c_str(), &st) == 0 &&
      S_ISDIR(st.st_mode))
    roots.push_back({u"Desktop", desktop});
  roots.push_back({u"/", u"/"});
  for (const MyString& volume : volumes) {
    const MyString name = volume.GetStringTitleExt();
    roots.push_back({name.IsEmpty() ? volume : name, volume});
  }
  return roots;
}

std::vector<tagDIRNODE> ReadSubfolders(const MyString& folder) {
  std::vector<tagDIRNODE> nodes;
  DIR* dir = opendir(CStrAW::w_toA(folder).c_str());
  if (!dir) return nodes;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.' || !CStrAW::IsValidUtf8(entry->d_name)) continue;
    if (!IsFolderEntry(dirfd(dir), entry)) continue;
    const MyString name = CStrAW::a_toW(entry->d_name);
    nodes.push_back({name, Join(folder, name)});
  }
  closedir(dir);
  std::sort(nodes.begin(), nodes.end(), [](const tagDIRNODE& a, const tagDIRNODE& b) {
    return a.strName.Compare(b.strName) < 0;
  });
  return nodes;
}

tagFOLDERCONTENTS CountFolderContents(const MyString& folder) {
  tagFOLDERCONTENTS contents;
  DIR* dir = opendir(CStrAW::w_toA(folder).c_str());
  if (!dir) return contents;
  // The entry types readdir gives spare a stat per file: a folder of many
  // images is counted quickly while the pointer rests on its node.
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    unsigned char type = entry->d_type;
    struct stat st {};
    if (type == DT_UNKNOWN) {
      if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      type = S_ISDIR(st.st_mode)   ? DT_DIR
             : S_ISLNK(st.st_mode) ? DT_LNK
             : S_ISREG(st.st_mode) ? DT_REG
                                   : DT_UNKNOWN;
    }
    if (type == DT_DIR) {
      ++contents.nFolders;
    } else if (type == DT_LNK) {
      if (fstatat(dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode))
        ++contents.nLinkedFolders;
    } else if (type == DT_REG && CStrAW::IsValidUtf8(entry->d_name) &&
               CStrAW::a_toW(entry->d_name).GetStringExtension().EqualsNoCase(u".lrm")) {
      ++contents.nPortfolios;
    }
  }
  closedir(dir);
  return contents;
}

MyString BuildDirectoryTooltip(const MyString& name, const MyString& path,
                               const tagFOLDERCONTENTS& contents) {
  MyString text = CStrAW::printf(u"Name:  %s", name.c_str());
  if (!path.IsEmpty()) text += CStrAW::printf(u"\nPath:  %s", path.c_str());
  if (contents.nFolders + contents.nLinkedFolders + contents.nPortfolios > 0) {
    text += u"\nContents:";
    if (contents.nFolders > 0) text += CStrAW::printf(u"\n   %d folders", contents.nFolders);
    if (contents.nLinkedFolders > 0)
      text += CStrAW::printf(u"\n   %d linked folders", contents.nLinkedFolders);
    if (contents.nPortfolios > 0)
      text += CStrAW::printf(u"\n   %d portfolio files", contents.nPortfolios);
  }
  return text;
}

int RenameFolder(const MyString& path, const MyString& newName, MyString* newPath,
                 MyString* error) {
  // A name holding '/' would move the folder elsewhere; "." and ".." are
  // not names at all.
  if (newName.IsEmpty() || newName == u"." || newName == u".." ||
      newName.Find(u'/') != MyString::npos || newName.Find(u'\0') != MyString::npos) {
    *error = u"This is not a valid folder name.";
    return 0;
  }
  if (path == u"/" || path.IsEmpty()) {
    *error = u"This folder cannot be renamed.";
    return 0;
  }
  const MyString target = Join(path.GetStringPath(), newName);
  if (target == path) {
    *newPath = path;
    return 1;
  }
  // renameat2 with RENAME_NOREPLACE would be exact; a taken name is refused
  // here first so that rename(2) never replaces an empty folder.
  struct stat st {};
  if (lstat(CStrAW::w_toA(target).c_str(), &st) == 0) {
    *error = u"A file or folder with this name already exists.";
    return 0;
  }
  if (std::rename(CStrAW::w_toA(path).c_str(), CStrAW::w_toA(target).c_str()) != 0) {
    *error = CStrAW::a_toW(std::strerror(errno));
    return 0;
  }
  *newPath = target;
  return 1;
}

MyString MovePathBelow(const MyString& path, const MyString& folder, const MyString& newFolder) {
  if (path == folder) return newFolder;
  const MyString prefix = folder == u"/" ? folder : folder + u"/";
  if (path.GetLength() > prefix.GetLength() &&
      path.str().compare(0, prefix.GetLength(), prefix.str()) == 0)
    return newFolder + u"/" + path.Mid(prefix.GetLength());
  return path;
}
