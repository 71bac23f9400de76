#include "codecs/decodeprogress.h"

#include <map>
#include <mutex>
#include <string_view>

#include <Magick++.h>

namespace {

thread_local CDecodeProgress* tProgress = nullptr;

std::mutex gNamedMutex;
std::map<std::string, CDecodeProgress*, std::less<>> gNamed;
std::atomic<size_t> gnNamed{0};

CDecodeProgress* NamedProgress(const char* text) {
  if (gnNamed.load(std::memory_order_relaxed) == 0 || !text || text[0] != '[') return nullptr;
  const std::string_view view(text + 1);
  const size_t end = view.find(']');
  if (end == std::string_view::npos) return nullptr;
  std::lock_guard<std::mutex> lock(gNamedMutex);
  const auto found = gNamed.find(view.substr(0, end));
  return found == gNamed.end() ? nullptr : found->second;
}

MagickPassFail OnMagickProgress(const char* text, const MagickLib::magick_int64_t quantum,
                                const MagickLib::magick_uint64_t span, MagickLib::ExceptionInfo*) {
  CDecodeProgress* progress = NamedProgress(text);
  if (!progress) progress = tProgress;
  if (!progress) return MagickPass;
  return progress->OnTaskProgress(text, quantum, span) ? MagickPass : MagickFail;
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

void SetNamedProgress(const std::string& name, CDecodeProgress* progress) {
  SetThreadDecodeProgress(GetThreadDecodeProgress());  // installs the handler
  std::lock_guard<std::mutex> lock(gNamedMutex);
  if (progress)
    gNamed[name] = progress;
  else
    gNamed.erase(name);
  gnNamed = gNamed.size();
}
