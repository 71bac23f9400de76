// Listing and sorting a large folder with SortDir in each sort mode, beside
// the floor for this work: a plain readdir loop that stats every entry and
// std::sort of the names. The folder (100,000 files by default; set
// LORIMO_BENCH_FILES to change) is made in a scratch folder under $TMPDIR
// and removed at the end; LORIMO_BENCH_DIR runs on a folder made earlier.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

#include "corekit/straw.h"
#include "pixwork/sortdir.h"
#include "pixwork/sortsettings.h"

namespace {

std::string gFolder;

// Camera, scanner and hand-named files in several extensions and cases,
// with varied sizes (sparse) and times.
bool MakeFolder(const std::string& folder, size_t count) {
  std::mt19937 rng(2024);
  const char* extensions[] = {"jpg", "JPG", "jpeg", "png", "PNG", "gif", "tif", "bmp"};
  for (size_t i = 0; i < count; ++i) {
    char name[96];
    switch (i % 4) {
      case 0:
        snprintf(name, sizeof name, "IMG_%05zu.%s", i, extensions[rng() % 8]);
        break;
      case 1:
        snprintf(name, sizeof name, "DSC%06zu.%s", i, extensions[rng() % 8]);
        break;
      case 2:
        snprintf(name, sizeof name, "holiday %zu.%s", i, extensions[rng() % 8]);
        break;
      default:
        snprintf(name, sizeof name, "Scan-%zu-b.%s", i, extensions[rng() % 8]);
        break;
    }
    const std::string path = folder + "/" + name;
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool sized = ftruncate(fd, off_t(1 + rng() % 8000000)) == 0;
    const timespec times[2] = {{time_t(1500000000 + rng() % 100000000), 0},
                               {time_t(1500000000 + rng() % 100000000), long(rng() % 1000000000)}};
    const bool timed = futimens(fd, times) == 0;
    close(fd);
    if (!sized || !timed) return false;
  }
  return true;
}

struct PlainEntry {
  std::string name;
  off_t size;
  timespec mtime;
};

void BM_PlainReaddirStatSort(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<PlainEntry> entries;
    DIR* dir = opendir(gFolder.c_str());
    const int fd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      struct stat st {};
      if (fstatat(fd, entry->d_name, &st, 0) != 0) continue;
      entries.push_back(PlainEntry{entry->d_name, st.st_size, st.st_mtim});
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const PlainEntry& a, const PlainEntry& b) { return a.name < b.name; });
    benchmark::DoNotOptimize(entries.data());
    state.counters["files"] = double(entries.size());
  }
}

void BM_SortDir(benchmark::State& state) {
  gdwSortingMode = uint32_t(state.range(0));
  bSortAscending = 1;
  const MyString folder = CStrAW::a_toW(gFolder);
  for (auto _ : state) {
    SortDir list;
    list.InitializeSortDir(folder, 100);
    list.CreateSortedImageList();
    state.counters["files"] = double(list.GetLengthFileList());
  }
  gdwSortingMode = 0;
}

BENCHMARK(BM_PlainReaddirStatSort)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SortDir)
    ->ArgName("mode")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

// Prints the usual table, then each mode's time as a multiple of the floor,
// by wall-clock time and by CPU time (steadier on a busy machine).
class CRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration)
        m_times[run.run_name.function_name + "/" + run.run_name.args] = {run.GetAdjustedRealTime(),
                                                                         run.GetAdjustedCPUTime()};
  }

  void PrintRatios() const {
    const auto floor = m_times.find("BM_PlainReaddirStatSort/");
    if (floor == m_times.end() || floor->second.first <= 0 || floor->second.second <= 0) return;
    const auto [floorReal, floorCpu] = floor->second;
    std::printf("\nListing plus sorting beside the plain iteration (%.1f ms, CPU %.1f ms):\n",
                floorReal, floorCpu);
    const char* modes[] = {"name", "extension", "size", "date"};
    for (int mode = 0; mode < 4; ++mode) {
      const auto it = m_times.find("BM_SortDir/mode:" + std::to_string(mode));
      if (it == m_times.end()) continue;
      const auto [real, cpu] = it->second;
      std::printf("  by %-9s %8.1f ms  %.2fx   CPU %8.1f ms  %.2fx\n", modes[mode], real,
                  real / floorReal, cpu, cpu / floorCpu);
    }
  }

 private:
  std::map<std::string, std::pair<double, double>> m_times;  // real, CPU
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // LORIMO_BENCH_DIR names a folder made earlier: used as it is, and kept.
  const char* given = std::getenv("LORIMO_BENCH_DIR");
  const char* countText = std::getenv("LORIMO_BENCH_FILES");
  const size_t count = countText ? size_t(std::strtoul(countText, nullptr, 10)) : 100000;
  bool made = true;
  if (given && *given) {
    gFolder = given;
  } else {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lorimo-sortdir-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      return 1;
    }
    gFolder = pattern;
    std::printf("Making %zu files in %s ...\n", count, gFolder.c_str());
    std::fflush(stdout);
    made = MakeFolder(gFolder, count);
  }
  int result = 0;
  if (made) {
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
  } else {
    std::perror("making the folder");
    result = 1;
  }
  if (!(given && *given)) {
    std::error_code ec;
    std::filesystem::remove_all(gFolder, ec);
  }
  benchmark::Shutdown();
  return result;
}
