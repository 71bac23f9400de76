#include "codecs/psdreader.h"

#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "codecs/psdimage.h"
#include "corekit/straw.h"
#include "psdfixture.h"
#include "testsupport/testsupport.h"
#include "viewer/imageio.h"

namespace {

int ReadStrict(const std::string& bytes, CPsdPlanes* planes) {
  CPsdMemorySource source(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return CPhotoshopReader::Read(source, planes);
}

int ReadComposite(const std::string& bytes, CPsdComposite* image) {
  CPsdMemorySource source(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return CPhotoshopCompositeReader::Read(source, image);
}

uint8_t Byte(const Magick::Color& color, int channel) {
  const Magick::Quantum q = channel == 0   ? color.redQuantum()
                            : channel == 1 ? color.greenQuantum()
                            : channel == 2 ? color.blueQuantum()
                                           : Magick::Quantum(MaxRGB - color.alphaQuantum());
  return uint8_t(q * 255 / MaxRGB);
}

struct StrictCase {
  uint16_t compression;
  int channels;
};

class PhotoshopStrict : public ::testing::TestWithParam<StrictCase> {};

TEST_P(PhotoshopStrict, PlanesComeBackAndBecomeRgbAndOpacity) {
  InitializeImageLibrary();
  CPsdFixture psd;
  psd.nCompression = GetParam().compression;
  psd.FillPattern(GetParam().channels);
  CPsdPlanes planes;
  ASSERT_EQ(ReadStrict(psd.Build(), &planes), 1);
  ASSERT_EQ(planes.planes.size(), size_t(std::min(GetParam().channels, 4)));
  for (size_t c = 0; c < planes.planes.size(); ++c) EXPECT_EQ(planes.planes[c], psd.planes[c]);

  Magick::Image image = ImageFromPlanes(planes);
  ASSERT_EQ(image.columns(), psd.nWidth);
  ASSERT_EQ(image.rows(), psd.nHeight);
  for (uint32_t y = 0; y < psd.nHeight; ++y) {
    for (uint32_t x = 0; x < psd.nWidth; ++x) {
      const Magick::Color pixel = image.pixelColor(x, y);
      for (int c = 0; c < 3; ++c) EXPECT_EQ(Byte(pixel, c), psd.planes[c][y * psd.nWidth + x]);
      // Photoshop's fourth channel is opacity: 255 opaque.
      const uint8_t alpha = GetParam().channels >= 4 ? psd.planes[3][y * psd.nWidth + x] : 255;
      EXPECT_NEAR(Byte(pixel, 3), alpha, 1);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(RawAndPackBits, PhotoshopStrict,
                         ::testing::Values(StrictCase{0, 3}, StrictCase{0, 4}, StrictCase{1, 3},
                                           StrictCase{1, 4}, StrictCase{1, 6}));

TEST(PhotoshopStrict, LongRunsAndWideRowsPackAndUnpack) {
  CPsdFixture psd;
  psd.nWidth = 300;
  psd.nHeight = 2;
  psd.nCompression = 1;
  psd.planes.assign(3, std::vector<uint8_t>(600, 7));
  for (size_t i = 0; i < 600; i += 5) psd.planes[1][i] = uint8_t(i);
  CPsdPlanes planes;
  ASSERT_EQ(ReadStrict(psd.Build(), &planes), 1);
  EXPECT_EQ(planes.planes[0], psd.planes[0]);
  EXPECT_EQ(planes.planes[1], psd.planes[1]);
}

// Every prefix of a valid file is a truncated file: the reader must refuse
// each one without reading past the end and keep nothing.
TEST(PhotoshopStrict, RefusesTheFileCutAtEveryByte) {
  for (uint16_t compression : {0, 1}) {
    CPsdFixture psd;
    psd.nCompression = compression;
    psd.FillPattern(4);
    const std::string bytes = psd.Build();
    for (size_t length = 0; length < bytes.size(); ++length) {
      CPsdPlanes planes;
      EXPECT_EQ(ReadStrict(bytes.substr(0, length), &planes), 0)
          << "compression " << compression << " cut at " << length;
      EXPECT_TRUE(planes.planes.empty());
      CPsdComposite composite;
      EXPECT_EQ(ReadComposite(bytes.substr(0, length), &composite), 0) << "cut at " << length;
    }
  }
}

struct HostileCase {
  const char* name;
  uint32_t width, height;
  int channels;
  uint16_t compression;
  uint32_t sectionLength;  // replaces the colour mode data length when not 0
};

class PhotoshopHostile : public ::testing::TestWithParam<HostileCase> {};

// Sizes that would need gigabytes are refused from the header and the bytes
// actually present, before any plane is allocated.
TEST_P(PhotoshopHostile, RefusesClaimsTheFileCannotBackUp) {
  const HostileCase& c = GetParam();
  CPsdFixture psd;
  psd.nCompression = c.compression;
  psd.FillPattern(3);
  std::string bytes = psd.Build();
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = char(v >> (24 - 8 * i));
  };
  bytes[12] = char(c.channels >> 8);
  bytes[13] = char(c.channels & 0xFF);
  put32(14, c.height);
  put32(18, c.width);
  if (c.sectionLength) put32(26, c.sectionLength);
  CPsdPlanes planes;
  EXPECT_EQ(ReadStrict(bytes, &planes), 0);
  CPsdComposite composite;
  EXPECT_EQ(ReadComposite(bytes, &composite), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Claims, PhotoshopHostile,
    ::testing::Values(HostileCase{"huge_raw", 30000, 30000, 56, 0, 0},
                      HostileCase{"huge_packbits", 30000, 30000, 56, 1, 0},
                      HostileCase{"too_wide", 30001, 1, 3, 0, 0},
                      HostileCase{"zero_width", 0, 3, 3, 0, 0},
                      HostileCase{"no_channels", 5, 3, 0, 0, 0},
                      HostileCase{"too_many_channels", 5, 3, 57, 0, 0},
                      HostileCase{"section_past_end", 5, 3, 3, 0, 0xFFFFFFF0u}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

TEST(PhotoshopStrict, RefusesWhatOnlyTheFallbackReads) {
  for (auto [depth, mode] : {std::pair<uint16_t, uint16_t>{16, 3}, {8, 4}, {8, 1}}) {
    CPsdFixture psd;
    psd.nDepth = depth;
    psd.nMode = mode;
    psd.FillPattern(mode == 4 ? 4 : mode == 1 ? 1 : 3);
    CPsdPlanes planes;
    EXPECT_EQ(ReadStrict(psd.Build(), &planes), 0) << depth << "/" << mode;
    CPsdComposite composite;
    EXPECT_EQ(ReadComposite(psd.Build(), &composite), 1) << depth << "/" << mode;
  }
}

TEST(PhotoshopComposite, SixteenBitRgbKeepsItsPrecision) {
  CPsdFixture psd;
  psd.nDepth = 16;
  psd.nCompression = 1;
  psd.nVersion = 2;
  psd.planes.assign(3, std::vector<uint8_t>(psd.RowBytes() * psd.nHeight));
  // Red 0x1234 everywhere, green 0xFFFF, blue 0.
  for (size_t i = 0; i < psd.planes[0].size(); i += 2) {
    psd.planes[0][i] = 0x12, psd.planes[0][i + 1] = 0x34;
    psd.planes[1][i] = 0xFF, psd.planes[1][i + 1] = 0xFF;
  }
  CPsdComposite image;
  ASSERT_EQ(ReadComposite(psd.Build(), &image), 1);
  EXPECT_FALSE(image.bHasAlpha);
  ASSERT_EQ(image.samples.size(), size_t(psd.nWidth) * psd.nHeight * 3);
  EXPECT_EQ(image.samples[0], 0x1234);
  EXPECT_EQ(image.samples[1], 0xFFFF);
  EXPECT_EQ(image.samples[2], 0);
}

struct ModeCase {
  const char* name;
  uint16_t mode;
  uint16_t depth;
  std::vector<uint8_t> samples;  // one pixel: one byte per channel
  uint8_t r, g, b;
};

class PhotoshopModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(PhotoshopModes, OnePixelBecomesItsRgb) {
  const ModeCase& c = GetParam();
  CPsdFixture psd;
  psd.nWidth = psd.nHeight = 1;
  psd.nMode = c.mode;
  psd.nDepth = c.depth;
  for (uint8_t s : c.samples) psd.planes.push_back({s});
  if (c.mode == 2) {  // indexed: entry 3 is (10, 20, 30)
    psd.colorModeData.assign(768, '\0');
    psd.colorModeData[3] = 10, psd.colorModeData[256 + 3] = 20, psd.colorModeData[512 + 3] = 30;
  }
  CPsdComposite image;
  ASSERT_EQ(ReadComposite(psd.Build(), &image), 1);
  EXPECT_NEAR(image.samples[0] / 257, c.r, 2);
  EXPECT_NEAR(image.samples[1] / 257, c.g, 2);
  EXPECT_NEAR(image.samples[2] / 257, c.b, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, PhotoshopModes,
    ::testing::Values(ModeCase{"grey", 1, 8, {90}, 90, 90, 90},
                      ModeCase{"indexed", 2, 8, {3}, 10, 20, 30},
                      // Inverted CMYK: 255 is no ink; cyan full, no black.
                      ModeCase{"cmyk_cyan", 4, 8, {0, 255, 255, 255}, 0, 255, 255},
                      ModeCase{"cmyk_black", 4, 8, {255, 255, 255, 0}, 0, 0, 0},
                      ModeCase{"bitmap_black", 0, 1, {0x80}, 0, 0, 0},
                      ModeCase{"bitmap_white", 0, 1, {0x00}, 255, 255, 255},
                      // L 100, a and b neutral: white.
                      ModeCase{"lab_white", 9, 8, {255, 128, 128}, 255, 255, 255}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

class PhotoshopLoad : public ::testing::Test {
 protected:
  void SetUp() override { InitializeImageLibrary(); }
  MyString Write(const std::string& name, const std::string& bytes) {
    const auto path = testsupport::NewTempDir() / name;
    testsupport::WriteFile(path, bytes);
    return CStrAW::FromPath(path);
  }
};

TEST_F(PhotoshopLoad, SixteenBitAndCmykFilesFallBackToTheMergedImage) {
  CPsdFixture deep;
  deep.nDepth = 16;
  deep.planes.assign(3, std::vector<uint8_t>(deep.RowBytes() * deep.nHeight, 0x80));
  CPsdFixture cmyk;
  cmyk.nMode = 4;
  cmyk.planes.assign(4, std::vector<uint8_t>(cmyk.RowBytes() * cmyk.nHeight, 255));
  cmyk.planes[0].assign(cmyk.planes[0].size(), 0);  // full cyan
  for (auto& [name, psd, expected] :
       {std::tuple{"deep.psd", deep,
                   Magick::ColorRGB(0x8080 / 65535.0, 0x8080 / 65535.0, 0x8080 / 65535.0)},
        std::tuple{"cmyk.psd", cmyk, Magick::ColorRGB(0, 1, 1)}}) {
    Magick::Image image;
    ASSERT_EQ(LoadImage(nullptr, Write(name, psd.Build()), &image, 0), 1) << name;
    EXPECT_EQ(image.columns(), psd.nWidth);
    const Magick::Color pixel = image.pixelColor(2, 1);
    EXPECT_NEAR(pixel.redQuantum(), expected.redQuantum(), 300) << name;
    EXPECT_NEAR(pixel.greenQuantum(), expected.greenQuantum(), 300) << name;
    EXPECT_NEAR(pixel.blueQuantum(), expected.blueQuantum(), 300) << name;
  }
}

TEST_F(PhotoshopLoad, FallbackIsSampledDownToTheSizeHint) {
  CPsdFixture psd;
  psd.nDepth = 16;
  psd.nWidth = 80;
  psd.nHeight = 40;
  psd.planes.assign(3, std::vector<uint8_t>(psd.RowBytes() * psd.nHeight, 0x40));
  Magick::Image image;
  const SIZE hint{20, 20};
  ASSERT_EQ(LoadImage(nullptr, Write("big.psd", psd.Build()), &image, 0, &hint), 1);
  EXPECT_EQ(image.columns(), 20u);
  EXPECT_EQ(image.rows(), 10u);
}

TEST_F(PhotoshopLoad, DamagedFileFailsWithTheDecoderErrorText) {
  CPsdFixture psd;
  psd.FillPattern(3);
  const std::string bytes = psd.Build();
  Magick::Image image;
  EXPECT_EQ(LoadImage(nullptr, Write("cut.psd", bytes.substr(0, bytes.size() - 4)), &image, 0), 0);
  EXPECT_EQ(GetLastLoadError(), MyString(u"file is truncated"));
}

}  // namespace
