// Level statistics and remapping of the 8-bit container: the histogram
// view's counts and scale, and brightness/contrast through a level window.
#include <algorithm>
#include <mutex>

#include "lorimomagick/lorimomagickquantum.h"
#include "quantumpixels.h"
#include "rowrunner.h"

namespace {

template <typename Pixel, typename Level>
void CountLevels(const Pixel* pixels, uint64_t count, const Level& level, uint64_t counts[256]) {
  std::mutex merge;
  ForEachRange(count, 2, [&](uint64_t begin, uint64_t end) {
    uint64_t local[256] = {};
    for (uint64_t i = begin; i < end; ++i) ++local[level(pixels[i])];
    std::lock_guard<std::mutex> lock(merge);
    for (int b = 0; b < 256; ++b) counts[b] += local[b];
  });
}

template <typename Pixel, typename ToPixel>
void CountChannel(const Pixel* pixels, uint64_t count, int channel, const ToPixel& toPixel,
                  uint64_t counts[256]) {
  switch (channel) {
    case CLorimoMagickQuantum::HISTOGRAM_LUMINOSITY:
      CountLevels(
          pixels, count,
          [&](const Pixel& p) { return unsigned(CLorimoMagickQuantum::luminosity(toPixel(p))); },
          counts);
      break;
    case CLorimoMagickQuantum::HISTOGRAM_RED:
      CountLevels(
          pixels, count, [&](const Pixel& p) { return toPixel(p).red; }, counts);
      break;
    case CLorimoMagickQuantum::HISTOGRAM_GREEN:
      CountLevels(
          pixels, count, [&](const Pixel& p) { return toPixel(p).green; }, counts);
      break;
    case CLorimoMagickQuantum::HISTOGRAM_BLUE:
      CountLevels(
          pixels, count, [&](const Pixel& p) { return toPixel(p).blue; }, counts);
      break;
    default:
      counts[0] += count;  // an unknown channel counts every pixel as level 0
      break;
  }
}

}  // namespace

float CLorimoMagickQuantum::luminosity(const PixelPacket& pixel) {
  return float(0.212671 * pixel.red + 0.71516 * pixel.green + 0.072169 * pixel.blue);
}

unsigned CLorimoMagickQuantum::histogram(HISTOGRAM channel, uint32_t* bins,
                                         const Magick::Geometry* pRect) const {
  (void)pRect;
  if (bins == nullptr || !HasData()) return 0xFFFFFFFF;
  const uint64_t count = uint64_t(m_nCols) * m_nRows;
  uint64_t counts[256] = {};
  if (m_pData != nullptr) {
    CountChannel(
        m_pData, count, channel, [](const PixelPacket& p) { return p; }, counts);
  } else {
    // Shared image pixels are read in place, scaled pixel by pixel.
    CountChannel(
        m_pImagePixels, count, channel, [](const Magick::PixelPacket& p) { return ToPixel8(p); },
        counts);
  }
  // The peak is the highest count an increment reached: the final value of
  // every bin that was incremented.
  uint32_t peak = 0;
  uint64_t total = 0;
  for (int b = 0; b < 256; ++b) {
    if (counts[b] != 0) {
      bins[b] += uint32_t(counts[b]);
      peak = std::max(peak, bins[b]);
    }
    total += bins[b];
  }
  // Cap the scale at four times the average bin so one spike does not flatten the plot.
  const uint64_t cap = 4 * (total / 256);
  return unsigned(std::min<uint64_t>(peak, cap));
}

int CLorimoMagickQuantum::brightness_contrast(uint16_t width, uint8_t centre) {
  if (!HasData()) return 0;
  PixelPacket* pixels = MutablePixels();
  if (pixels == nullptr) return 0;
  // The 0.01 keeps a zero width finite: a step at the centre.
  const float scale = 255.0f / (float(width) + 0.01f);
  const int windowStart = int(centre) - int(width) / 2;
  uint8_t table[256];
  for (int level = 0; level < 256; ++level) {
    const float v = 0.5f + float(level - windowStart) * scale;
    table[level] = uint8_t(std::clamp(v, 0.0f, 255.0f));
  }
  const int64_t columns = m_nCols;
  const bool completed = ForEachRow(
      0, int64_t(m_nRows), uint64_t(m_nCols) * m_nRows, false,
      [&](int64_t y) {
        PixelPacket* row = pixels + y * columns;
        for (int64_t x = 0; x < columns; ++x) {
          row[x].red = table[row[x].red];
          row[x].green = table[row[x].green];
          row[x].blue = table[row[x].blue];
        }
      },
      [](int64_t) { return CallMonitor(0, 0) != 0; });
  return completed ? 1 : 0;
}
