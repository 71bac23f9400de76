// AQua2 enlargement: output sizes, where samples fall, flat and planar
// images, the diagonal labelling, and failure and cancellation.
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "aqua2geometry.h"
#include "lorimomagick/lorimomagickfloat.h"
#include "testhelpers.h"

using lorimotest::MakePlanes;

namespace {

// Sample (X, Y, channel k) of the interleaved result.
float Out(const CLorimoMagickFloat& image, int x, int y, int k) {
  return image.Plane(0)[(size_t(y) * image.cols() + x) * 3 + k];
}

// Output pixels that some processed cell (rows and columns 1 to n - 2) writes.
bool Processed(int64_t pixel, int64_t span, int64_t step, int64_t inputSize) {
  for (int64_t cell = 1; cell < inputSize - 1; ++cell) {
    const CAQua2Axis axis = AQua2CellAxis(span, step, cell);
    if (pixel >= axis.nFirstPixel && pixel < axis.nFirstPixel + axis.nSamples) return true;
  }
  return false;
}

std::string gMessage, gCaption;
void RecordMessage(const char* text, const char* caption) {
  gMessage = text;
  gCaption = caption;
}

}  // namespace

struct AxisCase {
  int64_t span, step, index;
  int64_t firstPixel, firstOffset, samples;
};

class CellAxis : public ::testing::TestWithParam<AxisCase> {};

TEST_P(CellAxis, PlacesTheFirstSampleOnTheOutputGrid) {
  const AxisCase c = GetParam();
  const CAQua2Axis axis = AQua2CellAxis(c.span, c.step, c.index);
  EXPECT_EQ(axis.nFirstPixel, c.firstPixel);
  EXPECT_EQ(axis.nFirstOffset, c.firstOffset);
  EXPECT_EQ(axis.nSamples, c.samples);
}

INSTANTIATE_TEST_SUITE_P(
    Factors, CellAxis,
    ::testing::Values(AxisCase{150, 100, 1, 2, 50, 1},   // 150 %: starts at 2, offset 50
                      AxisCase{150, 100, 2, 3, 0, 2},    // then at 3 with offset 0 and 100
                      AxisCase{200, 100, 8, 16, 0, 2},   // 200 %: two samples per cell
                      AxisCase{100, 100, 5, 5, 0, 1},    // 100 %: one, at the cell's edge
                      AxisCase{250, 100, 3, 8, 50, 2},   // 750 -> 800 and 900
                      AxisCase{80, 100, 3, 3, 60, 1},    // shrinking: 240 -> 300
                      AxisCase{30, 100, 1, 1, 70, 0}));  // a cell without samples

struct SizeCase {
  uint32_t cols, rows;
  int a, b, c, d;
  uint32_t outCols, outRows;
};

class AQua2Size : public ::testing::TestWithParam<SizeCase> {};

TEST_P(AQua2Size, OutputIsTheFlooredProduct) {
  const SizeCase s = GetParam();
  auto image = MakePlanes(s.cols, s.rows, 3, [](int p, int y, int x) {
    return 0.3f + 0.1f * std::sin(float(p + y * 3 + x));
  });
  ASSERT_EQ(image.IAQua2All(s.a, s.b, s.c, s.d, 1), 1);
  EXPECT_EQ(image.cols(), s.outCols);
  EXPECT_EQ(image.rows(), s.outRows);
  EXPECT_TRUE(image.HasData());
  Magick::Image out = image.Pixels2Magick(false);
  EXPECT_EQ(out.columns(), s.outCols);
  EXPECT_EQ(out.rows(), s.outRows);
}

INSTANTIATE_TEST_SUITE_P(Factors, AQua2Size,
                         ::testing::Values(SizeCase{10, 10, 200, 100, 200, 100, 20, 20},
                                           SizeCase{10, 10, 150, 100, 150, 100, 15, 15},
                                           SizeCase{7, 5, 250, 100, 100, 100, 17, 5},
                                           SizeCase{9, 4, 133, 100, 301, 100, 11, 12},
                                           SizeCase{2, 1, 300, 100, 300, 100, 6, 3},
                                           SizeCase{12, 8, 80, 100, 130, 100, 9, 10}));

TEST(AQua2, CellsOnTheImageBorderAreLeftBlack) {
  auto image = MakePlanes(10, 10, 3, [](int p, int, int) { return 0.25f + 0.25f * p; });
  ASSERT_EQ(image.IAQua2All(200, 100, 200, 100, 1), 1);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool border = x < 2 || x > 17 || y < 2 || y > 17;
      for (int k = 0; k < 3; ++k) {
        if (border)
          EXPECT_EQ(Out(image, x, y, k), 0.0f) << x << "," << y;
        else
          EXPECT_NEAR(Out(image, x, y, k), 0.25f + 0.25f * k, 1e-6) << x << "," << y;
      }
    }
}

struct FactorCase {
  int a, b, c, d;
};

class AQua2Factors : public ::testing::TestWithParam<FactorCase> {};

TEST_P(AQua2Factors, UniformImageStaysUniformWhereverCellsWrite) {
  const FactorCase f = GetParam();
  const float colour[3] = {0.2f, 0.55f, 0.9f};
  auto image = MakePlanes(11, 9, 3, [&](int p, int, int) { return colour[p]; });
  ASSERT_EQ(image.IAQua2All(f.a, f.b, f.c, f.d, 1), 1);
  for (uint32_t y = 0; y < image.rows(); ++y)
    for (uint32_t x = 0; x < image.cols(); ++x) {
      const bool written = Processed(x, f.a, f.b, 11) && Processed(y, f.c, f.d, 9);
      for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(Out(image, x, y, k), written ? colour[k] : 0.0f, 1e-6) << x << "," << y;
    }
}

TEST_P(AQua2Factors, PlanarImageIsReproducedAtEverySamplePosition) {
  // Every plane through points of a linear function is that function, so
  // each sample shows the input position it was taken at.
  const FactorCase f = GetParam();
  auto value = [](int k, double y, double x) { return 0.05 + 0.03 * x * (k + 1) + 0.02 * y; };
  auto image = MakePlanes(11, 9, 3, [&](int p, int y, int x) { return float(value(p, y, x)); });
  ASSERT_EQ(image.IAQua2All(f.a, f.b, f.c, f.d, 1), 1);
  for (uint32_t y = 0; y < image.rows(); ++y)
    for (uint32_t x = 0; x < image.cols(); ++x) {
      if (!Processed(x, f.a, f.b, 11) || !Processed(y, f.c, f.d, 9)) continue;
      const double inX = double(x) * f.b / f.a, inY = double(y) * f.d / f.c;
      for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(Out(image, x, y, k), value(k, inY, inX), 2e-5) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Percent, AQua2Factors,
    ::testing::Values(FactorCase{200, 100, 200, 100}, FactorCase{150, 100, 150, 100},
                      FactorCase{100, 100, 200, 100}, FactorCase{250, 100, 130, 100},
                      FactorCase{333, 100, 101, 100}, FactorCase{70, 100, 60, 100}));

TEST(AQua2, CellCentresFollowDiagonalStructures) {
  // Stripes along one diagonal: the labelling picks that diagonal, so the
  // centre sample of each cell (u = a/2, v = c/2 at 200 %) is the stripe's
  // value rather than the mean across stripes.
  for (bool antiDiagonal : {true, false}) {
    auto stripe = [&](int y, int x) {
      return float((antiDiagonal ? (y + x) : (y - x + 30)) % 3 == 0);
    };
    auto image = MakePlanes(16, 16, 3, [&](int, int y, int x) { return stripe(y, x); });
    ASSERT_EQ(image.IAQua2All(200, 100, 200, 100, 1), 1);
    for (int i = 2; i < 12; ++i)
      for (int j = 2; j < 12; ++j) {
        const float expected = antiDiagonal ? stripe(i + 1, j) : stripe(i, j);
        EXPECT_NEAR(Out(image, 2 * j + 1, 2 * i + 1, 0), expected, 1e-5)
            << (antiDiagonal ? "anti " : "main ") << i << "," << j;
      }
  }
}

TEST(AQua2, SplitOverThreadsGivesTheSameBits) {
  auto make = [] {
    return MakePlanes(300, 200, 3, [](int p, int y, int x) {
      return float(0.5 + 0.5 * std::sin(x * 0.21 + p) * std::cos(y * 0.13 - p));
    });
  };
  auto single = make();
  {
    lorimotest::CWorkerLimitScope one(1);
    ASSERT_EQ(single.IAQua2All(250, 100, 170, 100, 1), 1);
  }
  auto parallel = make();
  ASSERT_EQ(parallel.IAQua2All(250, 100, 170, 100, 1), 1);
  ASSERT_EQ(parallel.cols(), single.cols());
  EXPECT_EQ(std::memcmp(parallel.Plane(0), single.Plane(0),
                        size_t(single.cols()) * single.rows() * 3 * sizeof(float)),
            0);
}

TEST(AQua2, SectorTableGivesTheSameBitsAsClassifyingEachSample) {
  auto make = [] {
    return MakePlanes(40, 30, 3, [](int p, int y, int x) {
      return float(0.5 + 0.5 * std::sin(x * 0.9 + p) * std::cos(y * 0.7 - p));
    });
  };
  for (const FactorCase f : {FactorCase{200, 100, 200, 100}, FactorCase{733, 100, 367, 100}}) {
    auto tabled = make();
    ASSERT_EQ(tabled.IAQua2All(f.a, f.b, f.c, f.d, 1), 1);
    auto classified = make();
    const int64_t previous = SetAQua2SectorTableLimit(0);
    ASSERT_EQ(classified.IAQua2All(f.a, f.b, f.c, f.d, 1), 1);
    SetAQua2SectorTableLimit(previous);
    EXPECT_EQ(std::memcmp(tabled.Plane(0), classified.Plane(0),
                          size_t(tabled.cols()) * tabled.rows() * 3 * sizeof(float)),
              0);
  }
}

TEST(AQua2, ReportsFourteenLabellingStepsThenRows) {
  auto image = MakePlanes(6, 5, 3, [](int p, int y, int x) { return 0.1f * (p + y + x); });
  lorimotest::CMonitorScope monitor;
  ASSERT_EQ(image.IAQua2All(200, 100, 200, 100, 1), 1);
  const auto& calls = monitor.Calls();
  ASSERT_GE(calls.size(), 14u);
  for (int step = 0; step < 14; ++step) {
    EXPECT_EQ(calls[step].quantum, step + 1);
    EXPECT_EQ(calls[step].span, 14u);
  }
  // Centres after rows 0 to 3, then zoom before rows 1 to 3.
  ASSERT_EQ(calls.size(), 14u + 4u + 3u);
  EXPECT_EQ(calls[14].span, 5u);
  EXPECT_EQ(calls[18].quantum, 1);
  EXPECT_EQ(calls[20].quantum, 3);
}

TEST(AQua2, CancelLeavesTheImageAsItWas) {
  for (size_t stopAt : {size_t(0), size_t(9), size_t(16), size_t(19)}) {
    auto image = MakePlanes(6, 5, 3, [](int p, int y, int x) { return 0.1f * (p + y + x); });
    const auto before = image;
    lorimotest::CMonitorScope monitor([&](size_t call) { return call < stopAt; });
    EXPECT_EQ(image.IAQua2All(200, 100, 200, 100, 1), 0) << stopAt;
    ASSERT_EQ(image.cols(), 6u);
    ASSERT_EQ(image.rows(), 5u);
    EXPECT_EQ(std::memcmp(image.Plane(0), before.Plane(0), 6 * 5 * 3 * sizeof(float)), 0);
  }
}

TEST(AQua2, OutputTooLargeForMemoryFailsWithItsMessage) {
  const auto previous = CLorimoMagick::SetLorimoMagickMessageHandler(RecordMessage);
  // Beyond 32-bit dimensions, beyond 64-bit byte counts, beyond memory.
  for (int factor : {2000000000, 400000000, 1000000}) {
    gMessage.clear();
    auto image = MakePlanes(10, 10, 3, [](int, int, int) { return 0.5f; });
    EXPECT_EQ(image.IAQua2All(factor, 1, factor, 1, 1), 0) << factor;
    EXPECT_FALSE(image.HasData());
    EXPECT_FALSE(image.Pixels2Magick(false).isValid());
    EXPECT_EQ(gCaption, "Memory Allocation Error!");
    EXPECT_EQ(gMessage.rfind(
                  "Lorimo could not allocate memory for the resized image.\nPlease contact ", 0),
              0u);
    EXPECT_NE(gMessage.find(" or try a smaller resize percentage."), std::string::npos);
  }
  CLorimoMagick::SetLorimoMagickMessageHandler(previous);
}

TEST(AQua2, RejectsFactorsAndImagesItCannotEnlarge) {
  auto image = MakePlanes(4, 4, 3, [](int, int, int) { return 0.5f; });
  EXPECT_EQ(image.IAQua2All(0, 100, 200, 100, 1), 0);
  EXPECT_EQ(image.IAQua2All(200, 0, 200, 100, 1), 0);
  EXPECT_EQ(image.IAQua2All(200, 100, -5, 100, 1), 0);
  EXPECT_EQ(image.IAQua2All(1, 100, 200, 100, 1), 0);  // nothing left to show
  EXPECT_EQ(image.cols(), 4u);
  CLorimoMagickFloat grey(4, 4, 1);
  EXPECT_EQ(grey.IAQua2All(200, 100, 200, 100, 1), 0);
  EXPECT_EQ(grey.cols(), 4u);
}
