// The planar float container: buffers, plane selection, per-plane
// operations, convolution and the way to and from GraphicsMagick.
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "lorimomagick/lorimomagickfloat.h"
#include "testhelpers.h"

using lorimotest::At;
using lorimotest::MakeImage;
using lorimotest::MakePlanes;

namespace {

float Distinct(int p, int y, int x) { return float(p * 100 + y * 10 + x); }

}  // namespace

TEST(FloatContainer, SizedConstructorIsZeroFilledWithAllPlanesSelected) {
  CLorimoMagickFloat image(7, 5, 4);
  ASSERT_TRUE(image.HasData());
  EXPECT_EQ(image.FirstSelectedPlane(), 0);
  EXPECT_EQ(image.SelectionEnd(), 4);
  for (int p = 0; p < 4; ++p)
    for (int i = 0; i < 35; ++i) ASSERT_EQ(image.Plane(p)[i], 0.0f);
  EXPECT_EQ(image.Plane(4), nullptr);
}

struct SelectCase {
  unsigned short planes;
  unsigned short channel;
  unsigned short selected;
};

class PlaneSelection : public ::testing::TestWithParam<SelectCase> {};

TEST_P(PlaneSelection, SelectsOnePlaneClampedToTheLast) {
  CLorimoMagickFloat image(2, 2, GetParam().planes);
  CLorimoMagickFloat& same = image[GetParam().channel];
  EXPECT_EQ(&same, &image);
  EXPECT_EQ(image.FirstSelectedPlane(), GetParam().selected);
  EXPECT_EQ(image.SelectionEnd(), GetParam().selected + 1);
}

INSTANTIATE_TEST_SUITE_P(Channels, PlaneSelection,
                         ::testing::Values(SelectCase{3, 0, 0}, SelectCase{3, 2, 2},
                                           SelectCase{3, 3, 2}, SelectCase{3, 65535, 2},
                                           SelectCase{1, 5, 0}));

TEST(FloatContainer, PerPlaneOperationsTouchOnlyTheSelectedPlane) {
  auto image = MakePlanes(3, 2, 3, [](int p, int, int) { return p == 1 ? -2.0f : -3.0f; });
  image[1].Abs();
  EXPECT_EQ(At(image, 0, 1, 2), -3.0f);
  EXPECT_EQ(At(image, 1, 1, 2), 2.0f);
  EXPECT_EQ(At(image, 2, 1, 2), -3.0f);
}

TEST(FloatContainer, AssignmentOfOtherSizeTakesTheSelectedPlanesOnly) {
  auto source = MakePlanes(4, 3, 3, Distinct);
  source[1];
  CLorimoMagickFloat target(9, 9, 3);
  target = source;
  EXPECT_EQ(target.cols(), 4u);
  EXPECT_EQ(target.rows(), 3u);
  EXPECT_EQ(target.planes(), 1);
  EXPECT_EQ(target.SelectionEnd(), 1);
  EXPECT_EQ(At(target, 0, 2, 3), Distinct(1, 2, 3));
}

TEST(FloatContainer, AssignmentFillsTheTargetSelectionFromTheSourceSelection) {
  auto source = MakePlanes(2, 2, 3, Distinct);
  auto target = MakePlanes(2, 2, 3, [](int, int, int) { return -1.0f; });
  target[2];
  target = source;  // same size, enough planes: only plane 2 changes
  EXPECT_EQ(At(target, 0, 1, 1), -1.0f);
  EXPECT_EQ(At(target, 1, 1, 1), -1.0f);
  EXPECT_EQ(At(target, 2, 1, 1), Distinct(0, 1, 1));
}

TEST(FloatContainer, AssignmentNeverReadsPastTheSourcePlanes) {
  // The target selects three planes, the source has one from its first
  // selected plane: the other two target planes keep their values.
  auto source = MakePlanes(3, 3, 3, Distinct);
  source[2];
  auto target = MakePlanes(3, 3, 3, [](int, int, int) { return -1.0f; });
  target = source;
  EXPECT_EQ(At(target, 0, 1, 1), Distinct(2, 1, 1));
  EXPECT_EQ(At(target, 1, 1, 1), -1.0f);
  EXPECT_EQ(At(target, 2, 1, 1), -1.0f);
}

TEST(FloatContainer, Resize2GivesZeroedPlanesOfTheNewSize) {
  auto image = MakePlanes(4, 4, 3, Distinct);
  image.Resize2(4, 4);  // same size: nothing happens
  EXPECT_EQ(At(image, 2, 3, 3), Distinct(2, 3, 3));
  image.Resize2(6, 5);
  EXPECT_EQ(image.cols(), 6u);
  EXPECT_EQ(image.rows(), 5u);
  EXPECT_EQ(image.planes(), 3);
  for (int p = 0; p < 3; ++p)
    for (int i = 0; i < 30; ++i) ASSERT_EQ(image.Plane(p)[i], 0.0f);
}

TEST(FloatContainer, AllocateMemoryCopiesNoMoreThanTheNewBufferHolds) {
  auto image = MakePlanes(2, 2, 2, Distinct);
  float* whole = image.AllocateMemory(nullptr, image.Plane(0), 0);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(std::memcmp(whole, image.Plane(0), 8 * sizeof(float)), 0);
  image.FreeMemory(whole);

  CLorimoMagickFloat::FLOATMATRIX three{3, 1, 1};
  float* part = image.AllocateMemory(&three, image.Plane(0), 1000);
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(part[2], Distinct(0, 1, 0));
  image.FreeMemory(part);

  float* first = image.AllocateMemory(&three, image.Plane(0), sizeof(float));
  EXPECT_EQ(first[0], Distinct(0, 0, 0));
  EXPECT_EQ(first[1], 0.0f);
  image.FreeMemory(first);
}

TEST(FloatContainer, AnObjectWithoutDataIgnoresEveryOperation) {
  auto image = MakePlanes(4, 4, 3, Distinct);
  image.FreeMemory(nullptr);
  ASSERT_FALSE(image.HasData());
  const float kernel[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  image.Abs();
  image.Clip01();
  image.RGB709NonLinearToRGB709Linear();
  EXPECT_EQ(image.Convolution2D(kernel, 3, 3), 1);
  EXPECT_EQ(image.RGB709ToLabD65(), 1);
  EXPECT_EQ(image.WhiteBalance({1, 0, 0, 0, 0, 0.5f, 0.5f, 0.5f, false}), 0);
  EXPECT_EQ(image.IAQua2All(200, 100, 200, 100, 1), 0);
  CLorimoMagickFloat other(4, 4, 3);
  other > image;
  image < other;
  EXPECT_FALSE(image.Pixels2Magick(true).isValid());
  other = image;  // nothing to copy from
  EXPECT_TRUE(other.HasData());
}

struct ClipCase {
  float in;
  float out;
};

class Clip01Samples : public ::testing::TestWithParam<ClipCase> {};

TEST_P(Clip01Samples, LimitsToTheUnitRange) {
  CLorimoMagickFloat image(1, 1, 1);
  image.Plane(0)[0] = GetParam().in;
  image.Clip01();
  EXPECT_EQ(image.Plane(0)[0], GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Values, Clip01Samples,
                         ::testing::Values(ClipCase{std::numeric_limits<float>::quiet_NaN(), 0.0f},
                                           ClipCase{1.0f, 1.0f}, ClipCase{1.5f, 1.0f},
                                           ClipCase{std::numeric_limits<float>::infinity(), 1.0f},
                                           ClipCase{-std::numeric_limits<float>::infinity(), 0.0f},
                                           ClipCase{-0.25f, 0.0f}, ClipCase{0.0f, 0.0f},
                                           ClipCase{0.25f, 0.25f}));

TEST(FloatContainer, ComparisonsGiveMasksAgainstTheOtherSelection) {
  auto image = MakePlanes(3, 1, 1, [](int, int, int x) { return float(x); });
  auto other = MakePlanes(3, 1, 2, [](int p, int, int) { return p == 0 ? 9.0f : 1.0f; });
  other[1];
  CLorimoMagickFloat greater(image);
  greater > other;
  EXPECT_EQ(At(greater, 0, 0, 0), 0.0f);
  EXPECT_EQ(At(greater, 0, 0, 1), 0.0f);
  EXPECT_EQ(At(greater, 0, 0, 2), 1.0f);
  CLorimoMagickFloat less(image);
  less < other;
  EXPECT_EQ(At(less, 0, 0, 0), 1.0f);
  EXPECT_EQ(At(less, 0, 0, 1), 0.0f);
  EXPECT_EQ(At(less, 0, 0, 2), 0.0f);

  CLorimoMagickFloat smaller(2, 1, 1);
  image > smaller;  // samples do not match: nothing changes
  EXPECT_EQ(At(image, 0, 0, 2), 2.0f);
}

// Reference: true convolution at one output sample, summed in double.
double ConvolvedAt(const CLorimoMagickFloat& image, const float* kernel, int kh, int kw, int y,
                   int x) {
  double sum = 0;
  for (int i = 0; i < kh; ++i)
    for (int j = 0; j < kw; ++j)
      sum += double(kernel[(kh - 1 - i) * kw + (kw - 1 - j)]) *
             At(image, 0, y - kh / 2 + i, x - kw / 2 + j);
  return sum;
}

TEST(Convolution, ThreeByThreeOnFourByFourComputesOnlyTheSampleAtOneOne) {
  const float kernel[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};  // asymmetric: shows the rotation
  auto image = MakePlanes(4, 4, 1, [](int, int y, int x) { return float(y * 4 + x + 1); });
  const auto input = image;
  ASSERT_EQ(image.Convolution2D(kernel, 3, 3), 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      if (y == 1 && x == 1)
        EXPECT_EQ(At(image, 0, y, x), float(ConvolvedAt(input, kernel, 3, 3, 1, 1)));
      else
        EXPECT_EQ(At(image, 0, y, x), At(input, 0, y, x)) << y << "," << x;
    }
  // Rotated kernel: 9*1 + 8*2 + 7*3 + 6*5 + 5*6 + 4*7 + 3*9 + 2*10 + 1*11.
  EXPECT_EQ(At(image, 0, 1, 1), 192.0f);
}

struct BorderCase {
  int cols, rows, kh, kw;
};

class ConvolutionBorder : public ::testing::TestWithParam<BorderCase> {};

TEST_P(ConvolutionBorder, SamplesOutsideTheComputedRangeKeepTheirValues) {
  const BorderCase c = GetParam();
  std::vector<float> kernel(size_t(c.kh * c.kw));
  for (size_t i = 0; i < kernel.size(); ++i) kernel[i] = float(i % 3) - 0.5f;
  auto image = MakePlanes(c.cols, c.rows, 2, [](int p, int y, int x) {
    return float((p + 1) * std::sin(y * 1.3 + x * 0.7));
  });
  image[0];
  const auto input = image;
  ASSERT_EQ(image.Convolution2D(kernel.data(), c.kh, c.kw), 1);
  for (int y = 0; y < c.rows; ++y)
    for (int x = 0; x < c.cols; ++x) {
      const int r = y - c.kh / 2, col = x - c.kw / 2;
      const bool computed = r >= 0 && r < c.rows - c.kh && col >= 0 && col < c.cols - c.kw;
      if (computed)
        EXPECT_NEAR(At(image, 0, y, x), ConvolvedAt(input, kernel.data(), c.kh, c.kw, y, x), 1e-5);
      else
        EXPECT_EQ(At(image, 0, y, x), At(input, 0, y, x)) << y << "," << x;
      EXPECT_EQ(At(image, 1, y, x), At(input, 1, y, x));  // not selected
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ConvolutionBorder,
                         ::testing::Values(BorderCase{5, 5, 3, 3}, BorderCase{9, 6, 3, 3},
                                           BorderCase{8, 7, 5, 3}, BorderCase{6, 9, 2, 4},
                                           BorderCase{3, 3, 3, 3}, BorderCase{2, 8, 3, 3}));

TEST(Convolution, SplitOverThreadsGivesTheSameBits) {
  const float kernel[9] = {0.1f, -0.2f, 0.3f, 1, -2, 1, 0.7f, 0.25f, -0.6f};
  auto image = MakePlanes(700, 400, 1, [](int, int y, int x) {
    return float(std::sin(y * 0.37) * std::cos(x * 0.11));
  });
  auto single = image;
  {
    lorimotest::CWorkerLimitScope one(1);
    single.Convolution2D(kernel, 3, 3);
  }
  image.Convolution2D(kernel, 3, 3);
  EXPECT_EQ(std::memcmp(image.Plane(0), single.Plane(0), 700 * 400 * sizeof(float)), 0);
}

TEST(MagickBoundary, ReadsRgbPlanesAndWritesThemBack) {
  Magick::Image source = MakeImage(5, 3, [](int x, int y) {
    return uint32_t((x * 50) << 16 | (y * 100) << 8 | (255 - x * 10));
  });
  source.magick("PNG");
  CLorimoMagickFloat planes(source);
  ASSERT_TRUE(planes.HasData());
  EXPECT_EQ(planes.cols(), 5u);
  EXPECT_EQ(planes.rows(), 3u);
  EXPECT_FLOAT_EQ(At(planes, 0, 2, 4), 200.0f / 255.0f);
  EXPECT_FLOAT_EQ(At(planes, 1, 2, 4), 200.0f / 255.0f);
  EXPECT_FLOAT_EQ(At(planes, 2, 2, 4), 215.0f / 255.0f);

  Magick::Image back = planes.Pixels2Magick(true);
  ASSERT_EQ(back.columns(), 5u);
  ASSERT_EQ(back.rows(), 3u);
  EXPECT_EQ(back.magick(), "PNG");
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      const Magick::Color a = source.pixelColor(x, y), b = back.pixelColor(x, y);
      EXPECT_EQ(a.redQuantum(), b.redQuantum());
      EXPECT_EQ(a.greenQuantum(), b.greenQuantum());
      EXPECT_EQ(a.blueQuantum(), b.blueQuantum());
    }
}

TEST(MagickBoundary, InterleavedDataIsHandedOverAsItIs) {
  CLorimoMagickFloat image(2, 1, 3);
  const float samples[6] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};  // red, blue
  std::memcpy(image.Plane(0), samples, sizeof(samples));
  Magick::Image out = image.Pixels2Magick(false);
  ASSERT_EQ(out.columns(), 2u);
  EXPECT_EQ(out.pixelColor(0, 0).redQuantum(), MaxRGB);
  EXPECT_EQ(out.pixelColor(0, 0).blueQuantum(), 0u);
  EXPECT_EQ(out.pixelColor(1, 0).blueQuantum(), MaxRGB);
}

TEST(MagickBoundary, FewerThanThreePlanesGiveAGreyImage) {
  auto image = MakePlanes(2, 2, 1, [](int, int, int x) { return x == 0 ? 0.0f : 1.0f; });
  Magick::Image out = image.Pixels2Magick(true);
  ASSERT_EQ(out.columns(), 2u);
  EXPECT_EQ(out.pixelColor(1, 1).redQuantum(), MaxRGB);
  EXPECT_EQ(out.pixelColor(1, 1).blueQuantum(), MaxRGB);
  EXPECT_EQ(out.pixelColor(0, 1).greenQuantum(), 0u);
  EXPECT_FALSE(image.Pixels2Magick(false).isValid());  // too few samples to be interleaved
}

TEST(MagickBoundary, AnEmptyImageGivesNoData) {
  Magick::Image empty;
  CLorimoMagickFloat image(empty);
  EXPECT_FALSE(image.HasData());
  EXPECT_FALSE(image.Pixels2Magick(true).isValid());
}

TEST(MagickBoundary, ReadsEveryQuantumAsImageWriteWould) {
  // All 65536 levels, in each channel, against GraphicsMagick's own export.
  Magick::Image image(Magick::Geometry(256, 256), Magick::Color(0, 0, 0));
  image.modifyImage();
  image.type(Magick::TrueColorType);
  Magick::PixelPacket* q = image.setPixels(0, 0, 256, 256);
  for (int i = 0; i < 65536; ++i) {
    q[i].red = Magick::Quantum(i);
    q[i].green = Magick::Quantum(65535 - i);
    q[i].blue = Magick::Quantum(i * 7 % 65536);
  }
  image.syncPixels();
  std::vector<float> expected(65536 * 3);
  image.write(0, 0, 256, 256, "RGB", MagickLib::FloatPixel, expected.data());
  CLorimoMagickFloat planes(image);
  for (int i = 0; i < 65536; ++i)
    for (int p = 0; p < 3; ++p) ASSERT_EQ(planes.Plane(p)[i], expected[size_t(3 * i + p)]) << i;
}

TEST(MagickBoundary, WritesSamplesAsImageReadWould) {
  // Samples around every rounding boundary, out of range and not a number,
  // against GraphicsMagick's own import.
  std::vector<float> samples;
  for (int level = 0; level < 65536; level += 3) {
    const float boundary = float((level + 0.5) / 65535.0);
    samples.insert(samples.end(), {std::nextafter(boundary, -1.0f), boundary,
                                   std::nextafter(boundary, 2.0f), float(level / 65535.0)});
  }
  samples.insert(samples.end(),
                 {-0.5f, -0.0f, 1.0f, 1.0001f, 7.0f, std::numeric_limits<float>::quiet_NaN(),
                  std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()});
  while (samples.size() % 3 != 0) samples.push_back(0.25f);
  const unsigned columns = unsigned(samples.size() / 3);
  Magick::Image expected;
  expected.read(columns, 1, "RGB", MagickLib::FloatPixel, samples.data());
  CLorimoMagickFloat interleaved(columns, 1, 3);
  std::memcpy(interleaved.Plane(0), samples.data(), samples.size() * sizeof(float));
  Magick::Image actual = interleaved.Pixels2Magick(false);
  ASSERT_EQ(actual.columns(), columns);
  EXPECT_EQ(actual.magick(), expected.magick());
  EXPECT_EQ(actual.depth(), expected.depth());
  EXPECT_EQ(actual.type(), expected.type());
  const Magick::PixelPacket* a = actual.getConstPixels(0, 0, columns, 1);
  const Magick::PixelPacket* e = expected.getConstPixels(0, 0, columns, 1);
  for (unsigned i = 0; i < columns; ++i) {
    ASSERT_EQ(a[i].red, e[i].red) << samples[3 * i];
    ASSERT_EQ(a[i].green, e[i].green) << samples[3 * i + 1];
    ASSERT_EQ(a[i].blue, e[i].blue) << samples[3 * i + 2];
    ASSERT_EQ(a[i].opacity, e[i].opacity);
  }
}
