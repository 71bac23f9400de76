// White balance of a 12-megapixel image beside GraphicsMagick's own 3 x 3
// colour matrix on the same image. The full lines go from a Magick::Image
// to a Magick::Image; the Core lines time WhiteBalance alone.
#include <benchmark/benchmark.h>

#include "lorimomagick/lorimomagickfloat.h"

Magick::Image LorimoMagickBenchImage(unsigned columns, unsigned rows);
int LorimoMagickBenchMain(int argc, char** argv);

namespace {

const Magick::Image& Source() {
  static const Magick::Image image = LorimoMagickBenchImage(4000, 3000);
  return image;
}

CLorimoMagickFloat::WHITE_BALANCE_OPTIONS At3000Kelvin(bool linear) {
  return {2, 0, 3000.0f, 0, 0, 0, 0, 0, linear};
}

void BM_WhiteBalance_12MP(benchmark::State& state) {
  Magick::Image source = Source();
  for (auto _ : state) {
    CLorimoMagickFloat planes(source);
    planes.WhiteBalance(At3000Kelvin(state.range(0) != 0));
    Magick::Image result = planes.Pixels2Magick(true);
    benchmark::DoNotOptimize(result.columns());
  }
}

void BM_WhiteBalance_12MP_Core(benchmark::State& state) {
  Magick::Image source = Source();
  const CLorimoMagickFloat input(source);
  for (auto _ : state) {
    state.PauseTiming();
    CLorimoMagickFloat planes(input);
    state.ResumeTiming();
    planes.WhiteBalance(At3000Kelvin(state.range(0) != 0));
    benchmark::DoNotOptimize(planes.Plane(0));
  }
}

void BM_GraphicsMagickColorMatrix_12MP(benchmark::State& state) {
  // The white-balance matrix at 3000 K, rounded.
  const double matrix[9] = {0.790, -0.069, 0.211, 0.053, 1.152, -0.020, 0.034, 0.214, 2.796};
  for (auto _ : state) {
    Magick::Image image = Source();
    image.colorMatrix(3, matrix);
    benchmark::DoNotOptimize(image.columns());
  }
}

BENCHMARK(BM_WhiteBalance_12MP)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_WhiteBalance_12MP_Core)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_GraphicsMagickColorMatrix_12MP)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char** argv) { return LorimoMagickBenchMain(argc, argv); }
