#include "lorimomagick/lorimomagickfloat.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <vector>

#include "colormatrices.h"
#include "magickfloat.h"
#include "progress.h"
#include "rowrunner.h"
#include "samplefunctions.h"
#include "zerobuffer.h"

namespace {

// Pixels fetched from the image at a time.
constexpr uint64_t kReadChunkSamples = uint64_t(1) << 20;

// Cost estimates (sample operations) for the thread split.
constexpr uint64_t kCheapWork = 1;
constexpr uint64_t kPowWork = 16;

}  // namespace

CLorimoMagickFloat::CLorimoMagickFloat() : CLorimoMagick(1, 1) { Allocate(1, 1, 1); }

CLorimoMagickFloat::CLorimoMagickFloat(uint32_t columns, uint32_t rows, unsigned short planes)
    : CLorimoMagick(columns, rows) {
  Allocate(columns, rows, planes);
}

CLorimoMagickFloat::CLorimoMagickFloat(Magick::Image& image) {
  m_nPlanes = 3;
  m_nEndPlane = 3;
  try {
    m_nCols = image.columns();
    m_nRows = image.rows();
    if (!Allocate(m_nCols, m_nRows, 3)) return;
    const uint64_t columns = m_nCols;
    // Read in bands so that an image cached on disk is never copied whole.
    const uint64_t band = std::clamp<uint64_t>(kReadChunkSamples / columns, 1, m_nRows);
    float* red = Plane(0);
    float* green = Plane(1);
    float* blue = Plane(2);
    for (uint64_t y = 0; y < m_nRows; y += band) {
      const uint64_t height = std::min<uint64_t>(band, m_nRows - y);
      const Magick::PixelPacket* pixels =
          image.getConstPixels(0, int(y), m_nCols, unsigned(height));
      if (pixels == nullptr) {
        Release();
        return;
      }
      const uint64_t start = y * columns;
      ForEachRange(height * columns, kCheapWork, [&](uint64_t begin, uint64_t end) {
        for (uint64_t i = begin; i < end; ++i) {
          red[start + i] = QuantumToFloat(pixels[i].red);
          green[start + i] = QuantumToFloat(pixels[i].green);
          blue[start + i] = QuantumToFloat(pixels[i].blue);
        }
      });
    }
    const std::string name = image.magick();
    if (!name.empty()) magick(name.c_str());
  } catch (const std::exception&) {
    // An unreadable image leaves the container without data.
    Release();
  }
}

CLorimoMagickFloat::CLorimoMagickFloat(const CLorimoMagickFloat& other)
    : CLorimoMagick(other),
      m_nFirstPlane(other.m_nFirstPlane),
      m_nEndPlane(other.m_nEndPlane),
      m_nPlanes(other.m_nPlanes) {
  if (other.m_pData != nullptr && Allocate(m_nCols, m_nRows, m_nPlanes))
    std::memcpy(m_pData, other.m_pData, m_nPlanes * PlaneSize() * sizeof(float));
  m_nFirstPlane = other.m_nFirstPlane;
  m_nEndPlane = other.m_nEndPlane;
}

CLorimoMagickFloat::~CLorimoMagickFloat() { Release(); }

void CLorimoMagickFloat::Release() {
  ReleaseZeroed(m_pData);
  m_pData = nullptr;
}

bool CLorimoMagickFloat::Allocate(uint32_t columns, uint32_t rows, unsigned short planes) {
  Release();
  m_nCols = columns;
  m_nRows = rows;
  m_nPlanes = planes;
  m_nFirstPlane = 0;
  m_nEndPlane = planes;
  uint64_t samples = 0;
  if (MultiplyChecked(uint64_t(columns) * rows, planes, &samples))
    m_pData = static_cast<float*>(AllocateZeroed(samples, sizeof(float)));
  return m_pData != nullptr;
}

CLorimoMagickFloat& CLorimoMagickFloat::operator=(const CLorimoMagickFloat& other) {
  if (this == &other || other.m_pData == nullptr) return *this;
  const unsigned short selected = other.m_nEndPlane - other.m_nFirstPlane;
  if (m_nCols != other.m_nCols || m_nRows != other.m_nRows || m_nPlanes < selected ||
      m_pData == nullptr) {
    if (!Allocate(other.m_nCols, other.m_nRows, selected)) return *this;
  }
  // Never read past the source's last plane, even when this object selects
  // more planes than the source has from its first selected one.
  const unsigned count =
      std::min<unsigned>(m_nEndPlane - m_nFirstPlane, other.m_nPlanes - other.m_nFirstPlane);
  for (unsigned k = 0; k < count; ++k)
    std::memcpy(Plane(m_nFirstPlane + k), other.Plane(other.m_nFirstPlane + k),
                PlaneSize() * sizeof(float));
  return *this;
}

CLorimoMagickFloat& CLorimoMagickFloat::operator[](unsigned short channel) {
  if (m_nPlanes == 0) return *this;
  m_nFirstPlane = std::min<unsigned short>(channel, m_nPlanes - 1);
  m_nEndPlane = m_nFirstPlane + 1;
  return *this;
}

void CLorimoMagickFloat::Resize2(uint32_t columns, uint32_t rows) {
  if (columns == m_nCols && rows == m_nRows) return;
  const unsigned short first = m_nFirstPlane;
  const unsigned short end = m_nEndPlane;
  Allocate(columns, rows, m_nPlanes);
  if (m_nPlanes > 0) {
    m_nFirstPlane = std::min<unsigned short>(first, m_nPlanes - 1);
    m_nEndPlane = std::min<unsigned short>(end, m_nPlanes);
  }
}

float* CLorimoMagickFloat::AllocateMemory(const FLOATMATRIX* matrix, const float* source,
                                          size_t bytes) const {
  uint64_t samples = 0;
  const bool fits = matrix != nullptr ? MultiplyChecked(uint64_t(matrix->nColumns) * matrix->nRows,
                                                        matrix->nPlanes, &samples)
                                      : MultiplyChecked(PlaneSize(), m_nPlanes, &samples);
  if (!fits) return nullptr;
  float* buffer = static_cast<float*>(AllocateZeroed(samples, sizeof(float)));
  if (buffer != nullptr && source != nullptr) {
    const uint64_t size = samples * sizeof(float);
    // A count beyond the new buffer would overrun it: copy what fits.
    std::memcpy(buffer, source, size_t(bytes == 0 || bytes > size ? size : bytes));
  }
  return buffer;
}

void CLorimoMagickFloat::FreeMemory(float* buffer) {
  if (buffer == nullptr)
    Release();
  else
    ReleaseZeroed(buffer);
}

float* CLorimoMagickFloat::Plane(unsigned short plane) {
  return m_pData != nullptr && plane < m_nPlanes ? m_pData + plane * PlaneSize() : nullptr;
}

const float* CLorimoMagickFloat::Plane(unsigned short plane) const {
  return m_pData != nullptr && plane < m_nPlanes ? m_pData + plane * PlaneSize() : nullptr;
}

Magick::Image CLorimoMagickFloat::Pixels2Magick(bool bPlanar) const {
  if (m_pData == nullptr || PlaneSize() == 0) return Magick::Image();
  Magick::Image result;
  try {
    const float* red = nullptr;
    const float* green = nullptr;
    const float* blue = nullptr;
    uint64_t stride = 1;
    if (!bPlanar) {
      // Interleaved R, G, B needs three planes' worth of samples.
      if (m_nPlanes < 3) return Magick::Image();
      red = m_pData;
      green = m_pData + 1;
      blue = m_pData + 2;
      stride = 3;
    } else if (m_nFirstPlane + 3 <= m_nPlanes) {
      red = Plane(m_nFirstPlane);
      green = Plane(m_nFirstPlane + 1);
      blue = Plane(m_nFirstPlane + 2);
    }
    if (red != nullptr) {
      // The pixels Image::read(cols, rows, "RGB", FloatPixel) would make,
      // converted in place instead of through an interleaved copy.
      result = Magick::Image(Magick::Geometry(m_nCols, m_nRows), Magick::Color(0, 0, 0));
      result.modifyImage();
      result.type(Magick::TrueColorType);
      result.magick("MIFF");
      Magick::PixelPacket* pixels = result.setPixels(0, 0, m_nCols, m_nRows);
      if (pixels == nullptr) return Magick::Image();
      ForEachRange(PlaneSize(), kCheapWork, [&](uint64_t begin, uint64_t end) {
        for (uint64_t i = begin; i < end; ++i) {
          pixels[i].red = FloatToQuantum(red[i * stride]);
          pixels[i].green = FloatToQuantum(green[i * stride]);
          pixels[i].blue = FloatToQuantum(blue[i * stride]);
          pixels[i].opacity = OpaqueOpacity;
        }
      });
      result.syncPixels();
    } else {
      // Fewer than three planes from the selection: show the first as grey.
      result.read(m_nCols, m_nRows, "I", MagickLib::FloatPixel, Plane(m_nFirstPlane));
    }
  } catch (const std::exception&) {
    return Magick::Image();
  }
  if (have_mgk()) {
    try {
      result.magick(magick());
    } catch (const std::exception&) {
      // An unknown format name does not spoil the pixels.
    }
  }
  return result;
}

template <typename Fn>
void CLorimoMagickFloat::ForEachSelectedSample(Fn fn) {
  if (m_pData == nullptr || m_nFirstPlane >= m_nEndPlane) return;
  // The selected planes are one contiguous range.
  float* first = Plane(m_nFirstPlane);
  const uint64_t count = uint64_t(m_nEndPlane - m_nFirstPlane) * PlaneSize();
  ForEachRange(count, fn.kWork, [&](uint64_t begin, uint64_t end) {
    for (uint64_t i = begin; i < end; ++i) first[i] = fn(first[i]);
  });
}

namespace {

struct CAbs {
  static constexpr uint64_t kWork = kCheapWork;
  float operator()(float v) const { return std::fabs(v); }
};
struct CClip01 {
  static constexpr uint64_t kWork = kCheapWork;
  float operator()(float v) const { return Clip01Sample(v); }
};
// Samples read from an image are exact quantum levels; their linear values
// come from a table of the same formula, and any other value is computed.
struct CToLinear {
  static constexpr uint64_t kWork = kPowWork;
  const float* pTable = LinearTable();
  float operator()(float v) const {
    const float scaled = v * MaxRGBFloat;
    if (scaled >= 0.0f && scaled <= MaxRGBFloat) {
      const Magick::Quantum level = Magick::Quantum(std::lrint(scaled));
      if (QuantumToFloat(level) == v) return pTable[level];
    }
    return RGB709ToLinearSample(v);
  }
  static const float* LinearTable() {
    static const std::vector<float> table = [] {
      std::vector<float> values(size_t(MaxRGB) + 1);
      for (size_t level = 0; level < values.size(); ++level)
        values[level] = RGB709ToLinearSample(QuantumToFloat(Magick::Quantum(level)));
      return values;
    }();
    return table.data();
  }
};
struct CToNonlinear {
  static constexpr uint64_t kWork = kPowWork;
  float operator()(float v) const { return RGB709ToNonlinearSample(v); }
};

}  // namespace

void CLorimoMagickFloat::Abs() { ForEachSelectedSample(CAbs()); }

void CLorimoMagickFloat::Clip01() { ForEachSelectedSample(CClip01()); }

void CLorimoMagickFloat::RGB709NonLinearToRGB709Linear() { ForEachSelectedSample(CToLinear()); }

void CLorimoMagickFloat::RGB709LinearToRGB709Nonlinear() { ForEachSelectedSample(CToNonlinear()); }

int CLorimoMagickFloat::CompareWith(const CLorimoMagickFloat& other, bool bGreater) {
  if (m_pData == nullptr || other.m_pData == nullptr) return 0;
  // Samples only match between planes of the same size.
  if (m_nCols != other.m_nCols || m_nRows != other.m_nRows) return 0;
  const unsigned count =
      std::min<unsigned>(m_nEndPlane - m_nFirstPlane, other.m_nPlanes - other.m_nFirstPlane);
  const uint64_t size = PlaneSize();
  for (unsigned k = 0; k < count; ++k) {
    float* target = Plane(m_nFirstPlane + k);
    const float* operand = other.Plane(other.m_nFirstPlane + k);
    ForEachRange(size, kCheapWork, [&](uint64_t begin, uint64_t end) {
      if (bGreater) {
        for (uint64_t i = begin; i < end; ++i) target[i] = target[i] > operand[i] ? 1.0f : 0.0f;
      } else {
        for (uint64_t i = begin; i < end; ++i) target[i] = target[i] < operand[i] ? 1.0f : 0.0f;
      }
    });
  }
  return 1;
}

CLorimoMagickFloat& CLorimoMagickFloat::operator>(const CLorimoMagickFloat& other) {
  CompareWith(other, true);
  return *this;
}

CLorimoMagickFloat& CLorimoMagickFloat::operator<(const CLorimoMagickFloat& other) {
  CompareWith(other, false);
  return *this;
}

int CLorimoMagickFloat::Convolution2D(const float* kernel, int kernelRows, int kernelColumns) {
  if (m_pData == nullptr || kernel == nullptr || kernelRows <= 0 || kernelColumns <= 0) return 1;
  const int64_t rows = m_nRows;
  const int64_t columns = m_nCols;
  const int64_t outputRows = rows - kernelRows;  // offsets r < rows - kh
  const int64_t outputColumns = columns - kernelColumns;
  if (outputRows <= 0 || outputColumns <= 0) return 1;

  // True convolution: the kernel turned by 180 degrees.
  std::vector<float> rotated(size_t(kernelRows) * kernelColumns);
  for (int i = 0; i < kernelRows; ++i)
    for (int j = 0; j < kernelColumns; ++j)
      rotated[size_t(i) * kernelColumns + j] =
          kernel[size_t(kernelRows - 1 - i) * kernelColumns + (kernelColumns - 1 - j)];

  const unsigned selected = m_nEndPlane - m_nFirstPlane;
  const uint64_t size = PlaneSize();
  ZeroedArray<float> source = MakeZeroed<float>(selected * size);
  if (!source) return 0;
  std::memcpy(source.get(), Plane(m_nFirstPlane), selected * size * sizeof(float));

  for (unsigned k = 0; k < selected; ++k) {
    const float* input = source.get() + k * size;
    float* output = Plane(m_nFirstPlane + k);
    const uint64_t work = uint64_t(outputRows) * outputColumns * rotated.size();
    ForEachRow(
        0, outputRows, work, false,
        [&](int64_t r) {
          float* __restrict target = output + (r + kernelRows / 2) * columns + kernelColumns / 2;
          for (int64_t c = 0; c < outputColumns; ++c) target[c] = 0.0f;
          // Summed in kernel order, i then j, for every sample of the row at once.
          for (int i = 0; i < kernelRows; ++i) {
            for (int j = 0; j < kernelColumns; ++j) {
              const float weight = rotated[size_t(i) * kernelColumns + j];
              const float* __restrict line = input + (r + i) * columns + j;
              for (int64_t c = 0; c < outputColumns; ++c) target[c] += weight * line[c];
            }
          }
        },
        [](int64_t) { return true; });
  }
  return 1;
}

int CLorimoMagickFloat::ColorTwist3Channels(const float matrix[3][3]) {
  if (m_pData == nullptr) return 1;
  if (m_nPlanes < 3) return 0;
  float m[3][3];
  std::memcpy(m, matrix, sizeof(m));
  float* p0 = Plane(0);
  float* p1 = Plane(1);
  float* p2 = Plane(2);
  const int64_t columns = m_nCols;
  const int64_t rows = m_nRows;
  const bool completed = ForEachRow(
      0, rows, 3 * PlaneSize(), false,
      [&](int64_t y) {
        float* __restrict c0 = p0 + y * columns;
        float* __restrict c1 = p1 + y * columns;
        float* __restrict c2 = p2 + y * columns;
        for (int64_t x = 0; x < columns; ++x) {
          const float v0 = c0[x], v1 = c1[x], v2 = c2[x];
          c0[x] = TwistRow(m, 0, v0, v1, v2);
          c1[x] = TwistRow(m, 1, v0, v1, v2);
          c2[x] = TwistRow(m, 2, v0, v1, v2);
        }
      },
      [&](int64_t y) { return ReportProgress(y, uint64_t(rows)); });
  return completed ? 1 : 0;
}

int CLorimoMagickFloat::RGB709ToXYZ() { return ColorTwist3Channels(kRGB709ToXYZ); }

int CLorimoMagickFloat::XYZToLabD65() {
  if (m_pData == nullptr) return 1;
  if (m_nPlanes < 3) return 0;
  float* p0 = Plane(0);
  float* p1 = Plane(1);
  float* p2 = Plane(2);
  ForEachRange(PlaneSize(), 3 * kPowWork, [&](uint64_t begin, uint64_t end) {
    for (uint64_t i = begin; i < end; ++i) {
      const float fx = LabF(p0[i]);
      const float fy = LabF(p1[i]);
      const float fz = LabF(p2[i]);
      p0[i] = LabLightness(p1[i]);
      p1[i] = 500.0f * (fx - fy);
      p2[i] = 200.0f * (fy - fz);
    }
  });
  return 1;
}

int CLorimoMagickFloat::RGB709ToLabD65() {
  if (!RGB709ToXYZ()) return 0;
  return XYZToLabD65();
}
