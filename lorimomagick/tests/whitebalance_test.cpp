// White balance: the black-body white against published Planckian-locus
// chromaticities, and the adaptation matrix seen through its effect.
#include <cmath>

#include <gtest/gtest.h>

#include "blackbody.h"
#include "lorimomagick/lorimomagickfloat.h"
#include "testhelpers.h"

using lorimotest::At;
using lorimotest::MakePlanes;

namespace {

using Options = CLorimoMagickFloat::WHITE_BALANCE_OPTIONS;

Options Temperature(float kelvin, bool linear = false) {
  return Options{2, 0, kelvin, 0, 0, 0, 0, 0, linear};
}

Options WhitePoint(float r, float g, float b, bool linear = false) {
  return Options{1, 0, 0, 0, 0, r, g, b, linear};
}

// The diagonal of the RGB matrix, read from three pure-channel pixels of
// level v (small enough that no result is clipped).
struct Diagonal {
  double r, g, b;
};

Diagonal DiagonalOf(const Options& options, float v) {
  auto image = MakePlanes(3, 1, 3, [&](int p, int, int x) { return p == x ? v : 0.0f; });
  EXPECT_EQ(image.WhiteBalance(options), 1);
  return {At(image, 0, 0, 0) / v, At(image, 1, 0, 1) / v, At(image, 2, 0, 2) / v};
}

}  // namespace

TEST(ColourMatching, EachFunctionSumsToTheEqualEnergyWhite) {
  double sums[3] = {};
  for (const auto& row : kCIE1931ColourMatching)
    for (int k = 0; k < 3; ++k) sums[k] += row[k];
  for (double sum : sums) EXPECT_NEAR(sum, 21.371, 0.01);
  EXPECT_EQ(
      kCIE1931ColourMatching[80][0] + kCIE1931ColourMatching[80][1] + kCIE1931ColourMatching[80][2],
      0.0);
  EXPECT_EQ(kCIE1931ColourMatching[35][1], 1.0);  // 555 nm peak of y-bar
}

struct LocusCase {
  double kelvin;
  double x, y;
};

class PlanckianLocus : public ::testing::TestWithParam<LocusCase> {};

TEST_P(PlanckianLocus, MatchesPublishedChromaticity) {
  float x, y, z;
  BlackBodyChromaticity(GetParam().kelvin, &x, &y, &z);
  EXPECT_NEAR(x, GetParam().x, 0.0005);
  EXPECT_NEAR(y, GetParam().y, 0.0005);
  EXPECT_NEAR(x + y + z, 1.0, 1e-6);
}

// CIE illuminant A is a 2856 K black body; the others are tabulated
// Planckian-locus points.
INSTANTIATE_TEST_SUITE_P(
    Published, PlanckianLocus,
    ::testing::Values(LocusCase{2856, 0.44757, 0.40745}, LocusCase{3000, 0.4369, 0.4041},
                      LocusCase{4000, 0.3805, 0.3768}, LocusCase{5000, 0.3451, 0.3516},
                      LocusCase{6500, 0.3135, 0.3236}, LocusCase{10000, 0.2807, 0.2884}));

struct DiagonalCase {
  float kelvin;
  double r, g, b, tolerance;
};

class TemperatureDiagonal : public ::testing::TestWithParam<DiagonalCase> {};

TEST_P(TemperatureDiagonal, LowersRedAndRaisesBlueForWarmLight) {
  const DiagonalCase c = GetParam();
  const Diagonal d = DiagonalOf(Temperature(c.kelvin), 0.02f);
  EXPECT_NEAR(d.r, c.r, c.tolerance);
  EXPECT_NEAR(d.g, c.g, c.tolerance);
  EXPECT_NEAR(d.b, c.b, c.tolerance * 4);
}

INSTANTIATE_TEST_SUITE_P(Kelvin, TemperatureDiagonal,
                         ::testing::Values(DiagonalCase{3000, 0.79, 1.15, 2.80, 0.02},
                                           DiagonalCase{6500, 1.0, 1.0, 1.0, 0.03},
                                           DiagonalCase{10000, 1.05, 0.97, 0.73, 0.02}));

TEST(WhiteBalance, FifteenHundredKelvinRaisesBlueAboutTwentyfold) {
  const Diagonal d = DiagonalOf(Temperature(1500), 0.02f);
  EXPECT_NEAR(d.b, 20.0, 1.5);
}

TEST(WhiteBalance, NeutralGreyWhitePointLeavesTheImageNearlyUnchanged) {
  // The stored D65 z (0.3585) against the matrix white (1.088754) keeps the
  // diagonal just off 1.
  const Diagonal d = DiagonalOf(WhitePoint(0.4f, 0.4f, 0.4f), 0.25f);
  EXPECT_NEAR(d.r, 0.99985, 5e-5);
  EXPECT_NEAR(d.g, 1.0001, 5e-5);
  EXPECT_NEAR(d.b, 1.00085, 5e-5);

  for (bool linear : {false, true}) {
    auto image =
        MakePlanes(4, 4, 3, [](int p, int y, int x) { return 0.1f + 0.05f * (p + y + x); });
    const auto before = image;
    ASSERT_EQ(image.WhiteBalance(WhitePoint(0.7f, 0.7f, 0.7f, linear)), 1);
    for (int p = 0; p < 3; ++p)
      for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(image.Plane(p)[i], before.Plane(p)[i], 2e-3) << linear;
  }
}

TEST(WhiteBalance, BlackWhitePointGivesABlackImage) {
  auto image = MakePlanes(3, 3, 3, [](int p, int y, int x) { return 0.2f * p + 0.1f * (x + y); });
  ASSERT_EQ(image.WhiteBalance(WhitePoint(0, 0, 0)), 1);
  for (int p = 0; p < 3; ++p)
    for (int i = 0; i < 9; ++i) EXPECT_EQ(image.Plane(p)[i], 0.0f);
}

TEST(WhiteBalance, SampledPixelBecomesNeutralAtItsLuminance) {
  auto image = MakePlanes(3, 2, 3, [](int p, int y, int x) {
    const float cast[3] = {0.8f, 0.6f, 0.4f};
    return y == 1 && x == 2 ? cast[p] : 0.3f;
  });
  const double luminance = 0.212671 * 0.8 + 0.715160 * 0.6 + 0.072169 * 0.4;
  ASSERT_EQ(image.WhiteBalance(Options{0, 0, 0, 2, 1, 0, 0, 0, false}), 1);
  for (int p = 0; p < 3; ++p) EXPECT_NEAR(At(image, p, 1, 2), luminance, 2e-3);
}

TEST(WhiteBalance, ResultsAreClippedToTheUnitRange) {
  // At 3000 K blue gains almost threefold, green feeds red negatively.
  auto image = MakePlanes(2, 1, 3, [](int p, int, int x) { return x == 0 ? 0.9f : (p == 1); });
  ASSERT_EQ(image.WhiteBalance(Temperature(3000)), 1);
  EXPECT_EQ(At(image, 2, 0, 0), 1.0f);
  EXPECT_EQ(At(image, 0, 0, 1), 0.0f);
  EXPECT_EQ(At(image, 1, 0, 1), 1.0f);
  EXPECT_GT(At(image, 2, 0, 1), 0.1f);
}

TEST(WhiteBalance, UnusableSourceWhitesChangeNothing) {
  auto image = MakePlanes(3, 3, 3, [](int p, int, int) { return 0.1f * (p + 1); });
  const auto before = image;
  EXPECT_EQ(image.WhiteBalance(Options{0, 0, 0, 3, 0, 0, 0, 0, false}), 0);
  EXPECT_EQ(image.WhiteBalance(Options{0, 0, 0, 0, -1, 0, 0, 0, false}), 0);
  EXPECT_EQ(image.WhiteBalance(Temperature(0)), 0);
  EXPECT_EQ(image.WhiteBalance(Temperature(-100)), 0);
  EXPECT_EQ(image.WhiteBalance(Temperature(NAN)), 0);
  EXPECT_EQ(image.WhiteBalance(Options{7, 0, 0, 0, 0, 0, 0, 0, false}), 0);
  for (int p = 0; p < 3; ++p)
    for (int i = 0; i < 9; ++i) EXPECT_EQ(image.Plane(p)[i], before.Plane(p)[i]);
}

TEST(WhiteBalance, CancelledRunSaysSoAndLeavesNoPlaneInLinearLight) {
  auto image = MakePlanes(3, 4, 3, [](int, int, int) { return 0.5f; });
  lorimotest::CMonitorScope monitor([](size_t call) { return call < 1; });
  EXPECT_EQ(image.WhiteBalance(WhitePoint(0.5f, 0.5f, 0.5f, true)), 0);
  // Rows after the cancel went to linear light and back: 0.5 comes back
  // as about 0.5004, not as the linear 0.26.
  EXPECT_NEAR(At(image, 0, 3, 0), 0.5004f, 2e-4);
}
