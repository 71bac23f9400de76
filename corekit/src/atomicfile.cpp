#include "corekit/atomicfile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
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

// Opens a new, uniquely named file beside the target. O_EXCL with mode 0666
// lets the umask decide the permissions of a file that did not exist yet.
int CreateTemporary(const std::string& target, std::string* tempPath) {
  static std::atomic<unsigned> counter{0};
  const fs::path targetPath(target);
  std::string stem = targetPath.filename().string();
  if (stem.size() > 100) stem.resize(100);  // stay below the name length limit
  const std::string folder = targetPath.has_parent_path() ? targetPath.parent_path().string() : ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    *tempPath = folder + "/." + stem + "." + std::to_string(::getpid()) + "." +
                std::to_string(counter++) + "." + std::to_string(ticks % 1000000) + ".tmp";
    const int fd = ::open(tempPath->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

void SyncFolder(const std::string& target) {
  const fs::path parent = fs::path(target).parent_path();
  const int fd = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int WriteFileAtomically(const MyString& path, std::string_view bytes, MyString* error) {
  return WriteFileAtomicallyEx(path, bytes, tagATOMICWRITEOPTIONS(), error);
}

int WriteFileAtomicallyEx(const MyString& path, std::string_view bytes,
                          const tagATOMICWRITEOPTIONS& options, MyString* error) {
  if (path.IsEmpty()) {
    if (error) *error = u"No file name given";
    return 0;
  }
  const std::string target = ResolveTarget(CStrAW::ToPath(path).string());

  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) {
    SetError(error, u"Cannot replace the folder", target, EISDIR);
    return 0;
  }
  // A file the user made read-only stays as it is, although the folder
  // would let us replace it.
  const bool readOnly = exists && ::access(target.c_str(), W_OK) != 0;
  if (readOnly && !options.bReplaceReadOnly) {
    SetError(error, u"Cannot write", target, errno);
    return 0;
  }

  std::string temp;
  int fd;
  if (options.strTempSuffix.empty()) {
    fd = CreateTemporary(target, &temp);
  } else {
    // A temporary left by an earlier crash is ours to replace; O_EXCL with
    // mode 0666 then lets the umask decide, as for a unique name.
    temp = target + CStrAW::w_toA(MyString(options.strTempSuffix));
    ::unlink(temp.c_str());
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  }
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
  }
  if (ok && !WriteAll(fd, bytes)) ok = 0, err = errno;
  if (ok && ::fsync(fd) != 0) ok = 0, err = errno;
  if (::close(fd) != 0 && ok) ok = 0, err = errno;
  const bool cancelled = ok && options.cancelled && options.cancelled();
  if (cancelled) ok = 0;
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) ok = 0, err = errno;
  if (!ok) {
    ::unlink(temp.c_str());
    if (cancelled) {
      if (error) *error = u"Cancelled";
    } else {
      SetError(error, u"Cannot write", target, err);
    }
    return 0;
  }
  SyncFolder(target);
  return 1;
}

int ReadWholeFile(const MyString& path, std::string* bytes, size_t maxBytes, MyString* error) {
  bytes->clear();
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
