// Loads aimed at the viewer window: animation, progress strip, Cancel,
// transparency, and the document's flags.
#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>

#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "testsupport/testsupport.h"
#include "viewer/gifanimation.h"
#include "viewer/imagedocument.h"
#include "viewer/imageio.h"
#include "viewer/imageview.h"
#include "viewer/progressmonitor.h"
#include "viewer/progressstrip.h"

namespace fs = std::filesystem;

namespace {

Magick::Image Solid(const char* color, size_t size = 16) {
  InitializeImageLibrary();
  return Magick::Image(Magick::Geometry(size, size), Magick::Color(color));
}

// A GIF of the given frames, each shown delay hundredths, looping
// iterations times (0: for ever; -1: no loop extension at all).
fs::path WriteGif(const fs::path& folder, const char* name, size_t frames, int delay,
                  int iterations) {
  static const char* colors[] = {"red", "lime", "blue", "yellow"};
  std::vector<Magick::Image> images;
  for (size_t i = 0; i < frames; ++i) {
    images.push_back(Solid(colors[i % 4]));
    images.back().animationDelay(unsigned(delay));
    if (iterations >= 0) images.back().animationIterations(unsigned(iterations));
  }
  const fs::path path = folder / name;
  Magick::writeImages(images.begin(), images.end(), path.string());
  return path;
}

struct PlaybackCase {
  size_t frames;
  int iterations;
  int ticks;     // steps taken
  bool stopped;  // whether the run has ended by then
  size_t frame;  // the frame shown last
  int cycles;
};

class GifPlaybackRule : public ::testing::TestWithParam<PlaybackCase> {};

TEST_P(GifPlaybackRule, CyclesAndStopsAsCounted) {
  const PlaybackCase& c = GetParam();
  CGifPlayback playback;
  playback.Start(c.frames, c.iterations, 7);
  bool stopped = false;
  for (int i = 0; i < c.ticks && !stopped; ++i) {
    const CGifPlayback::CStep step = playback.Advance(7);
    stopped = step.bStop;
    if (stopped) {
      EXPECT_EQ(step.nFrame, playback.GetIndex());
    }
    playback.Apply(step);
  }
  EXPECT_EQ(stopped, c.stopped);
  EXPECT_EQ(playback.GetIndex(), c.frame);
  EXPECT_EQ(playback.GetCycles(), c.cycles);
}

INSTANTIATE_TEST_SUITE_P(Counts, GifPlaybackRule,
                         ::testing::Values(
                             // Iteration count 1: two full cycles, then it stays on the last frame.
                             PlaybackCase{3, 1, 5, false, 2, 1}, PlaybackCase{3, 1, 6, true, 2, 2},
                             PlaybackCase{3, 1, 50, true, 2, 2},
                             // Count 2: three cycles.
                             PlaybackCase{2, 2, 5, false, 1, 2}, PlaybackCase{2, 2, 6, true, 1, 3},
                             // Count 0: for ever.
                             PlaybackCase{3, 0, 300, false, 0, 100}));

TEST(GifPlaybackRule, DelaysInMillisecondsWithTheFirstFrameAsFallback) {
  CGifPlayback playback;
  playback.Start(3, 0, 20);
  EXPECT_EQ(playback.FirstDelayMs(), 200);
  EXPECT_EQ(playback.Advance(35).nDelayMs, 350);
  EXPECT_EQ(playback.Advance(0).nDelayMs, 200);  // the first frame's delay
  // A file with no delays at all does not spin the timer.
  playback.Start(3, 0, 0);
  EXPECT_EQ(playback.Advance(0).nDelayMs, CGifPlayback::kMinimumDelay * 10);
  EXPECT_EQ(playback.FirstDelayMs(), CGifPlayback::kMinimumDelay * 10);
}

class ViewerLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    m_dir = testsupport::NewTempDir();
  }
  fs::path m_dir;
};

TEST_F(ViewerLoad, AnimatedGifPlaysTwoCyclesAndStopsOnItsLastFrame) {
  const fs::path gif = WriteGif(m_dir, "anim.gif", 3, 1, 1);
  CImageView view;
  CImageDocument& document = view.Document();
  std::vector<std::string> shown;
  document.SetChangedHandler([&] {
    const Magick::Color pixel = Magick::Image(document.GetImage()).pixelColor(0, 0);
    shown.push_back(std::string(pixel));
  });
  ASSERT_EQ(view.OpenFile(CStrAW::FromPath(gif)), 1);
  EXPECT_EQ(document.GetAnimation().GetFrameCount(), 3u);
  EXPECT_EQ(document.GetAnimation().GetPlayback().GetIterations(), 1);
  ASSERT_TRUE(document.GetAnimation().IsRunning());
  ASSERT_TRUE(testsupport::WaitFor([&] { return !document.GetAnimation().IsRunning(); }));
  // The load, then frames 1, 2, 0, 1, 2: two full cycles.
  ASSERT_EQ(shown.size(), 6u);
  EXPECT_EQ(shown.back(), std::string(Magick::Color("blue")));
  EXPECT_EQ(document.GetAnimation().GetPlayback().GetCycles(), 2);
}

TEST_F(ViewerLoad, EndlessGifKeepsPlayingUntilTheNextLoad) {
  const fs::path gif = WriteGif(m_dir, "endless.gif", 2, 1, 0);
  Solid("white").write((m_dir / "still.png").string());
  CImageView view;
  ASSERT_EQ(view.OpenFile(CStrAW::FromPath(gif)), 1);
  CGifAnimation& animation = view.Document().GetAnimation();
  ASSERT_TRUE(testsupport::WaitFor([&] { return animation.GetPlayback().GetCycles() >= 3; }));
  EXPECT_TRUE(animation.IsRunning());
  ASSERT_EQ(view.OpenFile(CStrAW::FromPath(m_dir / "still.png")), 1);
  EXPECT_FALSE(animation.IsRunning());
  EXPECT_EQ(animation.GetFrameCount(), 0u);
}

TEST_F(ViewerLoad, SingleFrameGifAndAutoplayStayStill) {
  const fs::path one = WriteGif(m_dir, "one.gif", 1, 5, 0);
  const fs::path many = WriteGif(m_dir, "many.gif", 3, 5, 0);
  CImageView view;
  ASSERT_EQ(view.OpenFile(CStrAW::FromPath(one)), 1);
  EXPECT_FALSE(view.Document().GetAnimation().IsRunning());
  view.Document().SetAutoplayQuery([] { return true; });
  ASSERT_EQ(view.OpenFile(CStrAW::FromPath(many)), 1);
  EXPECT_FALSE(view.Document().GetAnimation().IsRunning());
}

TEST_F(ViewerLoad, SuccessfulLoadSetsPathAndClearsModifiedFailureEmpties) {
  Solid("red").write((m_dir / "red.png").string());
  testsupport::WriteFile(m_dir / "bad.png", "garbage");
  CImageView view;
  CImageDocument& document = view.Document();
  document.SetModified(true);
  ASSERT_EQ(view.OpenFile(CStrAW::FromPath(m_dir / "red.png")), 1);
  EXPECT_FALSE(document.IsModified());
  EXPECT_TRUE(document.HasImage());
  EXPECT_EQ(document.GetName(), MyString(u"red.png"));
  EXPECT_FALSE(view.Image().isNull());
  EXPECT_EQ(view.OpenFile(CStrAW::FromPath(m_dir / "bad.png")), 0);
  EXPECT_FALSE(document.HasImage());
  EXPECT_TRUE(document.GetPath().IsEmpty());
  EXPECT_TRUE(view.Image().isNull());
}

TEST_F(ViewerLoad, TransparencyIsShownOverTheBackgroundAndWrittenBack) {
  // Transparent left half, opaque white right half: the white must stay
  // white and opaque after a save, only the left half turns transparent.
  Magick::Image image = Solid("white", 8);
  image.matte(true);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 4; ++x) image.pixelColor(x, y, Magick::Color(0, 0, 0, MaxRGB));
  image.write((m_dir / "half.png").string());

  CImageView view;
  CImageDocument& document = view.Document();
  ASSERT_EQ(view.OpenFile(CStrAW::FromPath(m_dir / "half.png")), 1);
  ASSERT_TRUE(document.HasTransparency());
  EXPECT_FALSE(document.GetImage().matte());
  const Magick::Color shownLeft = Magick::Image(document.GetImage()).pixelColor(0, 0);
  EXPECT_EQ(shownLeft, document.GetTransparencyColor());

  const MyString copy = CStrAW::FromPath(m_dir / "copy.png");
  ASSERT_TRUE(SaveImage(view.GetSafeHwnd(), copy, document.GetImage()));
  Magick::Image back;
  ASSERT_EQ(LoadImage(nullptr, copy, &back, 0), 1);
  ASSERT_TRUE(back.matte());
  EXPECT_EQ(back.pixelColor(0, 0).alphaQuantum(), MaxRGB);  // transparent
  EXPECT_EQ(back.pixelColor(7, 0).alphaQuantum(), 0);       // opaque
  EXPECT_EQ(back.pixelColor(7, 0).redQuantum(), MaxRGB);
  // Saved by anyone else (batch work, the image service), nothing turns transparent.
  const MyString other = CStrAW::FromPath(m_dir / "other.png");
  ASSERT_TRUE(SaveImage(nullptr, other, document.GetImage()));
  ASSERT_EQ(LoadImage(nullptr, other, &back, 0), 1);
  EXPECT_FALSE(back.matte() && back.pixelColor(0, 0).alphaQuantum() == MaxRGB);
}

// A decoder clock that jumps a second per report: the strip shows at the
// second report and follows the percentage.
TEST(ProgressMonitor, ShowsAfterOneSecondOnceAndFollowsThePercentage) {
  struct CRecorder : CProgressView {
    int shows = 0, hides = 0, pumps = 0;
    std::vector<int> percents;
    void ShowProgress() override { ++shows; }
    void SetProgress(int percent) override { percents.push_back(percent); }
    void PumpMessages() override { ++pumps; }
    void HideProgress() override { ++hides; }
  } view;
  int64_t now = 0;
  CProgressMonitor monitor([&] { return now; });
  monitor.SetView(&view);
  monitor.Begin();
  EXPECT_TRUE(monitor.OnProgress(0, 200));
  now = 999;
  EXPECT_TRUE(monitor.OnProgress(10, 200));
  EXPECT_EQ(view.shows, 0);
  now = 1000;
  EXPECT_TRUE(monitor.OnProgress(50, 200));
  now = 1500;
  EXPECT_TRUE(monitor.OnProgress(150, 200));
  EXPECT_EQ(view.shows, 1);
  EXPECT_EQ(view.percents, (std::vector<int>{25, 75}));
  EXPECT_EQ(view.pumps, 2);
  monitor.Cancel();
  EXPECT_FALSE(monitor.OnProgress(160, 200));
  monitor.End();
  EXPECT_EQ(view.hides, 1);
  // The next decode starts without the cancel and the strip.
  monitor.Begin();
  EXPECT_TRUE(monitor.OnProgress(1, 2));
  monitor.End();
  EXPECT_EQ(view.hides, 1);
}

TEST(ProgressMonitor, PercentOfOddTotals) {
  EXPECT_EQ(CProgressMonitor::Percent(0, 0), 0);
  EXPECT_EQ(CProgressMonitor::Percent(5, 0), 0);
  EXPECT_EQ(CProgressMonitor::Percent(-3, 10), 0);
  EXPECT_EQ(CProgressMonitor::Percent(11, 10), 100);
  EXPECT_EQ(CProgressMonitor::Percent(1, 3), 33);
}

TEST(ProgressMonitor, ClosingAbortsEveryDecode) {
  CProgressMonitor monitor;
  monitor.Begin();
  CProgressMonitor::SetClosing(true);
  EXPECT_FALSE(monitor.OnProgress(1, 2));
  CProgressMonitor::SetClosing(false);
  EXPECT_TRUE(monitor.OnProgress(1, 2));
  monitor.End();
}

// The strip pressed while it shows: GraphicsMagick's monitor aborts the
// decode and the viewer gets the 10 x 10 black image, without a message.
class CPressingStrip : public CProgressStrip {
 public:
  int nShown = 0;
  void ShowProgress() override {
    ++nShown;
    CProgressStrip::ShowProgress();
  }
  void SetProgress(int percent) override {
    CProgressStrip::SetProgress(percent);
    GetCancelButton()->click();
  }
};

TEST_F(ViewerLoad, CancelDuringALoadGivesTheSmallBlackImage) {
  InitializeImageLibrary();
  Magick::Image big(Magick::Geometry(600, 600), Magick::Color("red"));
  big.write((m_dir / "big.tif").string());
  gVO[VO_DIALOG_ERRORS].bFlag = 0;
  int messages = 0;
  SetImageMessageSink([&](HWND, const MyString&, const MyString&) { ++messages; });

  CImageView view;
  CPressingStrip strip;
  CProgressMonitor& monitor = view.Document().GetMonitor();
  monitor.SetView(&strip);
  strip.SetMonitor(&monitor);
  // Every report comes a second after the one before.
  int64_t now = 0;
  monitor.SetClock([&] { return now += 1000; });
  Magick::Image image;
  EXPECT_EQ(LoadImage(view.GetSafeHwnd(), CStrAW::FromPath(m_dir / "big.tif"), &image, 1), 0);
  EXPECT_EQ(strip.nShown, 1);
  EXPECT_TRUE(strip.isHidden());
  EXPECT_EQ(image.columns(), 10u);
  EXPECT_EQ(image.rows(), 10u);
  EXPECT_EQ(Magick::Image(image).pixelColor(5, 5), Magick::Color(0, 0, 0));
  EXPECT_EQ(messages, 0);
  // The next load runs to its end.
  monitor.SetClock([] { return int64_t(0); });
  EXPECT_EQ(LoadImage(view.GetSafeHwnd(), CStrAW::FromPath(m_dir / "big.tif"), &image, 1), 1);
  EXPECT_EQ(image.columns(), 600u);
  SetImageMessageSink(nullptr);
}

void PostClick(QWidget* widget) {
  const QPointF centre = QRectF(widget->rect()).center();
  const QPointF global = widget->mapToGlobal(centre);
  QCoreApplication::postEvent(
      widget, new QMouseEvent(QEvent::MouseButtonPress, centre, global, Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(
      widget, new QMouseEvent(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton,
                              Qt::NoButton, Qt::NoModifier));
}

// While a decode pumps messages only Cancel takes input: another command
// would start a load inside the running one.
TEST(ProgressStrip, PumpLetsOnlyCancelThrough) {
  QWidget window;
  auto* layout = new QHBoxLayout(&window);
  auto* other = new QPushButton(QStringLiteral("Next"), &window);
  auto* strip = new CProgressStrip(&window);
  layout->addWidget(other);
  layout->addWidget(strip);
  CProgressMonitor monitor;
  strip->SetMonitor(&monitor);
  window.show();
  strip->ShowProgress();
  int otherClicks = 0;
  QObject::connect(other, &QPushButton::clicked, [&] { ++otherClicks; });

  monitor.Begin();
  PostClick(other);
  PostClick(strip->GetCancelButton());
  strip->PumpMessages();
  EXPECT_EQ(otherClicks, 0);
  EXPECT_TRUE(monitor.IsCancelled());
  monitor.End();

  PostClick(other);
  QCoreApplication::processEvents();
  EXPECT_EQ(otherClicks, 1);
}

TEST_F(ViewerLoad, FolderMessageShowsTheFirstImageOfTheListing) {
  Solid("red").write((m_dir / "b.png").string());
  Solid("blue").write((m_dir / "a.png").string());
  CImageView view;
  const MyString folder = CStrAW::FromPath(m_dir);
  EXPECT_EQ(SendMessage(view.GetSafeHwnd(), WM_LORIMO_SHOW_FOLDER,
                        reinterpret_cast<WPARAM>(folder.c_str()), 0),
            1);
  EXPECT_EQ(view.Document().GetName(), MyString(u"a.png"));
}

}  // namespace
