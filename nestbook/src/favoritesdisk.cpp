// Keeping directory nodes in step with the disk, and the folder helpers.
#include <algorithm>
#include <memory>
#include <unordered_map>

#include "corekit/platform.h"
#include "nestbook/favoritesnode.h"
#include "nestbook/nestbook.h"
#include "nodehelpers.h"
#include "nodenames.h"

int CFavoritesNode::ListSubfolders(int inheritSelection, bool clearOnFailure) {
  if (nType != FAV_TYPE_DIRECTORY || !HasPath()) return 0;
  try {
    const MyString folder = TrimFolderPath(GetPath());
    std::vector<MyString> names;
    if (!ListSubfolderNames(folder, &names)) {
      if (clearOnFailure) bHasChildren = 0;
      return 0;
    }
    return AddListedSubfolders(folder, names, inheritSelection);
  } catch (const std::bad_alloc&) {
    NestbookShowMessage(u"Sorry! Can't allocate more memory...");
    bHasChildren = vChildren.empty() ? 0 : 1;
    return bHasChildren;
  }
}

int CFavoritesNode::AddListedSubfolders(const MyString& folder, std::vector<MyString>& names,
                                        int inheritSelection) {
  // In name order, so that each insertion lands at the end.
  std::sort(names.begin(), names.end(), [](const MyString& a, const MyString& b) {
    const int order = CompareNoCase(a, b);
    return order != 0 ? order < 0 : a < b;
  });
  for (const MyString& name : names) {
    const MyString path = JoinPath(folder, name);
    if (FindPath(path.c_str()) != vChildren.end()) continue;  // kept from an earlier opening
    auto child = std::make_unique<CFavoritesNode>();
    child->nType = FAV_TYPE_DIRECTORY;
    child->SetPath(path);
    child->SetName(name);
    child->bHasChildren = PathHaveFolders(path);
    if (inheritSelection) child->nSelection = nSelection;
    InsertListedChild(child.release());
  }
  bHasChildren = vChildren.empty() ? 0 : 1;
  return bHasChildren;
}

int CFavoritesNode::OpenFolderShell(int inheritSelection) {
  return ListSubfolders(inheritSelection, false);
}

int CFavoritesNode::OpenFolder(int inheritSelection) {
  return ListSubfolders(inheritSelection, true);
}

int CFavoritesNode::OpenAllSubfolders(int inheritSelection) {
  FolderIds seen;
  return OpenAllSubfolders(inheritSelection, seen);
}

int CFavoritesNode::OpenAllSubfolders(int inheritSelection, FolderIds& seen) {
  if (nType != FAV_TYPE_DIRECTORY) return 0;
  // A link back up the tree would otherwise be followed for ever.
  std::pair<uint64_t, uint64_t> id;
  if (FolderIdentity(GetPath(), &id) && !seen.insert(id).second) return 0;
  int result = vChildren.empty() ? OpenFolderShell(inheritSelection) : 1;
  for (CFavoritesNode* child : vChildren)
    if (child) result |= child->OpenAllSubfolders(inheritSelection, seen);
  return result;
}

bool CFavoritesNode::NeedsKeeping() const {
  for (const CFavoritesNode* child : vChildren) {
    if (!child) continue;
    if (child->bCustomName || child->bDeleted || !child->IsAtNaturalPlace() || child->bKeep ||
        child->NeedsKeeping())
      return true;
  }
  return false;
}

int CFavoritesNode::CloseFolder() {
  if (nType != FAV_TYPE_DIRECTORY) return 0;
  int keep = 0;
  for (CFavoritesNode* child : vChildren) {
    if (!child) continue;
    // A closed child may still hold what was customised below it (kept when
    // it was closed, or read from the file): look, so that nothing of the
    // user's is dropped.
    const int childKeep =
        child->bExpanded ? child->CloseFolder() : (child->bKeep || child->NeedsKeeping());
    if (child->bCustomName || child->bDeleted || !child->IsAtNaturalPlace() || childKeep) keep = 1;
  }
  bKeep = keep;
  if (!keep) DeleteChildrens();
  return keep;
}

CFavoritesNode* CFavoritesNode::UpdateFromHDD() {
  if (nType != FAV_TYPE_DIRECTORY || vChildren.empty()) return nullptr;
  const MyString folder = TrimFolderPath(GetPath());
  std::vector<MyString> names;
  // An unreadable folder (an unmounted disk, no permission) is no evidence
  // that its subfolders went away: nothing changes.
  if (!ListSubfolderNames(folder, &names)) return nullptr;

  SetRezervedFlag(1);
  std::unordered_map<MyString, CFavoritesNode*, MyStringHash> byPath;
  for (CFavoritesNode* child : vChildren)
    if (child) byPath.emplace(child->GetPath(), child);
  MyString newPath;
  for (const MyString& name : names) {
    const MyString path = JoinPath(folder, name);
    if (const auto found = byPath.find(path); found != byPath.end())
      found->second->nReservedFlag = 0;
    else
      newPath = path;
  }

  if (const iterator marked = FindRezervedFlag(1); marked != vChildren.end()) {
    CFavoritesNode* node = *marked;
    if (!newPath.IsEmpty()) {  // renamed
      node->ReplacePath(newPath.c_str());
      if (!node->bCustomName) ReSort(node);
      return node;
    }
    const iterator next = RemoveNode(node);  // gone
    return next != vChildren.end() ? *next : this;
  }
  if (!newPath.IsEmpty()) {  // added
    const iterator added = CreateChildNodeSorted(newPath.c_str(), nullptr, FAV_TYPE_DIRECTORY);
    return added != vChildren.end() ? *added : nullptr;
  }
  for (CFavoritesNode* child : vChildren)
    if (child)
      if (CFavoritesNode* changed = child->UpdateFromHDD()) return changed;
  return nullptr;
}

int CFavoritesNode::ReplacePath(const char16_t* path) {
  if (!path || !*path) return 0;
  SetPath(path);
  if (!bCustomName) RestoreName();
  UpdateChildrensPath();
  return 1;
}

int CFavoritesNode::UpdateChildrensPath() {
  if (nType != FAV_TYPE_DIRECTORY || !HasPath()) return 0;
  const MyString folder = TrimFolderPath(GetPath());
  for (CFavoritesNode* child : vChildren) {
    if (!child || !child->HasPath()) continue;
    // The whole last part: a folder named "a.b" keeps its ".b".
    MyString name;
    FolderGetName(child->pszPath, &name);
    child->SetPath(JoinPath(folder, name));
    // Deeper levels too, or their paths would point into the old folder.
    child->UpdateChildrensPath();
  }
  return 1;
}

// --- Free functions ---------------------------------------------------------

int FolderGetName(const char16_t* path, MyString* name) {
  if (!path || !name) return 0;
  const MyString text(path);
  size_t end = text.GetLength();
  while (end > 0 && text[end - 1] == u'/') --end;
  size_t start = end;
  while (start > 0 && text[start - 1] != u'/') --start;
  *name = text.Mid(start, end - start);
  return 1;
}

int PathHaveFolders(const MyString& path) {
  std::vector<MyString> names;
  return ListSubfolderNames(path, &names, 1) && !names.empty() ? 1 : 0;
}

int IsValidFile(const MyString& path) {
  CFileInfo info;
  return GetFileInfo(path, &info);
}

int ShellGetFoldersCount(const MyString& path) {
  std::vector<MyString> names;
  if (!ListSubfolderNames(path, &names)) return 0;
  return int(std::min<size_t>(names.size(), INT32_MAX));
}

int VectorGetIndex(const CFavoritesNode::NodeList& nodes, const CFavoritesNode* node) {
  const auto it = std::find(nodes.begin(), nodes.end(), node);
  return it == nodes.end() ? -1 : int(it - nodes.begin());
}
