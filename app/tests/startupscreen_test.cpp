// The startup screen and how the main window hosts it.
#include "shell/startupscreen.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QStackedWidget>

#include <gtest/gtest.h>

#include "corekit/registry.h"
#include "corekit/straw.h"
#include "shell/dialogcentring.h"
#include "shell/mainframe.h"
#include "shell/settings.h"
#include "testsupport/testsupport.h"
#include "viewer/imageview.h"

namespace {

void Click(QWidget* widget) {
  const QPointF centre = QRectF(widget->rect()).center();
  const QPointF global = widget->mapToGlobal(centre);
  QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QApplication::sendEvent(widget, &release);
}

QLabel* LabelWithText(QWidget* parent, const QString& text) {
  for (QLabel* label : parent->findChildren<QLabel*>())
    if (label->text() == text) return label;
  return nullptr;
}

TEST(StartupScreen, LinksIssueTheirCommands) {
  CStartupScreen screen({u"/p/one.jpg", u"/p/two.jpg"});
  EXPECT_EQ(screen.objectName(), QStringLiteral("LorimoSplash"));
  EXPECT_EQ(screen.windowTitle(), QStringLiteral("Startup options"));
  ASSERT_NE(LabelWithText(&screen, QStringLiteral("Select the action you'd like to perform:")),
            nullptr);
  ASSERT_NE(LabelWithText(&screen, QStringLiteral("Open recent files:")), nullptr);
  screen.show();
  std::vector<int> commands;
  QObject::connect(&screen, &CStartupScreen::Command, [&](int id) { commands.push_back(id); });
  const std::pair<const char*, int> links[] = {{"Open file ...", 1},
                                               {"Add directories to favorites ...", 350},
                                               {"Add portfolio to favorites ...", 351},
                                               {"Rename or convert files ...", 6},
                                               {"/p/one.jpg", 3059},
                                               {"/p/two.jpg", 3060}};
  for (const auto& [text, id] : links) {
    QLabel* label = LabelWithText(&screen, QString::fromUtf8(text));
    ASSERT_NE(label, nullptr) << text;
    Click(label);
    ASSERT_FALSE(commands.empty()) << text;
    EXPECT_EQ(commands.back(), id) << text;
    commands.clear();
  }
  EXPECT_EQ(LabelWithText(&screen, QStringLiteral("/p/three.jpg")), nullptr);
  EXPECT_EQ(screen.DontShowAgainBox()->text(), QStringLiteral("Don't show again"));
}

TEST(StartupScreen, AtMostFourRecentFiles) {
  CStartupScreen screen({u"/1.jpg", u"/2.jpg", u"/3.jpg", u"/4.jpg", u"/5.jpg"});
  EXPECT_NE(LabelWithText(&screen, QStringLiteral("/4.jpg")), nullptr);
  EXPECT_EQ(LabelWithText(&screen, QStringLiteral("/5.jpg")), nullptr);
}

class MainFrameStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = testsupport::NewTempDir("frame");
    m_store = std::make_unique<CRegistryStore>(CStrAW::FromPath(m_dir / "registry.reg"));
    m_settings = std::make_unique<CLorimoSettings>(m_store.get());
    m_settings->ResetToDefaults();
  }
  MyString Sample(const char* name) {
    return CStrAW::FromPath(testsupport::SourcePath(std::string("samples/") + name));
  }
  std::filesystem::path m_dir;
  std::unique_ptr<CRegistryStore> m_store;
  std::unique_ptr<CLorimoSettings> m_settings;
};

TEST_F(MainFrameStartup, ShownImageReplacesTheStartupScreenAndIsRemembered) {
  CMainFrame frame(nullptr, m_settings.get());
  frame.ShowStartupScreen();
  auto* centre = qobject_cast<QStackedWidget*>(frame.centralWidget());
  ASSERT_NE(centre, nullptr);
  EXPECT_EQ(centre->currentWidget(), frame.StartupScreen());
  const MyString sky = Sample("sky.jpg");
  ASSERT_EQ(frame.OpenImage(sky), 1);
  EXPECT_EQ(frame.StartupScreen(), nullptr);
  EXPECT_EQ(centre->currentWidget(), frame.Viewer());
  EXPECT_EQ(m_settings->strLastLoadedImage, sky);
  ASSERT_FALSE(m_settings->recent.GetRecentFiles().empty());
  EXPECT_EQ(m_settings->recent.GetRecentFiles()[0], sky);
  EXPECT_EQ(m_settings->recent.GetRecentFolders()[0], sky.GetStringPath());
  // The startup choice stays: "Don't show again" was not checked.
  EXPECT_EQ(m_settings->dwDefaultImage, uint32_t(STARTUP_SCREEN));
}

TEST_F(MainFrameStartup, DontShowAgainMakesTheChoiceBlank) {
  CMainFrame frame(nullptr, m_settings.get());
  frame.ShowStartupScreen();
  frame.StartupScreen()->DontShowAgainBox()->setChecked(true);
  frame.CloseStartupScreen();
  EXPECT_EQ(m_settings->dwDefaultImage, uint32_t(STARTUP_BLANK));
}

TEST_F(MainFrameStartup, RecentFileLinkOpensThatImage) {
  const MyString sky = Sample("sky.jpg");
  m_settings->recent.AddRecentFile(u"/gone/away.jpg");
  m_settings->recent.AddRecentFile(sky);
  CMainFrame frame(nullptr, m_settings.get());
  frame.ShowStartupScreen();
  emit frame.StartupScreen()->Command(3059);
  EXPECT_FALSE(frame.Viewer()->Image().isNull());
  // A recent file that vanished is dropped from the list when chosen.
  EXPECT_EQ(frame.SendCommand(3060), 1);
  EXPECT_EQ(m_settings->recent.GetRecentFiles(), std::vector<MyString>{sky});
}

TEST_F(MainFrameStartup, DroppedPortfolioOpensItsFirstSlide) {
  const auto portfolio = m_dir / "show.lrm";
  testsupport::WriteFile(portfolio, "[Slides]\nHowMany=2\nFile0=\nTime0=0\nFile1=" +
                                        testsupport::SourcePath("samples/sky.jpg").string() +
                                        "\nTime1=500\n");
  CMainFrame frame(nullptr, m_settings.get());
  frame.ShowStartupScreen();
  emit frame.StartupScreen()->FilesDropped({QString::fromStdString(portfolio.string())});
  EXPECT_FALSE(frame.Viewer()->Image().isNull());
  EXPECT_EQ(m_settings->recent.GetPortfolioSlot(0), CStrAW::FromPath(portfolio));
}

TEST_F(MainFrameStartup, ClosingTellsTheProgramOnce) {
  CMainFrame frame(nullptr, m_settings.get());
  frame.show();
  int closing = 0;
  QObject::connect(&frame, &CMainFrame::Closing, [&] { ++closing; });
  EXPECT_EQ(frame.SendCommand(7), 1);
  frame.close();
  EXPECT_EQ(closing, 1);
  EXPECT_FALSE(frame.isVisible());
}

TEST(DialogCentring, CentresOnTheMainWindow) {
  EXPECT_EQ(CDialogCentring::CentredTopLeft(QRect(100, 50, 990, 500), QSize(300, 200)),
            QPoint((100 + 1090) / 2 - 150, (50 + 550) / 2 - 100));
  // Integer division, as the rule has it.
  EXPECT_EQ(CDialogCentring::CentredTopLeft(QRect(0, 0, 101, 51), QSize(11, 5)), QPoint(45, 23));
}

}  // namespace
