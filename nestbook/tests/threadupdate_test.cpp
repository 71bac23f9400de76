#include "nestbook/threadupdate.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;
using testsupport::WaitFor;

namespace {

constexpr auto kPatience = std::chrono::seconds(20);

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

// Records the paths the watcher reports.
struct Reports {
  std::mutex mutex;
  std::vector<std::string> paths;

  CThreadUpdate::NotifyFct Fct() {
    return [this](const MyString& path) {
      std::lock_guard<std::mutex> lock(mutex);
      paths.push_back(path.ToUtf8());
    };
  }
  size_t Count(const fs::path& path) {
    std::lock_guard<std::mutex> lock(mutex);
    return size_t(std::count(paths.begin(), paths.end(), path.string()));
  }
};

bool Listed(const CThreadUpdate& watcher, const fs::path& path) {
  const auto items = watcher.GetItems();
  return std::find(items.begin(), items.end(), W(path)) != items.end();
}

TEST(CThreadUpdateTest, SeesFoldersChangeAnywhereBelowAWatchedFolder) {
  const fs::path top = testsupport::NewTempDir("watch");
  fs::create_directories(top / "a");
  Reports reports;
  CThreadUpdate watcher;
  EXPECT_EQ(CThreadUpdate::GetInstance(), &watcher);
  watcher.SetNotifyFct(reports.Fct());
  ASSERT_EQ(watcher.AddItem(W(top)), 1);
  EXPECT_TRUE(watcher.IsRunning());
  ASSERT_TRUE(WaitFor([&] { return watcher.GetWatchedCount() == 1; }, kPatience));

  fs::create_directory(top / "a" / "b");  // two levels down
  ASSERT_TRUE(WaitFor([&] { return reports.Count(top) >= 1; }, kPatience));

  // The new folder is watched too: a change inside it is seen.
  const size_t before = reports.Count(top);
  fs::create_directory(top / "a" / "b" / "c");
  ASSERT_TRUE(WaitFor([&] { return reports.Count(top) > before; }, kPatience));

  const size_t renamed = reports.Count(top);
  fs::rename(top / "a" / "b" / "c", top / "a" / "b" / "d");
  ASSERT_TRUE(WaitFor([&] { return reports.Count(top) > renamed; }, kPatience));

  const size_t removed = reports.Count(top);
  fs::remove(top / "a" / "b" / "d");
  ASSERT_TRUE(WaitFor([&] { return reports.Count(top) > removed; }, kPatience));
  watcher.StopThread();
  EXPECT_FALSE(watcher.IsRunning());
  EXPECT_TRUE(watcher.GetItems().empty());
}

TEST(CThreadUpdateTest, AFolderMovedInIsWatchedWithWhatItHolds) {
  const fs::path top = testsupport::NewTempDir("watch");
  const fs::path outside = testsupport::NewTempDir("outside");
  fs::create_directories(outside / "m" / "n");
  Reports reports;
  CThreadUpdate watcher;
  watcher.SetNotifyFct(reports.Fct());
  watcher.AddItem(W(top));
  ASSERT_TRUE(WaitFor([&] { return watcher.GetWatchedCount() == 1; }, kPatience));
  fs::rename(outside / "m", top / "m");
  ASSERT_TRUE(WaitFor([&] { return reports.Count(top) >= 1; }, kPatience));
  const size_t before = reports.Count(top);
  fs::create_directory(top / "m" / "n" / "o");
  ASSERT_TRUE(WaitFor([&] { return reports.Count(top) > before; }, kPatience));
}

TEST(CThreadUpdateTest, ListChangesWaitWhileTheWatcherNotifies) {
  const fs::path top = testsupport::NewTempDir("watch");
  const fs::path other = testsupport::NewTempDir("other");
  std::atomic<bool> inside{false}, release{false};
  CThreadUpdate watcher;
  watcher.SetNotifyFct([&](const MyString&) {
    inside = true;
    while (!release) std::this_thread::yield();
  });
  watcher.AddItem(W(top));
  ASSERT_TRUE(WaitFor([&] { return watcher.GetWatchedCount() == 1; }, kPatience));
  fs::create_directory(top / "x");
  ASSERT_TRUE(WaitFor([&] { return inside.load(); }, kPatience));
  EXPECT_EQ(watcher.AddItem(W(other)), 0);
  EXPECT_EQ(watcher.RemoveItem(W(top)), 0);
  release = true;
  ASSERT_TRUE(WaitFor([&] { return watcher.AddItem(W(other)) == 1; }, kPatience));
  EXPECT_TRUE(Listed(watcher, top));
  EXPECT_TRUE(Listed(watcher, other));
  ASSERT_TRUE(WaitFor([&] { return watcher.GetWatchedCount() == 2; }, kPatience));
  EXPECT_EQ(watcher.RemoveItem(W(top)), 1);
  EXPECT_FALSE(Listed(watcher, top));
  ASSERT_TRUE(WaitFor([&] { return watcher.GetWatchedCount() == 1; }, kPatience));
}

TEST(CThreadUpdateTest, AWatchedFolderThatGoesAwayLeavesTheList) {
  const fs::path parent = testsupport::NewTempDir("watch");
  const fs::path top = parent / "top";
  fs::create_directories(top / "inner");
  Reports reports;
  CThreadUpdate watcher;
  watcher.SetNotifyFct(reports.Fct());
  watcher.AddItem(W(top));
  ASSERT_TRUE(WaitFor([&] { return watcher.GetWatchedCount() == 1; }, kPatience));
  fs::remove_all(top);
  ASSERT_TRUE(WaitFor([&] { return !Listed(watcher, top); }, kPatience));
  EXPECT_GE(reports.Count(top), 1u);
  EXPECT_EQ(watcher.GetWatchedCount(), 0);
}

TEST(CThreadUpdateTest, WatchesAtMostTenFolders) {
  CThreadUpdate watcher;
  for (int i = 0; i < 12; ++i) ASSERT_EQ(watcher.AddItem(W(testsupport::NewTempDir("many"))), 1);
  EXPECT_EQ(watcher.GetItems().size(), 12u);
  ASSERT_TRUE(WaitFor([&] { return watcher.GetWatchedCount() == 10; }, kPatience));
}

TEST(CThreadUpdateTest, BlockedUpdatesWaitForUpdateThread) {
  const fs::path top = testsupport::NewTempDir("watch");
  CThreadUpdate watcher;
  watcher.BlockUpdate(0);
  EXPECT_EQ(watcher.AddItem(W(top)), 1);
  EXPECT_EQ(watcher.AddItem(W(top)), 1);  // listed once
  EXPECT_FALSE(watcher.IsRunning());
  EXPECT_EQ(watcher.GetItems().size(), 1u);
  EXPECT_EQ(watcher.AddItem(MyString()), 0);
  ASSERT_EQ(watcher.UpdateThread(), 1);
  EXPECT_TRUE(watcher.IsRunning());
  ASSERT_TRUE(WaitFor([&] { return watcher.GetWatchedCount() == 1; }, kPatience));
}

TEST(CThreadUpdateTest, StopDoesNotHangOnANotifyThatWaits) {
  const fs::path top = testsupport::NewTempDir("watch");
  auto release = std::make_shared<std::atomic<bool>>(false);
  auto inside = std::make_shared<std::atomic<bool>>(false);
  {
    CThreadUpdate watcher;
    watcher.SetNotifyFct([release, inside](const MyString&) {
      *inside = true;
      while (!*release) std::this_thread::yield();
    });
    watcher.AddItem(W(top));
    ASSERT_TRUE(WaitFor([&] { return watcher.GetWatchedCount() == 1; }, kPatience));
    fs::create_directory(top / "x");
    ASSERT_TRUE(WaitFor([&] { return inside->load(); }, kPatience));
    watcher.StopThread();
    EXPECT_FALSE(watcher.IsRunning());
    // A fresh start works at once.
    EXPECT_EQ(watcher.AddItem(W(top)), 1);
    EXPECT_TRUE(watcher.IsRunning());
  }
  *release = true;  // the old watcher ends on its own
}

}  // namespace
