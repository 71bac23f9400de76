#include "pixwork/listposition.h"

#include <atomic>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/slidesfile.h"
#include "corekit/straw.h"
#include "pixwork/sortsettings.h"
#include "testsupport/testsupport.h"

namespace {

namespace fs = std::filesystem;

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

fs::path MakeFolder(const std::vector<std::string>& names, const std::string& stem = "f") {
  const fs::path dir = testsupport::NewTempDir(stem);
  for (const std::string& name : names) testsupport::WriteFile(dir / name, "data");
  return dir;
}

std::string CurrentName(const CListPosition& position) {
  return position.GetCurrentPath().GetStringTitleExt().ToUtf8();
}

class ListPositionTest : public ::testing::Test {
 protected:
  void TearDown() override {
    gdwSortingMode = 0;
    bSortAscending = 1;
  }
  CListPosition m_position;
};

TEST_F(ListPositionTest, OpeningAFileMakesItCurrent) {
  const fs::path dir = MakeFolder({"a.jpg", "b.jpg", "c.jpg", "notes.txt"});
  m_position.OpenFile(W(dir / "b.jpg"));
  EXPECT_EQ(m_position.GetCurrent(), 1);
  EXPECT_EQ(m_position.GetLast(), 2);
  EXPECT_TRUE(m_position.HasImage());
  EXPECT_EQ(CurrentName(m_position), "b.jpg");
  // A file that is not listed leaves the first entry current.
  m_position.OpenFile(W(dir / "notes.txt"));
  EXPECT_EQ(m_position.GetCurrent(), 0);
  EXPECT_EQ(m_position.GetLast(), 2);
}

TEST_F(ListPositionTest, EmptyFolderHasNoImageAndNothingMoves) {
  const fs::path dir = MakeFolder({"notes.txt"});
  m_position.OpenFolder(W(dir));
  EXPECT_EQ(m_position.GetLast(), -1);
  EXPECT_FALSE(m_position.HasImage());
  EXPECT_EQ(m_position.Next(true), 0);
  EXPECT_EQ(m_position.Previous(true), 0);
  EXPECT_EQ(m_position.Next(false), -1);
  EXPECT_EQ(m_position.Previous(false), 0);
  EXPECT_FALSE(m_position.First());
  EXPECT_FALSE(m_position.Last());
  EXPECT_FALSE(m_position.JumpToLetter(u'N'));
  EXPECT_FALSE(m_position.DeleteCurrent());
  EXPECT_EQ(m_position.GetCurrent(), 0);
  EXPECT_EQ(m_position.Rescan(), -1) << "no image open";
  EXPECT_TRUE(m_position.GetCurrentPath().IsEmpty());
}

struct StepCase {
  bool bNext;
  bool bRollOver;
  int nFrom;
  int nExpectedResult;
  int nExpectedCurrent;
};

void PrintTo(const StepCase& c, std::ostream* os) {
  *os << (c.bNext ? "next" : "previous") << (c.bRollOver ? " rolling over" : "") << " from "
      << c.nFrom;
}

class StepTest : public ListPositionTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(StepTest, MovesByTheRollOverRule) {
  const fs::path dir = MakeFolder({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
  m_position.OpenFolder(W(dir));
  ASSERT_TRUE(m_position.SetCurrent(GetParam().nFrom));
  const int result = GetParam().bNext ? m_position.Next(GetParam().bRollOver)
                                      : m_position.Previous(GetParam().bRollOver);
  EXPECT_EQ(result, GetParam().nExpectedResult);
  EXPECT_EQ(m_position.GetCurrent(), GetParam().nExpectedCurrent);
}

INSTANTIATE_TEST_SUITE_P(ListPositionTest, StepTest,
                         ::testing::Values(StepCase{true, true, 0, 1, 1},
                                           StepCase{true, true, 3, 1, 0},  // last wraps to first
                                           StepCase{true, false, 2, 1, 3},
                                           StepCase{true, false, 3, -1, 3},  // stops autoplay
                                           StepCase{false, true, 0, 1, 3},   // first wraps to last
                                           StepCase{false, true, 2, 1, 1},
                                           StepCase{false, false, 0, 0, 0},
                                           StepCase{false, false, 3, 1, 2}));

TEST_F(ListPositionTest, FirstLastLetterAndChoice) {
  const fs::path dir = MakeFolder({"apple.jpg", "berry.jpg", "Blue.jpg", "cherry.jpg"});
  m_position.OpenFolder(W(dir));
  EXPECT_TRUE(m_position.Last());
  EXPECT_EQ(m_position.GetCurrent(), 3);
  EXPECT_TRUE(m_position.First());
  EXPECT_EQ(m_position.GetCurrent(), 0);
  EXPECT_TRUE(m_position.JumpToLetter(u'B'));
  EXPECT_EQ(CurrentName(m_position), "berry.jpg");
  EXPECT_TRUE(m_position.JumpToLetter(u'B'));
  EXPECT_EQ(CurrentName(m_position), "Blue.jpg");
  EXPECT_TRUE(m_position.JumpToLetter(u'B')) << "wraps around to the first B";
  EXPECT_EQ(CurrentName(m_position), "berry.jpg");
  EXPECT_FALSE(m_position.JumpToLetter(u'Z'));
  EXPECT_EQ(CurrentName(m_position), "berry.jpg");
  EXPECT_FALSE(m_position.SetCurrent(4));
  EXPECT_FALSE(m_position.SetCurrent(-1));
  EXPECT_TRUE(m_position.SetCurrent(3));
}

TEST_F(ListPositionTest, RescanKeepsTheNumberCutToTheNewList) {
  const fs::path dir = MakeFolder({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
  m_position.OpenFolder(W(dir));
  m_position.SetCurrent(3);
  fs::remove(dir / "a.jpg");
  fs::remove(dir / "b.jpg");
  EXPECT_EQ(m_position.Rescan(), 1);
  EXPECT_EQ(m_position.GetLast(), 1);
  EXPECT_EQ(m_position.GetCurrent(), 1);
  EXPECT_EQ(CurrentName(m_position), "d.jpg");

  fs::remove(dir / "c.jpg");
  fs::remove(dir / "d.jpg");
  EXPECT_EQ(m_position.Rescan(), 0) << "came out empty";
  EXPECT_EQ(m_position.GetCurrent(), 0);
  EXPECT_EQ(m_position.GetLast(), -1);
  EXPECT_FALSE(m_position.HasImage());
}

TEST_F(ListPositionTest, SortChangeTakesEffectOnRescan) {
  const fs::path dir = MakeFolder({"a.jpg", "b.jpg", "c.jpg"});
  m_position.OpenFolder(W(dir));
  bSortAscending = 0;
  EXPECT_EQ(CurrentName(m_position), "a.jpg");
  EXPECT_EQ(m_position.Rescan(), 1);
  EXPECT_EQ(m_position.GetCurrent(), 0) << "the number stays";
  EXPECT_EQ(CurrentName(m_position), "c.jpg");
}

TEST_F(ListPositionTest, DeletingTheCurrentImage) {
  const fs::path dir = MakeFolder({"a.jpg", "b.jpg", "c.jpg"});
  m_position.OpenFolder(W(dir));
  m_position.SetCurrent(1);
  EXPECT_TRUE(m_position.DeleteCurrent());
  EXPECT_EQ(CurrentName(m_position), "c.jpg") << "the next one takes its place";
  EXPECT_EQ(m_position.GetLast(), 1);
  EXPECT_TRUE(m_position.DeleteCurrent());
  EXPECT_EQ(CurrentName(m_position), "a.jpg") << "at the end, the previous one";
  EXPECT_EQ(m_position.GetCurrent(), 0);
  EXPECT_FALSE(m_position.DeleteCurrent()) << "nothing left";
  EXPECT_FALSE(m_position.HasImage());
  EXPECT_EQ(m_position.GetLast(), -1);
}

TEST_F(ListPositionTest, AnEmptyFileIsNotTakenOut) {
  const fs::path dir = MakeFolder({"b.jpg"});
  testsupport::WriteFile(dir / "a.jpg", "");
  m_position.OpenFolder(W(dir));
  ASSERT_EQ(m_position.GetLast(), 1);
  EXPECT_TRUE(m_position.GetCurrentPath().IsEmpty());
  EXPECT_FALSE(m_position.DeleteCurrent());
  EXPECT_EQ(m_position.GetCurrent(), 0);
  EXPECT_EQ(m_position.GetLast(), 1);
}

// Groups of 3, 2 and 2 images: entries 0-2, 3-4 and 5-6.
class ListPositionGroupTest : public ListPositionTest {
 protected:
  void SetUp() override {
    m_position.OpenFolder(W(MakeFolder({"a1.jpg", "a2.jpg", "a3.jpg"}, "a")));
    m_position.AddFolderGroup(W(MakeFolder({"b1.jpg", "b2.jpg"}, "b")), false);
    m_position.AddFolderGroup(W(MakeFolder({"c1.jpg", "c2.jpg"}, "c")), false);
  }
};

TEST_F(ListPositionGroupTest, AddingWithoutShowingKeepsThePosition) {
  EXPECT_EQ(m_position.GetCurrent(), 0);
  EXPECT_EQ(m_position.GetLast(), 6);
  EXPECT_EQ(m_position.GetList().GetGroupCount(), 3);
}

TEST_F(ListPositionGroupTest, AddingWithShowingGoesToTheNewGroup) {
  m_position.AddFolderGroup(W(MakeFolder({"d1.jpg", "d2.jpg"}, "d")), true);
  EXPECT_EQ(m_position.GetCurrent(), 7);
  EXPECT_EQ(CurrentName(m_position), "d1.jpg");
  // A group without images leaves the last entry current.
  m_position.AddFolderGroup(W(MakeFolder({}, "e")), true);
  EXPECT_EQ(m_position.GetCurrent(), 8);
  EXPECT_EQ(m_position.GetList().GetGroupCount(), 5);
}

struct GroupRemovalCase {
  int nGroup;
  int nFrom;
  std::string expectedCurrent;
};

void PrintTo(const GroupRemovalCase& c, std::ostream* os) {
  *os << "group " << c.nGroup << " at " << c.nFrom;
}

class GroupRemovalTest : public ListPositionGroupTest,
                         public ::testing::WithParamInterface<GroupRemovalCase> {};

TEST_P(GroupRemovalTest, KeepsTheImageOrMovesPastTheGroup) {
  ASSERT_TRUE(m_position.SetCurrent(GetParam().nFrom));
  EXPECT_EQ(m_position.RemoveGroup(GetParam().nGroup), 1);
  EXPECT_EQ(m_position.GetLast(), GetParam().nGroup == 0 ? 3 : 4);
  EXPECT_EQ(CurrentName(m_position), GetParam().expectedCurrent);
}

INSTANTIATE_TEST_SUITE_P(
    ListPositionGroupTest, GroupRemovalTest,
    ::testing::Values(GroupRemovalCase{1, 6, "c2.jpg"},    // after the group: same image
                      GroupRemovalCase{1, 1, "a2.jpg"},    // before the group: unchanged
                      GroupRemovalCase{1, 4, "c1.jpg"},    // inside: what follows the group
                      GroupRemovalCase{0, 2, "b1.jpg"},    // inside the first group
                      GroupRemovalCase{2, 5, "a1.jpg"},    // inside the last: past the end, so 0
                      GroupRemovalCase{0, 3, "b1.jpg"}));  // first of the next group

TEST_F(ListPositionGroupTest, BadGroupIndexChangesNothing) {
  m_position.SetCurrent(5);
  EXPECT_EQ(m_position.RemoveGroup(3), 0);
  EXPECT_EQ(m_position.RemoveGroup(-1), 0);
  EXPECT_EQ(m_position.GetCurrent(), 5);
  EXPECT_EQ(m_position.GetLast(), 6);
}

TEST_F(ListPositionGroupTest, RemovingEveryGroupEmptiesTheList) {
  m_position.SetCurrent(6);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(m_position.RemoveGroup(0), 1);
  EXPECT_EQ(m_position.GetLast(), -1);
  EXPECT_EQ(m_position.GetCurrent(), 0);
  EXPECT_FALSE(m_position.HasImage());
}

TEST_F(ListPositionTest, PortfolioKeepsSlideOrderAndIsReadAgainOnRescan) {
  const fs::path dir = MakeFolder({"a.jpg", "b.jpg", "c.jpg"});
  const MyString portfolio = W(dir / "show.lrm");
  CSlidesFile slides;
  slides.Append(W(dir / "c.jpg"), 0);
  slides.Append(MyString(), 0);
  slides.Append(W(dir / "a.jpg"), 500);
  slides.Append(W(dir / "missing.jpg"), 0);
  ASSERT_EQ(slides.Save(portfolio), 1);
  std::vector<MyString> paths;
  for (const CSlide& slide : slides.GetSlides()) paths.push_back(slide.strPath);

  m_position.OpenPortfolio(portfolio, paths);
  EXPECT_EQ(m_position.GetList().GetDirectory(), portfolio + u"/");
  EXPECT_EQ(m_position.GetLast(), 1);
  EXPECT_EQ(CurrentName(m_position), "c.jpg");
  m_position.Next(true);
  EXPECT_EQ(CurrentName(m_position), "a.jpg");

  slides.Append(W(dir / "b.jpg"), 0);
  ASSERT_EQ(slides.Save(portfolio), 1);
  EXPECT_EQ(m_position.Rescan(), 1);
  EXPECT_EQ(m_position.GetLast(), 2);
  EXPECT_EQ(m_position.GetCurrent(), 1);
  m_position.Next(true);
  EXPECT_EQ(CurrentName(m_position), "b.jpg") << "still in portfolio order";
}

TEST_F(ListPositionTest, RemovingAPortfolioGroupRemovesItsSlides) {
  const fs::path dir = MakeFolder({"a.jpg", "b.jpg"});
  m_position.OpenPortfolio(W(dir / "show.lrm"), {W(dir / "b.jpg"), W(dir / "a.jpg")});
  m_position.AddFolderGroup(W(MakeFolder({"x.jpg", "y.jpg", "z.jpg"}, "x")), false);
  m_position.SetCurrent(3);
  EXPECT_EQ(m_position.RemoveGroup(0), 1);
  EXPECT_EQ(m_position.GetLast(), 2);
  EXPECT_EQ(CurrentName(m_position), "y.jpg");
}

TEST_F(ListPositionTest, AddedPortfolioGroupAndClear) {
  const fs::path dir = MakeFolder({"a.jpg", "b.jpg"});
  m_position.OpenFolder(W(dir));
  m_position.AddPortfolioGroup(W(dir / "p.lrm"), {W(dir / "b.jpg"), MyString()}, true);
  EXPECT_EQ(m_position.GetCurrent(), 2);
  EXPECT_EQ(m_position.GetList().GetInfoBrowse(1)->strName, W(dir / "p.lrm"));
  m_position.Clear();
  EXPECT_EQ(m_position.GetLast(), -1);
  EXPECT_FALSE(m_position.HasImage());
  EXPECT_TRUE(m_position.GetList().GetDirectory().IsEmpty());
}

// The loader reads under the lock while the window thread steps.
TEST_F(ListPositionTest, ReadersUnderTheLockSeeAConsistentPosition) {
  const fs::path dir = MakeFolder({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"});
  m_position.OpenFolder(W(dir));
  std::atomic<bool> done{false};
  std::atomic<int> bad{0};
  std::thread reader([&] {
    while (!done) {
      std::lock_guard<std::recursive_mutex> guard(m_position.GetLock());
      const int current = m_position.GetCurrent();
      if (current < 0 || current > m_position.GetLast() || m_position.GetCurrentPath().IsEmpty())
        ++bad;
    }
  });
  for (int i = 0; i < 2000; ++i) {
    m_position.Next(true);
    if (i % 200 == 0) m_position.Rescan();
  }
  done = true;
  reader.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
