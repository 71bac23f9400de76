// The sliding-histogram median against the library's own median filter:
// same window, same channels, same edges, on photo-like images and the
// photos beside the project when they are there.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "lorimomagick/lorimomagickmedian.h"
#include "testhelpers.h"

namespace {

// A photo stand-in: smooth gradients with 16-bit noise, and a matte when asked.
Magick::Image PhotoLike(unsigned cols, unsigned rows, bool matte) {
  Magick::Image image(Magick::Geometry(cols, rows), Magick::Color(0, 0, 0));
  image.modifyImage();
  image.type(Magick::TrueColorType);
  if (matte) image.matte(true);
  Magick::PixelPacket* p = image.setPixels(0, 0, cols, rows);
  uint32_t seed = 12345;
  auto rnd = [&] { return (seed = seed * 1664525u + 1013904223u) >> 16; };
  for (unsigned y = 0; y < rows; ++y)
    for (unsigned x = 0; x < cols; ++x, ++p) {
      p->red = Magick::Quantum((x * 65535 / cols + rnd() % 4000) % 65536);
      p->green = Magick::Quantum((y * 65535 / rows + rnd() % 9000) % 65536);
      p->blue = Magick::Quantum(rnd());
      p->opacity = matte ? Magick::Quantum(rnd() % 3 ? 0 : rnd()) : 0;
    }
  image.syncPixels();
  return image;
}

size_t DifferentSamples(const Magick::Image& a, const Magick::Image& b) {
  EXPECT_EQ(a.columns(), b.columns());
  EXPECT_EQ(a.rows(), b.rows());
  const Magick::PixelPacket* pa = a.getConstPixels(0, 0, a.columns(), a.rows());
  const Magick::PixelPacket* pb = b.getConstPixels(0, 0, b.columns(), b.rows());
  size_t count = 0;
  for (size_t i = 0; i < a.columns() * a.rows(); ++i)
    count += (pa[i].red != pb[i].red) + (pa[i].green != pb[i].green) + (pa[i].blue != pb[i].blue) +
             (pa[i].opacity != pb[i].opacity);
  return count;
}

void ExpectSameAsLibrary(const Magick::Image& original, double radius) {
  Magick::Image ours(original);
  Magick::Image theirs(original);
  ASSERT_EQ(LorimoMedianFilter(ours, radius), 1);
  theirs.medianFilter(radius);
  EXPECT_EQ(DifferentSamples(ours, theirs), 0u) << "radius " << radius;
}

}  // namespace

TEST(MedianFilter, MatchesTheLibraryForEveryRadiusOnOddShapes) {
  // Just as wide or as tall as the largest window: the edges dominate.
  for (const auto& [cols, rows] : {std::pair{37u, 23u}, {21u, 40u}, {60u, 21u}}) {
    const Magick::Image image = PhotoLike(cols, rows, false);
    for (double radius : {0.1, 0.5, 1.0, 1.5, 2.0, 3.0, 4.2, 7.0, 10.0})
      ExpectSameAsLibrary(image, radius);
  }
}

// The library refuses images smaller than the window; ours repeats their
// edges like any other.
TEST(MedianFilter, FiltersImagesSmallerThanTheWindow) {
  Magick::Image pixel = PhotoLike(1, 1, false);
  const Magick::Image before(pixel);
  ASSERT_EQ(LorimoMedianFilter(pixel, 3), 1);
  EXPECT_EQ(DifferentSamples(pixel, before), 0u);
  // One row of a ramp: the median of a clamped window is its middle sample.
  Magick::Image row =
      lorimotest::MakeImage(9, 1, [](int x, int) { return uint32_t(x * 0x101010); });
  ASSERT_EQ(LorimoMedianFilter(row, 1), 1);
  const Magick::PixelPacket* p = row.getConstPixels(0, 0, 9, 1);
  for (int x = 0; x < 9; ++x) EXPECT_EQ(p[x].red, 257 * 0x10 * x) << x;
}

TEST(MedianFilter, RanksTheMatteToo) {
  const Magick::Image image = PhotoLike(41, 29, true);
  for (double radius : {1.0, 2.5}) ExpectSameAsLibrary(image, radius);
}

TEST(MedianFilter, MatchesTheLibraryOnARealPhoto) {
  const std::filesystem::path photo = "/work/shared/photos/orientation/Landscape_1.jpg";
  if (!std::filesystem::exists(photo)) GTEST_SKIP() << "no photo folder";
  Magick::Image image(photo.string());
  image.sample(Magick::Geometry(160, 110));
  for (double radius : {0.1, 2.0, 5.5, 10.0}) ExpectSameAsLibrary(image, radius);
}

TEST(MedianFilter, CancelLeavesTheImageUnchanged) {
  Magick::Image image = PhotoLike(64, 64, false);
  const Magick::Image before(image);
  lorimotest::CMonitorScope stop([](size_t call) { return call < 10; });
  EXPECT_EQ(LorimoMedianFilter(image, 2), 0);
  EXPECT_EQ(DifferentSamples(image, before), 0u);
}
