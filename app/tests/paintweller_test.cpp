// Drawing the geometry record: the visible part at the zoom and scroll
// position, centred when smaller, the background around it, the two
// scaling modes, and the bitmaps for other parts.
#include "viewer/paintweller.h"

#include <QPainter>
#include <string>

#include <gtest/gtest.h>
#include <lcms2.h>

#include "codecs/imagelibrary.h"
#include "codecs/imagereader.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "testsupport/adobergb.h"
#include "testsupport/testsupport.h"

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kUntouched = qRgb(255, 0, 255);

// An image whose pixel (x, y) has red x and green y, so that every drawn
// pixel tells where it came from.
Magick::Image Ramp(int width, int height) {
  InitializeImageLibrary();
  std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
      p[0] = uint8_t(x);
      p[1] = uint8_t(y);
      p[2] = 7;
    }
  return Magick::Image(size_t(width), size_t(height), "RGB", Magick::CharPixel, rgb.data());
}

struct CCanvas {
  tagIMAGEDATA data;
  QImage dib;
  QImage target;

  CCanvas(const Magick::Image& image, float zoom, QSize client, QPoint scroll = {}) {
    data.image = image;
    data.fZoom = zoom;
    data.nImageWidth = int(image.columns());
    data.nImageHeight = int(image.rows());
    data.nClientWidth = client.width();
    data.nClientHeight = client.height();
    data.nScrollX = scroll.x();
    data.nScrollY = scroll.y();
    dib = CPaintweller::Object2QImage(image);
    target = QImage(client, QImage::Format_RGB32);
    target.fill(kUntouched);
  }
  int Paint(int mode = PM_NEAREST, QRect area = QRect()) {
    QPainter painter(&target);
    tagPAINTDATA paint;
    paint.pDC = &painter;
    paint.rcPaint = area;
    paint.pDib = &dib;
    return CPaintweller::DisplayDib2(paint, data, mode);
  }
  // The image pixel a screen pixel shows, from the ramp's colours.
  QPoint Source(int x, int y) const {
    const QRgb pixel = target.pixel(x, y);
    return QPoint(qRed(pixel), qGreen(pixel));
  }
};

TEST(Paintweller, SmallerImageIsCentredOnABlackBackground) {
  CCanvas canvas(Ramp(4, 2), 10.0f, QSize(100, 60));
  ASSERT_EQ(canvas.Paint(), 1);
  EXPECT_EQ(CPaintweller::ImageRect(canvas.data), QRect(30, 20, 40, 20));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(canvas.Source(35 + 10 * x, 25 + 10 * y), QPoint(x, y));
  for (const QPoint pt : {QPoint(0, 0), QPoint(29, 30), QPoint(70, 30), QPoint(50, 19),
                          QPoint(50, 40), QPoint(99, 59)})
    EXPECT_EQ(canvas.target.pixel(pt), kBlack) << pt.x() << "," << pt.y();
}

struct ViewCase {
  const char* name;
  QSize image;
  float fZoom;
  QSize client;
  QPoint scroll;
};

class VisiblePart : public ::testing::TestWithParam<ViewCase> {};

// Every screen pixel inside the image shows the image pixel under it:
// ((x - left) / zoom, (y - top) / zoom).
TEST_P(VisiblePart, ShowsTheImagePixelUnderEachScreenPixel) {
  const ViewCase& c = GetParam();
  CCanvas canvas(Ramp(c.image.width(), c.image.height()), c.fZoom, c.client, c.scroll);
  ASSERT_EQ(canvas.Paint(), 1);
  const QRect drawn = CPaintweller::ImageRect(canvas.data);
  for (int y = 1; y < c.client.height(); y += 7)
    for (int x = 1; x < c.client.width(); x += 7) {
      if (!drawn.contains(x, y)) {
        EXPECT_EQ(canvas.target.pixel(x, y), kBlack);
        continue;
      }
      const double sx = (x + 0.5 - drawn.left()) / c.fZoom;
      const double sy = (y + 0.5 - drawn.top()) / c.fZoom;
      const QPoint source = canvas.Source(x, y);
      EXPECT_NEAR(source.x(), sx, 1.0) << x << "," << y;
      EXPECT_NEAR(source.y(), sy, 1.0) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paintweller, VisiblePart,
    ::testing::Values(ViewCase{"ScrolledAtTwo", {200, 200}, 2.0f, {80, 60}, {50, 70}},
                      ViewCase{"ScrolledAtOneAndAHalf", {200, 150}, 1.5f, {90, 90}, {101, 33}},
                      ViewCase{"Shrunk", {240, 180}, 0.25f, {100, 100}, {0, 0}},
                      ViewCase{"WideOnly", {250, 20}, 1.0f, {100, 100}, {120, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Paintweller, PaintsOnlyTheAskedArea) {
  CCanvas canvas(Ramp(50, 50), 1.0f, QSize(100, 100));
  canvas.Paint(PM_NEAREST, QRect(0, 0, 40, 100));
  EXPECT_EQ(canvas.target.pixel(10, 50), kBlack);
  EXPECT_EQ(canvas.Source(30, 30), QPoint(5, 5));
  EXPECT_EQ(canvas.target.pixel(45, 50), kUntouched);
  EXPECT_EQ(canvas.target.pixel(90, 90), kUntouched);
}

TEST(Paintweller, NearestKeepsEdgesSmoothBlends) {
  InitializeImageLibrary();
  Magick::Image pair(Magick::Geometry(2, 1), Magick::Color("red"));
  pair.pixelColor(1, 0, Magick::Color("blue"));
  for (int mode : {PM_NEAREST, PM_SMOOTH}) {
    CCanvas canvas(pair, 20.0f, QSize(40, 20));
    canvas.Paint(mode);
    EXPECT_EQ(canvas.target.pixel(2, 10), kRed);
    EXPECT_EQ(canvas.target.pixel(37, 10), kBlue);
    const QRgb middle = canvas.target.pixel(19, 10);
    if (mode == PM_NEAREST)
      EXPECT_EQ(middle, kRed);
    else
      EXPECT_TRUE(qRed(middle) > 0 && qBlue(middle) > 0) << std::hex << middle;
  }
}

TEST(Paintweller, NothingToDrawIsAllBackground) {
  CCanvas canvas(Ramp(4, 4), 0.0f, QSize(20, 20));
  EXPECT_EQ(canvas.Paint(), 0);
  EXPECT_EQ(canvas.target.pixel(10, 10), kBlack);
  CCanvas none(Magick::Image(), 1.0f, QSize(20, 20));
  EXPECT_EQ(none.Paint(), 0);
  EXPECT_EQ(none.target.pixel(0, 19), kBlack);
}

TEST(Paintweller, BitmapsForOtherParts) {
  const Magick::Image ramp = Ramp(120, 60);
  HBITMAP dib = CPaintweller::Object2DIB(ramp);
  ASSERT_NE(dib, nullptr);
  EXPECT_EQ(dib->nWidth, 120);
  EXPECT_EQ(dib->nHeight, 60);
  // B, G, R, A of pixel (9, 4): blue 7, green 4, red 9, opaque.
  const uint8_t* p = dib->pPixels + 4 * dib->nStride + 9 * 4;
  EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{7, 4, 9, 255}));
  DeleteBitmap32(dib);

  const SIZE fit{30, 30};
  HBITMAP ddb = CPaintweller::Object2DDB(ramp, &fit);
  ASSERT_NE(ddb, nullptr);
  EXPECT_EQ(ddb->nWidth, 30);
  EXPECT_EQ(ddb->nHeight, 15);
  DeleteBitmap32(ddb);
  const SIZE large{1000, 1000};  // never enlarged
  ddb = CPaintweller::Object2DDB(ramp, &large);
  ASSERT_NE(ddb, nullptr);
  EXPECT_EQ(ddb->nWidth, 120);
  DeleteBitmap32(ddb);
  EXPECT_EQ(CPaintweller::Object2DIB(Magick::Image()), nullptr);
}

}  // namespace

// One picture saved as sRGB and as Adobe RGB with its profile, read back
// from the files, is shown alike.
TEST(Paintweller, EmbeddedColourProfilesAreShownInSrgb) {
  InitializeImageLibrary();
  const uint8_t patches[][3] = {
      {230, 20, 20}, {20, 200, 40}, {30, 40, 220}, {128, 128, 128}, {250, 160, 30}};
  const int count = int(std::size(patches)), side = 8;
  std::vector<uint8_t> srgb(size_t(count * side * side) * 3);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < count * side; ++x)
      std::copy_n(patches[x / side], 3, &srgb[(size_t(y) * size_t(count * side) + size_t(x)) * 3]);
  const std::string adobe = testsupport::AdobeRgbProfile();
  cmsHPROFILE from = cmsCreate_sRGBProfile();
  cmsHPROFILE to = cmsOpenProfileFromMem(adobe.data(), cmsUInt32Number(adobe.size()));
  cmsHTRANSFORM transform =
      cmsCreateTransform(from, TYPE_RGB_8, to, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
  std::vector<uint8_t> converted(srgb.size());
  cmsDoTransform(transform, srgb.data(), converted.data(), cmsUInt32Number(srgb.size() / 3));
  cmsDeleteTransform(transform);
  cmsCloseProfile(from);
  cmsCloseProfile(to);

  const auto dir = testsupport::NewTempDir();
  Magick::Image plain(size_t(count * side), size_t(side), "RGB", Magick::CharPixel, srgb.data());
  plain.write((dir / "srgb.png").string());
  Magick::Image tagged(size_t(count * side), size_t(side), "RGB", Magick::CharPixel,
                       converted.data());
  tagged.iccColorProfile(Magick::Blob(adobe.data(), adobe.size()));
  tagged.write((dir / "adobe.png").string());

  auto shown = [&](const char* name) {
    Magick::Image image;
    std::string error;
    EXPECT_EQ(DecodeImageFile(CStrAW::FromPath(dir / name), &image, &error), 1) << error;
    return CPaintweller::Object2QImage(image);
  };
  const QImage reference = shown("srgb.png");
  const QImage adobeShown = shown("adobe.png");
  for (int i = 0; i < count; ++i) {
    const QPoint centre(i * side + side / 2, side / 2);
    const QColor want = reference.pixelColor(centre), got = adobeShown.pixelColor(centre);
    EXPECT_LE(std::abs(want.red() - got.red()), 3) << i;
    EXPECT_LE(std::abs(want.green() - got.green()), 3) << i;
    EXPECT_LE(std::abs(want.blue() - got.blue()), 3) << i;
  }
  // Without the conversion the saturated red would be visibly off.
  EXPECT_GT(std::abs(int(converted[0]) - int(srgb[0])) + std::abs(int(converted[1]) - int(srgb[1])),
            10);

  // Bitmaps handed to plug-ins and the image service are converted alike,
  // and nothing is when the option is off.
  Magick::Image adobeImage;
  ASSERT_EQ(DecodeImageFile(CStrAW::FromPath(dir / "adobe.png"), &adobeImage), 1);
  HBITMAP bitmap = CPaintweller::Object2DDB(adobeImage, nullptr);
  ASSERT_NE(bitmap, nullptr);
  const uint8_t* first = bitmap->pPixels;  // B, G, R of the red patch
  EXPECT_LE(std::abs(int(first[2]) - reference.pixelColor(0, 0).red()), 3);
  EXPECT_LE(std::abs(int(first[1]) - reference.pixelColor(0, 0).green()), 3);
  DeleteBitmap32(bitmap);
  gVO[VO_COLOUR_PROFILES].bFlag = 0;
  EXPECT_EQ(CPaintweller::Object2QImage(adobeImage).pixelColor(0, 0).red(), int(converted[0]));
  gVO[VO_COLOUR_PROFILES].bFlag = 1;
}
