// AQua2 enlargement: edge-directed, piecewise-planar interpolation. Every
// cell (the square between four neighbouring pixels) gets a centre value
// along its dominant diagonal and is cut into eight triangles; each output
// sample takes the plane through its triangle.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <numeric>
#include <string>
#include <vector>

#include "aqua2geometry.h"
#include "colormatrices.h"
#include "lorimomagick/lorimomagickfloat.h"
#include "progress.h"
#include "rowrunner.h"
#include "samplefunctions.h"
#include "zerobuffer.h"

#ifndef LORIMO_SUPPORT_CONTACT
#define LORIMO_SUPPORT_CONTACT "the Lorimo developers"
#endif

namespace {

// Second differences across columns, across rows and along both diagonals,
// and the 3 x 3 box (a sum, not a mean).
const float kSecondDifferenceH[9] = {0, 0, 0, 1, -2, 1, 0, 0, 0};
const float kSecondDifferenceV[9] = {0, 1, 0, 0, -2, 0, 0, 1, 0};
const float kSecondDifferenceAnti[9] = {0, 0, 1, 0, -2, 0, 1, 0, 0};
const float kSecondDifferenceMain[9] = {1, 0, 0, 0, -2, 0, 0, 0, 1};
const float kBox[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};

constexpr int kLabelSteps = 14;

enum LabelResult { kLabelOutOfMemory = -1, kLabelCancelled = 0, kLabelDone = 1 };

// plane := B * |kernel * plane|, reporting the three steps from firstStep.
LabelResult Energy(CLorimoMagickFloat& plane, const float* kernel, int firstStep) {
  if (!plane.Convolution2D(kernel, 3, 3)) return kLabelOutOfMemory;
  if (!ReportProgress(firstStep, kLabelSteps)) return kLabelCancelled;
  plane.Abs();
  if (!ReportProgress(firstStep + 1, kLabelSteps)) return kLabelCancelled;
  if (!plane.Convolution2D(kBox, 3, 3)) return kLabelOutOfMemory;
  if (!ReportProgress(firstStep + 2, kLabelSteps)) return kLabelCancelled;
  return kLabelDone;
}

const std::string& OutOfMemoryText() {
  static const std::string text =
      std::string("Lorimo could not allocate memory for the resized image.\nPlease contact ") +
      LORIMO_SUPPORT_CONTACT + " or try a smaller resize percentage.";
  return text;
}

// Points of a cell in cell units: corners, neighbour centres, own centre.
enum CellPoint { kTL, kTR, kBR, kBL, kUp, kRight, kDown, kLeft, kCentre, kPointCount };

// The two points besides the centre that span each sector's plane, for an
// edge-end label of 0 and of 1.
const CellPoint kSectorPoints[8][2][2] = {
    {{kBR, kRight}, {kTR, kBR}},  // 0: right edge, lower half
    {{kBR, kBL}, {kBR, kDown}},   // 1: bottom edge, right half
    {{kBL, kLeft}, {kTL, kBL}},   // 2: left edge, lower half
    {{kBR, kBL}, {kBL, kDown}},   // 3: bottom edge, left half
    {{kTR, kRight}, {kTR, kBR}},  // 4: right edge, upper half
    {{kTL, kTR}, {kTR, kUp}},     // 5: top edge, right half
    {{kTL, kLeft}, {kTL, kBL}},   // 6: left edge, upper half
    {{kTL, kTR}, {kTL, kUp}},     // 7: top edge, left half
};

// The distinct sample grids of the cells along one axis.
struct CSampleGrids {
  int64_t nPeriod;               // cell j uses grid j % nPeriod
  std::vector<int64_t> offsets;  // per grid: its first sample in the sector table
  int64_t nTotal;                // samples of all grids together
};

// Sample grids along an axis of `cells` cells spanning `span` units each,
// with a sample every `step` units.
CSampleGrids MakeSampleGrids(int64_t span, int64_t step, int64_t cells) {
  CSampleGrids grids;
  const int64_t period = step / std::gcd(span, step);
  grids.nPeriod = std::min(period, cells);
  grids.offsets.reserve(size_t(grids.nPeriod));
  grids.nTotal = 0;
  for (int64_t g = 0; g < grids.nPeriod; ++g) {
    grids.offsets.push_back(grids.nTotal);
    grids.nTotal += AQua2CellAxis(span, step, g).nSamples;
  }
  return grids;
}

// Largest sector table worth keeping; beyond it samples are classified one by one.
constexpr int64_t kMaximumSectorTable = int64_t(1) << 22;
std::atomic<int64_t> gnSectorTableLimit{kMaximumSectorTable};

struct CSectorPlane {
  float nx[3];
  float ny[3];
  float nz;
  float d[3];
};

}  // namespace

int64_t SetAQua2SectorTableLimit(int64_t entries) {
  return gnSectorTableLimit.exchange(entries < 0 ? kMaximumSectorTable : entries);
}

struct CLorimoMagickFloat::AQUA2ZOOM {
  const float* pInput[3];
  const float* pCentre[3];
  const float* pLabel;
  float* pOutput;
  int64_t nColumns, nRows;
  int64_t nOutColumns, nOutRows;
  std::vector<CAQua2Axis> columnAxis;  // per cell column
  std::vector<CAQua2Axis> rowAxis;     // per cell row
  // Cells repeat their sample grid every b / gcd(a, b) columns (and
  // d / gcd(c, d) rows). The sector of every sample of every grid is worked
  // out once; an empty table means classifying each sample as it comes.
  CSampleGrids columnGrids;
  CSampleGrids rowGrids;
  std::vector<uint8_t> sectorTable;
  float fPointX[kPointCount];
  float fPointY[kPointCount];
  float fHalfA, fHalfC;
  float fSlope;  // |c / a|: steeper samples belong to the top and bottom sectors
  int nA, nB, nC, nD;
};

namespace {

// Sector of a sample: steep + 2 (left half) + 4 (top half). u on the centre
// column gives an infinite slope (steep); the centre itself gives 0/0, which
// compares false (not steep).
inline int SectorOf(float u, float v, float halfA, float halfC, float slope) {
  const float du = u - halfA;
  const float dv = v - halfC;
  const int xl = du < 0.0f ? 2 : 0;
  const int yt = dv < 0.0f ? 4 : 0;
  const int steep = slope < std::fabs(dv / du) ? 1 : 0;
  return steep + xl + yt;
}

}  // namespace

int CLorimoMagickFloat::IAQua2All(int a, int b, int c, int d, int e) {
  if (a <= 0 || b <= 0 || c <= 0 || d <= 0) return 0;
  if (m_pData == nullptr || m_nPlanes < 3) return 0;
  const uint64_t outColumns = uint64_t(m_nCols) * uint64_t(a) / uint64_t(b);
  const uint64_t outRows = uint64_t(m_nRows) * uint64_t(c) / uint64_t(d);
  if (outColumns == 0 || outRows == 0) return 0;  // nothing would be left to show
  // Fail before the long labelling when the output can never fit.
  if (outColumns > UINT32_MAX || outRows > UINT32_MAX ||
      !FitsInMemory(outColumns * outRows, uint64_t(m_nPlanes) * sizeof(float)))
    return FailOutOfMemory();

  CLorimoMagickFloat lh(m_nCols, m_nRows, 1);
  CLorimoMagickFloat ld(m_nCols, m_nRows, 1);
  if (!lh.HasData() || !ld.HasData()) return FailOutOfMemory();
  const int labelled = IAQua2DirLabel(lh, ld, e);
  if (labelled == kLabelOutOfMemory) return FailOutOfMemory();
  if (labelled == kLabelCancelled) return 0;

  CLorimoMagickFloat cc(m_nCols, m_nRows, 3);
  if (!cc.HasData()) return FailOutOfMemory();
  if (!IAQua2CalculateCenters(cc, ld)) return 0;
  ld.FreeMemory(nullptr);
  return IAQua2Zoom(cc, lh, a, b, c, d);
}

int CLorimoMagickFloat::FailOutOfMemory() {
  Release();
  ShowMessage(OutOfMemoryText().c_str(), "Memory Allocation Error!");
  return 0;
}

int CLorimoMagickFloat::IAQua2DirLabel(CLorimoMagickFloat& lh, CLorimoMagickFloat& ld,
                                       int e) const {
  (void)e;  // kept for callers; the labelling has no parameter
  // Only the lightness of the Lab conversion is used, and it depends on Y
  // alone; the stored (gamma-encoded) values are fed in directly. The same
  // formulas as RGB709ToXYZ and XYZToLabD65 give the same bits.
  const float* red = Plane(0);
  const float* green = Plane(1);
  const float* blue = Plane(2);
  float* lightness = lh.Plane(0);
  ForEachRange(PlaneSize(), 16, [&](uint64_t begin, uint64_t end) {
    for (uint64_t i = begin; i < end; ++i)
      lightness[i] = LabLightness(TwistRow(kRGB709ToXYZ, 1, red[i], green[i], blue[i]));
  });
  if (!ReportProgress(1, kLabelSteps)) return kLabelCancelled;

  CLorimoMagickFloat t(m_nCols, m_nRows, 1);
  if (!t.HasData()) return kLabelOutOfMemory;
  ld = lh;
  t = lh;

  LabelResult result = Energy(lh, kSecondDifferenceH, 2);  // across columns
  if (result != kLabelDone) return result;
  result = Energy(ld, kSecondDifferenceV, 5);  // across rows
  if (result != kLabelDone) return result;
  lh > ld;
  if (!ReportProgress(8, kLabelSteps)) return kLabelCancelled;

  ld = t;
  result = Energy(ld, kSecondDifferenceAnti, 9);
  if (result != kLabelDone) return result;
  result = Energy(t, kSecondDifferenceMain, 12);
  if (result != kLabelDone) return result;
  ld > t;
  return kLabelDone;
}

int CLorimoMagickFloat::IAQua2CalculateCenters(CLorimoMagickFloat& cc,
                                               const CLorimoMagickFloat& ld) const {
  const int64_t columns = m_nCols;
  const int64_t rows = m_nRows;
  if (rows < 2 || columns < 2) return 1;
  const float* diagonal = ld.Plane(0);
  return ForEachRow(
      0, rows - 1, 3 * PlaneSize(), false,
      [&](int64_t i) {
        for (int p = 0; p < 3; ++p) {
          const float* top = Plane(p) + i * columns;
          const float* bottom = top + columns;
          const float* label = diagonal + i * columns;
          float* centre = cc.Plane(p) + i * columns;
          for (int64_t j = 0; j < columns - 1; ++j)
            centre[j] = label[j] == 0.0f ? (bottom[j] + top[j + 1]) * 0.5f
                                         : (bottom[j + 1] + top[j]) * 0.5f;
        }
      },
      [&](int64_t i) { return ReportProgress(i, uint64_t(rows)); });
}

int CLorimoMagickFloat::IAQua2Zoom(const CLorimoMagickFloat& cc, const CLorimoMagickFloat& lh,
                                   int a, int b, int c, int d) {
  const int64_t columns = m_nCols;
  const int64_t rows = m_nRows;
  const uint64_t outColumns = uint64_t(columns) * uint64_t(a) / uint64_t(b);
  const uint64_t outRows = uint64_t(rows) * uint64_t(c) / uint64_t(d);

  // The input planes stay readable until the output is complete; nothing
  // needs copying because the output is a new buffer.
  float* output = static_cast<float*>(
      AllocateZeroed(outColumns * outRows, uint64_t(m_nPlanes) * sizeof(float)));
  if (output == nullptr) {
    m_nCols = uint32_t(outColumns);
    m_nRows = uint32_t(outRows);
    return FailOutOfMemory();
  }

  AQUA2ZOOM zoom;
  try {
    for (int p = 0; p < 3; ++p) {
      zoom.pInput[p] = Plane(p);
      zoom.pCentre[p] = cc.Plane(p);
    }
    zoom.pLabel = lh.Plane(0);
    zoom.pOutput = output;
    zoom.nColumns = columns;
    zoom.nRows = rows;
    zoom.nOutColumns = int64_t(outColumns);
    zoom.nOutRows = int64_t(outRows);
    zoom.nA = a;
    zoom.nB = b;
    zoom.nC = c;
    zoom.nD = d;
    zoom.columnAxis.reserve(size_t(columns));
    for (int64_t j = 0; j < columns; ++j) zoom.columnAxis.push_back(AQua2CellAxis(a, b, j));
    zoom.rowAxis.reserve(size_t(rows));
    for (int64_t i = 0; i < rows; ++i) zoom.rowAxis.push_back(AQua2CellAxis(c, d, i));
    const float fa = float(a);
    const float fc = float(c);
    zoom.fHalfA = fa / 2.0f;
    zoom.fHalfC = fc / 2.0f;
    zoom.fSlope = std::fabs(fc / fa);
    const float x[kPointCount] = {0.0f,      fa,          fa,           0.0f,       zoom.fHalfA,
                                  1.5f * fa, zoom.fHalfA, -zoom.fHalfA, zoom.fHalfA};
    const float y[kPointCount] = {0.0f,        0.0f,      fc,          fc,         -zoom.fHalfC,
                                  zoom.fHalfC, 1.5f * fc, zoom.fHalfC, zoom.fHalfC};
    std::memcpy(zoom.fPointX, x, sizeof(x));
    std::memcpy(zoom.fPointY, y, sizeof(y));

    zoom.columnGrids = MakeSampleGrids(a, b, columns);
    zoom.rowGrids = MakeSampleGrids(c, d, rows);
    const int64_t totalU = zoom.columnGrids.nTotal;
    const int64_t totalV = zoom.rowGrids.nTotal;
    if (totalU > 0 && totalV > 0 && totalU <= gnSectorTableLimit.load() / totalV) {
      // Grid (gu, gv) holds its samples u-major at rowOffset * totalU + columnOffset * nv.
      zoom.sectorTable.resize(size_t(totalU * totalV));
      for (int64_t gv = 0; gv < zoom.rowGrids.nPeriod; ++gv) {
        const CAQua2Axis down = AQua2CellAxis(c, d, gv);
        for (int64_t gu = 0; gu < zoom.columnGrids.nPeriod; ++gu) {
          const CAQua2Axis across = AQua2CellAxis(a, b, gu);
          uint8_t* block = zoom.sectorTable.data() + zoom.rowGrids.offsets[size_t(gv)] * totalU +
                           zoom.columnGrids.offsets[size_t(gu)] * down.nSamples;
          for (int64_t k = 0; k < across.nSamples; ++k)
            for (int64_t m = 0; m < down.nSamples; ++m)
              block[k * down.nSamples + m] = uint8_t(
                  SectorOf(float(across.nFirstOffset + k * b), float(down.nFirstOffset + m * d),
                           zoom.fHalfA, zoom.fHalfC, zoom.fSlope));
        }
      }
    }
  } catch (const std::bad_alloc&) {
    ReleaseZeroed(output);
    return FailOutOfMemory();
  }

  const uint64_t work = uint64_t(columns) * uint64_t(rows) * 64 + outColumns * outRows * 16;
  const bool completed = ForEachRow(
      1, rows - 1, work, true,
      [&](int64_t i) {
        for (int64_t j = 1; j < columns - 1; ++j) IAQua2Block(zoom, i, j);
      },
      [&](int64_t i) { return ReportProgress(i, uint64_t(rows)); });

  if (!completed) {
    // Cancelled: keep the image as it was rather than a partly black one.
    ReleaseZeroed(output);
    return 0;
  }
  Release();
  m_pData = output;
  m_nCols = uint32_t(outColumns);
  m_nRows = uint32_t(outRows);
  return 1;
}

void CLorimoMagickFloat::IAQua2Block(const AQUA2ZOOM& zoom, int64_t i, int64_t j) {
  const CAQua2Axis& across = zoom.columnAxis[size_t(j)];
  const CAQua2Axis& down = zoom.rowAxis[size_t(i)];
  // A shrinking factor can put the last samples past the output's edge.
  const int64_t countU = std::min(across.nSamples, zoom.nOutColumns - across.nFirstPixel);
  const int64_t countV = std::min(down.nSamples, zoom.nOutRows - down.nFirstPixel);
  if (countU <= 0 || countV <= 0) return;

  const int64_t columns = zoom.nColumns;
  const int64_t top = i * columns + j;
  const int64_t bottom = top + columns;

  // Edge-end labels of the sectors: 0-1 bottom right, 2-3 bottom left,
  // 4-5 top right, 6-7 top left.
  const float* label = zoom.pLabel;
  const int cornerLabel[4] = {int(label[bottom + 1]) != 0, int(label[bottom]) != 0,
                              int(label[top + 1]) != 0, int(label[top]) != 0};
  // Centres exist for cells up to the second-to-last row and column; next
  // to the last ones the edge itself spans the plane instead of a missing
  // (zero) neighbour centre.
  const bool hasRight = j + 1 < columns - 1;
  const bool hasDown = i + 1 < zoom.nRows - 1;
  int choice[8];
  for (int s = 0; s < 8; ++s) choice[s] = cornerLabel[s / 2];
  if (!hasRight) choice[0] = choice[4] = 1;
  if (!hasDown) choice[1] = choice[3] = 0;

  float value[3][kPointCount];
  for (int p = 0; p < 3; ++p) {
    const float* in = zoom.pInput[p];
    const float* cc = zoom.pCentre[p];
    value[p][kTL] = in[top];
    value[p][kTR] = in[top + 1];
    value[p][kBR] = in[bottom + 1];
    value[p][kBL] = in[bottom];
    value[p][kCentre] = cc[top];
    value[p][kUp] = cc[top - columns];
    value[p][kRight] = cc[top + 1];
    value[p][kDown] = cc[bottom];
    value[p][kLeft] = cc[top - 1];
  }

  // The sector of each sample, from the table or worked out here.
  const uint8_t* sectors = nullptr;
  if (!zoom.sectorTable.empty()) {
    const size_t gu = size_t(j % zoom.columnGrids.nPeriod);
    const size_t gv = size_t(i % zoom.rowGrids.nPeriod);
    sectors = zoom.sectorTable.data() + zoom.rowGrids.offsets[gv] * zoom.columnGrids.nTotal +
              zoom.columnGrids.offsets[gu] * down.nSamples;
  }
  auto sectorAt = [&](int64_t k, int64_t m, float u, float v) {
    return sectors != nullptr ? int(sectors[k * down.nSamples + m])
                              : SectorOf(u, v, zoom.fHalfA, zoom.fHalfC, zoom.fSlope);
  };

  // Planes only for the sectors that hold samples.
  unsigned needed = 0;
  for (int64_t k = 0; k < countU; ++k)
    for (int64_t m = 0; m < countV; ++m)
      needed |= 1u << sectorAt(k, m, float(across.nFirstOffset + k * zoom.nB),
                               float(down.nFirstOffset + m * zoom.nD));
  CSectorPlane planes[8];
  const float* px = zoom.fPointX;
  const float* py = zoom.fPointY;
  for (int s = 0; s < 8; ++s) {
    if ((needed & (1u << s)) == 0) continue;
    CSectorPlane& plane = planes[s];
    const CellPoint first = kSectorPoints[s][choice[s]][0];
    const CellPoint second = kSectorPoints[s][choice[s]][1];
    // N = (P2 - P1) x (P3 - P1), D = N . P1 with P3 the cell centre.
    const float e1x = px[second] - px[first], e1y = py[second] - py[first];
    const float e2x = px[kCentre] - px[first], e2y = py[kCentre] - py[first];
    plane.nz = e1x * e2y - e1y * e2x;
    for (int p = 0; p < 3; ++p) {
      const float e1z = value[p][second] - value[p][first];
      const float e2z = value[p][kCentre] - value[p][first];
      plane.nx[p] = e1y * e2z - e1z * e2y;
      plane.ny[p] = e1z * e2x - e1x * e2z;
      plane.d[p] = plane.nx[p] * px[first] + plane.ny[p] * py[first] + plane.nz * value[p][first];
    }
  }

  const int64_t outColumns = zoom.nOutColumns;
  for (int64_t m = 0; m < countV; ++m) {
    const float v = float(down.nFirstOffset + m * zoom.nD);
    float* target = zoom.pOutput + ((down.nFirstPixel + m) * outColumns + across.nFirstPixel) * 3;
    for (int64_t k = 0; k < countU; ++k, target += 3) {
      const float u = float(across.nFirstOffset + k * zoom.nB);
      const CSectorPlane& plane = planes[sectorAt(k, m, u, v)];
      for (int p = 0; p < 3; ++p)
        target[p] = (plane.d[p] - plane.nx[p] * u - plane.ny[p] * v) / plane.nz;
    }
  }
}
