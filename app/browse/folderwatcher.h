#pragma once
// The folder watcher: one background thread that watches a list of folders
// (each with its subtree, within a budget of folders) for subfolders made,
// removed or renamed, and tells the subscribers of a changed folder.
//
// Each item of the list carries one state per subscriber slot: 3 when the
// slot watches it, 4 when not; an item goes when no slot watches it. Slot 1
// is the favorites pane, slot 2 the directories tree. The first 30 items in
// list order are watched; the others wait for one of those to leave.
//
// Subscribers given a context object run on that object's thread (the GUI
// thread); without one they run on the watcher thread, holding its lock.
// Adds and removes never wait for the lock: when the watcher holds it they
// are queued and done by the watcher as soon as it lets go, so a folder
// expanded meanwhile is still watched. Traces go to "lorimo.watcher".
//
// Control it from the GUI thread (Start, Stop, SetSubscriber); adds and
// removes may come from any thread.

#include <QLoggingCategory>
#include <QPointer>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "corekit/folderwatch.h"
#include "corekit/mystring.h"

Q_DECLARE_LOGGING_CATEGORY(lcWatcher)

struct tagWATCHITEM {
  MyString strPath;
  std::array<uint32_t, 3> dwStates{4, 4, 4};
};

class CFolderWatcher {
 public:
  static constexpr int kSlots = 3;
  static constexpr int kFavoritesSlot = 1;
  static constexpr int kDirectoriesSlot = 2;
  static constexpr uint32_t kWatching = 3;
  static constexpr uint32_t kNotWatching = 4;
  static constexpr size_t kMaxWaited = 30;
  using Subscriber = std::function<void(const MyString& folder)>;

  explicit CFolderWatcher(size_t budgetPerItem = CFolderWatchSet::kDefaultBudget);
  ~CFolderWatcher();  // stops the thread
  CFolderWatcher(const CFolderWatcher&) = delete;
  CFolderWatcher& operator=(const CFolderWatcher&) = delete;

  // The program's watcher, shared by the directories tree and the favorites.
  static CFolderWatcher& Instance();

  // context: the object on whose thread fct runs; the call is dropped once
  // it is gone. Null: fct runs on the watcher thread under the lock.
  void SetSubscriber(int slot, QObject* context, Subscriber fct);

  // 1 when a new item was made, or the change was queued behind the busy
  // watcher; 0 when the folder was already listed (the slot now watches
  // it) or the arguments are bad. wake: wake the thread after a new item.
  int UTAddItem(const MyString& path, int slot, bool wake);
  // 1 when the item was deleted (no slot watches it any more), or the
  // change was queued; 0 otherwise. wake: wake the thread after a deletion.
  int UTRemoveItem(const MyString& path, bool wake, int slot);
  // Removes each path without waking, then wakes once when any went. 1.
  int RemoveList(const MyStringList& paths, int slot);
  // Has the running thread watch the list afresh; starts it when it does
  // not run.
  void Wake();
  void Start();
  // Ends the thread and deletes every item.
  void Stop();
  bool IsRunning() const { return m_bRunning; }
  // Tells each slot watching the item; called by the thread with the lock.
  void UTNotify(const tagWATCHITEM& item);

  // A copy of the list, and how many items the thread watches now.
  std::vector<tagWATCHITEM> GetItems() const;
  size_t GetWatchedCount() const { return m_nWatched; }
  // Whether the thread has the folder's inotify watches set up now.
  bool IsWatched(const MyString& path) const;

 private:
  struct tagCHANGE {
    MyString strPath;
    int nSlot = 0;
    bool bAdd = false;
  };
  struct tagSUBSCRIBER {
    QPointer<QObject> context;
    bool bDirect = false;
    Subscriber fct;
  };

  // Both with the lock held (or the thread not running).
  int AddLocked(const MyString& path, int slot);
  int RemoveLocked(const MyString& path, int slot);
  int Queue(const MyString& path, int slot, bool add);
  // Takes the queued changes; true when the list changed.
  bool ApplyQueued();
  void Run();

  const size_t m_budget;
  mutable std::recursive_mutex m_lock;  // the list, the subscribers, the notify calls
  std::vector<tagWATCHITEM> m_items;
  std::array<tagSUBSCRIBER, kSlots> m_subscribers;
  // The folder each of the thread's 30 watch roots stands for (the thread's,
  // read under the lock).
  std::array<MyString, kMaxWaited> m_armed;

  std::mutex m_queueMutex;  // only ever held for a push or a swap
  std::vector<tagCHANGE> m_queue;
  std::atomic<bool> m_bQueued{false};

  const std::unique_ptr<CWakeEvent> m_stop;  // made once, reused by every start
  const std::unique_ptr<CWakeEvent> m_refresh;
  std::thread m_thread;
  std::atomic<bool> m_bRunning{false};
  std::atomic<size_t> m_nWatched{0};
};
