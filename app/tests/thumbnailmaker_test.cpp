#include "browse/thumbnailmaker.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QUrl>
#include <atomic>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <turbojpeg.h>

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include "browse/sharedthumbnails.h"
#include "browse/thumbnailcache.h"
#include "browse/thumbnailworkers.h"
#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

// Four quadrants: red, green / blue, white.
QImage Quadrants(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool right = x >= width / 2, bottom = y >= height / 2;
      image.setPixel(x, y,
                     !bottom ? (right ? qRgb(0, 255, 0) : qRgb(255, 0, 0))
                             : (right ? qRgb(255, 255, 255) : qRgb(0, 0, 255)));
    }
  return image;
}

std::string JpegBytes(const QImage& picture, int quality = 92) {
  const QImage image = picture.convertToFormat(QImage::Format_RGB32);
  tjhandle handle = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  EXPECT_EQ(tjCompress2(handle, image.constBits(), image.width(), int(image.bytesPerLine()),
                        image.height(), TJPF_BGRX, &jpeg, &size, TJSAMP_420, quality, 0),
            0);
  std::string bytes(reinterpret_cast<const char*>(jpeg), size);
  tjFree(jpeg);
  tjDestroy(handle);
  return bytes;
}

// A camera-like JPEG: EXIF with the orientation and, when given, an
// embedded thumbnail.
void WriteJpeg(const fs::path& path, const QImage& picture, int orientation = 0,
               const QImage& thumbnail = QImage()) {
  testsupport::WriteFile(path, JpegBytes(picture));
  if (orientation == 0 && thumbnail.isNull()) return;
  auto file = Exiv2::ImageFactory::open(path.string());
  file->readMetadata();
  file->exifData()["Exif.Image.Make"] = "Lorimo test camera";
  if (orientation) file->exifData()["Exif.Image.Orientation"] = uint16_t(orientation);
  if (!thumbnail.isNull()) {
    const std::string small = JpegBytes(thumbnail, 95);
    Exiv2::ExifThumb(file->exifData())
        .setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(small.data()), small.size());
  }
  file->writeMetadata();
}

void WritePng(const fs::path& path, const QImage& picture) {
  ASSERT_TRUE(picture.save(QString::fromStdString(path.string()), "PNG"));
}

int Colour(QRgb pixel) {
  return (qRed(pixel) > 128 ? 4 : 0) + (qGreen(pixel) > 128 ? 2 : 0) + (qBlue(pixel) > 128 ? 1 : 0);
}

class ThumbnailMakerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stop.Reset();
    dir = testsupport::NewTempDir("maker");
    photos = dir / "Photos";
    fs::create_directories(photos);
    cache = std::make_unique<ThumbnailCache>(W(dir / "LorimoCache"), stop);
    cache->ApplyOptions(true, 300, false);
    cache->PrepareMirrorFolder(W(photos));
    maker = std::make_unique<CThumbnailMaker>(cache.get(), stop);
  }
  QImage Make(const fs::path& path, int side, bool allowCache = true) {
    SIZE box{side, side};
    QImage image = maker->MakeThumbnail(owner, W(path), &box, allowCache);
    EXPECT_EQ(QSize(box.cx, box.cy), image.isNull() ? QSize(side, side) : image.size());
    cache->WaitIdle();
    return image;
  }
  // The entry the cache holds for path now, or a null image.
  QImage Entry(const fs::path& path) {
    tagTHUMBSTAMP stamp;
    QImage entry;
    if (ReadThumbStamp(W(path), &stamp)) cache->ReadCachedThumbnail(W(path), stamp, &entry);
    return entry;
  }

  CStopEvent stop;
  fs::path dir, photos;
  std::unique_ptr<ThumbnailCache> cache;
  std::unique_ptr<CThumbnailMaker> maker;
  CThumbnailOwner owner;
};

TEST_F(ThumbnailMakerTest, BoxesAndWhatTheCacheReceives) {
  WritePng(photos / "small.png", Quadrants(200, 150));
  EXPECT_EQ(Make(photos / "small.png", 100).size(), QSize(100, 75));
  EXPECT_TRUE(Entry(photos / "small.png").isNull());

  WritePng(photos / "wide.png", Quadrants(400, 100));
  EXPECT_EQ(Make(photos / "wide.png", 100).size(), QSize(100, 25));
  EXPECT_EQ(Entry(photos / "wide.png").size(), QSize(300, 75));

  cache->ApplyOptions(true, 200, false);
  WritePng(photos / "square.png", Quadrants(400, 400));
  EXPECT_EQ(Make(photos / "square.png", 100).size(), QSize(100, 100));
  EXPECT_EQ(Entry(photos / "square.png").size(), QSize(200, 200));
  WritePng(photos / "square2.png", Quadrants(400, 400));
  EXPECT_EQ(Make(photos / "square2.png", 250).size(), QSize(250, 250));
  EXPECT_EQ(Entry(photos / "square2.png").size(), QSize(200, 200));

  // Not allowed to cache, or the cache off: nothing is written.
  WritePng(photos / "big.png", Quadrants(600, 400));
  EXPECT_EQ(Make(photos / "big.png", 350, false).size(), QSize(350, 233));
  cache->ApplyOptions(false, 300, false);
  EXPECT_EQ(Make(photos / "big.png", 100).size(), QSize(100, 66));
  EXPECT_TRUE(Entry(photos / "big.png").isNull());
}

TEST_F(ThumbnailMakerTest, ReducedDecodeIsCachedByTheFilesOwnSize) {
  // Read at 1/8 this is 288 x 216, below 300 on both sides.
  WriteJpeg(photos / "camera.jpg", Quadrants(2300, 1725));
  const QImage made = Make(photos / "camera.jpg", 100);
  EXPECT_EQ(made.size(), QSize(100, 75));
  EXPECT_EQ(Colour(made.pixel(20, 20)), 4);
  EXPECT_EQ(Colour(made.pixel(80, 60)), 7);
  const QImage entry = Entry(photos / "camera.jpg");
  EXPECT_EQ(entry.size(), QSize(288, 216));

  // A hit is read from the entry, fitted into the box.
  const fs::path other = photos / "hit.jpg";
  WriteJpeg(other, Quadrants(2300, 1725));
  tagTHUMBSTAMP stamp;
  ASSERT_TRUE(ReadThumbStamp(W(other), &stamp));
  QImage green(300, 150, QImage::Format_RGB32);
  green.fill(qRgb(0, 255, 0));
  ASSERT_TRUE(cache->QueueWrite(green, W(other), stamp));
  cache->WaitIdle();
  const QImage hit = Make(other, 120);
  EXPECT_EQ(hit.size(), QSize(120, 60));
  EXPECT_EQ(Colour(hit.pixel(60, 30)), 2);
}

TEST_F(ThumbnailMakerTest, EmbeddedThumbnailTurnsByEveryOrientationAndIsNeverCached) {
  const QImage thumbnail = Quadrants(160, 80);
  for (int orientation = 1; orientation <= 8; ++orientation) {
    const fs::path path = photos / ("o" + std::to_string(orientation) + ".jpg");
    // The picture itself is plain grey: only the embedded one has quadrants.
    QImage grey(640, 320, QImage::Format_RGB32);
    grey.fill(qRgb(128, 128, 128));
    WriteJpeg(path, grey, orientation, thumbnail);
    const QImage made = Make(path, 100);
    const QImage expected = OrientImage(thumbnail, orientation);
    ASSERT_EQ(made.size(), expected.size().scaled(100, 100, Qt::KeepAspectRatio)) << orientation;
    for (double fx : {0.25, 0.75})
      for (double fy : {0.25, 0.75}) {
        const QRgb got = made.pixel(int(fx * made.width()), int(fy * made.height()));
        const QRgb want = expected.pixel(int(fx * expected.width()), int(fy * expected.height()));
        EXPECT_EQ(Colour(got), Colour(want))
            << "orientation " << orientation << " at " << fx << "," << fy;
      }
    EXPECT_TRUE(Entry(path).isNull());
  }
  // In high quality the picture itself is read.
  cache->ApplyOptions(true, 300, true);
  EXPECT_EQ(Colour(Make(photos / "o1.jpg", 100).pixel(10, 10)), 0);
}

TEST_F(ThumbnailMakerTest, UprightTurnsTheDecodeButEntriesKeepTheFilesOrientation) {
  const fs::path path = photos / "turned.jpg";
  WriteJpeg(path, Quadrants(800, 400), 6);
  cache->ApplyOptions(true, 300, true);  // no embedded preview in the way
  maker->SetUpright(true);
  const QImage upright = Make(path, 100);
  ASSERT_EQ(upright.size(), QSize(50, 100));
  EXPECT_EQ(Colour(upright.pixel(10, 10)), 1);  // blue comes to the top left
  const QImage entry = Entry(path);
  ASSERT_EQ(entry.size(), QSize(300, 150));
  EXPECT_EQ(Colour(entry.pixel(10, 10)), 4);
  // Read back through the maker, the entry turns again.
  const QImage hit = Make(path, 100);
  EXPECT_EQ(hit.size(), QSize(50, 100));
  EXPECT_EQ(Colour(hit.pixel(10, 10)), 1);
}

TEST_F(ThumbnailMakerTest, SourceChangedMidMakeNeverLeavesAStaleEntry) {
  const fs::path path = photos / "changing.png";
  QImage red(1500, 1500, QImage::Format_RGB32);
  red.fill(qRgb(255, 0, 0));
  QImage blue = red;
  blue.fill(qRgb(0, 0, 255));
  WritePng(path, red);
  std::thread changer([&] {
    while (!owner.bBusy) std::this_thread::yield();
    WritePng(path, blue);
  });
  Make(path, 100);
  changer.join();
  const QImage entry = Entry(path);
  if (!entry.isNull()) EXPECT_EQ(Colour(entry.pixel(5, 5)), 1);
}

TEST_F(ThumbnailMakerTest, BadFilesGiveNothingAndStopSkipsTheWork) {
  testsupport::WriteFile(photos / "garbage.jpg", std::string(5000, '\xff'));
  EXPECT_TRUE(Make(photos / "garbage.jpg", 100).isNull());
  std::string truncated = JpegBytes(Quadrants(800, 600));
  truncated.resize(truncated.size() / 3);
  testsupport::WriteFile(photos / "truncated.jpg", truncated);
  Make(photos / "truncated.jpg", 100);  // whatever it gives, it does not crash
  // A named pipe is never waited on.
  ASSERT_EQ(::mkfifo((photos / "pipe.jpg").c_str(), 0600), 0);
  EXPECT_TRUE(Make(photos / "pipe.jpg", 100).isNull());
  testsupport::WriteFile(photos / "empty.png", "");
  EXPECT_TRUE(Make(photos / "empty.png", 100).isNull());

  // The plug-ins' thumbnail is the last resort, and is cached.
  maker->provideThumbnailForFile = [](const MyString&, const SIZE& box) {
    QImage image(box.cx, box.cy / 2, QImage::Format_RGB32);
    image.fill(qRgb(0, 255, 0));
    return image;
  };
  EXPECT_EQ(Make(photos / "empty.png", 100).size(), QSize(100, 50));
  EXPECT_EQ(Entry(photos / "empty.png").size(), QSize(300, 150));

  WritePng(photos / "late.png", Quadrants(400, 400));
  stop.Set();
  maker->provideThumbnailForFile = nullptr;
  EXPECT_TRUE(Make(photos / "late.png", 100).isNull());
}

uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string PngChunk(const std::string& type, const std::string& data) {
  std::string chunk;
  for (int shift = 24; shift >= 0; shift -= 8) chunk += char((data.size() >> shift) & 0xFF);
  chunk += type + data;
  const uint32_t crc = Crc32(type + data);
  for (int shift = 24; shift >= 0; shift -= 8) chunk += char((crc >> shift) & 0xFF);
  return chunk;
}

// An entry another program left in the shared cache, its texts as
// thumbnailers write them.
void WriteSharedEntry(const fs::path& source, const char* size, int side, QRgb colour,
                      int64_t mtime, const std::string& fileSize = std::string()) {
  QImage image(side, side * 3 / 4, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(image.save(&buffer, "PNG"));
  const std::string uri =
      QUrl::fromLocalFile(QString::fromStdString(source.string())).toEncoded().toStdString();
  std::string texts = PngChunk("tEXt", std::string("Thumb::URI") + '\0' + uri) +
                      PngChunk("tEXt", std::string("Thumb::MTime") + '\0' + std::to_string(mtime));
  if (!fileSize.empty())
    texts +=
        PngChunk("iTXt", std::string("Thumb::Size") + '\0' + '\0' + '\0' + '\0' + '\0' + fileSize);
  std::string bytes = png.toStdString();
  bytes.insert(33, texts);  // after the signature and the header chunk
  testsupport::WriteFile(CStrAW::ToPath(SharedThumbnailFolder()) / size /
                             CStrAW::ToPath(SharedThumbnailName(W(source))),
                         bytes);
}

TEST_F(ThumbnailMakerTest, SharedCacheEntriesServeOnlyWhenFreshAndLargeEnough) {
  const fs::path path = photos / "shared photo #1.png";
  WritePng(path, Quadrants(800, 600));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  const int64_t mtime = st.st_mtime;
  // Our own entry would come first.
  cache->ApplyOptions(false, 300, false);
  // Too small for the box, then stale, then of another size: all ignored.
  WriteSharedEntry(path, "normal", 128, qRgb(0, 255, 0), mtime);
  WriteSharedEntry(path, "large", 256, qRgb(0, 255, 0), mtime + 1);
  WriteSharedEntry(path, "x-large", 512, qRgb(0, 255, 0), mtime, "12");
  EXPECT_EQ(Colour(Make(path, 200).pixel(30, 30)), 4);
  // A fresh one that covers the box is used, and nothing is written there.
  WriteSharedEntry(path, "large", 256, qRgb(0, 255, 255), mtime, std::to_string(st.st_size));
  const QImage shared = Make(path, 200);
  EXPECT_EQ(shared.size(), QSize(200, 150));
  EXPECT_EQ(Colour(shared.pixel(30, 30)), 3);
  // The smaller one serves a smaller box; high quality never uses them.
  EXPECT_EQ(Colour(Make(path, 100).pixel(30, 30)), 2);
  cache->ApplyOptions(false, 300, true);
  EXPECT_EQ(Colour(Make(path, 200).pixel(30, 30)), 4);
  EXPECT_FALSE(fs::exists(CStrAW::ToPath(SharedThumbnailFolder()) / "normal" /
                          CStrAW::ToPath(SharedThumbnailName(W(photos / "small.png")))));
}

TEST(ThumbnailWorkers, NearestFirstAndScrolledPastCellsAreNeverDecoded) {
  const fs::path dir = testsupport::NewTempDir("workers");
  std::vector<tagTHUMBCELL> first;
  for (int i = 0; i < 30; ++i) {
    const fs::path path = dir / ("p" + std::to_string(i) + ".png");
    QImage image(900, 600, QImage::Format_RGB32);
    image.fill(qRgb(i * 8, 0, 0));
    ASSERT_TRUE(image.save(QString::fromStdString(path.string()), "PNG"));
    first.push_back(tagTHUMBCELL{i, W(path), SIZE{100, 100}, false});
  }
  CThumbnailWorkers workers(nullptr);
  std::map<int, QImage> delivered;
  QObject::connect(&workers, &CThumbnailWorkers::ThumbnailReady,
                   [&](uint64_t, int index, const QImage& image) {
                     EXPECT_EQ(delivered.count(index), 0u) << index;
                     delivered[index] = image;
                   });
  workers.SetCells(first, 0);
  // Scrolled to the end at once.
  std::vector<tagTHUMBCELL> last(first.begin() + 25, first.end());
  workers.SetCells(last, 27);
  ASSERT_TRUE(testsupport::WaitFor([&] { return workers.Pending() == 0; }));
  QCoreApplication::processEvents();
  ASSERT_TRUE(testsupport::WaitFor([&] {
    for (int i = 25; i < 30; ++i)
      if (!delivered.count(i)) return false;
    return true;
  }));
  EXPECT_LE(workers.Started(), 7u);
  for (const auto& [index, image] : delivered) {
    EXPECT_TRUE(index <= 1 || index >= 25) << index;
    EXPECT_EQ(image.size(), QSize(100, 66)) << index;
    EXPECT_EQ(qRed(image.pixel(50, 30)), index * 8);
  }
}

}  // namespace
