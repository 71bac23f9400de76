#pragma once
// CAutoplay: the slideshow's state and timing rules, without the timer.
// The viewer arms a single-shot timer with the delay it is given, issues
// the step TickStep() names when it fires, and reports with StepShown()
// once the new image is on screen, so each delay runs from the end of a
// load. GUI thread only.

#include <cstdint>
#include <vector>

enum AUTOPLAYDIRECTION : int { AD_FORWARD, AD_BACKWARD };

// What a tick does.
enum AUTOPLAYSTEP : int {
  AS_STOP,      // the run has ended: kill the timer
  AS_NEXT,      // Next Image
  AS_PREVIOUS,  // Previous Image
};

class CAutoplay {
 public:
  bool IsRunning() const { return m_bRunning; }
  AUTOPLAYDIRECTION Direction() const { return m_direction; }
  // The panel's backward and forward buttons.
  void SetDirection(AUTOPLAYDIRECTION direction) { m_direction = direction; }

  // The Autoplay command. Without an image nothing happens; with a single
  // image a running show stops; otherwise it toggles. 1 when it is running
  // afterwards (arm the timer with SlideDelay()), 0 when not.
  int Toggle(bool bHasImage, int nImageCount);
  // A key, a character, a menu or minimizing the window. 1 when it was running.
  int Stop();

  // The timer fired while the image at nCurrent (of 0 .. nLast) is shown.
  // Forward at the last image without roll-over ends the run; backward at
  // the first image stays there and keeps running.
  AUTOPLAYSTEP TickStep(int nCurrent, int nLast, bool bRollOver);
  // The tick's step is over: bShown 0 when it failed, which ends the run.
  // The delay to arm the timer with, or 0 when the run has ended.
  int StepShown(bool bShown, int nDelay);

  // The delay of the slide at nCurrent: the portfolio's own delay for it
  // when a portfolio plays and that delay is set, else the autoplay setting
  // (AutoPlayMiliseconds). portfolioDelays is empty when none plays.
  static int SlideDelay(int nAutoPlayMiliseconds, const std::vector<int32_t>& portfolioDelays,
                        int nCurrent);

 private:
  bool m_bRunning = false;
  AUTOPLAYDIRECTION m_direction = AD_FORWARD;
};
