// The 8-bit container: layout, regions, sharing, and the way back to an image.
#include <cstring>

#include <gtest/gtest.h>

#include "lorimomagick/lorimomagickquantum.h"
#include "testhelpers.h"

using lorimotest::MakeImage;
using Pixel = CLorimoMagickQuantum::PixelPacket;

namespace {

uint32_t Colour(int x, int y) { return uint32_t((x * 20) << 16 | (y * 30) << 8 | (x + y)); }

}  // namespace

TEST(QuantumContainer, PixelsAreBlueGreenRedOpacityBytes) {
  static_assert(sizeof(Pixel) == 4);
  Magick::Image image = MakeImage(4, 3, Colour);
  CLorimoMagickQuantum pixels(image, false);
  ASSERT_TRUE(pixels.HasData());
  EXPECT_EQ(pixels.cols(), 4u);
  EXPECT_EQ(pixels.rows(), 3u);
  const auto* bytes = static_cast<const uint8_t*>(pixels.GetData());
  const size_t i = 2 * 4 + 3;       // x 3, y 2
  EXPECT_EQ(bytes[4 * i + 0], 5);   // blue
  EXPECT_EQ(bytes[4 * i + 1], 60);  // green
  EXPECT_EQ(bytes[4 * i + 2], 60);  // red
  EXPECT_EQ(bytes[4 * i + 3], 0);   // opaque
  EXPECT_EQ(pixels[i]->red, 60);
  EXPECT_EQ(pixels[12], nullptr);
}

TEST(QuantumContainer, RegionGivesItsOwnSizeAndOffset) {
  Magick::Image image = MakeImage(10, 8, Colour);
  Magick::Geometry region(3, 2, 5, 4);
  CLorimoMagickQuantum pixels(image, false, &region);
  EXPECT_EQ(pixels.cols(), 3u);
  EXPECT_EQ(pixels.rows(), 2u);
  ASSERT_NE(pixels.Region(), nullptr);
  EXPECT_NE(pixels.Region(), &region);
  EXPECT_EQ(pixels.Region()->xOff(), 5u);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const Pixel* p = pixels[y * 3 + x];
      EXPECT_EQ(p->red, ((Colour(x + 5, y + 4) >> 16) & 0xFF));
      EXPECT_EQ(p->green, ((Colour(x + 5, y + 4) >> 8) & 0xFF));
    }
}

TEST(QuantumContainer, NoPixelsMeansNoDataAndAllOnesCounts) {
  Magick::Image image = MakeImage(4, 4, Colour);
  Magick::Geometry empty(0, 3, 1, 1);
  CLorimoMagickQuantum pixels(image, false, &empty);
  EXPECT_FALSE(pixels.HasData());
  EXPECT_EQ(pixels.cols(), 0xFFFFFFFFu);
  EXPECT_EQ(pixels.rows(), 0xFFFFFFFFu);
  EXPECT_EQ(pixels.GetData(), nullptr);
  EXPECT_FALSE(pixels.Pixels2Magick().isValid());

  Magick::Image nothing;
  CLorimoMagickQuantum fromNothing(nothing, true);
  EXPECT_FALSE(fromNothing.HasData());
  EXPECT_EQ(fromNothing.cols(), 0xFFFFFFFFu);
}

TEST(QuantumContainer, ConvertsBackToATrueColourImageWithTheName) {
  Magick::Image image = MakeImage(5, 4, Colour);
  image.magick("PNG");
  CLorimoMagickQuantum pixels(image, false);
  Magick::Image back = pixels.Pixels2Magick();
  ASSERT_EQ(back.columns(), 5u);
  ASSERT_EQ(back.rows(), 4u);
  EXPECT_EQ(back.magick(), "PNG");
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(back.pixelColor(x, y).redQuantum(), image.pixelColor(x, y).redQuantum());
      EXPECT_EQ(back.pixelColor(x, y).blueQuantum(), image.pixelColor(x, y).blueQuantum());
    }
}

TEST(QuantumContainer, SharedContainerNeverWritesIntoTheImage) {
  Magick::Image image = MakeImage(6, 5, Colour);
  const Magick::Color before = image.pixelColor(4, 3);
  CLorimoMagickQuantum shared(image, true);
  EXPECT_TRUE(shared.IsShared());
  uint32_t bins[256] = {};
  EXPECT_NE(shared.histogram(CLorimoMagickQuantum::HISTOGRAM_RED, bins), 0xFFFFFFFFu);
  ASSERT_EQ(shared.brightness_contrast(0, 10), 1);
  EXPECT_EQ(shared[3 * 6 + 4]->red, 255);                               // the container changed ...
  EXPECT_EQ(image.pixelColor(4, 3).redQuantum(), before.redQuantum());  // ... the image did not
}

TEST(QuantumContainer, SharedAndCopiedContainersSeeTheSameLevels) {
  // 16-bit values that are not multiples of 257 exercise the scaling.
  Magick::Image image(Magick::Geometry(64, 32), Magick::Color(0, 0, 0));
  image.modifyImage();
  Magick::PixelPacket* q = image.setPixels(0, 0, 64, 32);
  for (int i = 0; i < 64 * 32; ++i) {
    q[i].red = Magick::Quantum(i * 31 % 65536);
    q[i].green = Magick::Quantum(i * 977 % 65536);
    q[i].blue = Magick::Quantum(65535 - i * 13);
  }
  image.syncPixels();
  CLorimoMagickQuantum shared(image, true);
  CLorimoMagickQuantum copied(image, false);
  for (int channel = 0; channel < 5; ++channel) {
    uint32_t a[256] = {}, b[256] = {};
    const auto c = CLorimoMagickQuantum::HISTOGRAM(channel);
    EXPECT_EQ(shared.histogram(c, a), copied.histogram(c, b));
    EXPECT_EQ(std::memcmp(a, b, sizeof(a)), 0) << channel;
  }
  EXPECT_EQ(std::memcmp(shared.GetData(), copied.GetData(), 64 * 32 * 4), 0);
}

TEST(QuantumContainer, RawPixelsAreSharedOrCopied) {
  Pixel raw[6] = {};
  for (int i = 0; i < 6; ++i) raw[i] = Pixel{uint8_t(i), uint8_t(10 + i), uint8_t(20 + i), 0};
  CLorimoMagickQuantum copied(raw, 3, 2, false);
  CLorimoMagickQuantum shared(raw, 3, 2, true);
  EXPECT_EQ(shared.GetData(), raw);
  EXPECT_NE(copied.GetData(), raw);
  ASSERT_EQ(shared.brightness_contrast(0, 0), 1);
  EXPECT_EQ(raw[5].red, 255);         // shared: the caller's pixels changed
  EXPECT_EQ(copied[5]->red, 25);      // copied: untouched
  CLorimoMagickQuantum copy(shared);  // always owned
  EXPECT_NE(copy.GetData(), raw);
  EXPECT_FALSE(copy.IsShared());
  EXPECT_EQ(copy[4]->red, 255);
}
