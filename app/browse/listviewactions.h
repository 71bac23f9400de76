#pragma once
// What the thumbnails and files views do with their items, shared by both:
// the click rules, the context menu ("Rename", "Move selected to...",
// "Copy selected to...", "Delete selected", "Find thumb..."), the rename
// of an item, the modeless "Find thumb ..." dialog, and dragging files out
// and images in. The rules are in CListViewState and CFileOperations; this
// wires them to the viewer. GUI thread.

#include <QDialog>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

#include "browse/listviewstate.h"
#include "corekit/mystring.h"

class CImageView;
class QCheckBox;
class QMimeData;
class QPushButton;

// The context menu's command ids.
enum : int {
  IDM_LIST_RENAME = 256,
  IDM_LIST_MOVE_SELECTED = 257,
  IDM_LIST_COPY_SELECTED = 258,
  IDM_LIST_DELETE_SELECTED = 259,
  IDM_LIST_FIND_THUMB = 260,
};

// While the e-mail tool is up, a click gives it the file instead: true
// when it took it. Unset: there is no e-mail tool.
extern std::function<bool(const MyString& path)> gListAddAttachement;

// The in-place name edit: only Enter commits; Escape and leaving it drop it.
class CRenameEdit : public QLineEdit {
  Q_OBJECT
 public:
  using QLineEdit::QLineEdit;

 signals:
  void Commit(const QString& text);
  void Dropped();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  bool m_bEnded = false;
};

class CFindThumbDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CFindThumbDialog(QWidget* parent = nullptr);
  QLineEdit* FindWhat() const { return m_pText; }
  QCheckBox* MatchCase() const { return m_pCase; }
  QCheckBox* SearchUp() const { return m_pUp; }
  QPushButton* FindNext() const { return m_pNext; }

 signals:
  void FindNextClicked(const QString& text, bool bMatchCase, bool bUp);

 private:
  QLineEdit* m_pText;
  QCheckBox* m_pCase;
  QCheckBox* m_pUp;
  QPushButton* m_pNext;
};

// What a list view shows of the viewer's list: the folder (or portfolio),
// how many entries, and the current one (-1 for none). Read under the
// list lock.
struct tagVIEWERLIST {
  MyString path;
  int nCount = 0;
  int nCurrent = -1;
};
tagVIEWERLIST ReadViewerList(CImageView* viewer);

// Renames a file of the viewer's list as typed, by the rename rules, on
// disk and in the list. 1 when renamed; 0 when refused, unchanged or failed
// (the reason said through message, under caption).
int RenameListedFile(CImageView* viewer, const MyString& path, const MyString& typed,
                     const MyString& caption,
                     const std::function<void(const MyString&, const MyString&)>& message);

class CListViewActions : public QObject {
  Q_OBJECT
 public:
  // view: the list view (parent of the menu and dialogs); state: its items.
  CListViewActions(CImageView* viewer, CListViewState& state, QWidget* view);

  CImageView* Viewer() const { return m_viewer; }
  // The listed path of an item (empty for none), read under the list lock.
  MyString PathOf(int index) const;
  // The selection set's paths, or the item's when there is none.
  std::vector<MyString> SelectedPaths(int index) const;

  // A click with its keys: the item becomes current unless the loader is
  // busy (1 when it was asked to show).
  int Click(int index, Qt::KeyboardModifiers modifiers);
  // The context menu at a global point for the item under it (-1: none).
  void ShowMenu(int index, const QPoint& global);
  // Runs a menu command for the item.
  int RunCommand(int id, int index);
  bool IsCommandEnabled(int id) const;

  // Renames an item to a typed name. 1 renamed; 0 refused or failed (the
  // user was told why; the item is unchanged).
  int Rename(int index, const QString& typed);
  // Moves, copies or trashes the selected files (the folder asked for by
  // chooseFolder); the outcome is told, the list read again if any left it.
  int MoveOrCopySelected(bool bCopy);
  int DeleteSelected();
  // Opens (or raises) "Find thumb ...".
  CFindThumbDialog* OpenFindDialog();
  // "Find Next": 1 when an item matched and is shown.
  int FindNext(const MyString& text, bool bMatchCase, bool bUp);

  // Drag and drop.
  QMimeData* MakeDragData(int index) const;
  static bool HasImages(const QMimeData* data);
  // The first image among dropped files opens; 1 when one did.
  int DropImages(const QMimeData* data);

  // Asked for a destination (empty: cancelled); message boxes by default.
  std::function<MyString(const MyString& title)> chooseFolder;
  std::function<void(const MyString& text, const MyString& caption)> showMessage;
  // Asked before the Trash; true goes on.
  std::function<bool(const MyString& text, const MyString& caption)> askYesNo;
  // Opens a dropped image (the main window's open); the viewer by default.
  std::function<int(const MyString& path)> openImage;
  // Starts the view's name edit over the item.
  std::function<void(int index)> startRename;
  // The view redraws (the selection changed).
  std::function<void()> refresh;

 private:
  void AfterOperation(bool bListChanged);

  CImageView* m_viewer;
  CListViewState& m_state;
  QWidget* m_view;
  QPointer<CFindThumbDialog> m_find;
};
