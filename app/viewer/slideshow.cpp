#include "viewer/slideshow.h"

#include <QApplication>
#include <QKeyEvent>

#include "viewer/autoplaypanel.h"

CSlideshow::CSlideshow(QWidget* panelParent) : m_pPanel(new CAutoplayPanel(panelParent)) {
  m_timer.setSingleShot(true);
  connect(&m_timer, &QTimer::timeout, this, &CSlideshow::OnTimer);
  connect(m_pPanel, &CAutoplayPanel::Backward, this, [this] {
    m_autoplay.SetDirection(AD_BACKWARD);
    UpdatePanel();
  });
  connect(m_pPanel, &CAutoplayPanel::Forward, this, [this] {
    m_autoplay.SetDirection(AD_FORWARD);
    UpdatePanel();
  });
  connect(m_pPanel, &CAutoplayPanel::PlayPause, this, &CSlideshow::TogglePause);
}

CSlideshow::~CSlideshow() {
  if (m_bRunning) qApp->removeEventFilter(this);
}

void CSlideshow::Toggle(bool bHasImage, int nImageCount) {
  const bool bWasRunning = m_autoplay.IsRunning();
  const bool bRunning = m_autoplay.Toggle(bHasImage, nImageCount) == 1;
  if (bRunning && !bWasRunning) {
    m_bPaused = false;
    m_bStepPending = false;
    SetRunning(true);
    Arm(slideDelay ? slideDelay() : 1);
  } else if (!bRunning && bWasRunning) {
    Stop();
  }
}

void CSlideshow::Stop() {
  m_autoplay.Stop();
  m_timer.stop();
  m_bStepPending = false;
  m_bPaused = false;
  if (m_bRunning) SetRunning(false);
}

void CSlideshow::SetRunning(bool bRunning) {
  m_bRunning = bRunning;
  if (bRunning) {
    // Every key but Ctrl stops the show, wherever the focus is.
    qApp->installEventFilter(this);
    UpdatePanel();
    m_pPanel->show();
  } else {
    qApp->removeEventFilter(this);
    m_pPanel->hide();
  }
  emit RunningChanged(bRunning);
}

void CSlideshow::TogglePause() {
  if (!m_autoplay.IsRunning()) return;
  m_bPaused = !m_bPaused;
  if (m_bPaused)
    m_timer.stop();
  else if (!m_bStepPending)
    Arm(slideDelay ? slideDelay() : 1);
  UpdatePanel();
}

void CSlideshow::Arm(int nDelay) {
  if (!m_autoplay.IsRunning()) return;
  if (!m_bPaused) m_timer.start(std::max(1, nDelay));
  UpdatePanel();
}

void CSlideshow::OnTimer() {
  if (m_bPaused || !step) return;
  const AUTOPLAYSTEP next = m_autoplay.TickStep();
  if (next == AS_STOP) {
    Stop();
    return;
  }
  m_bStepPending = true;
  switch (step(next == AS_NEXT ? SC_NEXT : SC_PREVIOUS)) {
    case SR_LOADING:
    case SR_SHOWN:
      // The delay starts when the image is shown (already, for SR_SHOWN).
      return;
    case SR_UNMOVED: {
      // The first image without roll-over: the show stays on it.
      m_bStepPending = false;
      const int delay = m_autoplay.StepDone(0, true, slideDelay ? slideDelay() : 1);
      if (delay > 0)
        Arm(delay);
      else
        Stop();
      return;
    }
    default:
      // At the end without roll-over, or a step the user cancelled.
      Stop();
      return;
  }
}

void CSlideshow::OnImageShown(bool bLoaded) {
  if (m_bRunning) UpdatePanel();
  if (!m_bStepPending) return;
  m_bStepPending = false;
  const int delay = m_autoplay.StepDone(1, bLoaded, slideDelay ? slideDelay() : 1);
  if (delay > 0)
    Arm(delay);
  else
    Stop();
}

void CSlideshow::UpdatePanel() {
  const std::pair<int, int> position = slidePosition ? slidePosition() : std::pair<int, int>{};
  m_pPanel->SetSlide(position.first + 1, position.second);
  m_pPanel->SetPlaying(!m_bPaused);
  m_pPanel->SetBackward(m_autoplay.Direction() == AD_BACKWARD);
  m_pPanel->Place();
}

bool CSlideshow::eventFilter(QObject* watched, QEvent* event) {
  if (m_bRunning &&
      (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
    const auto* key = static_cast<QKeyEvent*>(event);
    // Stopped once the key has done its work: the key mapped to Autoplay
    // toggles the show off itself, and must not find it stopped and start it.
    if (key->key() != Qt::Key_Control && !key->isAutoRepeat() && !m_bStopQueued) {
      m_bStopQueued = true;
      QTimer::singleShot(0, this, [this] {
        m_bStopQueued = false;
        Stop();
      });
    }
  }
  return QObject::eventFilter(watched, event);
}
