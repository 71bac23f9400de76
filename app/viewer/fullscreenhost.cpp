#include "viewer/fullscreenhost.h"

#include <QBoxLayout>
#include <QScreen>
#include <QStackedWidget>
#include <QWidget>

void CFullScreenHost::Enter(QWidget* widget, QWidget* frame, QScreen* screen) {
  if (m_bActive || !widget) return;
  m_widget = widget;
  m_frame = frame == widget ? nullptr : frame;
  m_parent = widget->parentWidget();
  m_rcGeometry = widget->geometry();
  m_nIndex = -1;
  m_bMoved = m_parent != nullptr;
  if (m_bMoved) {
    if (auto* stack = qobject_cast<QStackedWidget*>(m_parent.data()))
      m_nIndex = stack->indexOf(widget);
    else if (auto* box = qobject_cast<QBoxLayout*>(m_parent->layout()))
      m_nIndex = box->indexOf(widget);
    widget->setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
    // The old parent going away takes the widget with it, as before.
    QObject::connect(m_parent.data(), &QObject::destroyed, widget, [widget] { delete widget; });
  }
  if (screen) widget->setGeometry(screen->geometry());
  m_bActive = true;
  if (m_frame) m_frame->hide();
  widget->showFullScreen();
  widget->raise();
  widget->activateWindow();
}

void CFullScreenHost::Leave(bool bMaximizeFrame) {
  if (!m_bActive) return;
  m_bActive = false;
  QWidget* widget = m_widget;
  if (widget && m_bMoved && m_parent) {
    QObject::disconnect(m_parent.data(), &QObject::destroyed, widget, nullptr);
    widget->hide();
    widget->setWindowState(Qt::WindowNoState);
    if (auto* stack = qobject_cast<QStackedWidget*>(m_parent.data())) {
      stack->insertWidget(m_nIndex < 0 ? stack->count() : m_nIndex, widget);
      stack->setCurrentWidget(widget);
    } else if (auto* box = qobject_cast<QBoxLayout*>(m_parent->layout())) {
      box->insertWidget(m_nIndex, widget);
    } else {
      widget->setParent(m_parent);
      widget->setGeometry(m_rcGeometry);
    }
    widget->setWindowFlags(Qt::Widget);
    widget->show();
  } else if (widget) {
    widget->showNormal();
  }
  if (m_frame) {
    if (bMaximizeFrame)
      m_frame->showMaximized();
    else
      m_frame->show();
    if (widget && m_parent && m_parent->layout()) m_parent->layout()->activate();
    m_frame->activateWindow();
  }
  m_frame = nullptr;
}
