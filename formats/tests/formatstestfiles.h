#pragma once
// Pictures for the formats tests: a made picture, files made from it by the
// real encoders (cwebp, heif-enc, cjxl), a linear DNG, and the comparison
// of a decoded bitmap with the picture.

#include <QImage>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <turbojpeg.h>
#include <vector>

#include "corekit/bitmap.h"

namespace formatstest {

// Smooth gradients (lossy codecs keep them well) with a white block in the
// top-left corner that shows which way a picture was turned.
inline std::vector<uint8_t> Picture(int width, int height) {
  std::vector<uint8_t> rgb(size_t(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
      const bool corner = x < width / 6 && y < height / 6;
      p[0] = corner ? 255 : uint8_t(40 + x * 200 / width);
      p[1] = corner ? 255 : uint8_t(30 + y * 180 / height);
      p[2] = corner ? 255 : uint8_t(150 + 60 * std::sin(x * 0.05));
    }
  return rgb;
}

inline QImage AsImage(const std::vector<uint8_t>& rgb, int width, int height) {
  return QImage(rgb.data(), width, height, width * 3, QImage::Format_RGB888).copy();
}

// Runs an encoder command; true when it succeeded.
inline bool RunTool(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Mean absolute difference per channel of the bitmap's colours from rgb.
inline double MeanDifference(const tagLORIMOBITMAP* bitmap, const std::vector<uint8_t>& rgb,
                             int width, int height) {
  if (!bitmap || bitmap->nWidth != width || bitmap->nHeight != height) return 1e9;
  double sum = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* b = bitmap->pPixels + size_t(y) * bitmap->nStride + size_t(x) * 4;
      const uint8_t* s = &rgb[(size_t(y) * width + x) * 3];
      sum += std::abs(b[2] - s[0]) + std::abs(b[1] - s[1]) + std::abs(b[0] - s[2]);
    }
  return sum / (3.0 * width * height);
}

inline std::string Jpeg(const std::vector<uint8_t>& rgb, int width, int height, int quality = 92) {
  tjhandle tj = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  tjCompress2(tj, rgb.data(), width, width * 3, height, TJPF_RGB, &out, &size, TJSAMP_420, quality,
              0);
  std::string jpeg(reinterpret_cast<const char*>(out), size);
  tjFree(out);
  tjDestroy(tj);
  return jpeg;
}

}  // namespace formatstest
