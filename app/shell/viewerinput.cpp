#include "shell/viewerinput.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

#include "shell/commandids.h"

namespace {

bool ButtonOf(Qt::MouseButton qtButton, MOUSEBUTTON* button) {
  switch (qtButton) {
    case Qt::LeftButton:
      *button = MB_LEFT;
      return true;
    case Qt::RightButton:
      *button = MB_RIGHT;
      return true;
    case Qt::MiddleButton:
      *button = MB_CENTER;
      return true;
    default:
      return false;
  }
}

POINT ToPoint(const QPointF& pt) { return POINT{int32_t(pt.x()), int32_t(pt.y())}; }

}  // namespace

CViewerInput::CViewerInput(CInputBinding& binding, std::function<int(int)> sendCommand,
                           std::function<bool(int)> isChecked, QObject* parent)
    : QObject(parent),
      m_binding(binding),
      m_sendCommand(std::move(sendCommand)),
      m_isChecked(std::move(isChecked)) {}

void CViewerInput::Watch(QWidget* viewer, CViewerOperations* operations) {
  if (m_viewer) m_viewer->removeEventFilter(this);
  m_viewer = viewer;
  m_pOperations = operations;
  if (m_viewer) m_viewer->installEventFilter(this);
}

POINT CViewerInput::CursorPoint() const {
  if (!m_viewer) return POINT{};
  return ToPoint(m_viewer->mapFromGlobal(QCursor::pos()));
}

int CViewerInput::ScrollWithBars(VIEWEROPERATION operation) {
  if (!m_viewer) return 0;
  const bool vertical = operation == VOP_SCROLL_UP || operation == VOP_SCROLL_DOWN;
  const bool forward = operation == VOP_SCROLL_DOWN || operation == VOP_SCROLL_RIGHT;
  for (QScrollBar* bar : m_viewer->findChildren<QScrollBar*>()) {
    if ((bar->orientation() == Qt::Vertical) != vertical) continue;
    bar->triggerAction(forward ? QAbstractSlider::SliderSingleStepAdd
                               : QAbstractSlider::SliderSingleStepSub);
    return 1;
  }
  return 0;
}

int CViewerInput::RunAction(const tagINPUTACTION& action, const POINT& pt) {
  switch (action.nKind) {
    case IA_COMMAND:
      return m_sendCommand ? m_sendCommand(action.nValue) : 0;
    case IA_LEAVE_FULL_SCREEN:
      if (m_isChecked && m_isChecked(IDM_FULL_SCREEN) && m_sendCommand)
        return m_sendCommand(IDM_FULL_SCREEN);
      return 0;
    case IA_OPERATION: {
      const auto operation = VIEWEROPERATION(action.nValue);
      if (m_pOperations && m_pOperations->RunViewerOperation(operation, pt)) return 1;
      switch (operation) {
        case VOP_SCROLL_UP:
        case VOP_SCROLL_DOWN:
        case VOP_SCROLL_LEFT:
        case VOP_SCROLL_RIGHT:
          return ScrollWithBars(operation);
        default:
          return 0;
      }
    }
    case IA_NONE:
    default:
      return 0;
  }
}

bool CViewerInput::HandleKeyPress(QKeyEvent* event) {
  const int inputEvent = CInputBinding::EventForKey(event->key(), event->modifiers());
  if (inputEvent < 0) return false;
  const tagINPUTACTION action = m_binding.GetPressAction(inputEvent);
  if (action.nKind == IA_NONE) return false;
  // Any key but the slideshow's own stops the slideshow.
  if (m_stopAutoplay && !(action.nKind == IA_COMMAND && action.nValue == IDM_AUTOPLAY))
    m_stopAutoplay();
  RunAction(action, CursorPoint());
  event->accept();
  return true;
}

bool CViewerInput::eventFilter(QObject* watched, QEvent* event) {
  if (watched != m_viewer) return false;
  switch (event->type()) {
    case QEvent::KeyPress:
      return HandleKeyPress(static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      MOUSEBUTTON button;
      if (!ButtonOf(mouse->button(), &button)) return false;
      const tagINPUTACTION action = m_binding.OnButtonDown(button);
      if (action.nKind == IA_NONE) return false;
      RunAction(action, ToPoint(mouse->position()));
      return true;
    }
    case QEvent::MouseButtonRelease: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      MOUSEBUTTON button;
      if (!ButtonOf(mouse->button(), &button)) return false;
      const tagINPUTACTION action = m_binding.OnButtonUp(button);
      if (action.nKind == IA_NONE) return false;
      RunAction(action, ToPoint(mouse->position()));
      return true;
    }
    case QEvent::Wheel: {
      auto* wheel = static_cast<QWheelEvent*>(event);
      const int delta = wheel->angleDelta().y();
      if (delta == 0) return false;
      tagINPUTACTION action;
      const int steps = m_binding.OnWheel(delta, &action);
      const POINT pt = ToPoint(wheel->position());
      for (int i = 0; i < steps; ++i) RunAction(action, pt);
      return true;
    }
    default:
      return false;
  }
}
