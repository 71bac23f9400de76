// Sorting file names with MyString::Compare (case-insensitive, numbers by
// value) beside a plain code-unit sort of the same names: the floor.
#include <algorithm>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "corekit/mystring.h"
#include "corekit/straw.h"

namespace {

std::vector<MyString> MakeNames(size_t count) {
  std::mt19937 rng(42);
  const char16_t* stems[] = {u"IMG_", u"DSC", u"holiday ", u"Scan-", u"P"};
  std::vector<MyString> names;
  names.reserve(count);
  for (size_t i = 0; i < count; ++i)
    names.push_back(
        CStrAW::printf(u"/home/ann/Pictures/%s%u.JPG", stems[rng() % 5], unsigned(rng() % 100000)));
  return names;
}

void BM_SortByCompare(benchmark::State& state) {
  const auto names = MakeNames(size_t(state.range(0)));
  for (auto _ : state) {
    auto copy = names;
    std::sort(copy.begin(), copy.end(),
              [](const MyString& a, const MyString& b) { return a.Compare(b) < 0; });
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SortByCodeUnits(benchmark::State& state) {
  const auto names = MakeNames(size_t(state.range(0)));
  for (auto _ : state) {
    auto copy = names;
    std::sort(copy.begin(), copy.end(),
              [](const MyString& a, const MyString& b) { return a.str() < b.str(); });
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_SortByCompare)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByCodeUnits)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
