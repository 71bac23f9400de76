#include "pixwork/sanescanner.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

namespace {

// SANE's frontend-tester backend, alone, for this test process.
class SaneTestBackend : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::filesystem::path config = testsupport::NewTempDir("sane");
    testsupport::WriteFile(config / "dll.conf", "test\n");
    // The backend's own defaults (it keeps none without its file).
    testsupport::WriteFile(config / "test.conf",
                           "number_of_devices 2\nmode Gray\ndepth 8\nhand-scanner false\n"
                           "three-pass false\nthree-pass-order RGB\nresolution_min 1.0\n"
                           "resolution_max 1200.0\nresolution_quant 1.0\nresolution 50.0\n"
                           "test-picture \"Solid black\"\nread-limit-size 1\n"
                           "read-delay-duration 1000\nread-status-code \"Default\"\n"
                           "ppl-loss 0\ngeometry_min 0.0\ngeometry_max 200.0\n"
                           "geometry_quant 1.0\ntl_x 0.0\ntl_y 0.0\nbr_x 80.0\nbr_y 100.0\n");
    setenv("SANE_CONFIG_DIR", config.c_str(), 1);
    unsetenv("SANE_DEFAULT_DEVICE");
    ASSERT_EQ(CSaneScanner::Init(), 1);
  }
  // No sane_exit: it unloads the backend, whose buffers of stopped reader
  // threads (lost by the backend itself) the leak report could then no
  // longer name for its suppression. The process ends with the test.
  void TearDown() override {}
};

// scanimage's picture for the same options, read back by GraphicsMagick.
Magick::Image ScanImage(const std::vector<std::pair<std::string, std::string>>& options) {
  const std::filesystem::path out = testsupport::NewTempDir("scanimage") / "page.pnm";
  std::string command = "scanimage -d test:0 --format=pnm";
  for (const auto& [name, value] : options) command += " '--" + name + "=" + value + "'";
  command += " > '" + out.string() + "' 2>/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  Magick::Image image;
  image.read(out.string());
  return image;
}

// Count of pixels whose red, green or blue differ.
size_t DifferentPixels(const Magick::Image& a, const Magick::Image& b) {
  if (a.columns() != b.columns() || a.rows() != b.rows()) return size_t(-1);
  const Magick::PixelPacket* p = a.getConstPixels(0, 0, a.columns(), a.rows());
  const Magick::PixelPacket* q = b.getConstPixels(0, 0, b.columns(), b.rows());
  size_t different = 0;
  for (size_t i = 0, n = a.columns() * a.rows(); i < n; ++i)
    if (p[i].red != q[i].red || p[i].green != q[i].green || p[i].blue != q[i].blue) ++different;
  return different;
}

struct tagSCANCASE {
  const char* name;
  std::vector<std::pair<std::string, std::string>> options;
};

class SaneScanMatchesScanimage : public SaneTestBackend,
                                 public ::testing::WithParamInterface<tagSCANCASE> {};

}  // namespace

TEST_P(SaneScanMatchesScanimage, PixelForPixel) {
  CSaneScanner scanner;
  ASSERT_EQ(scanner.Open("test:0"), 1) << scanner.GetLastError().ToUtf8();
  for (const auto& [name, value] : GetParam().options)
    ASSERT_EQ(scanner.SetOption(name, value), 1) << name << ": " << scanner.GetLastError().ToUtf8();
  Magick::Image ours;
  int lastPercent = -2;
  ASSERT_EQ(scanner.ScanPage(&ours, [&](int percent) { lastPercent = percent; }), 1)
      << scanner.GetLastError().ToUtf8();
  scanner.EndScan();
  EXPECT_EQ(ours.magick(), "PNG");
  const Magick::Image reference = ScanImage(GetParam().options);
  EXPECT_GT(ours.columns(), 50u);
  EXPECT_EQ(ours.columns(), reference.columns());
  EXPECT_EQ(ours.rows(), reference.rows());
  EXPECT_EQ(DifferentPixels(ours, reference), 0u);
  // The picture is not one colour: the comparison saw a pattern.
  EXPECT_GT(Magick::Image(ours).totalColors(), 1u);
  EXPECT_TRUE(lastPercent == 100 || lastPercent == -1) << lastPercent;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, SaneScanMatchesScanimage,
    ::testing::Values(
        tagSCANCASE{"Grey", {{"mode", "Gray"}, {"test-picture", "Color pattern"}}},
        tagSCANCASE{"Colour", {{"mode", "Color"}, {"test-picture", "Color pattern"}}},
        tagSCANCASE{"Lineart", {{"mode", "Gray"}, {"depth", "1"}, {"test-picture", "Grid"}}},
        tagSCANCASE{"Colour16",
                    {{"mode", "Color"}, {"depth", "16"}, {"test-picture", "Color pattern"}}},
        tagSCANCASE{"Grey16",
                    {{"mode", "Gray"}, {"depth", "16"}, {"test-picture", "Color pattern"}}},
        tagSCANCASE{"ThreePass",
                    {{"mode", "Color"},
                     {"three-pass", "yes"},
                     {"three-pass-order", "GBR"},
                     {"test-picture", "Color pattern"}}},
        tagSCANCASE{
            "HandScanner",
            {{"mode", "Color"}, {"hand-scanner", "yes"}, {"test-picture", "Color pattern"}}},
        tagSCANCASE{"SmallReads",
                    {{"mode", "Color"},
                     {"test-picture", "Color pattern"},
                     {"read-limit", "yes"},
                     {"read-limit-size", "37"}}}),
    [](const ::testing::TestParamInfo<tagSCANCASE>& info) { return std::string(info.param.name); });

// Lines padded past their pixels (scanimage writes the padding as pixels,
// so the reference is our own unpadded scan of the same picture).
TEST_F(SaneTestBackend, PaddedLinesLoseOnlyThePadding) {
  CSaneScanner scanner;
  ASSERT_EQ(scanner.Open("test:0"), 1);
  ASSERT_EQ(scanner.SetOption("mode", "Color"), 1);
  ASSERT_EQ(scanner.SetOption("test-picture", "Color pattern"), 1);
  Magick::Image plain, padded;
  ASSERT_EQ(scanner.ScanPage(&plain), 1);
  scanner.EndScan();
  ASSERT_EQ(scanner.SetOption("ppl-loss", "7"), 1);
  ASSERT_EQ(scanner.ScanPage(&padded), 1) << scanner.GetLastError().ToUtf8();
  scanner.EndScan();
  ASSERT_EQ(padded.columns() + 7, plain.columns());
  ASSERT_EQ(padded.rows(), plain.rows());
  Magick::Image left = plain;
  left.crop(Magick::Geometry(padded.columns(), padded.rows(), 0, 0));
  EXPECT_EQ(DifferentPixels(left, padded), 0u);
}

TEST_F(SaneTestBackend, FeederPagesErrorsAndCancel) {
  std::vector<tagSANEDEVICE> devices;
  ASSERT_EQ(CSaneScanner::ListDevices(&devices), 1);
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].strName, "test:0");

  // Without a name: SANE_DEFAULT_DEVICE, else the first.
  CSaneScanner scanner;
  setenv("SANE_DEFAULT_DEVICE", "test:1", 1);
  ASSERT_EQ(scanner.Open(""), 1);
  EXPECT_EQ(scanner.GetDeviceName(), "test:1");
  unsetenv("SANE_DEFAULT_DEVICE");
  ASSERT_EQ(scanner.Open(""), 1);
  EXPECT_EQ(scanner.GetDeviceName(), "test:0");

  // The feeder holds ten pages, then reports it is empty.
  EXPECT_FALSE(scanner.IsFeeder());
  ASSERT_EQ(scanner.SetOption("source", "Automatic Document Feeder"), 1);
  EXPECT_TRUE(scanner.IsFeeder());
  ASSERT_EQ(scanner.SetOption("resolution", "10"), 1);
  int pages = 0;
  Magick::Image page;
  int result;
  while ((result = scanner.ScanPage(&page)) == 1) ++pages;
  EXPECT_EQ(result, -1);
  EXPECT_EQ(pages, 10);
  scanner.EndScan();

  // A device that reports a fault gives SANE's text and no picture.
  ASSERT_EQ(scanner.Open("test:0"), 1);
  ASSERT_EQ(scanner.SetOption("resolution", "10"), 1);
  for (SANE_Status status : {SANE_STATUS_JAMMED, SANE_STATUS_COVER_OPEN, SANE_STATUS_IO_ERROR,
                             SANE_STATUS_DEVICE_BUSY}) {
    const std::string name =
        std::string("SANE_STATUS_") + (status == SANE_STATUS_JAMMED       ? "JAMMED"
                                       : status == SANE_STATUS_COVER_OPEN ? "COVER_OPEN"
                                       : status == SANE_STATUS_IO_ERROR   ? "IO_ERROR"
                                                                          : "DEVICE_BUSY");
    ASSERT_EQ(scanner.SetOption("read-return-value", name), 1) << name;
    Magick::Image none;
    // The backend's reader thread is cancelled with the failed scan, at any
    // point: under AddressSanitizer that must not be inside an allocation,
    // so it is given the time to write its few bytes and end.
    auto settle = [](int) { std::this_thread::sleep_for(std::chrono::milliseconds(50)); };
    EXPECT_EQ(scanner.ScanPage(&none, settle), 0) << name;
    EXPECT_EQ(scanner.GetLastStatus(), status);
    EXPECT_NE(scanner.GetLastError().ToUtf8().find(sane_strstatus(status)), std::string::npos);
    EXPECT_EQ(none.columns(), 0u);
  }
  ASSERT_EQ(scanner.SetOption("read-return-value", "Default"), 1);

  // Cancel from another thread ends a slow scan.
  // Some fifty blocks of 64 KiB, each 0.2 s apart: ten seconds unless cancelled.
  ASSERT_EQ(scanner.SetOption("mode", "Color"), 1);
  ASSERT_EQ(scanner.SetOption("resolution", "300"), 1);
  ASSERT_EQ(scanner.SetOption("read-delay", "yes"), 1);
  ASSERT_EQ(scanner.SetOption("read-delay-duration", "200000"), 1);
  ASSERT_EQ(scanner.SetOption("read-limit", "yes"), 1);
  ASSERT_EQ(scanner.SetOption("read-limit-size", "64"), 1);
  std::thread canceller([&scanner] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    scanner.Cancel();
  });
  Magick::Image cancelled;
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(scanner.ScanPage(&cancelled), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  canceller.join();
  EXPECT_EQ(scanner.GetLastStatus(), SANE_STATUS_CANCELLED);
}

TEST(ScanAssembler, RefusesSizesThatCannotBeRightBeforeAllocating) {
  CScanAssembler frames;
  MyString error;
  SANE_Parameters p{SANE_FRAME_RGB, SANE_TRUE, 300, 100, 1 << 20, 8};
  EXPECT_EQ(frames.BeginFrame(p, &error), 0);  // too many lines
  p = {SANE_FRAME_RGB, SANE_TRUE, 299, 100, 10, 8};
  EXPECT_EQ(frames.BeginFrame(p, &error), 0);  // lines shorter than their pixels
  p = {SANE_FRAME_GRAY, SANE_TRUE, 10, 10, 10, 12};
  EXPECT_EQ(frames.BeginFrame(p, &error), 0);  // depth
  p = {SANE_FRAME_GRAY, SANE_TRUE, 2, 10, -1, 1};
  ASSERT_EQ(frames.BeginFrame(p, &error), 1);
  Magick::Image image;
  EXPECT_EQ(frames.Finish(&image, &error), 0);  // nothing arrived
  const uint8_t line[2] = {0xA0, 0x40};         // x=0 and x=2 black; x=9 black
  ASSERT_EQ(frames.Add(line, 2, &error), 1);
  frames.EndFrame();
  ASSERT_EQ(frames.Finish(&image, &error), 1);
  ASSERT_EQ(image.rows(), 1u);
  const Magick::PixelPacket* pixels = image.getConstPixels(0, 0, 10, 1);
  EXPECT_EQ(pixels[0].red, 0u);
  EXPECT_EQ(pixels[1].green, MaxRGB);
  EXPECT_EQ(pixels[2].blue, 0u);
  EXPECT_EQ(pixels[8].red, MaxRGB);
  EXPECT_EQ(pixels[9].red, 0u);
}
