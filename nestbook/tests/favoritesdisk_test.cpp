#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "nestbook/favoritesnode.h"
#include "testsupport/testsupport.h"
#include "treehelpers.h"

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

// A favorite directory over a folder holding the given subfolders.
struct DiskTree {
  explicit DiskTree(const std::vector<std::string>& folders)
      : top(testsupport::NewTempDir("disk")) {
    for (const std::string& folder : folders) fs::create_directories(top / folder);
    root = NewRoot();
    favorite = Add(root.get(), nullptr, FAV_TYPE_DIRECTORY, W(top).c_str());
  }
  fs::path top;
  RootPtr root;
  CFavoritesNode* favorite = nullptr;
};

TEST(FavoritesDiskTest, OpenFolderListsVisibleSubfoldersByName) {
  DiskTree tree({"b", "A/inner", "c.d", ".hidden"});
  testsupport::WriteFile(tree.top / "x.jpg", "not a folder");
  fs::create_directory_symlink(tree.top / "b", tree.top / "link");
  tree.favorite->nSelection = 4;
  EXPECT_EQ(tree.favorite->bHasChildren, 1);

  ASSERT_EQ(tree.favorite->OpenFolderShell(1), 1);
  EXPECT_EQ(Sequence(tree.favorite), (Names{"A", "b", "c.d", "link"}));
  const CFavoritesNode* a = tree.favorite->vChildren[0];
  EXPECT_EQ(a->GetPath(), W(tree.top / "A"));
  EXPECT_EQ(a->bHasChildren, 1);
  EXPECT_EQ(a->bUserAdded, 0);
  EXPECT_EQ(a->bCustomName, 0);
  EXPECT_EQ(a->nSelection, 4);
  EXPECT_EQ(tree.favorite->vChildren[2]->bHasChildren, 0);
  EXPECT_TRUE(TreeIsSound(tree.root.get()));

  // Opening again adds nothing twice; without inheriting, no selection.
  tree.favorite->DeleteChildrens();
  tree.favorite->OpenFolder(0);
  EXPECT_EQ(tree.favorite->vChildren.size(), 4u);
  EXPECT_EQ(tree.favorite->vChildren[0]->nSelection, 0);
}

TEST(FavoritesDiskTest, FoldersDifferingInCaseKeepTheirOwnNames) {
  DiskTree tree({"photos", "Photos"});
  tree.favorite->OpenFolder(0);
  Names names = Sequence(tree.favorite);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Names{"Photos", "photos"}));
  for (const CFavoritesNode* child : tree.favorite->vChildren) EXPECT_EQ(child->bCustomName, 0);
}

TEST(FavoritesDiskTest, AFolderThatCannotBeListed) {
  DiskTree tree({"a"});
  fs::remove_all(tree.top);
  EXPECT_EQ(tree.favorite->OpenFolderShell(0), 0);
  EXPECT_EQ(tree.favorite->bHasChildren, 1);  // left as it was
  EXPECT_EQ(tree.favorite->OpenFolder(0), 0);
  EXPECT_EQ(tree.favorite->bHasChildren, 0);

  const RootPtr root = NewRoot();
  CFavoritesNode* portfolio = Add(root.get(), nullptr, FAV_TYPE_PORTFOLIO, u"/p/x.lrm");
  EXPECT_EQ(portfolio->OpenFolder(0), 0);
  EXPECT_EQ(portfolio->CloseFolder(), 0);
  EXPECT_EQ(portfolio->UpdateFromHDD(), nullptr);
  EXPECT_EQ(root->UpdateFromHDD(), nullptr);
}

struct KeepCase {
  const char* what;
  void (*customise)(CFavoritesNode* favorite);
  int keep;
};
void PrintTo(const KeepCase& c, std::ostream* os) { *os << c.what; }

class CloseFolderTest : public ::testing::TestWithParam<KeepCase> {};

TEST_P(CloseFolderTest, KeepsTheSubtreeOnlyWhenSomethingWasCustomised) {
  DiskTree tree({"a/x", "a/y", "b", "c"});
  tree.favorite->OpenFolder(0);
  CFavoritesNode* a = tree.favorite->vChildren[0];
  a->OpenFolder(0);
  a->bExpanded = 1;
  GetParam().customise(tree.favorite);
  EXPECT_EQ(tree.favorite->CloseFolder(), GetParam().keep);
  EXPECT_EQ(tree.favorite->bKeep, GetParam().keep);
  EXPECT_EQ(tree.favorite->vChildren.size(), GetParam().keep ? 3u : 0u);
  EXPECT_EQ(tree.favorite->bHasChildren, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CloseFolderTest,
    ::testing::Values(
        KeepCase{"OnlyLookedAt", [](CFavoritesNode*) {}, 0},
        KeepCase{"Deleted", [](CFavoritesNode* f) { f->vChildren[1]->bDeleted = 1; }, 1},
        KeepCase{"Renamed", [](CFavoritesNode* f) { f->vChildren[2]->ChangeName(u"See"); }, 1},
        KeepCase{"Moved", [](CFavoritesNode* f) { f->MoveNodeUp(f->vChildren[2]); }, 1},
        KeepCase{"RenamedBelowAnOpenChild",
                 [](CFavoritesNode* f) { f->vChildren[0]->vChildren[1]->ChangeName(u"Why"); }, 1},
        // As read back from the file: the child is closed but still holds
        // a customised subfolder, which must not be dropped.
        KeepCase{"RenamedBelowAClosedChild",
                 [](CFavoritesNode* f) {
                   f->vChildren[0]->bExpanded = 0;
                   f->vChildren[0]->vChildren[0]->bDeleted = 1;
                 },
                 1}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(FavoritesDiskTest, AClosedChildDropsItsPlainSubfolders) {
  DiskTree tree({"a/x", "b"});
  tree.favorite->OpenFolder(0);
  CFavoritesNode* a = tree.favorite->vChildren[0];
  a->OpenFolder(0);
  a->bExpanded = 1;
  tree.favorite->vChildren[1]->bDeleted = 1;
  EXPECT_EQ(tree.favorite->CloseFolder(), 1);
  EXPECT_TRUE(a->vChildren.empty());
}

TEST(FavoritesDiskTest, UpdateFromHDDFollowsAPlainRename) {
  DiskTree tree({"a", "c", "e"});
  tree.favorite->OpenFolder(0);
  fs::rename(tree.top / "a", tree.top / "d");
  CFavoritesNode* changed = tree.favorite->UpdateFromHDD();
  ASSERT_NE(changed, nullptr);
  EXPECT_EQ(Utf8(changed), "d");
  EXPECT_EQ(changed->GetPath(), W(tree.top / "d"));
  EXPECT_EQ(Display(tree.favorite), (Names{"c", "d", "e"}));
  EXPECT_EQ(tree.favorite->UpdateFromHDD(), nullptr);
  EXPECT_TRUE(TreeIsSound(tree.root.get(), false));
}

TEST(FavoritesDiskTest, UpdateFromHDDKeepsCustomNamePositionAndSelection) {
  DiskTree tree({"a", "c", "e"});
  tree.favorite->OpenFolder(0);
  CFavoritesNode* a = tree.favorite->vChildren[0];
  a->ChangeName(u"My trip");
  a->nSelection = 2;
  fs::rename(tree.top / "a", tree.top / "z");
  ASSERT_EQ(tree.favorite->UpdateFromHDD(), a);
  EXPECT_EQ(Utf8(a), "My trip");
  EXPECT_EQ(a->GetPath(), W(tree.top / "z"));
  EXPECT_EQ(a->nSelection, 2);
  EXPECT_EQ(Display(tree.favorite), (Names{"My trip", "c", "e"}));
}

TEST(FavoritesDiskTest, UpdateFromHDDRemovesAndAddsOneChangePerCall) {
  DiskTree tree({"a", "b/deep"});
  tree.favorite->OpenFolder(0);
  CFavoritesNode* b = tree.favorite->vChildren[1];
  b->OpenFolder(0);
  fs::remove(tree.top / "a");
  EXPECT_EQ(tree.favorite->UpdateFromHDD(), b);  // a is gone; b followed it
  EXPECT_EQ(Sequence(tree.favorite), (Names{"b"}));

  fs::create_directory(tree.top / "b" / "deeper");
  fs::create_directory(tree.top / "new");
  CFavoritesNode* added = tree.favorite->UpdateFromHDD();
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(Utf8(added), "new");
  EXPECT_EQ(added->bUserAdded, 0);
  CFavoritesNode* inner = tree.favorite->UpdateFromHDD();  // found one level down
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(Utf8(inner), "deeper");
  EXPECT_EQ(tree.favorite->UpdateFromHDD(), nullptr);
  EXPECT_TRUE(TreeIsSound(tree.root.get()));
}

TEST(FavoritesDiskTest, AnUnreadableFolderIsNoReasonToDropItsChildren) {
  DiskTree tree({"a", "b"});
  tree.favorite->OpenFolder(0);
  tree.favorite->vChildren[0]->ChangeName(u"Kept");
  fs::remove_all(tree.top);  // an unmounted disk looks the same
  EXPECT_EQ(tree.favorite->UpdateFromHDD(), nullptr);
  EXPECT_EQ(tree.favorite->vChildren.size(), 2u);
}

TEST(FavoritesDiskTest, ReplacePathRewritesEveryLevelBelow) {
  DiskTree tree({"old/a.b/c"});
  tree.favorite->OpenFolder(0);
  CFavoritesNode* old = tree.favorite->vChildren[0];
  old->OpenFolder(0);
  old->vChildren[0]->OpenFolder(0);
  fs::rename(tree.top / "old", tree.top / "new");
  ASSERT_EQ(old->ReplacePath(W(tree.top / "new").c_str()), 1);
  EXPECT_EQ(Utf8(old), "new");
  EXPECT_EQ(old->vChildren[0]->GetPath(), W(tree.top / "new" / "a.b"));
  EXPECT_EQ(old->vChildren[0]->vChildren[0]->GetPath(), W(tree.top / "new" / "a.b" / "c"));
  EXPECT_EQ(old->ReplacePath(u""), 0);
}

TEST(FavoritesDiskTest, OpenAllSubfoldersStopsAtALinkBackUp) {
  DiskTree tree({"a/b"});
  fs::create_directory_symlink(tree.top, tree.top / "a" / "b" / "loop");
  EXPECT_EQ(tree.favorite->OpenAllSubfolders(0), 1);
  const CFavoritesNode* b = tree.favorite->vChildren[0]->vChildren[0];
  ASSERT_EQ(Sequence(b), (Names{"loop"}));
  EXPECT_TRUE(b->vChildren[0]->vChildren.empty());
}

}  // namespace
