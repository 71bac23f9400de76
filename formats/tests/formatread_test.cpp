// The formats plug-in's readers and writers on files made by the real
// encoders and by the DNG writer of the tests.
#include "formatread.h"

#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "dngwriter.h"
#include "formatstestfiles.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;
using namespace formatstest;

namespace {

struct CBitmapDeleter {
  void operator()(HBITMAP bitmap) const { DeleteBitmap32(bitmap); }
};
using BitmapPtr = std::unique_ptr<tagLORIMOBITMAP, CBitmapDeleter>;

BitmapPtr ReadFile(const fs::path& path, const tagFORMATREAD& read, std::string* error) {
  const std::string name = path.filename().string();
  const std::u16string extension = fs::path(name).extension().u16string().substr(1);
  return BitmapPtr(ReadFormatFile(path.string(), extension, read, error));
}

const uint8_t* Pixel(const tagLORIMOBITMAP* bitmap, int x, int y) {
  return bitmap->pPixels + size_t(y) * bitmap->nStride + size_t(x) * 4;
}

}  // namespace

TEST(FormatReaders, DevelopsALinearDngTurnedUprightAndTakesItsPreviewOnlyWhenBigEnough) {
  const fs::path dir = testsupport::NewTempDir("dng");
  const int w = 120, h = 80;
  const std::vector<uint8_t> picture = Picture(w, h);
  testsupport::WriteFile(dir / "plain.dng", dngwriter::MakeLinearDng(picture, w, h));
  std::string error;
  tagFORMATREAD read;
  read.szView = SIZE{1920, 1080};
  BitmapPtr developed = ReadFile(dir / "plain.dng", read, &error);
  ASSERT_TRUE(developed) << error;
  // Camera white balance, sRGB primaries and tone curve: close to the source.
  EXPECT_LT(MeanDifference(developed.get(), picture, w, h), 12.0);

  // Stored on its side: shown upright, the white corner at the top right.
  testsupport::WriteFile(dir / "turned.dng", dngwriter::MakeLinearDng(picture, w, h, {}, 0, 0, 6));
  BitmapPtr turned = ReadFile(dir / "turned.dng", read, &error);
  ASSERT_TRUE(turned) << error;
  ASSERT_EQ(turned->nWidth, h);
  ASSERT_EQ(turned->nHeight, w);
  EXPECT_GT(Pixel(turned.get(), h - 3, 2)[1], 230);
  EXPECT_LT(Pixel(turned.get(), 2, 2)[1], 200);
  read.bUpright = false;
  BitmapPtr asStored = ReadFile(dir / "turned.dng", read, &error);
  ASSERT_TRUE(asStored) << error;
  EXPECT_EQ(asStored->nWidth, w);
  read.bUpright = true;

  // A preview of another picture (the source inverted) tells which path was
  // taken: the preview for a box it covers, the sensor data for a bigger one.
  std::vector<uint8_t> inverted = picture;
  for (uint8_t& v : inverted) v = uint8_t(255 - v);
  testsupport::WriteFile(dir / "preview.dng",
                         dngwriter::MakeLinearDng(picture, w, h, Jpeg(inverted, w, h), w, h));
  read.szView = SIZE{100, 60};
  BitmapPtr fromPreview = ReadFile(dir / "preview.dng", read, &error);
  ASSERT_TRUE(fromPreview) << error;
  EXPECT_LT(MeanDifference(fromPreview.get(), inverted, w, h), 4.0);
  read.szView = SIZE{1920, 1080};
  BitmapPtr fromSensor = ReadFile(dir / "preview.dng", read, &error);
  ASSERT_TRUE(fromSensor) << error;
  EXPECT_LT(MeanDifference(fromSensor.get(), picture, w, h), 12.0);

  // A camera's small thumbnail (here of the inverted picture, 40 x 27) is
  // taken for a box it covers, the large preview for a bigger one.
  std::vector<uint8_t> small = Picture(40, 27);
  for (uint8_t& v : small) v = uint8_t(255 - v);
  testsupport::WriteFile(dir / "camera.dng",
                         dngwriter::MakeLinearDng(picture, w, h, Jpeg(picture, w, h), w, h, 1,
                                                  Jpeg(small, 40, 27), 40, 27));
  tagFORMATREAD thumb;
  thumb.bThumbnail = true;
  thumb.szView = SIZE{40, 40};
  BitmapPtr fromSmall = ReadFile(dir / "camera.dng", thumb, &error);
  ASSERT_TRUE(fromSmall) << error;
  EXPECT_EQ(fromSmall->nWidth, 40);
  EXPECT_LT(Pixel(fromSmall.get(), 1, 1)[1], 60);
  thumb.szView = SIZE{100, 100};
  BitmapPtr fromLarge = ReadFile(dir / "camera.dng", thumb, &error);
  ASSERT_TRUE(fromLarge) << error;
  EXPECT_GT(Pixel(fromLarge.get(), 1, 1)[1], 200);
  BitmapPtr shown = ReadFile(dir / "camera.dng", read, &error);
  ASSERT_TRUE(shown) << error;
  EXPECT_EQ(shown->nWidth, w);

  // Thumbnails come from the preview; only a file without one is developed,
  // at half size.
  read.bThumbnail = true;
  read.szView = SIZE{40, 40};
  BitmapPtr thumbnail = ReadFile(dir / "preview.dng", read, &error);
  ASSERT_TRUE(thumbnail) << error;
  EXPECT_GE(thumbnail->nWidth, 40);
  EXPECT_LT(thumbnail->nWidth, w);  // the JPEG decoded at a reduced scale
  EXPECT_GT(Pixel(thumbnail.get(), thumbnail->nWidth - 2, thumbnail->nHeight - 2)[2], 0);
  BitmapPtr developedThumbnail = ReadFile(dir / "plain.dng", read, &error);
  ASSERT_TRUE(developedThumbnail) << error;
  EXPECT_GT(Pixel(developedThumbnail.get(), 2, 2)[1], 200);  // the white corner
}

TEST(FormatWriters, WebpFollowsItsQualityAndLosslessJxlKeepsEveryPixelAndAlpha) {
  const fs::path dir = testsupport::NewTempDir("write");
  const int w = 64, h = 48;
  const std::vector<uint8_t> picture = Picture(w, h);
  BitmapPtr source(CreateBitmap32(w, h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* d = source->pPixels + size_t(y) * source->nStride + size_t(x) * 4;
      const uint8_t* s = &picture[(size_t(y) * w + x) * 3];
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      d[3] = x < 8 ? uint8_t(x * 30) : 255;  // a soft transparent edge
    }
  std::string error;
  ASSERT_TRUE(WriteWebp((dir / "good.webp").string(), *source, 95, &error)) << error;
  ASSERT_TRUE(WriteWebp((dir / "poor.webp").string(), *source, 5, &error)) << error;
  EXPECT_LT(fs::file_size(dir / "poor.webp"), fs::file_size(dir / "good.webp"));
  // The reference decoder reads what we wrote.
  EXPECT_TRUE(
      RunTool("dwebp " + (dir / "good.webp").string() + " -o " + (dir / "good.png").string()));
  tagFORMATREAD read;
  BitmapPtr webp = ReadFile(dir / "good.webp", read, &error);
  ASSERT_TRUE(webp) << error;
  EXPECT_LT(MeanDifference(webp.get(), picture, w, h), 4.0);
  EXPECT_LT(Pixel(webp.get(), 0, 10)[3], 20);
  EXPECT_EQ(Pixel(webp.get(), 30, 10)[3], 255);

  ASSERT_TRUE(WriteJxl((dir / "exact.jxl").string(), *source, true, 75, &error)) << error;
  EXPECT_TRUE(RunTool("djxl " + (dir / "exact.jxl").string() + " " + (dir / "exact.png").string()));
  BitmapPtr jxl = ReadFile(dir / "exact.jxl", read, &error);
  ASSERT_TRUE(jxl) << error;
  ASSERT_EQ(jxl->nWidth, w);
  for (int y = 0; y < h; ++y)
    ASSERT_EQ(std::memcmp(Pixel(jxl.get(), 0, y), Pixel(source.get(), 0, y), size_t(w) * 4), 0)
        << "row " << y;
  ASSERT_TRUE(WriteJxl((dir / "lossy.jxl").string(), *source, false, 80, &error)) << error;
  BitmapPtr lossy = ReadFile(dir / "lossy.jxl", read, &error);
  ASSERT_TRUE(lossy) << error;
  EXPECT_LT(MeanDifference(lossy.get(), picture, w, h), 5.0);
  // A file that cannot be made is refused with the reason, the old one kept.
  EXPECT_FALSE(WriteWebp((dir / "missing" / "x.webp").string(), *source, 90, &error));
  EXPECT_FALSE(error.empty());
}

TEST(FormatReaders, DamagedAndHostileFilesOfEveryLibraryFailWithItsReason) {
  const fs::path dir = testsupport::NewTempDir("bad");
  const int w = 64, h = 48;
  const std::vector<uint8_t> picture = Picture(w, h);
  ASSERT_TRUE(AsImage(picture, w, h).save(QString::fromStdString((dir / "src.png").string())));
  const std::string src = (dir / "src.png").string();
  ASSERT_TRUE(RunTool("cwebp -q 80 " + src + " -o " + (dir / "a.webp").string()));
  ASSERT_TRUE(RunTool("heif-enc -q 80 " + src + " -o " + (dir / "a.heic").string()));
  ASSERT_TRUE(RunTool("cjxl -d 1 " + src + " " + (dir / "a.jxl").string()));
  testsupport::WriteFile(dir / "a.dng",
                         dngwriter::MakeLinearDng(picture, w, h, Jpeg(picture, w, h), w, h));
  const std::pair<const char*, const char*> kinds[] = {
      {"a.webp", "WebP: "}, {"a.heic", "HEIF: "}, {"a.jxl", "JPEG XL: "}, {"a.dng", "RAW: "}};
  for (const auto& [name, prefix] : kinds) {
    const std::string whole = testsupport::ReadFile(dir / name);
    const std::string ext = fs::path(name).extension().string();
    tagFORMATREAD read;
    std::string error;
    ASSERT_TRUE(ReadFile(dir / name, read, &error)) << name << ": " << error;
    // Cut short, cut to its first bytes, and its body replaced by noise.
    std::string noisy = whole;
    for (size_t i = 32; i < noisy.size(); ++i) noisy[i] = char((i * 7919) >> 3);
    const std::string variants[] = {whole.substr(0, whole.size() / 2), whole.substr(0, 20), noisy};
    for (const std::string& variant : variants) {
      const fs::path bad = dir / ("bad" + ext);
      testsupport::WriteFile(bad, variant);
      error.clear();
      BitmapPtr bitmap = ReadFile(bad, read, &error);
      // A truncated RAW may still give its preview; a picture or a reason, never a crash.
      if (bitmap) continue;
      EXPECT_EQ(error.rfind(prefix, 0), 0u) << name << ": " << error;
      EXPECT_GT(error.size(), std::strlen(prefix)) << name;
    }
  }
  tagFORMATREAD read;
  std::string error;
  EXPECT_FALSE(ReadFile(dir / "missing.heic", read, &error));
  EXPECT_NE(error.find("unable to open"), std::string::npos) << error;
}
