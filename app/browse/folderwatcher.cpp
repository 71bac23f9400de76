#include "browse/folderwatcher.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include "corekit/queuedcall.h"
#include "corekit/straw.h"

Q_LOGGING_CATEGORY(lcWatcher, "lorimo.watcher", QtWarningMsg)

namespace {

void Trace(const MyString& text) { qCDebug(lcWatcher).noquote() << text.ToQString(); }

bool IsSlot(int slot) { return slot >= 0 && slot < CFolderWatcher::kSlots; }

}  // namespace

CFolderWatcher::CFolderWatcher(size_t budgetPerItem)
    : m_budget(budgetPerItem),
      m_stop(std::make_unique<CWakeEvent>()),
      m_refresh(std::make_unique<CWakeEvent>()) {}

CFolderWatcher::~CFolderWatcher() { Stop(); }

CFolderWatcher& CFolderWatcher::Instance() {
  static CFolderWatcher watcher;
  return watcher;
}

void CFolderWatcher::SetSubscriber(int slot, QObject* context, Subscriber fct) {
  if (!IsSlot(slot)) return;
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  m_subscribers[size_t(slot)] = tagSUBSCRIBER{context, context == nullptr, std::move(fct)};
}

int CFolderWatcher::AddLocked(const MyString& path, int slot) {
  for (tagWATCHITEM& item : m_items)
    if (item.strPath == path) {
      item.dwStates[size_t(slot)] = kWatching;
      return 0;
    }
  tagWATCHITEM item;
  item.strPath = path;
  item.dwStates[size_t(slot)] = kWatching;
  m_items.push_back(std::move(item));
  return 1;
}

int CFolderWatcher::RemoveLocked(const MyString& path, int slot) {
  const auto it = std::find_if(m_items.begin(), m_items.end(),
                               [&](const tagWATCHITEM& item) { return item.strPath == path; });
  if (it == m_items.end()) return 0;
  it->dwStates[size_t(slot)] = kNotWatching;
  if (std::find(it->dwStates.begin(), it->dwStates.end(), kWatching) != it->dwStates.end())
    return 0;
  m_items.erase(it);
  return 1;
}

int CFolderWatcher::Queue(const MyString& path, int slot, bool add) {
  Trace(u" busy, queued ");
  {
    std::lock_guard<std::mutex> lock(m_queueMutex);
    m_queue.push_back(tagCHANGE{path, slot, add});
    m_bQueued = true;
  }
  // The watcher takes the queue when it wakes; it may be back in its wait.
  m_refresh->Signal();
  return 1;
}

bool CFolderWatcher::ApplyQueued() {
  if (!m_bQueued.exchange(false)) return false;
  std::vector<tagCHANGE> changes;
  {
    std::lock_guard<std::mutex> lock(m_queueMutex);
    changes.swap(m_queue);
  }
  bool changed = false;
  for (const tagCHANGE& change : changes) {
    if (change.bAdd) {
      const size_t before = m_items.size();
      AddLocked(change.strPath, change.nSlot);
      changed = changed || m_items.size() != before;
    } else {
      changed = RemoveLocked(change.strPath, change.nSlot) || changed;
    }
  }
  return changed;
}

int CFolderWatcher::UTAddItem(const MyString& path, int slot, bool wake) {
  if (path.IsEmpty() || !IsSlot(slot)) return 0;
  Trace(CStrAW::printf(u"UTAddItem: %s, %d .......... ", path.c_str(), slot));
  int result;
  {
    // Only the running watcher holds the lock for long; else it is had at once.
    std::unique_lock<std::recursive_mutex> lock(m_lock, std::defer_lock);
    if (!m_bRunning)
      lock.lock();
    else if (!lock.try_lock())
      return Queue(path, slot, true);
    Trace(u" OK ");
    result = AddLocked(path, slot);
  }
  if (result && wake) Wake();
  return result;
}

int CFolderWatcher::UTRemoveItem(const MyString& path, bool wake, int slot) {
  if (path.IsEmpty() || !IsSlot(slot)) return 0;
  Trace(CStrAW::printf(u"UTRemoveItem: %s, %d .......... ", path.c_str(), slot));
  int result;
  {
    std::unique_lock<std::recursive_mutex> lock(m_lock, std::defer_lock);
    if (!m_bRunning)
      lock.lock();
    else if (!lock.try_lock())
      return Queue(path, slot, false);
    Trace(u" OK ");
    result = RemoveLocked(path, slot);
  }
  if (result && wake) Wake();
  return result;
}

int CFolderWatcher::RemoveList(const MyStringList& paths, int slot) {
  bool removed = false;
  for (const MyString& path : paths) removed = UTRemoveItem(path, false, slot) || removed;
  if (removed) Wake();
  return 1;
}

void CFolderWatcher::Wake() {
  if (m_bRunning)
    m_refresh->Signal();
  else
    Start();
}

void CFolderWatcher::Start() {
  if (m_bRunning) return;
  if (m_thread.joinable()) m_thread.join();  // ended on its own
  m_stop->Drain();
  m_refresh->Drain();
  if (!m_stop->IsValid() || !m_refresh->IsValid()) {
    qCWarning(lcWatcher) << "cannot make the watcher's events";
    return;
  }
  m_bRunning = true;
  try {
    m_thread = std::thread(&CFolderWatcher::Run, this);
  } catch (const std::system_error&) {
    m_bRunning = false;
  }
}

void CFolderWatcher::Stop() {
  if (m_thread.joinable()) {
    m_stop->Signal();
    m_bRunning = false;
    m_thread.join();
  }
  m_bRunning = false;
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  m_items.clear();
  {
    std::lock_guard<std::mutex> queueLock(m_queueMutex);
    m_queue.clear();
    m_bQueued = false;
  }
  m_nWatched = 0;
}

void CFolderWatcher::UTNotify(const tagWATCHITEM& item) {
  Trace(CStrAW::printf(u"UTNotify: %s, [%d, %d, %d] ", item.strPath.c_str(), item.dwStates[0],
                       item.dwStates[1], item.dwStates[2]));
  for (int slot = 0; slot < kSlots; ++slot) {
    if (item.dwStates[size_t(slot)] != kWatching) continue;
    const tagSUBSCRIBER& subscriber = m_subscribers[size_t(slot)];
    if (!subscriber.fct) continue;
    if (subscriber.bDirect) {
      subscriber.fct(item.strPath);
    } else if (QObject* context = subscriber.context.data()) {
      QueueCall(context, [fct = subscriber.fct, path = item.strPath] { fct(path); });
    }
  }
}

bool CFolderWatcher::IsWatched(const MyString& path) const {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  return std::find(m_armed.begin(), m_armed.end(), path) != m_armed.end();
}

std::vector<tagWATCHITEM> CFolderWatcher::GetItems() const {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  return m_items;
}

void CFolderWatcher::Run() {
  // Lowest priority: watching must never slow the viewer.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
  Trace(u"UTThreadProc... START UPDATE THREAD! ");

  auto watches = std::make_unique<CFolderWatchSet>(m_budget);
  std::array<MyString, kMaxWaited>& armed = m_armed;

  auto forget = [&](size_t root) {
    watches->RemoveRoot(root);
    armed[root] = MyString();
  };
  // With the lock: the first 30 items that can be watched are watched.
  auto arm = [&] {
    for (size_t root = 0; root < kMaxWaited; ++root) {
      if (armed[root].IsEmpty()) continue;
      const bool listed =
          std::any_of(m_items.begin(), m_items.end(),
                      [&](const tagWATCHITEM& item) { return item.strPath == armed[root]; });
      if (!listed) forget(root);
    }
    size_t count = size_t(std::count_if(armed.begin(), armed.end(),
                                        [](const MyString& path) { return !path.IsEmpty(); }));
    for (const tagWATCHITEM& item : m_items) {
      if (count >= kMaxWaited) break;
      if (std::find(armed.begin(), armed.end(), item.strPath) != armed.end()) continue;
      const size_t root = size_t(std::find_if(armed.begin(), armed.end(),
                                              [](const MyString& path) { return path.IsEmpty(); }) -
                                 armed.begin());
      const bool ok = watches->AddRoot(root, CStrAW::w_toA(item.strPath));
      Trace(CStrAW::printf(u"FindFirstChangeNotification: %s ..... %s", item.strPath.c_str(),
                           ok ? u" OK" : u" error"));
      if (!ok) continue;  // tried again at the next rebuild
      Trace(CStrAW::printf(u"  %d folders watched", int(watches->GetWatchCount(root))));
      armed[root] = item.strPath;
      ++count;
    }
    if (watches->IsOutOfWatches())
      qCWarning(lcWatcher) << "out of inotify watches: some folders are not watched";
    m_nWatched = count;
  };
  auto rebuildAll = [&] {
    Trace(u"FindCloseChangeNotification: all update handle ");
    watches = std::make_unique<CFolderWatchSet>(m_budget);
    armed.fill(MyString());
    arm();
  };

  {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    ApplyQueued();
    arm();
  }
  for (;;) {
    pollfd fds[3] = {{m_stop->GetFd(), POLLIN, 0},
                     {m_refresh->GetFd(), POLLIN, 0},
                     {watches->GetFd(), POLLIN, 0}};
    const nfds_t count = watches->GetFd() >= 0 ? 3 : 2;
    if (poll(fds, count, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents) break;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    bool rearm = false;
    if (fds[1].revents) {
      m_refresh->Drain();
      rearm = true;
    }
    if (count == 3 && fds[2].revents) {
      const tagFOLDERCHANGES changes = watches->ReadChanges(kMaxWaited);
      for (size_t root = 0; root < kMaxWaited; ++root) {
        if (!changes.touched[root] || armed[root].IsEmpty()) continue;
        const MyString path = armed[root];
        const auto it = std::find_if(m_items.begin(), m_items.end(), [&](const tagWATCHITEM& item) {
          return item.strPath == path;
        });
        if (it == m_items.end()) continue;  // left the list meanwhile
        const tagWATCHITEM item = *it;      // a subscriber may change the list
        UTNotify(item);
        if (!changes.lost[root]) continue;
        // The folder itself went: watched again only where it is back.
        forget(root);
        const bool ok = watches->AddRoot(root, CStrAW::w_toA(path));
        Trace(CStrAW::printf(u"FindNextChangeNotification: %s ..... %s", path.c_str(),
                             ok ? u" OK" : u" (erase) "));
        if (ok) {
          armed[root] = path;
        } else {
          m_items.erase(std::remove_if(m_items.begin(), m_items.end(),
                                       [&](const tagWATCHITEM& x) { return x.strPath == path; }),
                        m_items.end());
          rearm = true;  // a waiting item may take its place
        }
      }
      if (changes.bOverflowed) {
        // Events were lost: every subscriber was told (above), and the
        // folders made meanwhile are watched afresh.
        qCWarning(lcWatcher) << "inotify queue overflowed: watching afresh";
        rebuildAll();
        rearm = false;
      }
    }
    if (ApplyQueued()) rearm = true;
    if (rearm) arm();
  }
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  watches.reset();
  armed.fill(MyString());
  m_nWatched = 0;
  m_bRunning = false;
}
