#include "corekit/bitmap.h"

#include <cstdlib>
#include <cstring>
#include <new>

uint64_t BitmapBytes(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return 0;
  if (width > kMaxBitmapSide || height > kMaxBitmapSide) return 0;
  // Both sides are at most 2^16, so the product cannot overflow 64 bits.
  const uint64_t bytes = uint64_t(width) * uint64_t(height) * 4;
  return bytes > kMaxBitmapBytes ? 0 : bytes;
}

uint8_t* AllocPixelBuffer(int32_t width, int32_t height) {
  const uint64_t bytes = BitmapBytes(width, height);
  if (bytes == 0 || bytes > SIZE_MAX) return nullptr;
  return static_cast<uint8_t*>(std::calloc(size_t(bytes), 1));
}

void FreePixelBuffer(uint8_t* pixels) { std::free(pixels); }

HBITMAP CreateBitmap32(int32_t width, int32_t height) {
  uint8_t* pixels = AllocPixelBuffer(width, height);
  if (!pixels) return nullptr;
  auto* bitmap = new (std::nothrow) tagLORIMOBITMAP;
  if (!bitmap) {
    FreePixelBuffer(pixels);
    return nullptr;
  }
  bitmap->nWidth = width;
  bitmap->nHeight = height;
  bitmap->nStride = width * 4;
  bitmap->pPixels = pixels;
  return bitmap;
}

void DeleteBitmap32(HBITMAP bitmap) {
  if (!bitmap) return;
  FreePixelBuffer(bitmap->pPixels);
  delete bitmap;
}

HBITMAP CopyBitmap32(const tagLORIMOBITMAP* source) {
  if (!source || !source->pPixels) return nullptr;
  // A record filled in by hand may carry a padded stride, never a short one.
  if (int64_t(source->nStride) < int64_t(source->nWidth) * 4) return nullptr;
  HBITMAP copy = CreateBitmap32(source->nWidth, source->nHeight);
  if (!copy) return nullptr;
  const size_t rowBytes = size_t(copy->nStride);
  for (int32_t y = 0; y < copy->nHeight; ++y)
    std::memcpy(copy->pPixels + size_t(y) * rowBytes,
                source->pPixels + size_t(y) * size_t(source->nStride), rowBytes);
  return copy;
}
