#include "viewer/imageio.h"

#include <filesystem>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "codecs/jpegscaled.h"
#include "corekit/loadslot.h"
#include "corekit/straw.h"
#include "pixwork/formats.h"
#include "pixwork/options.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

// A picture with structure (four coloured quadrants) so that a wrong
// channel order or a shifted row shows.
Magick::Image Quadrants(size_t width = 64, size_t height = 48) {
  InitializeImageLibrary();
  Magick::Image image(Magick::Geometry(width, height), Magick::Color("red"));
  image.fillColor(Magick::Color("blue"));
  image.draw(Magick::DrawableRectangle(double(width) / 2, 0, double(width), double(height) / 2));
  image.fillColor(Magick::Color("lime"));
  image.draw(Magick::DrawableRectangle(0, double(height) / 2, double(width) / 2, double(height)));
  image.fillColor(Magick::Color("white"));
  image.draw(Magick::DrawableRectangle(double(width) / 2, double(height) / 2, double(width),
                                       double(height)));
  return image;
}

MyString PathIn(const fs::path& folder, const std::string& name) {
  return CStrAW::FromPath(folder / name);
}

void WriteWithMagick(Magick::Image image, const fs::path& path) { image.write(path.string()); }

struct CMessages {
  std::vector<std::pair<MyString, MyString>> shown;  // text, caption
};

class ImageIo : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeImageLibrary();
    ResetOptionRecords();
    gVO[VO_DIALOG_ERRORS].bFlag = 0;  // show errors, so that they reach the sink
    SetImageMessageSink([this](HWND, const MyString& text, const MyString& caption) {
      m_messages.shown.emplace_back(text, caption);
    });
    m_dir = testsupport::NewTempDir();
  }
  void TearDown() override { SetImageMessageSink(nullptr); }

  CMessages m_messages;
  fs::path m_dir;
};

// Mean difference per channel, 0..255.
double MeanDifference(Magick::Image a, Magick::Image b) {
  const size_t w = a.columns(), h = a.rows();
  std::vector<uint8_t> pa(w * h * 3), pb(w * h * 3);
  a.write(0, 0, w, h, "RGB", Magick::CharPixel, pa.data());
  b.write(0, 0, w, h, "RGB", Magick::CharPixel, pb.data());
  double sum = 0;
  for (size_t i = 0; i < pa.size(); ++i) sum += std::abs(int(pa[i]) - int(pb[i]));
  return sum / double(pa.size());
}

struct RoundTrip {
  const char* extension;
  double tolerance;  // mean difference allowed (lossy formats, grey formats)
  bool grey;
};

class ImageIoRoundTrip : public ImageIo, public ::testing::WithParamInterface<RoundTrip> {};

// Every writable format saves and loads back as the same picture.
TEST_P(ImageIoRoundTrip, SaveThenLoadGivesThePictureBack) {
  const RoundTrip& c = GetParam();
  Magick::Image original = Quadrants();
  const MyString path = PathIn(m_dir, std::string("round.") + c.extension);
  ASSERT_TRUE(SaveImage(nullptr, path, original)) << c.extension;
  Magick::Image loaded;
  ASSERT_EQ(LoadImage(nullptr, path, &loaded, 0), 1)
      << c.extension << ": " << GetLastLoadError().ToUtf8();
  ASSERT_EQ(loaded.columns(), original.columns());
  ASSERT_EQ(loaded.rows(), original.rows());
  if (c.grey) original.type(Magick::GrayscaleType);
  EXPECT_LE(MeanDifference(original, loaded), c.tolerance) << c.extension;
  EXPECT_TRUE(m_messages.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(WritableFormats, ImageIoRoundTrip,
                         ::testing::Values(RoundTrip{"bmp", 0, false}, RoundTrip{"jpg", 3, false},
                                           RoundTrip{"JPEG", 3, false}, RoundTrip{"png", 0, false},
                                           RoundTrip{"pgm", 0.5, true}, RoundTrip{"pnm", 0, false},
                                           RoundTrip{"ppm", 0, false}, RoundTrip{"tif", 0, false},
                                           RoundTrip{"jp2", 0, false}, RoundTrip{"gif", 0.5, false},
                                           RoundTrip{"hdf", 0, false}),
                         [](const ::testing::TestParamInfo<RoundTrip>& info) {
                           return std::string(info.param.extension);
                         });

TEST_F(ImageIo, J2cCodeStreamAndLossyJp2Load) {
  // A bare code stream, as J2C files hold, written by OpenJPEG's JP2 path
  // and cut out of its box: the "jp2c" box content starts at FF 4F.
  Magick::Image original = Quadrants();
  original.defineValue("jp2", "quality", "60");
  const MyString jp2 = PathIn(m_dir, "lossy.jp2");
  ASSERT_TRUE(SaveImage(nullptr, jp2, original));
  const std::string bytes = testsupport::ReadFile(CStrAW::ToPath(jp2));
  const size_t start = bytes.find("\xFF\x4F\xFF\x51");
  ASSERT_NE(start, std::string::npos);
  testsupport::WriteFile(m_dir / "stream.j2c", bytes.substr(start));
  for (const char* name : {"lossy.jp2", "stream.j2c"}) {
    Magick::Image loaded;
    ASSERT_EQ(LoadImage(nullptr, PathIn(m_dir, name), &loaded, 0), 1) << name;
    EXPECT_LE(MeanDifference(Quadrants(), loaded), 8) << name;
  }
}

// Our writer makes 24-bit rasters; 8-bit ones with a palette come from
// other programs (a fixture made with the HDF4 library's DFR8 interface).
TEST_F(ImageIo, EightBitHdfRasterTakesItsPalette) {
  Magick::Image image;
  ASSERT_EQ(
      LoadImage(nullptr, CStrAW::FromPath(testsupport::SourcePath("app/tests/data/palette8.hdf")),
                &image, 0),
      1)
      << GetLastLoadError().ToUtf8();
  ASSERT_EQ(image.columns(), 4u);
  ASSERT_EQ(image.rows(), 2u);
  for (int i = 0; i < 8; ++i) {
    const Magick::Color pixel = image.pixelColor(i % 4, i / 4);
    EXPECT_EQ(pixel.redQuantum() / 257, i * 30) << i;
    EXPECT_EQ(pixel.greenQuantum() / 257, 255 - i * 30) << i;
    EXPECT_EQ(pixel.blueQuantum() / 257, i * 10) << i;
  }
}

TEST_F(ImageIo, NonAsciiPathsLoadAndSave) {
  const MyString path = PathIn(m_dir, "été 写真 ñ.png");
  ASSERT_TRUE(SaveImage(nullptr, path, Quadrants()));
  EXPECT_TRUE(fs::exists(CStrAW::ToPath(path)));
  Magick::Image loaded;
  ASSERT_EQ(LoadImage(nullptr, path, &loaded, 0), 1);
  EXPECT_EQ(loaded.columns(), 64u);
}

TEST_F(ImageIo, FailedSaveLeavesTheOldFileWhole) {
  const MyString path = PathIn(m_dir, "keep.jp2");
  ASSERT_TRUE(SaveImage(nullptr, path, Quadrants()));
  const std::string before = testsupport::ReadFile(CStrAW::ToPath(path));
  // An empty image cannot be encoded: the old file must survive untouched.
  EXPECT_FALSE(SaveImage(nullptr, path, Magick::Image()));
  EXPECT_EQ(testsupport::ReadFile(CStrAW::ToPath(path)), before);
  ASSERT_EQ(m_messages.shown.size(), 1u);
  EXPECT_EQ(m_messages.shown[0].second, MyString(u"Lorimo: SaveImage() function"));
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

TEST_F(ImageIo, SaveErrorsAreQuietWithDoNotShowErrors) {
  gVO[VO_DIALOG_ERRORS].bFlag = 1;
  EXPECT_FALSE(SaveImage(nullptr, PathIn(m_dir, "x.png"), Magick::Image()));
  EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(ImageIo, FileWithoutExtensionNeedsTheOptionAndUsesItsFormat) {
  const fs::path file = m_dir / "noextension";
  WriteWithMagick(Quadrants(), m_dir / "tmp.png");
  fs::rename(m_dir / "tmp.png", file);
  Magick::Image image;
  EXPECT_EQ(LoadImage(nullptr, CStrAW::FromPath(file), &image, 0), 0);  // option off

  const std::vector<MyString> formats = GetSupportedExtensions();
  const auto png = std::find(formats.begin(), formats.end(), MyString(u"PNG"));
  ASSERT_NE(png, formats.end());
  gVSO[VSO_OPEN_FILE_OUT_EXT].bFlag = 1;
  gVSO[VSO_OPEN_FILE_OUT_EXT].bExtra = kNoDefaultExtension;
  EXPECT_EQ(LoadImage(nullptr, CStrAW::FromPath(file), &image, 0), 0);  // no format chosen
  gVSO[VSO_OPEN_FILE_OUT_EXT].bExtra = uint8_t(png - formats.begin());
  ASSERT_EQ(LoadImage(nullptr, CStrAW::FromPath(file), &image, 0), 1);
  EXPECT_EQ(image.columns(), 64u);
  SIZE size;
  ASSERT_EQ(ReadImageHeader(CStrAW::FromPath(file), &size), 1);
  EXPECT_EQ(size.cx, 64);
  // Forced to another format, the PNG bytes do not decode.
  const auto bmp = std::find(formats.begin(), formats.end(), MyString(u"BMP"));
  gVSO[VSO_OPEN_FILE_OUT_EXT].bExtra = uint8_t(bmp - formats.begin());
  EXPECT_EQ(LoadImage(nullptr, CStrAW::FromPath(file), &image, 0), 0);
}

TEST_F(ImageIo, GifUnderAnotherExtensionIsReadAsGif) {
  std::vector<Magick::Image> frames{Quadrants(), Quadrants()};
  frames[1].negate();
  Magick::writeImages(frames.begin(), frames.end(), (m_dir / "anim.gif").string());
  fs::rename(m_dir / "anim.gif", m_dir / "anim.png");
  EXPECT_EQ(SniffImageFile(PathIn(m_dir, "anim.png")), IK_GIF);
  Magick::Image image;
  ASSERT_EQ(LoadImage(nullptr, PathIn(m_dir, "anim.png"), &image, 0), 1);
  // The first frame only, for a caller that is not the viewer.
  EXPECT_LE(MeanDifference(Quadrants(), image), 1.0);
}

TEST_F(ImageIo, MultiPageTiffShowsItsFirstPage) {
  std::vector<Magick::Image> pages{Quadrants(), Quadrants(32, 32)};
  pages[1].negate();
  Magick::writeImages(pages.begin(), pages.end(), (m_dir / "pages.tif").string());
  Magick::Image image;
  ASSERT_EQ(LoadImage(nullptr, PathIn(m_dir, "pages.tif"), &image, 0), 1);
  EXPECT_EQ(image.columns(), 64u);
  EXPECT_LE(MeanDifference(Quadrants(), image), 0.0);
}

TEST_F(ImageIo, WarningOnlyFileLoadsAndIsNotReported) {
  // A JPEG whose last bytes are missing: the decoder warns and pads.
  Magick::Image original = Quadrants(256, 256);
  original.quality(90);
  WriteWithMagick(original, m_dir / "whole.jpg");
  const std::string bytes = testsupport::ReadFile(m_dir / "whole.jpg");
  testsupport::WriteFile(m_dir / "cut.jpg", bytes.substr(0, bytes.size() * 3 / 4));
  Magick::Image image;
  ASSERT_EQ(LoadImage(nullptr, PathIn(m_dir, "cut.jpg"), &image, 1), 1);
  EXPECT_EQ(image.columns(), 256u);
  EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(ImageIo, ErrorIsReportedOnlyWhenAskedWithItsTexts) {
  testsupport::WriteFile(m_dir / "broken.png", "not a png at all");
  const MyString path = PathIn(m_dir, "broken.png");
  Magick::Image image;
  EXPECT_EQ(LoadImage(nullptr, path, &image, 0), 0);
  EXPECT_TRUE(m_messages.shown.empty());
  EXPECT_FALSE(GetLastLoadError().IsEmpty());
  EXPECT_EQ(LoadImage(nullptr, path, &image, 1), 0);
  ASSERT_EQ(m_messages.shown.size(), 1u);
  const MyString& text = m_messages.shown[0].first;
  const MyString prefix = u"Decoder error loading " + path + u" !\n";
  EXPECT_EQ(text.Mid(0, prefix.GetLength()), prefix);
  EXPECT_EQ(text.Mid(prefix.GetLength()), GetLastLoadError());
  EXPECT_EQ(m_messages.shown[0].second, MyString(u"Lorimo: LoadImage() function"));
  // "Do not show errors" keeps the box away.
  gVO[VO_DIALOG_ERRORS].bFlag = 1;
  EXPECT_EQ(LoadImage(nullptr, path, &image, 1), 0);
  EXPECT_EQ(m_messages.shown.size(), 1u);
}

TEST_F(ImageIo, MissingFilesAndFoldersFail) {
  Magick::Image image;
  EXPECT_EQ(LoadImage(nullptr, MyString(), &image, 1), 0);
  EXPECT_EQ(LoadImage(nullptr, PathIn(m_dir, "absent.png"), &image, 1), 0);
  EXPECT_EQ(LoadImage(nullptr, CStrAW::FromPath(m_dir), &image, 1), 0);
  EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(ImageIo, StopEventEndsTheWaitForTheSlot) {
  const MyString path = PathIn(m_dir, "a.png");
  ASSERT_TRUE(SaveImage(nullptr, path, Quadrants()));
  GetStopEvent().Set();
  Magick::Image image;
  EXPECT_EQ(LoadImage(nullptr, path, &image, 0), 0);
  GetStopEvent().Reset();
  EXPECT_EQ(LoadImage(nullptr, path, &image, 0), 1);
}

// A file that claims billions of pixels fails with a message instead of
// taking the memory or the disk.
TEST_F(ImageIo, DecompressionBombFailsWithAMessage) {
  // A valid PNG header for 100000 x 100000 pixels with a tiny IDAT.
  Magick::Image small(Magick::Geometry(1, 1), Magick::Color("black"));
  WriteWithMagick(small, m_dir / "one.png");
  std::string bytes = testsupport::ReadFile(m_dir / "one.png");
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = char(v >> (24 - 8 * i));
  };
  put32(16, 100000);
  put32(20, 100000);
  // The header's CRC no longer matches; GraphicsMagick's PNG reader is told
  // to look at it anyway by recomputing it.
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 12; i < 29; ++i) {
    crc ^= uint8_t(bytes[i]);
    for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  put32(29, ~crc);
  testsupport::WriteFile(m_dir / "bomb.png", bytes);
  Magick::Image image;
  EXPECT_EQ(LoadImage(nullptr, PathIn(m_dir, "bomb.png"), &image, 1), 0);
  ASSERT_EQ(m_messages.shown.size(), 1u);
  EXPECT_FALSE(GetLastLoadError().IsEmpty());
}

// A progressive JPEG whose scans repeat far past any real encoder's: the
// scan limit stops it.
TEST_F(ImageIo, JpegWithEndlessScansFails) {
  Magick::Image original = Quadrants(32, 32);
  original.interlaceType(Magick::LineInterlace);
  WriteWithMagick(original, m_dir / "progressive.jpg");
  std::string bytes = testsupport::ReadFile(m_dir / "progressive.jpg");
  // Copy the last scan (from its SOS marker to EOI) many times.
  const size_t lastScan = bytes.rfind("\xFF\xDA");
  const size_t end = bytes.rfind("\xFF\xD9");
  ASSERT_NE(lastScan, std::string::npos);
  const std::string scan = bytes.substr(lastScan, end - lastScan);
  std::string hostile = bytes.substr(0, end);
  // Past GraphicsMagick's limit and past libjpeg-turbo's own (500).
  for (int i = 0; i < 6 * kJpegMaxScans; ++i) hostile += scan;
  hostile += "\xFF\xD9";
  testsupport::WriteFile(m_dir / "scans.jpg", hostile);
  Magick::Image image;
  EXPECT_EQ(LoadImage(nullptr, PathIn(m_dir, "scans.jpg"), &image, 0), 0);
  EXPECT_NE(GetLastLoadError().ToLower().ToUtf8().find("scan"), std::string::npos)
      << GetLastLoadError().ToUtf8();
  // With a size hint the fast path refuses it too, and the general one fails.
  const SIZE hint{8, 8};
  EXPECT_EQ(LoadImage(nullptr, PathIn(m_dir, "scans.jpg"), &image, 0, &hint), 0);
}

struct ScaleCase {
  int width, height, hintW, hintH, num, denom;
};

class JpegScaleChoice : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(JpegScaleChoice, SmallestFastScaleNearTheFittedSize) {
  const ScaleCase& c = GetParam();
  const CJpegScale scale = ChooseJpegScale(c.width, c.height, SIZE{c.hintW, c.hintH});
  EXPECT_EQ(scale.nNum * c.denom, c.num * scale.nDenom)
      << scale.nNum << "/" << scale.nDenom << " for " << c.width << "x" << c.height;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, JpegScaleChoice,
    ::testing::Values(
        // Fitted: 1620 x 1080; 1/4 gives 1500 x 1000, 7 % less.
        ScaleCase{6000, 4000, 1920, 1080, 1, 4},
        // Fitted: 2000 x 1333; 1/4 would be a quarter less.
        ScaleCase{6000, 4000, 2000, 2000, 1, 2}, ScaleCase{6000, 4000, 1500, 1000, 1, 4},
        ScaleCase{6000, 4000, 100, 100, 1, 8}, ScaleCase{640, 480, 1920, 1080, 1, 1},
        ScaleCase{640, 480, 600, 400, 1, 1}, ScaleCase{4000, 6000, 1000, 1000, 1, 4},
        ScaleCase{1000, 1000, 999, 999, 1, 1}));

TEST_F(ImageIo, SizeHintDecodesAJpegSmaller) {
  WriteWithMagick(Quadrants(800, 600), m_dir / "large.jpg");
  const SIZE hint{200, 150};
  Magick::Image image;
  ASSERT_EQ(LoadImage(nullptr, PathIn(m_dir, "large.jpg"), &image, 0, &hint), 1);
  EXPECT_EQ(image.columns(), 200u);
  EXPECT_EQ(image.rows(), 150u);
  EXPECT_LE(MeanDifference(Quadrants(200, 150), image), 6.0);
  // Other formats ignore the hint.
  WriteWithMagick(Quadrants(800, 600), m_dir / "large.png");
  ASSERT_EQ(LoadImage(nullptr, PathIn(m_dir, "large.png"), &image, 0, &hint), 1);
  EXPECT_EQ(image.columns(), 800u);
}

TEST_F(ImageIo, HeaderReadsOfEveryKind) {
  for (const char* name : {"h.png", "h.jpg", "h.jp2", "h.hdf", "h.gif", "h.tif"}) {
    ASSERT_TRUE(SaveImage(nullptr, PathIn(m_dir, name), Quadrants(40, 30))) << name;
    SIZE size;
    ASSERT_EQ(ReadImageHeader(PathIn(m_dir, name), &size), 1) << name;
    EXPECT_EQ(size.cx, 40) << name;
    EXPECT_EQ(size.cy, 30) << name;
  }
  SIZE size;
  EXPECT_EQ(ReadImageHeader(PathIn(m_dir, "absent.png"), &size), 0);
}

TEST(TransparencyColor, LeavesTheEightBitGrid) {
  InitializeImageLibrary();
  for (const char* name : {"white", "black", "#336699"}) {
    const Magick::Color color = TransparencyColor(Magick::Color(name));
    for (Magick::Quantum q : {color.redQuantum(), color.greenQuantum(), color.blueQuantum()})
      EXPECT_NE(q % 257, 0) << name;
    EXPECT_NEAR(color.redQuantum(), Magick::Color(name).redQuantum(), 1);
  }
}

}  // namespace
