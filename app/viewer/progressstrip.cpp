#include "viewer/progressstrip.h"

#include <QCoreApplication>
#include <QEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include "corekit/queuedcall.h"

CProgressStrip::CProgressStrip(QWidget* parent)
    : QWidget(parent),
      m_pBar(new QProgressBar(this)),
      m_pCancel(new QPushButton(tr("Cancel"), this)) {
  // No layout: the main window places the bar and the button in its menu bar.
  m_pBar->setFixedSize(100, 20);
  m_pBar->setRange(0, 100);
  m_pBar->setTextVisible(false);
  m_pCancel->setFixedHeight(20);
  m_pCancel->setFocusPolicy(Qt::NoFocus);
  connect(m_pCancel, &QPushButton::clicked, this, &CProgressStrip::OnCancel);
  hide();
}

template <typename F>
void CProgressStrip::OnGuiThread(F f) {
  if (QThread::currentThread() == thread())
    f();
  else
    QueueCall(this, f);
}

void CProgressStrip::ShowProgress() {
  OnGuiThread([this] {
    m_pBar->setValue(0);
    show();
  });
}

void CProgressStrip::SetProgress(int percent) {
  OnGuiThread([this, percent] { m_pBar->setValue(percent); });
}

void CProgressStrip::HideProgress() {
  OnGuiThread([this] { hide(); });
}

void CProgressStrip::PumpMessages() {
  if (QThread::currentThread() != thread()) return;
  qApp->installEventFilter(this);
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  qApp->removeEventFilter(this);
}

bool CProgressStrip::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Shortcut:
      // No accelerator runs inside a decode.
      return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Drop:
      // The native window passes input on to a widget, which is filtered then.
      if (!watched->isWidgetType()) return false;
      return watched != m_pCancel;
    case QEvent::Close:
      // Closing a window now would pull it from under the decode: the
      // decode is cancelled instead, and the next close goes through.
      if (!watched->isWidgetType() || !static_cast<QWidget*>(watched)->isWindow()) return false;
      if (m_pMonitor) m_pMonitor->Cancel();
      event->ignore();
      return true;
    default:
      return false;
  }
}

void CProgressStrip::OnCancel() {
  if (m_pMonitor) m_pMonitor->Cancel();
  if (QWidget* main = window()) {
    main->activateWindow();
    main->setFocus();
  }
}
