// The movie maker's logic with real image files (read through Qt, as the
// program's requests would read them) and real movies.
#include "frameloom/moviemaker.h"

#include <QImage>
#include <QProcess>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

HBITMAP ReadWithQt(const MyString& file, MyString* error) {
  QImage image(file.ToQString());
  if (image.isNull()) {
    *error = u"Unknown image format";
    return nullptr;
  }
  image = image.convertToFormat(QImage::Format_ARGB32);
  HBITMAP bitmap = CreateBitmap32(image.width(), image.height());
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(bitmap->pPixels + size_t(y) * size_t(bitmap->nStride), image.constScanLine(y),
                size_t(image.width()) * 4);
  return bitmap;
}

bool SizeWithQt(const MyString& file, SIZE* size) {
  const QImage image(file.ToQString());
  if (image.isNull()) return false;
  *size = SIZE{image.width(), image.height()};
  return true;
}

fs::path Picture(const fs::path& folder, const char* name, int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  const fs::path path = folder / name;
  image.save(QString::fromStdString(path.string()));
  return path;
}

uint32_t At(const tagLORIMOBITMAP* bitmap, int x, int y) {
  return reinterpret_cast<const uint32_t*>(bitmap->pPixels +
                                           size_t(y) * size_t(bitmap->nStride))[x];
}

std::vector<tagFRAMEENTRY> Entries(int count) {
  std::vector<tagFRAMEENTRY> frames;
  for (int i = 0; i < count; ++i) frames.push_back({MyString(std::u16string(1, u'a' + i)), 1000});
  return frames;
}

std::u16string Names(const std::vector<tagFRAMEENTRY>& frames) {
  std::u16string names;
  for (const tagFRAMEENTRY& frame : frames) names += frame.strFile.str();
  return names;
}

}  // namespace

TEST(MovieMaker, ReplicatesIntoQuadrantsWithFlips) {
  // 2 x 1: a red pixel, then a blue one.
  HBITMAP source = CreateBitmap32(2, 1);
  reinterpret_cast<uint32_t*>(source->pPixels)[0] = 0xffff0000;
  reinterpret_cast<uint32_t*>(source->pPixels)[1] = 0xff0000ff;

  tagMOVIESETTINGS settings;
  HBITMAP plain = CMovieMaker::ComposeFrame(source, settings);
  EXPECT_EQ(plain->nWidth, 2);
  EXPECT_EQ(At(plain, 0, 0), 0xffff0000u);

  settings.bReplicate[Q_UL] = settings.bReplicate[Q_LR] = true;
  settings.nFlags[Q_LR] = kFlipNone | kFlipLeftRight;
  HBITMAP diagonal = CMovieMaker::ComposeFrame(source, settings);
  ASSERT_EQ(diagonal->nWidth, 4);
  ASSERT_EQ(diagonal->nHeight, 2);
  EXPECT_EQ(At(diagonal, 0, 0), 0xffff0000u);
  EXPECT_EQ(At(diagonal, 2, 1), 0xff0000ffu);  // flopped copy at (w, h)
  EXPECT_EQ(At(diagonal, 3, 1), 0xffff0000u);
  EXPECT_EQ(At(diagonal, 2, 0), 0u);  // the other quadrants empty
  EXPECT_EQ(At(diagonal, 0, 1), 0u);

  tagMOVIESETTINGS upperRight;
  upperRight.bReplicate[Q_UR] = true;
  HBITMAP alone = CMovieMaker::ComposeFrame(source, upperRight);
  EXPECT_EQ(alone->nWidth, 2);
  EXPECT_EQ(At(alone, 0, 0), 0xffff0000u);

  // A tall frame fitted into a wide movie: both sides fit, centred.
  HBITMAP tall = CreateBitmap32(10, 40);
  std::memset(tall->pPixels, 0xff, size_t(tall->nStride) * 40);
  HBITMAP fitted = CMovieMaker::FitInto(tall, 40, 20);
  EXPECT_EQ(At(fitted, 20, 10), 0xffffffffu);
  EXPECT_EQ(At(fitted, 2, 10), 0u);
  for (HBITMAP b : {source, plain, diagonal, alone, tall, fitted}) DeleteBitmap32(b);
}

TEST(MovieMaker, ThinsTheListAndRefusesResamplingBelowOne) {
  auto frames = Entries(5);
  CMovieMaker::HalfPictures(frames);
  EXPECT_EQ(Names(frames), u"bde");
  frames = Entries(4);
  CMovieMaker::HalfPictures(frames);
  CMovieMaker::HalfPictures(frames);  // quarter: never past the end
  EXPECT_EQ(Names(frames), u"d");
  frames = Entries(7);
  EXPECT_FALSE(CMovieMaker::Resample(frames, 0));
  EXPECT_EQ(frames.size(), 7u);
  EXPECT_TRUE(CMovieMaker::Resample(frames, 3));
  EXPECT_EQ(Names(frames), u"adg");
}

TEST(MovieMaker, RendersAviFramesToTheirDurationsAndRefusesMixedSizesBeforeWriting) {
  const fs::path folder = testsupport::NewTempDir();
  const fs::path red = Picture(folder, "red.png", 64, 48, Qt::red);
  const fs::path blue = Picture(folder, "blue.png", 64, 48, Qt::blue);
  const fs::path large = Picture(folder, "large.png", 80, 60, Qt::green);
  CMovieMaker maker(ReadWithQt, SizeWithQt);
  tagMOVIESETTINGS settings;
  tagMOVIEFORMAT format;
  format.nKind = MK_AVI;
  format.strCodec = "mjpeg";
  MyString error;

  const fs::path movie = folder / "movie.avi";
  const std::vector<tagFRAMEENTRY> frames = {{CStrAW::FromPath(red), 1000},
                                             {CStrAW::FromPath(blue), 250}};
  int percent = 0;
  int annotated = 0;
  settings.annotate = [&](tagLORIMOBITMAP* frame) {
    EXPECT_EQ(frame->nWidth, 64);
    ++annotated;
  };
  ASSERT_EQ(maker.Render(
                CStrAW::FromPath(movie), format, frames, settings, nullptr,
                [&](int p) { percent = p; }, &error),
            RR_DONE)
      << error.ToUtf8();
  EXPECT_EQ(percent, 100);
  EXPECT_EQ(annotated, 2);
  settings.annotate = nullptr;
  QProcess probe;
  probe.start("ffprobe",
              {"-v", "error", "-count_frames", "-show_entries", "stream=nb_read_frames,width",
               "-of", "csv=p=0", QString::fromStdString(movie.string())});
  ASSERT_TRUE(probe.waitForFinished(30000));
  EXPECT_EQ(probe.readAllStandardOutput().trimmed().toStdString(), "64,5");

  // 640 x 480 then 800 x 600: the size message, and nothing written.
  const fs::path mixed = folder / "mixed.avi";
  EXPECT_EQ(maker.Render(CStrAW::FromPath(mixed), format,
                         {{CStrAW::FromPath(red), 1000}, {CStrAW::FromPath(large), 1000}}, settings,
                         nullptr, nullptr, &error),
            RR_SIZE_ERROR);
  EXPECT_EQ(error, u"Only frames having the same dimensions are allowed!");
  EXPECT_FALSE(fs::exists(mixed));
  // An unreadable frame is named in the validation pass, not measured.
  testsupport::WriteFile(folder / "junk.png", "junk");
  EXPECT_EQ(
      maker.Render(CStrAW::FromPath(mixed), format, {{CStrAW::FromPath(folder / "junk.png"), 1000}},
                   settings, nullptr, nullptr, &error),
      RR_LOAD_ERROR);
  EXPECT_NE(error.str().find(u"junk.png"), std::u16string::npos);
  // 0 ms frames with no delay.
  settings.nDelayMs = 0;
  EXPECT_EQ(maker.Render(CStrAW::FromPath(mixed), format, {{CStrAW::FromPath(red), 0}}, settings,
                         nullptr, nullptr, &error),
            RR_TIMING_ERROR);
  EXPECT_FALSE(fs::exists(mixed));

  // Stopped: the user's older movie stays.
  settings.nDelayMs = 1000;
  testsupport::WriteFile(movie, "older");
  maker.Stop();
  EXPECT_EQ(
      maker.Render(CStrAW::FromPath(movie), format, frames, settings, nullptr, nullptr, &error),
      RR_STOPPED);
  EXPECT_EQ(testsupport::ReadFile(movie), "older");
}
