#pragma once
// The red/green ratio that tells a red pupil from its surroundings.

#include <cmath>
#include <cstdint>

// (R + G) / |(R, G)|: 1 for pure red or pure green, sqrt(2) when R = G.
// Undefined for R = G = 0; callers skip those pixels.
inline float RedGreenRatio(uint8_t red, uint8_t green) {
  const float r = red, g = green;
  return (r + g) / std::sqrt(r * r + g * g);
}
