// Von Kries white balance: the source white is moved onto the D65 white
// in the cone-response space, and the whole change is folded into one
// RGB-to-RGB matrix applied to every pixel.
#include <cmath>

#include "blackbody.h"
#include "colormatrices.h"
#include "lorimomagick/lorimomagickfloat.h"

// Nine 32-bit fields, the boolean padded: callers fill it field by field.
static_assert(sizeof(CLorimoMagickFloat::WHITE_BALANCE_OPTIONS) == 36);

namespace {

using Matrix = float[3][3];

// Von Kries cone responses, and the inverse as published (not computed).
const Matrix kVonKries = {
    {0.40024f, 0.70760f, -0.08081f}, {-0.22630f, 1.16532f, 0.04570f}, {0.0f, 0.0f, 0.91822f}};
const Matrix kVonKriesInverse = {
    {1.85994f, -1.12938f, 0.21990f}, {0.36119f, 0.63881f, -0.00001f}, {0.0f, 0.0f, 1.08906f}};

// D65 chromaticity; z is the published 0.3585 rather than 1 - x - y.
constexpr float kWhiteX = 0.3127f;
constexpr float kWhiteY = 0.3290f;
constexpr float kWhiteZ = 0.3585f;

// Each element a three-term sum in extended precision, stored as a float.
void Multiply(const Matrix a, const Matrix b, Matrix out) {
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      long double sum = 0.0L;
      for (int k = 0; k < 3; ++k) sum += (long double)a[r][k] * b[k][c];
      out[r][c] = float(sum);
    }
}

void Apply(const Matrix m, const float v[3], float out[3]) {
  for (int r = 0; r < 3; ++r) {
    long double sum = 0.0L;
    for (int k = 0; k < 3; ++k) sum += (long double)m[r][k] * v[k];
    out[r] = float(sum);
  }
}

// Source white from a colour known to be neutral; destination: D65 at its luminance.
void WhitesFromColour(const float rgb[3], float source[3], float destination[3]) {
  Apply(kRGB709ToXYZ, rgb, source);
  destination[0] = kWhiteX / kWhiteY * source[1];
  destination[1] = source[1];
  destination[2] = kWhiteZ / kWhiteY * source[1];
}

}  // namespace

int CLorimoMagickFloat::WhiteBalance(WHITE_BALANCE_OPTIONS options) {
  if (m_pData == nullptr || m_nPlanes < 3) return 0;

  float source[3];
  float destination[3];
  switch (options.nMode) {
    case 0: {
      // The sampled pixel must lie in the image, with three planes from the selection.
      if (options.nX < 0 || options.nY < 0 || uint32_t(options.nX) >= m_nCols ||
          uint32_t(options.nY) >= m_nRows || m_nFirstPlane + 3 > m_nPlanes)
        return 0;
      const uint64_t index = uint64_t(options.nY) * m_nCols + uint64_t(options.nX);
      const float rgb[3] = {Plane(m_nFirstPlane)[index], Plane(m_nFirstPlane + 1)[index],
                            Plane(m_nFirstPlane + 2)[index]};
      WhitesFromColour(rgb, source, destination);
      break;
    }
    case 1: {
      const float rgb[3] = {options.fRed, options.fGreen, options.fBlue};
      WhitesFromColour(rgb, source, destination);
      break;
    }
    case 2: {
      // Planck's law has no meaning at or below absolute zero.
      if (!(options.fTemperature > 0.0f) || !std::isfinite(options.fTemperature)) return 0;
      float x, y, z;
      BlackBodyChromaticity(options.fTemperature, &x, &y, &z);
      source[0] = x / y;
      source[1] = 1.0f;
      source[2] = z / y;
      destination[0] = kWhiteX / kWhiteY;
      destination[1] = 1.0f;
      destination[2] = kWhiteZ / kWhiteY;
      break;
    }
    default:
      return 0;
  }

  float sourceCone[3];
  float destinationCone[3];
  Apply(kVonKries, source, sourceCone);
  Apply(kVonKries, destination, destinationCone);
  // A source white without a cone response (black) gives undefined gains;
  // Clip01 below then turns every sample into 0.
  const Matrix gains = {{destinationCone[0] / sourceCone[0], 0.0f, 0.0f},
                        {0.0f, destinationCone[1] / sourceCone[1], 0.0f},
                        {0.0f, 0.0f, destinationCone[2] / sourceCone[2]}};

  Matrix adapted, backToXYZ, inRGB, twist;
  Multiply(gains, kVonKries, adapted);
  Multiply(kVonKriesInverse, adapted, backToXYZ);
  Multiply(kXYZToRGB709, backToXYZ, inRGB);
  Multiply(inRGB, kRGB709ToXYZ, twist);

  if (options.bLinear) RGB709NonLinearToRGB709Linear();
  const int completed = ColorTwist3Channels(twist);
  // Finished even after a cancel, so that no plane is left in linear light;
  // the result then tells the caller not to use the image.
  Clip01();
  if (options.bLinear) RGB709LinearToRGB709Nonlinear();
  return completed;
}
