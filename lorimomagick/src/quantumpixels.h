#pragma once
// The boundary between GraphicsMagick's pixels, whose quanta may be deeper
// than 8 bits, and the 8-bit blue, green, red, opacity packets of
// CLorimoMagickQuantum. Scaling uses GraphicsMagick's own rules.

#include <cstdint>

#include "lorimomagick/lorimomagickquantum.h"

using CPixel8 = CLorimoMagickQuantum::PixelPacket;

// With 8-bit quanta in blue, green, red, opacity order the image's pixels
// can be read in place.
#if QuantumDepth == 8 && defined(MAGICK_PIXELS_BGRA)
constexpr bool kQuantumIsPixelPacket = true;
#else
constexpr bool kQuantumIsPixelPacket = false;
#endif

inline CPixel8* AsPixelPackets(const Magick::PixelPacket* pixels) {
  return reinterpret_cast<CPixel8*>(const_cast<Magick::PixelPacket*>(pixels));
}

inline CPixel8 ToPixel8(const Magick::PixelPacket& pixel) {
  return CPixel8{uint8_t(ScaleQuantumToChar(pixel.blue)), uint8_t(ScaleQuantumToChar(pixel.green)),
                 uint8_t(ScaleQuantumToChar(pixel.red)),
                 uint8_t(ScaleQuantumToChar(pixel.opacity))};
}

inline Magick::PixelPacket ToQuantum(const CPixel8& pixel) {
  using MagickLib::Quantum;  // named by the scaling macro
  Magick::PixelPacket result;
  result.blue = ScaleCharToQuantum(pixel.blue);
  result.green = ScaleCharToQuantum(pixel.green);
  result.red = ScaleCharToQuantum(pixel.red);
  result.opacity = ScaleCharToQuantum(pixel.opacity);
  return result;
}

void ConvertFromQuantum(const Magick::PixelPacket* source, CPixel8* target, uint64_t count);
void ConvertToQuantum(const CPixel8* source, Magick::PixelPacket* target, uint64_t count);
