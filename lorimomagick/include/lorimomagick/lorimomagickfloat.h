#pragma once
// Planar single-precision pixels: one contiguous plane per channel, values
// on GraphicsMagick's 0.0-1.0 scale. Colour-space conversions, convolution,
// white balance and the AQua2 enlargement run on it.
//
// Sample (plane p, row y, column x) lies at p * rows * cols + y * cols + x.
// The plane selection [first, end) says which planes the per-plane
// operations touch. An object without data (allocation failed) is valid and
// every operation on it does nothing. One thread at a time.

#include <cstddef>
#include <cstdint>

#include "lorimomagick/lorimomagick.h"

class CLorimoMagickFloat : public CLorimoMagick {
 public:
  // Three dimensions whose product is an element count (AllocateMemory).
  struct FLOATMATRIX {
    uint32_t nColumns;
    uint32_t nRows;
    uint32_t nPlanes;
  };

  // Passed by value; callers set the fields a mode does not read to 0.
  struct WHITE_BALANCE_OPTIONS {
    int nMode;            // 0: pixel (nX, nY); 1: (fRed, fGreen, fBlue); 2: fTemperature
    uint32_t dwReserved;  // not read
    float fTemperature;   // kelvin
    int nX;               // column of the sampled pixel
    int nY;               // row of the sampled pixel
    float fRed;           // source white, 0.0-1.0
    float fGreen;
    float fBlue;
    bool bLinear;  // adapt in linear light
  };

  // 1 x 1, one plane.
  CLorimoMagickFloat();
  // R, G, B planes of the image; no data when it cannot be read.
  explicit CLorimoMagickFloat(Magick::Image& image);
  // Zero-filled planes.
  CLorimoMagickFloat(uint32_t columns, uint32_t rows, unsigned short planes);
  CLorimoMagickFloat(const CLorimoMagickFloat& other);
  ~CLorimoMagickFloat() override;

  // Copies the source's selected planes into this object's selected planes,
  // reallocating to the source's selected plane count when the dimensions
  // differ or this object has too few planes.
  CLorimoMagickFloat& operator=(const CLorimoMagickFloat& other);
  // Selects the single plane min(channel, planes - 1).
  CLorimoMagickFloat& operator[](unsigned short channel);

  // New dimensions with zero-filled contents (no resampling).
  void Resize2(uint32_t columns, uint32_t rows);
  // A zero-filled buffer owned by the caller (release it with FreeMemory):
  // the matrix's element count, or planes * rows * cols without a matrix;
  // the first `bytes` (0: all) are copied from source when one is given.
  float* AllocateMemory(const FLOATMATRIX* matrix, const float* source, size_t bytes) const;
  // Releases a buffer of AllocateMemory; null releases this object's data.
  void FreeMemory(float* buffer);

  // bPlanar true: the planes from the first selected one are interleaved as
  // R, G, B (a single plane gives a grey image). False: the data is already
  // interleaved R, G, B (the AQua2 result).
  Magick::Image Pixels2Magick(bool bPlanar) const override;

  bool HasData() const { return m_pData != nullptr; }
  unsigned short planes() const { return m_nPlanes; }
  unsigned short FirstSelectedPlane() const { return m_nFirstPlane; }
  unsigned short SelectionEnd() const { return m_nEndPlane; }
  // Start of a plane, or null without data or beyond the last plane.
  float* Plane(unsigned short plane);
  const float* Plane(unsigned short plane) const;

  // Per-plane operations on the selected planes.
  void Abs();
  // >= 1 becomes 1; <= 0 and not-a-number become 0.
  void Clip01();
  // 1.0 where this sample is greater (less) than the other's, else 0.0;
  // the other's planes are taken from its first selected plane onwards.
  CLorimoMagickFloat& operator>(const CLorimoMagickFloat& other);
  CLorimoMagickFloat& operator<(const CLorimoMagickFloat& other);
  // True convolution with a row-major kernel. Only offsets r < rows - kh and
  // c < cols - kw are computed; the other samples keep their values.
  // 1 when done (or nothing to do), 0 when scratch memory is missing.
  int Convolution2D(const float* kernel, int kernelRows, int kernelColumns);
  // Rec. 709 transfer functions (exponent 2.22 one way, 0.45 the other).
  void RGB709NonLinearToRGB709Linear();
  void RGB709LinearToRGB709Nonlinear();

  // Operations on planes 0, 1, 2 whatever the selection. 1 when done (or
  // without data), 0 when cancelled through the progress monitor or when
  // the object has fewer than three planes.
  int ColorTwist3Channels(const float matrix[3][3]);
  int RGB709ToXYZ();
  int XYZToLabD65();
  int RGB709ToLabD65();

  // Von Kries adaptation of a source white onto D65. 1 when processed; 0
  // without data, with an unusable source white (pixel outside the image,
  // temperature not above zero, unknown mode; nothing is changed then), or
  // when cancelled (the image is then partly balanced: do not use it).
  int WhiteBalance(WHITE_BALANCE_OPTIONS options);

  // Enlarges by a/b horizontally and c/d vertically with AQua2 (e is not
  // used). The result is interleaved R, G, B: convert it with
  // Pixels2Magick(false). 1 when enlarged. 0, with the object unchanged,
  // when cancelled through the progress monitor, when a factor is not
  // positive or leaves no output, or with fewer than three planes. 0 when
  // the output does not fit in memory: the message is shown and the object
  // is left without data.
  int IAQua2All(int a, int b, int c, int d, int e);

 private:
  struct AQUA2ZOOM;

  uint64_t PlaneSize() const { return uint64_t(m_nCols) * m_nRows; }
  void Release();
  bool Allocate(uint32_t columns, uint32_t rows, unsigned short planes);
  int CompareWith(const CLorimoMagickFloat& other, bool bGreater);
  template <typename Fn>
  void ForEachSelectedSample(Fn fn);

  int IAQua2DirLabel(CLorimoMagickFloat& lh, CLorimoMagickFloat& ld, int e) const;
  int IAQua2CalculateCenters(CLorimoMagickFloat& cc, const CLorimoMagickFloat& ld) const;
  int IAQua2Zoom(const CLorimoMagickFloat& cc, const CLorimoMagickFloat& lh, int a, int b, int c,
                 int d);
  static void IAQua2Block(const AQUA2ZOOM& zoom, int64_t i, int64_t j);
  // Shows the enlargement's memory message and leaves the object without data.
  int FailOutOfMemory();

  float* m_pData = nullptr;  // owned; all planes, plane after plane
  unsigned short m_nFirstPlane = 0;
  unsigned short m_nEndPlane = 0;
  unsigned short m_nPlanes = 0;
};
