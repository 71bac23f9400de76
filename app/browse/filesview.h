#pragma once
// The "Files" tool view: the viewer's list as names with file-type icons, a
// virtual list read under the list lock (nothing is copied, so 100,000
// names cost nothing until shown), the name column's width kept in
// "Files", and the shared item actions. GUI thread.

#include <QAbstractListModel>
#include <QHash>
#include <QIcon>
#include <QPointer>
#include <QTimer>
#include <QTreeView>

#include "browse/listpointer.h"
#include "browse/listviewactions.h"
#include "browse/listviewstate.h"
#include "corekit/mystring.h"

class CImageView;
class CLorimoSettings;
class CListTooltip;

// The list as rows; the state says which are current and selected.
class CFilesModel : public QAbstractListModel {
  Q_OBJECT
 public:
  CFilesModel(CImageView* viewer, const CListViewState& state, QObject* parent = nullptr);

  // The list was replaced: the rows follow it.
  void ResetRows();
  // The rows' looks changed (current, selection).
  void Restyle();
  // The icon of an extension, made once (null for none).
  QIcon IconFor(const MyString& path);
  int IconsMade() const { return int(m_icons.size()); }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  CImageView* m_viewer;
  const CListViewState& m_state;
  int m_nRows = 0;
  mutable QHash<QString, QIcon> m_icons;
};

class CFilesView : public QTreeView {
  Q_OBJECT
 public:
  CFilesView(CImageView* viewer, CLorimoSettings* settings, QWidget* parent = nullptr);
  ~CFilesView() override;

  void ShowList();
  void SetCurrentItem(int index);
  // Stores the name column's width (the view closes).
  void StoreColumnWidth();
  void DropWorkers();

  CListViewState& State() { return m_state; }
  CListViewActions& Actions() { return *m_pActions; }
  CFilesModel& Model() { return *m_pModel; }
  CListTooltip& Tooltip() { return *m_pTip; }
  CRenameEdit* RenameEditor() const { return m_pPointer->RenameEditor(); }
  void StartRename(int index);
  // The tooltip of an item now, at a global point.
  void ShowTip(int index, const QPoint& global);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  int RowAt(const QPoint& pt) const;

  CImageView* m_viewer;
  CLorimoSettings* m_pSettings;
  CListViewState m_state;
  CListViewActions* m_pActions;
  CFilesModel* m_pModel;
  CListTooltip* m_pTip;
  CListPointer* m_pPointer;
};
