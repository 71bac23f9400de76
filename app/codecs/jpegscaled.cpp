#include "codecs/jpegscaled.h"

#include <memory>
#include <turbojpeg.h>
#include <vector>

#include "codecs/imagelibrary.h"
#include "corekit/atomicfile.h"

namespace {

constexpr size_t kMaxJpegFileBytes = size_t(1) << 30;

struct CTurboDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};

}  // namespace

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
  std::string bytes;
  if (!ReadWholeFile(path, &bytes, kMaxJpegFileBytes)) return 0;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  if (SniffImageKind(data, bytes.size()) != IK_JPEG) return 0;
  std::unique_ptr<void, CTurboDeleter> handle(tjInitDecompress());
  if (!handle) return 0;
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(handle.get(), data, bytes.size(), &width, &height, &subsampling,
                          &colorspace) != 0)
    return 0;
  if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK) return 0;
  if (int64_t(width) * height > kMaxImagePixels) return 0;
  const CJpegScale scale = ChooseJpegScale(width, height, hint);
  const tjscalingfactor factor{scale.nNum, scale.nDenom};
  const int outWidth = TJSCALED(width, factor);
  const int outHeight = TJSCALED(height, factor);
  std::vector<unsigned char> pixels;
  try {
    pixels.resize(size_t(outWidth) * size_t(outHeight) * 3);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (tjDecompress2(handle.get(), data, bytes.size(), pixels.data(), outWidth, 0, outHeight,
                    TJPF_RGB, TJFLAG_LIMITSCANS) != 0) {
    if (tjGetErrorCode(handle.get()) != TJERR_WARNING) return 0;
    if (warning) *warning = tjGetErrorStr2(handle.get());
  }
  try {
    *image =
        Magick::Image(size_t(outWidth), size_t(outHeight), "RGB", Magick::CharPixel, pixels.data());
    image->magick("JPEG");
  } catch (const std::exception&) {
    return 0;
  }
  return 1;
}
