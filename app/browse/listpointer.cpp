#include "browse/listpointer.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMouseEvent>

#include "browse/listtooltip.h"
#include "browse/listviewactions.h"
#include "pixwork/options.h"
#include "viewer/imageview.h"

CListPointer::CListPointer(QWidget* view, CImageView* viewer, CListViewActions* actions,
                           CListTooltip* tip)
    : QObject(view), m_pView(view), m_viewer(viewer), m_pActions(actions), m_pTip(tip) {
  m_tipTimer.setSingleShot(true);
  connect(&m_tipTimer, &QTimer::timeout, this, &CListPointer::ShowTip);
}

void CListPointer::ShowTip() {
  if (m_nTipIndex < 0 || m_viewer->Stepper().IsLoading()) return;
  m_pTip->ShowItem(m_nTipIndex, m_pActions->PathOf(m_nTipIndex), m_ptTip);
}

void CListPointer::HideTip() {
  m_tipTimer.stop();
  m_pTip->HideTip();
}

void CListPointer::Leave() {
  HideTip();
  m_nTipIndex = -1;
}

void CListPointer::Press(QMouseEvent* event, int index) {
  HideTip();
  m_pView->setFocus();
  m_nPressIndex = -1;
  if (event->button() != Qt::LeftButton) return;
  m_ptPress = event->position().toPoint();
  m_nPressIndex = index;
}

void CListPointer::Move(QMouseEvent* event, int index) {
  const QPoint pt = event->position().toPoint();
  if ((event->buttons() & Qt::LeftButton) && m_nPressIndex >= 0 &&
      (pt - m_ptPress).manhattanLength() >= QApplication::startDragDistance()) {
    const int pressed = m_nPressIndex;
    m_nPressIndex = -1;
    if (QMimeData* data = m_pActions->MakeDragData(pressed)) {
      auto* drag = new QDrag(m_pView);
      drag->setMimeData(data);
      drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
    }
    return;
  }
  if (index == m_nTipIndex) return;
  m_nTipIndex = index;
  m_pTip->HideTip();
  m_ptTip = event->globalPosition().toPoint();
  if (index >= 0 && !m_viewer->Stepper().IsLoading())
    m_tipTimer.start(int(gTO[TO_TOOLTIP_DELAY].dwValue));
  else
    m_tipTimer.stop();
}

void CListPointer::Release(QMouseEvent* event, int index) {
  if (event->button() != Qt::LeftButton || m_nPressIndex < 0) return;
  if (index == m_nPressIndex) m_pActions->Click(index, event->modifiers());
  m_nPressIndex = -1;
}

void CListPointer::DragEnterOrMove(QDragMoveEvent* event) {
  if (event->source() != m_pView && CListViewActions::HasImages(event->mimeData()))
    event->acceptProposedAction();
}

void CListPointer::Drop(QDropEvent* event) {
  if (event->source() == m_pView) return;
  if (m_pActions->DropImages(event->mimeData())) event->acceptProposedAction();
}

void CListPointer::EndRename() {
  if (m_pRename) m_pRename->deleteLater();
}

void CListPointer::StartRename(QWidget* parent, int index, const QRect& rect) {
  EndRename();
  m_pRename = new CRenameEdit(parent);
  m_pRename->setText(m_pActions->PathOf(index).GetStringTitle().ToQString());
  m_pRename->setGeometry(rect.x(), rect.y(), rect.width(),
                         rect.height() > 0 ? rect.height() : m_pRename->sizeHint().height());
  m_pRename->selectAll();
  m_pRename->show();
  m_pRename->setFocus();
  CRenameEdit* edit = m_pRename;
  connect(edit, &CRenameEdit::Commit, this, [this, edit, index](const QString& typed) {
    edit->deleteLater();
    m_pActions->Rename(index, typed);
  });
  connect(edit, &CRenameEdit::Dropped, edit, &QObject::deleteLater);
}
