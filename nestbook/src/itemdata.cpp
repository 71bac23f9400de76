#include "nestbook/itemdata.h"

#include <cstring>

namespace {

char16_t* Duplicate(const char16_t* text) {
  if (!text) return nullptr;
  const size_t length = std::char_traits<char16_t>::length(text);
  char16_t* copy = new char16_t[length + 1];
  std::char_traits<char16_t>::copy(copy, text, length + 1);
  return copy;
}

}  // namespace

CItemData::CItemData(const CItemData& other) { *this = other; }

CItemData& CItemData::operator=(const CItemData& other) {
  if (this == &other) return *this;
  nLevel = other.nLevel;
  nSelection = other.nSelection;
  bExpanded = other.bExpanded;
  nType = other.nType;
  SetPath(other.pszPath);
  SetName(other.pszName);
  bValid = other.bValid;
  bHasChildren = other.bHasChildren;
  nSortIndex = other.nSortIndex;
  nPosIndex = other.nPosIndex;
  bKeep = other.bKeep;
  bDeleted = other.bDeleted;
  bCustomName = other.bCustomName;
  bUserAdded = other.bUserAdded;
  nReservedFlag = 0;
  return *this;
}

CItemData::~CItemData() {
  delete[] pszPath;
  delete[] pszName;
}

void CItemData::SetPath(const char16_t* path) {
  if (path == pszPath) return;
  char16_t* copy = Duplicate(path);
  delete[] pszPath;
  pszPath = copy;
}

void CItemData::SetName(const char16_t* name) {
  if (name == pszName) return;
  char16_t* copy = Duplicate(name);
  delete[] pszName;
  pszName = copy;
}
