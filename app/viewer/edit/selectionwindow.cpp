#include "viewer/edit/selectionwindow.h"

#include <QPainter>
#include <algorithm>

CSelectionWindow::CSelectionWindow(QWidget* viewer, const QRect& rect, double factor)
    : QWidget(viewer), m_fFactor(factor) {
  setObjectName(QStringLiteral("LorimoSelectRegion"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setGeometry(rect);
}

tagSELECTIONWINDOW CSelectionWindow::Describe(const QPoint& imageOrigin) const {
  tagSELECTIONWINDOW selection;
  selection.ptTopLeft = POINT{x() - imageOrigin.x(), y() - imageOrigin.y()};
  selection.szFrame = SIZE{kFrame, kFrame};
  selection.szClient = SIZE{std::max(0, width() - 2 * kFrame), std::max(0, height() - 2 * kFrame)};
  selection.fFactor = m_fFactor;
  return selection;
}

void CSelectionWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // Black dashes over white: visible on any image.
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  painter.setPen(QPen(Qt::white, kFrame));
  painter.drawRect(frame);
  painter.setPen(QPen(Qt::black, kFrame, Qt::DashLine));
  painter.drawRect(frame);
}
