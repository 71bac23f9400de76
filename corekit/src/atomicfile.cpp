#include "corekit/atomicfile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/random.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "corekit/straw.h"

namespace fs = std::filesystem;

namespace {

void SetError(MyString* error, const char16_t* what, const std::string& path, int err) {
  if (!error) return;
  *error = CStrAW::printf(u"%s \"%S\": %S", what, path.c_str(),
                          std::generic_category().message(err).c_str());
}

void SetSwappedError(MyString* error, const std::string& path) {
  if (!error) return;
  *error =
      CStrAW::printf(u"Not replaced: \"%S\" is no longer the file that was opened", path.c_str());
}

// Follows symbolic links, so that saving through a link replaces the file
// it points to instead of the link itself.
std::string ResolveTarget(const std::string& path) {
  std::error_code ec;
  if (!fs::is_symlink(path, ec)) return path;
  const fs::path resolved = fs::weakly_canonical(path, ec);
  return ec ? path : resolved.string();
}

int WriteAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    p += n;
    left -= size_t(n);
  }
  return 1;
}

// A name part nobody can guess ahead, so no name can be planted for it.
std::string RandomPart() {
  uint64_t value = 0;
  if (::getrandom(&value, sizeof value, GRND_NONBLOCK) != ssize_t(sizeof value)) {
    static std::atomic<uint64_t> counter{0};
    const uint64_t ticks = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    value = (ticks * 0x9E3779B97F4A7C15ull) ^ (uint64_t(::getpid()) << 40) ^ counter++;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// Opens a new temporary in the folder. O_EXCL refuses every name that
// exists, a link included, so nothing is written through a planted link;
// with mode 0666 the umask decides the permissions of a file that did not
// exist yet.
int CreateTemporary(int folder, const std::string& leaf, const std::string& suffix,
                    std::string* temp) {
  std::string stem = leaf;
  if (stem.size() > 100) stem.resize(100);  // stay below the name length limit
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temp = suffix.empty() ? "." + stem + "." + RandomPart() + ".tmp"
                           : stem + suffix + "." + RandomPart();
    const int fd =
        ::openat(folder, temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Whether the name is the expected file itself, not a link to it nor
// another file swapped in.
bool IsExpectedFile(int folder, const std::string& leaf, const tagFILEIDENTITY& expected) {
  const int fd = ::openat(folder, leaf.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  const bool same = ::fstat(fd, &st) == 0 && !S_ISLNK(st.st_mode) &&
                    uint64_t(st.st_dev) == expected.nDevice &&
                    uint64_t(st.st_ino) == expected.nInode;
  ::close(fd);
  return same;
}

// Gives the finished temporary the target's name only while nothing is
// there. 0, or the errno of the failure.
int PublishNew(int folder, const std::string& temp, const std::string& leaf) {
  if (::renameat2(folder, temp.c_str(), folder, leaf.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
  // Some network file systems cannot; a hard link is made on a free name only, too.
  if (::linkat(folder, temp.c_str(), folder, leaf.c_str(), 0) == 0) {
    ::unlinkat(folder, temp.c_str(), 0);
    return 0;
  }
  if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return errno;
  // Nor hard links (FAT memory cards): the name is claimed first, and the
  // rename then replaces only our own empty claim.
  const int claim =
      ::openat(folder, leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (claim < 0) return errno;
  ::close(claim);
  if (::renameat(folder, temp.c_str(), folder, leaf.c_str()) == 0) return 0;
  const int err = errno;
  ::unlinkat(folder, leaf.c_str(), 0);
  return err;
}

int WriteInFolder(int folder, const std::string& leaf, const std::string& target,
                  std::string_view bytes, const tagATOMICWRITEOPTIONS& options, MyString* error) {
  struct stat existing {};
  const bool present = ::fstatat(folder, leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
  if (!present && errno != ENOENT) {
    SetError(error, u"Cannot write", target, errno);
    return 0;
  }
  const bool link = present && S_ISLNK(existing.st_mode);
  if (present && S_ISDIR(existing.st_mode)) {
    SetError(error, u"Cannot replace the folder", target, EISDIR);
    return 0;
  }
  if (present && options.nTarget == AT_CREATE_NEW) {
    SetError(error, u"Cannot create", target, EEXIST);
    return 0;
  }
  // Still a link after following it: a loop, or a link swapped in meanwhile.
  if (link && options.nTarget == AT_FOLLOW_LINK) {
    SetError(error, u"Cannot write", target, ELOOP);
    return 0;
  }
  if (options.expected.bKnown && !IsExpectedFile(folder, leaf, options.expected)) {
    SetSwappedError(error, target);
    return 0;
  }
  // A link replaced as a name passes nothing of its own on.
  const bool exists = present && !link;
  // A file the user made read-only stays as it is, although the folder
  // would let us replace it.
  const bool readOnly = exists && ::faccessat(folder, leaf.c_str(), W_OK, 0) != 0;
  if (readOnly && !options.bReplaceReadOnly) {
    SetError(error, u"Cannot write", target, errno);
    return 0;
  }

  std::string temp;
  const int fd =
      CreateTemporary(folder, leaf, CStrAW::w_toA(MyString(options.strTempSuffix)), &temp);
  if (fd < 0) {
    SetError(error, u"Cannot create a temporary file beside", target, errno);
    return 0;
  }

  int ok = 1;
  int err = 0;
  if (exists) {
    // Keep who may read the file; the owner only where we are allowed to.
    if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())
      (void)::fchown(fd, existing.st_uid, existing.st_gid);
    mode_t mode = existing.st_mode & 07777;
    if (readOnly) mode |= S_IWUSR;
    if (::fchmod(fd, mode) != 0) ok = 0, err = errno;
  } else if (options.bPrivate && ::fchmod(fd, 0600) != 0) {
    ok = 0, err = errno;
  }
  if (ok && !WriteAll(fd, bytes)) ok = 0, err = errno;
  if (ok && !options.bNoFlush && ::fsync(fd) != 0) ok = 0, err = errno;
  if (::close(fd) != 0 && ok) ok = 0, err = errno;
  const bool cancelled = ok && options.cancelled && options.cancelled();
  if (cancelled) ok = 0;
  // Looked at again just before the replace: the write took a while.
  const bool swapped =
      ok && options.expected.bKnown && !IsExpectedFile(folder, leaf, options.expected);
  if (swapped) ok = 0;
  if (ok) {
    if (options.nTarget == AT_CREATE_NEW)
      err = PublishNew(folder, temp, leaf);
    else if (::renameat(folder, temp.c_str(), folder, leaf.c_str()) != 0)
      err = errno;
    if (err) ok = 0;
  }
  if (!ok) {
    ::unlinkat(folder, temp.c_str(), 0);
    if (cancelled) {
      if (error) *error = u"Cancelled";
    } else if (swapped) {
      SetSwappedError(error, target);
    } else {
      SetError(error, options.nTarget == AT_CREATE_NEW ? u"Cannot create" : u"Cannot write", target,
               err);
    }
    return 0;
  }
  if (!options.bNoFlush) ::fsync(folder);
  return 1;
}

}  // namespace

int GetFileIdentity(const MyString& path, tagFILEIDENTITY* identity) {
  *identity = tagFILEIDENTITY();
  struct stat st {};
  if (path.IsEmpty() || ::stat(CStrAW::ToPath(path).c_str(), &st) != 0) return 0;
  identity->bKnown = true;
  identity->nDevice = uint64_t(st.st_dev);
  identity->nInode = uint64_t(st.st_ino);
  return 1;
}

int WriteFileAtomically(const MyString& path, std::string_view bytes, MyString* error) {
  return WriteFileAtomicallyEx(path, bytes, tagATOMICWRITEOPTIONS(), error);
}

int WriteFileAtomicallyEx(const MyString& path, std::string_view bytes,
                          const tagATOMICWRITEOPTIONS& options, MyString* error) {
  if (path.IsEmpty()) {
    if (error) *error = u"No file name given";
    return 0;
  }
  const std::string named = CStrAW::ToPath(path).string();
  const std::string target = options.nTarget == AT_FOLLOW_LINK ? ResolveTarget(named) : named;
  const fs::path targetPath(target);
  const std::string leaf = targetPath.filename().string();
  if (leaf.empty() || leaf == "." || leaf == "..") {
    SetError(error, u"Cannot replace the folder", target, EISDIR);
    return 0;
  }
  // Every step happens inside this one folder, so a folder swapped for a
  // link meanwhile cannot send the file elsewhere.
  const std::string folderName =
      targetPath.has_parent_path() ? targetPath.parent_path().string() : ".";
  const int folder = ::open(folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) {
    SetError(error, u"Cannot write", target, errno);
    return 0;
  }
  const int ok = WriteInFolder(folder, leaf, target, bytes, options, error);
  ::close(folder);
  return ok;
}

int ReadWholeFile(const MyString& path, std::string* bytes, size_t maxBytes, MyString* error,
                  tagFILEIDENTITY* identity) {
  bytes->clear();
  if (identity) *identity = tagFILEIDENTITY();
  const std::string name = CStrAW::ToPath(path).string();
  // Non-blocking, so that a named pipe in place of the file cannot hang us.
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    SetError(error, u"Cannot open", name, errno);
    return 0;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    SetError(error, u"Not a regular file:", name, EINVAL);
    return 0;
  }
  if (uint64_t(st.st_size) > maxBytes) {
    ::close(fd);
    SetError(error, u"File too large:", name, EFBIG);
    return 0;
  }
  if (identity) {
    identity->bKnown = true;
    identity->nDevice = uint64_t(st.st_dev);
    identity->nInode = uint64_t(st.st_ino);
  }
  bytes->reserve(size_t(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      bytes->clear();
      SetError(error, u"Cannot read", name, err);
      return 0;
    }
    if (n == 0) break;
    if (bytes->size() + size_t(n) > maxBytes) {  // grew while we read it
      ::close(fd);
      bytes->clear();
      SetError(error, u"File too large:", name, EFBIG);
      return 0;
    }
    bytes->append(buffer, size_t(n));
  }
  ::close(fd);
  return 1;
}
