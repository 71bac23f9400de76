#pragma once
// Rec. 709 primaries with the D65 white, row-major, applied to column vectors.

extern const float kRGB709ToXYZ[3][3];
extern const float kXYZToRGB709[3][3];

// Row k of m applied to (c0, c1, c2), in the order every caller must share
// so that equal inputs give bit-equal outputs.
inline float TwistRow(const float m[3][3], int k, float c0, float c1, float c2) {
  return m[k][0] * c0 + m[k][1] * c1 + m[k][2] * c2;
}
