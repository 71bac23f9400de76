#include "nestbook/threadupdate.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

#include "corekit/straw.h"

namespace {

std::atomic<CThreadUpdate*> gInstance{nullptr};

// Folder-name changes: a subfolder made, removed or renamed.
constexpr uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr uint32_t kSubfolderMask = kFolderEvents | IN_ONLYDIR | IN_DONT_FOLLOW;
constexpr uint32_t kRootMask = kFolderEvents | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// How long StopThread waits for a watcher that is inside the notify
// function before leaving it to end on its own.
constexpr auto kStopWait = std::chrono::seconds(2);

void Signal(int fd) {
  const uint64_t one = 1;
  while (write(fd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void Drain(int fd) {
  uint64_t value;
  while (read(fd, &value, sizeof value) < 0 && errno == EINTR) {
  }
}

bool IsSubfolder(int dirFd, const dirent* entry) {
  if (entry->d_name[0] == '.') return false;  // ".", ".." and hidden folders
  if (entry->d_type == DT_DIR) return true;
  if (entry->d_type != DT_UNKNOWN) return false;  // links are not followed
  struct stat st {};
  return fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// The inotify watches of the watched folders and of every folder below
// them, each watch knowing which watched folders it serves.
class CWatchSet {
 public:
  CWatchSet() : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
  ~CWatchSet() {
    if (m_fd >= 0) close(m_fd);
  }
  CWatchSet(const CWatchSet&) = delete;
  CWatchSet& operator=(const CWatchSet&) = delete;

  int GetFd() const { return m_fd; }

  // Watches root folder index and its subtree; false when the folder
  // itself cannot be watched.
  bool AddRoot(size_t root, const std::string& path) {
    if (m_fd < 0) return false;
    const int wd = inotify_add_watch(m_fd, path.c_str(), kRootMask);
    if (wd < 0) return false;
    Remember(wd, path, root, true);
    AddBelow(root, path);
    return true;
  }

  // A folder that appeared below a watched one, with what it holds.
  void AddTree(const std::vector<size_t>& roots, const std::string& path) {
    for (size_t root : roots) {
      const int wd = inotify_add_watch(m_fd, path.c_str(), kSubfolderMask);
      if (wd < 0) return;  // gone again, or out of watches
      Remember(wd, path, root, false);
      AddBelow(root, path);
    }
  }

  // A folder that moved away: stop watching it and what it holds.
  void RemoveTree(const std::string& path) {
    const std::string below = path + '/';
    for (auto it = m_watches.begin(); it != m_watches.end();) {
      const std::string& dir = it->second.dir;
      if (!it->second.bRoot && (dir == path || dir.compare(0, below.size(), below) == 0)) {
        inotify_rm_watch(m_fd, it->first);
        it = m_watches.erase(it);
      } else {
        ++it;
      }
    }
  }

  // Stops every watch serving root.
  void RemoveRoot(size_t root) {
    for (auto it = m_watches.begin(); it != m_watches.end();) {
      auto& roots = it->second.roots;
      roots.erase(std::remove(roots.begin(), roots.end(), root), roots.end());
      if (roots.empty()) {
        inotify_rm_watch(m_fd, it->first);
        it = m_watches.erase(it);
      } else {
        ++it;
      }
    }
  }

  struct Watch {
    std::string dir;
    std::vector<size_t> roots;
    bool bRoot = false;
  };
  Watch* Find(int wd) {
    const auto it = m_watches.find(wd);
    return it == m_watches.end() ? nullptr : &it->second;
  }
  void Forget(int wd) { m_watches.erase(wd); }

 private:
  void Remember(int wd, const std::string& path, size_t root, bool isRoot) {
    Watch& watch = m_watches[wd];  // the same folder again: same descriptor
    watch.dir = path;
    watch.bRoot = watch.bRoot || isRoot;
    if (std::find(watch.roots.begin(), watch.roots.end(), root) == watch.roots.end())
      watch.roots.push_back(root);
  }

  void AddBelow(size_t root, const std::string& top) {
    std::vector<std::string> pending{top};
    while (!pending.empty()) {
      const std::string folder = std::move(pending.back());
      pending.pop_back();
      DIR* dir = opendir(folder.c_str());
      if (!dir) continue;
      while (const dirent* entry = readdir(dir)) {
        if (!IsSubfolder(dirfd(dir), entry)) continue;
        const std::string path = folder + '/' + entry->d_name;
        const int wd = inotify_add_watch(m_fd, path.c_str(), kSubfolderMask);
        if (wd < 0) continue;
        Remember(wd, path, root, false);
        pending.push_back(path);
      }
      closedir(dir);
    }
  }

  int m_fd;
  std::unordered_map<int, Watch> m_watches;
};

}  // namespace

struct CThreadUpdate::State {
  std::mutex mutex;  // the list and the notify calls
  std::vector<MyString> items;
  NotifyFct notify;
  int stopFd = -1;
  int refreshFd = -1;
  std::atomic<int> watched{0};
  std::mutex doneMutex;
  std::condition_variable doneCv;
  bool bDone = false;

  ~State() {
    if (stopFd >= 0) close(stopFd);
    if (refreshFd >= 0) close(refreshFd);
  }
};

namespace {

// The folders being watched, by index into the list taken when arming.
struct Armed {
  std::vector<MyString> paths;
  std::vector<bool> alive;
};

}  // namespace

CThreadUpdate::CThreadUpdate() : m_state(std::make_shared<State>()) { gInstance = this; }

CThreadUpdate::~CThreadUpdate() {
  StopThread();
  CThreadUpdate* self = this;
  gInstance.compare_exchange_strong(self, nullptr);
}

CThreadUpdate* CThreadUpdate::GetInstance() { return gInstance; }

void CThreadUpdate::SetNotifyFct(NotifyFct fct) {
  m_notify = fct;
  std::lock_guard<std::mutex> lock(m_state->mutex);
  m_state->notify = std::move(fct);
}

int CThreadUpdate::AddItem(const MyString& path) {
  if (path.IsEmpty()) return 0;
  {
    std::unique_lock<std::mutex> lock(m_state->mutex, std::try_to_lock);
    if (!lock.owns_lock()) return 0;
    auto& items = m_state->items;
    if (std::find(items.begin(), items.end(), path) == items.end()) items.push_back(path);
  }
  if (m_bUpdateEnabled) UpdateThread();
  return 1;
}

int CThreadUpdate::RemoveItem(const MyString& path) {
  {
    std::unique_lock<std::mutex> lock(m_state->mutex, std::try_to_lock);
    if (!lock.owns_lock()) return 0;
    auto& items = m_state->items;
    items.erase(std::remove(items.begin(), items.end(), path), items.end());
  }
  if (m_bUpdateEnabled) UpdateThread();
  return 1;
}

int CThreadUpdate::StartThread() {
  if (m_thread.joinable()) return 1;
  State& state = *m_state;
  if (state.stopFd < 0) state.stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (state.refreshFd < 0) state.refreshFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (state.stopFd < 0 || state.refreshFd < 0) return 0;
  state.bDone = false;
  try {
    m_thread = std::thread(Run, m_state);
  } catch (const std::system_error&) {
    return 0;
  }
  return 1;
}

int CThreadUpdate::UpdateThread() {
  if (!m_thread.joinable()) return StartThread();
  Signal(m_state->refreshFd);
  return 1;
}

void CThreadUpdate::BlockUpdate(int enabled) { m_bUpdateEnabled = enabled; }

void CThreadUpdate::StopThread() {
  if (!m_thread.joinable()) return;
  const std::shared_ptr<State> state = m_state;
  Signal(state->stopFd);
  bool finished;
  {
    std::unique_lock<std::mutex> lock(state->doneMutex);
    finished = state->doneCv.wait_for(lock, kStopWait, [&] { return state->bDone; });
  }
  if (finished) {
    m_thread.join();
    close(state->stopFd);
    close(state->refreshFd);
    state->stopFd = state->refreshFd = -1;
    state->watched = 0;
    return;
  }
  // Still inside the notify function (waiting on this very thread, say):
  // it ends by itself once that returns, holding its own state.
  m_thread.detach();
  m_state = std::make_shared<State>();
  m_state->notify = m_notify;
}

bool CThreadUpdate::IsRunning() const { return m_thread.joinable(); }

int CThreadUpdate::GetWatchedCount() const { return m_state->watched; }

std::vector<MyString> CThreadUpdate::GetItems() const {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  return m_state->items;
}

void CThreadUpdate::Run(std::shared_ptr<State> state) {
  auto watches = std::make_unique<CWatchSet>();
  Armed armed;

  auto arm = [&] {
    watches = std::make_unique<CWatchSet>();
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      const size_t count = std::min(state->items.size(), kMaxWatched);
      armed.paths.assign(state->items.begin(), state->items.begin() + long(count));
    }
    armed.alive.assign(armed.paths.size(), false);
    int watched = 0;
    for (size_t i = 0; i < armed.paths.size(); ++i)
      if ((armed.alive[i] = watches->AddRoot(i, CStrAW::w_toA(armed.paths[i])))) ++watched;
    state->watched = watched;
  };

  auto handleEvents = [&] {
    std::vector<bool> touched(armed.paths.size(), false);
    std::vector<bool> lost(armed.paths.size(), false);
    bool overflowed = false;
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
      const ssize_t length = read(watches->GetFd(), buffer, sizeof buffer);
      if (length <= 0) {
        if (length < 0 && errno == EINTR) continue;
        break;  // EAGAIN: all read
      }
      for (ssize_t offset = 0; offset < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
        offset += ssize_t(sizeof(inotify_event) + event->len);
        if (event->mask & IN_Q_OVERFLOW) {
          // Events were lost: tell about every folder, and watch afresh
          // what was made meanwhile.
          std::fill(touched.begin(), touched.end(), true);
          overflowed = true;
          continue;
        }
        CWatchSet::Watch* watch = watches->Find(event->wd);
        if (!watch) continue;
        const std::vector<size_t> roots = watch->roots;
        const std::string dir = watch->dir;
        const bool isRoot = watch->bRoot;
        if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
          if (isRoot)
            for (size_t root : roots) touched[root] = lost[root] = true;
          if (event->mask & IN_IGNORED) watches->Forget(event->wd);
          continue;
        }
        if (!(event->mask & IN_ISDIR) || event->len == 0) continue;
        for (size_t root : roots) touched[root] = true;
        const std::string child = dir + '/' + event->name;
        if (event->mask & IN_MOVED_FROM) watches->RemoveTree(child);
        if (event->mask & (IN_CREATE | IN_MOVED_TO)) watches->AddTree(roots, child);
      }
    }

    // Watch a lost folder again where it is back; else it leaves the list.
    std::vector<MyString> gone;
    for (size_t root = 0; root < lost.size(); ++root) {
      if (!lost[root] || !armed.alive[root]) continue;
      watches->RemoveRoot(root);
      if (!watches->AddRoot(root, CStrAW::w_toA(armed.paths[root]))) {
        armed.alive[root] = false;
        gone.push_back(armed.paths[root]);
        --state->watched;
      }
    }

    std::lock_guard<std::mutex> lock(state->mutex);
    for (size_t root = 0; root < touched.size(); ++root)
      if (touched[root] && state->notify) state->notify(armed.paths[root]);
    for (const MyString& path : gone)
      state->items.erase(std::remove(state->items.begin(), state->items.end(), path),
                         state->items.end());
    return overflowed;
  };

  arm();
  for (;;) {
    pollfd fds[3] = {
        {state->stopFd, POLLIN, 0}, {state->refreshFd, POLLIN, 0}, {watches->GetFd(), POLLIN, 0}};
    const nfds_t count = watches->GetFd() >= 0 ? 3 : 2;
    if (poll(fds, count, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents) {
      Drain(state->stopFd);
      std::lock_guard<std::mutex> lock(state->mutex);
      state->items.clear();
      break;
    }
    if (fds[1].revents) {
      Drain(state->refreshFd);
      arm();
      continue;
    }
    if (count == 3 && fds[2].revents && handleEvents()) arm();
  }
  watches.reset();
  state->watched = 0;
  std::lock_guard<std::mutex> lock(state->doneMutex);
  state->bDone = true;
  state->doneCv.notify_all();
}
