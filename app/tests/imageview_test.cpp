// The viewer widget over a real folder: stepping with its title and
// position, the lock across images, full screen, autoplay and its panel,
// the empty viewer, the warnings, and the drag tools.
#include "viewer/imageview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "corekit/slidesfile.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "pixwork/sortsettings.h"
#include "shell/commandids.h"
#include "shell/programhooks.h"
#include "shell/settings.h"
#include "testsupport/testsupport.h"
#include "viewer/autoplaypanel.h"

namespace fs = std::filesystem;

namespace {

void WriteImage(const fs::path& path, int width, int height) {
  InitializeImageLibrary();
  Magick::Image image(Magick::Geometry(size_t(width), size_t(height)), Magick::Color("orange"));
  image.write(path.string());
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pt, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(pt), widget->mapToGlobal(QPointF(pt)), Qt::LeftButton, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void Wait(int ms) {
  testsupport::WaitFor([] { return false; }, std::chrono::milliseconds(ms));
}

// The viewer as the main window holds it: in a stack in the centre.
class Viewer : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    gdwSortingMode = 0;
    bSortAscending = 1;
    m_dir = testsupport::NewTempDir("folder");
    // a..e of sizes that fit the window.
    for (int i = 0; i < 5; ++i)
      WriteImage(m_dir / (std::string(1, char('a' + i)) + ".png"), 60 + i, 40);
    m_stack = new QStackedWidget(&m_frame);
    m_frame.setCentralWidget(m_stack);
    m_view = new CImageView(m_stack);
    m_stack->addWidget(m_view);
    m_view->SetSettings(&m_settings);
    m_view->showMessage = [this](const MyString& text, const MyString& caption) {
      m_messages.push_back(caption.ToUtf8() + ": " + text.ToUtf8());
    };
    QObject::connect(m_view, &CImageView::TitleChanged,
                     [this](const QString& title) { m_titles.push_back(title.toStdString()); });
    m_frame.resize(500, 400);
    m_frame.show();
  }
  void TearDown() override {
    gdwSortingMode = 0;
    bSortAscending = 1;
    ResetOptionRecords();
  }

  MyString Path(const std::string& name) const { return CStrAW::FromPath(m_dir / name); }
  std::string Name() const { return m_view->Document().GetName().ToUtf8(); }
  int Current() const { return m_view->Stepper().Position().GetCurrent(); }
  // Runs a command and waits for a load it left to the worker.
  void Command(int id) {
    m_view->OnCommand(id);
    testsupport::WaitFor([this] { return !m_view->Stepper().IsLoading(); });
    QCoreApplication::processEvents();
  }

  fs::path m_dir;
  CLorimoSettings m_settings;
  QMainWindow m_frame;
  QStackedWidget* m_stack;
  CImageView* m_view;
  std::vector<std::string> m_messages;
  std::vector<std::string> m_titles;
};

struct WalkCase {
  const char* name;
  bool bRollOver;
  const char* start;
  std::vector<std::pair<int, const char*>> steps;  // command, the image shown after it
};

class ViewerWalk : public Viewer, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(ViewerWalk, StepsThroughTheFolderWithTitleAndPosition) {
  const WalkCase& c = GetParam();
  gVO[VO_ROLL_OVER].bFlag = c.bRollOver;
  ASSERT_EQ(m_view->OpenFile(Path(c.start)), 1);
  for (const auto& [command, expected] : c.steps) {
    Command(command);
    EXPECT_EQ(Name(), expected) << command;
    EXPECT_EQ(Current(), expected[0] - 'a') << command;
    const std::string title = std::string("ZOKA Lorimo - ") + expected;
    EXPECT_EQ(m_view->TitleText().toStdString(), title);
    ASSERT_FALSE(m_titles.empty());
    EXPECT_EQ(m_titles.back(), title);
  }
  EXPECT_EQ(m_settings.strLastLoadedImage, Path(c.steps.back().second));
  EXPECT_EQ(m_settings.recent.GetRecentFiles().front(), Path(c.steps.back().second));
}

INSTANTIATE_TEST_SUITE_P(Viewer, ViewerWalk,
                         ::testing::Values(WalkCase{"RollOver",
                                                    true,
                                                    "c.png",
                                                    {{IDM_NEXT_IMAGE, "d.png"},
                                                     {IDM_NEXT_IMAGE, "e.png"},
                                                     {IDM_NEXT_IMAGE, "a.png"},
                                                     {IDM_PREVIOUS_IMAGE, "e.png"},
                                                     {IDM_FIRST_IMAGE, "a.png"},
                                                     {IDM_LAST_IMAGE, "e.png"}}},
                                           WalkCase{"NoRollOver",
                                                    false,
                                                    "d.png",
                                                    {{IDM_NEXT_IMAGE, "e.png"},
                                                     {IDM_NEXT_IMAGE, "e.png"},
                                                     {IDM_PREVIOUS_IMAGE, "d.png"},
                                                     {IDM_FIRST_IMAGE, "a.png"},
                                                     {IDM_PREVIOUS_IMAGE, "a.png"}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Viewer, TitleShowsThePortfolioWhileOneIsOpen) {
  CSlidesFile portfolio;
  portfolio.Append(Path("e.png"), 0);
  portfolio.Append(Path("b.png"), 0);
  const MyString file = CStrAW::FromPath(m_dir / "Trip.lrm");
  ASSERT_EQ(portfolio.Save(file), 1);
  EXPECT_EQ(SendMessage(m_view->GetSafeHwnd(), WM_LORIMO_OPEN_PORTFOLIO,
                        reinterpret_cast<WPARAM>(file.c_str()), 0),
            1);
  EXPECT_EQ(m_view->TitleText(), QStringLiteral("ZOKA Lorimo - [Trip.lrm] e.png"));
  EXPECT_EQ(m_settings.recent.GetPortfolioSlot(0), file);
  Command(IDM_NEXT_IMAGE);
  EXPECT_EQ(m_view->TitleText(), QStringLiteral("ZOKA Lorimo - [Trip.lrm] b.png"));
  // The folder message lists the folder instead; without "Show information" the name goes.
  const MyString folder = CStrAW::FromPath(m_dir);
  gVO[VO_SHOW_RGB].bFlag = 0;
  EXPECT_EQ(SendMessage(m_view->GetSafeHwnd(), WM_LORIMO_SHOW_FOLDER,
                        reinterpret_cast<WPARAM>(folder.c_str()), 0),
            1);
  EXPECT_EQ(Name(), "a.png");
  EXPECT_EQ(m_view->TitleText(), QStringLiteral("ZOKA Lorimo"));
}

TEST_F(Viewer, LockKeepsZoomAndScrollAcrossNext) {
  const fs::path big = testsupport::NewTempDir("big");
  WriteImage(big / "one.png", 1600, 1200);
  WriteImage(big / "two.png", 1600, 1200);
  ASSERT_EQ(m_view->OpenFile(CStrAW::FromPath(big / "one.png")), 1);
  EXPECT_TRUE(m_view->IsCommandChecked(IDM_BEST_FIT));
  Command(IDM_ZOOM_OUT);
  Command(IDM_ACTUAL_SIZE);
  ASSERT_TRUE(m_view->HorizontalBar()->isVisible());
  m_view->HorizontalBar()->setValue(300);
  m_view->VerticalBar()->setValue(200);
  Command(IDM_LOCK_ZOOM_SCROLL);
  EXPECT_TRUE(m_view->IsCommandChecked(IDM_LOCK_ZOOM_SCROLL));
  EXPECT_EQ(gBO[BO_SEL_ZS].bFlag, 1);

  Command(IDM_NEXT_IMAGE);
  EXPECT_EQ(Name(), "two.png");
  EXPECT_FLOAT_EQ(m_view->Geometry().Zoom(), 1.0f);
  EXPECT_EQ(m_view->Document().GetData().nScrollX, 300);
  EXPECT_EQ(m_view->Document().GetData().nScrollY, 200);
  EXPECT_EQ(m_view->HorizontalBar()->value(), 300);

  Command(IDM_LOCK_ZOOM_SCROLL);
  EXPECT_EQ(gBO[BO_SEL_ZS].bFlag, 0);
  Command(IDM_NEXT_IMAGE);
  EXPECT_LT(m_view->Geometry().Zoom(), 1.0f);  // fitted again
  EXPECT_EQ(m_view->Document().GetData().nScrollX, 0);
  EXPECT_FALSE(m_view->HorizontalBar()->isVisible());
}

TEST_F(Viewer, FullScreenIsABorderlessWindowAndComesBack) {
  gVO[VO_SHOW_CRS_FS].bFlag = 1;
  gVO[VO_ENLARGE_FS].bFlag = 1;
  gVO[VO_RESTORE_FS].bFlag = 0;
  std::vector<bool> changes;
  QObject::connect(m_view, &CImageView::FullScreenChanged,
                   [&](bool bFullScreen) { changes.push_back(bFullScreen); });
  EXPECT_FALSE(m_view->IsCommandEnabled(IDM_FULL_SCREEN));
  Command(IDM_FULL_SCREEN);  // no image: nothing
  EXPECT_FALSE(m_view->IsFullScreen());

  ASSERT_EQ(m_view->OpenFile(Path("b.png")), 1);
  Command(IDM_FULL_SCREEN);
  ASSERT_TRUE(m_view->IsFullScreen());
  EXPECT_TRUE(m_view->isWindow());
  EXPECT_TRUE(m_view->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_FALSE(m_frame.isVisible());
  EXPECT_EQ(m_view->cursor().shape(), Qt::BlankCursor);
  EXPECT_FALSE(m_view->HorizontalBar()->isVisible());
  const QSize screen = m_view->screen()->geometry().size();
  EXPECT_EQ(m_view->ClientSize(), screen);
  const float fullScreenZoom = m_view->Geometry().Zoom();
  EXPECT_GT(fullScreenZoom, 1.0f);  // enlarged to the screen
  EXPECT_EQ(m_view->windowTitle(), QStringLiteral("ZOKA Lorimo - b.png"));

  // Closing the full-screen window only leaves full screen.
  EXPECT_FALSE(m_view->close());
  EXPECT_FALSE(m_view->IsFullScreen());
  EXPECT_EQ(m_view->parentWidget(), m_stack);
  EXPECT_EQ(m_stack->currentWidget(), m_view);
  EXPECT_EQ(m_view->size(), m_stack->size());
  EXPECT_TRUE(m_frame.isVisible());
  EXPECT_NE(m_view->cursor().shape(), Qt::BlankCursor);
  // "Restore when switching from full screen" is off: the factor stays.
  EXPECT_FLOAT_EQ(m_view->Geometry().Zoom(), fullScreenZoom);

  Command(IDM_FULL_SCREEN);
  Command(IDM_MAXIMIZE_VIEW);  // not in full screen
  EXPECT_FALSE(m_view->IsMaximizeView());
  Command(IDM_FULL_SCREEN);
  EXPECT_EQ(changes, (std::vector<bool>{true, false, true, false}));
}

TEST_F(Viewer, EmptyViewerTexts) {
  const auto brightest = [this] {
    const QImage shot = m_view->grab().toImage();
    QRgb best = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x)
        if (qBlue(shot.pixel(x, y)) > qBlue(best)) best = shot.pixel(x, y);
    return best;
  };
  const QRgb text = kEmptyViewerTextColor.rgb();
  EXPECT_EQ(qBlue(brightest()), 0);  // nothing opened: blank

  const fs::path empty = testsupport::NewTempDir("empty");
  EXPECT_EQ(m_view->ShowFolder(CStrAW::FromPath(empty)), 0);
  EXPECT_EQ(m_view->TitleText(), QStringLiteral("ZOKA Lorimo"));
  EXPECT_EQ(brightest(), text);

  // In full screen, a folder that empties says "No image loaded.".
  ASSERT_EQ(m_view->OpenFile(Path("a.png")), 1);
  Command(IDM_FULL_SCREEN);
  for (const char* name : {"a.png", "b.png", "c.png", "d.png", "e.png"}) fs::remove(m_dir / name);
  Command(IDM_RESCAN);
  EXPECT_EQ(m_messages.back(), "Lorimo message:: No Lorimo files found in this directory.");
  EXPECT_TRUE(m_view->Image().isNull());
  EXPECT_EQ(brightest(), text);
  Command(IDM_FULL_SCREEN);
}

TEST_F(Viewer, AutoplayStepsUntilAKeyIsPressed) {
  m_settings.dwAutoPlayMiliseconds = 5;
  std::vector<bool> changes;
  QObject::connect(m_view, &CImageView::AutoplayChanged,
                   [&](bool bRunning) { changes.push_back(bRunning); });
  Command(IDM_AUTOPLAY);  // no image
  EXPECT_FALSE(m_view->Slideshow().IsRunning());
  ASSERT_EQ(m_view->OpenFile(Path("a.png")), 1);
  Command(IDM_AUTOPLAY);
  ASSERT_TRUE(m_view->IsCommandChecked(IDM_AUTOPLAY));
  EXPECT_TRUE(m_view->Slideshow().Panel()->isVisible());
  ASSERT_TRUE(testsupport::WaitFor([this] { return Current() == 3; }));
  EXPECT_TRUE(m_view->Slideshow().Panel()->SlideText().endsWith(QStringLiteral(" / 5")));

  // Ctrl alone does not stop the show; any other key does.
  QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
  QApplication::sendEvent(m_view, &ctrl);
  Wait(30);
  EXPECT_TRUE(m_view->Slideshow().IsRunning());
  QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
  QApplication::sendEvent(m_view, &key);
  QCoreApplication::processEvents();
  EXPECT_FALSE(m_view->Slideshow().IsRunning());
  EXPECT_FALSE(m_view->Slideshow().Panel()->isVisible());
  const int stoppedAt = Current();
  Wait(30);
  EXPECT_EQ(Current(), stoppedAt);

  // The program's hook (menus, minimizing) stops it too.
  Command(IDM_AUTOPLAY);
  ASSERT_TRUE(m_view->Slideshow().IsRunning());
  ASSERT_TRUE(GetProgramHooks().stopAutoplay);
  GetProgramHooks().stopAutoplay();
  EXPECT_FALSE(m_view->Slideshow().IsRunning());
  EXPECT_EQ(changes, (std::vector<bool>{true, false, true, false}));
}

TEST_F(Viewer, BackwardAutoplayWithoutRollOverStaysOnTheFirstAndRuns) {
  gVO[VO_ROLL_OVER].bFlag = 0;
  m_settings.dwAutoPlayMiliseconds = 5;
  ASSERT_EQ(m_view->OpenFile(Path("c.png")), 1);
  Command(IDM_AUTOPLAY);
  m_view->Slideshow().Panel()->BackwardButton()->click();
  EXPECT_EQ(m_view->Slideshow().Direction(), AD_BACKWARD);
  ASSERT_TRUE(testsupport::WaitFor([this] { return Current() == 0; }));
  Wait(60);
  EXPECT_EQ(Current(), 0);
  EXPECT_TRUE(m_view->Slideshow().IsRunning());
  // Pause holds the show, play goes on: forward now.
  m_view->Slideshow().Panel()->PlayPauseButton()->click();
  EXPECT_TRUE(m_view->Slideshow().IsPaused());
  m_view->Slideshow().Panel()->ForwardButton()->click();
  Wait(40);
  EXPECT_EQ(Current(), 0);
  m_view->Slideshow().Panel()->PlayPauseButton()->click();
  ASSERT_TRUE(testsupport::WaitFor([this] { return Current() == 4; }));
  // Forward at the last image without roll-over ends the show.
  ASSERT_TRUE(testsupport::WaitFor([this] { return !m_view->Slideshow().IsRunning(); }));
  EXPECT_EQ(Current(), 4);
}

TEST_F(Viewer, PortfolioSlideDelayHoldsTheFirstSlide) {
  m_settings.dwAutoPlayMiliseconds = 5;
  CSlidesFile portfolio;
  portfolio.Append(Path("a.png"), 60000);
  portfolio.Append(Path("b.png"), 0);
  const MyString file = CStrAW::FromPath(m_dir / "slow.lrm");
  ASSERT_EQ(portfolio.Save(file), 1);
  ASSERT_EQ(m_view->OpenPortfolio(file), 1);
  Command(IDM_AUTOPLAY);
  Wait(80);
  EXPECT_EQ(Current(), 0);
  EXPECT_TRUE(m_view->Slideshow().IsRunning());
  m_view->StopAutoplay();
}

TEST_F(Viewer, APortfolioPlaysInItsOrderHoldingEachSlideForItsDelay) {
  gVO[VO_ROLL_OVER].bFlag = 0;
  m_settings.dwAutoPlayMiliseconds = 100;
  // Not the folder's order; 0 takes the setting.
  const std::vector<std::pair<const char*, int>> slides{
      {"c.png", 400}, {"a.png", 0}, {"e.png", 250}, {"b.png", 150}};
  CSlidesFile portfolio;
  for (const auto& [name, delay] : slides) portfolio.Append(Path(name), delay);
  const MyString file = CStrAW::FromPath(m_dir / "show.lrm");
  ASSERT_EQ(portfolio.Save(file), 1);
  QElapsedTimer clock;
  std::vector<std::pair<QString, qint64>> shown;
  QObject::connect(m_view, &CImageView::CurrentImageChanged, [&](const QString& path, int) {
    shown.emplace_back(QFileInfo(path).fileName(), clock.elapsed());
  });
  ASSERT_EQ(m_view->OpenPortfolio(file), 1);
  clock.start();
  shown.clear();
  Command(IDM_AUTOPLAY);
  ASSERT_TRUE(m_view->Slideshow().IsRunning());
  // The last slide without roll-over ends the show.
  ASSERT_TRUE(testsupport::WaitFor([this] { return !m_view->Slideshow().IsRunning(); },
                                   std::chrono::seconds(20)));
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].first, QStringLiteral("a.png"));
  EXPECT_EQ(shown[1].first, QStringLiteral("e.png"));
  EXPECT_EQ(shown[2].first, QStringLiteral("b.png"));
  // Each slide stays its own delay (a coarse timer may fire 5 % early);
  // loosely bounded above, as loads and a busy machine add to it.
  const qint64 held[] = {shown[0].second, shown[1].second - shown[0].second,
                         shown[2].second - shown[1].second};
  const qint64 wanted[] = {400, 100, 250};
  for (int i = 0; i < 3; ++i) {
    EXPECT_GE(held[i], wanted[i] * 94 / 100 - 5) << i;
    EXPECT_LT(held[i], wanted[i] + 3000) << i;
  }
  EXPECT_EQ(Current(), 3);
}

TEST_F(Viewer, AFailedLoadShowsNoImageAndSaysWhy) {
  testsupport::WriteFile(m_dir / "f.png", "broken");
  QString failed;
  QObject::connect(m_view, &CImageView::LoadFailed,
                   [&](const QString& path, const QString&) { failed = path; });
  ASSERT_EQ(m_view->OpenFile(Path("e.png")), 1);
  Command(IDM_NEXT_IMAGE);
  EXPECT_EQ(Current(), 5);
  EXPECT_TRUE(m_view->Image().isNull());
  EXPECT_TRUE(m_view->ImageRect().isEmpty());
  EXPECT_EQ(m_view->Document().GetImage().columns(), 10u);
  // The title still names the file that failed.
  EXPECT_EQ(m_view->TitleText(), QStringLiteral("ZOKA Lorimo - f.png"));
  EXPECT_EQ(failed, Path("f.png").ToQString());
  EXPECT_FALSE(m_view->IsCommandEnabled(IDM_ZOOM_IN));
  EXPECT_TRUE(m_view->IsCommandEnabled(IDM_NEXT_IMAGE));
  Command(IDM_NEXT_IMAGE);
  EXPECT_EQ(Name(), "a.png");
}

TEST_F(Viewer, CancellingTheSaveQuestionKeepsTheModifiedImage) {
  ASSERT_EQ(m_view->OpenFile(Path("b.png")), 1);
  bool answer = false;
  m_view->askToSaveModified = [&] { return answer; };
  Command(IDM_NEXT_IMAGE);  // not modified: not asked
  EXPECT_EQ(Name(), "c.png");
  m_view->Document().SetModified(true);
  Command(IDM_NEXT_IMAGE);
  EXPECT_EQ(Name(), "c.png");
  EXPECT_EQ(Current(), 2);
  EXPECT_TRUE(m_view->Document().IsModified());
  answer = true;
  Command(IDM_NEXT_IMAGE);
  EXPECT_EQ(Name(), "d.png");
  EXPECT_FALSE(m_view->Document().IsModified());
}

TEST_F(Viewer, NewSortOrderKeepsTheShownImage) {
  ASSERT_EQ(m_view->OpenFile(Path("b.png")), 1);
  bSortAscending = 0;
  Command(IDM_SORT_DESCENDING);
  EXPECT_TRUE(m_view->IsCommandChecked(IDM_SORT_DESCENDING));
  EXPECT_EQ(Name(), "b.png");
  EXPECT_EQ(Current(), 3);
  Command(IDM_NEXT_IMAGE);
  EXPECT_EQ(Name(), "a.png");
}

TEST_F(Viewer, CommandsThatNeedAnImageWarn) {
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[this] { Command(IDM_ZOOM_IN); }, "Lorimo: ZoomIn Image Function"},
      {[this] { Command(IDM_ZOOM_OUT); }, "Lorimo: ZoomOut Image Function"},
      {[this] {
         m_view->ZoomInOnPixel({5, 5});
       },
       "Lorimo: ZoomInPixel Image Function"},
      {[this] {
         m_view->ZoomOutOnPixel({5, 5});
       },
       "Lorimo: ZoomOutPixel Image Function"},
      {[this] {
         m_view->HandStart({5, 5});
       },
       "Lorimo: Hand Image Function"},
      {[this] {
         m_view->ZoomInRegionStart({5, 5});
       },
       "Lorimo: Hand Image Function"},
      {[this] {
         m_view->DynamicZoomStart({5, 5});
       },
       "Lorimo: Hand Image Function"},
      {[this] { Command(IDM_RESCAN); }, "Lorimo: Rescan Image Function"},
  };
  for (const auto& [run, caption] : cases) {
    m_messages.clear();
    run();
    ASSERT_EQ(m_messages.size(), 1u) << caption;
    EXPECT_EQ(m_messages[0], std::string(caption) + ": Please Open Image First.");
  }
  m_messages.clear();
  for (int id : {IDM_ACTUAL_SIZE, IDM_BEST_FIT, IDM_LOCK_ZOOM_SCROLL, IDM_AUTOPLAY, IDM_SORT_NAME,
                 IDM_NEXT_IMAGE})
    EXPECT_EQ(m_view->OnCommand(id), 1) << id;
  EXPECT_TRUE(m_messages.empty());
  EXPECT_EQ(m_view->OnCommand(IDM_OPEN), 0);  // not the viewer's
}

TEST_F(Viewer, DragToolsFollowTheMouse) {
  const fs::path big = testsupport::NewTempDir("big");
  WriteImage(big / "wide.png", 2000, 1500);
  ASSERT_EQ(m_view->OpenFile(CStrAW::FromPath(big / "wide.png")), 1);
  Command(IDM_ACTUAL_SIZE);
  const tagIMAGEDATA& data = m_view->Document().GetData();

  m_view->HandStart({200, 150});
  EXPECT_EQ(m_view->cursor().shape(), Qt::ClosedHandCursor);
  const int x = data.nScrollX, y = data.nScrollY;
  SendMouse(m_view, QEvent::MouseMove, {150, 120}, Qt::LeftButton);
  EXPECT_EQ(data.nScrollX, x + 50);
  EXPECT_EQ(data.nScrollY, y + 30);
  EXPECT_EQ(m_view->HorizontalBar()->value(), x + 50);
  // A release nobody handled ends the tool.
  SendMouse(m_view, QEvent::MouseButtonRelease, {150, 120}, Qt::NoButton);
  EXPECT_EQ(m_view->Geometry().DragTool(), DT_NONE);

  // 100 x 50 of the window zoomed to it (the smaller ratio wins).
  const QSize client = m_view->ClientSize();
  m_view->ZoomInRegionStart({100, 100});
  SendMouse(m_view, QEvent::MouseMove, {200, 150}, Qt::LeftButton);
  m_view->ZoomInRegionStop({200, 150});
  EXPECT_FLOAT_EQ(m_view->Geometry().Zoom(),
                  std::min(client.width() / 100.0f, client.height() / 50.0f));

  // Scroll steps are a sixteenth of the page.
  const int before = data.nScrollY;
  EXPECT_EQ(m_view->RunViewerOperation(VOP_SCROLL_DOWN, {}), 1);
  EXPECT_EQ(data.nScrollY, before + m_view->ClientSize().height() / 16);
  m_view->ScrollUp();
  EXPECT_EQ(data.nScrollY, before);
  // The measure tool is the editing part's.
  EXPECT_EQ(m_view->RunViewerOperation(VOP_MEASURE_START, {10, 10}), 1);
}

TEST_F(Viewer, AdaptToImageSizesTheMainWindow) {
  gVO[VO_AI].bFlag = 1;
  gVO[VO_AW].bFlag = 0;
  const fs::path big = testsupport::NewTempDir("big");
  WriteImage(big / "large.png", 700, 500);
  // The smallest window: 450 client pixels and the border of 4.
  ASSERT_EQ(m_view->OpenFile(Path("a.png")), 1);
  EXPECT_EQ(m_frame.size(), QSize(454, 454));
  EXPECT_FLOAT_EQ(m_view->Geometry().Zoom(), 1.0f);
  // A larger image: its size, the vertical scroll bar's width and the border.
  ASSERT_EQ(m_view->OpenFile(CStrAW::FromPath(big / "large.png")), 1);
  const int bar = m_view->VerticalBar()->sizeHint().width();
  EXPECT_EQ(m_frame.width(), 700 + bar + 4);
  EXPECT_FALSE(m_view->HorizontalBar()->isVisible());
}

TEST_F(Viewer, MaximizeViewAlwaysOnTopAndTheStartupScreen) {
  std::vector<bool> maximized;
  QObject::connect(m_view, &CImageView::MaximizeViewChanged,
                   [&](bool bOn) { maximized.push_back(bOn); });
  Command(IDM_MAXIMIZE_VIEW);
  Command(IDM_MAXIMIZE_VIEW);
  EXPECT_EQ(maximized, (std::vector<bool>{true, false}));

  Command(IDM_ALWAYS_ON_TOP);
  EXPECT_TRUE(m_view->IsCommandChecked(IDM_ALWAYS_ON_TOP));
  EXPECT_EQ(gBO[BO_ON_TOP].bFlag, 1);
  EXPECT_TRUE(m_frame.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(m_frame.isVisible());
  Command(IDM_ALWAYS_ON_TOP);
  EXPECT_FALSE(m_frame.windowFlags() & Qt::WindowStaysOnTopHint);

  // Shown while another page holds the centre: the viewer asks for it.
  auto* startup = new QWidget(m_stack);
  m_stack->addWidget(startup);
  m_stack->setCurrentWidget(startup);
  int asked = 0;
  QObject::connect(m_view, &CImageView::ShowViewerRequested, [&] {
    ++asked;
    m_stack->setCurrentWidget(m_view);
  });
  ASSERT_EQ(m_view->OpenFile(Path("a.png")), 1);
  ASSERT_TRUE(testsupport::WaitFor([&] { return asked == 1; }));
  Command(IDM_NEXT_IMAGE);
  EXPECT_EQ(asked, 1);
}

}  // namespace

// A BMP shown after an animated GIF, over and over: what is drawn is the
// file's pixels every time (stale opacity in the BMP's pixels once made
// parts of it see-through, showing the GIF's last frame beneath).
TEST_F(Viewer, BitmapAfterAnimatedGifDrawsExactlyTheFilesPixels) {
  std::vector<Magick::Image> frames;
  for (const char* color : {"#ff000080", "#00ff0040", "#0000ff00"}) {
    frames.emplace_back(Magick::Geometry(120, 120), Magick::Color(color));
    frames.back().animationDelay(1);
  }
  Magick::writeImages(frames.begin(), frames.end(), (m_dir / "f.gif").string());
  Magick::Image stripes(Magick::Geometry(200, 150), Magick::Color("white"));
  stripes.fillColor("orange");
  stripes.draw(Magick::DrawableRectangle(40, 0, 79, 149));
  stripes.fillColor("teal");
  stripes.draw(Magick::DrawableRectangle(120, 0, 159, 149));
  stripes.type(Magick::TrueColorType);
  stripes.write("BMP:" + (m_dir / "g.bmp").string());
  Magick::Image file((m_dir / "g.bmp").string());

  ASSERT_EQ(m_view->OpenFile(Path("f.gif")), 1);
  for (int round = 0; round < 12; ++round) {
    // Half the rounds step on the worker, as fast stepping does.
    gVSO[VSO_SKIP_ON_FAST_VIEW].bFlag = round % 2;
    QTest::qWait(120);  // frames tick
    Command(IDM_NEXT_IMAGE);
    ASSERT_EQ(Name(), "g.bmp");
    QTest::qWait(120);  // a late frame must not reach the bitmap
    const QImage shot = m_view->grab().toImage();
    const QRect rect = m_view->ImageRect();
    ASSERT_EQ(rect.size(), QSize(200, 150));
    int wrong = 0;
    for (int y = 0; y < 150; ++y)
      for (int x = 0; x < 200; ++x) {
        const Magick::ColorRGB want = file.pixelColor(size_t(x), size_t(y));
        const QRgb got = shot.pixel(rect.left() + x, rect.top() + y);
        if (qRed(got) != int(want.red() * 255 + 0.5) ||
            qGreen(got) != int(want.green() * 255 + 0.5) ||
            qBlue(got) != int(want.blue() * 255 + 0.5))
          ++wrong;
      }
    ASSERT_EQ(wrong, 0) << "round " << round;
    Command(IDM_PREVIOUS_IMAGE);
    ASSERT_EQ(Name(), "f.gif");
  }
}
