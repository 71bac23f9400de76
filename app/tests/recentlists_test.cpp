#include "shell/recentlists.h"

#include <set>

#include <gtest/gtest.h>

#include "corekit/registry.h"
#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace {

class RecentListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = testsupport::NewTempDir("mru");
    m_store = std::make_unique<CRegistryStore>(CStrAW::FromPath(m_dir / "registry.reg"));
  }
  CRegistry Key() {
    return CRegistry(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo\\MRU", true, m_store.get());
  }
  MyString Stored(const char16_t* name) {
    MyString value;
    Key().GetValue(name, value);
    return value;
  }

  std::filesystem::path m_dir;
  std::unique_ptr<CRegistryStore> m_store;
};

TEST_F(RecentListsTest, OpeningAgainMovesToTheFrontAndFourAreKept) {
  CRecentLists lists;
  for (const char16_t* path : {u"/a", u"/b", u"/c", u"/d"}) lists.AddRecentFile(path);
  lists.AddRecentFile(u"/b");
  EXPECT_EQ(lists.GetRecentFiles(), (std::vector<MyString>{u"/b", u"/d", u"/c", u"/a"}));
  lists.AddRecentFile(u"/e");
  EXPECT_EQ(lists.GetRecentFiles(), (std::vector<MyString>{u"/e", u"/b", u"/d", u"/c"}));
  lists.AddRecentFile(u"");
  EXPECT_EQ(lists.GetRecentFiles().size(), 4u);
}

TEST_F(RecentListsTest, PortfolioSlotsShiftDownAndKeepTheirHoles) {
  CRecentLists lists;
  lists.SetPortfolioSlot(1, u"/one.lrm");
  lists.RememberPortfolio(u"/new.lrm");
  EXPECT_EQ(lists.GetPortfolioSlot(0), u"/new.lrm");
  EXPECT_TRUE(lists.GetPortfolioSlot(1).IsEmpty());
  EXPECT_EQ(lists.GetPortfolioSlot(2), u"/one.lrm");
  lists.RememberPortfolio(u"/one.lrm");
  EXPECT_EQ(lists.GetPortfolioSlot(0), u"/one.lrm");
  EXPECT_EQ(lists.GetPortfolioSlot(1), u"/new.lrm");
  EXPECT_TRUE(lists.GetPortfolioSlot(2).IsEmpty());
}

TEST_F(RecentListsTest, LoadDropsVanishedFilesAndMergesRepeats) {
  const auto kept = m_dir / "kept.jpg";
  testsupport::WriteFile(kept, "x");
  const MyString keptPath = CStrAW::FromPath(kept);
  {
    CRegistry key = Key();
    key.SetValue(u"MRU_0", CStrAW::FromPath(m_dir / "deleted.jpg"));
    key.SetValue(u"MRU_1", keptPath);
    key.SetValue(u"MRU_2", keptPath);
    key.SetValue(u"MRU_3", CStrAW::FromPath(m_dir));  // a folder is not a recent file
    key.SetValue(u"DIR_0", u"/gone/but/kept");
    key.SetValue(u"DIR_1", uint32_t(4));  // not a text
    key.SetValue(u"LRM_3", u"/show.lrm");
    key.SetValue(u"LRM_1", u"");
  }
  CRecentLists lists;
  lists.Load(Key());
  EXPECT_EQ(lists.GetRecentFiles(), std::vector<MyString>{keptPath});
  EXPECT_EQ(lists.GetRecentFolders(), std::vector<MyString>{u"/gone/but/kept"});
  EXPECT_TRUE(lists.GetPortfolioSlot(1).IsEmpty());
  EXPECT_EQ(lists.GetPortfolioSlot(3), u"/show.lrm");
}

// Two recent files but four folders: all four folders are written, so the
// address bar shows next time what it shows now.
TEST_F(RecentListsTest, SaveWritesEveryListWhateverTheFileCount) {
  {
    CRegistry key = Key();
    for (const char16_t* name : {u"MRU_2", u"MRU_3", u"DIR_2", u"DIR_3", u"LRM_0"})
      key.SetValue(name, u"/older");
  }
  CRecentLists lists;
  lists.AddRecentFile(u"/f2");
  lists.AddRecentFile(u"/f1");
  for (const char16_t* folder : {u"/d4", u"/d3", u"/d2", u"/d1"}) lists.AddRecentFolder(folder);
  lists.SetPortfolioSlot(3, u"/p.lrm");
  {
    CRegistry key = Key();
    lists.Save(key);
  }
  EXPECT_EQ(Stored(u"MRU_0"), u"/f1");
  EXPECT_EQ(Stored(u"MRU_1"), u"/f2");
  EXPECT_EQ(Key().GetValueType(u"MRU_2"), uint32_t(REG_NONE));
  EXPECT_EQ(Key().GetValueType(u"MRU_3"), uint32_t(REG_NONE));
  EXPECT_EQ(Stored(u"DIR_2"), u"/d3");
  EXPECT_EQ(Stored(u"DIR_3"), u"/d4");
  EXPECT_EQ(Key().GetValueType(u"LRM_0"), uint32_t(REG_NONE));
  EXPECT_EQ(Stored(u"LRM_3"), u"/p.lrm");
  // Saving is not leaving: the slots stay for the rest of the session.
  EXPECT_EQ(lists.GetPortfolioSlot(3), u"/p.lrm");
}

TEST_F(RecentListsTest, NoRecentFilesStillSavesFoldersAndPortfolios) {
  CRecentLists lists;
  lists.AddRecentFolder(u"/only");
  lists.SetPortfolioSlot(0, u"/p.lrm");
  {
    CRegistry key = Key();
    lists.Save(key);
  }
  CRecentLists loaded;
  loaded.Load(Key());
  EXPECT_TRUE(loaded.GetRecentFiles().empty());
  EXPECT_EQ(loaded.GetRecentFolders(), std::vector<MyString>{u"/only"});
  EXPECT_EQ(loaded.GetPortfolioSlot(0), u"/p.lrm");
}

}  // namespace
