// The codec layer used as background work uses it: reads on several threads
// at once, each with its own progress and Cancel, beside a held load slot.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include "codecs/colourprofile.h"
#include "codecs/decodeprogress.h"
#include "codecs/hdfcodec.h"
#include "codecs/imagelibrary.h"
#include "codecs/imagereader.h"
#include "codecs/librarylog.h"
#include "corekit/loadslot.h"
#include "corekit/straw.h"

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
