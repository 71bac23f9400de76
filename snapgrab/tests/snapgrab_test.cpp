// Runs the real snapgrab program: against a real X server (Xvfb) whose
// screen it must capture, and on the offscreen platform.
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QScreen>
#include <filesystem>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

namespace {

namespace fs = std::filesystem;

struct tagRUN {
  int nExitCode = -1;
  QString strErrors;
};

tagRUN RunSnapgrab(const QStringList& arguments, const QProcessEnvironment& environment) {
  QProcess snapgrab;
  snapgrab.setProcessEnvironment(environment);
  snapgrab.start(QStringLiteral(SNAPGRAB_PROGRAM), arguments);
  tagRUN run;
  if (!snapgrab.waitForStarted(10000) || !snapgrab.waitForFinished(30000)) {
    snapgrab.kill();
    snapgrab.waitForFinished();
    run.strErrors = QStringLiteral("did not run to its end");
    return run;
  }
  run.nExitCode = snapgrab.exitStatus() == QProcess::NormalExit ? snapgrab.exitCode() : -1;
  run.strErrors = QString::fromLocal8Bit(snapgrab.readAllStandardError());
  return run;
}

QString Path(const fs::path& path) { return QString::fromStdString(path.string()); }

// A virtual X server of a known size whose root window is white.
class CXvfb {
 public:
  static constexpr int kWidth = 320;
  static constexpr int kHeight = 200;

  CXvfb() {
    // -displayfd 1: the server picks a free display and writes its number to us.
    m_server.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(kWidth).arg(kHeight),
                    QStringLiteral("-wr"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                    // No reset when a client leaves: the next one could not connect meanwhile.
                    QStringLiteral("-noreset")});
    if (!m_server.waitForStarted(10000)) return;
    QByteArray number;
    while (!number.contains('\n') && m_server.waitForReadyRead(10000))
      number += m_server.readAllStandardOutput();
    if (number.trimmed().isEmpty()) return;
    m_display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
  }
  ~CXvfb() {
    m_server.terminate();
    if (!m_server.waitForFinished(5000)) {
      m_server.kill();
      m_server.waitForFinished();
    }
  }

  const QString& Display() const { return m_display; }
  QProcessEnvironment Environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return environment;
  }

 private:
  QProcess m_server;
  QString m_display;
};

class SnapgrabFormats : public ::testing::TestWithParam<const char*> {};

TEST_P(SnapgrabFormats, SavesTheScreenOfARealDisplay) {
  CXvfb xvfb;
  ASSERT_FALSE(xvfb.Display().isEmpty()) << "Xvfb did not start";
  const fs::path file = testsupport::NewTempDir() / (std::string("screen.") + GetParam());
  const tagRUN run = RunSnapgrab({QStringLiteral("--output"), Path(file)}, xvfb.Environment());
  ASSERT_EQ(run.nExitCode, 0) << run.strErrors.toStdString();

  QImageReader reader(Path(file));
  const QImage image = reader.read();
  ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
  EXPECT_EQ(image.size(), QSize(CXvfb::kWidth, CXvfb::kHeight));
  // The root window is white, and nothing else is on that screen.
  for (const QPoint at : {QPoint(0, 0), QPoint(CXvfb::kWidth / 2, CXvfb::kHeight / 2),
                          QPoint(CXvfb::kWidth - 1, CXvfb::kHeight - 1)}) {
    const QColor pixel = image.pixelColor(at);
    EXPECT_GE(pixel.red(), 245);
    EXPECT_GE(pixel.green(), 245);
    EXPECT_GE(pixel.blue(), 245);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, SnapgrabFormats, ::testing::Values("png", "jpg", "jpeg", "bmp"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

TEST(Snapgrab, ReplacesAnExistingFileWithTheCapture) {
  CXvfb xvfb;
  ASSERT_FALSE(xvfb.Display().isEmpty()) << "Xvfb did not start";
  const fs::path file = testsupport::NewTempDir() / "screen.PNG";
  testsupport::WriteFile(file, "an older file");
  const tagRUN run = RunSnapgrab({QStringLiteral("-o"), Path(file)}, xvfb.Environment());
  ASSERT_EQ(run.nExitCode, 0) << run.strErrors.toStdString();
  EXPECT_EQ(QImage(Path(file), "PNG").size(), QSize(CXvfb::kWidth, CXvfb::kHeight));
}

struct tagBADRUN {
  const char* pszCase;
  QStringList arguments;  // "%DIR%" stands for a fresh folder
};

void PrintTo(const tagBADRUN& run, std::ostream* out) { *out << run.pszCase; }

class SnapgrabRefuses : public ::testing::TestWithParam<tagBADRUN> {};

TEST_P(SnapgrabRefuses, WithAMessageAndNoFile) {
  const fs::path dir = testsupport::NewTempDir();
  testsupport::WriteFile(dir / "plain-file", "not a folder");
  QStringList arguments = GetParam().arguments;
  for (QString& argument : arguments) argument.replace(QStringLiteral("%DIR%"), Path(dir));
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  const tagRUN run = RunSnapgrab(arguments, environment);
  EXPECT_NE(run.nExitCode, 0);
  EXPECT_TRUE(run.strErrors.contains(QStringLiteral("snapgrab: "))) << run.strErrors.toStdString();
  // Only the file the test made is there.
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) files += entry.is_regular_file();
  EXPECT_EQ(files, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    BadRequests, SnapgrabRefuses,
    ::testing::Values(tagBADRUN{"GifExtension", {"--output", "%DIR%/screen.gif"}},
                      tagBADRUN{"NoExtension", {"--output", "%DIR%/screen"}},
                      tagBADRUN{"FolderIsAFile", {"--output", "%DIR%/plain-file/screen.png"}},
                      tagBADRUN{"MissingFolder", {"--output", "%DIR%/no/such/folder/screen.png"}},
                      tagBADRUN{"NegativeDelay", {"--delay", "-1", "--output", "%DIR%/screen.png"}},
                      tagBADRUN{"WordDelay", {"--delay", "soon", "--output", "%DIR%/screen.png"}}),
    [](const ::testing::TestParamInfo<tagBADRUN>& info) { return info.param.pszCase; });

TEST(Snapgrab, OffscreenDisplaySavesAPictureOfTheScreensSize) {
  // The offscreen platform keeps no picture of its screen: the capture is
  // blank, but it is a decodable image of the screen's size.
  const fs::path file = testsupport::NewTempDir() / "screen.bmp";
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  const tagRUN run = RunSnapgrab({QStringLiteral("--output"), Path(file)}, environment);
  ASSERT_EQ(run.nExitCode, 0) << run.strErrors.toStdString();
  EXPECT_EQ(QImage(Path(file)).size(), QGuiApplication::primaryScreen()->size());
}

}  // namespace
