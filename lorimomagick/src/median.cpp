#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "lorimomagick/lorimomagickmedian.h"
#include "progress.h"
#include "rowrunner.h"

namespace {

constexpr int kLevels = int(MaxRGB) + 1;
constexpr int kWords = (kLevels + 63) / 64;
constexpr int kSummaryWords = (kWords + 63) / 64;
constexpr int kMaxRadius = 100;

// The window's levels of one channel: a count per level, a bit per level
// present and a bit per 64-level word with any level present, so that the
// next present level above or below is a few bit scans away however sparse
// the window; with the current median m and the count of levels below it.
// A window holds at most kMaxRadius * 2 + 1 squared samples, so 16 bits
// count them.
struct tagCHANNELHISTOGRAM {
  uint16_t fine[kLevels];
  uint64_t bits[kWords];
  uint64_t summary[kSummaryWords];
  int m;
  int below;

  void Add(int v) {
    if (fine[v]++ == 0) {
      bits[v >> 6] |= uint64_t(1) << (v & 63);
      summary[v >> 12] |= uint64_t(1) << ((v >> 6) & 63);
    }
    if (v < m) ++below;
  }
  void Remove(int v) {
    if (--fine[v] == 0) {
      const int w = v >> 6;
      bits[w] &= ~(uint64_t(1) << (v & 63));
      if (!bits[w]) summary[w >> 6] &= ~(uint64_t(1) << (w & 63));
    }
    if (v < m) --below;
  }
  // The largest level below v that is present (v > 0 and one exists).
  int Previous(int v) const {
    int w = (v - 1) >> 6;
    const uint64_t m0 = bits[w] & (~uint64_t(0) >> (63 - ((v - 1) & 63)));
    if (m0) return w * 64 + 63 - __builtin_clzll(m0);
    // The words below w with a level present.
    for (int s = (w - 1) >> 6; w > 0 && s >= 0; --s) {
      const uint64_t mask =
          s == (w - 1) >> 6 ? ~uint64_t(0) >> (63 - ((w - 1) & 63)) : ~uint64_t(0);
      const uint64_t found = summary[s] & mask;
      if (found) {
        const int word = s * 64 + 63 - __builtin_clzll(found);
        return word * 64 + 63 - __builtin_clzll(bits[word]);
      }
    }
    return 0;
  }
  // The smallest level above v that is present (one exists).
  int Next(int v) const {
    if (v + 1 >= kLevels) return kLevels - 1;
    int w = (v + 1) >> 6;
    const uint64_t m0 = bits[w] & (~uint64_t(0) << ((v + 1) & 63));
    if (m0) return w * 64 + __builtin_ctzll(m0);
    for (int s = (w + 1) >> 6; w + 1 < kWords && s < kSummaryWords; ++s) {
      const uint64_t mask = s == (w + 1) >> 6 ? ~uint64_t(0) << ((w + 1) & 63) : ~uint64_t(0);
      const uint64_t found = summary[s] & mask;
      if (found) {
        const int word = s * 64 + __builtin_ctzll(found);
        return word * 64 + __builtin_ctzll(bits[word]);
      }
    }
    return kLevels - 1;
  }
  // Moves m to the level with `rank` levels below it in sorted order: the
  // smallest level whose count with the ones below exceeds rank.
  int Seek(int rank) {
    while (below > rank) {
      m = Previous(m);
      below -= fine[m];
    }
    while (below + fine[m] <= rank) {
      below += fine[m];
      m = Next(m);
    }
    return m;
  }
};

struct tagROWHISTOGRAMS {
  tagCHANNELHISTOGRAM channel[4];
};

inline Magick::Quantum Sample(const Magick::PixelPacket& p, int c) {
  switch (c) {
    case 0:
      return p.red;
    case 1:
      return p.green;
    case 2:
      return p.blue;
    default:
      return p.opacity;
  }
}

inline void SetSample(Magick::PixelPacket& p, int c, int v) {
  switch (c) {
    case 0:
      p.red = Magick::Quantum(v);
      break;
    case 1:
      p.green = Magick::Quantum(v);
      break;
    case 2:
      p.blue = Magick::Quantum(v);
      break;
    default:
      p.opacity = Magick::Quantum(v);
      break;
  }
}

}  // namespace

int LorimoMedianFilter(Magick::Image& image, double radius) {
  if (!image.isValid()) return 0;
  const int64_t cols = int64_t(image.columns());
  const int64_t rows = int64_t(image.rows());
  if (cols <= 0 || rows <= 0) return 1;
  // The library's kernel width for a radius (its sigma 0.5 width, 3, at 0).
  const int r = radius > 0 ? int(std::ceil(std::min(radius, double(kMaxRadius)))) : 1;
  const int width = 2 * r + 1;
  const int rank = width * width / 2;
  const int channels = image.matte() ? 4 : 3;

  try {
    Magick::Image source(image);
    source.modifyImage();
    const Magick::PixelPacket* in = source.getConstPixels(0, 0, size_t(cols), size_t(rows));
    // The result goes into a buffer first: the image changes only when done.
    std::vector<Magick::PixelPacket> out(size_t(cols * rows));
    const auto clampIndex = [](int64_t v, int64_t n) { return v < 0 ? 0 : v >= n ? n - 1 : v; };

    const auto body = [&](int64_t y) {
      // One set of histograms per thread, left empty after each row.
      thread_local std::unique_ptr<tagROWHISTOGRAMS> histograms;
      if (!histograms) {
        histograms.reset(new tagROWHISTOGRAMS);
        std::memset(histograms.get(), 0, sizeof(tagROWHISTOGRAMS));
      }
      tagROWHISTOGRAMS& h = *histograms;
      thread_local std::vector<const Magick::PixelPacket*> windowRows;
      windowRows.resize(size_t(width));
      for (int i = 0; i < width; ++i) windowRows[i] = in + clampIndex(y - r + i, rows) * cols;
      for (int c = 0; c < channels; ++c) {
        h.channel[c].m = 0;
        h.channel[c].below = 0;
      }
      const auto addColumn = [&](int64_t x, bool bAdd) {
        const int64_t cx = clampIndex(x, cols);
        for (int i = 0; i < width; ++i) {
          const Magick::PixelPacket& p = windowRows[i][cx];
          for (int c = 0; c < channels; ++c) {
            if (bAdd)
              h.channel[c].Add(Sample(p, c));
            else
              h.channel[c].Remove(Sample(p, c));
          }
        }
      };
      for (int64_t x = -r; x <= r; ++x) addColumn(x, true);
      Magick::PixelPacket* target = out.data() + y * cols;
      for (int64_t x = 0; x < cols; ++x) {
        if (x > 0) {
          addColumn(x - r - 1, false);
          addColumn(x + r, true);
        }
        Magick::PixelPacket pixel = windowRows[r][x];
        for (int c = 0; c < channels; ++c) SetSample(pixel, c, h.channel[c].Seek(rank));
        target[x] = pixel;
      }
      for (int64_t x = cols - 1 - r; x <= cols - 1 + r; ++x) addColumn(x, false);
    };
    const bool completed =
        ForEachRow(0, rows, uint64_t(cols) * uint64_t(rows) * uint64_t(width) * 2, false, body,
                   [&](int64_t y) { return ReportProgress(y, uint64_t(rows)); });
    if (!completed) return 0;
    image.modifyImage();
    Magick::PixelPacket* pixels = image.getPixels(0, 0, size_t(cols), size_t(rows));
    std::memcpy(pixels, out.data(), out.size() * sizeof(Magick::PixelPacket));
    image.syncPixels();
  } catch (const std::bad_alloc&) {
    return 0;
  } catch (const Magick::Exception&) {
    return 0;
  }
  return 1;
}
