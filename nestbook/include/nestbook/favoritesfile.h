#pragma once
// The favorites file FAVORITES.TXT: the tree without its root in pre-order
// (a node, its subtree, then its next sibling), two lines per node, then the
// browsing-list index and the image index. UTF-8 without byte-order mark,
// every line ending in CR LF:
//
//   1:0:0:1:1:1:0:1:Trips        type:level:selection:expanded:sort index:
//                                position:deleted:user-added:name
//                                the path line; empty for a favorites folder
//   2:1:0:0:1:1:0:1:Alps 2004
//   /home/ann/Photos/Alps 2004
//   -3:-1                        current entry of the browsing list (-1: none)
//   -4:0                         image shown in the current folder
//
// Reading never fails on content: it keeps every record before a damaged
// one. Names and paths of any length are read and written whole.

#include <cstdint>
#include <istream>
#include <ostream>

#include "corekit/mystring.h"
#include "nestbook/favoritesnode.h"

struct tagFAVORITESDATA {
  CFavoritesNode* pRoot = nullptr;  // owned by the caller
  int32_t nMaxSelection = 0;        // highest selection number read
  int32_t nImageIndex = 0;          // the "-4" record
  int32_t nBrowseIndex = -1;        // the "-3" record
  int32_t bDamaged = 0;             // records were dropped while reading
  int32_t bUnreadable = 0;          // the file is there but could not be read
};

// Deeper records end the load: no folder on disk lies deeper (paths end at
// 4096 bytes), and the tree code recurses through the levels.
constexpr int32_t kMaxFavoritesDepth = 2048;

// Destroys data->pRoot, makes a new root and fills it from the favorites
// file (without the favorites lock). A missing file leaves the bare root.
// A file that is there but cannot be read (no permission, too many open
// files, too large, not a file) also leaves the bare root, sets
// bUnreadable, tells the user and marks the root so that it is never saved
// over the file; 0 is returned. When records had to be dropped, a copy of
// the file is kept beside it as "FAVORITES.TXT.damaged" before anything can
// overwrite it, and 0 is returned; else 1.
int FTLoadDataFromFile(tagFAVORITESDATA* data);
int FTLoadDataFromFile(tagFAVORITESDATA* data, const MyString& path);
// The program's load: the same under the favorites lock.
int FTLoadDataUnderLock(tagFAVORITESDATA* data);
// The load steps over text already read (data->pRoot must be a root).
void FTLoadDataFromStream(std::istream& stream, tagFAVORITESDATA* data);

// Reads one record into the tree, below parent (the current parent of the
// reader at level). Returns the level of the node read, -3 or -4 for those
// records (their value follows in the stream), or -1 for a skipped record
// or the end (a damaged record moves the stream to its end).
int FTLoadItemFromFile(std::istream& stream, CFavoritesNode* parent, int32_t level,
                       tagFAVORITESDATA* data);
// Fills a node read from the file: texts, type, custom-name, validity and
// has-children flags; marks the parent as having children. Returns 1.
int FTInitItemData(CFavoritesNode* node, const char16_t* path, const char16_t* name, int32_t type);

// Writes the tree to the favorites file under the favorites lock: a
// temporary file is written and renamed over it, so a crash or a full disk
// never leaves half a file. 1 on success, 0 when nothing was written; a
// tree from a file that could not be read is refused, after telling the user.
int FTSaveDataToFile(const CFavoritesNode* root, int32_t browseIndex, int32_t imageIndex);
int FTSaveDataToFile(const CFavoritesNode* root, int32_t browseIndex, int32_t imageIndex,
                     const MyString& path);
// The file's content for the tree.
void FTSaveDataToStream(std::ostream& stream, const CFavoritesNode* root, int32_t browseIndex,
                        int32_t imageIndex);
// The records of node and its subtree, at the node's depth.
void FTSaveItemToFile(std::ostream& stream, const CFavoritesNode* node);
