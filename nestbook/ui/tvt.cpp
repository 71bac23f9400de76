#include "nestbook/tvt.h"

#include <QApplication>
#include <QStyle>
#include <QTreeWidget>
#include <QVariant>
#include <algorithm>

namespace {

constexpr char kImageListProperty[] = "nestbookImageList";
constexpr int kIconSize = 16;

QList<QIcon> ImagesOf(const QTreeWidget* tree) {
  const QVariant list = tree->property(kImageListProperty);
  if (list.isValid()) return list.value<QList<QIcon>>();
  return TVTDefaultImageList(tree->style());
}

int ImageIndex(const CFavoritesNode* node, bool showDeleted) {
  switch (node->nType) {
    case FAV_TYPE_DIRECTORY:
      return showDeleted && node->bDeleted ? 6 : 2;
    case FAV_TYPE_PORTFOLIO:
      return 4;
    default:
      return 0;
  }
}

void Show(QTreeWidget* tree, QTreeWidgetItem* item, CFavoritesNode* node, int image) {
  item->setText(0, node->GetName().ToQString());
  item->setData(0, kTVTNodeRole, QVariant::fromValue(quintptr(node)));
  item->setData(0, kTVTImageRole, image);
  const QList<QIcon> images = ImagesOf(tree);
  if (image + 1 < images.size()) {
    QIcon icon;
    icon.addPixmap(images[image].pixmap(kIconSize), QIcon::Normal);
    icon.addPixmap(images[image + 1].pixmap(kIconSize), QIcon::Selected);
    item->setIcon(0, icon);
  }
  // A folder with children and a directory with subfolders can be opened;
  // their children are only inserted then.
  const bool expandable =
      (node->nType == FAV_TYPE_FOLDER && (node->bHasChildren || !node->vChildren.empty())) ||
      (node->nType == FAV_TYPE_DIRECTORY && node->bHasChildren);
  item->setChildIndicatorPolicy(expandable ? QTreeWidgetItem::ShowIndicator
                                           : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* Insert(QTreeWidget* tree, QTreeWidgetItem* parent, CFavoritesNode* node, int index,
                        int image) {
  if (!tree || !node) return nullptr;
  auto* item = new QTreeWidgetItem;
  Show(tree, item, node, image);
  const int count = parent ? parent->childCount() : tree->topLevelItemCount();
  if (index < 0 || index > count) index = count;
  if (parent)
    parent->insertChild(index, item);
  else
    tree->insertTopLevelItem(index, item);
  return item;
}

int ChildCount(QTreeWidget* tree, QTreeWidgetItem* parent) {
  return parent ? parent->childCount() : tree->topLevelItemCount();
}

QTreeWidgetItem* ChildAt(QTreeWidget* tree, QTreeWidgetItem* parent, int index) {
  return parent ? parent->child(index) : tree->topLevelItem(index);
}

bool Shows(const CFavoritesNode* node, int32_t typeMask, bool showDeleted) {
  return (node->nType & typeMask) && (showDeleted || !node->bDeleted);
}

// The children to show, in display order up to the first missing position.
std::vector<CFavoritesNode*> InPositionOrder(CFavoritesNode* node, int32_t typeMask,
                                             bool showDeleted) {
  std::vector<CFavoritesNode*> byPos(node->vChildren.size() + 1, nullptr);
  for (CFavoritesNode* child : node->vChildren)
    if (child && child->nPosIndex >= 1 && child->nPosIndex < byPos.size() &&
        !byPos[child->nPosIndex])
      byPos[child->nPosIndex] = child;
  std::vector<CFavoritesNode*> shown;
  for (size_t pos = 1; pos < byPos.size() && byPos[pos]; ++pos)
    if (Shows(byPos[pos], typeMask, showDeleted)) shown.push_back(byPos[pos]);
  return shown;
}

}  // namespace

void TVTSetImageList(QTreeWidget* tree, const QList<QIcon>& images) {
  if (tree) tree->setProperty(kImageListProperty, QVariant::fromValue(images));
}

QList<QIcon> TVTDefaultImageList(const QStyle* style) {
  if (!style) style = QApplication::style();
  const QIcon folder = style->standardIcon(QStyle::SP_DirClosedIcon);
  const QIcon open = style->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon directory = style->standardIcon(QStyle::SP_DirIcon);
  const QIcon portfolio = style->standardIcon(QStyle::SP_FileDialogDetailedView);
  const QIcon deleted = style->standardIcon(QStyle::SP_DirLinkIcon);
  return {folder, open, directory, open, portfolio, portfolio, deleted, deleted};
}

CFavoritesNode* TVTGetItemData(const QTreeWidgetItem* item) {
  if (!item) return nullptr;
  return reinterpret_cast<CFavoritesNode*>(item->data(0, kTVTNodeRole).value<quintptr>());
}

QTreeWidgetItem* TVTInsertSingleNode(QTreeWidget* tree, QTreeWidgetItem* parent,
                                     CFavoritesNode* node, int index) {
  return node ? Insert(tree, parent, node, index, ImageIndex(node, false)) : nullptr;
}

QTreeWidgetItem* TVTInsertSingleNode2(QTreeWidget* tree, QTreeWidgetItem* parent,
                                      CFavoritesNode* node, int index) {
  return node ? Insert(tree, parent, node, index, ImageIndex(node, true)) : nullptr;
}

int TVTLoadNode(QTreeWidget* tree, QTreeWidgetItem* item, CFavoritesNode* node, int32_t typeMask,
                bool showDeleted, bool recursive) {
  if (!tree || !node) return 0;
  int inserted = 0;
  for (CFavoritesNode* child : InPositionOrder(node, typeMask, showDeleted)) {
    QTreeWidgetItem* childItem = showDeleted ? TVTInsertSingleNode2(tree, item, child)
                                             : TVTInsertSingleNode(tree, item, child);
    ++inserted;
    if (recursive) inserted += TVTLoadNode(tree, childItem, child, typeMask, showDeleted, true);
  }
  return inserted;
}

QTreeWidgetItem* TVTInsertNode(QTreeWidget* tree, QTreeWidgetItem* parent, CFavoritesNode* node,
                               int32_t typeMask, bool showDeleted) {
  QTreeWidgetItem* item = showDeleted ? TVTInsertSingleNode2(tree, parent, node)
                                      : TVTInsertSingleNode(tree, parent, node);
  if (item) TVTLoadNode(tree, item, node, typeMask, showDeleted, true);
  return item;
}

QTreeWidgetItem* TVTFindItemNode(QTreeWidget* tree, QTreeWidgetItem* parent,
                                 const CFavoritesNode* node) {
  if (!tree || !node) return nullptr;
  for (int i = 0; i < ChildCount(tree, parent); ++i) {
    QTreeWidgetItem* item = ChildAt(tree, parent, i);
    if (TVTGetItemData(item) == node) return item;
  }
  return nullptr;
}

QTreeWidgetItem* TVTFindNode(QTreeWidget* tree, QTreeWidgetItem* start,
                             const CFavoritesNode* node) {
  if (!tree || !node) return nullptr;
  if (start && TVTGetItemData(start) == node) return start;
  for (int i = 0; i < ChildCount(tree, start); ++i)
    if (QTreeWidgetItem* found = TVTFindNode(tree, ChildAt(tree, start, i), node)) return found;
  return nullptr;
}

QTreeWidgetItem* TVTInsertNodeOnPos(QTreeWidget* tree, QTreeWidgetItem* parent,
                                    CFavoritesNode* node) {
  if (!tree || !node) return nullptr;
  CFavoritesNode* owner = node->pParent;
  // Before the first sibling item placed after it; items of nodes that are
  // no longer children are not looked into (they may be freed already).
  int index = ChildCount(tree, parent);
  for (int i = 0; i < ChildCount(tree, parent); ++i) {
    CFavoritesNode* shown = TVTGetItemData(ChildAt(tree, parent, i));
    if (!owner || owner->FindNode(shown) == owner->vChildren.end()) continue;
    if (shown->nPosIndex > node->nPosIndex) {
      index = i;
      break;
    }
  }
  return TVTInsertSingleNode(tree, parent, node, index);
}

int TVTRefreshNode2(QTreeWidget* tree, QTreeWidgetItem* item, CFavoritesNode* node,
                    int32_t typeMask, bool showDeleted) {
  if (!tree || !node) return 0;
  const std::vector<CFavoritesNode*> wanted = InPositionOrder(node, typeMask, showDeleted);
  for (int i = ChildCount(tree, item) - 1; i >= 0; --i) {
    QTreeWidgetItem* child = ChildAt(tree, item, i);
    if (std::find(wanted.begin(), wanted.end(), TVTGetItemData(child)) == wanted.end())
      delete child;
  }
  for (size_t target = 0; target < wanted.size(); ++target) {
    QTreeWidgetItem* child = TVTFindItemNode(tree, item, wanted[target]);
    if (!child) {
      child = showDeleted ? TVTInsertSingleNode2(tree, item, wanted[target], int(target))
                          : TVTInsertSingleNode(tree, item, wanted[target], int(target));
      continue;
    }
    Show(tree, child, wanted[target], ImageIndex(wanted[target], showDeleted));
    const int index = item ? item->indexOfChild(child) : tree->indexOfTopLevelItem(child);
    if (index == int(target)) continue;
    // Moved in the user's order: take the item out and put it back, with
    // its expanded state.
    const bool expanded = child->isExpanded();
    if (item) {
      item->takeChild(index);
      item->insertChild(int(target), child);
    } else {
      tree->takeTopLevelItem(index);
      tree->insertTopLevelItem(int(target), child);
    }
    child->setExpanded(expanded);
  }
  return 1;
}

QTreeWidgetItem* TVTFindPath(QTreeWidget* tree, QTreeWidgetItem* start, const MyString& path) {
  if (!tree) return nullptr;
  if (start) {
    const CFavoritesNode* node = TVTGetItemData(start);
    if (node && node->HasPath() && node->GetPath() == path) return start;
  }
  for (int i = 0; i < ChildCount(tree, start); ++i)
    if (QTreeWidgetItem* found = TVTFindPath(tree, ChildAt(tree, start, i), path)) return found;
  return nullptr;
}

void TVTSetText(QTreeWidgetItem* item, const MyString& text) {
  if (item) item->setText(0, text.ToQString());
}

int TVTReplaceNode(QTreeWidget* tree, QTreeWidgetItem* item, CFavoritesNode* node) {
  if (!tree || !item || !node) return 0;
  Show(tree, item, node, ImageIndex(node, node->bDeleted));
  return 1;
}

QTreeWidgetItem* TVTLoadItemFromChain(QTreeWidget* tree, const CFavoritesNode::NodeList& chain,
                                      int32_t typeMask) {
  if (!tree || chain.empty()) return nullptr;
  size_t first = chain.front()->pParent ? 0 : 1;  // the root has no item
  QTreeWidgetItem* parent = nullptr;
  if (first == 0) {
    parent = TVTFindNode(tree, nullptr, chain.front());
    if (!parent) return nullptr;
    first = 1;
  }
  QTreeWidgetItem* item = parent;
  for (size_t i = first; i < chain.size(); ++i) {
    CFavoritesNode* owner = chain[i - 1];
    if (ChildCount(tree, parent) == 0) TVTLoadNode(tree, parent, owner, typeMask, false, false);
    item = TVTFindItemNode(tree, parent, chain[i]);
    if (!item) item = TVTInsertNodeOnPos(tree, parent, chain[i]);
    if (!item) return nullptr;
    if (parent) parent->setExpanded(true);
    parent = item;
  }
  return item;
}
