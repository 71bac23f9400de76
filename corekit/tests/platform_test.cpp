#include "corekit/platform.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <ostream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "corekit/bitmap.h"
#include "corekit/filelock.h"
#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

TEST(FileTimeTest, CountsHundredNanosecondsSince1601) {
  EXPECT_EQ(FileTimeFromUnix(0, 0), 116444736000000000ull);
  EXPECT_EQ(FileTimeFromUnix(1, 999999999), 116444736000000000ull + 19999999);
  EXPECT_EQ(FileTimeFromUnix(-11644473600, 0), 0u);
  EXPECT_EQ(FileTimeFromUnix(-11644473601, 0), 0u) << "before 1601 clamps to 0";
  // Past year 2038 does not wrap.
  EXPECT_GT(FileTimeFromUnix(int64_t(1) << 33, 0), FileTimeFromUnix(int64_t(1) << 31, 0));
}

TEST(FileInfoTest, SizeAboveFourGigabytes) {
  const fs::path file = testsupport::NewTempDir() / "big.raw";
  testsupport::WriteFile(file, "");
  const uint64_t size = (uint64_t(5) << 30) + 7;  // sparse: takes no disk space
  ASSERT_EQ(truncate(file.c_str(), off_t(size)), 0);
  CFileInfo info;
  ASSERT_EQ(GetFileInfo(W(file), &info), 1);
  EXPECT_EQ(info.nSize, size);
  EXPECT_FALSE(info.bDirectory);
}

TEST(FileInfoTest, CreationTimeIsBirthTimeElseModificationTime) {
  const fs::path file = testsupport::NewTempDir() / "old.jpg";
  testsupport::WriteFile(file, "x");
  // Modified "in 2001": a file system that records birth times still says now.
  const timespec times[2] = {{1000000000, 0}, {1000000000, 500}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  struct statx st {};
  ASSERT_EQ(statx(AT_FDCWD, file.c_str(), 0, STATX_BTIME, &st), 0);

  CFileInfo info;
  ASSERT_EQ(GetFileInfo(W(file), &info), 1);
  EXPECT_EQ(info.ftLastWriteTime, FileTimeFromUnix(1000000000, 500));
  if (st.stx_mask & STATX_BTIME) {
    EXPECT_EQ(info.ftCreationTime, FileTimeFromUnix(st.stx_btime.tv_sec, st.stx_btime.tv_nsec));
    EXPECT_GT(info.ftCreationTime, info.ftLastWriteTime);
  } else {
    EXPECT_EQ(info.ftCreationTime, info.ftLastWriteTime);
  }
}

TEST(FileInfoTest, SymbolicLinks) {
  const fs::path dir = testsupport::NewTempDir();
  testsupport::WriteFile(dir / "target.png", "12345");
  fs::create_symlink(dir / "target.png", dir / "link.png");
  fs::create_symlink(dir / "gone.png", dir / "dangling.png");

  CFileInfo followed, itself;
  ASSERT_EQ(GetFileInfo(W(dir / "link.png"), &followed), 1);
  EXPECT_EQ(followed.nSize, 5u);
  EXPECT_TRUE(followed.bSymlink);
  ASSERT_EQ(GetFileInfo(W(dir / "link.png"), &itself, false), 1);
  EXPECT_TRUE(itself.bSymlink);
  EXPECT_EQ(itself.nSize, (dir / "target.png").string().size());

  CFileInfo untouched;
  untouched.nSize = 77;
  EXPECT_EQ(GetFileInfo(W(dir / "dangling.png"), &untouched), 0);
  EXPECT_EQ(untouched.nSize, 77u) << "a failed read leaves the record alone";
  EXPECT_EQ(GetFileInfo(W(dir / "dangling.png"), &untouched, false), 1);
  EXPECT_EQ(GetFileInfo(W(dir / "nothing"), &untouched), 0);
  EXPECT_EQ(GetFileInfo(MyString(), &untouched), 0);
}

struct HiddenCase {
  const char* name;
  bool hidden;
};

void PrintTo(const HiddenCase& c, std::ostream* os) { *os << c.name; }

class HiddenNames : public ::testing::TestWithParam<HiddenCase> {};

TEST_P(HiddenNames, HiddenMeansTheNameStartsWithADot) {
  const fs::path dir = testsupport::NewTempDir();
  const fs::path path = dir / GetParam().name;
  fs::create_directories(path);
  CFileInfo info;
  ASSERT_EQ(GetFileInfo(W(path), &info), 1);
  EXPECT_EQ(info.bHidden, GetParam().hidden);
  EXPECT_TRUE(info.bDirectory);
  // The same with a trailing slash.
  ASSERT_EQ(GetFileInfo(W(path) + u"/", &info), 1);
  EXPECT_EQ(info.bHidden, GetParam().hidden);
}

INSTANTIATE_TEST_SUITE_P(Names, HiddenNames,
                         ::testing::Values(HiddenCase{".thumbnails", true},
                                           HiddenCase{".x.jpg", true}, HiddenCase{"photos", false},
                                           HiddenCase{"a.hidden", false},
                                           HiddenCase{"sub/.", false}));

TEST(FileInfoTest, ReadOnlyAndItsClearing) {
  const fs::path dir = testsupport::NewTempDir();
  const fs::path file = dir / "install.ini";
  testsupport::WriteFile(file, "[INST_DEF]\n");
  EXPECT_FALSE(IsFileReadOnly(W(file)));

  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  // Read-only for its owner even when the owner could override it (root).
  EXPECT_TRUE(IsFileReadOnly(W(file)));
  CFileInfo info;
  ASSERT_EQ(GetFileInfo(W(file), &info), 1);
  EXPECT_TRUE(info.bReadOnly);

  EXPECT_EQ(ClearFileReadOnly(W(file)), 1);
  EXPECT_FALSE(IsFileReadOnly(W(file)));
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u) << "only the owner's write bit is added";
  EXPECT_EQ(ClearFileReadOnly(W(file)), 1) << "clearing a writable file is no error";

  // Through a link: the target is what is read-only.
  fs::create_symlink(file, dir / "link.ini");
  ASSERT_EQ(chmod(file.c_str(), 0400), 0);
  ASSERT_EQ(GetFileInfo(W(dir / "link.ini"), &info, false), 1);
  EXPECT_TRUE(info.bReadOnly);
  EXPECT_EQ(ClearFileReadOnly(W(dir / "link.ini")), 1);
  EXPECT_FALSE(IsFileReadOnly(W(file)));

  EXPECT_EQ(ClearFileReadOnly(W(dir / "missing.ini")), 0);
}

class UserDirsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_config = std::getenv("XDG_CONFIG_HOME");
    m_home = W(std::getenv("HOME"));
  }
  void TearDown() override { fs::remove(fs::path(m_config) / "user-dirs.dirs"); }
  void WriteDirs(const std::string& text) {
    testsupport::WriteFile(fs::path(m_config) / "user-dirs.dirs", text);
  }

  std::string m_config;
  MyString m_home;
};

TEST_F(UserDirsTest, WithoutTheFileTheUsualFoldersBelowHome) {
  EXPECT_EQ(GetXdgUserDir("DESKTOP"), MyString());
  EXPECT_EQ(GetDesktopFolder(), m_home + u"/Desktop");
  EXPECT_EQ(GetPicturesFolder(), m_home + u"/Pictures");
}

TEST_F(UserDirsTest, ReadsTheNamesTheFileGives) {
  WriteDirs(
      "# written by xdg-user-dirs-update\n"
      "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
      "XDG_PICTURES_DIR=\"/srv/Bilder \\\"2024\\\"/\"\n"
      "XDG_MUSIC_DIR=\"Music\"\n"
      "  XDG_VIDEOS_DIR=\"$HOME\"\n"
      "XDG_DOWNLOAD_DIR=\"$HOME/unterminated\n"
      "XDG_TEMPLATES_DIR=\"$HOME/a\"\n"
      "XDG_TEMPLATES_DIR=\"$HOME/b\"\n");
  EXPECT_EQ(GetDesktopFolder(), m_home + u"/Schreibtisch");
  EXPECT_EQ(GetPicturesFolder(), MyString(u"/srv/Bilder \"2024\""));
  EXPECT_EQ(GetXdgUserDir("MUSIC"), MyString()) << "relative paths are refused";
  EXPECT_EQ(GetXdgUserDir("VIDEOS"), m_home);
  EXPECT_EQ(GetXdgUserDir("DOWNLOAD"), MyString());
  EXPECT_EQ(GetXdgUserDir("TEMPLATES"), m_home + u"/b") << "the last line wins";
  EXPECT_EQ(GetXdgUserDir("DESK"), MyString());
}

TEST(FavoritesLockTest, LivesInTheConfigFolder) {
  EXPECT_EQ(GetFavoritesLock().GetPath(), GetConfigFolder() + u"/Lock Favorites Mutex.lock");
  EXPECT_EQ(&GetFavoritesLock(), &GetFavoritesLock());
}

// Another instance of the program is another open of the lock file.
bool AnotherOpenCanLock(const MyString& path) {
  const int fd = open(CStrAW::w_toA(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool locked = flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);
  return locked;
}

TEST(FavoritesLockTest, ExcludesAnotherOpenOfTheLockFile) {
  CFileLock& lock = GetFavoritesLock();
  ASSERT_EQ(lock.Lock(), 1);
  EXPECT_FALSE(AnotherOpenCanLock(lock.GetPath()));
  ASSERT_EQ(lock.Unlock(), 1);
  EXPECT_TRUE(AnotherOpenCanLock(lock.GetPath()));

  // And the other way round: held elsewhere, TryLock fails at once.
  const int fd = open(CStrAW::w_toA(lock.GetPath()).c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  EXPECT_EQ(lock.TryLock(), 0);
  close(fd);
  EXPECT_EQ(lock.TryLock(), 1);
  EXPECT_EQ(lock.Unlock(), 1);
}

TEST(FavoritesLockTest, ExcludesAnotherThread) {
  CFileLock lock(W(testsupport::NewTempDir() / "favorites.lock"));
  ASSERT_EQ(lock.Lock(), 1);
  ASSERT_EQ(lock.Lock(), 1) << "the owner may take it again";

  int tried = -1, unlockedByOther = -1;
  std::thread([&] {
    tried = lock.TryLock();
    unlockedByOther = lock.Unlock();
  }).join();
  EXPECT_EQ(tried, 0);
  EXPECT_EQ(unlockedByOther, 0) << "only the owner may release it";

  std::atomic<bool> got{false};
  std::thread waiter([&] {
    CFileLockGuard guard(lock);
    got = guard.IsHeld();
  });
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(got.load());
  EXPECT_EQ(lock.Unlock(), 1);
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(got.load()) << "still held once more by its owner";
  EXPECT_EQ(lock.Unlock(), 1);
  waiter.join();
  EXPECT_TRUE(got.load());
  EXPECT_EQ(lock.Unlock(), 0) << "nothing left to release";
}

TEST(FavoritesLockTest, AnUnopenableLockFileHoldsNothing) {
  const fs::path folder = testsupport::NewTempDir() / "not yet there";
  CFileLock lock(W(folder / "x.lock"));
  EXPECT_EQ(lock.Lock(), 0);
  EXPECT_EQ(lock.TryLock(), 0);
  EXPECT_EQ(lock.Unlock(), 0);
  // The failed attempts gave the in-process part back: once the file can be
  // made, another thread gets the lock.
  fs::create_directories(folder);
  int tried = -1, released = -1;
  std::thread([&] {
    tried = lock.TryLock();
    released = lock.Unlock();
  }).join();
  EXPECT_EQ(tried, 1);
  EXPECT_EQ(released, 1);
}

struct BitmapSizeCase {
  int64_t width;
  int64_t height;
  uint64_t bytes;
};

void PrintTo(const BitmapSizeCase& c, std::ostream* os) { *os << c.width << "x" << c.height; }

class BitmapSizes : public ::testing::TestWithParam<BitmapSizeCase> {};

TEST_P(BitmapSizes, SizesAreCheckedIn64Bits) {
  const BitmapSizeCase& c = GetParam();
  EXPECT_EQ(BitmapBytes(c.width, c.height), c.bytes);
  if (c.bytes == 0 && c.width == int32_t(c.width) && c.height == int32_t(c.height)) {
    EXPECT_EQ(CreateBitmap32(int32_t(c.width), int32_t(c.height)), nullptr);
    EXPECT_EQ(AllocPixelBuffer(int32_t(c.width), int32_t(c.height)), nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, BitmapSizes,
    ::testing::Values(BitmapSizeCase{1, 1, 4}, BitmapSizeCase{640, 480, 1228800},
                      BitmapSizeCase{0, 10, 0}, BitmapSizeCase{10, -1, 0},
                      BitmapSizeCase{65536, 16384, uint64_t(1) << 32},  // at the limit
                      BitmapSizeCase{65536, 16385, 0}, BitmapSizeCase{65537, 1, 0},
                      BitmapSizeCase{0x40000000, 0x40000000, 0},  // 32-bit product wraps
                      BitmapSizeCase{INT32_MAX, INT32_MAX, 0}));

TEST(BitmapTest, CreateIsZeroFilledAndCopyOwnsItsPixels) {
  HBITMAP bitmap = CreateBitmap32(3, 2);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->nStride, 12);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(bitmap->pPixels[i], 0);
  bitmap->pPixels[23] = 0xAB;
  HBITMAP copy = CopyBitmap32(bitmap);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->pPixels, bitmap->pPixels);
  EXPECT_EQ(copy->pPixels[23], 0xAB);
  DeleteBitmap32(bitmap);
  DeleteBitmap32(copy);
  DeleteBitmap32(nullptr);
}

TEST(BitmapTest, CopyTakesAPaddedStrideAndRefusesAShortOne) {
  uint8_t rows[2][16] = {};
  rows[1][0] = 7;  // first pixel of the second row
  tagLORIMOBITMAP padded;
  padded.nWidth = 3;
  padded.nHeight = 2;
  padded.nStride = 16;
  padded.pPixels = &rows[0][0];
  HBITMAP copy = CopyBitmap32(&padded);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->nStride, 12);
  EXPECT_EQ(copy->pPixels[12], 7);
  DeleteBitmap32(copy);

  padded.nStride = 8;
  EXPECT_EQ(CopyBitmap32(&padded), nullptr);
  EXPECT_EQ(CopyBitmap32(nullptr), nullptr);
}

}  // namespace
