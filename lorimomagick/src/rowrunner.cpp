#include "rowrunner.h"

namespace {
// A desktop viewer shares the machine; a few cores are plenty.
constexpr unsigned kMaximumThreads = 4;
std::atomic<unsigned> gnWorkerLimit{kMaximumThreads};
}  // namespace

unsigned SetWorkerLimit(unsigned limit) {
  return gnWorkerLimit.exchange(limit == 0 ? kMaximumThreads : limit);
}

unsigned WorkerCount(uint64_t work) {
  // Below this many sample operations a thread start is not worth it.
  constexpr uint64_t kMinimumWorkPerThread = uint64_t(1) << 17;
  const unsigned limit = gnWorkerLimit.load(std::memory_order_relaxed);
  unsigned cores = std::thread::hardware_concurrency();
  if (cores == 0) cores = 1;
  if (cores > limit) cores = limit;
  const uint64_t byWork = work / kMinimumWorkPerThread;
  if (byWork < 2) return 1;
  return byWork < cores ? unsigned(byWork) : cores;
}
