// The codec layer used as background work uses it: reads on several threads
// at once, each with its own progress and Cancel, beside a held load slot.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <jpeglib.h>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <lcms2.h>

#include "codecs/colourprofile.h"
#include "codecs/decodeprogress.h"
#include "codecs/hdfcodec.h"
#include "codecs/imagelibrary.h"
#include "codecs/imagereader.h"
#include "codecs/jpegpixels.h"
#include "codecs/librarylog.h"
#include "codecs/orientation.h"
#include "corekit/loadslot.h"
#include "corekit/straw.h"
#include "testsupport/adobergb.h"

namespace fs = std::filesystem;

namespace {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "codecs-XXXXXX").string();
    m_path = mkdtemp(pattern.data());
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  MyString MakeImage(const char* name, size_t width, size_t height) const {
    InitializeImageLibrary();
    Magick::Image image(Magick::Geometry(width, height), Magick::Color("orange"));
    const fs::path path = m_path / name;
    image.write(path.string());
    return CStrAW::FromPath(path);
  }
  const fs::path& Path() const { return m_path; }

 private:
  fs::path m_path;
};

// Holds its thread's decode at the first progress report until another
// read has finished (or a deadline passed), then asks the decoder to abort.
// Were reads taken one at a time, the other could not finish meanwhile.
class CWaitingProgress : public CDecodeProgress {
 public:
  bool OnProgress(int64_t, uint64_t) override {
    if (std::this_thread::get_id() != m_owner) m_bForeignCall = true;
    if (!m_bWaited) {
      m_bWaited = true;
      std::unique_lock<std::mutex> lock(m_mutex);
      m_bOtherFinishedFirst =
          m_finished.wait_for(lock, std::chrono::seconds(10), [this] { return m_bOtherFinished; });
    }
    return false;
  }
  void OtherFinished() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bOtherFinished = true;
    m_finished.notify_all();
  }

  void SetOwner() { m_owner = std::this_thread::get_id(); }
  bool OtherFinishedFirst() const { return m_bOtherFinishedFirst; }
  bool HadForeignCall() const { return m_bForeignCall; }

 private:
  std::mutex m_mutex;
  std::condition_variable m_finished;
  bool m_bOtherFinished = false;
  bool m_bOtherFinishedFirst = false;
  bool m_bWaited = false;
  bool m_bForeignCall = false;
  std::thread::id m_owner;
};

struct DecodeOutcome {
  int ok = 0;
  Magick::Image image;
  std::string error;
};

}  // namespace

TEST(CodecLayer, TwoThreadsDecodeAtOnceEachWithItsOwnProgressAndCancel) {
  ScratchFolder folder;
  const MyString held = folder.MakeImage("held.tif", 1200, 900);
  const MyString photo = folder.MakeImage("photo.jpg", 1600, 1200);

  // The viewer's permit is taken: background reads must not wait for it.
  CLoadSlotGuard viewerLoad(GetLoadSlot());
  ASSERT_TRUE(viewerLoad.IsHeld());

  CWaitingProgress waiting;
  DecodeOutcome aborted, finished;
  std::thread a([&] {
    waiting.SetOwner();
    aborted.ok = DecodeImageFile(held, &aborted.image, &aborted.error, &waiting);
  });
  std::thread b([&] {
    CDecodeCancel own;
    const SIZE hint{400, 300};
    CImageReadRequest request;
    request.path = photo;
    request.extension = u"jpg";
    request.sizeHint = &hint;
    request.progress = &own;
    CImageReadResult result;
    finished.ok = ReadImageFile(request, &result);
    finished.image = result.image;
    finished.error = result.error;
    waiting.OtherFinished();
  });
  a.join();
  b.join();

  EXPECT_TRUE(waiting.OtherFinishedFirst()) << "the two reads did not run at the same time";
  EXPECT_FALSE(waiting.HadForeignCall());
  ASSERT_EQ(finished.ok, 1) << finished.error;
  EXPECT_EQ(finished.image.columns(), 400u);
  EXPECT_EQ(finished.image.rows(), 300u);
  // The held read's own progress asked it to stop: it failed, the other did not.
  EXPECT_EQ(aborted.ok, 0);
  EXPECT_FALSE(aborted.error.empty());
  // No progress stays registered on the calling thread after a read.
  EXPECT_EQ(GetThreadDecodeProgress(), nullptr);
}

TEST(CodecLayer, ACancelFlagStopsOnlyItsOwnThreadsRead) {
  ScratchFolder folder;
  const MyString path = folder.MakeImage("photo.tif", 800, 600);
  CDecodeCancel cancel;
  cancel.Cancel();
  std::string error;
  EXPECT_EQ(DecodeImageFile(path, nullptr, &error, &cancel), 0);
  // The same file read right after on another thread, with a flag of its own.
  DecodeOutcome other;
  std::thread([&] { other.ok = DecodeImageFile(path, &other.image, &other.error); }).join();
  EXPECT_EQ(other.ok, 1) << other.error;
  cancel.Reset();
  EXPECT_EQ(DecodeImageFile(path, nullptr, &error, &cancel), 1) << error;
}

TEST(CodecLayer, LibraryWarningsStayOffStandardError) {
  InitializeImageLibrary();
  const std::string stderrFile = (fs::temp_directory_path() / "codecs-stderr.txt").string();
  fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  FILE* capture = fopen(stderrFile.c_str(), "w+");
  ASSERT_NE(capture, nullptr);
  dup2(fileno(capture), STDERR_FILENO);
  Exiv2::LogMsg(Exiv2::LogMsg::warn).os() << "Directory Minolta, entry 0x0088: test chatter";
  MagickLib::MagickWarning(MagickLib::CoderWarning, "test reason", "test description");
  fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  fseek(capture, 0, SEEK_END);
  const long printed = ftell(capture);
  fclose(capture);
  fs::remove(stderrFile);
  EXPECT_EQ(printed, 0);
  const std::vector<std::string> warnings = RecentLibraryWarnings();
  ASSERT_GE(warnings.size(), 2u);
  EXPECT_NE(warnings[warnings.size() - 2].find("Minolta"), std::string::npos);
  EXPECT_NE(warnings.back().find("test reason"), std::string::npos);
}

namespace {

// A JPEG 2000 code stream whose main header declares a 4096 x 4096 picture
// of the given number of 8-bit components, with one empty tile.
std::string Jpeg2000Header(uint16_t components) {
  std::string s;
  auto u8 = [&](unsigned v) { s.push_back(char(v & 0xFF)); };
  auto u16 = [&](unsigned v) { u8(v >> 8), u8(v); };
  auto u32 = [&](uint32_t v) { u16(v >> 16), u16(v); };
  u16(0xFF4F);                                    // SOC
  u16(0xFF51), u16(38 + 3 * components), u16(0);  // SIZ
  for (uint32_t v : {4096u, 4096u, 0u, 0u, 4096u, 4096u, 0u, 0u}) u32(v);
  u16(components);
  for (unsigned c = 0; c < components; ++c) u8(7), u8(1), u8(1);
  u16(0xFF52), u16(12), u8(0), u8(0), u16(1), u8(0), u8(0), u8(4), u8(4), u8(0), u8(1);  // COD
  u16(0xFF5C), u16(4), u8(0x40), u8(0x40);                                               // QCD
  u16(0xFF90), u16(10), u16(0), u32(0), u8(0), u8(1);                                    // SOT
  u16(0xFF93), u16(0xFFD9);                                                              // SOD, EOC
  return s;
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

}  // namespace

TEST(CodecLayer, HostileFilesAreRefusedBeforeAnyForeignDecoder) {
  ScratchFolder folder;
  const fs::path root = CStrAW::ToPath(folder.MakeImage("probe.png", 4, 4)).parent_path();
  // Stand-ins for the programs such content would start: each leaves a mark.
  const fs::path bin = root / "bin";
  fs::create_directory(bin);
  for (const char* program : {"gs", "gsc", "rsvg-convert", "inkscape", "ghostscript"}) {
    WriteBytes(bin / program, "#!/bin/sh\ntouch '" + (root / "started").string() + "'\n");
    fs::permissions(bin / program, fs::perms::owner_all);
  }
  const std::string path = bin.string() + ":" + getenv("PATH");
  setenv("PATH", path.c_str(), 1);

  const std::pair<const char*, std::string> hostile[] = {
      {"postscript.jpg", "%!PS-Adobe-3.0\n/Times findfont 12 scalefont setfont\nshowpage\n"},
      {"vector.jpg",
       "<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\" "
       "width=\"8\" height=\"8\"><rect width=\"8\" height=\"8\"/></svg>"},
      {"document.jpg", "%PDF-1.4\n1 0 obj<</Type/Catalog>>endobj\ntrailer<</Root 1 0 R>>\n%%EOF\n"},
      {"drawing.png", "push graphic-context\nviewbox 0 0 8 8\nimage over 0,0 0,0 'x.jpg'\n"},
      {"components.j2c", Jpeg2000Header(64)},
      {"many-components.j2c", Jpeg2000Header(16384)},
  };
  for (const auto& [name, bytes] : hostile) {
    WriteBytes(root / name, bytes);
    Magick::Image image;
    std::string error;
    EXPECT_EQ(DecodeImageFile(CStrAW::FromPath(root / name), &image, &error), 0) << name;
    EXPECT_FALSE(error.empty()) << name;
    SIZE size{};
    EXPECT_EQ(PingImageFile(CStrAW::FromPath(root / name), u"jpg", "", &size), 0) << name;
  }
  EXPECT_FALSE(fs::exists(root / "started")) << "a foreign program was started";
  // The libraries' coders for such content are gone, not merely skipped.
  for (const char* coder : {"PS", "EPS", "PDF", "SVG", "MVG", "MSL", "TXT", "URL"})
    EXPECT_EQ(MagickLib::GetMagickInfo(coder, nullptr), nullptr) << coder;
  std::string error;
  Magick::Image image;
  DecodeImageFile(CStrAW::FromPath(root / "many-components.j2c"), &image, &error);
  EXPECT_NE(error.find("components"), std::string::npos) << error;
  // Refused from the header: a decode of those planes would have taken gigabytes.
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  EXPECT_LT(usage.ru_maxrss, 600 * 1024) << "kilobytes at the peak";
}

TEST(CodecLayer, ANamedPipeInPlaceOfAnImageFailsAtOnce) {
  ScratchFolder folder;
  const fs::path root = CStrAW::ToPath(folder.MakeImage("probe.png", 4, 4)).parent_path();
  const fs::path pipe = root / "photo.jpg";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const MyString path = CStrAW::FromPath(pipe);
  // No writer ever opens the pipe: a blocking open would hang here.
  EXPECT_EQ(SniffImageFile(path), IK_UNKNOWN);
  std::string error;
  EXPECT_EQ(DecodeImageFile(path, nullptr, &error), 0);
  EXPECT_EQ(error, "not a regular file");
  SIZE size{};
  EXPECT_EQ(PingImageFile(path, u"jpg", "", &size), 0);
}

TEST(CodecLayer, AnHdfFileTheLibraryLoopsOnCostsOnlyItsLoad) {
  const fs::path data = fs::path(getenv("LORIMO_SOURCE_DIR")) / "app/tests/data";
  InitializeImageLibrary();
  SetHdfReadDeadline(1500);
  std::string error;
  Magick::Image image;
  EXPECT_EQ(DecodeImageFile(CStrAW::FromPath(data / "looping.hdf"), &image, &error), 0);
  EXPECT_EQ(error, "the HDF file takes too long to read");
  // The library is usable again at once, and a sound file reads as before.
  ASSERT_EQ(DecodeImageFile(CStrAW::FromPath(data / "palette8.hdf"), &image, &error), 1) << error;
  EXPECT_GT(image.columns(), 0u);
  SetHdfReadDeadline(kHdfReadDeadlineMs);
}

TEST(CodecLayer, ADamagedColourProfileLeavesThePixelsAsStored) {
  uint8_t bgra[] = {10, 20, 30, 255, 200, 100, 50, 128};
  const uint8_t stored[sizeof bgra] = {10, 20, 30, 255, 200, 100, 50, 128};
  const char garbage[] = "acspnot a profile at all, only its magic";
  std::string warning;
  EXPECT_EQ(ConvertBgraToSrgb(garbage, sizeof garbage, bgra, 2, &warning), 0);
  EXPECT_FALSE(warning.empty());
  EXPECT_TRUE(std::equal(bgra, bgra + sizeof bgra, stored));
}

namespace {

// A photo-like picture of an odd size (partial blocks at the edges, every
// turn distinguishable) with an ICC profile, a comment and an EXIF block
// saying orientation, written by GraphicsMagick.
std::string MakeExifJpeg(const fs::path& path, int orientation) {
  InitializeImageLibrary();
  Magick::Image image(Magick::Geometry(67, 45), Magick::Color("skyblue"));
  image.addNoise(Magick::GaussianNoise);
  image.fillColor(Magick::Color("red"));
  image.draw(Magick::DrawableRectangle(0, 0, 20, 10));
  std::unique_ptr<void, void (*)(void*)> srgb(cmsCreate_sRGBProfile(),
                                              [](void* p) { cmsCloseProfile(p); });
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(srgb.get(), nullptr, &size);
  std::string icc(size, '\0');
  cmsSaveProfileToMem(srgb.get(), icc.data(), &size);
  image.iccColorProfile(Magick::Blob(icc.data(), icc.size()));
  image.comment("taken by a test");
  image.quality(90);
  image.write(path.string());
  auto file = Exiv2::ImageFactory::open(path.string());
  file->readMetadata();
  file->exifData()["Exif.Image.Orientation"] = uint16_t(orientation);
  file->exifData()["Exif.Image.Make"] = "Lorimo tests";
  file->writeMetadata();
  return icc;
}

std::vector<uint8_t> Pixels(const Magick::Image& source, const char* map, Magick::StorageType type,
                            size_t bytesPerSample) {
  Magick::Image image = source;
  std::vector<uint8_t> out(image.columns() * image.rows() * std::strlen(map) * bytesPerSample);
  image.write(0, 0, image.columns(), image.rows(), map, type, out.data());
  return out;
}

std::string Profile(const Magick::Image& image, const char* name) {
  size_t length = 0;
  const unsigned char* data = MagickLib::GetImageProfile(image.constImage(), name, &length);
  return data ? std::string(reinterpret_cast<const char*>(data), length) : std::string();
}

// A photo with a restart marker every MCU row, written with libjpeg.
std::string RestartJpeg(int width, int height) {
  std::vector<uint8_t> rgb(size_t(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
      p[0] = uint8_t(x * 255 / width);
      p[1] = uint8_t(y * 255 / height);
      p[2] = uint8_t((x ^ y) & 0xFF);
    }
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  cinfo.restart_in_rows = 1;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = &rgb[size_t(cinfo.next_scanline) * width * 3];
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string bytes(reinterpret_cast<const char*>(buffer), size);
  free(buffer);
  return bytes;
}

}  // namespace

// A photo read as 8-bit pixels is the picture GraphicsMagick reads, turned
// upright the same way for every orientation; the 16-bit image made from
// those pixels for editing carries the same pixels, profiles and comment.
TEST(CodecLayer, PhotoPixelsAndTheImageMadeFromThemMatchGraphicsMagicksRead) {
  ScratchFolder folder;
  for (int orientation = 1; orientation <= 8; ++orientation) {
    SCOPED_TRACE(orientation);
    const fs::path path = folder.Path() / ("photo" + std::to_string(orientation) + ".jpg");
    const std::string icc = MakeExifJpeg(path, orientation);
    Magick::Image expected;
    expected.read(path.string());
    ASSERT_EQ(TurnUpright(&expected, orientation), 1);

    CImageReadRequest request;
    request.path = CStrAW::FromPath(path);
    request.extension = u"jpg";
    request.bUpright = true;
    request.bPixels = true;
    CImageReadResult light;
    ASSERT_EQ(ReadImageFile(request, &light), 1);
    ASSERT_TRUE(light.picture);
    EXPECT_FALSE(light.image.isValid());
    EXPECT_EQ(light.nOrientation, orientation);
    ASSERT_EQ(size_t(light.picture->nWidth), expected.columns());
    ASSERT_EQ(size_t(light.picture->nHeight), expected.rows());
    const std::vector<uint8_t> bgra = Pixels(expected, "BGRA", Magick::CharPixel, 1);
    EXPECT_TRUE(std::equal(bgra.begin(), bgra.end(), light.picture->pPixels.get()));
    size_t iccLength = 0;
    const void* embedded = light.picture->IccProfile(&iccLength);
    EXPECT_EQ(std::string(static_cast<const char*>(embedded), iccLength), icc);

    request.bPixels = false;
    CImageReadResult full;
    ASSERT_EQ(ReadImageFile(request, &full), 1);
    EXPECT_FALSE(full.picture);
    Magick::Image made;
    ASSERT_EQ(MakeImageFromPixels(*light.picture, &made), 1);
    for (const Magick::Image* image : {&full.image, &made}) {
      EXPECT_EQ(Pixels(*image, "RGB", Magick::ShortPixel, 2),
                Pixels(expected, "RGB", Magick::ShortPixel, 2));
      EXPECT_EQ(Profile(*image, "ICM"), Profile(expected, "ICM"));
      EXPECT_EQ(Profile(*image, "EXIF"), Profile(expected, "EXIF"));
      EXPECT_EQ(image->comment(), "taken by a test");
      EXPECT_EQ(image->magick(), "JPEG");
      EXPECT_EQ(image->depth(), 8u);
    }
  }
}

// A damaged restart marker costs the rows up to the next one, not the
// picture: it is read with the decoder's warning, full size and direct or
// as pixels alike.
TEST(CodecLayer, APhotoWithADamagedRestartMarkerIsReadWithItsWarning) {
  InitializeImageLibrary();
  ScratchFolder folder;
  std::string bytes = RestartJpeg(320, 240);
  const size_t scan = bytes.find("\xFF\xDA");
  const size_t marker = bytes.find("\xFF\xD3", scan);
  ASSERT_NE(marker, std::string::npos);
  bytes[marker + 1] = char(0xD6);
  const fs::path path = folder.Path() / "damaged.jpg";
  {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  for (bool pixels : {true, false}) {
    CImageReadRequest request;
    request.path = CStrAW::FromPath(path);
    request.extension = u"jpg";
    request.bPixels = pixels;
    CImageReadResult result;
    ASSERT_EQ(ReadImageFile(request, &result), 1) << result.error;
    ASSERT_EQ(bool(result.picture), pixels);
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_NE(result.warnings[0].find("Corrupt JPEG data"), std::string::npos)
        << result.warnings[0];
    const size_t width = pixels ? size_t(result.picture->nWidth) : result.image.columns();
    EXPECT_EQ(width, 320u);
    // The rows below the damage are decoded again: the bottom right corner
    // keeps its colour (blue of x ^ y, red and green near full).
    uint8_t corner[4];
    if (pixels)
      std::memcpy(corner, result.picture->pPixels.get() + (size_t(239) * 320 + 300) * 4, 4);
    else
      result.image.write(300, 239, 1, 1, "BGRA", Magick::CharPixel, corner);
    EXPECT_NEAR(corner[2], 300 * 255 / 320, 6);
    EXPECT_NEAR(corner[1], 239 * 255 / 240, 6);
  }
}

// With the monitor's own profile set, an embedded profile is converted to
// it, not to sRGB: a picture in the monitor's space stays as stored. A
// broken monitor profile is refused with a reason and sRGB stays.
TEST(CodecLayer, EmbeddedProfilesGoToTheMonitorsProfileWhenItHasOne) {
  const std::string adobe = testsupport::AdobeRgbProfile();
  const uint8_t stored[8] = {30, 200, 60, 255, 60, 90, 210, 255};
  uint8_t toSrgb[8];
  std::memcpy(toSrgb, stored, 8);
  ASSERT_EQ(ConvertBgraToSrgb(adobe.data(), adobe.size(), toSrgb, 2), 1);
  // Adobe RGB's wider gamut: in sRGB the same colours take other values.
  int moved = 0;
  for (int i = 0; i < 8; ++i) moved += std::abs(int(toSrgb[i]) - int(stored[i]));
  EXPECT_GT(moved, 30);

  ASSERT_EQ(SetDisplayProfile(adobe), 1);
  uint8_t toMonitor[8];
  std::memcpy(toMonitor, stored, 8);
  EXPECT_EQ(ConvertBgraToSrgb(adobe.data(), adobe.size(), toMonitor, 2), 1);
  for (int i = 0; i < 8; ++i) EXPECT_NEAR(toMonitor[i], stored[i], 1) << i;

  const char broken[] = "acspnot a profile at all, only its magic";
  std::string warning;
  EXPECT_EQ(SetDisplayProfile(std::string(broken, sizeof broken), &warning), 0);
  EXPECT_FALSE(warning.empty());
  // The one taken before stays; an empty one means sRGB again.
  std::memcpy(toMonitor, stored, 8);
  ConvertBgraToSrgb(adobe.data(), adobe.size(), toMonitor, 2);
  EXPECT_NEAR(toMonitor[4], stored[4], 1);
  ASSERT_EQ(SetDisplayProfile(std::string()), 1);
  std::memcpy(toMonitor, stored, 8);
  ConvertBgraToSrgb(adobe.data(), adobe.size(), toMonitor, 2);
  EXPECT_TRUE(std::equal(toMonitor, toMonitor + 8, toSrgb));
}

// A picture without an EXIF block (made from pixels, say) still turns.
TEST(CodecLayer, APictureWithoutExifTurnsUpright) {
  InitializeImageLibrary();
  Magick::Image image(Magick::Geometry(4, 2), Magick::Color("red"));
  image.pixelColor(0, 0, Magick::Color("blue"));
  ASSERT_EQ(TurnUpright(&image, 6), 1);
  EXPECT_EQ(image.columns(), 2u);
  EXPECT_EQ(image.rows(), 4u);
  EXPECT_EQ(Magick::ColorRGB(image.pixelColor(1, 0)).blue(), 1.0);
}
