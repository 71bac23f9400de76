// The tool views' arrangement: captured from one main window, written to
// the layout file and restored in a new window, including views that are
// made only after the file was read.
#include "shell/panearrangement.h"

#include <QApplication>
#include <QDockWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include "corekit/registry.h"
#include "corekit/straw.h"
#include "shell/edgebars.h"
#include "shell/mainframe.h"
#include "shell/program.h"
#include "shell/programhooks.h"
#include "shell/settings.h"
#include "shell/toolviewdocks.h"
#include "testsupport/testsupport.h"

namespace {

// Tool-view entries.
constexpr int kTools = 1;
constexpr int kThumbnails = 2;
constexpr int kNavigation = 3;
constexpr int kFavorites = 4;
constexpr int kExif = 5;
constexpr int kDirectories = 8;
constexpr int kIptc = 9;
constexpr int kNavigator = 11;
constexpr int kHistogram = 12;

void Settle() {
  testsupport::WaitFor([] { return false; }, std::chrono::milliseconds(50));
}

class PaneArrangement : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = testsupport::NewTempDir("panes");
    m_store = std::make_unique<CRegistryStore>(CStrAW::FromPath(m_dir / "registry.reg"));
    m_settings = std::make_unique<CLorimoSettings>(m_store.get());
  }

  std::unique_ptr<CMainFrame> NewFrame() {
    auto frame = std::make_unique<CMainFrame>(nullptr, m_settings.get());
    frame->resize(1200, 800);
    frame->show();
    Settle();
    return frame;
  }

  static QDockWidget* Dock(CMainFrame& frame, int entry) {
    frame.ToolViews().ShowToolView(entry);
    return frame.ToolViews().GetDock(entry);
  }

  std::filesystem::path m_dir;
  std::unique_ptr<CRegistryStore> m_store;
  std::unique_ptr<CLorimoSettings> m_settings;
};

TEST_F(PaneArrangement, SplitsTabsAndFloatingViewsComeBackInANewWindow) {
  const MyString path = CStrAW::FromPath(m_dir / "lorimo.layout");
  const QRect floating(140, 120, 320, 210);
  QSize toolsSize;  // the left tab group
  {
    auto frame = NewFrame();
    QDockWidget* tools = Dock(*frame, kTools);
    QDockWidget* favorites = Dock(*frame, kFavorites);
    QDockWidget* directories = Dock(*frame, kDirectories);
    QDockWidget* navigator = Dock(*frame, kNavigator);
    QDockWidget* exif = Dock(*frame, kExif);
    QDockWidget* iptc = Dock(*frame, kIptc);
    QDockWidget* thumbnails = Dock(*frame, kThumbnails);
    frame->addDockWidget(Qt::LeftDockWidgetArea, tools);
    frame->splitDockWidget(tools, directories, Qt::Vertical);
    frame->tabifyDockWidget(tools, favorites);
    favorites->raise();
    frame->addDockWidget(Qt::RightDockWidgetArea, navigator);
    frame->splitDockWidget(navigator, exif, Qt::Horizontal);
    frame->addDockWidget(Qt::TopDockWidgetArea, thumbnails);
    frame->addToolBar(Qt::BottomToolBarArea,
                      static_cast<QToolBar*>(frame->ToolViews().GetViewWindow(kNavigation)));
    navigator->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    iptc->setFloating(true);
    iptc->setGeometry(floating);
    Settle();
    frame->resizeDocks({tools, directories}, {150, 450}, Qt::Vertical);
    frame->resizeDocks({tools}, {150}, Qt::Horizontal);
    Settle();
    // The tab on top: the one below keeps whatever size it last had.
    toolsSize = favorites->size();
    ASSERT_EQ(frame->Panes().Write(path), 1);
  }

  // The new window makes some views itself; the rest come later.
  auto frame = NewFrame();
  QDockWidget* thumbnails = Dock(*frame, kThumbnails);
  QDockWidget* directories = Dock(*frame, kDirectories);
  QDockWidget* tools = Dock(*frame, kTools);
  QDockWidget* navigator = Dock(*frame, kNavigator);
  const QSize toolsBefore = tools->size();  // on its own, before the file
  ASSERT_EQ(frame->Panes().Read(path), CLayoutFile::RR_READ);
  QDockWidget* favorites = Dock(*frame, kFavorites);
  QDockWidget* exif = Dock(*frame, kExif);
  QDockWidget* iptc = Dock(*frame, kIptc);
  Settle();

  EXPECT_EQ(frame->dockWidgetArea(tools), Qt::LeftDockWidgetArea);
  EXPECT_EQ(frame->dockWidgetArea(directories), Qt::LeftDockWidgetArea);
  EXPECT_EQ(frame->tabifiedDockWidgets(tools), QList<QDockWidget*>{favorites});
  EXPECT_FALSE(favorites->visibleRegion().isEmpty());
  EXPECT_TRUE(tools->visibleRegion().isEmpty());
  EXPECT_GT(directories->geometry().top(), tools->geometry().bottom());
  EXPECT_GT(directories->height(), 2 * tools->height());
  EXPECT_NE(toolsBefore, toolsSize);
  EXPECT_NEAR(favorites->width(), toolsSize.width(), 4);
  EXPECT_NEAR(favorites->height(), toolsSize.height(), 4);

  EXPECT_EQ(frame->dockWidgetArea(navigator), Qt::RightDockWidgetArea);
  EXPECT_EQ(frame->dockWidgetArea(exif), Qt::RightDockWidgetArea);
  EXPECT_GT(exif->geometry().left(), navigator->geometry().right());
  EXPECT_EQ(navigator->allowedAreas(), Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  EXPECT_EQ(exif->allowedAreas(), Qt::AllDockWidgetAreas);
  EXPECT_EQ(exif->geometry().top(), navigator->geometry().top());

  EXPECT_EQ(frame->dockWidgetArea(thumbnails), Qt::TopDockWidgetArea);
  EXPECT_EQ(
      frame->toolBarArea(static_cast<QToolBar*>(frame->ToolViews().GetViewWindow(kNavigation))),
      Qt::BottomToolBarArea);
  EXPECT_TRUE(iptc->isFloating());
  EXPECT_EQ(iptc->geometry(), floating);
  // Only the views shown are visible; placing them showed none.
  EXPECT_FALSE(frame->ToolViews().IsViewVisible(kHistogram));
}

TEST_F(PaneArrangement, ExitWritesThePlaceBeforeFullScreenAndKeepsViewsNotMade) {
  // The file of an earlier run knows the histogram; this run never shows it.
  const MyString path = GetLayoutFilePath();
  tagLAYOUTPANE histogram;
  histogram.nId = CPaneArrangement::IdOfEntry(kHistogram);
  histogram.nSide = tagLAYOUTPANE::kSideBottom;
  histogram.bDockedRoot = true;
  histogram.nExtent = 90;
  tagLAYOUTPANE runtime = histogram;
  runtime.nId = 3340;  // a plug-in's view
  CLayoutFile old;
  old.SetLayout({{histogram, runtime}, {}});
  ASSERT_EQ(old.Write(path), 1);

  tagLAYOUT before;
  {
    auto frame = NewFrame();
    ASSERT_TRUE(GetProgramHooks().arrangePanes);
    GetProgramHooks().arrangePanes(frame.get());
    EXPECT_EQ(frame->Panes().GetNextRuntimePaneId(), 3341);
    QDockWidget* navigator = Dock(*frame, kNavigator);
    frame->addDockWidget(Qt::LeftDockWidgetArea, navigator);
    Settle();
    before = frame->Panes().Capture();
    frame->SetPanesHidden(true);
    EXPECT_FALSE(frame->ToolViews().IsViewVisible(kNavigator));
    GetProgramHooks().savePanes();
  }
  EXPECT_FALSE(GetProgramHooks().savePanes);

  CLayoutFile written;
  ASSERT_EQ(written.Read(path), CLayoutFile::RR_READ);
  const tagLAYOUT& layout = written.Layout();
  ASSERT_EQ(layout.roots.size(), before.roots.size() + 1);
  EXPECT_TRUE(std::equal(before.roots.begin(), before.roots.end(), layout.roots.begin()));
  EXPECT_EQ(layout.roots.back(), histogram);  // the plug-in's view went with its plug-in

  // The next run finds the navigator on the left.
  auto frame = NewFrame();
  GetProgramHooks().arrangePanes(frame.get());
  EXPECT_EQ(frame->dockWidgetArea(frame->ToolViews().GetDock(kNavigator)), Qt::LeftDockWidgetArea);
  QDockWidget* shown = Dock(*frame, kHistogram);
  EXPECT_EQ(frame->dockWidgetArea(shown), Qt::BottomDockWidgetArea);
}

}  // namespace

TEST_F(PaneArrangement, TuckedViewsSlideOutAndComeBackDockedOrInTheirBar) {
  const MyString path = CStrAW::FromPath(m_dir / "lorimo.layout");
  {
    auto frame = NewFrame();
    CEdgeBars& bars = frame->ToolViews().EdgeBars();
    QDockWidget* navigator = Dock(*frame, kNavigator);
    frame->resizeDocks({navigator}, {230}, Qt::Horizontal);
    Settle();
    const int width = navigator->width();
    auto* title = qobject_cast<CDockTitle*>(navigator->titleBarWidget());
    ASSERT_NE(title, nullptr);
    QTest::mouseClick(title->TuckButton(), Qt::LeftButton);
    EXPECT_EQ(bars.BarOf(navigator), CEdgeBars::Right);
    EXPECT_FALSE(bars.Bar(CEdgeBars::Left)->isVisible());
    EXPECT_TRUE(bars.Bar(CEdgeBars::Right)->isVisible());
    EXPECT_EQ(bars.Bar(CEdgeBars::Right)->objectName(), QStringLiteral("ZOKA_ChannelWindow"));
    EXPECT_FALSE(navigator->isVisible());
    EXPECT_TRUE(frame->ToolViews().IsViewVisible(kNavigator));

    // Its button slides it over the viewer's right edge; a click on the
    // viewer or Escape puts it away.
    QTest::mouseClick(bars.ButtonOf(navigator), Qt::LeftButton);
    ASSERT_EQ(bars.SlidOut(), navigator);
    EXPECT_TRUE(navigator->isVisible());
    const QWidget* centre = frame->centralWidget();
    EXPECT_EQ(navigator->geometry().right(), centre->mapToGlobal(centre->rect().bottomRight()).x());
    EXPECT_EQ(navigator->width(), width);
    QTest::mouseClick(frame->centralWidget(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(bars.SlidOut(), nullptr);
    EXPECT_FALSE(navigator->isVisible());
    bars.SlideOut(navigator);
    QTest::keyClick(navigator, Qt::Key_Escape);
    EXPECT_FALSE(navigator->isVisible());

    // Full screen hides the bars; they come back after.
    frame->SetPanesHidden(true);
    EXPECT_FALSE(bars.Bar(CEdgeBars::Right)->isVisible());
    frame->SetPanesHidden(false);
    EXPECT_TRUE(bars.Bar(CEdgeBars::Right)->isVisible());

    // The pin docks it back where it was; the empty bar goes.
    bars.SlideOut(navigator);
    QTest::mouseClick(title->TuckButton(), Qt::LeftButton);
    EXPECT_FALSE(bars.IsTucked(navigator));
    EXPECT_EQ(frame->dockWidgetArea(navigator), Qt::RightDockWidgetArea);
    EXPECT_FALSE(navigator->isFloating());
    EXPECT_TRUE(navigator->isVisible());
    EXPECT_FALSE(bars.Bar(CEdgeBars::Right)->isVisible());

    // Tucked again, and a view on the left tucked too: both kept at exit.
    QTest::mouseClick(title->TuckButton(), Qt::LeftButton);
    bars.Tuck(Dock(*frame, kDirectories), CEdgeBars::Left);
    ASSERT_EQ(frame->Panes().Write(path), 1);
  }
  auto frame = NewFrame();
  CEdgeBars& bars = frame->ToolViews().EdgeBars();
  ASSERT_EQ(frame->Panes().Read(path), CLayoutFile::RR_READ);
  QDockWidget* navigator = frame->ToolViews().GetDock(kNavigator);
  EXPECT_EQ(bars.BarOf(navigator), CEdgeBars::Right);
  EXPECT_FALSE(navigator->isVisible());
  EXPECT_EQ(bars.Tucked(CEdgeBars::Left),
            std::vector<QDockWidget*>{frame->ToolViews().GetDock(kDirectories)});
  EXPECT_TRUE(bars.Bar(CEdgeBars::Left)->isVisible());
}
