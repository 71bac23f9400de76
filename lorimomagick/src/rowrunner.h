#pragma once
// Spreads row loops over the machine's cores. Every row is computed by the
// same code whichever thread takes it, so results never depend on the split.

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

// Threads worth starting for about `work` sample operations: one for small
// jobs, where starting threads costs more than it saves.
unsigned WorkerCount(uint64_t work);
// Caps the threads used (0: the default cap); returns the previous cap.
// Lets tests check that results do not depend on the split.
unsigned SetWorkerLimit(unsigned limit);

// Runs body(row) for every row in [first, last). Only the calling thread
// calls report(row), before each row it takes (bReportBefore) or after it,
// because the progress handler belongs to the caller; a false return stops
// every thread before its next row. Returns false when stopped. With one
// thread the rows run in order, as a plain loop would.
template <typename Body, typename Report>
bool ForEachRow(int64_t first, int64_t last, uint64_t work, bool bReportBefore, const Body& body,
                const Report& report) {
  std::atomic<int64_t> next{first};
  std::atomic<bool> stop{false};
  auto helper = [&] {
    while (!stop.load(std::memory_order_relaxed)) {
      const int64_t row = next.fetch_add(1, std::memory_order_relaxed);
      if (row >= last) return;
      body(row);
    }
  };
  std::vector<std::thread> helpers;
  const unsigned count = WorkerCount(work);
  try {
    for (unsigned t = 1; t < count; ++t) helpers.emplace_back(helper);
  } catch (...) {
    // No more threads: the calling thread does the rest alone.
  }
  bool completed = true;
  for (;;) {
    const int64_t row = next.fetch_add(1, std::memory_order_relaxed);
    if (row >= last) break;
    if (bReportBefore && !report(row)) {
      completed = false;
      break;
    }
    body(row);
    if (!bReportBefore && !report(row)) {
      completed = false;
      break;
    }
  }
  if (!completed) stop.store(true, std::memory_order_relaxed);
  for (auto& thread : helpers) thread.join();
  return completed;
}

// Runs body(begin, end) over [0, count) cut into one contiguous range per thread.
template <typename Body>
void ForEachRange(uint64_t count, uint64_t workPerItem, const Body& body) {
  const unsigned threads = WorkerCount(count * workPerItem);
  if (threads <= 1) {
    body(uint64_t(0), count);
    return;
  }
  const uint64_t step = (count + threads - 1) / threads;
  std::vector<std::thread> helpers;
  uint64_t begin = step;
  try {
    for (; begin < count; begin += step) {
      const uint64_t end = begin + step < count ? begin + step : count;
      helpers.emplace_back([&body, begin, end] { body(begin, end); });
    }
  } catch (...) {
    body(begin, count);  // the ranges no thread took
  }
  body(uint64_t(0), step < count ? step : count);
  for (auto& thread : helpers) thread.join();
}
