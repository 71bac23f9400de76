#include "viewer/framewindow.h"

#include <QMainWindow>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {

RECT ToRect(const QRect& rc) {
  return RECT{rc.left(), rc.top(), rc.left() + rc.width(), rc.top() + rc.height()};
}

}  // namespace

tagWINDOWMETRICS MeasureFrameWindow(const QWidget* frame, const QWidget* viewer, SIZE scrollBars) {
  tagWINDOWMETRICS metrics{};
  const QScreen* screen = frame ? frame->screen() : nullptr;
  if (!screen) return metrics;
  const QRect outer = frame->frameGeometry();
  const QRect inner = frame->geometry();
  int menu = 0;
  if (auto* main = qobject_cast<const QMainWindow*>(frame); main && main->menuWidget())
    menu = main->menuWidget()->isVisible() ? main->menuWidget()->height() : 0;
  metrics.rcWorkArea = ToRect(screen->availableGeometry());
  metrics.rcWindow = ToRect(outer);
  metrics.szFrame = SIZE{outer.width() - inner.width(), outer.height() - inner.height() + menu};
  if (viewer && viewer != frame)
    metrics.szPanes = SIZE{std::max(0, inner.width() - viewer->width()),
                           std::max(0, inner.height() - menu - viewer->height())};
  metrics.szScrollBars = scrollBars;
  return metrics;
}

void PlaceFrameWindow(QWidget* frame, const tagFRAMEREQUEST& request) {
  if (!frame || !request.bPlace) return;
  if (frame->isMaximized() || frame->isFullScreen()) frame->showNormal();
  // Qt places the client area; the request is the outer rectangle.
  const QRect outer = frame->frameGeometry();
  const QRect inner = frame->geometry();
  const RECT& rc = request.rcWindow;
  frame->setGeometry(rc.left + inner.left() - outer.left(), rc.top + inner.top() - outer.top(),
                     std::max(1, rc.right - rc.left - (outer.width() - inner.width())),
                     std::max(1, rc.bottom - rc.top - (outer.height() - inner.height())));
}

void SetFrameOnTop(QWidget* frame, bool bOnTop) {
  if (!frame) return;
  const bool bVisible = frame->isVisible();
  frame->setWindowFlag(Qt::WindowStaysOnTopHint, bOnTop);
  // Changing the flags hides a window.
  if (bVisible) frame->show();
}
