#include "corekit/platform.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "corekit/straw.h"

namespace fs = std::filesystem;

namespace {

MyString EnvFolder(const char* name, const char* fallbackBelowHome) {
  const char* value = std::getenv(name);
  if (value && *value == '/') return CStrAW::a_toW(value);
  return GetHomeFolder() + u"/" + CStrAW::a_toW(fallbackBelowHome);
}

MyString Ensure(const MyString& folder) {
  std::error_code ec;
  fs::create_directories(CStrAW::ToPath(folder), ec);
  return folder;
}

}  // namespace

MyString GetHomeFolder() {
  const char* home = std::getenv("HOME");
  return CStrAW::a_toW(home && *home ? home : "/");
}

MyString GetConfigFolder() {
  return Ensure(EnvFolder("XDG_CONFIG_HOME", ".config") + u"/ZOKA/Lorimo");
}

MyString GetCacheFolder() {
  return Ensure(EnvFolder("XDG_CACHE_HOME", ".cache") + u"/ZOKA/Lorimo");
}

MyString GetXdgUserDir(const char* name) {
  const std::string wanted = std::string("XDG_") + name + "_DIR";
  std::ifstream file(CStrAW::ToPath(EnvFolder("XDG_CONFIG_HOME", ".config") + u"/user-dirs.dirs"));
  std::string line, found;
  bool haveFound = false;
  while (std::getline(file, line)) {
    // Lines are NAME="$HOME/sub" or NAME="/absolute", shell-quoted; the last
    // line for a name wins, as for the shell that sources the file.
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] == '#') continue;
    const size_t eq = line.find('=', i);
    if (eq == std::string::npos || line.compare(i, eq - i, wanted) != 0) continue;
    if (eq + 1 >= line.size() || line[eq + 1] != '"') continue;
    std::string value;
    bool closed = false;
    for (size_t k = eq + 2; k < line.size(); ++k) {
      if (line[k] == '\\' && k + 1 < line.size()) {
        value += line[++k];
      } else if (line[k] == '"') {
        closed = true;
        break;
      } else {
        value += line[k];
      }
    }
    if (!closed) continue;
    if (value == "$HOME" || value.rfind("$HOME/", 0) == 0) {
      found = CStrAW::w_toA(GetHomeFolder()) + value.substr(5);
    } else if (!value.empty() && value[0] == '/') {
      found = value;
    } else {
      continue;  // relative paths are not allowed in this file
    }
    haveFound = true;
  }
  if (!haveFound) return MyString();
  while (found.size() > 1 && found.back() == '/') found.pop_back();
  return CStrAW::a_toW(found);
}

MyString GetDesktopFolder() {
  const MyString folder = GetXdgUserDir("DESKTOP");
  return folder.IsEmpty() ? GetHomeFolder() + u"/Desktop" : folder;
}

MyString GetPicturesFolder() {
  const MyString folder = GetXdgUserDir("PICTURES");
  return folder.IsEmpty() ? GetHomeFolder() + u"/Pictures" : folder;
}

MyString GetTempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return CStrAW::a_toW(tmp && *tmp == '/' ? tmp : "/tmp");
}

MyString GetExecutableFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? MyString(u".") : CStrAW::FromPath(exe.parent_path());
}

FILETIME64 FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
  // Seconds from 1601-01-01 to 1970-01-01.
  constexpr int64_t kEpochDelta = 11644473600;
  constexpr uint64_t kTicksPerSecond = 10000000;
  if (seconds < -kEpochDelta) return 0;
  const uint64_t since1601 = uint64_t(seconds + kEpochDelta);
  if (since1601 > (std::numeric_limits<uint64_t>::max() - kTicksPerSecond) / kTicksPerSecond)
    return std::numeric_limits<uint64_t>::max();
  return since1601 * kTicksPerSecond + nanoseconds / 100;
}

namespace {

FILETIME64 FileTime(const struct statx_timestamp& t) {
  return FileTimeFromUnix(t.tv_sec, t.tv_nsec);
}

bool Statx(const std::string& path, bool followLinks, struct statx* st) {
  const int flags = AT_STATX_SYNC_AS_STAT | (followLinks ? 0 : AT_SYMLINK_NOFOLLOW);
  return statx(AT_FDCWD, path.c_str(), flags, STATX_BASIC_STATS | STATX_BTIME, st) == 0;
}

bool IsHiddenName(const MyString& path) {
  MyString trimmed = path;
  while (trimmed.GetLength() > 1 && trimmed[trimmed.GetLength() - 1] == u'/')
    trimmed.tShaveLastChar();
  const MyString name = trimmed.GetStringTitleExt();
  return name.GetLength() > 0 && name[0] == u'.' && name != u"." && name != u"..";
}

// The owner's write bit decides for the owner (root included, who could
// write anyway), so that clearing read-only is the chmod u+w it promises;
// for anybody else, and on a read-only mount, the kernel's answer decides.
bool ReadOnlyFor(const std::string& path, const struct statx& st) {
  if (st.stx_uid == geteuid() && !(st.stx_mode & S_IWUSR)) return true;
  return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0;
}

}  // namespace

int GetFileInfo(const MyString& path, CFileInfo* info, bool followLinks) {
  if (!info || path.IsEmpty()) return 0;
  const std::string native = CStrAW::w_toA(path);
  struct statx st {};
  if (!Statx(native, false, &st)) return 0;
  const bool isLink = S_ISLNK(st.stx_mode);
  if (isLink && followLinks && !Statx(native, true, &st)) return 0;

  CFileInfo facts;
  facts.nSize = st.stx_size;
  facts.ftLastWriteTime = FileTime(st.stx_mtime);
  facts.ftLastAccessTime = FileTime(st.stx_atime);
  facts.ftCreationTime =
      (st.stx_mask & STATX_BTIME) ? FileTime(st.stx_btime) : facts.ftLastWriteTime;
  facts.bDirectory = S_ISDIR(st.stx_mode);
  facts.bHidden = IsHiddenName(path);
  facts.bSymlink = isLink;
  // A link's own permissions mean nothing; what counts is its target's.
  facts.bReadOnly = (isLink && !followLinks) ? IsFileReadOnly(path) : ReadOnlyFor(native, st);
  *info = facts;
  return 1;
}

bool IsFileReadOnly(const MyString& path) {
  const std::string native = CStrAW::w_toA(path);
  struct statx st {};
  if (!Statx(native, true, &st)) return false;
  return ReadOnlyFor(native, st);
}

int ClearFileReadOnly(const MyString& path) {
  const std::string native = CStrAW::w_toA(path);
  struct statx st {};
  if (!Statx(native, true, &st)) return 0;
  if (!(st.stx_mode & S_IWUSR) && chmod(native.c_str(), (st.stx_mode & 07777) | S_IWUSR) != 0)
    return 0;
  // Still read-only: not ours to change, or a read-only mount.
  return IsFileReadOnly(path) ? 0 : 1;
}
