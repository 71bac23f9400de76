#pragma once
// CFavoritesPane: the " Favorites" tool view. It owns the program's one
// favorites tree, shows it in a tree control (the TVT functions) or, when
// nothing is left to show, the empty-list panel, and turns clicks into
// what the viewer opens through CFavoritesBrowsing.
//
// A loader thread reads the favorites file under the pane lock; the items
// are made on the GUI thread once it is done. The background only tries
// the lock, so painting never waits for the file.

#include <QWidget>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "collections/favoritesbrowsing.h"
#include "corekit/mystring.h"
#include "nestbook/favoritesnode.h"

class CThreadUpdate;
class QLabel;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

// The result of a drag-move (MoveNode).
enum class EFavoritesMove {
  kMoved,
  kIgnored,         // not onto a favorites folder, or the root dragged
  kIntoOwnSubtree,  // "... is a subfolder of the source folder."
  kOntoItself,      // "... is the same as the source folder."
  kAlreadyThere,    // "... It is already in that folder."
};

class CFavoritesPane : public QWidget {
  Q_OBJECT
 public:
  // file: the favorites file; empty for the program's (under its lock).
  explicit CFavoritesPane(QWidget* parent = nullptr, MyString file = MyString());
  // Waits for the loader and writes the favorites.
  ~CFavoritesPane() override;

  // What the pane asks of the program. Opening returns 0 when the favorite
  // cannot be opened (the "Load error" question follows).
  std::function<int(const MyString& folder)> openFolder;
  std::function<int(const MyString& portfolio)> openPortfolio;
  // Combined browsing: the favorite's pictures added to the viewer's list.
  std::function<void(const MyString& path, bool bPortfolio)> appendToViewer;
  // The viewer's list is rebuilt from the browsing list (after a removal).
  std::function<void()> refreshViewer;
  // A folder changed on disk: the favorites the viewer walks together list
  // it again, keeping the shown image.
  std::function<void(const MyString& folder)> relistViewer;
  std::function<bool()> combinedBrowsing;
  // "Show pop-up description for directories and portfolio files".
  std::function<bool()> showPopup;
  // "Automatically update Favorite Directories from hard drive".
  std::function<bool()> autoUpdate;
  // After loading: the viewer's folder (or portfolio), revealed when the
  // start-up screen is not showing; empty otherwise.
  std::function<MyString()> viewerFolder;
  std::function<int()> imageIndex;  // the "-4" record
  // Dialogs (message boxes by default; tests answer them).
  std::function<void(const MyString& text, const MyString& caption)> showError;
  std::function<bool(const MyString& text, const MyString& caption)> askYesNo;
  // The commands the empty-list panel's links run.
  std::function<void(int id)> runCommand;

  // Whether the loader is done (and the items made). WaitLoaded processes
  // events until then.
  bool IsLoaded() const { return m_bLoaded; }
  bool WaitLoaded(int timeoutMs = 10000);

  QTreeWidget* Tree() const { return m_pTree; }
  // The watcher of the favorite directories; null while updating is off.
  const CThreadUpdate* Updates() const { return m_pUpdates.get(); }
  CFavoritesNode* Root() const { return m_pRoot.get(); }
  CFavoritesBrowsing& Browsing() { return m_browsing; }
  bool IsEmptyPanelShown() const;
  QTreeWidgetItem* ItemOf(const CFavoritesNode* node) const;

  // Clicks as the mouse gives them (modifiers: Ctrl, Shift or none).
  void ClickItem(QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers);
  // The drag-move rules; a refusal is told with "Error Moving...".
  EFavoritesMove MoveNode(CFavoritesNode* dragged, CFavoritesNode* target);
  // Remove (352) for the item; 1 when it went.
  int RemoveItem(QTreeWidgetItem* item);
  // The same for a node that may have no item (the Favorites Manager).
  int RemoveFavorite(CFavoritesNode* node);
  // The manager's arrows: one place up or down in the user's order. 1 when
  // moved.
  int MoveFavorite(CFavoritesNode* node, bool bUp);
  // "Restore" (node) and "Restore All" (null): names back to the folder or
  // file names; favorites folders keep theirs.
  void RestoreNames(CFavoritesNode* node);
  // Select all subfolders (3145); ctrl keeps the other selections.
  int SelectAllSubfolders(QTreeWidgetItem* item, bool ctrl);
  // Rename's result: refused names keep the old label.
  int RenameItem(QTreeWidgetItem* item, const MyString& name);
  // The favorite of the viewer's folder (or portfolio) shown and marked as
  // the selected entry; only tries the pane lock.
  int RevealPath(const MyString& path, bool bPortfolio);
  // Next / Previous past the end of the current favorite: the next entry of
  // the browsing list opened, wrapping. false with fewer than two entries.
  bool HandOver(bool bForward);
  // A watched favorite directory changed on disk: its nodes follow.
  void OnFolderChanged(const MyString& path);
  // Rebuilds the items from the tree (after the manager changed it).
  void RefreshTree();
  // The items of parent's children follow its nodes (when they are shown).
  void RefreshChildren(CFavoritesNode* parent);

  // The pane's commands (350 ... 3145) on the tree's current item: 1 when
  // carried out. Enabling as the context menu has it.
  int RunCommand(int id);
  bool IsCommandEnabled(int id) const;
  CFavoritesNode* CurrentNode() const;
  // Add Directory / Add Portfolio: each path becomes a child of folder
  // (null: the root); the folder is revealed. Returns how many were added.
  int AddFavorites(const std::vector<MyString>& paths, int32_t type, CFavoritesNode* folder);
  // An entry of the Favorites menu: its chain revealed and clicked.
  void ChooseNode(CFavoritesNode* node);
  // Told after favorites were added, moved, renamed or removed.
  std::function<void()> favoritesChanged;
  std::function<void(const MyString& portfolio)> editPortfolio;

  // Writes the favorites with the browsing index (under the favorites lock,
  // waiting for it). 1 on success.
  int Save();

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Load();
  void OnLoaded();
  void UpdatePanel();
  void FillItem(QTreeWidgetItem* item);
  void OnExpanded(QTreeWidgetItem* item);
  void OnCollapsed(QTreeWidgetItem* item);
  void OpenNode(CFavoritesNode* node, bool bAppend);
  void OfferRemoval(QTreeWidgetItem* item, const MyString& path);
  void ShowContextMenu(const QPoint& pos);
  void UpdateNode(QTreeWidgetItem* item);
  // Item pointers kept across events are dropped once their items went.
  void ForgetGoneItems();
  // Loads and expands the items down to node's; its item, or null.
  QTreeWidgetItem* RevealNode(CFavoritesNode* node);
  std::vector<CFavoritesNode*> VisibleRange(QTreeWidgetItem* from, QTreeWidgetItem* to) const;
  void RemoveSubtreeSelections(CFavoritesNode* node);
  void Refuse(const QString& text);

  void StartUpdates();

  MyString m_file;
  std::unique_ptr<CThreadUpdate> m_pUpdates;
  std::unique_ptr<CFavoritesNode> m_pRoot;
  int m_nStoredIndex = -1;
  std::mutex m_lock;  // the pane lock: held while the tree is loaded
  std::thread m_loader;
  bool m_bLoaded = false;
  CFavoritesBrowsing m_browsing;
  QTreeWidget* m_pTree = nullptr;
  QWidget* m_pEmptyPanel = nullptr;
  QTreeWidgetItem* m_pLastClicked = nullptr;
  bool m_bOffItemPress = false;
  QTreeWidgetItem* m_pDragged = nullptr;
  QTreeWidgetItem* m_pHoverItem = nullptr;
  QTimer* m_pHoverTimer = nullptr;
};
