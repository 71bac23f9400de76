#include "shell/mainframe.h"

#include <QApplication>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <optional>
#include <ostream>

#include <Magick++.h>
#include <gtest/gtest.h>

#include "corekit/loadslot.h"
#include "corekit/straw.h"
#include "shell/aboutdialog.h"
#include "shell/acquisitionbridge.h"
#include "shell/commandids.h"
#include "shell/navigationbar.h"
#include "shell/program.h"
#include "shell/programhooks.h"
#include "shell/versioncheck.h"
#include "shell/volumewatcher.h"
#include "testsupport/testsupport.h"
#include "viewer/imagedocument.h"
#include "viewer/imageview.h"
#include "viewer/progressmonitor.h"
#include "viewer/progressstrip.h"

namespace {

MyString Sample(const char* name) {
  return CStrAW::FromPath(testsupport::SourcePath(std::string("samples/") + name));
}

TEST(MainFrame, TitleAndEmptyViewer) {
  CMainFrame frame;
  EXPECT_EQ(frame.windowTitle(), QStringLiteral("ZOKA Lorimo"));
  EXPECT_TRUE(frame.Viewer()->Image().isNull());
  EXPECT_TRUE(frame.Viewer()->ImageRect().isEmpty());
}

TEST(MainFrame, ShowsSampleImagesCentredAndFitted) {
  CMainFrame frame;
  frame.resize(1000, 800);
  frame.show();
  ASSERT_EQ(frame.OpenImage(Sample("sky.jpg")), 1);
  const QImage& image = frame.Viewer()->Image();
  EXPECT_EQ(image.width(), 640);
  EXPECT_EQ(image.height(), 480);
  const QRect drawn = frame.Viewer()->ImageRect();
  const QRect area = frame.Viewer()->rect();
  EXPECT_LE(drawn.width(), area.width());
  EXPECT_LE(drawn.height(), area.height());
  EXPECT_NEAR(drawn.center().x(), area.center().x(), 1);
  // The fitted size is rounded to whole pixels.
  EXPECT_NEAR(drawn.width(), drawn.height() * 640.0 / 480.0, 1.5);
}

// Closing the main window marks the program as closing, so that a decode or
// edit still running gives up; the save question is answered before that,
// so the save it asks for is not cancelled.
TEST(MainFrame, ClosingMarksTheProgramClosingAfterTheSaveQuestion) {
  std::optional<bool> closingAtQuestion;
  {
    CLorimoProgram program{MyStringList()};
    ASSERT_TRUE(program.InitInstance());
    EXPECT_FALSE(CProgressMonitor::IsClosing());
    GetProgramHooks().askToSaveModifiedImage = [&] {
      closingAtQuestion = CProgressMonitor::IsClosing();
    };
    program.MainFrame()->close();
    EXPECT_EQ(closingAtQuestion, std::optional<bool>(false));
    EXPECT_TRUE(CProgressMonitor::IsClosing());
    CProgressMonitor decode;
    decode.Begin();
    EXPECT_FALSE(decode.OnProgress(1, 10));  // asked to abort
    decode.End();
  }
  // The program's end let go of the process-wide state; later tests of this
  // process load images again.
  GetProgramHooks().askToSaveModifiedImage = nullptr;
  CProgressMonitor::SetClosing(false);
  GetStopEvent().Reset();
  Magick::InitializeMagick(nullptr);
}

TEST(MainFrame, UnreadableFileLeavesTheViewerEmpty) {
  const auto dir = testsupport::NewTempDir();
  testsupport::WriteFile(dir / "broken.png", "not a png at all");
  CMainFrame frame;
  EXPECT_EQ(frame.OpenImage(CStrAW::FromPath(dir / "broken.png")), 0);
  EXPECT_TRUE(frame.Viewer()->Image().isNull());
}

// Every way onto a file that cannot be read ends in the same state, and
// stepping goes on from there through the folder.
TEST(MainFrame, FailedLoadsAllEndAlikeAndSteppingGoesOn) {
  const auto dir = testsupport::NewTempDir();
  testsupport::WriteFile(dir / "a.png", "not a png at all");
  std::filesystem::copy_file(testsupport::SourcePath("samples/tiles.png"), dir / "b.png");
  testsupport::WriteFile(dir / "c.png", "not a png either");
  CMainFrame frame;
  const QString folder = CStrAW::FromPath(dir).ToQString();
  auto expectFailedOn = [&](const char* name, const char* how) {
    SCOPED_TRACE(how);
    ASSERT_TRUE(testsupport::WaitFor([&] {
      return frame.windowTitle() == QStringLiteral("ZOKA Lorimo - ") + QLatin1String(name);
    })) << frame.windowTitle().toStdString();
    const CImageDocument& document = frame.Viewer()->Document();
    EXPECT_FALSE(document.HasImage());
    EXPECT_EQ(document.GetImage().columns(), 10u);
    EXPECT_EQ(document.GetImage().rows(), 10u);
    EXPECT_TRUE(document.GetPath().IsEmpty());
    EXPECT_TRUE(frame.NavigationBar()->GetAddress().ToQString().startsWith(folder))
        << frame.NavigationBar()->GetAddress().ToQString().toStdString();
    EXPECT_FALSE(frame.statusBar()->currentMessage().isEmpty());
    frame.statusBar()->clearMessage();
  };
  auto expectShown = [&](const char* name) {
    ASSERT_TRUE(testsupport::WaitFor([&] {
      return frame.windowTitle() == QStringLiteral("ZOKA Lorimo - ") + QLatin1String(name);
    })) << frame.windowTitle().toStdString();
    EXPECT_TRUE(frame.Viewer()->Document().HasImage());
    // The status bar names the image shown, however it was reached.
    EXPECT_EQ(frame.statusBar()->currentMessage(), QLatin1String(name));
  };

  EXPECT_EQ(frame.OpenImage(CStrAW::FromPath(dir / "a.png")), 0);
  expectFailedOn("a.png", "opened");
  // The keys go to the viewer, not to the address bar.
  EXPECT_EQ(frame.focusWidget(), frame.Viewer());
  frame.SendCommand(IDM_NEXT_IMAGE);
  expectShown("b.png");
  frame.SendCommand(IDM_NEXT_IMAGE);
  expectFailedOn("c.png", "next");
  frame.SendCommand(IDM_PREVIOUS_IMAGE);
  expectShown("b.png");
  frame.SendCommand(IDM_LAST_IMAGE);
  expectFailedOn("c.png", "last");
  frame.SendCommand(IDM_FIRST_IMAGE);
  expectFailedOn("a.png", "first");
}

}  // namespace

namespace {

class ProgressStripPlace : public ::testing::TestWithParam<int> {};

TEST_P(ProgressStripPlace, StaysAtTheRightEndOfTheMenuBar) {
  CMainFrame frame;
  frame.show();
  frame.resize(GetParam(), 400);
  ASSERT_TRUE(testsupport::WaitFor([&] { return frame.menuBar()->width() == GetParam(); }));
  frame.ProgressStrip()->ShowProgress();
  const QMenuBar* bar = frame.menuBar();
  const QRect progress =
      frame.ProgressStrip()->GetBar()->geometry().translated(frame.ProgressStrip()->pos());
  const QRect cancel =
      frame.ProgressStrip()->GetCancelButton()->geometry().translated(frame.ProgressStrip()->pos());
  EXPECT_EQ(progress.left(), bar->width() - 103);
  EXPECT_EQ(progress.width(), 100);
  EXPECT_EQ(cancel.left(), bar->width() - 150);
  EXPECT_EQ(cancel.width(), 40);
  EXPECT_GE(progress.top(), 0);
  EXPECT_LE(progress.bottom(), bar->height());
  EXPECT_EQ(frame.ProgressStrip()->GetCancelButton()->text(), QStringLiteral("Cancel"));
}

INSTANTIATE_TEST_SUITE_P(Widths, ProgressStripPlace, ::testing::Values(990, 640, 1500));

TEST(MainFrame, WatchesTheVolumesForTheTransferSide) {
  CMainFrame frame;
  EXPECT_TRUE(frame.VolumeWatcher().IsWatching()) << frame.VolumeWatcher().GetLastError().ToUtf8();
  EXPECT_TRUE(frame.AcquisitionBridge().GetConnectedDevices().begin() ==
              frame.AcquisitionBridge().GetConnectedDevices().end());
}

// Runs the command, which opens a modal dialog, and hands the dialog to
// inspect once it is up; inspect closes it.
template <typename Dialog>
bool RunWithDialog(CMainFrame& frame, int id, const std::function<void(Dialog*)>& inspect) {
  bool seen = false;
  QTimer timer;
  timer.setInterval(20);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
      timer.stop();
      seen = true;
      inspect(dialog);
    }
  });
  timer.start();
  frame.SendCommand(id);
  return seen;
}

TEST(MainFrame, AboutShowsTheDialog) {
  CMainFrame frame;
  frame.show();
  const bool seen = RunWithDialog<CDlgAbout>(frame, 30, [](CDlgAbout* about) {
    EXPECT_FALSE(about->GetLibraryText().isEmpty());
    about->EndDialog(IDOK);
  });
  EXPECT_TRUE(seen);
}

// A version page served once on the loopback address.
class CVersionServer : public QObject {
 public:
  CVersionServer(int status, QByteArray body) : m_nStatus(status), m_body(std::move(body)) {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
          m_request += socket->readAll();
          if (!m_request.contains("\r\n\r\n")) return;
          socket->write("HTTP/1.1 " + QByteArray::number(m_nStatus) +
                        " X\r\nContent-Type: text/plain\r\nContent-Length: " +
                        QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n" +
                        m_body);
          socket->disconnectFromHost();
        });
      }
    });
  }
  QByteArray Url() const {
    return "http://127.0.0.1:" + QByteArray::number(m_server.serverPort()) + "/version.txt";
  }

 private:
  QTcpServer m_server;
  int m_nStatus;
  QByteArray m_body;
  QByteArray m_request;
};

struct tagVERSIONCASE {
  const char* pszName;
  int nStatus;
  const char* pszBody;
  const char16_t* pszText;
};

void PrintTo(const tagVERSIONCASE& c, std::ostream* out) { *out << c.pszName; }

class CheckForNewVersions : public ::testing::TestWithParam<tagVERSIONCASE> {
 protected:
  void SetUp() override { QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3")); }
  void TearDown() override {
    QCoreApplication::setApplicationVersion(QString());
    qunsetenv("LORIMO_VERSION_URL");
  }
};

TEST_P(CheckForNewVersions, AsksTheConfiguredAddressAndSaysWhatItFound) {
  CVersionServer server(GetParam().nStatus, GetParam().pszBody);
  qputenv("LORIMO_VERSION_URL", server.Url());
  CMainFrame frame;
  frame.show();
  QString text;
  const bool seen = RunWithDialog<CDlgCheckVersion>(frame, 3010, [&text](CDlgCheckVersion* dlg) {
    testsupport::WaitFor([dlg] { return !dlg->GetCheck().IsRunning(); });
    text = dlg->GetMessageText();
    dlg->EndDialog(IDOK);
  });
  ASSERT_TRUE(seen);
  EXPECT_EQ(text, QString::fromUtf16(GetParam().pszText));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CheckForNewVersions,
    ::testing::Values(tagVERSIONCASE{"Available", 200, "version=1.3\n", kNewVersionAvailableText},
                      tagVERSIONCASE{"NotAvailable", 200, "version=1.2.3\n", kNoNewVersionText},
                      tagVERSIONCASE{"Error", 500, "", kVersionCheckErrorText}),
    [](const ::testing::TestParamInfo<tagVERSIONCASE>& info) { return info.param.pszName; });

}  // namespace
