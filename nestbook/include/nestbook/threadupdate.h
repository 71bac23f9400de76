#pragma once
// CThreadUpdate: watches up to 10 favorite folders, each with its whole
// subtree, for folders created, removed or renamed (inotify), and calls the
// notify function with the watched folder's path from its own thread.
//
// The list of folders and the notify calls share one lock. AddItem and
// RemoveItem only try it: while the watcher is busy notifying they return 0
// and change nothing, so that a notify function waiting on the GUI thread
// can never deadlock with a GUI thread adding a folder. The notify function
// must not call StopThread.
//
// Control it from one thread (the GUI thread); the watcher runs on its own.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "corekit/mystring.h"

class CThreadUpdate {
 public:
  using NotifyFct = std::function<void(const MyString& path)>;
  static constexpr size_t kMaxWatched = 10;

  // One per process: the last one made is the instance.
  CThreadUpdate();
  ~CThreadUpdate();  // stops the thread
  CThreadUpdate(const CThreadUpdate&) = delete;
  CThreadUpdate& operator=(const CThreadUpdate&) = delete;
  static CThreadUpdate* GetInstance();

  // Waits for the lock, as GetItems does: set it before the watcher runs.
  void SetNotifyFct(NotifyFct fct);
  // Adds (when not listed yet) or removes a folder; when updates are
  // enabled, starts the watcher or has it watch the new list. 1 when done,
  // 0 when the watcher held the lock.
  int AddItem(const MyString& path);
  int RemoveItem(const MyString& path);
  int StartThread();
  // Starts the watcher, or has the running one set up its watches again.
  int UpdateThread();
  // Sets the update-enabled flag: while it is 0, list changes wait for
  // the next UpdateThread.
  void BlockUpdate(int enabled);
  // Ends the watcher; the list is emptied.
  void StopThread();

  bool IsRunning() const;
  // Folders of the list the watcher is watching now (tests and status).
  int GetWatchedCount() const;
  std::vector<MyString> GetItems() const;

 private:
  struct State;
  static void Run(std::shared_ptr<State> state);

  std::shared_ptr<State> m_state;  // shared with the watcher thread
  std::thread m_thread;
  NotifyFct m_notify;  // kept here too, for a state made after a stop
  std::atomic<int> m_bUpdateEnabled{1};
};
