#include "viewer/autoplay.h"

#include <cstddef>

int CAutoplay::Toggle(bool bHasImage, int nImageCount) {
  if (!bHasImage) return m_bRunning ? 1 : 0;
  if (nImageCount <= 1) {
    m_bRunning = false;
    return 0;
  }
  m_bRunning = !m_bRunning;
  return m_bRunning ? 1 : 0;
}

int CAutoplay::Stop() {
  const int wasRunning = m_bRunning ? 1 : 0;
  m_bRunning = false;
  return wasRunning;
}

AUTOPLAYSTEP CAutoplay::TickStep() const {
  if (!m_bRunning) return AS_STOP;
  return m_direction == AD_BACKWARD ? AS_PREVIOUS : AS_NEXT;
}

int CAutoplay::StepDone(int nMoved, bool bLoaded, int nDelay) {
  if (nMoved < 0 || (nMoved > 0 && !bLoaded)) m_bRunning = false;
  if (!m_bRunning) return 0;
  // A timer needs a positive interval to fire at all.
  return nDelay > 0 ? nDelay : 1;
}

int CAutoplay::SlideDelay(int nAutoPlayMiliseconds, const std::vector<int32_t>& portfolioDelays,
                          int nCurrent) {
  // A portfolio's 0 means "the setting"; a negative delay from a damaged
  // file is treated the same rather than stalling the show.
  if (nCurrent >= 0 && std::size_t(nCurrent) < portfolioDelays.size() &&
      portfolioDelays[nCurrent] > 0)
    return portfolioDelays[nCurrent];
  return nAutoPlayMiliseconds > 0 ? nAutoPlayMiliseconds : 1;
}
