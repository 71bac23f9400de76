// Red-eye removal, the histogram and brightness/contrast on a 12-megapixel
// image, each beside comparable GraphicsMagick work on the same image: a
// 5 x 5 convolution (the blur inside red-eye removal), the image statistics
// (one read-only pass) and a level change.
#include <cstdint>

#include <benchmark/benchmark.h>

#include "lorimomagick/lorimomagickquantum.h"

Magick::Image LorimoMagickBenchImage(unsigned columns, unsigned rows);
int LorimoMagickBenchMain(int argc, char** argv);

namespace {

const Magick::Image& Source() {
  static const Magick::Image image = LorimoMagickBenchImage(4000, 3000);
  return image;
}

void BM_RedEye_12MP(benchmark::State& state) {
  Magick::Image source = Source();
  for (auto _ : state) {
    CLorimoMagickQuantum pixels(source, false);
    pixels.removeRedEye();
    Magick::Image result = pixels.Pixels2Magick();
    benchmark::DoNotOptimize(result.columns());
  }
}

void BM_RedEye_12MP_Core(benchmark::State& state) {
  Magick::Image source = Source();
  const CLorimoMagickQuantum input(source, false);
  for (auto _ : state) {
    state.PauseTiming();
    CLorimoMagickQuantum pixels(input);
    state.ResumeTiming();
    pixels.removeRedEye();
    benchmark::DoNotOptimize(pixels.GetData());
  }
}

void BM_GraphicsMagickConvolve5x5_12MP(benchmark::State& state) {
  double box[25];
  for (double& weight : box) weight = 0.04;
  for (auto _ : state) {
    Magick::Image image = Source();
    image.convolve(5, box);
    benchmark::DoNotOptimize(image.columns());
  }
}

// Argument: 1 = shared container (reads the image in place), 0 = a copy.
void BM_Histogram_12MP(benchmark::State& state) {
  Magick::Image source = Source();
  for (auto _ : state) {
    uint32_t bins[256] = {};
    CLorimoMagickQuantum pixels(source, state.range(0) != 0);
    benchmark::DoNotOptimize(pixels.histogram(CLorimoMagickQuantum::HISTOGRAM_LUMINOSITY, bins));
  }
}

void BM_GraphicsMagickStatistics_12MP(benchmark::State& state) {
  Magick::Image source = Source();
  for (auto _ : state) {
    Magick::ImageStatistics statistics;
    source.statistics(&statistics);
    benchmark::DoNotOptimize(statistics.red.mean);
  }
}

void BM_BrightnessContrast_12MP(benchmark::State& state) {
  Magick::Image source = Source();
  for (auto _ : state) {
    CLorimoMagickQuantum pixels(source, false);
    pixels.brightness_contrast(180, 120);
    Magick::Image result = pixels.Pixels2Magick();
    benchmark::DoNotOptimize(result.columns());
  }
}

void BM_GraphicsMagickLevel_12MP(benchmark::State& state) {
  for (auto _ : state) {
    Magick::Image image = Source();
    image.level(30 * 257.0, 210 * 257.0);
    benchmark::DoNotOptimize(image.columns());
  }
}

BENCHMARK(BM_RedEye_12MP)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_RedEye_12MP_Core)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_GraphicsMagickConvolve5x5_12MP)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_Histogram_12MP)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_GraphicsMagickStatistics_12MP)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_BrightnessContrast_12MP)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_GraphicsMagickLevel_12MP)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char** argv) { return LorimoMagickBenchMain(argc, argv); }
