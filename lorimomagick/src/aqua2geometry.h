#pragma once
// Where the output samples of one AQua2 cell fall. Along one axis a cell
// spans `span` units (the enlargement numerator) and an output pixel `step`
// units (the denominator); cell `index` starts at span * index.

#include <cstdint>

struct CAQua2Axis {
  int64_t nFirstPixel;   // output pixel of the cell's first sample
  int64_t nFirstOffset;  // that sample's offset inside the cell, in units
  int64_t nSamples;      // samples at nFirstOffset, + step, ... below span
};

inline CAQua2Axis AQua2CellAxis(int64_t span, int64_t step, int64_t index) {
  const int64_t start = span * index;
  const int64_t remainder = start % step;
  CAQua2Axis axis;
  axis.nFirstPixel = start / step + (remainder != 0 ? 1 : 0);
  axis.nFirstOffset = (step - remainder) % step;
  axis.nSamples = axis.nFirstOffset < span ? (span - 1 - axis.nFirstOffset) / step + 1 : 0;
  return axis;
}

// Caps the entries of the per-grid sector table (negative: the default);
// returns the previous cap. Lets tests compare the table with classifying
// every sample on its own.
int64_t SetAQua2SectorTableLimit(int64_t entries);
