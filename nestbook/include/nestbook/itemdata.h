#pragma once
// CItemData: what one node of the favorites tree holds, as a plain record.
// The two texts are owned copies, or null (a favorites folder has no path).

#include <cstdint>

#include "corekit/mystring.h"

// Node types. They are bits, so that filters can take a mask of them.
enum : int32_t {
  FAV_TYPE_FOLDER = 1,     // a favorites folder: a group the user names
  FAV_TYPE_DIRECTORY = 2,  // a folder on disk
  FAV_TYPE_PORTFOLIO = 8,  // a portfolio file
  FAV_TYPE_ALL = 11,
};

class CItemData {
 public:
  CItemData() = default;
  CItemData(const CItemData& other);
  // Copies every field and both texts (a null text stays null); the
  // reserved flag of the copy is 0.
  CItemData& operator=(const CItemData& other);
  ~CItemData();

  // Replace a text by a copy of text, or by null.
  void SetPath(const char16_t* path);
  void SetName(const char16_t* name);
  void SetPath(const MyString& path) { SetPath(path.c_str()); }
  void SetName(const MyString& name) { SetName(name.c_str()); }
  // The text, empty when null.
  MyString GetPath() const { return MyString(pszPath); }
  MyString GetName() const { return MyString(pszName); }
  bool HasPath() const { return pszPath && *pszPath; }
  bool HasName() const { return pszName && *pszName; }
  // Stands at its natural place: the user did not move it in the display order.
  bool IsAtNaturalPlace() const { return nPosIndex == nSortIndex; }

  int32_t nLevel = -1;     // -1 for the root, parent's level + 1 otherwise
  int32_t nSelection = 0;  // 0, or the number of the selection it belongs to
  int32_t bExpanded = 0;   // opened: its children are loaded
  int32_t nType = FAV_TYPE_FOLDER;
  char16_t* pszPath = nullptr;  // directory or portfolio file; null for folders
  char16_t* pszName = nullptr;  // display name
  int32_t bValid = 1;           // the path exists
  int32_t bHasChildren = 0;     // has, or may have, children (subfolders)
  uint32_t nSortIndex = 0;      // 1-based place in the parent's child sequence
  uint32_t nPosIndex = 0;       // 1-based place in the user's display order
  int32_t bKeep = 0;            // something below differs from a fresh listing
  int32_t bDeleted = 0;         // a listed subfolder the user removed (hidden)
  int32_t bCustomName = 0;      // the name differs from the path's title
  int32_t bUserAdded = 0;       // placed by the user, not listed from disk
  uint32_t nReservedFlag = 0;   // scratch mark of refresh passes; never copied
};
