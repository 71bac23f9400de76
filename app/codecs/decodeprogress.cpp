#include "codecs/decodeprogress.h"

#include <mutex>

#include <Magick++.h>

namespace {

thread_local CDecodeProgress* tProgress = nullptr;

MagickPassFail OnMagickProgress(const char*, const MagickLib::magick_int64_t quantum,
                                const MagickLib::magick_uint64_t span, MagickLib::ExceptionInfo*) {
  CDecodeProgress* progress = tProgress;
  if (!progress) return MagickPass;
  return progress->OnProgress(quantum, span) ? MagickPass : MagickFail;
}

}  // namespace

CDecodeProgress* SetThreadDecodeProgress(CDecodeProgress* progress) {
  static std::once_flag installed;
  std::call_once(installed, [] { MagickLib::SetMonitorHandler(OnMagickProgress); });
  CDecodeProgress* previous = tProgress;
  tProgress = progress;
  return previous;
}

CDecodeProgress* GetThreadDecodeProgress() { return tProgress; }
