#pragma once
// Timing shared by the benchmarks that time whole operations by hand.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

// The median wall time of runs calls of work, in milliseconds; a failed
// run ends the benchmark, since its figure would mean nothing. prepare, when
// given, runs untimed before each call.
inline double MedianMs(int runs, const std::function<bool()>& work,
                       const std::function<void()>& prepare = nullptr) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    if (prepare) prepare();
    const auto start = std::chrono::steady_clock::now();
    if (!work()) {
      std::fprintf(stderr, "run failed\n");
      std::exit(1);
    }
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}
