#include "progress.h"

#include <Magick++.h>

bool ReportProgress(int64_t quantum, uint64_t span) {
  // MagickMonitor is marked deprecated in favour of the formatted variant,
  // but it is the call that hands the text through unchanged.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return MagickLib::MagickMonitor("", quantum, span, nullptr) != MagickFail;
#pragma GCC diagnostic pop
}
