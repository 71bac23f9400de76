#include "browse/folderwatcher.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "corekit/folderwatch.h"
#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;
using testsupport::WaitFor;

namespace {

constexpr auto kPatience = std::chrono::seconds(20);

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

// Counts the reports per folder, noting whether they came on the GUI thread.
struct Reports {
  std::mutex mutex;
  std::map<std::string, int> counts;
  std::atomic<bool> bOffGuiThread{false};

  CFolderWatcher::Subscriber Fct() {
    return [this](const MyString& path) {
      if (QThread::currentThread() != QCoreApplication::instance()->thread()) bOffGuiThread = true;
      std::lock_guard<std::mutex> lock(mutex);
      ++counts[path.ToUtf8()];
    };
  }
  int Count(const fs::path& path) {
    std::lock_guard<std::mutex> lock(mutex);
    return counts[path.string()];
  }
};

// Makes probe folders in folder until the watched one reports (the watcher
// may still be setting up its watches after a wake).
bool ProbeUntilReported(Reports& reports, const fs::path& folder, const fs::path& reported) {
  for (int i = 0; i < 40; ++i) {
    const int before = reports.Count(reported);
    fs::create_directory(folder / ("probe" + std::to_string(i)));
    if (WaitFor([&] { return reports.Count(reported) > before; }, std::chrono::milliseconds(500)))
      return true;
  }
  return false;
}

bool Listed(const CFolderWatcher& watcher, const fs::path& path) {
  for (const tagWATCHITEM& item : watcher.GetItems())
    if (item.strPath == W(path)) return true;
  return false;
}

}  // namespace

TEST(FolderWatcher, ItemsLiveWhileASlotWatchesThem) {
  const fs::path top = testsupport::NewTempDir("items");
  CFolderWatcher watcher;
  EXPECT_EQ(watcher.UTAddItem(W(top), 2, false), 1);
  EXPECT_EQ(watcher.UTAddItem(W(top), 2, false), 0);  // one item, already listed
  EXPECT_EQ(watcher.UTAddItem(W(top), 1, false), 0);
  ASSERT_EQ(watcher.GetItems().size(), 1u);
  EXPECT_EQ(watcher.GetItems()[0].dwStates, (std::array<uint32_t, 3>{4, 3, 3}));
  EXPECT_FALSE(watcher.IsRunning());  // no wake asked

  EXPECT_EQ(watcher.UTRemoveItem(W(top), true, 2), 0);  // slot 1 still watches
  EXPECT_TRUE(Listed(watcher, top));
  EXPECT_EQ(watcher.UTRemoveItem(W(top), false, 1), 1);
  EXPECT_FALSE(Listed(watcher, top));
  EXPECT_EQ(watcher.UTAddItem(u"", 2, true), 0);
  EXPECT_EQ(watcher.UTAddItem(W(top), 3, true), 0);

  // The remove list wakes once, and only when something went.
  MyStringList paths;
  paths.Append(W(top / "a"));
  paths.Append(W(top / "b"));
  watcher.UTAddItem(paths[0], 2, false);
  watcher.UTAddItem(paths[1], 2, false);
  watcher.RemoveList(paths, 1);
  EXPECT_FALSE(watcher.IsRunning());
  EXPECT_EQ(watcher.GetItems().size(), 2u);
  watcher.RemoveList(paths, 2);
  EXPECT_TRUE(watcher.GetItems().empty());
  EXPECT_TRUE(watcher.IsRunning());
  watcher.Stop();
  EXPECT_FALSE(watcher.IsRunning());
}

TEST(FolderWatcher, SubfolderChangesBelowReachTheSubscriberOnTheGuiThread) {
  const fs::path top = testsupport::NewTempDir("watch");
  fs::create_directories(top / "a");
  QObject context;
  Reports reports;
  CFolderWatcher watcher;
  watcher.SetSubscriber(2, &context, reports.Fct());
  ASSERT_EQ(watcher.UTAddItem(W(top), 2, true), 1);
  ASSERT_TRUE(watcher.IsRunning());
  ASSERT_TRUE(WaitFor([&] { return watcher.GetWatchedCount() == 1; }, kPatience));

  // A file changes nothing; a folder two levels below does.
  testsupport::WriteFile(top / "a" / "file.jpg", "x");
  fs::create_directory(top / "a" / "b");
  ASSERT_TRUE(WaitFor([&] { return reports.Count(top) >= 1; }, kPatience));
  EXPECT_EQ(reports.Count(top), 1);
  EXPECT_FALSE(reports.bOffGuiThread);

  // The new folder is watched at once, renames and removals are seen.
  fs::create_directory(top / "a" / "b" / "c");
  ASSERT_TRUE(WaitFor([&] { return reports.Count(top) >= 2; }, kPatience));
  fs::rename(top / "a" / "b", top / "a" / "d");
  ASSERT_TRUE(WaitFor([&] { return reports.Count(top) >= 3; }, kPatience));
  fs::create_directory(top / "a" / "d" / "e");  // still watched under its new name
  ASSERT_TRUE(WaitFor([&] { return reports.Count(top) >= 4; }, kPatience));

  // Links are not followed: a loop back to the top adds no watches and
  // changes seen through it count once.
  fs::create_directory_symlink(top, top / "a" / "loop");
  watcher.Wake();
  fs::create_directory(top / "a" / "f");
  ASSERT_TRUE(WaitFor([&] { return reports.Count(top) >= 5; }, kPatience));

  // A folder that goes itself leaves the list for good.
  const int before = reports.Count(top);
  fs::remove_all(top);
  EXPECT_TRUE(
      WaitFor([&] { return !Listed(watcher, top) && reports.Count(top) > before; }, kPatience));
  EXPECT_EQ(watcher.GetWatchedCount(), 0u);
  watcher.Stop();
  EXPECT_TRUE(watcher.GetItems().empty());
}

TEST(FolderWatcher, AnAddWhileTheWatcherNotifiesIsQueuedAndDone) {
  const fs::path top = testsupport::NewTempDir("busy");
  const fs::path later = testsupport::NewTempDir("later");
  Reports reports;
  std::atomic<int> addResult{-1};
  CFolderWatcher watcher;
  // Slot 1 runs on the watcher thread, with its lock held: an add from the
  // GUI side meanwhile finds the lock busy.
  watcher.SetSubscriber(1, nullptr, [&](const MyString& path) {
    if (path == W(top) && addResult < 0) {
      std::thread other([&] { addResult = watcher.UTAddItem(W(later), 2, true); });
      other.join();
    }
  });
  QObject context;
  watcher.SetSubscriber(2, &context, reports.Fct());
  watcher.UTAddItem(W(top), 1, true);
  ASSERT_TRUE(WaitFor([&] { return watcher.GetWatchedCount() == 1; }, kPatience));

  fs::create_directory(top / "sub");
  ASSERT_TRUE(WaitFor([&] { return addResult >= 0; }, kPatience));
  EXPECT_EQ(addResult, 1);  // queued, not lost
  ASSERT_TRUE(WaitFor([&] { return watcher.GetWatchedCount() == 2; }, kPatience));
  EXPECT_TRUE(Listed(watcher, later));
  fs::create_directory(later / "sub");
  EXPECT_TRUE(WaitFor([&] { return reports.Count(later) >= 1; }, kPatience));
}

TEST(FolderWatcher, ThirtyFoldersAreWatchedAndTheNextWaits) {
  const fs::path top = testsupport::NewTempDir("many");
  QObject context;
  Reports reports;
  CFolderWatcher watcher;
  watcher.SetSubscriber(2, &context, reports.Fct());
  for (int i = 0; i < 31; ++i) {
    fs::create_directory(top / std::to_string(i));
    watcher.UTAddItem(W(top / std::to_string(i)), 2, false);
  }
  watcher.Wake();
  ASSERT_TRUE(WaitFor([&] { return watcher.GetWatchedCount() == 30; }, kPatience));
  fs::create_directory(top / "30" / "unseen");
  fs::create_directory(top / "0" / "seen");
  ASSERT_TRUE(WaitFor([&] { return reports.Count(top / "0") == 1; }, kPatience));
  EXPECT_EQ(reports.Count(top / "30"), 0);

  EXPECT_EQ(watcher.UTRemoveItem(W(top / "5"), true, 2), 1);
  ASSERT_TRUE(WaitFor([&] { return watcher.GetItems().size() == 30u; }, kPatience));
  EXPECT_TRUE(ProbeUntilReported(reports, top / "30", top / "30"));
  EXPECT_EQ(watcher.GetWatchedCount(), 30u);
}

TEST(FolderWatcher, AnOverflowTellsEveryFolderAndWatchesWhatCameMeanwhile) {
  // Folders come and go a hundred times faster in memory than on a busy disk.
  fs::path shm = "/dev/shm";
  std::error_code error;
  fs::path base = fs::is_directory(shm, error) ? shm / ("lorimo-flood-" + std::to_string(getpid()))
                                               : testsupport::NewTempDir("shm");
  fs::create_directories(base, error);
  struct Cleanup {
    fs::path path;
    ~Cleanup() {
      std::error_code ignored;
      fs::remove_all(path, ignored);
    }
  } cleanup{base};
  const fs::path one = base / "flood";
  fs::create_directory(one);
  const fs::path two = testsupport::NewTempDir("quiet");
  QObject context;
  Reports reports;
  std::mutex gateMutex;
  std::condition_variable gate;
  bool bHeld = false;
  bool bOpen = false;
  CFolderWatcher watcher;
  // The first notice holds the watcher until the kernel's queue overflowed.
  watcher.SetSubscriber(1, nullptr, [&](const MyString&) {
    std::unique_lock<std::mutex> lock(gateMutex);
    bHeld = true;
    gate.notify_all();
    gate.wait(lock, [&] { return bOpen; });
  });
  watcher.SetSubscriber(2, &context, reports.Fct());
  watcher.UTAddItem(W(one), 1, false);
  watcher.UTAddItem(W(one), 2, false);
  watcher.UTAddItem(W(two), 2, true);
  ASSERT_TRUE(WaitFor([&] { return watcher.GetWatchedCount() == 2; }, kPatience));

  fs::create_directory(one / "first");
  {
    std::unique_lock<std::mutex> lock(gateMutex);
    ASSERT_TRUE(gate.wait_for(lock, kPatience, [&] { return bHeld; }));
  }
  // Far more events than the kernel queues (16384 by default).
  for (int i = 0; i < 8500; ++i) {
    fs::create_directory(one / std::to_string(i));
    fs::remove(one / std::to_string(i));
  }
  fs::create_directories(one / "kept" / "inner");
  {
    std::lock_guard<std::mutex> lock(gateMutex);
    bOpen = true;
    gate.notify_all();
  }
  // The quiet folder hears of it too, since events were lost.
  ASSERT_TRUE(WaitFor([&] { return reports.Count(two) >= 1; }, kPatience));
  // The folder made while events were lost is watched once the watcher
  // has set up afresh (which may still be under way now).
  EXPECT_TRUE(ProbeUntilReported(reports, one / "kept" / "inner", one));
  watcher.Stop();
}

TEST(FolderWatchSet, SubtreesStayWithinTheirBudgetAndTheirFileSystem) {
  const fs::path top = testsupport::NewTempDir("budget");
  for (int i = 0; i < 6; ++i) fs::create_directories(top / std::to_string(i) / "deeper" / "still");
  fs::create_directory_symlink(top, top / "0" / "loop");
  fs::create_directory(top / ".hidden");
  // A name that is not UTF-8 is left out, and does not break the walk.
  fs::create_directory(top / std::string("bad\xff"));

  CFolderWatchSet unlimited(100000);
  ASSERT_TRUE(unlimited.AddRoot(0, top.string()));
  EXPECT_EQ(unlimited.GetWatchCount(0), 1u + 6 * 3);

  // Breadth first: a budget of 7 takes the top and its direct subfolders.
  CFolderWatchSet small(7);
  ASSERT_TRUE(small.AddRoot(0, top.string()));
  EXPECT_EQ(small.GetWatchCount(0), 7u);
  EXPECT_FALSE(small.AddRoot(1, (top / "missing").string()));
  EXPECT_FALSE(small.AddRoot(2, (top / "0" / "loop").string() + "/../nothing"));

  // "/" is watched without walking the disk: the budget ends the walk, and
  // /proc, /sys (other file systems) are never entered.
  CFolderWatchSet root(50);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(root.AddRoot(0, "/"));
  EXPECT_LE(root.GetWatchCount(0), 50u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  root.RemoveRoot(0);
  EXPECT_EQ(root.GetWatchCount(0), 0u);
}
