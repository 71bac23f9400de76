#pragma once
// Per-sample formulas shared by the plane operations and the AQua2
// labelling, so that both give bit-equal results. Single precision.

#include <cmath>

// >= 1 becomes 1; <= 0 and not-a-number become 0.
inline float Clip01Sample(float v) {
  if (v >= 1.0f) return 1.0f;
  return v > 0.0f ? v : 0.0f;
}

// Rec. 709 non-linear to linear. The exponent is 2.22 rather than 1/0.45,
// so a round trip is not exact (0.5 comes back as about 0.5004).
inline float RGB709ToLinearSample(float v) {
  if (v >= 0.081f) return std::pow((v + 0.099f) * 0.9099181f, 2.22f);
  if (v <= -0.081f) return -std::pow((-v + 0.099f) * 0.9099181f, 2.22f);
  return v * 0.22222222f;
}

inline float RGB709ToNonlinearSample(float v) {
  if (v >= 0.018f) return 1.099f * std::pow(v, 0.45f) - 0.099f;
  if (v <= -0.018f) return 0.099f - 1.099f * std::pow(-v, 0.45f);
  return 4.5f * v;
}

// Lab from XYZ without dividing by a reference white. The lightness and the
// chroma function use different cube-root exponents (0.3333 and 0.33333).
inline float LabLightness(float y) {
  return y <= 0.008856f ? 903.3f * y : 116.0f * std::pow(y, 0.3333f) - 16.0f;
}

inline float LabF(float t) { return t > 0.008856f ? std::pow(t, 0.33333f) : 7.787f * t; }
