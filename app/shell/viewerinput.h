#pragma once
// Keys, mouse buttons and wheel turns over the viewer, run through the
// input binding: an event filter on the viewer widget that turns each event
// into its action and runs it (a command, a viewer operation, leaving full
// screen). Events the binding leaves unmapped go on to the viewer. GUI
// thread only.

#include <QObject>
#include <QPointer>
#include <functional>

#include "shell/inputbinding.h"

class QKeyEvent;
class QWidget;

class CViewerInput : public QObject {
  Q_OBJECT
 public:
  // sendCommand: routes a command id; isChecked: a command's check state
  // (Full Screen says whether the viewer is in full screen).
  CViewerInput(CInputBinding& binding, std::function<int(int)> sendCommand,
               std::function<bool(int)> isChecked, QObject* parent = nullptr);

  // Watches the viewer's keys, buttons and wheel. operations: what runs
  // the viewer operations (may be null: scrolling then uses the viewer's
  // scroll bars).
  void Watch(QWidget* viewer, CViewerOperations* operations);
  // Called before a mapped key runs an action other than Autoplay.
  void SetAutoplayStopper(std::function<void()> stop) { m_stopAutoplay = std::move(stop); }

  // Runs an action at a point of the viewer. 1 when something ran.
  int RunAction(const tagINPUTACTION& action, const POINT& pt);
  // A key pressed over the viewer or the main window; true when it was mapped
  // (it then ran, and the event is taken).
  bool HandleKeyPress(QKeyEvent* event);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int ScrollWithBars(VIEWEROPERATION operation);
  POINT CursorPoint() const;

  CInputBinding& m_binding;
  std::function<int(int)> m_sendCommand;
  std::function<bool(int)> m_isChecked;
  std::function<void()> m_stopAutoplay;
  QPointer<QWidget> m_viewer;
  CViewerOperations* m_pOperations = nullptr;
};
