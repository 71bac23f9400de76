#pragma once
// What the folder watchers of the program share: a wake event (eventfd) for
// stop and refresh, and a set of inotify watches over folders and their
// subtrees that reports folders made, removed or renamed below them.
//
// Each watched folder (a "root", known by its index) is watched with its
// subfolders, breadth first, up to a budget of folders, so that a root such
// as "/" never walks the whole disk. Subtrees stay on the root's file system
// and follow no links; a folder reached twice (a bind mount) is walked once.
// Hidden folders and names that are not UTF-8 are left out. One thread
// uses a set at a time.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// An eventfd: Signal from any thread, poll GetFd and Drain on the waiter.
class CWakeEvent {
 public:
  CWakeEvent();
  ~CWakeEvent();
  CWakeEvent(const CWakeEvent&) = delete;
  CWakeEvent& operator=(const CWakeEvent&) = delete;

  bool IsValid() const { return m_fd >= 0; }
  int GetFd() const { return m_fd; }
  void Signal();
  void Drain();

 private:
  int m_fd;
};

// What one read of the events found, per root index.
struct tagFOLDERCHANGES {
  std::vector<bool> touched;   // a folder was made, removed or renamed below it
  std::vector<bool> lost;      // the root itself was removed or moved away
  bool bOverflowed = false;    // events were lost: every root counts as touched
  bool bOutOfWatches = false;  // the system's watch limit was reached meanwhile
};

class CFolderWatchSet {
 public:
  // Folders watched per root, the root included.
  static constexpr size_t kDefaultBudget = 1000;

  explicit CFolderWatchSet(size_t budgetPerRoot = kDefaultBudget);
  ~CFolderWatchSet();
  CFolderWatchSet(const CFolderWatchSet&) = delete;
  CFolderWatchSet& operator=(const CFolderWatchSet&) = delete;

  // -1 when inotify could not be had.
  int GetFd() const { return m_fd; }
  // Watches the root folder and its subtree; false when the folder itself
  // cannot be watched (gone, not a folder, out of watches).
  bool AddRoot(size_t root, const std::string& path);
  // Stops every watch serving root.
  void RemoveRoot(size_t root);
  // Reads every pending event (without blocking); roots: how many root
  // indexes the result covers. New folders below a root are watched as they
  // come, moved-away ones dropped.
  tagFOLDERCHANGES ReadChanges(size_t roots);

  // Folders watched for root (tests and traces).
  size_t GetWatchCount(size_t root) const;
  bool IsOutOfWatches() const { return m_bOutOfWatches; }

 private:
  struct tagWATCH {
    std::string dir;
    std::vector<size_t> roots;
    bool bRoot = false;
  };

  void Remember(int wd, const std::string& path, size_t root, bool isRoot);
  // Watches top's subfolders for root, breadth first, within its budget.
  void AddBelow(size_t root, const std::string& top);
  bool WatchFolder(size_t root, const std::string& path, bool isRoot);
  void RemoveTree(const std::string& path);

  int m_fd;
  size_t m_budget;
  bool m_bOutOfWatches = false;
  std::unordered_map<int, tagWATCH> m_watches;
  // Per root: its file system and how many folders it watches.
  struct tagROOT {
    unsigned long long dev = 0;
    size_t nWatched = 0;
  };
  std::unordered_map<size_t, tagROOT> m_roots;
};
