// Red-eye removal, the histogram and brightness/contrast on 8-bit pixels.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "lorimomagick/lorimomagickquantum.h"
#include "redeyeratio.h"
#include "testhelpers.h"

using Pixel = CLorimoMagickQuantum::PixelPacket;

namespace {

std::vector<Pixel> RandomPixels(int count, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<Pixel> pixels(static_cast<size_t>(count));
  for (auto& p : pixels) p = Pixel{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
  return pixels;
}

// Red-eye removal written the long way: an accumulator of (rows + 5) x
// (cols + 5) cells that every difference is scattered into.
std::vector<Pixel> ScatterRedEye(std::vector<Pixel> pixels, int cols, int rows) {
  float high = 0, low = 255;
  for (const auto& p : pixels)
    if (p.red || p.green) {
      high = std::max(high, RedGreenRatio(p.red, p.green));
      low = std::min(low, RedGreenRatio(p.red, p.green));
    }
  const float threshold = (low + high) * (high - low < 0.2105f ? 0.5005f : 0.53f);
  std::vector<float> acc(size_t(rows + 5) * (cols + 5), 0.0f);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      const Pixel& p = pixels[size_t(y) * cols + x];
      float red = p.red;
      if ((p.red || p.green) && RedGreenRatio(p.red, p.green) < threshold)
        red = std::floor((p.blue + p.green + 0.5f) * 0.5f);
      const float term = (red - p.green) * 0.04f;
      for (int dy = 0; dy < 5; ++dy)
        for (int dx = 0; dx < 5; ++dx) acc[size_t(y + dy) * (cols + 5) + x + dx] += term;
    }
  for (int y = 4; y <= rows - 4; ++y)
    for (int x = 4; x <= cols - 4; ++x) {
      Pixel& p = pixels[size_t(y) * cols + x];
      const float v = acc[size_t(y + 2) * (cols + 5) + x + 2] + p.green;
      p.red = uint8_t(std::clamp(v, 0.0f, 255.0f));
    }
  return pixels;
}

bool SamePixels(const CLorimoMagickQuantum& image, const std::vector<Pixel>& expected) {
  return std::memcmp(image.GetData(), expected.data(), expected.size() * sizeof(Pixel)) == 0;
}

}  // namespace

struct RatioCase {
  uint8_t red, green;
  float ratio;
};

class RedGreen : public ::testing::TestWithParam<RatioCase> {};

TEST_P(RedGreen, RatioOfSumToLength) {
  EXPECT_FLOAT_EQ(RedGreenRatio(GetParam().red, GetParam().green), GetParam().ratio);
}

INSTANTIATE_TEST_SUITE_P(Pixels, RedGreen,
                         ::testing::Values(RatioCase{255, 0, 1.0f}, RatioCase{0, 40, 1.0f},
                                           RatioCase{100, 100, std::sqrt(2.0f)},
                                           RatioCase{1, 1, std::sqrt(2.0f)},
                                           RatioCase{3, 4, 1.4f}));

struct RegionCase {
  int cols, rows;
};

class RedEyeRegion : public ::testing::TestWithParam<RegionCase> {};

TEST_P(RedEyeRegion, MatchesTheAccumulatorFormulation) {
  const RegionCase c = GetParam();
  auto pixels = RandomPixels(c.cols * c.rows, unsigned(c.cols * 131 + c.rows));
  CLorimoMagickQuantum image(pixels.data(), c.cols, c.rows, false);
  ASSERT_EQ(image.removeRedEye(), 1);
  EXPECT_TRUE(SamePixels(image, ScatterRedEye(pixels, c.cols, c.rows)));
  // Only red inside the margin may change.
  for (int y = 0; y < c.rows; ++y)
    for (int x = 0; x < c.cols; ++x) {
      const Pixel& before = pixels[size_t(y) * c.cols + x];
      const Pixel* after = image[size_t(y) * c.cols + x];
      EXPECT_EQ(after->green, before.green);
      EXPECT_EQ(after->blue, before.blue);
      if (y < 4 || y > c.rows - 4 || x < 4 || x > c.cols - 4) {
        EXPECT_EQ(after->red, before.red);
      }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, RedEyeRegion,
                         ::testing::Values(RegionCase{7, 7}, RegionCase{7, 20}, RegionCase{20, 7},
                                           RegionCase{8, 8}, RegionCase{9, 13}, RegionCase{40, 30},
                                           RegionCase{1500, 4}, RegionCase{1100, 9}));

TEST(RedEye, EightByEightChangesOnlyTheCentrePixel) {
  std::vector<Pixel> pixels(64, Pixel{40, 40, 220, 0});  // red everywhere
  pixels[3] = Pixel{100, 150, 200, 0};                   // a skin tone widens the ratio range
  CLorimoMagickQuantum image(pixels.data(), 8, 8, false);
  ASSERT_EQ(image.removeRedEye(), 1);
  for (int i = 0; i < 64; ++i)
    if (i != 4 * 8 + 4) {
      EXPECT_EQ(image[i]->red, pixels[size_t(i)].red) << i;
    }
  EXPECT_LT(image[4 * 8 + 4]->red, 100);
}

TEST(RedEye, DesaturatesARedPupilAndKeepsTheSkin) {
  const int size = 24;
  std::vector<Pixel> pixels(size * size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const bool pupil = (x - 12) * (x - 12) + (y - 12) * (y - 12) < 25;
      pixels[size_t(y) * size + x] = pupil ? Pixel{45, 35, 210, 0} : Pixel{120, 150, 200, 0};
    }
  CLorimoMagickQuantum image(pixels.data(), size, size, false);
  ASSERT_EQ(image.removeRedEye(), 1);
  EXPECT_LT(image[12 * size + 12]->red, 60);  // pupil centre: red near green and blue
  EXPECT_EQ(image[6 * size + 6]->red, 200);   // skin far from the pupil keeps its red
}

TEST(RedEye, SplitOverThreadsGivesTheSameBits) {
  auto pixels = RandomPixels(700 * 500, 7);
  CLorimoMagickQuantum parallel(pixels.data(), 700, 500, false);
  CLorimoMagickQuantum single(pixels.data(), 700, 500, false);
  {
    lorimotest::CWorkerLimitScope one(1);
    ASSERT_EQ(single.removeRedEye(), 1);
  }
  ASSERT_EQ(parallel.removeRedEye(), 1);
  EXPECT_EQ(std::memcmp(parallel.GetData(), single.GetData(), pixels.size() * sizeof(Pixel)), 0);
}

TEST(RedEye, CancelKeepsTheRowsAlreadyDone) {
  auto pixels = RandomPixels(12 * 12, 3);
  const auto expected = ScatterRedEye(pixels, 12, 12);
  CLorimoMagickQuantum image(pixels.data(), 12, 12, false);
  lorimotest::CMonitorScope monitor([](size_t call) { return call < 5; });
  EXPECT_EQ(image.removeRedEye(), 0);
  EXPECT_EQ(monitor.Calls().back().quantum, 5);
  EXPECT_EQ(monitor.Calls().back().span, 12u);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x)
      EXPECT_EQ(image[y * 12 + x]->red, (y <= 5 ? expected : pixels)[size_t(y) * 12 + x].red)
          << x << "," << y;
}

TEST(Histogram, GreyImageScaleIsCappedAtFourTimesTheAverage) {
  std::vector<Pixel> pixels(256, Pixel{128, 128, 128, 0});
  CLorimoMagickQuantum image(pixels.data(), 16, 16, true);
  uint32_t bins[256] = {};
  EXPECT_EQ(image.histogram(CLorimoMagickQuantum::HISTOGRAM_RED, bins), 4u);
  EXPECT_EQ(bins[128], 256u);
  EXPECT_EQ(std::count(bins, bins + 256, 0u), 255);
}

TEST(Histogram, UnknownChannelCountsEveryPixelAsLevelZero) {
  auto pixels = RandomPixels(40, 11);
  CLorimoMagickQuantum image(pixels.data(), 8, 5, true);
  uint32_t bins[256] = {};
  image.histogram(CLorimoMagickQuantum::HISTOGRAM(7), bins);
  EXPECT_EQ(bins[0], 40u);
}

TEST(Histogram, AddsToTheBinsAndCountsThemInTheScale) {
  std::vector<Pixel> pixels(512);
  for (int i = 0; i < 512; ++i) pixels[size_t(i)] = Pixel{uint8_t(i), uint8_t(i / 2), 0, 0};
  CLorimoMagickQuantum image(pixels.data(), 32, 16, true);
  uint32_t bins[256] = {};
  bins[10] = 100000;
  // Red: all 512 at level 0. Bin 10 adds to the total (cap 4 * 392) but
  // no increment reached it, so the peak is 512.
  EXPECT_EQ(image.histogram(CLorimoMagickQuantum::HISTOGRAM_RED, bins), 512u);
  EXPECT_EQ(bins[0], 512u);
  // Green: every level twice; bin 10 is incremented to 100002 and the
  // scale is capped at 4 * (101024 / 256).
  EXPECT_EQ(image.histogram(CLorimoMagickQuantum::HISTOGRAM_GREEN, bins), 1576u);
  EXPECT_EQ(bins[10], 100002u);
  EXPECT_EQ(image.histogram(CLorimoMagickQuantum::HISTOGRAM_RED, nullptr), 0xFFFFFFFFu);
  CLorimoMagickQuantum empty;
  EXPECT_EQ(empty.histogram(CLorimoMagickQuantum::HISTOGRAM_RED, bins), 0xFFFFFFFFu);
}

TEST(Histogram, LuminosityWeightsTheChannels) {
  EXPECT_FLOAT_EQ(CLorimoMagickQuantum::luminosity(Pixel{0, 0, 100, 0}), 21.2671f);
  EXPECT_FLOAT_EQ(CLorimoMagickQuantum::luminosity(Pixel{100, 0, 0, 0}), 7.2169f);
  EXPECT_EQ(CLorimoMagickQuantum::luminosity(Pixel{255, 255, 255, 0}), 255.0f);
  std::vector<Pixel> pixels = {Pixel{255, 255, 255, 0}, Pixel{0, 0, 100, 0}};
  CLorimoMagickQuantum image(pixels.data(), 2, 1, true);
  uint32_t bins[256] = {};
  image.histogram(CLorimoMagickQuantum::HISTOGRAM_LUMINOSITY, bins);
  EXPECT_EQ(bins[255], 1u);
  EXPECT_EQ(bins[21], 1u);
}

struct WindowCase {
  uint16_t width;
  uint8_t centre;
  uint8_t level;
  uint8_t mapped;
};

class BrightnessContrast : public ::testing::TestWithParam<WindowCase> {};

TEST_P(BrightnessContrast, MapsLevelsThroughTheWindow) {
  const WindowCase c = GetParam();
  Pixel pixel{c.level, c.level, c.level, 77};
  CLorimoMagickQuantum image(&pixel, 1, 1, true);
  ASSERT_EQ(image.brightness_contrast(c.width, c.centre), 1);
  EXPECT_EQ(pixel.red, c.mapped);
  EXPECT_EQ(pixel.green, c.mapped);
  EXPECT_EQ(pixel.blue, c.mapped);
  EXPECT_EQ(pixel.opacity, 77);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, BrightnessContrast,
    ::testing::Values(WindowCase{255, 128, 0, 0}, WindowCase{255, 128, 128, 127},
                      WindowCase{255, 128, 255, 254},  // the 0.01 in the divisor
                      WindowCase{0, 100, 0, 0}, WindowCase{0, 100, 100, 0},
                      WindowCase{0, 100, 101, 255}, WindowCase{0, 100, 255, 255},
                      WindowCase{100, 128, 78, 0}, WindowCase{100, 128, 128, 127},
                      WindowCase{100, 128, 178, 255}, WindowCase{510, 128, 0, 63}));

TEST(BrightnessContrastRun, StopsWhenTheHookSaysSo) {
  std::vector<Pixel> pixels(4 * 3, Pixel{10, 10, 10, 0});
  CLorimoMagickQuantum image(pixels.data(), 4, 3, true);
  static int calls;
  calls = 0;
  const auto previous = CLorimoMagick::SetLorimoMagickMonitor([](unsigned long a, unsigned long b) {
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(b, 0u);
    return ++calls < 1 ? 1 : 0;
  });
  EXPECT_EQ(image.brightness_contrast(0, 0), 0);
  CLorimoMagick::SetLorimoMagickMonitor(previous);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(pixels[3].red, 255);  // row 0 done
  EXPECT_EQ(pixels[4].red, 10);   // row 1 not
  CLorimoMagickQuantum empty;
  EXPECT_EQ(empty.brightness_contrast(255, 128), 0);
}
