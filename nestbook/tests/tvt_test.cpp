#include "nestbook/tvt.h"

#include <QTreeWidget>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "treehelpers.h"

namespace {

using Names = std::vector<std::string>;

Names Labels(QTreeWidget& tree, QTreeWidgetItem* parent = nullptr) {
  Names names;
  const int count = parent ? parent->childCount() : tree.topLevelItemCount();
  for (int i = 0; i < count; ++i)
    names.push_back((parent ? parent->child(i) : tree.topLevelItem(i))->text(0).toStdString());
  return names;
}

// F (folder holding G), D1, D2 (deleted), P, shown in the order P, F, D1, D2.
struct Favorites {
  Favorites() : root(NewRoot()) {
    f = Add(root.get(), u"F", 1);
    g = Add(f, u"G", 1);
    d1 = Add(root.get(), nullptr, 2, u"/d/D1");
    d2 = Add(root.get(), nullptr, 2, u"/d/D2");
    d2->bDeleted = 1;
    p = Add(root.get(), nullptr, 8, u"/p/P.lrm");
    for (CFavoritesNode* child : root->vChildren) ++child->nPosIndex;
    p->nPosIndex = 1;
  }
  RootPtr root;
  CFavoritesNode *f, *g, *d1, *d2, *p;
};

TEST(TVTTest, LoadsChildrenInDisplayOrder) {
  Favorites fav;
  QTreeWidget tree;
  EXPECT_EQ(TVTLoadNode(&tree, nullptr, fav.root.get(), FAV_TYPE_ALL, false, false), 3);
  EXPECT_EQ(Labels(tree), (Names{"P", "F", "D1"}));
  QTreeWidgetItem* f = tree.topLevelItem(1);
  EXPECT_EQ(TVTGetItemData(f), fav.f);
  EXPECT_EQ(f->childCount(), 0);  // children come when it is opened
  EXPECT_EQ(f->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
  EXPECT_EQ(tree.topLevelItem(0)->childIndicatorPolicy(),
            QTreeWidgetItem::DontShowIndicatorWhenChildless);
  EXPECT_EQ(tree.topLevelItem(0)->data(0, kTVTImageRole).toInt(), 4);
  EXPECT_EQ(f->data(0, kTVTImageRole).toInt(), 0);
  EXPECT_EQ(tree.topLevelItem(2)->data(0, kTVTImageRole).toInt(), 2);
}

TEST(TVTTest, MasksDeletedNodesAndGaps) {
  Favorites fav;
  QTreeWidget tree;
  TVTLoadNode(&tree, nullptr, fav.root.get(), FAV_TYPE_DIRECTORY, true, false);
  EXPECT_EQ(Labels(tree), (Names{"D1", "D2"}));
  EXPECT_EQ(tree.topLevelItem(1)->data(0, kTVTImageRole).toInt(), 6);

  tree.clear();
  fav.d1->nPosIndex = 9;  // a gap at 3: nothing after it is shown
  TVTLoadNode(&tree, nullptr, fav.root.get(), FAV_TYPE_ALL, false, false);
  EXPECT_EQ(Labels(tree), (Names{"P", "F"}));
}

TEST(TVTTest, InsertNodeBringsTheWholeSubtree) {
  Favorites fav;
  QTreeWidget tree;
  QTreeWidgetItem* f = TVTInsertNode(&tree, nullptr, fav.f, FAV_TYPE_ALL, false);
  ASSERT_TRUE(f);
  EXPECT_EQ(Labels(tree, f), (Names{"G"}));
  EXPECT_EQ(TVTFindNode(&tree, nullptr, fav.g), f->child(0));
  EXPECT_EQ(TVTFindItemNode(&tree, nullptr, fav.g), nullptr);  // one level only
  EXPECT_EQ(TVTFindItemNode(&tree, f, fav.g), f->child(0));
}

TEST(TVTTest, RefreshFollowsInsertionsRemovalsAndMoves) {
  Favorites fav;
  Add(fav.root.get(), u"H", 1);
  QTreeWidget tree;
  TVTLoadNode(&tree, nullptr, fav.root.get(), FAV_TYPE_ALL, false, false);
  ASSERT_EQ(Labels(tree), (Names{"P", "H", "F", "D1"}));
  QTreeWidgetItem* f = TVTFindItemNode(&tree, nullptr, fav.f);
  TVTLoadNode(&tree, f, fav.f, FAV_TYPE_ALL, false, false);
  f->setExpanded(true);

  fav.root->RemoveNode(fav.p);  // its item now points to freed memory
  fav.root->MoveNodeUp(fav.f);
  CFavoritesNode* e = Add(fav.root.get(), u"E", 1);
  ASSERT_EQ(Display(fav.root.get()), (Names{"E", "F", "H", "D1", "D2"}));
  ASSERT_EQ(TVTRefreshNode2(&tree, nullptr, fav.root.get(), FAV_TYPE_ALL, false), 1);
  EXPECT_EQ(Labels(tree), (Names{"E", "F", "H", "D1"}));
  EXPECT_EQ(TVTGetItemData(tree.topLevelItem(0)), e);
  f = TVTFindItemNode(&tree, nullptr, fav.f);
  EXPECT_TRUE(f->isExpanded());
  EXPECT_EQ(Labels(tree, f), (Names{"G"}));
}

TEST(TVTTest, InsertNodeOnPosFindsItsNeighbours) {
  Favorites fav;
  QTreeWidget tree;
  TVTLoadNode(&tree, nullptr, fav.root.get(), FAV_TYPE_ALL, false, false);
  CFavoritesNode* e = Add(fav.root.get(), u"E", 1);  // placed before F
  QTreeWidgetItem* item = TVTInsertNodeOnPos(&tree, nullptr, e);
  EXPECT_EQ(tree.indexOfTopLevelItem(item), 1);
  EXPECT_EQ(Labels(tree), (Names{"P", "E", "F", "D1"}));
}

TEST(TVTTest, LoadItemFromChainRevealsANestedFavorite) {
  Favorites fav;
  CFavoritesNode* inner = Add(fav.g, nullptr, 2, u"/photos/alps");
  QTreeWidget tree;
  TVTLoadNode(&tree, nullptr, fav.root.get(), FAV_TYPE_ALL, false, false);
  CFavoritesNode::NodeList chain;
  ASSERT_EQ(fav.root->FindSimpleNode(u"/photos/alps/2004", FAV_TYPE_DIRECTORY, chain), 1);
  QTreeWidgetItem* item = TVTLoadItemFromChain(&tree, chain, FAV_TYPE_ALL);
  ASSERT_TRUE(item);
  EXPECT_EQ(TVTGetItemData(item), inner);
  EXPECT_TRUE(item->parent()->isExpanded());
  EXPECT_TRUE(item->parent()->parent()->isExpanded());
  EXPECT_EQ(TVTLoadItemFromChain(&tree, {}, FAV_TYPE_ALL), nullptr);
}

}  // namespace
