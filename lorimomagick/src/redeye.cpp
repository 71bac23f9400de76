// Red-eye removal inside a user-selected region: pixels whose red/green
// balance marks them as the most saturated red get red from the mean of
// blue and green, and the change is softened by a 5 x 5 box blur.
#include <algorithm>
#include <cmath>
#include <mutex>

#include "lorimomagick/lorimomagickquantum.h"
#include "progress.h"
#include "redeyeratio.h"
#include "rowrunner.h"
#include "zerobuffer.h"

namespace {

constexpr float kBoxWeight = 0.04f;  // 1/25 of the 5 x 5 box
constexpr int kBoxRadius = 2;
// Pixels closer than this to the region's edge keep their red.
constexpr int64_t kUntouchedMargin = 4;
// Columns blurred at a time, in a buffer on the stack.
constexpr int64_t kChunk = 1024;

}  // namespace

int CLorimoMagickQuantum::removeRedEye() {
  if (!HasData()) return 1;
  PixelPacket* pixels = MutablePixels();
  if (pixels == nullptr) return 0;
  const int64_t columns = m_nCols;
  const int64_t rows = m_nRows;
  const uint64_t count = uint64_t(columns) * uint64_t(rows);

  // 1. The range of the red/green ratio over pixels with any red or green.
  float ratioMax = 0.0f, ratioMin = 255.0f;
  std::mutex merge;
  ForEachRange(count, 8, [&](uint64_t begin, uint64_t end) {
    float localMax = 0.0f, localMin = 255.0f;
    for (uint64_t i = begin; i < end; ++i) {
      if (pixels[i].red == 0 && pixels[i].green == 0) continue;
      const float ratio = RedGreenRatio(pixels[i].red, pixels[i].green);
      localMax = std::max(localMax, ratio);
      localMin = std::min(localMin, ratio);
    }
    std::lock_guard<std::mutex> lock(merge);
    ratioMax = std::max(ratioMax, localMax);
    ratioMin = std::min(ratioMin, localMin);
  });

  // 2. The threshold sits near the middle of the range, a little higher
  // when the range is wide.
  const float sum = ratioMin + ratioMax;
  const float spread = ratioMax - ratioMin;
  const float threshold = sum * (spread < 0.2105f ? 0.5005f : 0.53f);

  // 3. The red change each pixel asks for, already weighted for the box.
  ZeroedArray<float> weighted = MakeZeroed<float>(count);
  if (!weighted) return 0;
  ForEachRange(count, 8, [&](uint64_t begin, uint64_t end) {
    for (uint64_t i = begin; i < end; ++i) {
      const PixelPacket& p = pixels[i];
      float red = p.red;
      if ((p.red != 0 || p.green != 0) && RedGreenRatio(p.red, p.green) < threshold)
        red = std::floor((float(p.blue) + float(p.green) + 0.5f) * 0.5f);
      weighted[i] = (red - float(p.green)) * kBoxWeight;
    }
  });

  // 4 and 5. Blur (outside the region counts as 0) and set the new red.
  // Every blurred sample sums its 25 terms in scan order of their sources,
  // the order a scatter into an accumulator would add them.
  const int64_t lastRow = rows - kUntouchedMargin;
  const int64_t lastColumn = columns - kUntouchedMargin;
  const float* changes = weighted.get();
  auto body = [&](int64_t y) {
    if (y < kUntouchedMargin || y > lastRow) return;
    PixelPacket* row = pixels + y * columns;
    for (int64_t chunk = kUntouchedMargin; chunk <= lastColumn; chunk += kChunk) {
      const int64_t chunkEnd = std::min(chunk + kChunk, lastColumn + 1);
      float blurred[kChunk] = {};
      for (int64_t sy = y - kBoxRadius; sy <= y + kBoxRadius; ++sy) {
        if (sy < 0 || sy >= rows) continue;
        const float* source = changes + sy * columns;
        for (int64_t dx = -kBoxRadius; dx <= kBoxRadius; ++dx) {
          const int64_t from = std::max<int64_t>(chunk, -dx);
          const int64_t to = std::min<int64_t>(chunkEnd, columns - dx);
          for (int64_t x = from; x < to; ++x) blurred[x - chunk] += source[x + dx];
        }
      }
      for (int64_t x = chunk; x < chunkEnd; ++x) {
        const float v = std::clamp(blurred[x - chunk] + float(row[x].green), 0.0f, 255.0f);
        row[x].red = uint8_t(v);
      }
    }
  };
  const bool completed = ForEachRow(0, rows, count * 25, false, body,
                                    [&](int64_t y) { return ReportProgress(y, uint64_t(rows)); });
  return completed ? 1 : 0;
}
