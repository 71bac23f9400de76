#include "quantumpixels.h"

#include "rowrunner.h"

void ConvertFromQuantum(const Magick::PixelPacket* source, CPixel8* target, uint64_t count) {
  ForEachRange(count, 1, [&](uint64_t begin, uint64_t end) {
    for (uint64_t i = begin; i < end; ++i) target[i] = ToPixel8(source[i]);
  });
}

void ConvertToQuantum(const CPixel8* source, Magick::PixelPacket* target, uint64_t count) {
  ForEachRange(count, 1, [&](uint64_t begin, uint64_t end) {
    for (uint64_t i = begin; i < end; ++i) target[i] = ToQuantum(source[i]);
  });
}
