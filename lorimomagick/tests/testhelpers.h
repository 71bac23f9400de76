#pragma once
// Small images and progress handlers shared by the LorimoMagick tests.

#include <cstdint>
#include <functional>
#include <vector>

#include <Magick++.h>

#include "lorimomagick/lorimomagickfloat.h"

namespace lorimotest {

// A float container of cols x rows with plane p filled by value(p, y, x).
CLorimoMagickFloat MakePlanes(uint32_t cols, uint32_t rows, unsigned short planes,
                              const std::function<float(int, int, int)>& value);

// Sample (p, y, x) of a planar container.
float At(const CLorimoMagickFloat& image, int p, int y, int x);

// An 8-bit-valued true-colour image whose pixel (x, y) is colour(x, y) as
// 0xRRGGBB.
Magick::Image MakeImage(unsigned cols, unsigned rows,
                        const std::function<uint32_t(int, int)>& colour);

// Installs a GraphicsMagick monitor handler for the lifetime of the object
// that records every (quantum, span) and answers with stop(call index).
class CMonitorScope {
 public:
  struct Call {
    int64_t quantum;
    uint64_t span;
  };
  explicit CMonitorScope(std::function<bool(size_t)> goOn = [](size_t) { return true; });
  ~CMonitorScope();
  const std::vector<Call>& Calls() const;
};

// Runs with the thread cap set, restoring it afterwards.
class CWorkerLimitScope {
 public:
  explicit CWorkerLimitScope(unsigned limit);
  ~CWorkerLimitScope();

 private:
  unsigned m_nPrevious;
};

}  // namespace lorimotest
