#pragma once
// CListPointer: what the pointer and drops do over the items of a list view,
// the same for the thumbnails and the files view: a press remembers the
// item, a move past the drag distance drags it out as a file list, a release
// on the pressed item clicks it, resting on an item shows its tooltip after
// the delay (never while the viewer loads: reading the file would compete),
// images dropped from elsewhere open, and a rename edits in place. The view
// says which item lies under a point. GUI thread.

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QTimer>

class CImageView;
class CListTooltip;
class CListViewActions;
class CRenameEdit;
class QDragMoveEvent;
class QDropEvent;
class QMouseEvent;
class QWidget;

class CListPointer : public QObject {
  Q_OBJECT
 public:
  // view: where drags start and drops land; tip: the view's tooltip.
  CListPointer(QWidget* view, CImageView* viewer, CListViewActions* actions, CListTooltip* tip);

  // index: the item under the event's point (-1 for none).
  void Press(QMouseEvent* event, int index);
  void Move(QMouseEvent* event, int index);
  void Release(QMouseEvent* event, int index);
  // The pointer left, a menu opens, the list changed: no tip.
  void HideTip();
  void Leave();

  void DragEnterOrMove(QDragMoveEvent* event);
  void Drop(QDropEvent* event);

  // Edits the item's name over rect of parent (height 0: the editor's own);
  // Enter renames, Escape leaves.
  void StartRename(QWidget* parent, int index, const QRect& rect);
  CRenameEdit* RenameEditor() const { return m_pRename; }
  void EndRename();

 private:
  void ShowTip();

  QWidget* m_pView;
  CImageView* m_viewer;
  CListViewActions* m_pActions;
  CListTooltip* m_pTip;
  QTimer m_tipTimer;
  int m_nTipIndex = -1;
  QPoint m_ptTip;
  QPoint m_ptPress;
  int m_nPressIndex = -1;
  QPointer<CRenameEdit> m_pRename;
};
