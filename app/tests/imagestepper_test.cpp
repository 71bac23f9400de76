// The viewer's walk through a real folder: positions, the loads at once and
// on the worker, the save question, the favorites hand-over, portfolios
// and rescans.
#include "viewer/imagestepper.h"

#include <QCoreApplication>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "corekit/loadslot.h"
#include "corekit/slidesfile.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "pixwork/sortsettings.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

// Writes a solid image; the size tells the files apart once loaded.
void WriteImage(const fs::path& path, int width, int height = 8) {
  InitializeImageLibrary();
  Magick::Image image(Magick::Geometry(size_t(width), size_t(height)), Magick::Color("green"));
  image.write(path.string());
}

class Stepper : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    gdwSortingMode = 0;
    bSortAscending = 1;
    m_dir = testsupport::NewTempDir("folder");
    // a..e, each as wide as 10 + its position.
    for (int i = 0; i < 5; ++i)
      WriteImage(m_dir / (std::string(1, char('a' + i)) + ".png"), 10 + i);
    m_stepper.onLoaded = [this](const tagLOADEDIMAGE& loaded) { m_loads.push_back(loaded); };
  }
  void TearDown() override {
    gdwSortingMode = 0;
    bSortAscending = 1;
  }

  MyString Path(const std::string& name) const { return CStrAW::FromPath(m_dir / name); }
  std::string LastName() const {
    return m_loads.empty() ? "" : m_loads.back().strPath.GetStringTitleExt().ToUtf8();
  }
  int Current() const { return m_stepper.Position().GetCurrent(); }

  fs::path m_dir;
  CImageStepper m_stepper;
  std::vector<tagLOADEDIMAGE> m_loads;
  tagSTEPOPTIONS m_options;
};

struct StepCase {
  const char* name;
  bool bRollOver;
  int nStart;
  STEPCOMMAND command;
  int nResult;
  int nAfter;
};

class StepRules : public Stepper, public ::testing::WithParamInterface<StepCase> {};

TEST_P(StepRules, MoveAndLoadOnThisThread) {
  const StepCase& c = GetParam();
  ASSERT_EQ(m_stepper.OpenFile(Path(std::string(1, char('a' + c.nStart)) + ".png"), m_options), 1);
  ASSERT_EQ(Current(), c.nStart);
  m_loads.clear();
  m_options.bRollOver = c.bRollOver;
  const int result = m_stepper.Step(c.command, m_options);
  if (result == SR_LOADING) {
    ASSERT_TRUE(testsupport::WaitFor([&] { return !m_loads.empty(); }));
  }
  EXPECT_EQ(result, c.nResult);
  EXPECT_EQ(Current(), c.nAfter);
  if (result == SR_SHOWN || result == SR_LOADING) {
    ASSERT_EQ(m_loads.size(), 1u);
    EXPECT_EQ(m_loads[0].nIndex, c.nAfter);
    EXPECT_EQ(int(m_loads[0].image.columns()), 10 + c.nAfter);
  } else {
    EXPECT_TRUE(m_loads.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Stepper, StepRules,
    ::testing::Values(StepCase{"Next", true, 1, SC_NEXT, SR_SHOWN, 2},
                      StepCase{"NextRollsOver", true, 4, SC_NEXT, SR_SHOWN, 0},
                      StepCase{"NextStopsAtTheEnd", false, 4, SC_NEXT, SR_AT_END, 4},
                      StepCase{"Previous", false, 3, SC_PREVIOUS, SR_SHOWN, 2},
                      StepCase{"PreviousRollsOver", true, 0, SC_PREVIOUS, SR_SHOWN, 4},
                      StepCase{"PreviousStaysAtTheStart", false, 0, SC_PREVIOUS, SR_UNMOVED, 0},
                      // First and Last always load on the worker.
                      StepCase{"First", false, 3, SC_FIRST, SR_LOADING, 0},
                      StepCase{"Last", false, 1, SC_LAST, SR_LOADING, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Stepper, FastViewingSkipsThePositionsPassedWhileLoading) {
  ASSERT_EQ(m_stepper.OpenFolder(CStrAW::FromPath(m_dir), m_options), 1);
  m_loads.clear();
  m_options.bSkipOnFastView = true;
  {
    // Presses faster than any load: the worker waits for the slot meanwhile.
    CLoadSlotGuard slot(GetLoadSlot());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(m_stepper.Step(SC_NEXT, m_options), SR_LOADING);
  }
  EXPECT_EQ(Current(), 4);
  ASSERT_TRUE(testsupport::WaitFor([&] { return !m_stepper.IsLoading(); }));
  ASSERT_TRUE(testsupport::WaitFor([&] { return !m_loads.empty() && m_loads.back().nIndex == 4; }));
  // The worker loads what is current when it starts, then the newest: at
  // most two loads for four presses, the last one for the last press.
  EXPECT_LE(m_loads.size(), 2u);
  EXPECT_EQ(LastName(), "e.png");
}

TEST_F(Stepper, ALoadHereSupersedesAnOlderWorkerLoad) {
  ASSERT_EQ(m_stepper.OpenFolder(CStrAW::FromPath(m_dir), m_options), 1);
  m_loads.clear();
  EXPECT_EQ(m_stepper.Step(SC_LAST, m_options), SR_LOADING);
  EXPECT_EQ(m_stepper.Step(SC_PREVIOUS, m_options), SR_SHOWN);  // at once: 3
  ASSERT_TRUE(testsupport::WaitFor([&] { return !m_stepper.IsLoading(); }));
  QCoreApplication::processEvents();
  // The worker's image of entry 4 came back later but was older.
  ASSERT_FALSE(m_loads.empty());
  EXPECT_EQ(m_loads.back().nIndex, 3);
  EXPECT_EQ(LastName(), "d.png");
}

TEST_F(Stepper, CancellingTheSaveQuestionUndoesTheStep) {
  ASSERT_EQ(m_stepper.OpenFile(Path("b.png"), m_options), 1);
  int asked = 0;
  bool answer = false;
  m_stepper.askToSave = [&] {
    ++asked;
    return answer;
  };
  m_loads.clear();
  EXPECT_EQ(m_stepper.Step(SC_NEXT, m_options), SR_CANCELLED);
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(m_stepper.OpenFile(Path("e.png"), m_options), 0);
  EXPECT_EQ(Current(), 1);
  EXPECT_TRUE(m_loads.empty());
  answer = true;
  EXPECT_EQ(m_stepper.Step(SC_NEXT, m_options), SR_SHOWN);
  EXPECT_EQ(Current(), 2);
  EXPECT_EQ(asked, 3);
}

TEST_F(Stepper, FavoritesTakeTheStepAtTheEndsUnlessAutoplayRuns) {
  ASSERT_EQ(m_stepper.OpenFile(Path("e.png"), m_options), 1);
  std::vector<bool> asked;
  m_stepper.handOver = [&](bool bForward) {
    asked.push_back(bForward);
    return true;
  };
  EXPECT_EQ(m_stepper.Step(SC_PREVIOUS, m_options), SR_SHOWN);  // not at the start
  EXPECT_EQ(m_stepper.Step(SC_NEXT, m_options), SR_SHOWN);      // 3 -> 4
  EXPECT_EQ(m_stepper.Step(SC_NEXT, m_options), SR_HANDED_OVER);
  EXPECT_EQ(Current(), 4);
  m_options.bAutoplay = true;
  EXPECT_EQ(m_stepper.Step(SC_NEXT, m_options), SR_LOADING);  // rolls over
  ASSERT_TRUE(testsupport::WaitFor([&] { return !m_stepper.IsLoading(); }));
  m_options.bAutoplay = false;
  EXPECT_EQ(Current(), 0);
  EXPECT_EQ(m_stepper.Step(SC_PREVIOUS, m_options), SR_HANDED_OVER);
  EXPECT_EQ(asked, (std::vector<bool>{true, false}));
}

TEST_F(Stepper, FailedLoadsGiveTheBlackStandInAndEmptyEntriesLoadNothing) {
  testsupport::WriteFile(m_dir / "f.png", "not a png");
  testsupport::WriteFile(m_dir / "g.png", "");
  ASSERT_EQ(m_stepper.OpenFile(Path("f.png"), m_options), 0);
  ASSERT_EQ(m_loads.size(), 1u);
  EXPECT_FALSE(m_loads[0].bLoaded);
  EXPECT_EQ(m_loads[0].image.columns(), 10u);
  EXPECT_EQ(m_loads[0].image.rows(), 10u);
  EXPECT_EQ(Magick::Image(m_loads[0].image).pixelColor(5, 5), Magick::Color(0, 0, 0));
  EXPECT_FALSE(m_loads[0].strError.IsEmpty());
  // An empty file stays listed; stepping onto it moves but loads nothing.
  EXPECT_EQ(m_stepper.Step(SC_NEXT, m_options), SR_SHOWN);
  ASSERT_EQ(m_loads.size(), 2u);
  EXPECT_TRUE(m_loads[1].bSkipped);
  EXPECT_EQ(Current(), 6);
}

TEST_F(Stepper, SizeHintReadsLargeJpegsSmaller) {
  const fs::path big = m_dir / "big.jpg";
  WriteImage(big, 1600, 1200);
  m_options.szSizeHint = SIZE{400, 300};
  // A photo comes as its 8-bit pixels, other files as the image.
  const auto width = [](const tagLOADEDIMAGE& load) {
    return load.picture ? size_t(load.picture->nWidth) : load.image.columns();
  };
  ASSERT_EQ(m_stepper.OpenFile(CStrAW::FromPath(big), m_options), 1);
  EXPECT_GT(width(m_loads.back()), 0u);
  EXPECT_LE(width(m_loads.back()), 800u);
  m_options.szSizeHint = SIZE{};
  ASSERT_EQ(m_stepper.OpenFile(CStrAW::FromPath(big), m_options), 1);
  EXPECT_EQ(width(m_loads.back()), 1600u);
}

TEST_F(Stepper, PortfolioDelaysFollowTheSlidesThatAreListed) {
  CSlidesFile portfolio;
  portfolio.Append(Path("c.png"), 100);
  portfolio.Append(u"", 200);
  portfolio.Append(Path("missing.png"), 300);
  portfolio.Append(Path("a.png"), 0);
  portfolio.Append(Path("e.png"), 500);
  const MyString file = CStrAW::FromPath(m_dir / "show.lrm");
  ASSERT_EQ(portfolio.Save(file), 1);
  EXPECT_EQ(m_stepper.OpenPortfolio(CStrAW::FromPath(m_dir / "none.lrm"), m_options), -1);
  ASSERT_EQ(m_stepper.OpenPortfolio(file, m_options), 1);
  EXPECT_EQ(m_stepper.GetPortfolioPath(), file);
  EXPECT_EQ(m_stepper.Position().GetLast(), 2);
  EXPECT_EQ(m_stepper.GetPortfolioDelays(), (std::vector<int32_t>{100, 0, 500}));
  EXPECT_EQ(LastName(), "c.png");
  // A folder afterwards forgets the portfolio.
  ASSERT_EQ(m_stepper.OpenFolder(CStrAW::FromPath(m_dir), m_options), 1);
  EXPECT_TRUE(m_stepper.GetPortfolioPath().IsEmpty());
  EXPECT_TRUE(m_stepper.GetPortfolioDelays().empty());
}

TEST_F(Stepper, RescanKeepsTheShownImageWhileItIsListed) {
  EXPECT_EQ(m_stepper.Rescan(m_options), -1);  // nothing open
  ASSERT_EQ(m_stepper.OpenFile(Path("b.png"), m_options), 1);
  m_loads.clear();

  // New sort settings: b is now fourth of five, and stays shown.
  bSortAscending = 0;
  EXPECT_EQ(m_stepper.Rescan(m_options), 1);
  EXPECT_EQ(Current(), 3);
  EXPECT_TRUE(m_loads.empty());

  // b is deleted: the position keeps its number and shows what is there now.
  fs::remove(m_dir / "b.png");
  EXPECT_EQ(m_stepper.Rescan(m_options), 1);
  EXPECT_EQ(Current(), 3);
  EXPECT_EQ(LastName(), "a.png");

  for (const char* name : {"a.png", "c.png", "d.png", "e.png"}) fs::remove(m_dir / name);
  EXPECT_EQ(m_stepper.Rescan(m_options), 0);
  EXPECT_EQ(m_stepper.Position().GetLast(), -1);
}

}  // namespace
