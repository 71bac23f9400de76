#include "codecs/losslessjpeg.h"

#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

#include <Magick++.h>
#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

const bool gbMagickReady = [] {
  Magick::InitializeMagick(nullptr);
  return true;
}();

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

// A JPEG with detail in every block, a comment, and (for orientation > 0)
// EXIF with that orientation plus IPTC, in the given byte order.
void MakeJpeg(const fs::path& path, int width, int height, int orientation,
              Exiv2::ByteOrder order = Exiv2::littleEndian, bool progressive = false) {
  Magick::Image image(Magick::Geometry(width, height), Magick::Color("white"));
  image.modifyImage();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.pixelColor(
          x, y,
          Magick::ColorRGB((x * 7 % 61) / 61.0, (y * 5 % 45) / 45.0, ((x + 3 * y) % 13) / 13.0));
  image.quality(90);
  image.comment("made by the lossless test");
  if (progressive) image.interlaceType(Magick::LineInterlace);
  image.write(path.string());
  if (orientation <= 0) return;
  auto file = Exiv2::ImageFactory::open(path.string());
  file->readMetadata();
  file->exifData()["Exif.Image.Make"] = "Lorimo test camera";
  file->exifData()["Exif.Image.Orientation"] = uint16_t(orientation);
  file->exifData()["Exif.Photo.DateTimeOriginal"] = "2020:02:02 10:20:30";
  file->iptcData()["Iptc.Application2.Caption"] = "a caption";
  file->setByteOrder(order);
  file->writeMetadata();
}

bool RunJpegtran(const QStringList& arguments) {
  QProcess process;
  process.start("jpegtran", arguments);
  return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

QStringList JpegtranOperation(int code) {
  switch (code) {
    case LT_ROTATE90:
      return {"-rotate", "90"};
    case LT_ROTATE180:
      return {"-rotate", "180"};
    case LT_ROTATE270:
      return {"-rotate", "270"};
    case LT_FLIPH:
      return {"-flip", "horizontal"};
    case LT_FLIPV:
      return {"-flip", "vertical"};
    default:
      return {};
  }
}

bool Jpegtran(const fs::path& in, const fs::path& out, int code, bool trim) {
  QStringList arguments{"-copy", "all"};
  if (trim) arguments << "-trim";
  arguments << JpegtranOperation(code) << "-outfile" << QString::fromStdString(out.string())
            << QString::fromStdString(in.string());
  return RunJpegtran(arguments);
}

struct MARKERSEGMENT {
  int nMarker;
  std::string bytes;  // marker, length and payload
};

// The segments up to the first scan, and the rest of the file.
std::vector<MARKERSEGMENT> Segments(const std::string& jpeg, std::string* rest) {
  std::vector<MARKERSEGMENT> segments;
  size_t pos = 2;
  while (pos + 4 <= jpeg.size() && uint8_t(jpeg[pos]) == 0xFF) {
    const int marker = uint8_t(jpeg[pos + 1]);
    const size_t length = size_t(uint8_t(jpeg[pos + 2])) << 8 | uint8_t(jpeg[pos + 3]);
    segments.push_back({marker, jpeg.substr(pos, 2 + length)});
    pos += 2 + length;
    if (marker == 0xDA) break;
  }
  *rest = jpeg.substr(std::min(pos, jpeg.size()));
  return segments;
}

bool IsExifSegment(const MARKERSEGMENT& segment) {
  return segment.nMarker == 0xE1 && segment.bytes.compare(4, 6, std::string("Exif\0\0", 6)) == 0;
}

std::string Pixels(const fs::path& path) {
  Magick::Image image(path.string());
  Magick::Blob blob;
  image.magick("RGB");
  image.depth(8);
  image.write(&blob);
  return std::string(static_cast<const char*>(blob.data()), blob.length());
}

// Ours and jpegtran's output are the same but for the orientation value,
// which ours has turned.
void ExpectSameAsJpegtran(const fs::path& ours, const fs::path& reference, int orientation,
                          int code) {
  const std::string a = testsupport::ReadFile(ours);
  const std::string b = testsupport::ReadFile(reference);
  std::string restA, restB;
  const auto segmentsA = Segments(a, &restA);
  const auto segmentsB = Segments(b, &restB);
  ASSERT_EQ(segmentsA.size(), segmentsB.size());
  for (size_t i = 0; i < segmentsA.size(); ++i) {
    ASSERT_EQ(segmentsA[i].nMarker, segmentsB[i].nMarker) << "segment " << i;
    if (!IsExifSegment(segmentsA[i])) {
      EXPECT_EQ(segmentsA[i].bytes, segmentsB[i].bytes) << "segment " << i;
      continue;
    }
    const std::string& exifA = segmentsA[i].bytes;
    const std::string& exifB = segmentsB[i].bytes;
    ASSERT_EQ(exifA.size(), exifB.size());
    int differences = 0;
    for (size_t k = 0; k < exifA.size(); ++k) differences += exifA[k] != exifB[k];
    EXPECT_LE(differences, 2) << "only the orientation value changes";
  }
  EXPECT_EQ(restA, restB) << "scan data";
  EXPECT_EQ(ReadExifOrientation(b), orientation > 0 ? orientation : 0);
  EXPECT_EQ(ReadExifOrientation(a), orientation > 0 ? MapExifOrientation(orientation, code) : 0);
  EXPECT_EQ(Pixels(ours), Pixels(reference));
}

// --- The orientation tables ---

using Grid = std::vector<std::vector<int>>;

Grid Transpose(const Grid& g) {
  Grid out(g[0].size(), std::vector<int>(g.size()));
  for (size_t y = 0; y < g.size(); ++y)
    for (size_t x = 0; x < g[0].size(); ++x) out[x][y] = g[y][x];
  return out;
}
Grid FlipH(Grid g) {
  for (auto& row : g) std::reverse(row.begin(), row.end());
  return g;
}
Grid FlipV(Grid g) {
  std::reverse(g.begin(), g.end());
  return g;
}
Grid Rotate90(const Grid& g) { return FlipH(Transpose(g)); }

Grid Apply(int code, const Grid& g) {
  switch (code) {
    case LT_ROTATE90:
      return Rotate90(g);
    case LT_ROTATE180:
      return Rotate90(Rotate90(g));
    case LT_ROTATE270:
      return Rotate90(Rotate90(Rotate90(g)));
    case LT_FLIPH:
      return FlipH(g);
    case LT_FLIPV:
      return FlipV(g);
    default:
      return g;
  }
}

// What a viewer that honours EXIF does to show stored pixels upright.
Grid Upright(int orientation, const Grid& g) {
  switch (orientation) {
    case 2:
      return FlipH(g);
    case 3:
      return Apply(LT_ROTATE180, g);
    case 4:
      return FlipV(g);
    case 5:
      return Transpose(g);
    case 6:
      return Rotate90(g);
    case 7:
      return Apply(LT_ROTATE180, Transpose(g));  // transverse
    case 8:
      return Apply(LT_ROTATE270, g);
    default:
      return g;
  }
}

TEST(MapExifOrientationTest, TheTagKeepsDescribingTheSameScene) {
  const Grid stored = {{1, 2, 3}, {4, 5, 6}};
  for (int code = LT_ROTATE90; code <= LT_FLIPV; ++code)
    for (int orientation = 1; orientation <= 8; ++orientation) {
      const int mapped = MapExifOrientation(orientation, code);
      EXPECT_EQ(Upright(mapped, Apply(code, stored)), Upright(orientation, stored))
          << "code " << code << " orientation " << orientation;
    }
}

TEST(MapExifOrientationTest, OtherValuesAndTheCopyStayAsTheyAre) {
  for (int value : {0, 9, 255, -1}) EXPECT_EQ(MapExifOrientation(value, LT_ROTATE90), value);
  for (int value = 1; value <= 8; ++value) EXPECT_EQ(MapExifOrientation(value, LT_NONE), value);
}

// --- Against jpegtran ---

class LosslessAgainstJpegtranTest : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(LosslessAgainstJpegtranTest, EveryOrientationAndSize) {
  const auto [code, trim] = GetParam();
  const fs::path dir = testsupport::NewTempDir();
  struct Shape {
    int w, h;
    bool progressive;
  };
  // A whole number of 16-pixel blocks, and partial blocks on both edges.
  for (const Shape shape : {Shape{64, 48, false}, Shape{61, 45, false}, Shape{45, 61, true}})
    for (int orientation = 0; orientation <= 8; ++orientation) {
      SCOPED_TRACE(testing::Message()
                   << shape.w << "x" << shape.h << " orientation " << orientation);
      const fs::path source = dir / "source.jpg";
      const fs::path ours = dir / "ours.jpg";
      const fs::path reference = dir / "reference.jpg";
      MakeJpeg(source, shape.w, shape.h, orientation,
               orientation % 2 ? Exiv2::littleEndian : Exiv2::bigEndian, shape.progressive);
      const std::string before = testsupport::ReadFile(source);

      CLosslessJpeg transform;
      ASSERT_EQ(transform.Transform(W(source), W(ours), code, trim), 1)
          << transform.GetLastError().ToUtf8();
      ASSERT_TRUE(Jpegtran(source, reference, code, trim));
      EXPECT_EQ(testsupport::ReadFile(source), before) << "the source is only read";
      ExpectSameAsJpegtran(ours, reference, orientation, code);
      fs::remove(ours);
      fs::remove(reference);
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, LosslessAgainstJpegtranTest,
                         ::testing::Combine(::testing::Values(LT_NONE, LT_ROTATE90, LT_ROTATE180,
                                                              LT_ROTATE270, LT_FLIPH, LT_FLIPV),
                                            ::testing::Bool()));

// --- In place ---

TEST(LosslessJpegTest, InPlaceReplacesTheFileAndLeavesNoTemporary) {
  const fs::path dir = testsupport::NewTempDir();
  const fs::path file = dir / "photo.JPEG";
  const fs::path reference = dir / "reference.jpg";
  MakeJpeg(file, 61, 45, 6);
  ASSERT_TRUE(Jpegtran(file, reference, LT_ROTATE90, false));
  fs::permissions(file, fs::perms(0640), fs::perm_options::replace);

  CLosslessJpeg transform;
  ASSERT_EQ(transform.Transform(W(file), MyString(), LT_ROTATE90, false), 1);
  ExpectSameAsJpegtran(file, reference, 6, LT_ROTATE90);
  EXPECT_EQ(ReadExifOrientation(testsupport::ReadFile(file)), 1);
  EXPECT_FALSE(fs::exists(dir / "photo.JPEGJPGT"));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms(0640));

  // Naming the source as the target is the same.
  ASSERT_EQ(transform.Transform(W(file), W(file), LT_ROTATE270, false), 1);
  EXPECT_EQ(ReadExifOrientation(testsupport::ReadFile(file)), 6);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

TEST(LosslessJpegTest, InPlaceThroughALinkRotatesTheFileAndKeepsTheLink) {
  const fs::path dir = testsupport::NewTempDir();
  const fs::path file = dir / "real.jpg";
  const fs::path link = dir / "link.jpg";
  MakeJpeg(file, 32, 16, 1);
  fs::create_symlink(file, link);
  CLosslessJpeg transform;
  ASSERT_EQ(transform.Transform(W(link), MyString(), LT_ROTATE90, false), 1);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Magick::Image(file.string()).columns(), 16u);
  EXPECT_FALSE(fs::exists(dir / "real.jpgJPGT"));
}

// The height of the source's blocks (8 or 16 rows, by its colour sampling).
int BlockHeight(const fs::path& path) {
  const std::string jpeg = testsupport::ReadFile(path);
  tjhandle handle = tjInitDecompress();
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  const int status =
      tjDecompressHeader3(handle, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size(),
                          &width, &height, &subsampling, &colourspace);
  tjDestroy(handle);
  return status == 0 ? tjMCUHeight[subsampling] : 0;
}

TEST(LosslessJpegTest, TrimDropsTheEdgesThatCannotMove) {
  const fs::path dir = testsupport::NewTempDir();
  MakeJpeg(dir / "a.jpg", 61, 45, 0);
  const int block = BlockHeight(dir / "a.jpg");
  ASSERT_GT(block, 0);
  ASSERT_NE(45 % block, 0);
  CLosslessJpeg transform;
  ASSERT_EQ(transform.Transform(W(dir / "a.jpg"), W(dir / "trim.jpg"), LT_ROTATE90, true), 1);
  ASSERT_EQ(transform.Transform(W(dir / "a.jpg"), W(dir / "keep.jpg"), LT_ROTATE90, false), 1);
  const Magick::Image trimmed((dir / "trim.jpg").string());
  const Magick::Image kept((dir / "keep.jpg").string());
  EXPECT_EQ(kept.columns(), 45u);
  EXPECT_EQ(kept.rows(), 61u);
  // The partial block of the bottom rows would become the left edge.
  EXPECT_EQ(trimmed.columns(), unsigned(45 / block * block));
  EXPECT_EQ(trimmed.rows(), 61u);
}

// --- Failures leave everything as it was ---

enum DAMAGE { D_TRUNCATED, D_EARLY_END, D_BROKEN_FRAME, D_NOT_JPEG, D_EMPTY };

void PrintTo(DAMAGE damage, std::ostream* os) {
  static const char* const names[] = {"truncated", "early end", "broken frame", "not a JPEG",
                                      "empty"};
  *os << names[damage];
}

class LosslessDamageTest : public ::testing::TestWithParam<DAMAGE> {};

std::string Damage(std::string jpeg, DAMAGE damage) {
  std::string rest;
  const auto segments = Segments(jpeg, &rest);
  const size_t scan = jpeg.size() - rest.size();
  switch (damage) {
    case D_TRUNCATED:
      return jpeg.substr(0, scan + rest.size() / 2);
    case D_EARLY_END:
      return jpeg.substr(0, scan + 40) + "\xFF\xD9";
    case D_BROKEN_FRAME:
      for (const auto& segment : segments)
        if (segment.nMarker == 0xC0) {
          // Zero components in the frame header.
          const size_t at = jpeg.find(segment.bytes);
          jpeg[at + 9] = 0;
        }
      return jpeg;
    case D_NOT_JPEG:
      return "this is not a picture at all";
    case D_EMPTY:
      return "";
  }
  return jpeg;
}

TEST_P(LosslessDamageTest, FailsWithoutTouchingTheOriginal) {
  const fs::path dir = testsupport::NewTempDir();
  const fs::path good = dir / "good.jpg";
  MakeJpeg(good, 64, 48, 3);
  const fs::path file = dir / "damaged.jpg";
  testsupport::WriteFile(file, Damage(testsupport::ReadFile(good), GetParam()));
  fs::remove(good);
  const std::string before = testsupport::ReadFile(file);

  CLosslessJpeg transform;
  EXPECT_EQ(transform.Transform(W(file), MyString(), LT_ROTATE90, false), 0);
  EXPECT_FALSE(transform.GetLastError().IsEmpty());
  EXPECT_EQ(testsupport::ReadFile(file), before);
  EXPECT_EQ(transform.Transform(W(file), W(dir / "out.jpg"), LT_FLIPH, true), 0);
  EXPECT_EQ(testsupport::ReadFile(file), before);
  // Nothing else appeared: no temporary, no partial target.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Kinds, LosslessDamageTest,
                         ::testing::Values(D_TRUNCATED, D_EARLY_END, D_BROKEN_FRAME, D_NOT_JPEG,
                                           D_EMPTY));

TEST(LosslessJpegTest, MissingSourceUnwritableTargetAndUnknownCodeFail) {
  const fs::path dir = testsupport::NewTempDir();
  const fs::path file = dir / "a.jpg";
  MakeJpeg(file, 16, 16, 1);
  const std::string before = testsupport::ReadFile(file);
  CLosslessJpeg transform;
  EXPECT_EQ(transform.Transform(W(dir / "missing.jpg"), MyString(), LT_ROTATE90, false), 0);
  EXPECT_EQ(transform.Transform(W(dir), MyString(), LT_ROTATE90, false), 0);
  EXPECT_EQ(transform.Transform(W(file), MyString(), 8, false), 0);
  EXPECT_EQ(transform.Transform(W(file), W(dir / "no" / "such" / "b.jpg"), LT_FLIPV, false), 0);

  // An existing read-only target is not replaced.
  const fs::path target = dir / "target.jpg";
  testsupport::WriteFile(target, "keep me");
  fs::permissions(target, fs::perms(0444), fs::perm_options::replace);
  if (::access(target.c_str(), W_OK) != 0) {
    EXPECT_EQ(transform.Transform(W(file), W(target), LT_ROTATE90, false), 0);
    EXPECT_EQ(testsupport::ReadFile(target), "keep me");
  }
  EXPECT_EQ(testsupport::ReadFile(file), before);
}

TEST(LosslessJpegTest, NamesThatMayHaveBeenPlantedAreNeitherReadNorWrittenThrough) {
  const fs::path dir = testsupport::NewTempDir();
  const fs::path file = dir / "a.jpg";
  MakeJpeg(file, 32, 16, 1);
  const std::string before = testsupport::ReadFile(file);
  const fs::path keys = testsupport::NewTempDir("home") / "authorized_keys";
  testsupport::WriteFile(keys, "ssh-ed25519 mine\n");

  // A new copy: a link at its name, even one back to the source, is no
  // free name.
  fs::create_symlink(keys, dir / "a_1.jpg");
  fs::create_symlink(file, dir / "a_2.jpg");
  CLosslessJpeg copy;
  copy.nTargetRule = AT_CREATE_NEW;
  EXPECT_EQ(copy.Transform(W(file), W(dir / "a_1.jpg"), LT_ROTATE90, false), 0);
  EXPECT_EQ(copy.Transform(W(file), W(dir / "a_2.jpg"), LT_ROTATE90, false), 0);
  ASSERT_EQ(copy.Transform(W(file), W(dir / "a_3.jpg"), LT_ROTATE90, false), 1);
  EXPECT_EQ(Magick::Image((dir / "a_3.jpg").string()).columns(), 16u);
  EXPECT_EQ(testsupport::ReadFile(keys), "ssh-ed25519 mine\n");
  EXPECT_EQ(testsupport::ReadFile(file), before);

  // In place: the source must still be the file that was opened.
  CLosslessJpeg inPlace;
  ASSERT_EQ(GetFileIdentity(W(file), &inPlace.expectedSource), 1);
  fs::rename(file, dir / "moved.jpg");
  fs::copy_file(dir / "moved.jpg", file);
  EXPECT_EQ(inPlace.Transform(W(file), MyString(), LT_ROTATE90, false), 0);
  EXPECT_EQ(testsupport::ReadFile(file), before);

  // A finishing step that fails leaves nothing written.
  CLosslessJpeg finished;
  finished.finish = [](std::string&, MyString* error) {
    *error = u"no room for the block";
    return 0;
  };
  EXPECT_EQ(finished.Transform(W(file), MyString(), LT_ROTATE90, false), 0);
  EXPECT_EQ(finished.GetLastError(), MyString(u"no room for the block"));
  EXPECT_EQ(testsupport::ReadFile(file), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 5);
}

TEST(LosslessJpegTest, WaitsForTheLoadSlotAndGivesUpOnStop) {
  const fs::path dir = testsupport::NewTempDir();
  const fs::path file = dir / "a.jpg";
  MakeJpeg(file, 32, 32, 1);
  const std::string before = testsupport::ReadFile(file);

  CStopEvent stop;
  CLoadSlot slot(stop);
  ASSERT_EQ(slot.Acquire(), 1);  // a decode is running
  int result = -1;
  std::thread worker([&] {
    CLosslessJpeg transform(slot, stop);
    result = transform.Transform(CStrAW::FromPath(file), MyString(), LT_ROTATE90, false);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(result, -1) << "still waiting for the slot";
  stop.Set();
  worker.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(testsupport::ReadFile(file), before);
  slot.Release();

  // Once the program is closing no transform starts.
  CLosslessJpeg late(slot, stop);
  EXPECT_EQ(late.Transform(W(file), W(dir / "b.jpg"), LT_ROTATE90, false), 0);
  EXPECT_FALSE(fs::exists(dir / "b.jpg"));

  // With the slot free it runs and gives the slot back.
  stop.Reset();
  CLosslessJpeg ready(slot, stop);
  EXPECT_EQ(ready.Transform(W(file), W(dir / "b.jpg"), LT_ROTATE90, false), 1);
  EXPECT_EQ(slot.TryAcquire(), 1);
  slot.Release();
}

// --- A progressive file with very many scans ---

struct SCANFILE {
  std::string header;               // up to and with the frame header
  std::vector<std::string> chunks;  // each scan with the tables before it
};

SCANFILE SplitScans(const std::string& jpeg) {
  SCANFILE file{jpeg.substr(0, 2), {}};
  std::string current;
  size_t pos = 2;
  while (pos + 4 <= jpeg.size() && uint8_t(jpeg[pos]) == 0xFF && uint8_t(jpeg[pos + 1]) != 0xD9) {
    const int marker = uint8_t(jpeg[pos + 1]);
    const size_t length = size_t(uint8_t(jpeg[pos + 2])) << 8 | uint8_t(jpeg[pos + 3]);
    const std::string segment = jpeg.substr(pos, 2 + length);
    pos += 2 + length;
    if (file.chunks.empty() && current.empty() && marker != 0xC4 && marker != 0xDA) {
      file.header += segment;
      continue;
    }
    current += segment;
    if (marker != 0xDA) continue;
    const size_t start = pos;
    while (pos + 1 < jpeg.size() &&
           !(uint8_t(jpeg[pos]) == 0xFF && jpeg[pos + 1] != 0 &&
             !(uint8_t(jpeg[pos + 1]) >= 0xD0 && uint8_t(jpeg[pos + 1]) <= 0xD7)))
      ++pos;
    current += jpeg.substr(start, pos - start);
    file.chunks.push_back(current);
    current.clear();
  }
  return file;
}

// A valid progressive greyscale JPEG of 64 + 63 x 10 = 694 scans: every
// coefficient is sent on its own and then refined bit by bit. jpegtran
// takes at most 100 scans per script, so files that share the first 64
// scans and refine different coefficients are spliced together.
std::string ManyScanJpeg(const fs::path& dir) {
  Magick::Image grey(Magick::Geometry(64, 64), Magick::Color("white"));
  grey.modifyImage();
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) grey.pixelColor(x, y, Magick::ColorGray(((x * y) % 17) / 17.0));
  grey.type(Magick::GrayscaleType);
  grey.quality(95);
  grey.write((dir / "grey.jpg").string());

  std::string prefix = "0: 0 0 0 0;\n";
  for (int k = 1; k <= 63; ++k)
    prefix += "0: " + std::to_string(k) + " " + std::to_string(k) + " 0 10;\n";
  SCANFILE spliced;
  for (int first = 1; first <= 63; first += 3) {
    std::string script = prefix;
    for (int k = first; k < first + 3; ++k)
      for (int bit = 9; bit >= 0; --bit)
        script += "0: " + std::to_string(k) + " " + std::to_string(k) + " " +
                  std::to_string(bit + 1) + " " + std::to_string(bit) + ";\n";
    testsupport::WriteFile(dir / "script.txt", script);
    const fs::path part = dir / "part.jpg";
    if (!RunJpegtran({"-scans", QString::fromStdString((dir / "script.txt").string()), "-outfile",
                      QString::fromStdString(part.string()),
                      QString::fromStdString((dir / "grey.jpg").string())}))
      return {};
    const SCANFILE file = SplitScans(testsupport::ReadFile(part));
    if (file.chunks.size() != 94) return {};
    if (spliced.chunks.empty()) {
      spliced = file;
    } else {
      if (file.header != spliced.header) return {};
      spliced.chunks.insert(spliced.chunks.end(), file.chunks.begin() + 64, file.chunks.end());
    }
  }
  std::string jpeg = spliced.header;
  for (const std::string& chunk : spliced.chunks) jpeg += chunk;
  return jpeg + "\xFF\xD9";
}

TEST(LosslessJpegTest, AFileWithTooManyScansIsRefused) {
  const fs::path dir = testsupport::NewTempDir();
  const std::string jpeg = ManyScanJpeg(dir);
  ASSERT_FALSE(jpeg.empty());
  const fs::path file = dir / "many.jpg";
  testsupport::WriteFile(file, jpeg);
  // Valid: jpegtran, which sets no limit here, turns it without a warning.
  ASSERT_TRUE(RunJpegtran({"-strict", "-rotate", "90", "-outfile",
                           QString::fromStdString((dir / "turned.jpg").string()),
                           QString::fromStdString(file.string())}));
  CLosslessJpeg transform;
  EXPECT_EQ(transform.Transform(W(file), MyString(), LT_ROTATE90, false), 0);
  EXPECT_NE(transform.GetLastError().ToUtf8().find("scans"), std::string::npos)
      << transform.GetLastError().ToUtf8();
  EXPECT_EQ(testsupport::ReadFile(file), jpeg);
}

// --- The orientation update on its own ---

TEST(UpdateExifOrientationTest, ChangesOnlyTheTagAndKeepsTheByteOrder) {
  const fs::path dir = testsupport::NewTempDir();
  for (Exiv2::ByteOrder order : {Exiv2::littleEndian, Exiv2::bigEndian}) {
    MakeJpeg(dir / "a.jpg", 16, 16, 5, order);
    const std::string before = testsupport::ReadFile(dir / "a.jpg");
    std::string jpeg = before;
    EXPECT_EQ(UpdateExifOrientation(jpeg, LT_NONE), 0);
    EXPECT_EQ(jpeg, before);
    ASSERT_EQ(UpdateExifOrientation(jpeg, LT_FLIPH), 1);
    ASSERT_EQ(jpeg.size(), before.size());
    size_t differences = 0;
    for (size_t i = 0; i < jpeg.size(); ++i) differences += jpeg[i] != before[i];
    EXPECT_EQ(differences, 1u);
    EXPECT_EQ(ReadExifOrientation(jpeg), 8);
    testsupport::WriteFile(dir / "b.jpg", jpeg);
    auto file = Exiv2::ImageFactory::open((dir / "b.jpg").string());
    file->readMetadata();
    EXPECT_EQ(file->byteOrder(), order);
    EXPECT_EQ(file->exifData()["Exif.Image.Make"].toString(), "Lorimo test camera");
    EXPECT_EQ(file->iptcData()["Iptc.Application2.Caption"].toString(), "a caption");
  }
}

TEST(UpdateExifOrientationTest, NothingToChange) {
  const fs::path dir = testsupport::NewTempDir();
  MakeJpeg(dir / "plain.jpg", 16, 16, 0);
  std::string plain = testsupport::ReadFile(dir / "plain.jpg");
  EXPECT_EQ(UpdateExifOrientation(plain, LT_ROTATE90), 0);
  EXPECT_EQ(ReadExifOrientation(plain), 0);

  // A value outside 1..8 is left alone.
  MakeJpeg(dir / "odd.jpg", 16, 16, 9);
  std::string odd = testsupport::ReadFile(dir / "odd.jpg");
  EXPECT_EQ(UpdateExifOrientation(odd, LT_ROTATE90), 0);
  EXPECT_EQ(ReadExifOrientation(odd), 9);

  static const char kGarbage[] =
      "\xFF\xD8\xFF\xE1\x00\x0E"
      "Exif\0\0"
      "II*\0\xFF\xFF";
  std::string garbage(kGarbage, sizeof kGarbage - 1);
  EXPECT_EQ(UpdateExifOrientation(garbage, LT_ROTATE90), 0);
  std::string empty;
  EXPECT_EQ(UpdateExifOrientation(empty, LT_ROTATE90), 0);
}

}  // namespace
