#pragma once
// Quanta to GraphicsMagick's floating-point pixel scale and back, by the
// same arithmetic as its FloatPixel import and export (Image::write and
// Image::read with "RGB"), so that converting here, in parallel and without
// an interleaved copy, gives the same pixels.

#include <Magick++.h>

inline float QuantumToFloat(Magick::Quantum q) { return float(q) / MaxRGBFloat; }

// Scaled in double, rounded half up; not-a-number and negatives give 0.
inline Magick::Quantum FloatToQuantum(float v) {
  const double scaled = MaxRGBDouble * double(v);
  if (!(scaled >= 0.0)) return 0;
  if (scaled > MaxRGBDouble) return MaxRGB;
  return Magick::Quantum(scaled + 0.5);
}
