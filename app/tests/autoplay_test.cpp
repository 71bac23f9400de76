#include "viewer/autoplay.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "pixwork/listposition.h"
#include "testsupport/testsupport.h"
#include "viewer/viewertitle.h"

namespace {

// A show over a folder of three images: each tick runs the step through
// the folder position, as the viewer's Next and Previous commands do.
struct CShow {
  CAutoplay autoplay;
  CListPosition position;
  bool bRollOver = true;

  CShow() {
    const auto dir = testsupport::NewTempDir("show");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) testsupport::WriteFile(dir / name, "x");
    position.OpenFolder(CStrAW::FromPath(dir));
  }

  int Tick() {
    int moved = 0;
    switch (autoplay.TickStep()) {
      case AS_STOP:
        return 0;
      case AS_NEXT:
        moved = position.Next(bRollOver);
        break;
      case AS_PREVIOUS:
        moved = position.Previous(bRollOver);
        break;
    }
    return autoplay.StepDone(moved, true, 1000);
  }
};

TEST(Autoplay, ToggleNeedsAnImageAndMoreThanOne) {
  CAutoplay autoplay;
  EXPECT_EQ(autoplay.Toggle(false, 5), 0);
  EXPECT_FALSE(autoplay.IsRunning());
  EXPECT_EQ(autoplay.Toggle(true, 1), 0);
  EXPECT_FALSE(autoplay.IsRunning());

  EXPECT_EQ(autoplay.Toggle(true, 2), 1);
  EXPECT_TRUE(autoplay.IsRunning());
  EXPECT_EQ(autoplay.Toggle(false, 2), 1);  // no image: left as it is
  EXPECT_TRUE(autoplay.IsRunning());
  EXPECT_EQ(autoplay.Toggle(true, 1), 0);  // the folder shrank to one image
  EXPECT_FALSE(autoplay.IsRunning());

  autoplay.Toggle(true, 3);
  EXPECT_EQ(autoplay.Toggle(true, 3), 0);
  EXPECT_EQ(autoplay.Stop(), 0);
  autoplay.Toggle(true, 3);
  EXPECT_EQ(autoplay.TickStep(), AS_NEXT);
  EXPECT_EQ(autoplay.Stop(), 1);
  EXPECT_EQ(autoplay.TickStep(), AS_STOP);
}

struct RunCase {
  const char* name;
  AUTOPLAYDIRECTION direction;
  bool bRollOver;
  int nStart;
  std::vector<int> positions;  // after each tick; -1: the run ended there
};

class AutoplayRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(AutoplayRun, StepsInItsDirection) {
  const RunCase& c = GetParam();
  CShow show;
  ASSERT_EQ(show.position.GetLast(), 2);
  ASSERT_TRUE(show.position.SetCurrent(c.nStart));
  show.bRollOver = c.bRollOver;
  show.autoplay.SetDirection(c.direction);
  ASSERT_EQ(show.autoplay.Toggle(show.position.HasImage(), show.position.GetLast() + 1), 1);
  for (size_t i = 0; i < c.positions.size(); ++i) {
    const int delay = show.Tick();
    if (c.positions[i] < 0) {
      EXPECT_EQ(delay, 0) << "tick " << i;
      EXPECT_FALSE(show.autoplay.IsRunning());
      return;
    }
    EXPECT_EQ(delay, 1000) << "tick " << i;
    EXPECT_EQ(show.position.GetCurrent(), c.positions[i]) << "tick " << i;
  }
  EXPECT_TRUE(show.autoplay.IsRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Autoplay, AutoplayRun,
    ::testing::Values(RunCase{"ForwardRollsOver", AD_FORWARD, true, 1, {2, 0, 1, 2, 0}},
                      RunCase{"ForwardStopsAtTheEnd", AD_FORWARD, false, 0, {1, 2, -1}},
                      RunCase{"BackwardRollsOver", AD_BACKWARD, true, 1, {0, 2, 1, 0}},
                      RunCase{"BackwardStaysOnTheFirst", AD_BACKWARD, false, 2, {1, 0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Autoplay, AFailedLoadEndsTheRun) {
  CAutoplay autoplay;
  autoplay.Toggle(true, 4);
  ASSERT_EQ(autoplay.TickStep(), AS_NEXT);
  EXPECT_EQ(autoplay.StepDone(1, false, 1000), 0);
  EXPECT_FALSE(autoplay.IsRunning());
  // A step that lands after the user stopped the show does not restart it.
  autoplay.Toggle(true, 4);
  ASSERT_EQ(autoplay.TickStep(), AS_NEXT);
  autoplay.Stop();
  EXPECT_EQ(autoplay.StepDone(1, true, 1000), 0);
}

struct DelayCase {
  const char* name;
  int nSetting;
  std::vector<int32_t> portfolio;
  int nCurrent;
  int nExpected;
};

class SlideDelay : public ::testing::TestWithParam<DelayCase> {};

TEST_P(SlideDelay, PortfolioDelayOrTheSetting) {
  const DelayCase& c = GetParam();
  EXPECT_EQ(CAutoplay::SlideDelay(c.nSetting, c.portfolio, c.nCurrent), c.nExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Autoplay, SlideDelay,
    ::testing::Values(DelayCase{"NoPortfolio", 1000, {}, 3, 1000},
                      DelayCase{"SlideDelay", 1000, {0, 2500, 300}, 1, 2500},
                      DelayCase{"ZeroMeansTheSetting", 1500, {0, 2500}, 0, 1500},
                      DelayCase{"NegativeMeansTheSetting", 1500, {-40, 2500}, 0, 1500},
                      DelayCase{"PastTheDelays", 1200, {0, 2500}, 2, 1200},
                      DelayCase{"BeforeTheDelays", 1200, {700}, -1, 1200},
                      DelayCase{"ZeroSettingStillFires", 0, {}, 0, 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct TitleCase {
  const char* name;
  bool bHasImage;
  bool bShowInfo;
  const char16_t* fileName;
  const char16_t* portfolio;
  const char16_t* expected;
};

class ViewerTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(ViewerTitle, Text) {
  const TitleCase& c = GetParam();
  EXPECT_EQ(BuildViewerTitle(c.bHasImage, c.bShowInfo, c.fileName, c.portfolio),
            MyString(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Autoplay, ViewerTitle,
    ::testing::Values(TitleCase{"Image", true, true, u"sky.jpg", u"", u"ZOKA Lorimo - sky.jpg"},
                      TitleCase{"Portfolio", true, true, u"sky.jpg", u"/home/ann/Trip.lrm",
                                u"ZOKA Lorimo - [Trip.lrm] sky.jpg"},
                      TitleCase{"PortfolioAsFolder", true, true, u"sky.jpg", u"/home/ann/Trip.lrm/",
                                u"ZOKA Lorimo - [Trip.lrm] sky.jpg"},
                      TitleCase{"InfoOff", true, false, u"sky.jpg", u"/home/ann/Trip.lrm",
                                u"ZOKA Lorimo"},
                      TitleCase{"NoImage", false, true, u"sky.jpg", u"", u"ZOKA Lorimo"},
                      TitleCase{"NoName", true, true, u"", u"", u"ZOKA Lorimo"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
