#pragma once
// CFavoritesNode: one node of the favorites tree (a favorites folder, a
// directory on disk or a portfolio) with its children.
//
// Children are kept in their sequence order: type (folders, directories,
// portfolios), then name without regard to letter case; subfolders listed
// from disk below a directory are placed by path. nSortIndex numbers each
// child 1..n in that sequence; nPosIndex is the order the user chose, a
// permutation of 1..n among siblings (the tree shows children by position).
//
// A node owns its children (raw pointers, freed with it) and points to its
// parent without owning it. Not thread-safe: one owner at a time.

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "corekit/mystring.h"
#include "nestbook/itemdata.h"

class CFavoritesNode : public CItemData {
 public:
  using NodeList = std::vector<CFavoritesNode*>;
  using iterator = NodeList::iterator;

  CFavoritesNode() = default;
  // Copies the node data, takes the same parent and deep-copies the
  // children (each copy's parent is the new node).
  CFavoritesNode(const CFavoritesNode& other);
  CFavoritesNode& operator=(const CFavoritesNode&) = delete;
  ~CFavoritesNode();

  // The root of a tree: the favorites folder "Favorites" at level -1.
  static CFavoritesNode* CreateRoot();

  NodeList vChildren;                 // owned
  CFavoritesNode* pParent = nullptr;  // null for the root only
  // Root only: the favorites file holds favorites this tree lacks (it could
  // not be read, or not whole and no copy of it could be kept), so the tree
  // is never saved over it.
  int32_t bFileNotRead = 0;

  // --- Building and order -------------------------------------------------
  // A new empty child at the end, or null (after a message) when memory is out.
  CFavoritesNode* CreateChildNode();
  // A new child of the given type named name, or after the last part of
  // path (without extension for a portfolio). The iterator of the child, or
  // end when the type is not one of the three or it could not be inserted.
  iterator CreateChildNodeSorted(const char16_t* path, const char16_t* name, int32_t type);
  // Takes node among the children by type and name; a name a sibling of the
  // same type already has gets the first free number ("Trips1", "Trips2").
  // End, without taking node, when an empty slot is met.
  iterator InsertNodeSorted(CFavoritesNode* node);
  // Takes node before the first child whose path is greater (case-sensitive).
  iterator InsertNodePath(CFavoritesNode* node);
  // Destroys node and its subtree; the iterator of the child that followed it.
  iterator RemoveNode(CFavoritesNode* node);
  // Puts newNode in the place of oldNode, which is taken out, not destroyed.
  int ReplaceNode(CFavoritesNode* oldNode, CFavoritesNode* newNode);
  // Moves the child node before the child at the 1-based index.
  iterator MoveNode(CFavoritesNode* node, size_t index);
  // Orders the children by name alone (indexes are left as they are).
  void SortFromName();
  iterator GetMinName(iterator first, iterator last);
  // Gives every node below this one the level of its depth.
  void SetChildsLevel();

  // --- Display positions --------------------------------------------------
  // After an insertion: renumbers the sort indexes and gives the new child
  // a position beside its nearest same-typed sibling at its natural place.
  void SetPositionIndex(iterator it);
  iterator GetPosReperUp(iterator it);
  iterator GetPosReperDown(iterator it);
  // Adds 1 to every position above pos (and at pos when inclusive).
  void AdjustPosIndex(uint32_t pos, int inclusive);
  // Swap with the previous / next sibling in the display order; never past
  // a sibling of another type, jumping over deleted ones. 1 when moved.
  int MoveNodeUp(CFavoritesNode* node);
  int MoveNodeDown(CFavoritesNode* node);
  CFavoritesNode* FindPosIndex(uint32_t pos);
  // The child at its natural place with this sort index, or null.
  CFavoritesNode* FindValidNode(uint32_t sortIndex);
  // Make room for node, which moved from sort index oldSortIndex to its
  // current one: the siblings in between move one up / one down, in both
  // orders, so that sort indexes and positions stay without gaps.
  void IncrementValidNodes(CFavoritesNode* node, uint32_t oldSortIndex);
  void DecrementValidNodes(CFavoritesNode* node, uint32_t oldSortIndex);
  // Gives a child at its natural place whose path changed the indexes of its
  // new place by path; the sequence is not reordered. 0 when no place fits.
  int ReSort(CFavoritesNode* node);

  // --- Names --------------------------------------------------------------
  // Renames; refused (0) for an empty name or the current one. A name a
  // same-typed sibling has gets the first free number.
  int ChangeName(const char16_t* name);
  // Back to the name of the path (directories and portfolios).
  int RestoreName();
  // Recomputes and returns the custom-name flag.
  int CheckName();
  // Gives the child node the first free number when a same-typed sibling
  // has its name. 0 when an empty slot is met.
  int ScanDuplicateNode(CFavoritesNode* node);

  // --- Disk (directories only) ---------------------------------------------
  // Lists the subfolders as children; 1 when there are children afterwards.
  // A folder that cannot be listed leaves the node as it was.
  int OpenFolderShell(int inheritSelection);
  // The same; a folder that cannot be listed clears has-children.
  int OpenFolder(int inheritSelection);
  // Opens this directory and, recursively, every subfolder.
  int OpenAllSubfolders(int inheritSelection);
  // Drops the listed children unless something below was customised
  // (renamed, deleted, moved); returns and stores that keep flag.
  int CloseFolder();
  // Finds one change on disk below this directory (a subfolder renamed,
  // removed or added) and applies it; the node concerned, or null.
  CFavoritesNode* UpdateFromHDD();
  int ReplacePath(const char16_t* path);
  // Rewrites the paths below this node after its own path changed.
  int UpdateChildrensPath();

  // --- Children and deletion ----------------------------------------------
  void DeleteChildrens();
  int CanDeleteChildrens() const;
  // 1 when nothing below this node is left to show.
  int AllDeleted() const;

  // --- Selections ---------------------------------------------------------
  void SelectChilds();
  void RemoveSelection(int32_t selection);
  void RemoveAllSelections();
  void RecalculateSelections(int32_t selection);
  void GetChildsSelections(std::vector<int>& selections) const;
  void ResetChildsSelection();
  int FindSelection(int32_t selection) const;
  int HaveSelections() const;

  // --- Reserved flags -----------------------------------------------------
  void SetRezervedFlag(uint32_t value);
  void SetReservedFlagToDurty(int recursive);
  iterator FindRezervedFlag(uint32_t value);
  // Removes, in the whole subtree, the nodes of a type in typeMask whose
  // reserved flag is value.
  void DeleteNodeWithResFlag(int32_t typeMask, uint32_t value);

  // --- Searches and counts ------------------------------------------------
  iterator FindNode(const CFavoritesNode* node);
  int FindChild(const CFavoritesNode* node, int recursive) const;
  // The direct child whose path is path (case-sensitive), or end.
  iterator FindPath(const char16_t* path);
  // Fills chain with the nodes from this one down to the first portfolio
  // at path, or the first directory holding path, descending through
  // favorites folders only. 1 when found.
  int FindSimpleNode(const char16_t* path, int32_t type, NodeList& chain);
  iterator FindFirstNodeType(int32_t typeMask);
  iterator FindLastNodeType(int32_t typeMask);
  // The nearest favorites folder among this node and its ancestors.
  CFavoritesNode* GetFriendNode();
  // This node's place among its parent's children (the root has none:
  // a singular iterator).
  iterator GetIterator();
  int IsRoot() const { return pParent == nullptr ? 1 : 0; }
  void GetNodeCounts(int& folders, int& directories, int& portfolios) const;

 private:
  using FolderIds = std::set<std::pair<uint64_t, uint64_t>>;

  iterator CreateSortedChild(const char16_t* path, const char16_t* name, int32_t type);
  int ListSubfolders(int inheritSelection, bool clearOnFailure);
  int AddListedSubfolders(const MyString& folder, std::vector<MyString>& names,
                          int inheritSelection);
  int OpenAllSubfolders(int inheritSelection, FolderIds& seen);
  iterator InsertAt(iterator where, CFavoritesNode* node);
  iterator InsertListedChild(CFavoritesNode* node);
  int MoveInDisplayOrder(CFavoritesNode* node, int step);
  bool NeedsKeeping() const;
  MyString FreeName(const CFavoritesNode* node, const MyString& base) const;
  bool HasEmptySlot() const;
};

// Splits path at '/' and gives the last non-empty part. 0 when an argument is null.
int FolderGetName(const char16_t* path, MyString* name);
// The folder holds at least one subfolder that is not hidden.
int PathHaveFolders(const MyString& path);
// The file's attributes can be read.
int IsValidFile(const MyString& path);
// Number of subfolders (not hidden) of a folder; 0 when it cannot be listed.
int ShellGetFoldersCount(const MyString& path);
// 0-based index of node in the sequence, or -1.
int VectorGetIndex(const CFavoritesNode::NodeList& nodes, const CFavoritesNode* node);
