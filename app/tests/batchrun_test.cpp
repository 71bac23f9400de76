// Batch runs on real pictures into real folders, each log read back line by
// line: conversions with two workers (order kept, collisions, unreadable
// files, a second run that finds every target), renaming copies (times
// kept, a file vanishing mid-run), and destinations that refuse.
#include "collections/batchrun.h"

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <Magick++.h>
#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

const std::string kDashes(48, '-');

MyString Path(const fs::path& path) { return MyString::FromUtf8(path.string()); }

void MakeImage(const fs::path& path, size_t width, size_t height) {
  InitializeImageLibrary();
  Magick::Image image(Magick::Geometry(width, height), Magick::Color("tomato"));
  image.write(path.string());
}

// The log's lines; every one must end with CR LF.
std::vector<std::string> LogLines(const fs::path& path) {
  const std::string text = testsupport::ReadFile(path);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "line without CR LF: " << text.substr(start);
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> Done(int k, const fs::path& source, const fs::path& target,
                              const char* verb) {
  return {std::to_string(k) + " Successful " + verb + " of source file: " + source.string(),
          "To: " + target.string(), kDashes};
}

std::vector<std::string> Failed(int k, const fs::path& source, const fs::path& target,
                                const std::string& reason, const char* verb) {
  return {std::to_string(k) + " Error " + verb + " source file: " + source.string() + ".",
          "Destination file: " + target.string(), reason, kDashes};
}

std::vector<std::string> Log(std::vector<std::vector<std::string>> records) {
  std::vector<std::string> lines = {"Conversion begins ...", kDashes};
  for (auto& r : records) lines.insert(lines.end(), r.begin(), r.end());
  lines.push_back("Coversion ended here!");
  return lines;
}

class BatchRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testsupport::NewTempDir("batch");
    src = dir / "src";
    other = dir / "other";
    out = dir / "out";
    fs::create_directories(src);
    fs::create_directories(other);
    fs::create_directories(out);
  }
  fs::path dir, src, other, out;
};

TEST_F(BatchRunTest, ConversionLogsEveryFileInOrderAndNeverOverwrites) {
  MakeImage(src / "a.jpg", 64, 48);
  MakeImage(src / "b.bmp", 300, 200);
  testsupport::WriteFile(src / "broken.jpg", "not a picture at all");
  MakeImage(other / "a.png", 20, 20);  // meets src/a.jpg at out/a.PNG
  MakeImage(src / "c.tif", 30, 10);
  MyStringList sources;
  for (const fs::path& p :
       {src / "a.jpg", src / "b.bmp", src / "broken.jpg", other / "a.png", src / "c.tif"})
    sources.Append(Path(p));

  tagBATCHSETTINGS settings;
  settings.bConvert = true;
  settings.format = u"PNG";
  settings.bResize = true;
  settings.resize.bShrink = true;
  settings.resize.dwWidth = 100;
  settings.resize.dwHeight = 100;
  settings.destination = Path(out);
  settings.nWorkers = 2;
  std::vector<size_t> order;
  {
    CBatchRun run(settings, sources);
    run.onRecord = [&order](const tagBATCHRECORD& r, size_t n) {
      EXPECT_EQ(n, 5u);
      order.push_back(r.k);
    };
    const tagBATCHSUMMARY summary = run.Run();
    EXPECT_TRUE(summary.error.IsEmpty());
    EXPECT_EQ(summary.nDone, 3u);
    EXPECT_EQ(summary.nFailed, 2u);
    EXPECT_FALSE(summary.bLogFailed);
  }
  EXPECT_EQ(order, (std::vector<size_t>{1, 2, 3, 4, 5}));
  const std::string exists = "Already exists. The source file is not converted.";
  const std::string twin =
      "Another file of this batch has this name. The source file is not converted.";
  std::vector<std::string> log = LogLines(out / "LorimoConvertLog.txt");
  ASSERT_GE(log.size(), 12u);
  // The reader's reason follows its fixed start; check that start only.
  const std::string unreadable = log[2 + 3 + 3 + 2];
  EXPECT_EQ(unreadable.rfind("Cannot be read: ", 0), 0u) << unreadable;
  EXPECT_EQ(log, Log({Done(1, src / "a.jpg", out / "a.PNG", "conversion"),
                      Done(2, src / "b.bmp", out / "b.PNG", "conversion"),
                      Failed(3, src / "broken.jpg", out / "broken.PNG", unreadable, "converting"),
                      Failed(4, other / "a.png", out / "a.PNG", twin, "converting"),
                      Done(5, src / "c.tif", out / "c.PNG", "conversion")}));
  Magick::Image b;
  b.read((out / "b.PNG").string());
  EXPECT_EQ(b.magick(), "PNG");
  EXPECT_EQ(b.columns(), 100u);
  EXPECT_EQ(b.rows(), 67u);
  const auto written = fs::last_write_time(out / "a.PNG");

  // Again into the same folder: nothing is replaced, each file says why.
  CBatchRun again(settings, sources);
  const tagBATCHSUMMARY second = again.Run();
  EXPECT_EQ(second.nDone, 0u);
  log = LogLines(out / "LorimoConvertLog.txt");
  EXPECT_EQ(log, Log({Failed(1, src / "a.jpg", out / "a.PNG", exists, "converting"),
                      Failed(2, src / "b.bmp", out / "b.PNG", exists, "converting"),
                      Failed(3, src / "broken.jpg", out / "broken.PNG", unreadable, "converting"),
                      Failed(4, other / "a.png", out / "a.PNG", twin, "converting"),
                      Failed(5, src / "c.tif", out / "c.PNG", exists, "converting")}));
  EXPECT_EQ(fs::last_write_time(out / "a.PNG"), written);
  // No temporary file is left beside the targets.
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 4);
}

TEST_F(BatchRunTest, TiffTargetsAreUncompressedAndRenamedWithTheirNewExtension) {
  MakeImage(src / "IMG_0001.jpg", 40, 40);
  MakeImage(src / "IMG_0002.jpg", 40, 40);
  MyStringList sources;
  sources.Append(Path(src / "IMG_0001.jpg"));
  sources.Append(Path(src / "IMG_0002.jpg"));
  tagBATCHSETTINGS settings;
  settings.bConvert = true;
  settings.format = u"TIF";
  settings.bRename = true;
  settings.rename.numbers = {4, 0, 1, 1};
  settings.rename.preName = u"Rome-";
  settings.rename.bAppendEnd = true;
  settings.bRotate = true;
  settings.angle = u"90";
  settings.destination = Path(out);
  EXPECT_EQ(CBatchRun(settings, sources).Run().nDone, 2u);
  // Uncompressed: every pixel's three bytes are there (a JPEG source would
  // otherwise lend the TIFF its JPEG compression).
  EXPECT_GE(fs::file_size(out / "0001Rome-1.TIF"), 40u * 40 * 3);
  EXPECT_TRUE(fs::exists(out / "0002Rome-2.TIF"));
}

TEST_F(BatchRunTest, RenamingCopiesKeepTimesAndLogEveryPairDoneOrFailed) {
  for (const char* name : {"one.jpg", "two.jpg", "three.png"})
    testsupport::WriteFile(src / name, name);
  const fs::path first = src / "one.jpg";
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(48);
  fs::last_write_time(first, old);
  testsupport::WriteFile(out / "2-two.jpg", "someone else's");
  MyStringList sources;
  for (const char* name : {"one.jpg", "two.jpg", "three.png"}) sources.Append(Path(src / name));
  tagBATCHSETTINGS settings;
  settings.bRename = true;
  settings.rename.numbers = {0, 0, 1, 1};
  settings.rename.postName = u"-";
  settings.destination = Path(out);
  CBatchRun run(settings, sources);
  // The third source goes away while the batch runs.
  run.onRecord = [&](const tagBATCHRECORD& r, size_t) {
    if (r.k == 1) fs::remove(src / "three.png");
  };
  const tagBATCHSUMMARY summary = run.Run();
  EXPECT_EQ(summary.kind, BK_RENAME);
  EXPECT_EQ(summary.nDone, 1u);
  EXPECT_EQ(summary.nFailed, 2u);
  EXPECT_EQ(testsupport::ReadFile(out / "1-one.jpg"), "one.jpg");
  EXPECT_EQ(fs::last_write_time(out / "1-one.jpg"), old);
  EXPECT_EQ(testsupport::ReadFile(out / "2-two.jpg"), "someone else's");
  const std::vector<std::string> log = LogLines(out / "LorimoRenameLog.txt");
  ASSERT_EQ(log.size(), 14u);
  EXPECT_EQ(log[11].rfind("Cannot be read: ", 0), 0u) << log[11];
  EXPECT_EQ(log, Log({Done(1, src / "one.jpg", out / "1-one.jpg", "renaming"),
                      Failed(2, src / "two.jpg", out / "2-two.jpg",
                             "Already exists. The source file is not copied.", "renaming"),
                      Failed(3, src / "three.png", out / "3-three.png", log[11], "renaming")}));

  // Asked, the user may replace an existing target.
  CBatchRun replace(settings, sources);
  replace.askOverwrite = [](const MyString&) { return true; };
  EXPECT_EQ(replace.Run().nDone, 2u);
  EXPECT_EQ(testsupport::ReadFile(out / "2-two.jpg"), "two.jpg");
}

TEST_F(BatchRunTest, DestinationThatRefusesRunsNothing) {
  MakeImage(src / "a.jpg", 8, 8);
  MyStringList sources;
  sources.Append(Path(src / "a.jpg"));
  tagBATCHSETTINGS missing;
  missing.bRename = true;
  missing.destination = Path(dir / "missing");
  EXPECT_EQ(CBatchRun(missing, sources).Run().error.ToUtf8(),
            "The destination folder " + (dir / "missing").string() + " does not exist.");
  if (::geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
  fs::permissions(out, fs::perms::owner_read | fs::perms::owner_exec);
  tagBATCHSETTINGS settings;
  settings.bConvert = true;
  settings.destination = Path(out);
  const tagBATCHSUMMARY summary = CBatchRun(settings, sources).Run();
  EXPECT_EQ(summary.error.ToUtf8(),
            "The destination folder " + out.string() + " cannot be written to.");
  EXPECT_EQ(summary.nDone + summary.nFailed, 0u);
  fs::permissions(out, fs::perms::owner_all);
  EXPECT_TRUE(fs::is_empty(out));
}

}  // namespace
