// The favorites browsing list without a display: the numbers of Ctrl and
// Shift clicks, the walk that wraps, and a stored index read from a real
// favorites file.
#include "collections/favoritesbrowsing.h"

#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "nestbook/favoritesfile.h"
#include "testsupport/testsupport.h"

namespace {

class FavoritesBrowsing : public ::testing::Test {
 protected:
  void SetUp() override {
    root.reset(CFavoritesNode::CreateRoot());
    trips = Add(root.get(), u"Trips", FAV_TYPE_FOLDER);
    for (const char16_t* name : {u"Alps", u"Beach", u"City", u"Dunes"})
      dirs.push_back(Add(trips, name, FAV_TYPE_DIRECTORY, (std::u16string(u"/p/") + name).c_str()));
    show = Add(root.get(), u"Show", FAV_TYPE_PORTFOLIO, u"/p/show.lrm");
    browsing.SetRoot(root.get());
  }
  static CFavoritesNode* Add(CFavoritesNode* parent, const char16_t* name, int32_t type,
                             const char16_t* path = nullptr) {
    const auto it = parent->CreateChildNodeSorted(path, name, type);
    return it == parent->vChildren.end() ? nullptr : *it;
  }
  std::vector<int> Numbers() const {
    std::vector<int> numbers;
    for (const CFavoritesNode* node : browsing.GetEntries()) numbers.push_back(node->nSelection);
    return numbers;
  }

  std::unique_ptr<CFavoritesNode> root;
  CFavoritesNode* trips = nullptr;
  std::vector<CFavoritesNode*> dirs;
  CFavoritesNode* show = nullptr;
  CFavoritesBrowsing browsing;
};

TEST_F(FavoritesBrowsing, CtrlClicksNumberAndRenumberKeepingTheCurrentNode) {
  EXPECT_EQ(browsing.Toggle(trips), 0);  // favorites folders are not selected
  EXPECT_EQ(browsing.Toggle(dirs[0]), 1);
  EXPECT_EQ(browsing.Toggle(show), 1);
  EXPECT_EQ(browsing.Toggle(dirs[2]), 1);
  EXPECT_EQ(Numbers(), std::vector<int>({1, 2, 3}));
  EXPECT_EQ(browsing.GetCurrentNode(), dirs[2]);

  // Number 2 goes: the former 3 becomes 2, still current.
  EXPECT_EQ(browsing.Toggle(show), -1);
  EXPECT_EQ(show->nSelection, 0);
  EXPECT_EQ(Numbers(), std::vector<int>({1, 2}));
  EXPECT_EQ(browsing.GetCurrentNode(), dirs[2]);
  EXPECT_EQ(browsing.GetLastSelection(), 2);

  // The current entry itself goes: the current index stays within the list.
  EXPECT_EQ(browsing.Toggle(dirs[2]), -1);
  EXPECT_EQ(browsing.GetCurrentNode(), dirs[0]);
  // A selection passed to subfolders goes with its node.
  CFavoritesNode* sub = Add(dirs[1], u"sub", FAV_TYPE_DIRECTORY, u"/p/Beach/sub");
  browsing.SelectWithSubfolders(dirs[1]);
  EXPECT_EQ(sub->nSelection, dirs[1]->nSelection);
  EXPECT_EQ(browsing.Deselect(dirs[1]), 1);
  EXPECT_EQ(sub->nSelection, 0);

  // A plain click starts over at 1.
  EXPECT_EQ(browsing.Select(dirs[3]), 1);
  EXPECT_EQ(dirs[0]->nSelection, 0);
  EXPECT_EQ(Numbers(), std::vector<int>({1}));
  EXPECT_EQ(browsing.GetCurrent(), 0);
}

TEST_F(FavoritesBrowsing, ShiftRangesSkipFoldersAndTheWalkWraps) {
  // Clicked upwards: from Show (last clicked) back to Beach.
  EXPECT_EQ(browsing.SelectRange({show, dirs[3], dirs[2], trips, dirs[1]}), 4);
  EXPECT_EQ(browsing.GetEntries(), std::vector<CFavoritesNode*>({show, dirs[3], dirs[2], dirs[1]}));
  EXPECT_EQ(Numbers(), std::vector<int>({1, 2, 3, 4}));
  EXPECT_EQ(browsing.GetCurrentNode(), show);
  EXPECT_EQ(trips->nSelection, 0);

  EXPECT_EQ(browsing.Previous(), dirs[1]);  // before the first: the last
  EXPECT_EQ(browsing.Next(), show);         // past the last: the first
  EXPECT_EQ(browsing.Next(), dirs[3]);

  browsing.Select(dirs[0]);
  EXPECT_EQ(browsing.Next(), nullptr);  // one entry: no walk
  EXPECT_EQ(browsing.GetCurrent(), 0);
}

TEST_F(FavoritesBrowsing, AStoredIndexPastTheListOfARealFileMeansNoCurrentEntry) {
  const std::filesystem::path file = testsupport::NewTempDir("fav") / "FAVORITES.TXT";
  const std::string tree =
      "1:0:0:1:1:1:0:1:Trips\r\n\r\n"
      "2:1:1:0:1:1:0:1:Alps\r\n/p/Alps\r\n"
      "2:1:0:0:2:2:0:1:Beach\r\n/p/Beach\r\n"
      "2:1:3:0:3:3:0:1:City\r\n/p/City\r\n"
      "8:0:2:0:2:2:0:1:Show\r\n/p/show.lrm\r\n";
  for (const char* stored : {"5", "1"}) {
    testsupport::WriteFile(file, tree + "-3:" + stored + "\r\n-4:0\r\n");
    tagFAVORITESDATA data;
    ASSERT_EQ(FTLoadDataFromFile(&data, MyString::FromUtf8(file.string())), 1);
    std::unique_ptr<CFavoritesNode> loaded(data.pRoot);
    browsing.LoadFromTree(loaded.get(), data.nBrowseIndex);
    // In the order the tree shows them: Trips (expanded) with Alps and
    // City, then Show.
    ASSERT_EQ(browsing.GetCount(), 3);
    EXPECT_EQ(browsing.GetEntries()[0]->GetName(), MyString(u"Alps"));
    EXPECT_EQ(browsing.GetEntries()[2]->GetName(), MyString(u"Show"));
    EXPECT_EQ(browsing.GetLastSelection(), 3);
    if (std::string(stored) == "5") {
      EXPECT_EQ(browsing.GetCurrent(), -1);
    } else {
      EXPECT_EQ(browsing.GetCurrentNode()->GetName(), MyString(u"City"));
    }
    browsing.SetRoot(root.get());
  }
}

}  // namespace
