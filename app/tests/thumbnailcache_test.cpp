#include "browse/thumbnailcache.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/slidesfile.h"
#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

QImage Gradient(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 90));
  return image;
}

tagTHUMBSTAMP StampOf(const fs::path& path) {
  tagTHUMBSTAMP stamp;
  EXPECT_TRUE(ReadThumbStamp(W(path), &stamp));
  return stamp;
}

int Mode(const fs::path& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return int(st.st_mode & 0777);
}

void SetTime(const fs::path& path, int64_t seconds, long nanoseconds) {
  timespec times[2] = {{0, UTIME_OMIT}, {time_t(seconds), nanoseconds}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class ThumbnailCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stop.Reset();
    dir = testsupport::NewTempDir("cache");
    photos = dir / "Photos";
    fs::create_directories(photos);
    cache = std::make_unique<ThumbnailCache>(W(dir / "LorimoCache"), stop);
    cache->ApplyOptions(true, 300, false);
    cache->PrepareMirrorFolder(W(photos));
  }
  fs::path Source(const std::string& name, const std::string& bytes = "pixels") {
    testsupport::WriteFile(photos / name, bytes);
    return photos / name;
  }

  CStopEvent stop;
  fs::path dir, photos;
  std::unique_ptr<ThumbnailCache> cache;
};

TEST_F(ThumbnailCacheTest, WrittenEntryIsPrivateReadBackAndTiedToExactStamp) {
  const fs::path source = Source("IMG_0012.jpg");
  SetTime(source, 1089882337, 250);
  const tagTHUMBSTAMP stamp = StampOf(source);
  ASSERT_TRUE(cache->QueueWrite(Gradient(300, 200), W(source), stamp));
  cache->WaitIdle();
  const fs::path mirror = dir / "LorimoCache" / photos.relative_path();
  const fs::path entry = mirror / "IMG_0012(2004715953)jpg.JPEG";
  ASSERT_TRUE(fs::exists(entry));
  EXPECT_EQ(Mode(entry), 0600);
  EXPECT_EQ(Mode(mirror), 0700);
  EXPECT_EQ(Mode(dir / "LorimoCache"), 0700);
  QImage read;
  ASSERT_TRUE(cache->ReadCachedThumbnail(W(source), stamp, &read));
  EXPECT_EQ(read.size(), QSize(300, 200));
  EXPECT_NEAR(qRed(read.pixel(290, 10)), 246, 12);

  // A re-save within the same ten seconds has the same name, but its
  // entry is not the old one.
  SetTime(source, 1089882339, 0);
  EXPECT_EQ(cache->FindCachedThumbnail(W(source), StampOf(source)), W(entry));
  EXPECT_FALSE(cache->ReadCachedThumbnail(W(source), StampOf(source), &read));
  // Nor is one of another size at the same time.
  SetTime(source, 1089882337, 250);
  testsupport::WriteFile(source, "other pixels");
  SetTime(source, 1089882337, 250);
  EXPECT_FALSE(cache->ReadCachedThumbnail(W(source), StampOf(source), &read));

  // Files without an extension opened as a format carry it in their names.
  const fs::path bare = Source("scan");
  cache->SetFormatExtension(u"jpg");
  ASSERT_TRUE(cache->QueueWrite(Gradient(100, 100), W(bare), StampOf(bare)));
  cache->WaitIdle();
  EXPECT_TRUE(cache->FindCachedThumbnail(W(bare), StampOf(bare)).str().ends_with(u")JPGTMP.JPEG"));
  cache->SetFormatExtension(MyString());
  EXPECT_TRUE(cache->FindCachedThumbnail(W(bare), StampOf(bare)).IsEmpty());

  // High quality replaces the normal entry and also serves normal quality.
  const tagTHUMBSTAMP fresh = StampOf(source);
  cache->ApplyOptions(true, 300, true);
  ASSERT_TRUE(cache->QueueWrite(Gradient(300, 200), W(source), fresh));
  cache->WaitIdle();
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_TRUE(fs::exists(mirror / "IMG_0012(2004715953)jpg_hq.JPEG"));
  cache->ApplyOptions(true, 300, false);
  EXPECT_TRUE(cache->ReadCachedThumbnail(W(source), fresh, &read));
}

TEST_F(ThumbnailCacheTest, DamagedEntriesAreMissesThatTheNextWriteReplaces) {
  const fs::path source = Source("a.png");
  const tagTHUMBSTAMP stamp = StampOf(source);
  const std::string good = EncodeThumbnailEntry(Gradient(120, 90), stamp);
  ASSERT_GT(good.size(), 200u);
  tagTHUMBSTAMP other = stamp;
  other.nSize += 1;
  const std::string damaged[] = {
      std::string(),
      good.substr(0, good.size() / 2),                 // truncated: a warning only
      std::string(good.size(), 'x'),                   // garbage
      EncodeThumbnailEntry(Gradient(120, 90), other),  // its comment disagrees
      good.substr(0, 2) + good.substr(30),             // the comment cut away
  };
  const MyString entry = cache->Names().CachePath(W(source), stamp.ftLastWrite, false);
  for (const std::string& bytes : damaged) {
    testsupport::WriteFile(CStrAW::ToPath(entry), bytes);
    QImage read;
    EXPECT_FALSE(cache->ReadCachedThumbnail(W(source), stamp, &read)) << bytes.size();
  }
  ASSERT_TRUE(cache->QueueWrite(Gradient(120, 90), W(source), stamp));
  cache->WaitIdle();
  QImage read;
  EXPECT_TRUE(cache->ReadCachedThumbnail(W(source), stamp, &read));
  EXPECT_EQ(testsupport::ReadFile(CStrAW::ToPath(entry)), good);
}

TEST_F(ThumbnailCacheTest, SourceChangedBeforeTheWriteGetsNoEntry) {
  const fs::path source = Source("b.jpg");
  const tagTHUMBSTAMP before = StampOf(source);
  testsupport::WriteFile(source, "changed meanwhile, longer");
  ASSERT_TRUE(cache->QueueWrite(Gradient(100, 100), W(source), before));
  cache->WaitIdle();
  const fs::path mirror = dir / "LorimoCache" / photos.relative_path();
  EXPECT_TRUE(fs::is_empty(mirror));
  // Nor does a folder without a mirror, nor one inside the cache.
  const fs::path unmirrored = dir / "elsewhere";
  fs::create_directories(unmirrored);
  testsupport::WriteFile(unmirrored / "c.jpg", "x");
  cache->PrepareMirrorFolder(W(mirror));
  ASSERT_TRUE(cache->QueueWrite(Gradient(100, 100), W(unmirrored / "c.jpg"),
                                StampOf(unmirrored / "c.jpg")));
  // A name too long for the file system.
  const fs::path longName = Source(std::string(250, 'n') + ".jpg");
  ASSERT_TRUE(cache->QueueWrite(Gradient(100, 100), W(longName), StampOf(longName)));
  cache->WaitIdle();
  EXPECT_FALSE(fs::exists(dir / "LorimoCache" / unmirrored.relative_path()));
  EXPECT_TRUE(fs::is_empty(mirror));
}

TEST_F(ThumbnailCacheTest, EmptyingKeepsTheRootAndNeverFollowsALink) {
  const fs::path outside = dir / "outside";
  fs::create_directories(outside);
  testsupport::WriteFile(outside / "keep.jpg", "user file");
  const fs::path root = dir / "LorimoCache";
  fs::create_directory_symlink(outside, root / "link");
  const fs::path source = Source("d.jpg");
  ASSERT_TRUE(cache->QueueWrite(Gradient(100, 100), W(source), StampOf(source)));
  cache->WaitIdle();
  ASSERT_FALSE(fs::is_empty(root / photos.relative_path()));
  EXPECT_TRUE(cache->EmptyCache());
  cache->WaitIdle();
  EXPECT_TRUE(fs::is_directory(root));
  EXPECT_TRUE(fs::is_empty(root));
  EXPECT_EQ(testsupport::ReadFile(outside / "keep.jpg"), "user file");
  // Mirrors are made again, a link in their way is not followed.
  fs::create_directory_symlink(outside, root / "home");
  cache->PrepareMirrorFolder(u"/home/ann/Photos");
  EXPECT_FALSE(fs::exists(outside / "ann"));
}

TEST_F(ThumbnailCacheTest, PortfolioPreparesTheMirrorOfEverySlidesFolder) {
  CSlidesFile slides;
  slides.Append(W(dir / "a" / "1.jpg"), 0);
  slides.Append(W(dir / "a" / "2.jpg"), 0);
  slides.Append(W(dir / "b" / "c" / "3.jpg"), 2000);
  slides.Append(W(dir / "LorimoCache" / "x" / "4.jpg"), 0);
  ASSERT_TRUE(slides.Save(W(dir / "show.lrm")));
  cache->PreparePortfolioFolders(W(dir / "show.lrm"));
  const fs::path root = dir / "LorimoCache";
  EXPECT_TRUE(fs::is_directory(root / (dir / "a").relative_path()));
  EXPECT_TRUE(fs::is_directory(root / (dir / "b" / "c").relative_path()));
  EXPECT_EQ(Mode(root / (dir / "b").relative_path()), 0700);
  // The cache itself is never mirrored.
  EXPECT_FALSE(fs::exists(root / (root / "x").relative_path()));
}

TEST_F(ThumbnailCacheTest, StopEndsTheWriterAfterTheRequestInHand) {
  constexpr int kCount = 60;
  // Everything is made first, so the writes are queued faster than one is written.
  std::vector<fs::path> sources;
  std::vector<tagTHUMBSTAMP> stamps;
  for (int i = 0; i < kCount; ++i) {
    sources.push_back(Source("s" + std::to_string(i) + ".jpg"));
    stamps.push_back(StampOf(sources.back()));
  }
  const QImage picture = Gradient(300, 300);
  for (int i = 0; i < kCount; ++i)
    ASSERT_TRUE(cache->QueueWrite(picture, W(sources[size_t(i)]), stamps[size_t(i)]));
  stop.Set();
  cache->Release();
  const fs::path mirror = dir / "LorimoCache" / photos.relative_path();
  const auto written = std::distance(fs::directory_iterator(mirror), fs::directory_iterator());
  EXPECT_LT(written, kCount);
  EXPECT_FALSE(cache->QueueWrite(Gradient(10, 10), W(photos / "s0.jpg"), tagTHUMBSTAMP()));
}

TEST_F(ThumbnailCacheTest, TurnedEntryMatchesATurnedPicture) {
  const fs::path source = Source("t.jpg");
  const tagTHUMBSTAMP before = StampOf(source);
  // Sides that are not whole 16-pixel blocks.
  const QImage picture = Gradient(150, 100);
  ASSERT_TRUE(cache->QueueWrite(picture, W(source), before));
  cache->WaitIdle();
  SetTime(source, 1700000000, 0);
  ASSERT_TRUE(cache->TransformCachedThumbnail(W(source), before, 1));
  cache->WaitIdle();
  QImage turned;
  ASSERT_TRUE(cache->ReadCachedThumbnail(W(source), StampOf(source), &turned));
  const QImage expected = TransformThumbnail(picture, 1);
  ASSERT_EQ(turned.size(), QSize(100, 150));
  for (QPoint p : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 149), QPoint(99, 149), QPoint(50, 75)}) {
    EXPECT_NEAR(qRed(turned.pixel(p)), qRed(expected.pixel(p)), 12);
    EXPECT_NEAR(qGreen(turned.pixel(p)), qGreen(expected.pixel(p)), 12);
  }
  EXPECT_FALSE(cache->TransformCachedThumbnail(W(source), before, 1));
}

}  // namespace
