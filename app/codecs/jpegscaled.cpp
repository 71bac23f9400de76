#include "codecs/jpegscaled.h"

#include "codecs/jpegpixels.h"

CJpegScale ChooseJpegScale(int width, int height, const SIZE& hint) {
  CJpegScale best;
  if (width <= 0 || height <= 0 || hint.cx <= 0 || hint.cy <= 0) return best;
  // The fit factor is min(hint / size); a scale s is enough when
  // s >= 0.9 * fit on one side at least, in integers: 10 * s * size >= 9 * hint.
  for (int denom : {2, 4, 8}) {
    const bool enough = int64_t(10) * width >= int64_t(9) * hint.cx * denom ||
                        int64_t(10) * height >= int64_t(9) * hint.cy * denom;
    if (!enough) break;
    best = CJpegScale{1, denom};
  }
  return best;
}

int ReadJpegScaled(const MyString& path, const SIZE& hint, Magick::Image* image,
                   std::string* warning) {
  CPixelPicture picture;
  if (!ReadJpegPixels(path, &hint, &picture, warning)) return 0;
  return MakeImageFromPixels(picture, image);
}
