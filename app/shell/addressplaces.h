#pragma once
// The list of the address bar: the places of the file system (the desktop,
// the home folder, the whole file system and the removable volumes), then
// the recent folders and the portfolio slots. Choosing a folder shows it in
// the viewer, choosing a portfolio opens it; either then moves to the head
// of its list. Plain logic, GUI thread only.

#include <vector>

#include "corekit/mystring.h"

class CRecentLists;

enum ADDRESSKIND : int {
  AK_PLACE,      // a folder of the file system's places
  AK_FOLDER,     // a recent folder
  AK_PORTFOLIO,  // a portfolio slot
  AK_IMAGE,      // a typed path naming an image file
};

struct tagADDRESSENTRY {
  ADDRESSKIND nKind = AK_PLACE;
  MyString strText;  // what the list shows
  MyString strPath;
  bool operator==(const tagADDRESSENTRY&) const = default;
};

// What choosing an entry asks the viewer for.
enum ADDRESSACTION : int {
  AA_NONE,
  AA_SHOW_FOLDER,     // the images of the folder (message 1046)
  AA_OPEN_PORTFOLIO,  // the portfolio (message 1047)
  AA_OPEN_IMAGE,      // the image file
};

class CAddressList {
 public:
  // The places of this user: desktop (when it is a folder of its own), home,
  // "/", and the removable volumes given (mount points).
  static std::vector<tagADDRESSENTRY> FileSystemPlaces(const MyString& home,
                                                       const MyString& desktop,
                                                       const MyStringList& volumes);
  // The places, then the recent folders (most recent first), then the
  // portfolio slots that are set, in slot order.
  static std::vector<tagADDRESSENTRY> Build(const std::vector<tagADDRESSENTRY>& places,
                                            const CRecentLists& lists);
  // What the entry asks the viewer for, after moving it to the head of its
  // list: folders and places to the recent folders, portfolios to the
  // first slot.
  static ADDRESSACTION Choose(const tagADDRESSENTRY& entry, CRecentLists& lists);
  // What a typed address names: an existing folder, portfolio or other
  // file. 0 when it names nothing (or is not an absolute path).
  static int Resolve(const MyString& text, tagADDRESSENTRY* entry);
};
