// AQua2 at 200 % of a 2000 x 1500 image beside GraphicsMagick's own resize
// to the same 4000 x 3000 (Lanczos and Triangle). Both sides go from a
// Magick::Image to a Magick::Image; the Core line is the enlargement alone.
#include <benchmark/benchmark.h>

#include "lorimomagick/lorimomagickfloat.h"

Magick::Image LorimoMagickBenchImage(unsigned columns, unsigned rows);

namespace {

const Magick::Image& Source() {
  static const Magick::Image image = LorimoMagickBenchImage(2000, 1500);
  return image;
}

void BM_AQua2_200Percent(benchmark::State& state) {
  Magick::Image source = Source();
  for (auto _ : state) {
    CLorimoMagickFloat planes(source);
    planes.IAQua2All(200, 100, 200, 100, 1);
    Magick::Image result = planes.Pixels2Magick(false);
    benchmark::DoNotOptimize(result.columns());
  }
}

void BM_AQua2_200Percent_Core(benchmark::State& state) {
  Magick::Image source = Source();
  const CLorimoMagickFloat input(source);
  for (auto _ : state) {
    state.PauseTiming();
    CLorimoMagickFloat planes(input);
    state.ResumeTiming();
    planes.IAQua2All(200, 100, 200, 100, 1);
    benchmark::DoNotOptimize(planes.Plane(0));
  }
}

void GraphicsMagickResize(benchmark::State& state, Magick::FilterTypes filter) {
  for (auto _ : state) {
    Magick::Image image = Source();
    image.filterType(filter);
    image.resize(Magick::Geometry(4000, 3000));
    benchmark::DoNotOptimize(image.columns());
  }
}

void BM_GraphicsMagickResize_Lanczos(benchmark::State& state) {
  GraphicsMagickResize(state, Magick::LanczosFilter);
}

void BM_GraphicsMagickResize_Triangle(benchmark::State& state) {
  GraphicsMagickResize(state, Magick::TriangleFilter);
}

BENCHMARK(BM_AQua2_200Percent)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_AQua2_200Percent_Core)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_GraphicsMagickResize_Lanczos)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_GraphicsMagickResize_Triangle)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

}  // namespace

int LorimoMagickBenchMain(int argc, char** argv);

int main(int argc, char** argv) { return LorimoMagickBenchMain(argc, argv); }
