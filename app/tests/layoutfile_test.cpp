// The pane layout file: its exact bytes, what reading trusts and what it
// deletes, and writes that fail without losing the old file.
#include "shell/layoutfile.h"

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

std::string Int(int32_t value) {
  std::string out;
  for (int i = 0; i < 4; ++i) out.push_back(char(uint8_t(uint32_t(value) >> (8 * i))));
  return out;
}

// A 64-byte record from its fields in file order.
std::string Record(int32_t id, int32_t left, int32_t top, int32_t width, int32_t createdWidth,
                   int32_t height, int32_t createdHeight, uint8_t share, int32_t extent,
                   int32_t first, int32_t second, int32_t active, int32_t tabs, int32_t docked,
                   int32_t side, int32_t flags) {
  std::string out = Int(id) + Int(left) + Int(top) + Int(width) + Int(createdWidth) + Int(height) +
                    Int(createdHeight);
  out += std::string(1, char(share)) + std::string(3, '\0');
  return out + Int(extent) + Int(first) + Int(second) + Int(active) + Int(tabs) + Int(docked) +
         Int(side) + Int(flags);
}

std::string Leaf(int32_t id, int32_t side = 0x100000) {
  return Record(id, 0, 0, 0, 0, 0, 0, 50, 0, 4444, 4444, 4444, 0, 0, side, 0xF0000);
}

std::string Header(int32_t version, int32_t roots) {
  return std::string("ZOKA Layout File") + Int(version) + Int(roots);
}

const std::string kNoBars = Int(0) + Int(0) + Int(0) + Int(0);

tagLAYOUTPANE Pane(int32_t id, int32_t side = tagLAYOUTPANE::kSideTab) {
  tagLAYOUTPANE pane;
  pane.nId = id;
  pane.nSide = side;
  return pane;
}

}  // namespace

TEST(LayoutFile, WritesAndReadsTheExactBytes) {
  tagLAYOUT layout;
  // Docked left: a split of the main view and a tab group of two panes.
  tagLAYOUTPANE split = Pane(7, tagLAYOUTPANE::kSideLeft);
  split.nLeft = -20;
  split.nTop = 30;
  split.nWidth = 640;
  split.nCreatedWidth = 200;
  split.nHeight = 480;
  split.nCreatedHeight = 150;
  split.nShare = 35;
  split.nExtent = 260;
  split.bDockedRoot = true;
  tagLAYOUTPANE view = Pane(12);
  view.nFlags = tagLAYOUTPANE::kAllSides | tagLAYOUTPANE::kMainView;
  tagLAYOUTPANE tabs = Pane(3340);
  tabs.nActiveTab = 9;
  tabs.tabs = {Pane(8), Pane(9)};
  split.first = {view};
  split.second = {tabs};
  tagLAYOUTPANE floating = Pane(5, 0);
  floating.nFlags = tagLAYOUTPANE::kSideTop | tagLAYOUTPANE::kSideBottom;
  layout.roots = {split, floating};
  layout.bars[tagLAYOUT::BarTop] = {Pane(20, tagLAYOUTPANE::kSideTop)};
  layout.bars[tagLAYOUT::BarBottom] = {Pane(21, tagLAYOUTPANE::kSideBottom)};

  const std::string expected =
      Header(400, 2) +
      Record(7, -20, 30, 640, 200, 480, 150, 35, 260, 12, 3340, 4444, 0, 1, 0x10000, 0xF0000) +
      Record(12, 0, 0, 0, 0, 0, 0, 50, 0, 4444, 4444, 4444, 0, 0, 0x100000, 0xF0040) +
      Record(3340, 0, 0, 0, 0, 0, 0, 50, 0, 4444, 4444, 9, 2, 0, 0x100000, 0xF0000) + Leaf(8) +
      Leaf(9) + Record(5, 0, 0, 0, 0, 0, 0, 50, 0, 4444, 4444, 4444, 0, 0, 0, 0xC0000) + Int(0) +
      Int(1) + Leaf(20, 0x40000) + Int(0) + Int(1) + Leaf(21, 0x80000);

  const auto dir = testsupport::NewTempDir("layout");
  const MyString path = CStrAW::FromPath(dir / "lorimo.layout");
  CLayoutFile file;
  file.SetLayout(layout);
  ASSERT_EQ(file.Write(path), 1);
  ASSERT_EQ(testsupport::ReadFile(dir / "lorimo.layout"), expected);

  CLayoutFile back;
  ASSERT_EQ(back.Read(path), CLayoutFile::RR_READ);
  EXPECT_EQ(back.Layout(), layout);
  // 3340 is a run-time pane: new ones start past it.
  EXPECT_EQ(back.GetNextRuntimePaneId(), 3341);
  EXPECT_EQ(testsupport::ReadFile(dir / "lorimo.layout"), expected);

  // A read-only layout never blocks saving.
  fs::permissions(dir / "lorimo.layout", fs::perms(0444), fs::perm_options::replace);
  layout.roots.pop_back();
  file.SetLayout(layout);
  ASSERT_EQ(file.Write(path), 1);
  EXPECT_EQ(testsupport::ReadFile(dir / "lorimo.layout").size(), expected.size() - 64);
}

TEST(LayoutFile, DamageDeletesOnlyWhatCannotBeTrusted) {
  const auto dir = testsupport::NewTempDir("layout");
  const fs::path file = dir / "lorimo.layout";
  const MyString path = CStrAW::FromPath(file);
  CLayoutFile layout;

  testsupport::WriteFile(file, Header(401, 1) + Leaf(4) + kNoBars);
  EXPECT_EQ(layout.Read(path), CLayoutFile::RR_DELETED);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(layout.Layout().roots.empty());

  testsupport::WriteFile(file, Header(399, 1) + Leaf(4) + kNoBars);
  EXPECT_EQ(layout.Read(path), CLayoutFile::RR_READ);
  ASSERT_EQ(layout.Layout().roots.size(), 1u);
  EXPECT_EQ(layout.Layout().roots[0].nId, 4);

  testsupport::WriteFile(file, "ZOKA Layout Filf" + Int(400) + Int(0) + kNoBars);
  EXPECT_EQ(layout.Read(path), CLayoutFile::RR_DELETED);
  EXPECT_FALSE(fs::exists(file));

  // A short second root record deletes the file; the first root stays.
  testsupport::WriteFile(file, Header(400, 2) + Leaf(4) + Leaf(5).substr(0, 63));
  EXPECT_EQ(layout.Read(path), CLayoutFile::RR_DELETED);
  EXPECT_FALSE(fs::exists(file));
  ASSERT_EQ(layout.Layout().roots.size(), 1u);

  // A tab group's split links are ignored: the bars follow its one tab.
  // A repeated identifier is dropped, a huge count reads what is there,
  // and a cut-off bar keeps the file.
  const std::string tabGroup =
      Record(6, 0, 0, 0, 0, 0, 0, 50, 0, 30, 31, 4444, 1, 1, 0x20000, 0xF0000) + Leaf(30);
  testsupport::WriteFile(file, Header(400, 1) + tabGroup + Int(2) + Leaf(40) + Leaf(30) + Int(-1) +
                                   Leaf(41) + Leaf(42, 0x40000).substr(0, 10));
  EXPECT_EQ(layout.Read(path), CLayoutFile::RR_DAMAGED);
  EXPECT_TRUE(fs::exists(file));
  ASSERT_EQ(layout.Layout().roots.size(), 1u);
  const tagLAYOUTPANE& group = layout.Layout().roots[0];
  EXPECT_TRUE(group.first.empty());
  ASSERT_EQ(group.tabs.size(), 1u);
  EXPECT_EQ(group.tabs[0].nId, 30);
  ASSERT_EQ(layout.Layout().bars[0].size(), 1u);
  EXPECT_EQ(layout.Layout().bars[0][0].nId, 40);
  ASSERT_EQ(layout.Layout().bars[1].size(), 1u);
  EXPECT_EQ(layout.Layout().bars[1][0].nId, 41);
  EXPECT_EQ(layout.GetNextRuntimePaneId(), 3334);

  // Nesting far beyond any arrangement stops reading instead of the stack.
  std::string deep = Header(400, 1);
  for (int i = 0; i < 5000; ++i)
    deep += Record(100 + i, 0, 0, 0, 0, 0, 0, 50, 0, 101 + i, 4444, 4444, 0, 0, 0, 0xF0000);
  EXPECT_EQ(layout.ReadBytes(deep), CLayoutFile::RR_DAMAGED);
  int levels = 0;
  for (const tagLAYOUTPANE* pane = &layout.Layout().roots.at(0); pane;
       pane = pane->first.empty() ? nullptr : &pane->first[0])
    ++levels;
  EXPECT_EQ(levels, CLayoutFile::kMaxDepth);
  CLayoutFile again;
  EXPECT_EQ(again.ReadBytes(layout.ToBytes()), CLayoutFile::RR_READ);
  EXPECT_EQ(again.Layout(), layout.Layout());
}

TEST(LayoutFile, DefaultFillsAMissingLayoutAndFailedWritesKeepTheOld) {
  const auto dir = testsupport::NewTempDir("layout");
  const fs::path file = dir / "lorimo.layout";
  const MyString path = CStrAW::FromPath(file);
  const std::string shipped = Header(400, 1) + Leaf(12, 0x10000) + kNoBars;
  testsupport::WriteFile(dir / "lorimo.layout.default", shipped);
  fs::permissions(dir / "lorimo.layout.default", fs::perms(0444), fs::perm_options::replace);

  CLayoutFile layout;
  EXPECT_EQ(layout.Read(path), CLayoutFile::RR_READ);
  ASSERT_EQ(layout.Layout().roots.size(), 1u);
  EXPECT_EQ(layout.Layout().roots[0].nId, 12);
  EXPECT_EQ(testsupport::ReadFile(file), shipped);
  EXPECT_EQ(fs::status(dir / "lorimo.layout.default").permissions(), fs::perms(0444));

  fs::remove(dir / "lorimo.layout.default");
  fs::remove(file);
  EXPECT_EQ(layout.Read(path), CLayoutFile::RR_MISSING);
  EXPECT_TRUE(layout.Layout().roots.empty());

  // A write that cannot finish (here the disk "fills up") keeps the old
  // file whole rather than leaving a truncated one.
  testsupport::WriteFile(file, shipped);
  tagLAYOUT big;
  for (int i = 0; i < 20; ++i) big.roots.push_back(Pane(i + 1, 0));
  layout.SetLayout(big);
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = old;
  limited.rlim_cur = 512;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  MyString error;
  const int written = layout.Write(path, &error);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(written, 0);
  EXPECT_FALSE(error.IsEmpty());
  EXPECT_EQ(testsupport::ReadFile(file), shipped);
  EXPECT_EQ(fs::directory_iterator(dir)->path(), file) << "a temporary was left";
}
