// Building the tree, its two orders (sequence and display position), names
// and deletion.
#include "nestbook/favoritesnode.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "corekit/straw.h"
#include "nestbook/nestbook.h"
#include "nodehelpers.h"
#include "nodenames.h"

namespace {

// The position of a node that is being placed ("-1").
constexpr uint32_t kNoPosition = UINT32_MAX;

}  // namespace

MyString DefaultNodeName(const MyString& path, int32_t type) {
  MyString name;
  FolderGetName(path.c_str(), &name);
  if (name.IsEmpty()) return path;
  if (type == FAV_TYPE_PORTFOLIO) return name.GetStringTitle();
  return name;
}

CFavoritesNode::CFavoritesNode(const CFavoritesNode& other)
    : CItemData(other), pParent(other.pParent), bFileNotRead(other.bFileNotRead) {
  vChildren.reserve(other.vChildren.size());
  try {
    for (const CFavoritesNode* child : other.vChildren) {
      if (!child) continue;
      auto copy = std::make_unique<CFavoritesNode>(*child);
      copy->pParent = this;
      vChildren.push_back(copy.release());
    }
  } catch (...) {
    for (CFavoritesNode* child : vChildren) delete child;
    throw;
  }
}

CFavoritesNode::~CFavoritesNode() {
  pParent = nullptr;
  for (CFavoritesNode* child : vChildren) delete child;
}

CFavoritesNode* CFavoritesNode::CreateRoot() {
  auto* root = new CFavoritesNode;
  root->nLevel = -1;
  root->nType = FAV_TYPE_FOLDER;
  root->bExpanded = 1;
  root->bHasChildren = 1;
  root->bValid = 1;
  root->bUserAdded = 1;
  root->SetName(u"Favorites");
  return root;
}

// --- Building ---------------------------------------------------------------

CFavoritesNode* CFavoritesNode::CreateChildNode() {
  try {
    auto child = std::make_unique<CFavoritesNode>();
    child->pParent = this;
    vChildren.push_back(child.get());
    return child.release();
  } catch (const std::bad_alloc&) {
    NestbookShowMessage(u"Sorry! Can't allocate more memory...");
    return nullptr;
  }
}

CFavoritesNode::iterator CFavoritesNode::CreateChildNodeSorted(const char16_t* path,
                                                               const char16_t* name, int32_t type) {
  if (type != FAV_TYPE_FOLDER && type != FAV_TYPE_DIRECTORY && type != FAV_TYPE_PORTFOLIO)
    return vChildren.end();
  try {
    return CreateSortedChild(path, name, type);
  } catch (const std::bad_alloc&) {
    NestbookShowMessage(u"Sorry! Can't allocate more memory...");
    return vChildren.end();
  }
}

CFavoritesNode::iterator CFavoritesNode::CreateSortedChild(const char16_t* path,
                                                           const char16_t* name, int32_t type) {
  auto node = std::make_unique<CFavoritesNode>();
  node->nType = type;
  if (path) {
    node->SetPath(path);
    node->bHasChildren = PathHaveFolders(path);
  }
  if (name && *name)
    node->SetName(name);
  else if (path)
    node->SetName(DefaultNodeName(path, type));
  if (nType == FAV_TYPE_FOLDER) node->bUserAdded = 1;

  const bool byPath = type == FAV_TYPE_DIRECTORY && !node->bUserAdded;
  const iterator it = byPath ? InsertNodePath(node.get()) : InsertNodeSorted(node.get());
  if (it != vChildren.end()) node.release();
  return it;
}

bool CFavoritesNode::HasEmptySlot() const {
  return std::find(vChildren.begin(), vChildren.end(), nullptr) != vChildren.end();
}

MyString CFavoritesNode::FreeName(const CFavoritesNode* node, const MyString& base) const {
  // Counting on until the name is free also covers siblings that are not in
  // name order (listed subfolders) and suffixes past 9 ("Trips10" sorts
  // before "Trips2").
  MyString name = base;
  for (int counter = 1;; ++counter) {
    const bool taken = std::any_of(vChildren.begin(), vChildren.end(), [&](const auto* child) {
      return child && child != node && child->nType == node->nType &&
             child->GetName().EqualsNoCase(name);
    });
    if (!taken) return name;
    name = CStrAW::printf(u"%s%d", base.c_str(), counter);
  }
}

CFavoritesNode::iterator CFavoritesNode::InsertAt(iterator where, CFavoritesNode* node) {
  const iterator it = vChildren.insert(where, node);
  node->pParent = this;
  node->nLevel = nLevel + 1;
  node->SetChildsLevel();
  bHasChildren = 1;
  node->nPosIndex = kNoPosition;
  SetPositionIndex(it);
  return it;
}

CFavoritesNode::iterator CFavoritesNode::InsertNodeSorted(CFavoritesNode* node) {
  if (!node || HasEmptySlot()) return vChildren.end();
  const MyString base = node->GetName();
  const MyString name = FreeName(node, base);
  if (!(name == base)) {
    node->SetName(name);
    node->bCustomName = 1;
  }
  iterator where = vChildren.begin();
  for (; where != vChildren.end(); ++where) {
    const CFavoritesNode* child = *where;
    if (child->nType == node->nType) {
      if (CompareNoCase(child->GetName(), name) > 0) break;
    } else if (child->nType > node->nType) {
      break;
    }
  }
  return InsertAt(where, node);
}

CFavoritesNode::iterator CFavoritesNode::InsertListedChild(CFavoritesNode* node) {
  // Subfolders from disk keep their own names: two of them may differ only
  // in letter case, and both are real.
  const MyString name = node->GetName();
  iterator where = vChildren.begin();
  for (; where != vChildren.end(); ++where) {
    const CFavoritesNode* child = *where;
    if (!child) continue;
    if (child->nType == node->nType) {
      if (CompareNoCase(child->GetName(), name) > 0) break;
    } else if (child->nType > node->nType) {
      break;
    }
  }
  return InsertAt(where, node);
}

CFavoritesNode::iterator CFavoritesNode::InsertNodePath(CFavoritesNode* node) {
  if (!node || HasEmptySlot()) return vChildren.end();
  const MyString path = node->GetPath();
  iterator where = vChildren.begin();
  while (where != vChildren.end() && !(path < (*where)->GetPath())) ++where;
  return InsertAt(where, node);
}

CFavoritesNode::iterator CFavoritesNode::RemoveNode(CFavoritesNode* node) {
  const iterator it = FindNode(node);
  if (!node || it == vChildren.end()) return vChildren.end();
  const uint32_t sortIndex = node->nSortIndex;
  const uint32_t posIndex = node->nPosIndex;
  const auto index = it - vChildren.begin();
  vChildren.erase(it);
  delete node;
  for (CFavoritesNode* child : vChildren) {
    if (!child) continue;
    if (child->nSortIndex > sortIndex) --child->nSortIndex;
    if (child->nPosIndex > posIndex) --child->nPosIndex;
  }
  return vChildren.begin() + index;
}

int CFavoritesNode::ReplaceNode(CFavoritesNode* oldNode, CFavoritesNode* newNode) {
  const iterator it = FindNode(oldNode);
  if (!oldNode || !newNode || it == vChildren.end()) return 0;
  *it = newNode;
  newNode->pParent = this;
  newNode->nLevel = nLevel + 1;
  newNode->SetChildsLevel();
  return 1;
}

CFavoritesNode::iterator CFavoritesNode::MoveNode(CFavoritesNode* node, size_t index) {
  const iterator it = FindNode(node);
  if (!node || it == vChildren.end()) return vChildren.end();
  if (vChildren.size() < 2) return it;
  if (index >= 1 && index <= vChildren.size() && vChildren[index - 1] == node) return it;
  vChildren.erase(it);
  const size_t at = index == 0 ? 0 : std::min(index - 1, vChildren.size());
  return vChildren.insert(vChildren.begin() + at, node);
}

void CFavoritesNode::SortFromName() {
  std::stable_sort(vChildren.begin(), vChildren.end(),
                   [](const CFavoritesNode* a, const CFavoritesNode* b) {
                     if (!a || !b) return a && !b;  // empty slots last
                     return CompareNoCase(a->GetName(), b->GetName()) < 0;
                   });
}

CFavoritesNode::iterator CFavoritesNode::GetMinName(iterator first, iterator last) {
  iterator smallest = first;
  for (iterator it = first; it != last; ++it) {
    if (!*it) continue;
    if (!*smallest || CompareNoCase((*it)->GetName(), (*smallest)->GetName()) < 0) smallest = it;
  }
  return smallest;
}

void CFavoritesNode::SetChildsLevel() {
  // The whole subtree: a folder moved with its subfolders must be stored at
  // the right depth at every level, or the file would re-parent them.
  for (CFavoritesNode* child : vChildren) {
    if (!child) continue;
    child->nLevel = nLevel + 1;
    child->SetChildsLevel();
  }
}

// --- Display positions ------------------------------------------------------

void CFavoritesNode::SetPositionIndex(iterator it) {
  if (it == vChildren.end() || !*it) return;
  uint32_t sortIndex = 1;
  for (CFavoritesNode* child : vChildren)
    if (child) child->nSortIndex = sortIndex++;

  CFavoritesNode* node = *it;
  auto shiftOthers = [&](uint32_t from) {
    for (CFavoritesNode* child : vChildren)
      if (child && child != node && child->nPosIndex >= from) ++child->nPosIndex;
  };
  if (const iterator up = GetPosReperUp(it); up != vChildren.end()) {
    const uint32_t pos = (*up)->nPosIndex;
    shiftOthers(pos + 1);
    node->nPosIndex = pos + 1;
  } else if (const iterator down = GetPosReperDown(it); down != vChildren.end()) {
    const uint32_t pos = (*down)->nPosIndex;
    shiftOthers(pos);
    node->nPosIndex = pos;
  } else {
    shiftOthers(node->nSortIndex);
    node->nPosIndex = node->nSortIndex;
  }
}

CFavoritesNode::iterator CFavoritesNode::GetPosReperUp(iterator it) {
  if (it == vChildren.end() || !*it) return vChildren.end();
  const int32_t type = (*it)->nType;
  while (it != vChildren.begin()) {
    --it;
    if (*it && (*it)->nType == type && (*it)->IsAtNaturalPlace()) return it;
  }
  return vChildren.end();
}

CFavoritesNode::iterator CFavoritesNode::GetPosReperDown(iterator it) {
  if (it == vChildren.end() || !*it) return vChildren.end();
  const int32_t type = (*it)->nType;
  for (++it; it != vChildren.end(); ++it)
    if (*it && (*it)->nType == type && (*it)->IsAtNaturalPlace()) return it;
  return vChildren.end();
}

void CFavoritesNode::AdjustPosIndex(uint32_t pos, int inclusive) {
  for (CFavoritesNode* child : vChildren)
    if (child && (child->nPosIndex > pos || (inclusive && child->nPosIndex == pos)))
      ++child->nPosIndex;
}

int CFavoritesNode::MoveInDisplayOrder(CFavoritesNode* node, int step) {
  if (!node || FindNode(node) == vChildren.end()) return 0;
  int64_t target = int64_t(node->nPosIndex) + step;
  for (;;) {
    if (target < 1 || target > int64_t(UINT32_MAX)) return 0;
    CFavoritesNode* sibling = FindPosIndex(uint32_t(target));
    if (!sibling || sibling == node) return 0;
    // A node never passes one of another type: the types stay grouped.
    if (sibling->nType != node->nType) return 0;
    if (!sibling->bDeleted) {
      sibling->nPosIndex = node->nPosIndex;
      node->nPosIndex = uint32_t(target);
      return 1;
    }
    target += step;  // hidden siblings are jumped over and keep their places
  }
}

int CFavoritesNode::MoveNodeUp(CFavoritesNode* node) { return MoveInDisplayOrder(node, -1); }

int CFavoritesNode::MoveNodeDown(CFavoritesNode* node) { return MoveInDisplayOrder(node, +1); }

CFavoritesNode* CFavoritesNode::FindPosIndex(uint32_t pos) {
  for (CFavoritesNode* child : vChildren)
    if (child && child->nPosIndex == pos) return child;
  return nullptr;
}

CFavoritesNode* CFavoritesNode::FindValidNode(uint32_t sortIndex) {
  for (CFavoritesNode* child : vChildren)
    if (child && child->nSortIndex == sortIndex && child->IsAtNaturalPlace()) return child;
  return nullptr;
}

// The node stood at its natural place at oldSortIndex (position equal) and
// now holds its new indexes. Every sibling in between moves one place, in
// the sequence and in the display order alike, so that both stay without
// gaps or repeats also when some of those siblings were moved by the user.
void CFavoritesNode::IncrementValidNodes(CFavoritesNode* node, uint32_t oldSortIndex) {
  if (!node) return;
  const uint32_t oldPos = oldSortIndex;
  for (CFavoritesNode* child : vChildren) {
    if (!child || child == node) continue;
    if (child->nSortIndex >= node->nSortIndex && child->nSortIndex < oldSortIndex)
      ++child->nSortIndex;
    if (child->nPosIndex >= node->nPosIndex && child->nPosIndex < oldPos) ++child->nPosIndex;
  }
}

void CFavoritesNode::DecrementValidNodes(CFavoritesNode* node, uint32_t oldSortIndex) {
  if (!node) return;
  const uint32_t oldPos = oldSortIndex;
  for (CFavoritesNode* child : vChildren) {
    if (!child || child == node) continue;
    if (child->nSortIndex > oldSortIndex && child->nSortIndex <= node->nSortIndex)
      --child->nSortIndex;
    if (child->nPosIndex > oldPos && child->nPosIndex <= node->nPosIndex) --child->nPosIndex;
  }
}

int CFavoritesNode::ReSort(CFavoritesNode* node) {
  if (!node || FindNode(node) == vChildren.end()) return 0;
  if (!node->IsAtNaturalPlace()) return 1;  // the user placed it; it stays
  const uint32_t oldSort = node->nSortIndex;
  const uint32_t count = uint32_t(vChildren.size());
  const MyString path = node->GetPath();
  for (uint32_t k = 1; k <= count; ++k) {
    const CFavoritesNode* next = FindValidNode(k);
    if (!next || next == node || CompareNoCase(next->GetPath(), path) <= 0) continue;
    if (oldSort <= next->nSortIndex) {
      node->nSortIndex = next->nSortIndex - 1;
      node->nPosIndex = next->nPosIndex - 1;
      DecrementValidNodes(node, oldSort);
    } else {
      node->nSortIndex = next->nSortIndex;
      node->nPosIndex = next->nPosIndex;
      IncrementValidNodes(node, oldSort);
    }
    return 1;
  }
  const CFavoritesNode* last = FindValidNode(count);
  if (!last || last == node || CompareNoCase(path, last->GetPath()) <= 0) return 0;
  node->nSortIndex = last->nSortIndex;
  node->nPosIndex = last->nPosIndex;
  DecrementValidNodes(node, oldSort);
  return 1;
}

// --- Names ------------------------------------------------------------------

int CFavoritesNode::ChangeName(const char16_t* name) {
  if (!name || !*name) return 0;
  if (pszName && GetName() == MyString(name)) return 0;
  SetName(name);
  if (pParent) pParent->ScanDuplicateNode(this);
  bCustomName = HasPath() && GetName() == DefaultNodeName(GetPath(), nType) ? 0 : 1;
  return 1;
}

int CFavoritesNode::RestoreName() {
  if (nType == FAV_TYPE_FOLDER || !HasPath()) return 0;
  return ChangeName(DefaultNodeName(GetPath(), nType).c_str());
}

int CFavoritesNode::CheckName() {
  if (HasPath() && HasName()) bCustomName = GetName() == DefaultNodeName(GetPath(), nType) ? 0 : 1;
  return bCustomName;
}

int CFavoritesNode::ScanDuplicateNode(CFavoritesNode* node) {
  if (!node || HasEmptySlot()) return 0;
  const MyString base = node->GetName();
  const MyString name = FreeName(node, base);
  if (!(name == base)) node->SetName(name);
  return 1;
}

// --- Children and deletion --------------------------------------------------

void CFavoritesNode::DeleteChildrens() {
  for (CFavoritesNode* child : vChildren) delete child;
  vChildren.clear();
  // A directory's disk may still hold subfolders.
  if (nType != FAV_TYPE_DIRECTORY) bHasChildren = 0;
}

int CFavoritesNode::CanDeleteChildrens() const {
  return std::all_of(vChildren.begin(), vChildren.end(),
                     [](const CFavoritesNode* child) { return !child || child->bDeleted; })
             ? 1
             : 0;
}

int CFavoritesNode::AllDeleted() const {
  for (const CFavoritesNode* child : vChildren)
    if (child && (!child->bDeleted || !child->AllDeleted())) return 0;
  return 1;
}
