// Movies written by CMovieWriter, read back by ffprobe and ffmpeg.
#include "frameloom/moviewriter.h"

#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

// key=value lines of ffprobe about the video stream.
std::map<std::string, std::string> Probe(const fs::path& file) {
  QProcess probe;
  probe.start(
      QStringLiteral("ffprobe"),
      {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
       "stream=codec_name,width,height,nb_read_frames,time_base:stream_tags=title:format=duration:"
       "format_tags=title",
       "-of", "default=nw=1", QString::fromStdString(file.string())});
  EXPECT_TRUE(probe.waitForFinished(30000));
  std::map<std::string, std::string> values;
  for (const QString& line : QString::fromUtf8(probe.readAllStandardOutput()).split('\n')) {
    const qsizetype equals = line.indexOf('=');
    if (equals > 0) values[line.left(equals).toStdString()] = line.mid(equals + 1).toStdString();
  }
  return values;
}

// The first frame as RGB bytes, decoded by ffmpeg.
std::vector<uint8_t> FirstFrame(const fs::path& file) {
  QProcess ffmpeg;
  ffmpeg.start(QStringLiteral("ffmpeg"),
               {"-v", "error", "-i", QString::fromStdString(file.string()), "-frames:v", "1", "-f",
                "rawvideo", "-pix_fmt", "rgb24", "-"});
  EXPECT_TRUE(ffmpeg.waitForFinished(30000));
  const QByteArray bytes = ffmpeg.readAllStandardOutput();
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// A w x h BGRA frame: the left half red, the right half blue.
std::vector<uint8_t> TwoColours(int width, int height) {
  std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 4);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &pixels[(size_t(y) * size_t(width) + size_t(x)) * 4];
      const bool left = x < width / 2;
      p[0] = left ? 0 : 255;
      p[1] = 0;
      p[2] = left ? 255 : 0;
      p[3] = 255;
    }
  return pixels;
}

struct tagCASE {
  MOVIEKIND nKind;
  const char* pszCodec;
  const char* pszExtension;
};

class MovieWriterTest : public ::testing::TestWithParam<tagCASE> {};

TEST_P(MovieWriterTest, FramesOfOneSecondAndAQuarterPlayTheirDurations) {
  const tagCASE c = GetParam();
  const std::vector<std::string> codecs = CMovieWriter::AvailableCodecs(c.nKind);
  if (std::find(codecs.begin(), codecs.end(), c.pszCodec) == codecs.end())
    GTEST_SKIP() << c.pszCodec << " is not in this FFmpeg";
  const fs::path file = testsupport::NewTempDir() / (std::string("movie.") + c.pszExtension);
  // Odd sides: padded for the encoder.
  const int width = 65, height = 49;
  const std::vector<uint8_t> pixels = TwoColours(width, height);
  tagMOVIEFORMAT format;
  format.nKind = c.nKind;
  format.strCodec = c.pszCodec;
  format.nWidth = width;
  format.nHeight = height;
  format.nPeriodMs = 250;
  format.nQuality = 90;
  CMovieWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Open(CStrAW::FromPath(file), format, &error)) << error;
  ASSERT_TRUE(writer.WriteFrame(pixels.data(), width * 4, 1000, &error)) << error;
  ASSERT_TRUE(writer.WriteFrame(pixels.data(), width * 4, 250, &error)) << error;
  EXPECT_FALSE(fs::exists(file)) << "visible before it is complete";
  ASSERT_TRUE(writer.Close(&error)) << error;
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(fs::directory_iterator(file.parent_path())->path(), file) << "a temporary file is left";

  auto info = Probe(file);
  EXPECT_EQ(info["codec_name"], c.pszCodec);
  EXPECT_EQ(info["width"], "66");
  EXPECT_EQ(info["height"], "50");
  // The program stream has no place for a title.
  if (c.nKind != MK_MPEG) {
    EXPECT_EQ(info["TAG:title"], "Lorimo Video Stream");
  }
  if (c.nKind == MK_MPEG) {
    // 25 frames a second: 1.25 s of movie.
    EXPECT_EQ(info["nb_read_frames"], "31");
  } else {
    // P = 250 ms: the first frame four times, the second once.
    EXPECT_EQ(info["nb_read_frames"], "5");
    EXPECT_EQ(info["time_base"], c.nKind == MK_AVI ? "1/4" : "1/1000");
    if (c.nKind == MK_AVI) {
      EXPECT_NEAR(std::stod(info["duration"]), 1.25, 0.01);
    }
  }
  const std::vector<uint8_t> rgb = FirstFrame(file);
  ASSERT_EQ(rgb.size(), size_t(66) * 50 * 3);
  const uint8_t* left = &rgb[(size_t(25) * 66 + 10) * 3];
  const uint8_t* right = &rgb[(size_t(25) * 66 + 55) * 3];
  EXPECT_GT(left[0], 200);
  EXPECT_LT(left[2], 60);
  EXPECT_GT(right[2], 200);
  EXPECT_LT(right[0], 60);
}

INSTANTIATE_TEST_SUITE_P(Encoders, MovieWriterTest,
                         ::testing::Values(tagCASE{MK_AVI, "mjpeg", "avi"},
                                           tagCASE{MK_AVI, "mpeg4", "avi"},
                                           tagCASE{MK_AVI, "msmpeg4v2", "avi"},
                                           tagCASE{MK_WMV, "wmv2", "wmv"},
                                           tagCASE{MK_MPEG, "mpeg1video", "mpg"}),
                         [](const auto& info) { return std::string(info.param.pszCodec); });

TEST(MovieWriter, AStoppedOrRefusedMovieLeavesTheOlderFileAlone) {
  const fs::path folder = testsupport::NewTempDir();
  const fs::path file = folder / "older.mpg";
  testsupport::WriteFile(file, "the user's older movie");
  const std::vector<uint8_t> pixels = TwoColours(32, 32);
  tagMOVIEFORMAT format;
  format.nKind = MK_MPEG;
  format.nWidth = format.nHeight = 32;
  {
    CMovieWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(CStrAW::FromPath(file), format, &error)) << error;
    ASSERT_TRUE(writer.WriteFrame(pixels.data(), 32 * 4, 1000, &error));
    writer.Abort();
  }
  EXPECT_EQ(testsupport::ReadFile(file), "the user's older movie");

  // Past the encoder's limit: refused before anything is written.
  format.nWidth = 5000;
  CMovieWriter writer;
  std::string error;
  EXPECT_FALSE(writer.Open(CStrAW::FromPath(folder / "large.mpg"), format, &error));
  EXPECT_NE(error.find("4095"), std::string::npos);
  // A folder that is not there.
  format.nWidth = 32;
  EXPECT_FALSE(writer.Open(CStrAW::FromPath(folder / "none" / "x.avi"), format, &error));
  EXPECT_NE(error.find("Unable to Initialize Writing"), std::string::npos);
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++files;
  EXPECT_EQ(files, 1u);
}

}  // namespace
