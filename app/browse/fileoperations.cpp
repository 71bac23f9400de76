#include "browse/fileoperations.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "corekit/straw.h"

namespace {

// How many numbered names are tried before a file is given up.
constexpr int kMaxNumberedNames = 9999;

MyString NumberedName(const MyString& name, int n) {
  if (n <= 1) return name;
  const MyString ext = (u"/" + name).GetStringExtension();
  const MyString stem = name.Mid(0, name.GetLength() - ext.GetLength());
  return stem + CStrAW::printf(u" (%d)", n) + ext;
}

MyString Join(const MyString& folder, const MyString& name) {
  if (!folder.IsEmpty() && folder[folder.GetLength() - 1] == u'/') return folder + name;
  return folder + u"/" + name;
}

// 1 moved, -1 the target exists, -2 another volume, 0 failed.
int MoveNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 1;
  if (errno == EEXIST) return -1;
  if (errno == EXDEV) return -2;
  if (errno != EINVAL && errno != ENOSYS) return 0;
  // A file system without the no-replace move: look first.
  struct stat st {};
  if (lstat(to.c_str(), &st) == 0) return -1;
  if (errno != ENOENT) return 0;
  if (rename(from.c_str(), to.c_str()) == 0) return 1;
  return errno == EXDEV ? -2 : 0;
}

// Copies the bytes, the permissions and the last-write time into a new
// file. 1 copied, -1 the target exists, 0 failed (nothing is left behind).
int CopyNoReplace(const std::string& from, const std::string& to) {
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return 0;
  struct stat st {};
  if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(in);
    return 0;
  }
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
  if (out < 0) {
    const int error = errno;
    close(in);
    return error == EEXIST ? -1 : 0;
  }
  bool ok = true;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    for (ssize_t put = 0; put < got && ok;) {
      const ssize_t n = write(out, buffer + put, size_t(got - put));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ok = false;
      put += n > 0 ? n : 0;
    }
    if (!ok) break;
  }
  if (ok) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out, times);
  }
  close(in);
  if (close(out) != 0) ok = false;
  if (!ok) unlink(to.c_str());
  return ok ? 1 : 0;
}

bool SameFolder(const std::string& file, const std::string& folder) {
  struct stat a {
  }, b{};
  const std::string parent = CStrAW::w_toA(CStrAW::a_toW(file).GetStringPath());
  return stat(parent.c_str(), &a) == 0 && stat(folder.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

}  // namespace

int MakeRenamePath(const MyString& oldPath, const MyString& typed, MyString* newPath) {
  if (newPath) *newPath = MyString();
  if (typed.IsEmpty() || typed == u"." || typed == u".." || typed.Find(u'/') != MyString::npos)
    return 0;
  if (typed.Find(u'\0') != MyString::npos) return 0;
  MyString name = typed;
  if ((u"/" + name).GetStringExtension().IsEmpty()) name += oldPath.GetStringExtension();
  if (newPath) *newPath = Join(oldPath.GetStringPath(), name);
  return 1;
}

MyString FreeTargetPath(const MyString& folder, const MyString& name) {
  for (int n = 1; n <= kMaxNumberedNames; ++n) {
    const MyString target = Join(folder, NumberedName(name, n));
    struct stat st {};
    if (lstat(CStrAW::w_toA(target).c_str(), &st) != 0 && errno == ENOENT) return target;
  }
  return MyString();
}

tagFILEOPRESULT CFileOperations::Move(const std::vector<MyString>& files,
                                      const MyString& folder) const {
  return Transfer(files, folder, true);
}

tagFILEOPRESULT CFileOperations::Copy(const std::vector<MyString>& files,
                                      const MyString& folder) const {
  return Transfer(files, folder, false);
}

tagFILEOPRESULT CFileOperations::Transfer(const std::vector<MyString>& files,
                                          const MyString& folder, bool move) const {
  tagFILEOPRESULT result;
  result.nOperation = move ? FO_MOVE : FO_COPY;
  const std::string folderA = CStrAW::w_toA(folder);
  for (const MyString& file : files) {
    const std::string from = CStrAW::w_toA(file);
    struct stat st {};
    // Only regular files: a folder or a vanished file is not ours to move.
    if (lstat(from.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      result.failed.push_back(file);
      continue;
    }
    if (move && SameFolder(from, folderA)) {
      result.done.emplace_back(file, file);
      continue;
    }
    const MyString name = file.GetStringTitleExt();
    bool placed = false;
    bool crossVolume = !move;
    for (int n = 1; n <= kMaxNumberedNames && !placed; ++n) {
      const MyString target = Join(folder, NumberedName(name, n));
      const std::string to = CStrAW::w_toA(target);
      int got = crossVolume ? CopyNoReplace(from, to) : MoveNoReplace(from, to);
      if (got == -2) {
        crossVolume = true;
        got = CopyNoReplace(from, to);
      }
      if (got == -1) continue;
      if (got == 0) break;
      if (move && crossVolume && unlink(from.c_str()) != 0) {
        // Both copies would be left: take the new one back.
        unlink(to.c_str());
        break;
      }
      result.done.emplace_back(file, target);
      placed = true;
    }
    if (!placed) result.failed.push_back(file);
  }
  return result;
}

tagFILEOPRESULT CFileOperations::Trash(const std::vector<MyString>& files) const {
  tagFILEOPRESULT result;
  result.nOperation = FO_TRASH;
  for (const MyString& file : files) {
    struct stat st {};
    // A vanished file is reported, not counted as trashed.
    if (lstat(CStrAW::w_toA(file).c_str(), &st) == 0 && QFile::moveToTrash(file.ToQString()))
      result.done.emplace_back(file, MyString());
    else
      result.failed.push_back(file);
  }
  return result;
}

MyString CFileOperations::ReportText(const tagFILEOPRESULT& result) {
  if (result.Succeeded()) return u"Operation completed successfully !";
  MyString text;
  switch (result.nOperation) {
    case FO_MOVE:
      text = u"These files could not be moved:";
      break;
    case FO_COPY:
      text = u"These files could not be copied:";
      break;
    case FO_TRASH:
      text = u"These files could not be moved to the Trash:";
      break;
  }
  // A long list is cut; the count says how many there were.
  constexpr size_t kShown = 20;
  for (size_t i = 0; i < result.failed.size() && i < kShown; ++i)
    text += u"\n" + result.failed[i].GetStringTitleExt();
  if (result.failed.size() > kShown)
    text += CStrAW::printf(u"\n... and %d more", int(result.failed.size() - kShown));
  if (!result.done.empty())
    text += CStrAW::printf(u"\n\n%d other files were done.", int(result.done.size()));
  return text;
}

MyString CFileOperations::ReportCaption(const tagFILEOPRESULT& result) {
  switch (result.nOperation) {
    case FO_MOVE:
      return u"Move files";
    case FO_COPY:
      return u"Copy files";
    case FO_TRASH:
      return u"Delete files";
  }
  return MyString();
}
