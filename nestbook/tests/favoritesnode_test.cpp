#include "nestbook/favoritesnode.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "treehelpers.h"

namespace {

using Names = std::vector<std::string>;

struct DuplicateCase {
  Names existing;
  const char16_t* added;
  std::string expected;
};
void PrintTo(const DuplicateCase& c, std::ostream* os) { *os << c.expected; }

class DuplicateNameTest : public ::testing::TestWithParam<DuplicateCase> {};

TEST_P(DuplicateNameTest, SameTypedNameGetsTheFirstFreeNumber) {
  const RootPtr root = NewRoot();
  for (const std::string& name : GetParam().existing)
    ASSERT_TRUE(Add(root.get(), MyString::FromUtf8(name).c_str(), FAV_TYPE_FOLDER));
  CFavoritesNode* node = Add(root.get(), GetParam().added, FAV_TYPE_FOLDER);
  ASSERT_TRUE(node);
  EXPECT_EQ(Utf8(node), GetParam().expected);
  EXPECT_EQ(node->bCustomName, GetParam().expected == MyString(GetParam().added).ToUtf8() ? 0 : 1);
  EXPECT_TRUE(TreeIsSound(root.get()));
  Names sorted = Sequence(root.get());
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [](auto& a, auto& b) {
    return MyString::FromUtf8(a).ToLower() < MyString::FromUtf8(b).ToLower();
  }));
}

INSTANTIATE_TEST_SUITE_P(
    Names, DuplicateNameTest,
    ::testing::Values(DuplicateCase{{"Trips", "Trips1"}, u"Trips", "Trips2"},
                      DuplicateCase{{"Trips", "Trips2"}, u"Trips", "Trips1"},
                      DuplicateCase{{"Trips1"}, u"Trips", "Trips"},
                      DuplicateCase{{"trips"}, u"TRIPS", "TRIPS1"},
                      // "Trips10" sorts before "Trips2": counting must not stop there.
                      DuplicateCase{{"Trips", "Trips1", "Trips2", "Trips3", "Trips4", "Trips5",
                                     "Trips6", "Trips7", "Trips8", "Trips9", "Trips10", "Trips11"},
                                    u"Trips",
                                    "Trips12"}));

TEST(CFavoritesNodeTest, NamesOfOtherTypesDoNotCount) {
  const RootPtr root = NewRoot();
  Add(root.get(), nullptr, FAV_TYPE_PORTFOLIO, u"/p/Alps.lrm");
  CFavoritesNode* directory = Add(root.get(), nullptr, FAV_TYPE_DIRECTORY, u"/photos/Alps");
  ASSERT_TRUE(directory);
  EXPECT_EQ(Utf8(directory), "Alps");
  EXPECT_EQ(directory->bCustomName, 0);
  EXPECT_EQ(directory->bUserAdded, 1);  // placed in a favorites folder
}

TEST(CFavoritesNodeTest, ChildrenAreOrderedByTypeThenName) {
  const RootPtr root = NewRoot();
  Add(root.get(), nullptr, FAV_TYPE_PORTFOLIO, u"/p/aaa.lrm");
  Add(root.get(), nullptr, FAV_TYPE_DIRECTORY, u"/d/Zebra");
  Add(root.get(), u"zz", FAV_TYPE_FOLDER);
  Add(root.get(), nullptr, FAV_TYPE_DIRECTORY, u"/d/alpha");
  Add(root.get(), u"Mm", FAV_TYPE_FOLDER);
  Add(root.get(), nullptr, FAV_TYPE_PORTFOLIO, u"/p/Best of.lrm");
  EXPECT_EQ(Sequence(root.get()), (Names{"Mm", "zz", "alpha", "Zebra", "aaa", "Best of"}));
  EXPECT_EQ(Display(root.get()), Sequence(root.get()));
  EXPECT_TRUE(TreeIsSound(root.get()));
  EXPECT_EQ(root->vChildren.end(), root->CreateChildNodeSorted(nullptr, u"x", 4));
  EXPECT_EQ(root->vChildren.size(), 6u);
}

TEST(CFavoritesNodeTest, InsertionTakesThePlaceAfterTheNearestNaturalSibling) {
  const RootPtr root = NewRoot();
  for (const char16_t* name : {u"A", u"B", u"C", u"X", u"Y"}) Add(root.get(), name, 1);
  ASSERT_EQ(root->MoveNodeUp(root->vChildren[4]), 1);  // Y before X
  EXPECT_EQ(Display(root.get()), (Names{"A", "B", "C", "Y", "X"}));

  // C stands at its natural place 3: the new node takes 4, Y and X move up.
  CFavoritesNode* node = Add(root.get(), u"Cc", 1);
  EXPECT_EQ(node->nSortIndex, 4u);
  EXPECT_EQ(node->nPosIndex, 4u);
  EXPECT_EQ(Display(root.get()), (Names{"A", "B", "C", "Cc", "Y", "X"}));
  EXPECT_TRUE(TreeIsSound(root.get()));
}

TEST(CFavoritesNodeTest, WithoutAnEarlierNaturalSiblingTheNextOneDecides) {
  const RootPtr root = NewRoot();
  for (const char16_t* name : {u"B", u"C", u"D"}) Add(root.get(), name, 1);
  ASSERT_EQ(root->MoveNodeUp(root->vChildren[1]), 1);  // C, B, D
  Add(root.get(), u"A", 1);
  // After renumbering, B (sort 2, position 2) stands at its natural place.
  EXPECT_EQ(Display(root.get()), (Names{"C", "A", "B", "D"}));
  EXPECT_TRUE(TreeIsSound(root.get()));
}

TEST(CFavoritesNodeTest, RemovalClosesTheGapsInBothOrders) {
  const RootPtr root = NewRoot();
  for (const char16_t* name : {u"A", u"B", u"C", u"D"}) Add(root.get(), name, 1);
  root->MoveNodeDown(root->vChildren[0]);  // B, A, C, D
  const auto next = root->RemoveNode(root->vChildren[1]);
  ASSERT_NE(next, root->vChildren.end());
  EXPECT_EQ(Utf8(*next), "C");
  EXPECT_EQ(Display(root.get()), (Names{"A", "C", "D"}));
  EXPECT_TRUE(TreeIsSound(root.get()));
  CFavoritesNode stranger;
  EXPECT_EQ(root->RemoveNode(&stranger), root->vChildren.end());
}

struct MoveCase {
  const char* what;
  int index;  // child moved, in sequence order
  int step;   // -1 up, +1 down
  int result;
  Names display;
};
void PrintTo(const MoveCase& c, std::ostream* os) { *os << c.what; }

class MoveNodeTest : public ::testing::TestWithParam<MoveCase> {};

// Folders F1 F2, directories D1 D2(deleted) D3, portfolio P.
TEST_P(MoveNodeTest, MovesOnlyAmongItsOwnType) {
  const RootPtr root = NewRoot();
  Add(root.get(), u"F1", 1);
  Add(root.get(), u"F2", 1);
  Add(root.get(), u"D1", 2, u"/d/D1");
  Add(root.get(), u"D2", 2, u"/d/D2")->bDeleted = 1;
  Add(root.get(), u"D3", 2, u"/d/D3");
  Add(root.get(), u"P", 8, u"/p/P.lrm");
  CFavoritesNode* node = root->vChildren[size_t(GetParam().index)];
  const int result = GetParam().step < 0 ? root->MoveNodeUp(node) : root->MoveNodeDown(node);
  EXPECT_EQ(result, GetParam().result);
  EXPECT_EQ(Display(root.get()), GetParam().display);
  EXPECT_TRUE(TreeIsSound(root.get()));
}

INSTANTIATE_TEST_SUITE_P(
    Moves, MoveNodeTest,
    ::testing::Values(
        MoveCase{"FirstOfAllStays", 0, -1, 0, {"F1", "F2", "D1", "D2", "D3", "P"}},
        MoveCase{"SwapsWithPrevious", 1, -1, 1, {"F2", "F1", "D1", "D2", "D3", "P"}},
        MoveCase{"NeverPassesAFolder", 2, -1, 0, {"F1", "F2", "D1", "D2", "D3", "P"}},
        MoveCase{"JumpsOverDeletedUp", 4, -1, 1, {"F1", "F2", "D3", "D2", "D1", "P"}},
        MoveCase{"JumpsOverDeletedDown", 2, +1, 1, {"F1", "F2", "D3", "D2", "D1", "P"}},
        MoveCase{"NeverPassesAPortfolio", 4, +1, 0, {"F1", "F2", "D1", "D2", "D3", "P"}},
        MoveCase{"LastOfAllStays", 5, +1, 0, {"F1", "F2", "D1", "D2", "D3", "P"}}),
    [](const auto& info) { return std::string(info.param.what); });

// Any sequence of edits keeps parent links, levels and both orders sound.
class RandomEditTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(RandomEditTest, OrdersStayPermutations) {
  std::mt19937 random(GetParam());
  const RootPtr root = NewRoot();
  std::vector<CFavoritesNode*> folders{root.get()};
  auto pick = [&](size_t n) { return size_t(random() % n); };
  auto allNodes = [&] {
    std::vector<CFavoritesNode*> nodes, pending{root.get()};
    while (!pending.empty()) {
      CFavoritesNode* node = pending.back();
      pending.pop_back();
      for (CFavoritesNode* child : node->vChildren)
        nodes.push_back(child), pending.push_back(child);
    }
    return nodes;
  };
  const char16_t* names[] = {u"Alps", u"alps", u"Beach", u"Trips", u"Zoo", u"été", u"東京"};
  const int32_t types[] = {FAV_TYPE_FOLDER, FAV_TYPE_DIRECTORY, FAV_TYPE_PORTFOLIO};

  for (int step = 0; step < 400; ++step) {
    const std::vector<CFavoritesNode*> nodes = allNodes();
    const int action = int(pick(10));
    if (action < 4 || nodes.empty()) {
      CFavoritesNode* parent = folders[pick(folders.size())];
      const int32_t type = types[pick(3)];
      const MyString name = names[pick(7)];
      const MyString path = u"/nowhere/" + name + (type == FAV_TYPE_PORTFOLIO ? u".lrm" : u"");
      CFavoritesNode* node = Add(parent, type == FAV_TYPE_FOLDER ? name.c_str() : nullptr, type,
                                 type == FAV_TYPE_FOLDER ? nullptr : path.c_str());
      ASSERT_TRUE(node);
      if (type == FAV_TYPE_FOLDER) folders.push_back(node);
    } else {
      CFavoritesNode* node = nodes[pick(nodes.size())];
      CFavoritesNode* parent = node->pParent;
      if (action == 4) parent->RemoveNode(node);
      if (action == 5 || action == 6) parent->MoveNodeUp(node);
      if (action == 7) parent->MoveNodeDown(node);
      if (action == 8 && node->nType == FAV_TYPE_DIRECTORY) node->bDeleted = 1;
      if (action == 9) node->ChangeName(names[pick(7)]);
    }
    const std::vector<CFavoritesNode*> left = allNodes();
    folders.erase(std::remove_if(folders.begin() + 1, folders.end(),
                                 [&](CFavoritesNode* f) {
                                   return std::find(left.begin(), left.end(), f) == left.end();
                                 }),
                  folders.end());
    ASSERT_TRUE(TreeIsSound(root.get())) << "after step " << step;
    // Types stay grouped in the display order, as in the sequence.
    for (CFavoritesNode* folder : folders) {
      std::vector<int32_t> shown;
      for (uint32_t pos = 1; CFavoritesNode* child = folder->FindPosIndex(pos); ++pos)
        shown.push_back(child->nType);
      ASSERT_TRUE(std::is_sorted(shown.begin(), shown.end())) << "after step " << step;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomEditTest, ::testing::Values(1u, 7u, 42u, 2024u));

TEST(CFavoritesNodeTest, ChangeNameRefusesEmptyAndUnchangedNames) {
  const RootPtr root = NewRoot();
  CFavoritesNode* node = Add(root.get(), nullptr, 2, u"/photos/Alps 2004");
  EXPECT_EQ(node->ChangeName(nullptr), 0);
  EXPECT_EQ(node->ChangeName(u""), 0);
  EXPECT_EQ(node->ChangeName(u"Alps 2004"), 0);
  EXPECT_EQ(node->ChangeName(u"Mountains"), 1);
  EXPECT_EQ(node->bCustomName, 1);
  EXPECT_EQ(node->ChangeName(u"Alps 2004"), 1);
  EXPECT_EQ(node->bCustomName, 0);
}

TEST(CFavoritesNodeTest, ChangeNameNumbersADuplicateAmongItsType) {
  const RootPtr root = NewRoot();
  Add(root.get(), nullptr, 2, u"/a/Summer");
  Add(root.get(), nullptr, 8, u"/p/Winter.lrm");
  CFavoritesNode* node = Add(root.get(), nullptr, 2, u"/b/Autumn");
  EXPECT_EQ(node->ChangeName(u"summer"), 1);
  EXPECT_EQ(Utf8(node), "summer1");
  EXPECT_EQ(node->ChangeName(u"Winter"), 1);  // a portfolio's name: no conflict
  EXPECT_EQ(Utf8(node), "Winter");
}

struct RestoreCase {
  int32_t type;
  const char16_t* path;
  std::string restored;
};
void PrintTo(const RestoreCase& c, std::ostream* os) { *os << c.restored; }

class RestoreNameTest : public ::testing::TestWithParam<RestoreCase> {};

TEST_P(RestoreNameTest, TakesTheNameOfThePath) {
  const RootPtr root = NewRoot();
  CFavoritesNode* node = Add(root.get(), u"Custom", GetParam().type, GetParam().path);
  ASSERT_TRUE(node);
  EXPECT_EQ(node->CheckName(), 1);
  EXPECT_EQ(node->RestoreName(), 1);
  EXPECT_EQ(Utf8(node), GetParam().restored);
  EXPECT_EQ(node->bCustomName, 0);
  EXPECT_EQ(node->CheckName(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Types, RestoreNameTest,
    ::testing::Values(RestoreCase{2, u"/photos/Alps 2004", "Alps 2004"},
                      RestoreCase{2, u"/photos/trip.2004/", "trip.2004"},  // a dot is no extension
                      RestoreCase{8, u"/p/Best of.lrm", "Best of"}, RestoreCase{2, u"/", "/"}));

TEST(CFavoritesNodeTest, RestoreNameRefusesFavoritesFolders) {
  const RootPtr root = NewRoot();
  CFavoritesNode* folder = Add(root.get(), u"Trips", 1);
  EXPECT_EQ(folder->RestoreName(), 0);
  EXPECT_EQ(Utf8(folder), "Trips");
}

TEST(CFavoritesNodeTest, CopyIsDeepAndKeepsTheParent) {
  const RootPtr root = NewRoot();
  CFavoritesNode* folder = Add(root.get(), u"Trips", 1);
  CFavoritesNode* inner = Add(folder, nullptr, 2, u"/d/Alps");
  inner->nReservedFlag = 5;
  inner->nSelection = 3;
  const std::unique_ptr<CFavoritesNode> copy(new CFavoritesNode(*folder));
  EXPECT_EQ(copy->pParent, root.get());
  ASSERT_EQ(copy->vChildren.size(), 1u);
  CFavoritesNode* innerCopy = copy->vChildren[0];
  EXPECT_NE(innerCopy, inner);
  EXPECT_EQ(innerCopy->pParent, copy.get());
  EXPECT_NE(innerCopy->pszPath, inner->pszPath);
  EXPECT_EQ(innerCopy->GetPath(), inner->GetPath());
  EXPECT_EQ(innerCopy->nSelection, 3);
  EXPECT_EQ(innerCopy->nReservedFlag, 0u);

  CItemData data;
  data = *inner;
  data = CItemData();  // a source without texts leaves none behind
  EXPECT_EQ(data.pszPath, nullptr);
  EXPECT_EQ(data.pszName, nullptr);
}

TEST(CFavoritesNodeTest, ReplaceNodeTakesTheExactPlace) {
  const RootPtr root = NewRoot();
  for (const char16_t* name : {u"A", u"B", u"C"}) Add(root.get(), name, 1);
  CFavoritesNode* old = root->vChildren[1];
  auto* copy = new CFavoritesNode(*old);
  copy->SetName(u"B copy");
  ASSERT_EQ(root->ReplaceNode(old, copy), 1);
  EXPECT_EQ(Sequence(root.get()), (Names{"A", "B copy", "C"}));
  EXPECT_EQ(copy->pParent, root.get());
  EXPECT_TRUE(TreeIsSound(root.get()));
  ASSERT_TRUE(root->vChildren[2]->InsertNodeSorted(old) != root->vChildren[2]->vChildren.end());
  EXPECT_EQ(old->nLevel, 1);
  EXPECT_EQ(root->ReplaceNode(old, copy), 0);  // not a child of root
}

TEST(CFavoritesNodeTest, AMovedFolderTakesTheLevelsOfItsNewPlace) {
  const RootPtr other = NewRoot();
  CFavoritesNode* a = Add(other.get(), u"A", 1);
  Add(Add(a, u"B", 1), u"C", 1);
  other->vChildren.clear();  // taken out, as a drag does

  const RootPtr root = NewRoot();
  CFavoritesNode* target = Add(Add(root.get(), u"T", 1), u"U", 1);
  ASSERT_NE(target->InsertNodeSorted(a), target->vChildren.end());
  EXPECT_EQ(a->vChildren[0]->vChildren[0]->nLevel, 4);
  EXPECT_TRUE(TreeIsSound(root.get()));
}

TEST(CFavoritesNodeTest, ReSortPlacesARenamedFolderByPath) {
  const RootPtr root = NewRoot();
  CFavoritesNode* dir = Add(root.get(), nullptr, 2, u"/d");
  for (const char16_t* path : {u"/d/a", u"/d/c", u"/d/e", u"/d/g"}) Add(dir, nullptr, 2, path);
  CFavoritesNode* a = dir->vChildren[0];
  a->ReplacePath(u"/d/f");
  EXPECT_EQ(dir->ReSort(a), 1);
  EXPECT_EQ(Display(dir), (Names{"c", "e", "f", "g"}));
  CFavoritesNode* g = dir->vChildren[3];
  g->ReplacePath(u"/d/b");
  EXPECT_EQ(dir->ReSort(g), 1);
  EXPECT_EQ(Display(dir), (Names{"b", "c", "e", "f"}));
  EXPECT_TRUE(TreeIsSound(root.get(), false));
}

TEST(CFavoritesNodeTest, ReSortKeepsPositionsWholeBesideMovedSiblings) {
  const RootPtr root = NewRoot();
  CFavoritesNode* dir = Add(root.get(), nullptr, 2, u"/d");
  for (const char16_t* path : {u"/d/a", u"/d/b", u"/d/c", u"/d/d"}) Add(dir, nullptr, 2, path);
  dir->MoveNodeDown(dir->vChildren[1]);  // b and c swapped by the user
  CFavoritesNode* a = dir->vChildren[0];
  a->ReplacePath(u"/d/cz");
  dir->ReSort(a);
  EXPECT_TRUE(TreeIsSound(root.get(), false));
  const Names shown = Display(dir);
  EXPECT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown.back(), "d");
  EXPECT_EQ(dir->ReSort(dir->vChildren[1]), 1);  // moved by the user: stays
}

TEST(CFavoritesNodeTest, SelectionsAcrossTheSubtree) {
  const RootPtr root = NewRoot();
  CFavoritesNode* folder = Add(root.get(), u"F", 1);
  CFavoritesNode* dir = Add(folder, nullptr, 2, u"/d/a");
  CFavoritesNode* sub1 = Add(dir, nullptr, 2, u"/d/a/1");
  CFavoritesNode* sub2 = Add(dir, nullptr, 2, u"/d/a/2");
  CFavoritesNode* other = Add(root.get(), nullptr, 8, u"/p/x.lrm");
  dir->nSelection = 2;
  dir->SelectChilds();
  other->nSelection = 3;
  EXPECT_EQ(sub1->nSelection, 2);
  EXPECT_EQ(sub2->nSelection, 2);

  std::vector<int> found;
  root->GetChildsSelections(found);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<int>{2, 3}));
  EXPECT_EQ(folder->FindSelection(2), 1);
  EXPECT_EQ(folder->FindSelection(3), 0);
  EXPECT_EQ(sub1->HaveSelections(), 1);

  sub2->nSelection = 5;
  dir->ResetChildsSelection();  // only those carrying the directory's number
  EXPECT_EQ(sub1->nSelection, 0);
  EXPECT_EQ(sub2->nSelection, 5);
  root->RemoveSelection(2);
  EXPECT_EQ(dir->nSelection, 0);
  root->RecalculateSelections(2);
  EXPECT_EQ(other->nSelection, 2);
  EXPECT_EQ(sub2->nSelection, 4);
  root->RemoveAllSelections();
  EXPECT_EQ(root->HaveSelections(), 0);
}

TEST(CFavoritesNodeTest, DeleteNodeWithResFlagRemovesMarkedNodesOfTheType) {
  const RootPtr root = NewRoot();
  CFavoritesNode* folder = Add(root.get(), u"F", 1);
  CFavoritesNode* keep = Add(folder, nullptr, 2, u"/d/keep");
  Add(folder, nullptr, 2, u"/d/drop");
  Add(folder, nullptr, 8, u"/p/stay.lrm");
  folder->SetReservedFlagToDurty(0);
  keep->nReservedFlag = 0;
  EXPECT_EQ(*folder->FindRezervedFlag(0), keep);
  root->DeleteNodeWithResFlag(FAV_TYPE_DIRECTORY, 1);
  EXPECT_EQ(Sequence(folder), (Names{"keep", "stay"}));
  EXPECT_TRUE(TreeIsSound(root.get()));
  root->SetRezervedFlag(7);
  EXPECT_EQ(folder->nReservedFlag, 7u);
}

TEST(CFavoritesNodeTest, FindSimpleNodeDescendsThroughFoldersOnly) {
  const RootPtr root = NewRoot();
  CFavoritesNode* trips = Add(root.get(), u"Trips", 1);
  CFavoritesNode* alps = Add(trips, nullptr, 2, u"/photos/alps");
  Add(alps, nullptr, 8, u"/photos/alps/inner.lrm");
  CFavoritesNode* best = Add(root.get(), nullptr, 8, u"/p/Best.lrm");

  CFavoritesNode::NodeList chain;
  ASSERT_EQ(root->FindSimpleNode(u"/photos/alps/2004/day1", 2, chain), 1);
  EXPECT_EQ(chain, (CFavoritesNode::NodeList{root.get(), trips, alps}));
  chain.clear();
  EXPECT_EQ(root->FindSimpleNode(u"/photos/alpsx", 2, chain), 0);  // not inside alps
  EXPECT_TRUE(chain.empty());
  EXPECT_EQ(root->FindSimpleNode(u"/photos/alps/inner.lrm", 8, chain), 0);  // below a directory
  chain.clear();
  ASSERT_EQ(root->FindSimpleNode(u"/p/Best.lrm", 8, chain), 1);
  EXPECT_EQ(chain.back(), best);
  chain.clear();
  EXPECT_EQ(root->FindSimpleNode(u"/p/best.lrm", 8, chain), 0);  // file names keep their case
}

TEST(CFavoritesNodeTest, SearchesAndCounts) {
  const RootPtr root = NewRoot();
  CFavoritesNode* folder = Add(root.get(), u"F", 1);
  CFavoritesNode* d1 = Add(root.get(), nullptr, 2, u"/d/one");
  CFavoritesNode* d2 = Add(root.get(), nullptr, 2, u"/d/two");
  CFavoritesNode* p = Add(root.get(), nullptr, 8, u"/p/x.lrm");
  CFavoritesNode* sub = Add(d1, nullptr, 2, u"/d/one/sub");
  d2->bDeleted = 1;

  EXPECT_EQ(*root->FindPath(u"/d/two"), d2);
  EXPECT_EQ(root->FindPath(u"/D/two"), root->vChildren.end());
  EXPECT_EQ(*root->FindLastNodeType(FAV_TYPE_DIRECTORY), d2);
  EXPECT_EQ(d1->FindFirstNodeType(FAV_TYPE_DIRECTORY), d1->vChildren.end());
  EXPECT_EQ(sub->GetFriendNode(), root.get());

  int folders = -1, directories = -1, portfolios = -1;
  root->GetNodeCounts(folders, directories, portfolios);
  EXPECT_EQ(folders, 1);
  EXPECT_EQ(directories, 1);  // the deleted one is not counted
  EXPECT_EQ(portfolios, 1);
  p->GetNodeCounts(folders, directories, portfolios);
  EXPECT_EQ(folders + directories + portfolios, 0);

  EXPECT_EQ(root->CanDeleteChildrens(), 0);
  EXPECT_EQ(d1->AllDeleted(), 0);
  sub->bDeleted = 1;
  EXPECT_EQ(d1->CanDeleteChildrens(), 1);
  EXPECT_EQ(d1->AllDeleted(), 1);
  folder->DeleteChildrens();
  EXPECT_EQ(folder->bHasChildren, 0);
  d1->DeleteChildrens();
  EXPECT_EQ(d1->bHasChildren, 1);  // the disk may still hold subfolders
}

struct FolderNameCase {
  const char16_t* path;
  std::string name;
};
void PrintTo(const FolderNameCase& c, std::ostream* os) { *os << MyString(c.path).ToUtf8(); }

class FolderGetNameTest : public ::testing::TestWithParam<FolderNameCase> {};

TEST_P(FolderGetNameTest, GivesTheLastNonEmptyPart) {
  MyString name = u"unchanged";
  EXPECT_EQ(FolderGetName(GetParam().path, &name), 1);
  EXPECT_EQ(name.ToUtf8(), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Paths, FolderGetNameTest,
                         ::testing::Values(FolderNameCase{u"/home/ann/Alps 2004", "Alps 2004"},
                                           FolderNameCase{u"/home/ann/trip.2004//", "trip.2004"},
                                           FolderNameCase{u"Best of.lrm", "Best of.lrm"},
                                           FolderNameCase{u"/", ""}, FolderNameCase{u"", ""}));

}  // namespace
