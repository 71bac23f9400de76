#pragma once
// CFavoritesBrowser: what the "Select from Favorites..." dialog shows, as a
// plain class. The place is a node of the favorites tree (a favorites
// folder, a directory or a portfolio) or, below a favorite directory, a
// folder or portfolio file on disk. The entries of a favorites folder are
// its children in display order; of a folder, its subfolders and the files
// of the chosen type; of a portfolio, its slides.

#include <cstdint>
#include <vector>

#include "corekit/mystring.h"
#include "nestbook/favoritesnode.h"

// A row of "Files of type:": the text shown and the extensions it takes
// (lower case, without the dot).
struct CFavFileType {
  MyString strText;
  std::vector<MyString> extensions;
};
// "Supported Formats" (every extension below), then one row per format.
const std::vector<CFavFileType>& GetSelFromFavFileTypes();

struct CBrowseEntry {
  enum Kind { kFolder, kDirectory, kPortfolio, kFile };
  Kind nKind = kFile;
  MyString strName;
  MyString strPath;                 // empty for favorites folders
  CFavoritesNode* pNode = nullptr;  // the favorite, for entries of the tree
};

// A row of "Look in:": a favorite (pNode) or a folder on disk below one.
struct CLookInEntry {
  CFavoritesNode* pNode = nullptr;
  MyString strPath;
  MyString strName;
  int nDepth = 0;
};

class CFavoritesBrowser {
 public:
  // Starts at the root; the tree stays the caller's.
  explicit CFavoritesBrowser(CFavoritesNode* root);

  // The extensions files must have to be listed (empty: every file).
  void SetExtensions(std::vector<MyString> extensions) { m_extensions = std::move(extensions); }

  CFavoritesNode* GetNode() const { return m_pNode; }
  // The folder or portfolio file on disk shown; empty in a favorites folder.
  const MyString& GetDiskPlace() const { return m_strPlace; }
  MyString GetPlaceName() const;

  std::vector<CBrowseEntry> GetEntries() const;
  std::vector<CLookInEntry> GetLookInEntries() const;

  // Goes into a favorites folder, directory or portfolio. 0 for a file.
  int Open(const CBrowseEntry& entry);
  int GoTo(const CLookInEntry& entry);
  // One level up; 0 at the root.
  int Up();
  // What a typed file name names here: an entry of that name, or a path
  // (relative to the folder shown). kFile with an empty path when nothing.
  CBrowseEntry Resolve(const MyString& text) const;

 private:
  bool IsInPortfolio() const;
  bool Accepts(const MyString& path) const;
  void PlaceAt(CFavoritesNode* node);

  CFavoritesNode* m_pRoot;
  CFavoritesNode* m_pNode;
  MyString m_strPlace;
  bool m_bPortfolioPlace = false;
  std::vector<MyString> m_extensions;
};
