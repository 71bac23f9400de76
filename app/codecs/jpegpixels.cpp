#include "codecs/jpegpixels.h"

#include <cstdlib>
#include <sys/mman.h>
#include <turbojpeg.h>

#include "codecs/imagelibrary.h"
#include "codecs/jpegscaled.h"
#include "codecs/losslessjpeg.h"
#include "codecs/orientation.h"
#include "corekit/atomicfile.h"

namespace {

constexpr size_t kMaxJpegFileBytes = size_t(1) << 30;

struct CTurboDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};

// Moves every pixel of the picture to where the lossless transform code
// puts it, by the same steps as TurnImage, in tiles so that both sides
// stay in the cache.
bool TurnPixels(CPixelPicture* picture, int code) {
  const int w = picture->nWidth, h = picture->nHeight;
  const bool swaps =
      code == LT_ROTATE90 || code == LT_ROTATE270 || code == LT_TRANSPOSE || code == LT_TRANSVERSE;
  const int outWidth = swaps ? h : w, outHeight = swaps ? w : h;
  PixelBuffer turned = AllocatePixels(picture->Bytes());
  if (!turned) return false;
  const auto* in = reinterpret_cast<const uint32_t*>(picture->pPixels.get());
  auto* out = reinterpret_cast<uint32_t*>(turned.get());
  // The source pixel of output pixel (x, y).
  auto source = [&](int x, int y) -> size_t {
    switch (code) {
      case LT_ROTATE90:
        return size_t(h - 1 - x) * w + y;
      case LT_ROTATE180:
        return size_t(h - 1 - y) * w + (w - 1 - x);
      case LT_ROTATE270:
        return size_t(x) * w + (w - 1 - y);
      case LT_FLIPH:
        return size_t(y) * w + (w - 1 - x);
      case LT_FLIPV:
        return size_t(h - 1 - y) * w + x;
      case LT_TRANSPOSE:
        return size_t(x) * w + y;
      case LT_TRANSVERSE:
        return size_t(h - 1 - x) * w + (w - 1 - y);
      default:
        return size_t(y) * w + x;
    }
  };
  constexpr int kTile = 64;
  for (int ty = 0; ty < outHeight; ty += kTile)
    for (int tx = 0; tx < outWidth; tx += kTile)
      for (int y = ty; y < std::min(ty + kTile, outHeight); ++y)
        for (int x = tx; x < std::min(tx + kTile, outWidth); ++x)
          out[size_t(y) * outWidth + x] = in[source(x, y)];
  picture->pPixels = std::move(turned);
  picture->nWidth = outWidth;
  picture->nHeight = outHeight;
  return true;
}

}  // namespace

void CPixelsFree::operator()(uint8_t* pixels) const { std::free(pixels); }

PixelBuffer AllocatePixels(size_t bytes) {
  constexpr size_t kHugePage = size_t(2) << 20;
  if (bytes < kHugePage) return PixelBuffer(static_cast<uint8_t*>(std::malloc(bytes)));
  const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  auto* pixels = static_cast<uint8_t*>(std::aligned_alloc(kHugePage, rounded));
  // Only advice: without huge pages the buffer works the same.
  if (pixels) madvise(pixels, rounded, MADV_HUGEPAGE);
  return PixelBuffer(pixels);
}

const void* CPixelPicture::IccProfile(size_t* length) const {
  *length = 0;
  if (!meta.isValid()) return nullptr;
  const unsigned char* data = MagickLib::GetImageProfile(meta.constImage(), "ICM", length);
  if (!data) *length = 0;
  return data;
}

int ReadJpegPixels(const MyString& path, const SIZE* hint, CPixelPicture* picture,
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
  // Grey and CMYK pictures keep the image GraphicsMagick makes of them.
  if (colorspace != TJCS_YCbCr && colorspace != TJCS_RGB) return 0;
  if (int64_t(width) * height > kMaxImagePixels) return 0;
  CJpegScale scale;
  if (hint && hint->cx > 0 && hint->cy > 0) scale = ChooseJpegScale(width, height, *hint);
  const tjscalingfactor factor{scale.nNum, scale.nDenom};
  CPixelPicture decoded;
  decoded.nWidth = TJSCALED(width, factor);
  decoded.nHeight = TJSCALED(height, factor);
  decoded.pPixels = AllocatePixels(decoded.Bytes());
  if (!decoded.pPixels) return 0;
  if (tjDecompress2(handle.get(), data, bytes.size(), decoded.pPixels.get(), decoded.nWidth, 0,
                    decoded.nHeight, TJPF_BGRX, TJFLAG_LIMITSCANS) != 0) {
    if (tjGetErrorCode(handle.get()) != TJERR_WARNING) return 0;
    if (warning) *warning = tjGetErrorStr2(handle.get());
  }
  // The profiles and attributes as GraphicsMagick reads them, from the
  // header alone.
  try {
    try {
      decoded.meta.ping(Magick::Blob(bytes.data(), bytes.size()));
    } catch (const Magick::Warning&) {
    }
  } catch (const std::exception&) {
    return 0;
  }
  if (!decoded.meta.isValid()) return 0;
  *picture = std::move(decoded);
  return 1;
}

bool TurnPixelsUpright(CPixelPicture* picture, int orientation) {
  const int code = UprightTransform(orientation);
  if (code == LT_NONE) return true;
  if (!TurnPixels(picture, code)) return false;
  picture->nTurnedFrom = orientation;
  return true;
}

int MakeImageFromPixels(const CPixelPicture& picture, Magick::Image* out, std::string* error) {
  if (!picture.pPixels || picture.nWidth <= 0 || picture.nHeight <= 0) {
    if (error) *error = "No pixels";
    return 0;
  }
  InitializeImageLibrary();
  try {
    Magick::Image image(size_t(picture.nWidth), size_t(picture.nHeight), "BGRP", Magick::CharPixel,
                        picture.pPixels.get());
    MagickLib::Image* target = image.image();
    if (picture.meta.isValid()) {
      const MagickLib::Image* source = picture.meta.constImage();
      MagickLib::ImageProfileIterator profiles = MagickLib::AllocateImageProfileIterator(source);
      const char* name = nullptr;
      const unsigned char* data = nullptr;
      size_t length = 0;
      while (profiles && MagickLib::NextImageProfile(profiles, &name, &data, &length) == MagickPass)
        MagickLib::SetImageProfile(target, name, data, length);
      if (profiles) MagickLib::DeallocateImageProfileIterator(profiles);
      for (const MagickLib::ImageAttribute* attribute =
               MagickLib::GetImageAttribute(source, nullptr);
           attribute; attribute = attribute->next)
        MagickLib::SetImageAttribute(target, attribute->key, attribute->value);
      target->x_resolution = source->x_resolution;
      target->y_resolution = source->y_resolution;
      target->units = source->units;
      target->orientation = source->orientation;
    }
    image.magick("JPEG");
    if (picture.nTurnedFrom != 1) MarkImageUpright(image);
    *out = image;
    return 1;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return 0;
  }
}
