#pragma once
// CAutoplay: the slideshow's state and timing rules, without the timer.
// The viewer arms a single-shot timer with the delay it is given, issues
// the step TickStep() names when it fires, and reports with StepDone()
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

  // The timer fired: the step to take, or AS_STOP when the show is off.
  AUTOPLAYSTEP TickStep() const;
  // The tick's step is over. nMoved is what the folder position said
  // (CListPosition::Next or Previous): -1, the last image without roll-over,
  // ends the run; 0, nothing moved (the first image without roll-over), keeps
  // it going on the same image. bLoaded is 0 when the new image failed to
  // load, which ends the run too. The delay to arm the timer with, or 0 when
  // the run has ended.
  int StepDone(int nMoved, bool bLoaded, int nDelay);

  // The delay of the slide at nCurrent: the portfolio's own delay for it
  // when a portfolio plays and that delay is set, else the autoplay setting
  // (AutoPlayMiliseconds). portfolioDelays is empty when none plays.
  static int SlideDelay(int nAutoPlayMiliseconds, const std::vector<int32_t>& portfolioDelays,
                        int nCurrent);

 private:
  bool m_bRunning = false;
  AUTOPLAYDIRECTION m_direction = AD_FORWARD;
};
