#pragma once
// The "Directories" tool view: the folder tree of home, the Desktop, "/"
// and the removable volumes. Its first fill is read on a worker. Expanded
// folders are watched by the folder watcher (slot 2), which it starts when
// made and stops when destroyed; a change below a watched folder makes its
// node read its subfolders again. A folder the user selects is opened in
// the viewer; one the program selects (SelectFolder) opens nothing.

#include <QPointer>
#include <QTreeWidget>
#include <functional>
#include <thread>
#include <vector>

#include "browse/directorytree.h"

class CFolderWatcher;
class CMainFrame;
class CVolumeWatcher;

class CDirectoriesView : public QTreeWidget {
  Q_OBJECT
 public:
  static constexpr int kPathRole = Qt::UserRole;

  // frame: where selected folders open (null: nothing opens). volumes: the
  // removable volumes shown as roots (may be null). watcher: the program's
  // watcher when null.
  CDirectoriesView(CMainFrame* frame, CVolumeWatcher* volumes, QWidget* parent = nullptr,
                   CFolderWatcher* watcher = nullptr);
  ~CDirectoriesView() override;

  // Shows the folder's node (expanding its parents) as the current one,
  // without opening it. 0 when no root holds it or it is not there.
  int SelectFolder(const MyString& folder);
  // The folder's node among those read, or null.
  QTreeWidgetItem* FindItem(const MyString& folder) const;
  // Reads the folder's subfolders again, keeping the nodes that remain.
  void RefreshFolder(const MyString& folder);
  bool IsFilled() const { return m_bFilled; }
  static MyString ItemPath(const QTreeWidgetItem* item);

  // The context menu's entries.
  void ToggleExpanded(QTreeWidgetItem* item);
  int RenameItem(QTreeWidgetItem* item, const MyString& newName, MyString* error);
  void OpenInFileManager(QTreeWidgetItem* item);

  // Files dropped on a node move into its folder (Ctrl: are copied) as by
  // the list views' "Move selected to..." / "Copy selected to...": the
  // report goes to showMessage and the viewer's list is read again when it
  // lost or may have gained files. 1 when every file went.
  int DropFiles(const std::vector<MyString>& files, const MyString& folder, bool bCopy);
  // Where the report goes (text, caption); a message box by default.
  std::function<void(const MyString& text, const MyString& caption)> showMessage;

 signals:
  void Filled();
  // A folder chosen by the user (also opened in the frame when there is one).
  void FolderChosen(const QString& folder);

 protected:
  bool viewportEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void OnFirstFill(const std::vector<tagDIRNODE>& roots,
                   const std::vector<std::vector<tagDIRNODE>>& children);
  QTreeWidgetItem* MakeItem(const tagDIRNODE& node);
  void FillChildren(QTreeWidgetItem* item, const std::vector<tagDIRNODE>& nodes);
  void OnExpanded(QTreeWidgetItem* item);
  void OnCollapsed(QTreeWidgetItem* item);
  void OnCurrentChanged(QTreeWidgetItem* current);
  void AddVolume(const QString& mountPoint);
  void RemoveVolume(const QString& mountPoint);
  void AskRename(QTreeWidgetItem* item);

  CMainFrame* m_frame;
  CFolderWatcher& m_watcher;
  std::thread m_fill;
  bool m_bFilled = false;
  bool m_bProgramSelects = false;  // SelectFolder at work: nothing opens
  bool m_bCollapsing = false;
  MyString m_strPendingSelect;  // asked before the first fill came
};
