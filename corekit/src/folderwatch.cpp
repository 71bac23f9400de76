#include "corekit/folderwatch.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "corekit/straw.h"

namespace {

// Folder-name changes: a subfolder made, removed or renamed.
constexpr uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr uint32_t kSubfolderMask = kFolderEvents | IN_ONLYDIR | IN_DONT_FOLLOW;
constexpr uint32_t kRootMask = kFolderEvents | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// A subfolder worth watching: a real folder (no link), not hidden, with a
// name the program can show, on the given file system.
bool IsSubfolder(int dirFd, const dirent* entry, unsigned long long dev, struct stat* st) {
  if (entry->d_name[0] == '.') return false;  // ".", ".." and hidden folders
  if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN) return false;
  if (!CStrAW::IsValidUtf8(entry->d_name)) return false;
  if (fstatat(dirFd, entry->d_name, st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  return S_ISDIR(st->st_mode) && st->st_dev == dev;
}

}  // namespace

CWakeEvent::CWakeEvent() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CWakeEvent::~CWakeEvent() {
  if (m_fd >= 0) close(m_fd);
}

void CWakeEvent::Signal() {
  const uint64_t one = 1;
  while (write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void CWakeEvent::Drain() {
  uint64_t value;
  while (read(m_fd, &value, sizeof value) < 0 && errno == EINTR) {
  }
}

CFolderWatchSet::CFolderWatchSet(size_t budgetPerRoot)
    : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), m_budget(std::max<size_t>(budgetPerRoot, 1)) {}

CFolderWatchSet::~CFolderWatchSet() {
  if (m_fd >= 0) close(m_fd);
}

bool CFolderWatchSet::AddRoot(size_t root, const std::string& path) {
  if (m_fd < 0) return false;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  m_roots[root] = tagROOT{st.st_dev, 0};
  if (!WatchFolder(root, path, true)) {
    m_roots.erase(root);
    return false;
  }
  AddBelow(root, path);
  return true;
}

void CFolderWatchSet::RemoveRoot(size_t root) {
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
  m_roots.erase(root);
}

size_t CFolderWatchSet::GetWatchCount(size_t root) const {
  const auto it = m_roots.find(root);
  return it == m_roots.end() ? 0 : it->second.nWatched;
}

bool CFolderWatchSet::WatchFolder(size_t root, const std::string& path, bool isRoot) {
  tagROOT& info = m_roots[root];
  if (info.nWatched >= m_budget) return false;
  const int wd = inotify_add_watch(m_fd, path.c_str(), isRoot ? kRootMask : kSubfolderMask);
  if (wd < 0) {
    if (errno == ENOSPC) m_bOutOfWatches = true;
    return false;
  }
  Remember(wd, path, root, isRoot);
  return true;
}

void CFolderWatchSet::Remember(int wd, const std::string& path, size_t root, bool isRoot) {
  tagWATCH& watch = m_watches[wd];  // the same folder again: same descriptor
  if (watch.dir.empty() || isRoot) watch.dir = path;
  watch.bRoot = watch.bRoot || isRoot;
  if (std::find(watch.roots.begin(), watch.roots.end(), root) == watch.roots.end()) {
    watch.roots.push_back(root);
    ++m_roots[root].nWatched;
  }
}

void CFolderWatchSet::AddBelow(size_t root, const std::string& top) {
  const auto rootIt = m_roots.find(root);
  if (rootIt == m_roots.end()) return;
  const tagROOT& info = rootIt->second;  // a node: stays put while the map grows
  const unsigned long long dev = info.dev;
  // Breadth first, so that a budget cut leaves the nearest levels watched.
  std::deque<std::string> pending{top};
  std::unordered_set<unsigned long long> seen;  // inodes walked, against bind-mount loops
  struct stat topStat {};
  if (stat(top.c_str(), &topStat) == 0) seen.insert(topStat.st_ino);
  while (!pending.empty() && info.nWatched < m_budget && !m_bOutOfWatches) {
    const std::string folder = std::move(pending.front());
    pending.pop_front();
    DIR* dir = opendir(folder.c_str());
    if (!dir) continue;  // unreadable or gone meanwhile
    while (const dirent* entry = readdir(dir)) {
      struct stat st {};
      if (!IsSubfolder(dirfd(dir), entry, dev, &st)) continue;
      if (!seen.insert(st.st_ino).second) continue;
      const std::string path =
          folder == "/" ? '/' + std::string(entry->d_name) : folder + '/' + entry->d_name;
      if (!WatchFolder(root, path, false)) {
        if (info.nWatched >= m_budget || m_bOutOfWatches) break;
        continue;
      }
      pending.push_back(path);
    }
    closedir(dir);
  }
}

void CFolderWatchSet::RemoveTree(const std::string& path) {
  const std::string below = path + '/';
  for (auto it = m_watches.begin(); it != m_watches.end();) {
    const std::string& dir = it->second.dir;
    if (!it->second.bRoot && (dir == path || dir.compare(0, below.size(), below) == 0)) {
      for (size_t root : it->second.roots) --m_roots[root].nWatched;
      inotify_rm_watch(m_fd, it->first);
      it = m_watches.erase(it);
    } else {
      ++it;
    }
  }
}

tagFOLDERCHANGES CFolderWatchSet::ReadChanges(size_t roots) {
  tagFOLDERCHANGES changes;
  changes.touched.assign(roots, false);
  changes.lost.assign(roots, false);
  auto mark = [&](std::vector<bool>& flags, size_t root) {
    if (root < flags.size()) flags[root] = true;
  };
  if (m_fd < 0) return changes;
  alignas(inotify_event) char buffer[64 * 1024];
  for (;;) {
    const ssize_t length = read(m_fd, buffer, sizeof buffer);
    if (length <= 0) {
      if (length < 0 && errno == EINTR) continue;
      break;  // EAGAIN: all read
    }
    for (ssize_t offset = 0; offset < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
      offset += ssize_t(sizeof(inotify_event) + event->len);
      if (event->mask & IN_Q_OVERFLOW) {
        std::fill(changes.touched.begin(), changes.touched.end(), true);
        changes.bOverflowed = true;
        continue;
      }
      const auto it = m_watches.find(event->wd);
      if (it == m_watches.end()) continue;
      const std::vector<size_t> watchRoots = it->second.roots;
      const std::string dir = it->second.dir;
      if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
        if (it->second.bRoot)
          for (size_t root : watchRoots) mark(changes.touched, root), mark(changes.lost, root);
        if (event->mask & IN_IGNORED) {
          for (size_t root : watchRoots)
            if (m_roots.count(root) && m_roots[root].nWatched) --m_roots[root].nWatched;
          m_watches.erase(it);
        }
        continue;
      }
      if (!(event->mask & IN_ISDIR) || event->len == 0) continue;
      for (size_t root : watchRoots) mark(changes.touched, root);
      const std::string child =
          dir == "/" ? '/' + std::string(event->name) : dir + '/' + event->name;
      if (event->mask & IN_MOVED_FROM) RemoveTree(child);
      const bool shown = event->name[0] != '.' && CStrAW::IsValidUtf8(event->name);
      if (shown && (event->mask & (IN_CREATE | IN_MOVED_TO))) {
        // What the new folder already holds (made before its watch) is
        // walked too, within each root's budget.
        for (size_t root : watchRoots) {
          if (!m_roots.count(root)) continue;
          struct stat st {};
          if (lstat(child.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
              st.st_dev != m_roots[root].dev)
            continue;
          if (WatchFolder(root, child, false)) AddBelow(root, child);
        }
      }
    }
  }
  changes.bOutOfWatches = m_bOutOfWatches;
  return changes;
}
