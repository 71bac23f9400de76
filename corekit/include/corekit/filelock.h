#pragma once
// A lock shared by threads and by running instances of the program: an
// advisory lock (flock) on a lock file plus an in-process mutex, since flock
// alone does not keep two threads of one process apart. Like the named mutex
// it replaces, the owning thread may take it again; it is free once every
// Lock is matched by an Unlock.

#include <atomic>
#include <mutex>
#include <thread>

#include "corekit/mystring.h"

class CFileLock {
 public:
  explicit CFileLock(MyString path);
  ~CFileLock();
  CFileLock(const CFileLock&) = delete;
  CFileLock& operator=(const CFileLock&) = delete;

  // Waits without time-out. 1 when held; 0 when the lock file cannot be
  // opened or locked (nothing is held then).
  int Lock();
  // 1 when taken at once, 0 when another thread or process holds it.
  int TryLock();
  // 1 when released; 0 when the calling thread does not hold it.
  int Unlock();

  const MyString& GetPath() const { return m_path; }

 private:
  int LockFile(bool wait);

  MyString m_path;
  std::recursive_mutex m_mutex;
  std::atomic<std::thread::id> m_owner{};
  int m_nDepth = 0;  // guarded by m_mutex
  int m_fd = -1;     // open while held
};

// Holds a lock for a scope when Lock succeeded.
class CFileLockGuard {
 public:
  explicit CFileLockGuard(CFileLock& lock) : m_lock(lock), m_bHeld(lock.Lock() == 1) {}
  ~CFileLockGuard() {
    if (m_bHeld) m_lock.Unlock();
  }
  CFileLockGuard(const CFileLockGuard&) = delete;
  CFileLockGuard& operator=(const CFileLockGuard&) = delete;

  bool IsHeld() const { return m_bHeld; }
  explicit operator bool() const { return m_bHeld; }

 private:
  CFileLock& m_lock;
  bool m_bHeld;
};

// "Lock Favorites Mutex": serialises reading and writing the favorites file.
// The lock file is GetConfigFolder() + "/Lock Favorites Mutex.lock".
CFileLock& GetFavoritesLock();
