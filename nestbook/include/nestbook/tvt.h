#pragma once
// TVT: the favorites tree in a QTreeWidget. Each item carries its node
// (kTVTNodeRole) and shows the node's name with the icon of its type:
// image 0 a favorites folder, 2 a directory, 4 a portfolio, 6 a deleted
// directory (second form only); the next image is the selected look.
// Children are shown in display-position order. GUI thread only.

#include <QIcon>
#include <QList>
#include <Qt>

#include "corekit/mystring.h"
#include "nestbook/favoritesnode.h"

class QStyle;
class QTreeWidget;
class QTreeWidgetItem;

constexpr int kTVTNodeRole = Qt::UserRole + 1;
constexpr int kTVTImageRole = Qt::UserRole + 2;  // the item's image index

// The images items take their icons from (8 of them, in the order above);
// without a list of its own a tree uses TVTDefaultImageList.
void TVTSetImageList(QTreeWidget* tree, const QList<QIcon>& images);
QList<QIcon> TVTDefaultImageList(const QStyle* style);

CFavoritesNode* TVTGetItemData(const QTreeWidgetItem* item);

// Inserts one item for node below parent (null: at the top level) at
// index (-1: last). The second form shows a deleted directory as such.
QTreeWidgetItem* TVTInsertSingleNode(QTreeWidget* tree, QTreeWidgetItem* parent,
                                     CFavoritesNode* node, int index = -1);
QTreeWidgetItem* TVTInsertSingleNode2(QTreeWidget* tree, QTreeWidgetItem* parent,
                                      CFavoritesNode* node, int index = -1);
// Inserts the children of node below item (null: at the top level) whose
// type is in typeMask, deleted ones only when showDeleted, in position
// order 1, 2, 3 ... up to the first position no child has; and their
// children too when recursive. Returns the number of items inserted.
int TVTLoadNode(QTreeWidget* tree, QTreeWidgetItem* item, CFavoritesNode* node, int32_t typeMask,
                bool showDeleted, bool recursive);
// Inserts node itself below parent, with its children as TVTLoadNode does.
QTreeWidgetItem* TVTInsertNode(QTreeWidget* tree, QTreeWidgetItem* parent, CFavoritesNode* node,
                               int32_t typeMask, bool showDeleted);
// The item of node below start (null: the whole tree), at any depth.
QTreeWidgetItem* TVTFindNode(QTreeWidget* tree, QTreeWidgetItem* start, const CFavoritesNode* node);
// The item of node among the children of parent (null: the top level).
QTreeWidgetItem* TVTFindItemNode(QTreeWidget* tree, QTreeWidgetItem* parent,
                                 const CFavoritesNode* node);
// Inserts node among the children of parent where its position puts it:
// after the item of position - 1, before the one of position + 1.
QTreeWidgetItem* TVTInsertNodeOnPos(QTreeWidget* tree, QTreeWidgetItem* parent,
                                    CFavoritesNode* node);
// Brings the children of item (null: the top level, node the root) in line
// with node's children: items of nodes that are gone (or now hidden) are
// deleted, missing ones inserted, and all put in position order.
int TVTRefreshNode2(QTreeWidget* tree, QTreeWidgetItem* item, CFavoritesNode* node,
                    int32_t typeMask, bool showDeleted);
// The item below start (null: the whole tree) whose node has path.
QTreeWidgetItem* TVTFindPath(QTreeWidget* tree, QTreeWidgetItem* start, const MyString& path);
void TVTSetText(QTreeWidgetItem* item, const MyString& text);
// The item now shows node.
int TVTReplaceNode(QTreeWidget* tree, QTreeWidgetItem* item, CFavoritesNode* node);
// Reveals the chain of nodes FindSimpleNode gives (from the root down):
// each item is loaded when missing and expanded, down to the last, which is
// returned (null when the chain is empty or broken).
QTreeWidgetItem* TVTLoadItemFromChain(QTreeWidget* tree, const CFavoritesNode::NodeList& chain,
                                      int32_t typeMask);
