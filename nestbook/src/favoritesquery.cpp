// Selections, reserved flags, searches and counts over the favorites tree.
#include <algorithm>

#include "nestbook/favoritesnode.h"
#include "nodehelpers.h"

// --- Selections -------------------------------------------------------------

void CFavoritesNode::SelectChilds() {
  for (CFavoritesNode* child : vChildren)
    if (child) child->nSelection = nSelection;
}

void CFavoritesNode::ResetChildsSelection() {
  for (CFavoritesNode* child : vChildren)
    if (child && child->nSelection == nSelection) child->nSelection = 0;
}

void CFavoritesNode::RemoveSelection(int32_t selection) {
  for (CFavoritesNode* child : vChildren) {
    if (!child) continue;
    if (child->nSelection == selection) child->nSelection = 0;
    child->RemoveSelection(selection);
  }
}

void CFavoritesNode::RemoveAllSelections() {
  for (CFavoritesNode* child : vChildren) {
    if (!child) continue;
    child->nSelection = 0;
    child->RemoveAllSelections();
  }
}

void CFavoritesNode::RecalculateSelections(int32_t selection) {
  for (CFavoritesNode* child : vChildren) {
    if (!child) continue;
    if (child->nSelection > selection) --child->nSelection;
    child->RecalculateSelections(selection);
  }
}

void CFavoritesNode::GetChildsSelections(std::vector<int>& selections) const {
  for (const CFavoritesNode* child : vChildren) {
    if (!child) continue;
    if (child->nSelection >= 1 &&
        std::find(selections.begin(), selections.end(), child->nSelection) == selections.end())
      selections.push_back(child->nSelection);
    child->GetChildsSelections(selections);
  }
}

int CFavoritesNode::FindSelection(int32_t selection) const {
  for (const CFavoritesNode* child : vChildren)
    if (child && (child->nSelection == selection || child->FindSelection(selection))) return 1;
  return 0;
}

int CFavoritesNode::HaveSelections() const {
  if (nSelection > 0) return 1;
  for (const CFavoritesNode* child : vChildren)
    if (child && child->HaveSelections()) return 1;
  return 0;
}

// --- Reserved flags ---------------------------------------------------------

void CFavoritesNode::SetRezervedFlag(uint32_t value) {
  for (CFavoritesNode* child : vChildren)
    if (child) child->nReservedFlag = value;
}

void CFavoritesNode::SetReservedFlagToDurty(int recursive) {
  for (CFavoritesNode* child : vChildren) {
    if (!child) continue;
    child->nReservedFlag = 1;
    if (recursive) child->SetReservedFlagToDurty(recursive);
  }
}

CFavoritesNode::iterator CFavoritesNode::FindRezervedFlag(uint32_t value) {
  return std::find_if(vChildren.begin(), vChildren.end(), [value](const CFavoritesNode* child) {
    return child && child->nReservedFlag == value;
  });
}

void CFavoritesNode::DeleteNodeWithResFlag(int32_t typeMask, uint32_t value) {
  for (iterator it = vChildren.begin(); it != vChildren.end();) {
    CFavoritesNode* child = *it;
    if (child && (child->nType & typeMask) && child->nReservedFlag == value) {
      it = RemoveNode(child);
      continue;
    }
    if (child) child->DeleteNodeWithResFlag(typeMask, value);
    ++it;
  }
}

// --- Searches and counts ----------------------------------------------------

CFavoritesNode::iterator CFavoritesNode::FindNode(const CFavoritesNode* node) {
  if (!node) return vChildren.end();
  return std::find(vChildren.begin(), vChildren.end(), node);
}

int CFavoritesNode::FindChild(const CFavoritesNode* node, int recursive) const {
  if (!node) return 0;
  for (const CFavoritesNode* child : vChildren) {
    if (!child) continue;
    if (child == node || (recursive && child->FindChild(node, recursive))) return 1;
  }
  return 0;
}

CFavoritesNode::iterator CFavoritesNode::FindPath(const char16_t* path) {
  if (!path) return vChildren.end();
  const MyString wanted(path);
  return std::find_if(vChildren.begin(), vChildren.end(), [&](const CFavoritesNode* child) {
    return child && child->pszPath && child->GetPath() == wanted;
  });
}

int CFavoritesNode::FindSimpleNode(const char16_t* path, int32_t type, NodeList& chain) {
  chain.push_back(this);
  if (type == FAV_TYPE_FOLDER) return 1;
  const MyString wanted(path);
  for (CFavoritesNode* child : vChildren) {
    if (!child) continue;
    if (child->nType == type && child->HasPath()) {
      // File names are case-sensitive here: a portfolio is its exact path,
      // a directory holds the folders below it.
      const bool match = type == FAV_TYPE_PORTFOLIO ? child->GetPath() == wanted
                                                    : FolderHolds(child->GetPath(), wanted);
      if (match) {
        chain.push_back(child);
        return 1;
      }
    }
    if (child->nType == FAV_TYPE_FOLDER && child->FindSimpleNode(path, type, chain)) return 1;
  }
  chain.pop_back();
  return 0;
}

CFavoritesNode::iterator CFavoritesNode::FindFirstNodeType(int32_t typeMask) {
  if (nType != FAV_TYPE_FOLDER) return vChildren.end();
  return std::find_if(vChildren.begin(), vChildren.end(),
                      [typeMask](const CFavoritesNode* c) { return c && (c->nType & typeMask); });
}

CFavoritesNode::iterator CFavoritesNode::FindLastNodeType(int32_t typeMask) {
  if (nType != FAV_TYPE_FOLDER) return vChildren.end();
  for (iterator it = vChildren.end(); it != vChildren.begin();) {
    --it;
    if (*it && ((*it)->nType & typeMask)) return it;
  }
  return vChildren.end();
}

CFavoritesNode* CFavoritesNode::GetFriendNode() {
  for (CFavoritesNode* node = this; node; node = node->pParent)
    if (node->nType == FAV_TYPE_FOLDER) return node;
  return nullptr;
}

CFavoritesNode::iterator CFavoritesNode::GetIterator() {
  if (!pParent) return iterator();
  return pParent->FindNode(this);
}

void CFavoritesNode::GetNodeCounts(int& folders, int& directories, int& portfolios) const {
  folders = directories = portfolios = 0;
  if (nType == FAV_TYPE_PORTFOLIO) return;
  if (nType == FAV_TYPE_DIRECTORY && vChildren.empty()) {
    directories = ShellGetFoldersCount(GetPath());
    return;
  }
  for (const CFavoritesNode* child : vChildren) {
    if (!child) continue;
    if (child->nType == FAV_TYPE_FOLDER) ++folders;
    if (child->nType == FAV_TYPE_DIRECTORY && !child->bDeleted) ++directories;
    if (child->nType == FAV_TYPE_PORTFOLIO) ++portfolios;
  }
}
