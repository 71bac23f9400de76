#pragma once
// CFullScreenHost: takes a widget out of its place in the main window and
// shows it alone as a borderless window over a whole screen (above the
// panels: the window manager's full-screen state), with the main window
// hidden; and puts it back where it was. A QStackedWidget or box layout
// parent gets the widget back at its old position.

#include <QPointer>
#include <QRect>

class QScreen;
class QWidget;

class CFullScreenHost {
 public:
  CFullScreenHost() = default;
  CFullScreenHost(const CFullScreenHost&) = delete;
  CFullScreenHost& operator=(const CFullScreenHost&) = delete;

  // Nothing when already active. frame is the main window to hide (null or
  // the widget itself: nothing is hidden or moved, the widget only goes full screen).
  void Enter(QWidget* widget, QWidget* frame, QScreen* screen);
  // bMaximizeFrame: the main window comes back maximized.
  void Leave(bool bMaximizeFrame = false);
  bool IsActive() const { return m_bActive; }
  // The main window hidden while active.
  QWidget* Frame() const { return m_frame; }

 private:
  QPointer<QWidget> m_widget;
  QPointer<QWidget> m_parent;
  QPointer<QWidget> m_frame;
  int m_nIndex = -1;  // place in the parent's stack or box layout
  QRect m_rcGeometry;
  bool m_bActive = false;
  bool m_bMoved = false;  // taken out of its parent
};
