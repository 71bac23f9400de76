// Drives the real program on a virtual X display as a user would: it opens
// an image, keys toggle tool views and close the program through its menu,
// and a screenshot shows the picture on the screen.
#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QThread>
#include <csignal>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

// Xvfb on a display it picks itself; stopped with the object. It must not
// reset when its last client leaves (the probe, a helper program): during
// a reset the program under test could not connect. A server that takes no
// client at all is replaced by a fresh one.
class CVirtualDisplay {
 public:
  CVirtualDisplay() {
    for (int attempt = 0; attempt < 3 && m_strDisplay.isEmpty(); ++attempt) {
      Start();
      if (!m_strDisplay.isEmpty() && !AcceptsClients()) {
        Stop();
        m_strDisplay.clear();
      }
    }
  }
  ~CVirtualDisplay() { Stop(); }
  const QString& Display() const { return m_strDisplay; }

 private:
  void Start() {
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                    QStringLiteral("tcp"), QStringLiteral("-noreset")});
    if (!m_server.waitForStarted(10000)) return;
    // The server writes its display number once it accepts clients.
    QByteArray number;
    for (int i = 0; i < 100 && !number.contains('\n'); ++i) {
      m_server.waitForReadyRead(100);
      number += m_server.readAllStandardOutput();
    }
    bool ok = false;
    const int display = number.trimmed().toInt(&ok);
    if (ok) m_strDisplay = QStringLiteral(":%1").arg(display);
  }
  bool AcceptsClients() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_strDisplay);
    for (int i = 0; i < 20; ++i) {
      QProcess probe;
      probe.setProcessEnvironment(env);
      probe.start(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")});
      if (probe.waitForFinished(5000) && probe.exitStatus() == QProcess::NormalExit &&
          probe.exitCode() == 0)
        return true;
      QThread::msleep(250);
    }
    return false;
  }
  void Stop() {
    if (m_server.state() == QProcess::NotRunning) return;
    m_server.terminate();
    if (!m_server.waitForFinished(5000)) {
      m_server.kill();
      m_server.waitForFinished(5000);
    }
  }

  QProcess m_server;
  QString m_strDisplay;
};

class Smoke : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
      GTEST_SKIP() << "Xvfb and xdotool are needed (tools/install-deps.sh installs them)";
    m_display = std::make_unique<CVirtualDisplay>();
    ASSERT_FALSE(m_display->Display().isEmpty()) << "Xvfb did not start";
    m_root = testsupport::NewTempDir("user");
    for (const char* sub : {"home", "config", "cache", "runtime"})
      fs::create_directories(m_root / sub);
    fs::permissions(m_root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
  }

  void TearDown() override {
    if (m_lorimo.state() != QProcess::NotRunning) {
      m_lorimo.kill();
      m_lorimo.waitForFinished(5000);
    }
    m_display.reset();
  }

  QProcessEnvironment Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    auto path = [this](const char* sub) { return QString::fromStdString((m_root / sub).string()); };
    env.insert(QStringLiteral("HOME"), path("home"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), path("config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), path("cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path("runtime"));
    env.insert(QStringLiteral("DISPLAY"), m_display->Display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
  }

  // Runs a helper program on the display: true when it succeeded, its
  // output in *output.
  bool Run(const QString& program, const QStringList& args, QString* output = nullptr,
           int ms = 15000) {
    QProcess process;
    process.setProcessEnvironment(Environment());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    if (!process.waitForFinished(ms) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
      process.kill();
      process.waitForFinished(2000);
      return false;
    }
    if (output) *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return true;
  }

  QString WindowName(const QString& window) {
    QString name;
    Run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), window}, &name);
    return name;
  }

  bool Keys(const QString& window, const QStringList& keys) {
    if (!Run(QStringLiteral("xdotool"),
             {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}))
      return false;
    for (const QString& key : keys) {
      if (!Run(QStringLiteral("xdotool"), {QStringLiteral("key"), key})) return false;
      // Each key is handled before the next one comes.
      QThread::msleep(300);
    }
    return true;
  }

  // The first visible window of the program whose title is the given one.
  QString WaitForWindow(const QString& title) {
    QString window;
    testsupport::WaitFor(
        [&] {
          QString found;
          Run(QStringLiteral("xdotool"),
              {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
               QStringLiteral("^ZOKA Lorimo")},
              &found, 3000);
          for (const QString& id : found.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (WindowName(id) == title) window = id;
          return !window.isEmpty();
        },
        std::chrono::seconds(20));
    return window;
  }

  std::string StoreText() const {
    const fs::path store = m_root / "config" / "ZOKA" / "Lorimo" / "registry.reg";
    return fs::exists(store) ? testsupport::ReadFile(store) : std::string();
  }

  std::unique_ptr<CVirtualDisplay> m_display;
  fs::path m_root;
  QProcess m_lorimo;
};

// Pixels of the picture's colour, give or take what scaling and JPEG do.
int CountNear(const QImage& image, QColor colour, int tolerance) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) <= tolerance &&
          std::abs(c.green() - colour.green()) <= tolerance &&
          std::abs(c.blue() - colour.blue()) <= tolerance)
        ++count;
    }
  return count;
}

TEST_F(Smoke, ShowsTheImageAnswersKeysAndClosesFromItsMenu) {
  m_lorimo.setProcessEnvironment(Environment());
  m_lorimo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  m_lorimo.start(QStringLiteral(LORIMO_PROGRAM),
                 {QString::fromStdString(testsupport::SourcePath("samples/sky.jpg").string())});
  ASSERT_TRUE(m_lorimo.waitForStarted(10000));

  // The main window, titled after the image it shows.
  QString window;
  ASSERT_TRUE(testsupport::WaitFor(
      [&] {
        QString found;
        Run(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
             QStringLiteral("^ZOKA Lorimo")},
            &found, 3000);
        window = found.section(QLatin1Char('\n'), 0, 0);
        return !window.isEmpty();
      },
      std::chrono::seconds(20)))
      << "no window";
  ASSERT_TRUE(testsupport::WaitFor(
      [&] { return WindowName(window) == QStringLiteral("ZOKA Lorimo - sky.jpg"); },
      std::chrono::seconds(20)))
      << WindowName(window).toStdString();

  // The picture is on the screen: its sun and its hills.
  const QString shot = QString::fromStdString((m_root / "shot.png").string());
  const QString snapgrab =
      QFileInfo(QStringLiteral(LORIMO_PROGRAM)).dir().filePath(QStringLiteral("snapgrab"));
  ASSERT_TRUE(Run(snapgrab, {QStringLiteral("--output"), shot}));
  const QImage screen(shot);
  ASSERT_FALSE(screen.isNull());
  EXPECT_GT(CountNear(screen, QColor(0xff, 0xd3, 0x4d), 40), 300) << "no sun";
  EXPECT_GT(CountNear(screen, QColor(0x2f, 0x6a, 0x2a), 30), 1000) << "no hills";

  // Ctrl+F5 shows the Exif view, Ctrl+F1 hides the navigation bar; then
  // Alt+F opens the File menu, whose last entry is "Close".
  ASSERT_TRUE(
      Keys(window, {QStringLiteral("ctrl+F5"), QStringLiteral("ctrl+F1"), QStringLiteral("alt+f"),
                    QStringLiteral("Up"), QStringLiteral("Return")}));
  ASSERT_TRUE(m_lorimo.waitForFinished(20000)) << "the program did not close";
  EXPECT_EQ(m_lorimo.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(m_lorimo.exitCode(), 0);

  const std::string store = StoreText();
  EXPECT_NE(store.find("\" Exif\\tCtrl+F5\"=dword:00000000"), std::string::npos) << store;
  EXPECT_NE(store.find("\" Navigation\\tCtrl+F1\"=dword:00000001"), std::string::npos) << store;
}

// A desktop's close request (SIGTERM at logout) while the viewer is the
// full-screen window: the program must shut down, not only leave full screen.
TEST_F(Smoke, TerminateInFullScreenAfterSteppingEndsTheProgram) {
  m_lorimo.setProcessEnvironment(Environment());
  m_lorimo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  m_lorimo.start(QStringLiteral(LORIMO_PROGRAM),
                 {QString::fromStdString(testsupport::SourcePath("samples/sky.jpg").string())});
  ASSERT_TRUE(m_lorimo.waitForStarted(10000));
  const QString window = WaitForWindow(QStringLiteral("ZOKA Lorimo - sky.jpg"));
  ASSERT_FALSE(window.isEmpty()) << "no window";

  ASSERT_TRUE(Keys(window, {QStringLiteral("Return")}));
  const QString fullScreen = WaitForWindow(QStringLiteral("ZOKA Lorimo - sky.jpg"));
  ASSERT_FALSE(fullScreen.isEmpty());
  ASSERT_TRUE(Keys(fullScreen, {QStringLiteral("Next")}));
  // The next file of the folder by name.
  ASSERT_FALSE(WaitForWindow(QStringLiteral("ZOKA Lorimo - spinner.gif")).isEmpty());

  ::kill(pid_t(m_lorimo.processId()), SIGTERM);
  ASSERT_TRUE(m_lorimo.waitForFinished(20000)) << "the program kept running";
  EXPECT_EQ(m_lorimo.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(m_lorimo.exitCode(), 0);
  EXPECT_NE(StoreText().find("spinner.gif"), std::string::npos) << "settings not saved";
}

// The bounding box of the pixels near a colour.
QRect AreaNear(const QImage& image, QColor colour, int tolerance) {
  QRect area;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) <= tolerance &&
          std::abs(c.green() - colour.green()) <= tolerance &&
          std::abs(c.blue() - colour.blue()) <= tolerance)
        area |= QRect(x, y, 1, 1);
    }
  return area;
}

// A picture larger than the window, given on the command line, is fitted
// as one opened later would be: all of it on the screen, at one factor below 1.
TEST_F(Smoke, LargeImageFromTheCommandLineIsFitted) {
  // 3000 x 2000: a red third and two green thirds.
  QImage picture(3000, 2000, QImage::Format_RGB32);
  picture.fill(QColor(0, 160, 0));
  for (int y = 0; y < 2000; ++y)
    for (int x = 0; x < 1000; ++x) picture.setPixelColor(x, y, QColor(220, 0, 0));
  const QString big = QString::fromStdString((m_root / "big.jpg").string());
  ASSERT_TRUE(picture.save(big, "JPEG", 95));

  m_lorimo.setProcessEnvironment(Environment());
  m_lorimo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  m_lorimo.start(QStringLiteral(LORIMO_PROGRAM), {big});
  ASSERT_TRUE(m_lorimo.waitForStarted(10000));
  const QString window = WaitForWindow(QStringLiteral("ZOKA Lorimo - big.jpg"));
  ASSERT_FALSE(window.isEmpty());
  // The thumbnails view shows the same colours: Ctrl+F2 puts it away.
  ASSERT_TRUE(Keys(window, {QStringLiteral("ctrl+F2")}));
  QThread::msleep(500);  // placed and drawn

  const QString shot = QString::fromStdString((m_root / "shot.png").string());
  const QString snapgrab =
      QFileInfo(QStringLiteral(LORIMO_PROGRAM)).dir().filePath(QStringLiteral("snapgrab"));
  ASSERT_TRUE(Run(snapgrab, {QStringLiteral("--output"), shot}));
  const QImage screen(shot);
  ASSERT_FALSE(screen.isNull());
  const QRect red = AreaNear(screen, QColor(220, 0, 0), 40);
  const QRect green = AreaNear(screen, QColor(0, 160, 0), 40);
  ASSERT_FALSE(red.isEmpty());
  ASSERT_FALSE(green.isEmpty());
  // Both edges of the picture are on the screen, side by side.
  EXPECT_NEAR(green.left(), red.right() + 1, 2);
  const double factorX = (green.right() + 1 - red.left()) / 3000.0;
  const double factorY = red.height() / 2000.0;
  EXPECT_LT(factorX, 1.0);
  EXPECT_NEAR(factorX, factorY, 0.01);
  EXPECT_NEAR(red.width() / 1000.0, factorX, 0.01);
  EXPECT_EQ(green.height(), red.height());

  ::kill(pid_t(m_lorimo.processId()), SIGTERM);
  EXPECT_TRUE(m_lorimo.waitForFinished(20000));
}

}  // namespace

namespace {

// The middle of the pixels near colour, or (-1, -1) when there are too few.
QPoint CentreOfColour(const QImage& image, QColor colour, int tolerance, int least) {
  qint64 sx = 0, sy = 0, n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) <= tolerance &&
          std::abs(c.green() - colour.green()) <= tolerance &&
          std::abs(c.blue() - colour.blue()) <= tolerance) {
        sx += x;
        sy += y;
        ++n;
      }
    }
  return n >= least ? QPoint(int(sx / n), int(sy / n)) : QPoint(-1, -1);
}

}  // namespace

TEST_F(Smoke, ClickingAThumbnailShowsThatImage) {
  const fs::path photos = m_root / "photos";
  fs::create_directories(photos);
  const std::pair<const char*, QRgb> files[] = {
      {"a.jpg", qRgb(220, 30, 30)}, {"b.jpg", qRgb(30, 200, 30)}, {"c.jpg", qRgb(30, 40, 220)}};
  for (const auto& [name, colour] : files) {
    QImage image(240, 180, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(QString::fromStdString((photos / name).string()), "JPG"));
  }
  m_lorimo.setProcessEnvironment(Environment());
  m_lorimo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  m_lorimo.start(QStringLiteral(LORIMO_PROGRAM),
                 {QString::fromStdString((photos / "a.jpg").string())});
  ASSERT_TRUE(m_lorimo.waitForStarted(10000));
  const QString window = WaitForWindow(QStringLiteral("ZOKA Lorimo - a.jpg"));
  ASSERT_FALSE(window.isEmpty()) << "no window showing a.jpg";

  // The blue picture is only in the thumbnails view, once its cell is drawn.
  const QString shot = QString::fromStdString((m_root / "thumbs.png").string());
  const QString snapgrab =
      QFileInfo(QStringLiteral(LORIMO_PROGRAM)).dir().filePath(QStringLiteral("snapgrab"));
  QPoint blue(-1, -1);
  testsupport::WaitFor(
      [&] {
        if (!Run(snapgrab, {QStringLiteral("--output"), shot})) return false;
        blue = CentreOfColour(QImage(shot), QColor(30, 40, 220), 40, 200);
        return blue.x() >= 0;
      },
      std::chrono::seconds(20));
  ASSERT_GE(blue.x(), 0) << "no thumbnail of c.jpg on the screen";
  ASSERT_TRUE(Run(QStringLiteral("xdotool"),
                  {QStringLiteral("mousemove"), QString::number(blue.x()),
                   QString::number(blue.y()), QStringLiteral("click"), QStringLiteral("1")}));
  EXPECT_TRUE(testsupport::WaitFor(
      [&] { return WindowName(window) == QStringLiteral("ZOKA Lorimo - c.jpg"); },
      std::chrono::seconds(20)))
      << WindowName(window).toStdString();
}
