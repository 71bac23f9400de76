// Rec. 709 transfer functions, the colour matrices, Lab, and progress of
// the row loops through GraphicsMagick's monitor.
#include <cmath>

#include <gtest/gtest.h>

#include "lorimomagick/lorimomagickfloat.h"
#include "samplefunctions.h"
#include "testhelpers.h"

using lorimotest::At;
using lorimotest::MakePlanes;

namespace {

float ToLinear(float v) {
  CLorimoMagickFloat image(1, 1, 1);
  image.Plane(0)[0] = v;
  image.RGB709NonLinearToRGB709Linear();
  return image.Plane(0)[0];
}

float ToNonlinear(float v) {
  CLorimoMagickFloat image(1, 1, 1);
  image.Plane(0)[0] = v;
  image.RGB709LinearToRGB709Nonlinear();
  return image.Plane(0)[0];
}

}  // namespace

class TransferSymmetry : public ::testing::TestWithParam<float> {};

TEST_P(TransferSymmetry, BothDirectionsAreOdd) {
  const float v = GetParam();
  EXPECT_EQ(ToLinear(-v), -ToLinear(v));
  EXPECT_EQ(ToNonlinear(-v), -ToNonlinear(v));
}

INSTANTIATE_TEST_SUITE_P(Values, TransferSymmetry,
                         ::testing::Values(0.0f, 0.01f, 0.05f, 0.081f, 0.2f, 0.5f, 0.9f, 1.0f,
                                           1.7f));

TEST(TransferFunctions, MatchTheRec709Formulas) {
  EXPECT_NEAR(ToLinear(0.5f), std::pow(0.599 / 1.099, 2.22), 1e-6);
  EXPECT_NEAR(ToLinear(1.0f), 1.0, 1e-6);
  EXPECT_FLOAT_EQ(ToLinear(0.08f), 0.08f * 0.22222222f);
  EXPECT_NEAR(ToNonlinear(0.25f), 1.099 * std::pow(0.25, 0.45) - 0.099, 1e-6);
  EXPECT_NEAR(ToNonlinear(1.0f), 1.0, 1e-6);
}

TEST(TransferFunctions, EveryQuantumLevelAndInBetweenValuesFollowTheFormula) {
  // Levels read from an image take a faster path; it must give the same bits.
  CLorimoMagickFloat image(65536, 2, 1);
  float* samples = image.Plane(0);
  for (int level = 0; level < 65536; ++level) {
    samples[level] = float(level) / 65535.0f;
    samples[65536 + level] = std::nextafter(samples[level], 2.0f);
  }
  const CLorimoMagickFloat input(image);
  image.RGB709NonLinearToRGB709Linear();
  for (int i = 0; i < 2 * 65536; ++i)
    ASSERT_EQ(image.Plane(0)[i], RGB709ToLinearSample(input.Plane(0)[i])) << i;
}

TEST(TransferFunctions, LinearSegmentHasSlopeFourAndAHalf) {
  for (float v : {-0.0179f, -0.01f, 0.001f, 0.0179f}) EXPECT_FLOAT_EQ(ToNonlinear(v), 4.5f * v);
}

TEST(TransferFunctions, RoundTripOfOneHalfGivesAboutPoint5004) {
  // 2.22 x 0.45 is not 1, so the round trip does not come back exactly.
  const float back = ToNonlinear(ToLinear(0.5f));
  EXPECT_NEAR(back, 0.50037f, 2e-5);
  EXPECT_GT(back, 0.5003f);
}

TEST(ColourMatrices, WhiteMapsToTheRowSums) {
  auto image = MakePlanes(1, 1, 3, [](int, int, int) { return 1.0f; });
  ASSERT_EQ(image.RGB709ToXYZ(), 1);
  EXPECT_NEAR(At(image, 0, 0, 0), 0.950456, 1e-6);
  EXPECT_NEAR(At(image, 1, 0, 0), 1.0, 1e-6);
  EXPECT_NEAR(At(image, 2, 0, 0), 1.088754, 1e-6);
}

TEST(ColourMatrices, TwistAppliesMatrixTimesColumn) {
  const float m[3][3] = {{0, 1, 0}, {0.5f, 0, 0.5f}, {1, 1, 1}};
  auto image = MakePlanes(2, 1, 3, [](int p, int, int x) { return float(p + 1 + x); });
  ASSERT_EQ(image.ColorTwist3Channels(m), 1);
  EXPECT_EQ(At(image, 0, 0, 1), 3.0f);  // (2, 3, 4)
  EXPECT_EQ(At(image, 1, 0, 1), 3.0f);
  EXPECT_EQ(At(image, 2, 0, 1), 9.0f);
}

TEST(ColourMatrices, TwistNeedsThreePlanes) {
  const float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  CLorimoMagickFloat two(3, 3, 2);
  EXPECT_EQ(two.ColorTwist3Channels(m), 0);
  EXPECT_EQ(two.XYZToLabD65(), 0);
}

TEST(Lab, BlackIsZero) {
  CLorimoMagickFloat image(1, 1, 3);
  image.XYZToLabD65();
  for (int p = 0; p < 3; ++p) EXPECT_EQ(At(image, p, 0, 0), 0.0f);
}

TEST(Lab, WhiteHasLightness100AndChromaWithoutNormalisation) {
  const float xyz[3] = {0.95047f, 1.0f, 1.08883f};
  auto image = MakePlanes(1, 1, 3, [&](int p, int, int) { return xyz[p]; });
  image.XYZToLabD65();
  EXPECT_FLOAT_EQ(At(image, 0, 0, 0), 100.0f);
  const double a = 500 * (std::pow(0.95047, 0.33333) - 1);
  const double b = 200 * (1 - std::pow(1.08883, 0.33333));
  EXPECT_NEAR(At(image, 1, 0, 0), a, 1e-4);
  EXPECT_NEAR(At(image, 2, 0, 0), b, 1e-4);
  EXPECT_LT(At(image, 1, 0, 0), -8.0f);
  EXPECT_LT(At(image, 2, 0, 0), -5.0f);
}

TEST(Lab, DarkValuesUseTheLinearBranchesWithTheirOwnExponents) {
  const float xyz[3] = {0.005f, 0.004f, 0.5f};
  auto image = MakePlanes(1, 1, 3, [&](int p, int, int) { return xyz[p]; });
  image.XYZToLabD65();
  EXPECT_FLOAT_EQ(At(image, 0, 0, 0), 903.3f * 0.004f);
  EXPECT_NEAR(At(image, 1, 0, 0), 500 * (7.787 * 0.005 - 7.787 * 0.004), 1e-5);
  EXPECT_NEAR(At(image, 2, 0, 0), 200 * (7.787 * 0.004 - std::pow(0.5, 0.33333)), 1e-4);

  // Above the threshold the lightness uses 0.3333, not 0.33333.
  const float y[3] = {0.5f, 0.5f, 0.5f};
  auto mid = MakePlanes(1, 1, 3, [&](int p, int, int) { return y[p]; });
  mid.XYZToLabD65();
  EXPECT_NEAR(At(mid, 0, 0, 0), 116 * std::pow(0.5, 0.3333) - 16, 1e-4);
  EXPECT_GT(std::fabs(At(mid, 0, 0, 0) - (116 * std::pow(0.5, 0.33333) - 16)), 5e-4);
}

TEST(Progress, TwistReportsEveryRowAndStopsWhenAsked) {
  const float m[3][3] = {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}};
  auto image = MakePlanes(4, 5, 3, [](int, int, int) { return 1.0f; });
  {
    lorimotest::CMonitorScope monitor;
    ASSERT_EQ(image.ColorTwist3Channels(m), 1);
    ASSERT_EQ(monitor.Calls().size(), 5u);
    for (int row = 0; row < 5; ++row) {
      EXPECT_EQ(monitor.Calls()[row].quantum, row);
      EXPECT_EQ(monitor.Calls()[row].span, 5u);
    }
  }
  // Stop at the report after row 2: rows 0 to 2 are changed, 3 and 4 not.
  lorimotest::CMonitorScope monitor([](size_t call) { return call < 2; });
  EXPECT_EQ(image.ColorTwist3Channels(m), 0);
  EXPECT_EQ(At(image, 0, 2, 0), 4.0f);
  EXPECT_EQ(At(image, 0, 3, 0), 2.0f);
  EXPECT_EQ(At(image, 2, 4, 3), 2.0f);
}
