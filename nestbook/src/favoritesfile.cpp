#include "nestbook/favoritesfile.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <memory>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "corekit/atomicfile.h"
#include "corekit/filelock.h"
#include "corekit/straw.h"
#include "nestbook/nestbook.h"
#include "nodenames.h"

namespace {

// Far more than any favorites tree takes; a larger file is not one.
constexpr size_t kMaxFavoritesFileBytes = size_t(64) << 20;

// Ends the load at a record that cannot be read.
int Damaged(std::istream& stream, tagFAVORITESDATA* data) {
  data->bDamaged = 1;
  stream.clear();
  stream.seekg(0, std::ios::end);
  stream.setstate(std::ios::eofbit | std::ios::failbit);
  return -1;
}

// One line without its line end (the file is written with CR LF).
bool ReadLine(std::istream& stream, std::string* line) {
  if (!std::getline(stream, *line)) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

template <typename Number>
bool ReadField(std::istream& stream, Number* value) {
  if (!(stream >> *value)) return false;
  stream.get();  // the separator
  return true;
}

// Sort indexes must run 1..n and positions be a permutation of 1..n, or the
// tree would stop showing children at the first gap. A file with dropped or
// damaged records is brought back to that; a sound file is left as it is.
bool IsPermutation(const CFavoritesNode::NodeList& nodes, uint32_t CItemData::*field) {
  std::vector<bool> seen(nodes.size() + 1, false);
  for (const CFavoritesNode* node : nodes) {
    const uint32_t value = node->*field;
    if (value < 1 || value > nodes.size() || seen[value]) return false;
    seen[value] = true;
  }
  return true;
}

void RepairOrders(CFavoritesNode* node) {
  auto& children = node->vChildren;
  if (!IsPermutation(children, &CItemData::nSortIndex)) {
    uint32_t index = 1;
    for (CFavoritesNode* child : children) child->nSortIndex = index++;
  }
  if (!IsPermutation(children, &CItemData::nPosIndex)) {
    std::vector<size_t> order(children.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      return children[a]->nPosIndex < children[b]->nPosIndex;
    });
    uint32_t pos = 1;
    for (size_t i : order) children[i]->nPosIndex = pos++;
  }
  for (CFavoritesNode* child : children) RepairOrders(child);
}

std::string Number(int32_t value) { return std::to_string(value); }
std::string Number(uint32_t value) { return std::to_string(value); }

void SaveItem(std::string& out, const CFavoritesNode* node, int32_t level) {
  if (!node) return;
  // A line break in a path (legal in a Linux file name) would split the
  // record and shift every later one; such a favorite cannot be stored.
  if (node->HasPath() && node->GetPath().Find(u'\n') != MyString::npos) return;
  MyString name = node->GetName();
  for (char16_t& c : name.str())
    if (c == u'\n') c = u' ';
  // A nameless record would be skipped on reading, and its subtree hung
  // below the sibling before it.
  if (name.IsEmpty()) name = node->HasPath() ? DefaultNodeName(node->GetPath(), node->nType) : u"?";

  out += Number(node->nType) + ':' + Number(level) + ':' + Number(node->nSelection) + ':' +
         Number(node->bExpanded) + ':' + Number(node->nSortIndex) + ':' + Number(node->nPosIndex) +
         ':' + Number(node->bDeleted) + ':' + Number(node->bUserAdded) + ':' + CStrAW::w_toA(name) +
         "\r\n";
  if (node->nType != FAV_TYPE_FOLDER) out += CStrAW::w_toA(node->GetPath());
  out += "\r\n";
  for (const CFavoritesNode* child : node->vChildren) SaveItem(out, child, level + 1);
}

std::string SaveText(const CFavoritesNode* root, int32_t browseIndex, int32_t imageIndex) {
  std::string out;
  for (const CFavoritesNode* child : root->vChildren) SaveItem(out, child, 0);
  out += "-3:" + Number(browseIndex) + "\r\n";
  out += "-4:" + Number(imageIndex) + "\r\n";
  return out;
}

}  // namespace

int FTInitItemData(CFavoritesNode* node, const char16_t* path, const char16_t* name, int32_t type) {
  node->SetName(name);
  node->SetPath(path && *path ? path : nullptr);
  node->nType = type;
  node->CheckName();
  if (type == FAV_TYPE_DIRECTORY) node->bHasChildren = PathHaveFolders(node->GetPath());
  if (type != FAV_TYPE_FOLDER) node->bValid = IsValidFile(node->GetPath());
  if (node->pParent) node->pParent->bHasChildren = 1;
  return 1;
}

int FTLoadItemFromFile(std::istream& stream, CFavoritesNode* parent, int32_t level,
                       tagFAVORITESDATA* data) {
  if (!stream.good()) {
    stream.seekg(0, std::ios::end);
    return -1;
  }
  stream >> std::ws;
  if (stream.eof()) return -1;  // only blank lines were left

  int32_t type = 0;
  if (!ReadField(stream, &type)) return Damaged(stream, data);
  if (type == -3 || type == -4) return type;

  int32_t nodeLevel = 0, selection = 0, expanded = 0, deleted = 0, userAdded = 0;
  uint32_t sortIndex = 0, posIndex = 0;
  if (!ReadField(stream, &nodeLevel) || !ReadField(stream, &selection) ||
      !ReadField(stream, &expanded) || !ReadField(stream, &sortIndex) ||
      !ReadField(stream, &posIndex) || !ReadField(stream, &deleted) ||
      !ReadField(stream, &userAdded))
    return Damaged(stream, data);
  data->nMaxSelection = std::max(data->nMaxSelection, selection);

  std::string nameLine, pathLine;
  ReadLine(stream, &nameLine);
  const bool havePathLine = ReadLine(stream, &pathLine);
  if (nameLine.empty()) {
    data->bDamaged = 1;  // skipped; the load goes on
    return -1;
  }
  // A file cut short after a name line still holds a whole favorites folder.
  if (!havePathLine && type != FAV_TYPE_FOLDER) return Damaged(stream, data);

  CFavoritesNode* target = parent;
  if (nodeLevel > level) {
    if (parent->vChildren.empty() || !parent->vChildren.back()) return Damaged(stream, data);
    target = parent->vChildren.back();
  } else if (nodeLevel < level) {
    for (int64_t up = int64_t(level) - nodeLevel; up > 0 && target->pParent; --up)
      target = target->pParent;
  }
  if (target->nLevel + 1 > kMaxFavoritesDepth) return Damaged(stream, data);

  CFavoritesNode* node = target->CreateChildNode();
  if (!node) return Damaged(stream, data);
  FTInitItemData(node, CStrAW::a_toW(pathLine).c_str(), CStrAW::a_toW(nameLine).c_str(), type);
  // The node's depth, which a record at an impossible level does not give.
  node->nLevel = target->nLevel + 1;
  node->nSelection = selection;
  node->bExpanded = expanded;
  node->nSortIndex = sortIndex;
  node->nPosIndex = posIndex;
  node->bDeleted = deleted;
  node->bUserAdded = userAdded;
  // A negative level would read as one of the codes above; the node sits
  // below the root, so the reader goes on from there.
  return nodeLevel < 0 ? 0 : nodeLevel;
}

void FTLoadDataFromStream(std::istream& stream, tagFAVORITESDATA* data) {
  stream.imbue(std::locale::classic());
  if (stream.peek() == 0xEF) {  // a byte-order mark left by an editor
    char bom[3] = {};
    stream.read(bom, 3);
    if (!(bom[1] == char(0xBB) && bom[2] == char(0xBF))) {
      stream.clear();
      stream.seekg(0);
    }
  }
  CFavoritesNode* parent = data->pRoot;
  int32_t level = 0;
  while (stream.good()) {
    const int result = FTLoadItemFromFile(stream, parent, level, data);
    if (result == -3 || result == -4) {
      int32_t value = 0;
      if (!(stream >> value)) {
        Damaged(stream, data);
        break;
      }
      (result == -3 ? data->nBrowseIndex : data->nImageIndex) = value;
      if (result == -4) break;  // anything after it is not read
      continue;
    }
    if (result < 0) continue;
    if (result > level) {
      parent = parent->vChildren.back();
    } else if (result < level) {
      for (int64_t up = int64_t(level) - result; up > 0 && parent->pParent; --up)
        parent = parent->pParent;
    }
    level = result;
  }
  RepairOrders(data->pRoot);
}

int FTLoadDataFromFile(tagFAVORITESDATA* data) {
  return FTLoadDataFromFile(data, NestbookFavoritesPath());
}

int FTLoadDataFromFile(tagFAVORITESDATA* data, const MyString& path) {
  if (!data) return 0;
  delete data->pRoot;
  data->pRoot = CFavoritesNode::CreateRoot();
  data->bDamaged = 0;
  data->bUnreadable = 0;
  if (path.IsEmpty()) return 1;
  std::string bytes;
  MyString error;
  if (!ReadWholeFile(path, &bytes, kMaxFavoritesFileBytes, &error)) {
    std::error_code ec;
    if (!std::filesystem::exists(CStrAW::ToPath(path), ec) && !ec) return 1;  // a first start
    // An empty tree saved at exit would replace every favorite in the file.
    data->bUnreadable = 1;
    data->pRoot->bFileNotRead = 1;
    NestbookShowMessage(
        u"The favorites could not be read: " + error +
        u"\nThe file is left as it is; changes to the favorites will not be saved.");
    return 0;
  }
  std::istringstream stream(bytes);
  FTLoadDataFromStream(stream, data);
  if (!data->bDamaged) return 1;
  // The next save writes only what could be read; the user's file stays here.
  if (!WriteFileAtomically(path + u".damaged", bytes)) data->pRoot->bFileNotRead = 1;
  return 0;
}

int FTLoadDataUnderLock(tagFAVORITESDATA* data) {
  // Read even when the lock file cannot be made: the favorites matter more.
  CFileLockGuard lock(GetFavoritesLock());
  return FTLoadDataFromFile(data);
}

void FTSaveItemToFile(std::ostream& stream, const CFavoritesNode* node) {
  if (!node) return;
  int32_t depth = -1;
  for (const CFavoritesNode* up = node->pParent; up; up = up->pParent) ++depth;
  std::string out;
  SaveItem(out, node, std::max(depth, 0));
  stream << out;
}

void FTSaveDataToStream(std::ostream& stream, const CFavoritesNode* root, int32_t browseIndex,
                        int32_t imageIndex) {
  if (root) stream << SaveText(root, browseIndex, imageIndex);
}

int FTSaveDataToFile(const CFavoritesNode* root, int32_t browseIndex, int32_t imageIndex) {
  return FTSaveDataToFile(root, browseIndex, imageIndex, NestbookFavoritesPath());
}

int FTSaveDataToFile(const CFavoritesNode* root, int32_t browseIndex, int32_t imageIndex,
                     const MyString& path) {
  if (!root) return 0;
  if (root->bFileNotRead) {
    NestbookShowMessage(u"The favorites were not saved: " + path +
                        u" could not be read whole when they were loaded, and saving would "
                        u"replace the favorites it holds.");
    return 0;
  }
  // Saved also when the lock file cannot be made: the write is atomic, so
  // another writer can never leave half a file, only an older whole one.
  CFileLockGuard lock(GetFavoritesLock());
  if (path.IsEmpty()) return 0;
  try {
    return WriteFileAtomically(path, SaveText(root, browseIndex, imageIndex));
  } catch (const std::bad_alloc&) {
    return 0;  // the file on disk stays as it was
  }
}
