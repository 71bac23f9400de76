#pragma once
// The favorites dialogs over the pane's tree: "Add Favorites" (paths into a
// chosen favorites folder, with "Create New Folder"), "Favorites Manager"
// (order, names, moves and removals of the whole tree) and "Browse for
// Folders Favorites" (a favorites folder to move to). They change the tree
// through the pane, so that its items, browsing list and menu follow.
// GUI thread only.

#include <functional>
#include <vector>

#include "corekit/mystring.h"
#include "corekit_ui/dialog.h"
#include "nestbook/favoritesnode.h"

class CFavoritesPane;
class QLabel;
class QLineEdit;
class QTreeWidget;

enum : int {
  IDC_FAV_BROWSE = 1501,
  IDC_FAV_NEW_FOLDER = 1502,
  IDC_FAV_ADD_DIRECTORY = 1503,
  IDC_FAV_ADD_PORTFOLIO = 1504,
  IDC_FAV_RESTORE_ALL = 1505,
  IDC_FAV_RESTORE = 1506,
  IDC_FAV_MOVE_TO = 1507,
  IDC_FAV_REMOVE = 1508,
  IDC_FAV_UP = 1509,
  IDC_FAV_DOWN = 1510,
};

// A tree of the favorites folders only (root first), one of them chosen.
class CFavoritesFolderTree {
 public:
  CFavoritesFolderTree(QTreeWidget* tree, CFavoritesNode* root) : m_pTree(tree), m_pRoot(root) {}
  void Fill(CFavoritesNode* select);
  CFavoritesNode* Chosen() const;
  void Choose(CFavoritesNode* folder);

 private:
  QTreeWidget* m_pTree;
  CFavoritesNode* m_pRoot;
};

// "Add Favorites - Directory" / "Add Favorites - Portfolio files".
class CDlgAddFavorites : public CDialog {
  Q_OBJECT
 public:
  CDlgAddFavorites(CFavoritesPane* pane, int32_t type, QWidget* parent = nullptr);

  // What Browse chose (the field lists them quoted).
  void SetPaths(const std::vector<MyString>& paths);
  const std::vector<MyString>& GetPaths() const { return m_paths; }
  QString GetPathText() const;
  CFavoritesNode* ChosenFolder() const { return m_folders.Chosen(); }
  void ChooseFolder(CFavoritesNode* folder) { m_folders.Choose(folder); }
  // "Create New Folder" in the chosen folder; the new one is chosen. Null
  // for an empty name.
  CFavoritesNode* CreateFolder(const MyString& name);

  // The "New" of the portfolio chooser (an empty Portfolio Manager).
  std::function<void()> newPortfolio;

 protected:
  int OnCommand(int id) override;

 private:
  void Browse();

  CFavoritesPane* m_pPane;
  int32_t m_nType;
  std::vector<MyString> m_paths;
  QLineEdit* m_pPath = nullptr;
  QTreeWidget* m_pFolderTree = nullptr;
  CFavoritesFolderTree m_folders;
};

// "Browse for Folders Favorites": a favorites folder to move an item to.
class CDlgChooseFavoritesFolder : public CDialog {
  Q_OBJECT
 public:
  CDlgChooseFavoritesFolder(CFavoritesNode* root, CFavoritesNode* start, QWidget* parent = nullptr);
  CFavoritesNode* Chosen() const { return m_folders.Chosen(); }

 private:
  QTreeWidget* m_pFolderTree = nullptr;
  CFavoritesFolderTree m_folders;
};

// "Favorites Manager".
class CDlgFavoritesManager : public CDialog {
  Q_OBJECT
 public:
  explicit CDlgFavoritesManager(CFavoritesPane* pane, QWidget* parent = nullptr);

  QTreeWidget* Tree() const { return m_pTree; }
  CFavoritesNode* Selected() const;
  void Select(CFavoritesNode* node);
  // "Move to...": the folder is asked for unless given. 1 when moved.
  int MoveTo(CFavoritesNode* target = nullptr);
  // The Add buttons' dialog (modal by default; tests answer it).
  std::function<void(int32_t type)> addFavorites;
  std::function<void()> newPortfolio;

 protected:
  int OnCommand(int id) override;

 private:
  void Fill();

  CFavoritesPane* m_pPane;
  QTreeWidget* m_pTree = nullptr;
};
