#pragma once
// CSlideshowBuilder: a portfolio's slides as one animated GIF. Each slide
// is read through the codec layer and becomes a frame of its own delay
// (disposal "restore to previous"); the frames are written together and the
// file replaced only at the end, so an abort or a failure leaves an older
// file of that name as it was. No widgets: Build runs on a worker and
// reports through onProgress; Abort may come from any thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "corekit/mystring.h"
#include "corekit/slidesfile.h"

enum SLIDESHOWRESULT : int {
  SLIDESHOW_FAILED = 0,
  SLIDESHOW_COMPLETE = 1,
  SLIDESHOW_ABORTED = 2,
};

class CSlideshowBuilder {
 public:
  // The frame delay in hundredths of a second of a slide delay in
  // milliseconds: 0 (and a negative delay) takes the autoplay delay; the
  // shortest frame lasts 1/100 s; GIF's 16 bits cap it at 655.35 s.
  static int FrameDelay(int32_t delayMs, uint32_t autoplayMs);

  // Percentage (0..100) and, when not empty, a new status text. Called on
  // the building thread.
  std::function<void(int percent, const std::string& status)> onProgress;

  // Builds the GIF of slides at output. Slides that cannot be read are
  // skipped; with none left the build fails. GetLastError() says why a
  // build failed.
  SLIDESHOWRESULT Build(const std::vector<CSlide>& slides, uint32_t autoplayMs,
                        const MyString& output);
  void Abort() { m_bAbort = true; }
  void Reset() { m_bAbort = false; }
  bool IsAborted() const { return m_bAbort; }
  const std::string& GetLastError() const { return m_strError; }
  // Slides skipped by the last build because they could not be read.
  const std::vector<MyString>& GetSkipped() const { return m_skipped; }

 private:
  std::atomic<bool> m_bAbort{false};
  std::string m_strError;
  std::vector<MyString> m_skipped;
};
