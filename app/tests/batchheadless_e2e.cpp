// "lorimo --batch" as a process without a display: the settings file, the
// per-file lines, the logs the page writes, and the exit codes for a clean
// run, failures, a full disk (a file-size limit) and runs that cannot start.
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int code = -1;
  std::string out;
  std::string err;
};

Result RunBatch(const std::vector<std::string>& args, const std::string& shellPrefix = "") {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.remove(QStringLiteral("QT_QPA_PLATFORM"));
  process.setProcessEnvironment(env);
  QStringList list;
  std::string command = shellPrefix + " exec \"$0\" --batch";
  for (size_t i = 0; i < args.size(); ++i) {
    list << QString::fromStdString(args[i]);
    command += " \"$" + std::to_string(i + 1) + "\"";
  }
  // Through bash so a limit (ulimit) can be set on the program alone.
  process.start(QStringLiteral("bash"),
                QStringList{QStringLiteral("-c"), QString::fromStdString(command),
                            QStringLiteral(LORIMO_PROGRAM)}
                    << list);
  EXPECT_TRUE(process.waitForFinished(60000));
  Result r;
  r.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  r.out = process.readAllStandardOutput().toStdString();
  r.err = process.readAllStandardError().toStdString();
  return r;
}

std::vector<std::string> Lines(const std::string& text, const std::string& end) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find(end, start)) != std::string::npos; start = at + end.size())
    lines.push_back(text.substr(start, at - start));
  EXPECT_EQ(start, text.size()) << "unterminated: " << text.substr(start);
  return lines;
}

void MakeImage(const fs::path& path, size_t side) {
  QImage image(static_cast<int>(side), static_cast<int>(side), QImage::Format_RGB32);
  image.fill(Qt::darkBlue);
  ASSERT_TRUE(image.save(QString::fromStdString(path.string())));
}

class BatchHeadless : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testsupport::NewTempDir("headless");
    out = dir / "out";
    fs::create_directories(dir / "folder");
    fs::create_directories(out);
  }
  void Settings(const std::string& extra) {
    testsupport::WriteFile(dir / "batch.ini",
                           "[Batch]\nConvert=1\nDestination=" + out.string() + "\n" + extra);
  }
  fs::path dir, out;
};

TEST_F(BatchHeadless, ConvertsFoldersAndFilesAndLogsLikeThePage) {
  MakeImage(dir / "folder" / "b2.jpg", 16);
  MakeImage(dir / "folder" / "b10.jpg", 16);
  MakeImage(dir / "single.bmp", 16);
  Settings("Format=png\nWorkers=2\nRename=1\niNUMStart=1\nPreName=x\nAppendTo=front\n");
  const std::string missing = (dir / "gone.jpg").string();
  Result r = RunBatch({(dir / "batch.ini").string(), (dir / "folder").string(),
                       (dir / "single.bmp").string(), missing});
  EXPECT_EQ(r.code, 1) << r.err;
  const std::string b2 = (dir / "folder" / "b2.jpg").string();
  const std::string b10 = (dir / "folder" / "b10.jpg").string();
  const std::vector<std::string> out_lines = Lines(r.out, "\n");
  ASSERT_EQ(out_lines.size(), 5u) << r.out;
  EXPECT_EQ(out_lines[0], "1/4 " + b2 + " -> " + (out / "x1b2.PNG").string());
  EXPECT_EQ(out_lines[1], "2/4 " + b10 + " -> " + (out / "x2b10.PNG").string());
  EXPECT_EQ(out_lines[2],
            "3/4 " + (dir / "single.bmp").string() + " -> " + (out / "x3single.PNG").string());
  EXPECT_EQ(
      out_lines[3].rfind(
          "4/4 " + missing + " -> " + (out / "x4gone.PNG").string() + ": Cannot be read: ", 0),
      0u)
      << out_lines[3];
  EXPECT_EQ(out_lines[4], "3 of 4 done, 1 failed. Log: " + (out / "LorimoConvertLog.txt").string());
  const std::vector<std::string> log =
      Lines(testsupport::ReadFile(out / "LorimoConvertLog.txt"), "\r\n");
  ASSERT_EQ(log.size(), 2u + 3 * 3 + 4 + 1);
  EXPECT_EQ(log[2], "1 Successful conversion of source file: " + b2);
  EXPECT_EQ(log[3], "To: " + (out / "x1b2.PNG").string());
  EXPECT_EQ(log[11], "4 Error converting source file: " + missing + ".");
  EXPECT_EQ(log.back(), "Coversion ended here!");

  // The same run again: every target is there already.
  r = RunBatch({(dir / "batch.ini").string(), (dir / "folder").string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("x1b2.PNG: Already exists. The source file is not converted."),
            std::string::npos)
      << r.out;

  // A clean run ends with 0.
  fs::remove_all(out);
  fs::create_directories(out);
  r = RunBatch({(dir / "batch.ini").string(), (dir / "folder").string()});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_TRUE(fs::exists(out / "x1b2.PNG"));
  EXPECT_TRUE(fs::exists(out / "x2b10.PNG"));
}

TEST_F(BatchHeadless, FullDiskLeavesNoPartialTargetAndLogsEachFailure) {
  MakeImage(dir / "big1.png", 300);
  MakeImage(dir / "big2.png", 300);
  Settings("Format=BMP\n");
  // 100 KB per file: the logs fit, the 270 KB pictures do not.
  const Result r = RunBatch(
      {(dir / "batch.ini").string(), (dir / "big1.png").string(), (dir / "big2.png").string()},
      "ulimit -f 100;");
  EXPECT_EQ(r.code, 1) << r.out << r.err;
  const std::vector<std::string> log =
      Lines(testsupport::ReadFile(out / "LorimoConvertLog.txt"), "\r\n");
  ASSERT_EQ(log.size(), 2u + 4 + 4 + 1) << r.out;
  EXPECT_EQ(log[4].rfind("Cannot be saved: ", 0), 0u) << log[4];
  EXPECT_EQ(log[8].rfind("Cannot be saved: ", 0), 0u) << log[8];
  // Only the log is left: no partial picture, no temporary.
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

TEST_F(BatchHeadless, RunsThatCannotStartEndWithTwo) {
  MakeImage(dir / "a.png", 8);
  const std::string settings = (dir / "batch.ini").string();
  Settings("Format=png\nWorkers=many\n");
  Result r = RunBatch({settings, (dir / "a.png").string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("\"Workers\""), std::string::npos) << r.err;
  EXPECT_EQ(RunBatch({settings}).code, 2);
  EXPECT_EQ(RunBatch({(dir / "none.ini").string(), (dir / "a.png").string()}).code, 2);
  Settings("Format=png\n");
  fs::permissions(out, fs::perms::owner_read | fs::perms::owner_exec);
  if (::geteuid() != 0) {
    r = RunBatch({settings, (dir / "a.png").string()});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("cannot be written to"), std::string::npos) << r.err;
  }
  fs::permissions(out, fs::perms::owner_all);
  EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(BatchHeadless, TermStopsAfterTheFileInHand) {
  MakeImage(dir / "base.png", 600);
  std::vector<std::string> args = {(dir / "batch.ini").string()};
  for (int i = 0; i < 60; ++i) {
    const fs::path copy = dir / ("p" + std::to_string(100 + i) + ".png");
    fs::copy_file(dir / "base.png", copy);
    args.push_back(copy.string());
  }
  Settings("Format=BMP\nWorkers=1\n");
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  process.setProcessEnvironment(env);
  QStringList list{QStringLiteral("--batch")};
  for (const std::string& a : args) list << QString::fromStdString(a);
  process.start(QStringLiteral(LORIMO_PROGRAM), list);
  ASSERT_TRUE(process.waitForStarted(10000));
  // The first file's line says the run is under way.
  std::string out;
  while (out.find('\n') == std::string::npos && process.waitForReadyRead(20000))
    out += process.readAllStandardOutput().toStdString();
  ::kill(pid_t(process.processId()), SIGTERM);
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 1);
  out += process.readAllStandardOutput().toStdString();
  EXPECT_NE(out.find("not begun (stopped)"), std::string::npos) << out;
  // Every file begun was finished and logged; nothing half-written is left.
  const std::vector<std::string> log =
      Lines(testsupport::ReadFile(this->out / "LorimoConvertLog.txt"), "\r\n");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "Coversion ended here!");
  const size_t done = std::count_if(log.begin(), log.end(), [](const std::string& line) {
    return line.find(" Successful conversion of source file: ") != std::string::npos;
  });
  EXPECT_GT(done, 0u);
  EXPECT_LT(done, 60u);
  EXPECT_EQ(size_t(std::distance(fs::directory_iterator(this->out), fs::directory_iterator())),
            done + 1);
}

}  // namespace
