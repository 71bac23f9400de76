#include "corekit/filelock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "corekit/platform.h"
#include "corekit/straw.h"

CFileLock::CFileLock(MyString path) : m_path(std::move(path)) {}

CFileLock::~CFileLock() {
  if (m_fd >= 0) close(m_fd);
}

int CFileLock::LockFile(bool wait) {
  // Opened per hold, so a lock file removed meanwhile is simply made again.
  const int fd = open(CStrAW::w_toA(m_path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return 0;
  int rc;
  do {
    rc = flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    close(fd);
    return 0;
  }
  m_fd = fd;
  return 1;
}

int CFileLock::Lock() {
  m_mutex.lock();
  if (m_nDepth == 0 && !LockFile(true)) {
    m_mutex.unlock();
    return 0;
  }
  ++m_nDepth;
  m_owner = std::this_thread::get_id();
  return 1;
}

int CFileLock::TryLock() {
  if (!m_mutex.try_lock()) return 0;
  if (m_nDepth == 0 && !LockFile(false)) {
    m_mutex.unlock();
    return 0;
  }
  ++m_nDepth;
  m_owner = std::this_thread::get_id();
  return 1;
}

int CFileLock::Unlock() {
  // Only the owner may release (unlocking a mutex held by another thread
  // would be undefined behaviour).
  if (m_owner.load() != std::this_thread::get_id()) return 0;
  if (--m_nDepth == 0) {
    m_owner = std::thread::id();
    close(m_fd);  // releases the flock
    m_fd = -1;
  }
  m_mutex.unlock();
  return 1;
}

CFileLock& GetFavoritesLock() {
  static CFileLock* lock = new CFileLock(GetConfigFolder() + u"/Lock Favorites Mutex.lock");
  return *lock;
}
