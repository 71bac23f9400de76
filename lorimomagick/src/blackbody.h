#pragma once
// Chromaticity of a black-body radiator, from Planck's law weighted by the
// CIE 1931 2-degree colour-matching functions (5 nm steps, 380-780 nm).

// (x, y, z) with x + y + z = 1 for the temperature in kelvin.
void BlackBodyChromaticity(double temperature, float* x, float* y, float* z);

// The colour-matching table: 81 rows of (x-bar, y-bar, z-bar).
extern const double kCIE1931ColourMatching[81][3];
