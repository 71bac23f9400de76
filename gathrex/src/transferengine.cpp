#include "gathrex/transferengine.h"

#include <QDir>
#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr size_t kBlockSize = 1 << 20;
constexpr int kMaxNameTries = 9999;

// The umask without changing it (other threads may be creating files).
mode_t CurrentUmask() {
  FILE* status = ::fopen("/proc/self/status", "re");
  unsigned mask = 022;
  if (status) {
    char line[256];
    while (::fgets(line, sizeof line, status))
      if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
    ::fclose(status);
  }
  return mode_t(mask);
}

MyString ErrnoText(int error) { return MyString::FromUtf8(std::strerror(error)); }

class CFd {
 public:
  explicit CFd(int fd = -1) : m_fd(fd) {}
  ~CFd() { Reset(); }
  CFd(const CFd&) = delete;
  CFd& operator=(const CFd&) = delete;
  int Get() const { return m_fd; }
  void Reset(int fd = -1) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
  }

 private:
  int m_fd;
};

// Reads up to size bytes, retrying short reads. -1 on error (errno).
int64_t ReadFull(int fd, char* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, buffer + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += size_t(n);
  }
  return int64_t(done);
}

int WriteFull(int fd, const char* buffer, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, buffer, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return 0;
    buffer += n;
    size -= size_t(n);
  }
  return 1;
}

// 1 when the two open files hold the same bytes; 0 when not; -1 on error.
int SameContent(int a, int b) {
  if (::lseek(a, 0, SEEK_SET) < 0 || ::lseek(b, 0, SEEK_SET) < 0) return -1;
  std::unique_ptr<char[]> left(new char[kBlockSize]), right(new char[kBlockSize]);
  for (;;) {
    const int64_t n = ReadFull(a, left.get(), kBlockSize);
    const int64_t m = ReadFull(b, right.get(), kBlockSize);
    if (n < 0 || m < 0) return -1;
    if (n != m || std::memcmp(left.get(), right.get(), size_t(n)) != 0) return 0;
    if (n == 0) return 1;
  }
}

// "name (n).ext", or name for n == 1.
std::string NumberedName(const std::string& name, int n) {
  if (n == 1) return name;
  const size_t dot = name.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > 0;
  const std::string stem = hasExtension ? name.substr(0, dot) : name;
  const std::string extension = hasExtension ? name.substr(dot) : std::string();
  return stem + " (" + std::to_string(n) + ")" + extension;
}

// Moves temp to name unless name exists. 1 moved, 0 taken, -1 error (errno).
int RenameNoReplace(int dir, const char* temp, const char* name) {
  if (::renameat2(dir, temp, dir, name, RENAME_NOREPLACE) == 0) return 1;
  if (errno == EEXIST) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  // File systems without an exclusive rename: a hard link never replaces.
  if (::linkat(dir, temp, dir, name, 0) == 0) {
    ::unlinkat(dir, temp, 0);
    return 1;
  }
  if (errno == EEXIST) return 0;
  if (errno != EPERM && errno != ENOTSUP) return -1;
  // Neither (FAT cards): check and rename, racing only with ourselves.
  struct stat st;
  if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0) return 0;
  return ::renameat(dir, temp, dir, name) == 0 ? 1 : -1;
}

void CollectFolder(const fs::path& folder, const std::function<bool(const MyString&)>& isPicture,
                   const std::atomic<bool>* stop, MyStringList* out) {
  std::error_code ec;
  std::vector<fs::path> files, folders;
  for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_symlink(typeError)) {
      // A linked file counts; a linked folder is not entered (it may loop).
      if (it->is_regular_file(typeError)) files.push_back(it->path());
    } else if (it->is_directory(typeError)) {
      folders.push_back(it->path());
    } else if (it->is_regular_file(typeError)) {
      files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  for (const fs::path& file : files) {
    const MyString path = MyString::FromUtf8(file.string());
    if (isPicture(path)) out->Append(path);
  }
  for (const fs::path& sub : folders) {
    if (stop && stop->load()) return;
    CollectFolder(sub, isPicture, stop, out);
  }
}

}  // namespace

MyString DatedFolderName(const QDate& date) {
  MyString name = MyString::FromQString(QLocale::system().toString(date, QLocale::LongFormat));
  for (char16_t& ch : name.str())
    if (ch == u'/') ch = u'-';
  return PlainFileName(name);
}

int MakeDatedFolder(const MyString& destination, const QDate& date, MyString* folder,
                    MyString* error) {
  MyString path = destination;
  if (path.IsEmpty() || path[path.GetLength() - 1] != u'/') path += u'/';
  path += DatedFolderName(date);
  const QString qpath = path.ToQString();
  if (!QDir().mkpath(qpath) || !QFileInfo(qpath).isDir()) {
    if (error) *error = u"Cannot create " + path;
    return 0;
  }
  *folder = path;
  return 1;
}

MyString PlainFileName(const MyString& name) {
  std::u16string plain = name.str();
  for (char16_t& ch : plain)
    if (ch == u'/' || ch == u'\0') ch = u'_';
  if (plain.empty() || plain == u"." || plain == u"..") plain = u"_" + plain;
  // Keep the extension when shortening to the file system's 255 bytes.
  while (MyString(plain).ToUtf8().size() > 255) {
    const size_t dot = plain.rfind(u'.');
    const size_t cut = (dot != std::u16string::npos && dot > 0 && plain.size() - dot < 16)
                           ? dot - 1
                           : plain.size() - 1;
    plain.erase(cut, 1);
  }
  return MyString(plain);
}

MyStringList CollectPictures(const MyString& root,
                             const std::function<bool(const MyString&)>& isPicture,
                             const std::atomic<bool>* stop) {
  MyStringList out;
  CollectFolder(fs::path(root.ToUtf8()), isPicture, stop, &out);
  return out;
}

CTransferEngine::CTransferEngine(const MyString& targetFolder) : m_strTarget(targetFolder) {}

bool CTransferEngine::Stopped() {
  if (m_stop && m_stop->load()) m_bStopped = true;
  return m_bStopped;
}

void CTransferEngine::FlushTarget(size_t placed) {
  if (m_bDeleteAfter || placed == 0) return;
  CFd dir(::open(m_strTarget.ToUtf8().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() < 0 || ::syncfs(dir.Get()) != 0)
    m_failures.push_back({m_strTarget, u"Cannot write to the disk: " + ErrnoText(errno)});
}

void CTransferEngine::Begin(size_t count) {
  m_targets = MyStringList();
  for (size_t i = 0; i < count; ++i) m_targets.Append(MyString());
  m_failures.clear();
  m_bStopped = false;
}

int CTransferEngine::StoreFile(const MyString& name, const tagSOURCE& source, MyString* target,
                               MyString* error) {
  const std::string folder = m_strTarget.ToUtf8();
  CFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() < 0) {
    *error = u"Cannot open the target folder: " + ErrnoText(errno);
    return 0;
  }
  std::string tempPath = folder + "/.lorimo-transfer-XXXXXX";
  CFd temp(::mkostemp(tempPath.data(), O_CLOEXEC));
  if (temp.Get() < 0) {
    *error = u"Cannot create the file: " + ErrnoText(errno);
    return 0;
  }
  const std::string tempName = tempPath.substr(folder.size() + 1);
  bool keepTemp = false;
  struct RemoveTemp {
    int dir;
    const std::string& name;
    bool& keep;
    ~RemoveTemp() {
      if (!keep) ::unlinkat(dir, name.c_str(), 0);
    }
  } removeTemp{dir.Get(), tempName, keepTemp};

  std::unique_ptr<char[]> block(new char[kBlockSize]);
  for (;;) {
    if (Stopped()) {
      *error = u"Cancelled";
      return 0;
    }
    const int64_t n = source.Read(block.get(), kBlockSize, error);
    if (n < 0) return 0;
    if (n == 0) break;
    if (!WriteFull(temp.Get(), block.get(), size_t(n))) {
      *error = u"Cannot write the file: " + ErrnoText(errno);
      return 0;
    }
  }
  // mkostemp makes the file private; a picture gets the usual permissions.
  ::fchmod(temp.Get(), 0666 & ~CurrentUmask());
  // The original is about to go: its copy must be on the disk first. Kept
  // originals are covered by one flush of the folder's file system at the end.
  if (m_bDeleteAfter && ::fsync(temp.Get()) != 0) {
    *error = u"Cannot write the file: " + ErrnoText(errno);
    return 0;
  }

  // Compare what is on disk with the source once more.
  if (!source.Rewind(error)) return 0;
  if (::lseek(temp.Get(), 0, SEEK_SET) < 0) {
    *error = u"Cannot read back the file: " + ErrnoText(errno);
    return 0;
  }
  std::unique_ptr<char[]> written(new char[kBlockSize]);
  for (;;) {
    const int64_t n = source.Read(block.get(), kBlockSize, error);
    if (n < 0) return 0;
    const int64_t m = ReadFull(temp.Get(), written.get(), size_t(std::max<int64_t>(n, 1)));
    if (m < 0) {
      *error = u"Cannot read back the file: " + ErrnoText(errno);
      return 0;
    }
    if (n == 0 && m == 0) break;
    if (m != n || std::memcmp(block.get(), written.get(), size_t(n)) != 0) {
      *error = u"The copy differs from the original";
      return 0;
    }
  }

  const std::string plain = PlainFileName(name).ToUtf8();
  for (int n = 1; n <= kMaxNameTries; ++n) {
    const std::string candidate = NumberedName(plain, n);
    const int moved = RenameNoReplace(dir.Get(), tempName.c_str(), candidate.c_str());
    if (moved < 0) {
      *error = u"Cannot name the file: " + ErrnoText(errno);
      return 0;
    }
    if (moved == 0) {
      // Taken: an identical file is this picture already; another is kept.
      CFd existing(::openat(dir.Get(), candidate.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
      struct stat st;
      if (existing.Get() < 0 || ::fstat(existing.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
          SameContent(existing.Get(), temp.Get()) != 1)
        continue;
    } else {
      keepTemp = true;
      if (m_bDeleteAfter) ::fsync(dir.Get());
    }
    *target = MyString::FromUtf8(folder + "/" + candidate);
    return 1;
  }
  *error = u"No free name for the file";
  return 0;
}

size_t CTransferEngine::TransferFiles(const MyStringList& files) {
  Begin(files.GetListLength());
  size_t placed = 0;
  for (size_t i = 0; i < files.GetListLength(); ++i) {
    if (Stopped()) break;
    const MyString& path = files[i];
    const MyString name = path.GetStringTitleExt();
    if (m_progress) m_progress(i, files.GetListLength(), name);
    CFd fd(::open(path.ToUtf8().c_str(), O_RDONLY | O_CLOEXEC));
    MyString error;
    if (fd.Get() < 0) {
      m_failures.push_back({path, u"Cannot read the file: " + ErrnoText(errno)});
      continue;
    }
    tagSOURCE source;
    source.Read = [&fd](char* buffer, size_t size, MyString* readError) -> int64_t {
      const int64_t n = ReadFull(fd.Get(), buffer, size);
      if (n < 0) *readError = u"Cannot read the file: " + ErrnoText(errno);
      return n;
    };
    source.Rewind = [&fd](MyString* rewindError) {
      if (::lseek(fd.Get(), 0, SEEK_SET) == 0) return true;
      *rewindError = u"Cannot read the file: " + ErrnoText(errno);
      return false;
    };
    MyString target;
    if (!StoreFile(name, source, &target, &error)) {
      if (!m_bStopped) m_failures.push_back({path, error});
      continue;
    }
    m_targets[i] = target;
    ++placed;
    if (m_bDeleteAfter && ::unlink(path.ToUtf8().c_str()) != 0)
      m_failures.push_back({path, u"Copied, but not removed from the device: " + ErrnoText(errno)});
  }
  FlushTarget(placed);
  return placed;
}

size_t CTransferEngine::TransferCameraFiles(CCameraDevice* camera,
                                            const std::vector<tagCAMERAFILE>& files) {
  Begin(files.size());
  size_t placed = 0;
  std::string data;
  for (size_t i = 0; i < files.size(); ++i) {
    if (Stopped()) break;
    const tagCAMERAFILE& file = files[i];
    if (m_progress) m_progress(i, files.size(), file.strName);
    if (!camera->ReadFile(file, &data, false, m_stop)) {
      if (!Stopped()) m_failures.push_back({file.strName, camera->GetLastError()});
      continue;
    }
    if (file.nSize >= 0 && int64_t(data.size()) != file.nSize) {
      m_failures.push_back(
          {file.strName, MyString::FromUtf8("The camera sent " + std::to_string(data.size()) +
                                            " of " + std::to_string(file.nSize) + " bytes")});
      continue;
    }
    size_t offset = 0;
    tagSOURCE source;
    source.Read = [&](char* buffer, size_t size, MyString*) -> int64_t {
      const size_t n = std::min(size, data.size() - offset);
      std::memcpy(buffer, data.data() + offset, n);
      offset += n;
      return int64_t(n);
    };
    source.Rewind = [&](MyString*) {
      offset = 0;
      return true;
    };
    MyString target, error;
    if (!StoreFile(file.strName, source, &target, &error)) {
      if (!m_bStopped) m_failures.push_back({file.strName, error});
      continue;
    }
    m_targets[i] = target;
    ++placed;
    if (m_bDeleteAfter && !camera->DeleteFile(file))
      m_failures.push_back(
          {file.strName, u"Copied, but not removed from the device: " + camera->GetLastError()});
  }
  FlushTarget(placed);
  return placed;
}
