// Shared main of the LorimoMagick benchmarks. The machine is shared, so by
// default each benchmark runs several times in random order, which spreads
// other load over both sides of a comparison, and only the aggregates are
// printed. Time is wall-clock; CPU is the whole process (all threads, ours
// and GraphicsMagick's), the steadier figure when other work competes for
// the cores. Command-line flags override these defaults.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

int LorimoMagickBenchMain(int argc, char** argv) {
  std::vector<std::string> defaults = {"--benchmark_repetitions=5",
                                       "--benchmark_enable_random_interleaving=true",
                                       "--benchmark_report_aggregates_only=true"};
  std::vector<char*> args = {argv[0]};
  for (auto& flag : defaults) args.push_back(flag.data());
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);  // later flags win
  int count = int(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
