#pragma once
// CFavoritesBrowsing: the favorites the viewer walks through, in the order
// they were selected. Each selected node carries its selection number
// (1, 2, 3 ...) in the tree; the list holds the nodes in that order and a
// current index (-1 for none), which the favorites file stores as "-3".
// Plain, Ctrl and Shift clicks of the favorites pane are carried out here,
// without a display. GUI thread, or whoever holds the pane lock.

#include <vector>

#include "nestbook/favoritesnode.h"

class CFavoritesBrowsing {
 public:
  explicit CFavoritesBrowsing(CFavoritesNode* root = nullptr) : m_pRoot(root) {}
  void SetRoot(CFavoritesNode* root);

  const std::vector<CFavoritesNode*>& GetEntries() const { return m_entries; }
  int GetCount() const { return int(m_entries.size()); }
  int GetCurrent() const { return m_nCurrent; }
  CFavoritesNode* GetCurrentNode() const;
  int GetLastSelection() const { return m_nLastSelection; }

  // Every selection in the tree and the list cleared.
  void Clear();
  // A plain click on a directory or portfolio: it alone is selected (1)
  // and current. 0 for a favorites folder (nothing changes).
  int Select(CFavoritesNode* node);
  // A Ctrl+click: an unselected node gets the next number and becomes
  // current (1); a selected one loses its selection, also where it passed
  // it to its subtree, the numbers above it close the gap and the current
  // entry stays on its node where it can (-1). 0 for a favorites folder.
  int Toggle(CFavoritesNode* node);
  // Takes node's selection away as Toggle does; 0 when it had none.
  int Deselect(CFavoritesNode* node);
  // A node already freed (its folder went from disk) leaves the list by its
  // pointer alone; the numbers above its selection close the gap.
  void Forget(const CFavoritesNode* gone, int32_t selection);
  // A Shift+click: the visible items from the last clicked one (first) to
  // the clicked one; the first gets 1 and is current, the others the next
  // numbers, favorites folders skipped. Returns how many are listed.
  int SelectRange(const std::vector<CFavoritesNode*>& fromLastToClicked);
  // "Select all subfolders": node keeps its number or gets the next one,
  // passes it to its subfolders, is appended and becomes current (index 0
  // when the list was cleared before).
  void SelectWithSubfolders(CFavoritesNode* node);

  // Loading: the selected nodes of the tree in the order the tree shows
  // them (display positions, into expanded nodes only, deleted nodes left
  // out); then the stored current index as SetStoredIndex takes it.
  void LoadFromTree(CFavoritesNode* root, int storedIndex);
  // A node found selected in the tree, in visual order.
  void Append(CFavoritesNode* node);
  // The stored current index, taken when it lies inside the list, else -1.
  void SetStoredIndex(int index);

  // The walk of Next Image past the end (Previous before the start): the
  // following entry, wrapping; null with fewer than two entries.
  CFavoritesNode* Next();
  CFavoritesNode* Previous();

 private:
  int IndexOf(const CFavoritesNode* node) const;

  CFavoritesNode* m_pRoot;
  std::vector<CFavoritesNode*> m_entries;
  int m_nCurrent = -1;
  int m_nLastSelection = 0;
};
