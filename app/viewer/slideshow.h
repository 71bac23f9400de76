#pragma once
// CSlideshow: autoplay as the viewer runs it. It arms a single-shot timer
// with the slide's delay, takes a step (Next or Previous) when it fires,
// and arms it again only once the viewer reports the new image shown, so
// each delay runs from the end of a load. While it runs, the floating
// panel shows and every key but Ctrl stops it. The rules are CAutoplay's;
// the steps and delays come from the viewer. GUI thread only, apart from
// IsRunning, which loading threads read.

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>

#include "viewer/autoplay.h"
#include "viewer/imagestepper.h"

class CAutoplayPanel;
class QWidget;

class CSlideshow : public QObject {
  Q_OBJECT
 public:
  // panelParent: the widget the panel floats over.
  explicit CSlideshow(QWidget* panelParent);
  ~CSlideshow() override;

  // Takes Next or Previous; returns a STEPRESULT.
  std::function<int(STEPCOMMAND command)> step;
  // The delay of the slide now shown, in milliseconds.
  std::function<int()> slideDelay;
  // The slide now shown (0-based) and the number of slides, for the panel.
  std::function<std::pair<int, int>()> slidePosition;

  bool IsRunning() const { return m_bRunning; }
  bool IsPaused() const { return m_bPaused; }
  AUTOPLAYDIRECTION Direction() const { return m_autoplay.Direction(); }
  CAutoplayPanel* Panel() const { return m_pPanel; }

  // The Autoplay command (CAutoplay::Toggle).
  void Toggle(bool bHasImage, int nImageCount);
  void Stop();
  // An image reached the screen; bLoaded is 0 for a failed load or an entry
  // that could not be shown. When a step of the show waited for it, the
  // next delay starts now (or the run ends).
  void OnImageShown(bool bLoaded);
  // The position or the list changed: the panel follows.
  void UpdatePanel();

 signals:
  void RunningChanged(bool bRunning);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnTimer();
  void TogglePause();
  void Arm(int nDelay);
  void SetRunning(bool bRunning);

  CAutoplay m_autoplay;
  std::atomic<bool> m_bRunning{false};
  bool m_bPaused = false;
  bool m_bStepPending = false;  // a step waits for its image
  bool m_bStopQueued = false;
  QTimer m_timer;
  CAutoplayPanel* m_pPanel;
};
