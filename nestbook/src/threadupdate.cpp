#include "nestbook/threadupdate.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <poll.h>
#include <string>

#include "corekit/folderwatch.h"
#include "corekit/straw.h"

namespace {

std::atomic<CThreadUpdate*> gInstance{nullptr};

// How long StopThread waits for a watcher that is inside the notify
// function before leaving it to end on its own.
constexpr auto kStopWait = std::chrono::seconds(2);

}  // namespace

struct CThreadUpdate::State {
  std::mutex mutex;  // the list and the notify calls
  std::vector<MyString> items;
  NotifyFct notify;
  std::unique_ptr<CWakeEvent> stop;
  std::unique_ptr<CWakeEvent> refresh;
  std::atomic<int> watched{0};
  std::mutex doneMutex;
  std::condition_variable doneCv;
  bool bDone = false;
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
  if (!state.stop) state.stop = std::make_unique<CWakeEvent>();
  if (!state.refresh) state.refresh = std::make_unique<CWakeEvent>();
  if (!state.stop->IsValid() || !state.refresh->IsValid()) return 0;
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
  m_state->refresh->Signal();
  return 1;
}

void CThreadUpdate::BlockUpdate(int enabled) { m_bUpdateEnabled = enabled; }

void CThreadUpdate::StopThread() {
  if (!m_thread.joinable()) return;
  const std::shared_ptr<State> state = m_state;
  state->stop->Signal();
  bool finished;
  {
    std::unique_lock<std::mutex> lock(state->doneMutex);
    finished = state->doneCv.wait_for(lock, kStopWait, [&] { return state->bDone; });
  }
  if (finished) {
    m_thread.join();
    state->stop.reset();
    state->refresh.reset();
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
  std::unique_ptr<CFolderWatchSet> watches;
  Armed armed;

  auto arm = [&] {
    auto fresh = std::make_unique<CFolderWatchSet>();
    Armed next;
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      const size_t count = std::min(state->items.size(), kMaxWatched);
      next.paths.assign(state->items.begin(), state->items.begin() + long(count));
    }
    next.alive.assign(next.paths.size(), false);
    int watched = 0;
    for (size_t i = 0; i < next.paths.size(); ++i)
      if ((next.alive[i] = fresh->AddRoot(i, CStrAW::w_toA(next.paths[i])))) ++watched;
    // The old watches stay until the new ones are in place; what they
    // caught meanwhile is told, not dropped with them.
    if (watches && !armed.paths.empty()) {
      const tagFOLDERCHANGES pending = watches->ReadChanges(armed.paths.size());
      std::lock_guard<std::mutex> lock(state->mutex);
      for (size_t root = 0; root < pending.touched.size(); ++root)
        if (pending.touched[root] && state->notify) state->notify(armed.paths[root]);
    }
    watches = std::move(fresh);
    armed = std::move(next);
    state->watched = watched;
  };

  auto handleEvents = [&] {
    const tagFOLDERCHANGES changes = watches->ReadChanges(armed.paths.size());
    const std::vector<bool>& touched = changes.touched;
    const std::vector<bool>& lost = changes.lost;
    // Events were lost: every folder was told, and what was made meanwhile
    // is watched afresh.
    const bool overflowed = changes.bOverflowed;

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
    pollfd fds[3] = {{state->stop->GetFd(), POLLIN, 0},
                     {state->refresh->GetFd(), POLLIN, 0},
                     {watches->GetFd(), POLLIN, 0}};
    const nfds_t count = watches->GetFd() >= 0 ? 3 : 2;
    if (poll(fds, count, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents) {
      state->stop->Drain();
      std::lock_guard<std::mutex> lock(state->mutex);
      state->items.clear();
      break;
    }
    if (fds[1].revents) {
      state->refresh->Drain();
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
