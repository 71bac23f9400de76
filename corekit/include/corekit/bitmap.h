#pragma once
// The one bitmap form that crosses library and plug-in boundaries: 32-bit
// pixels, top row first, bytes B, G, R, A. Bitmaps and pixel buffers are made
// and freed only by these functions, so every module uses one allocator; a
// bitmap handed across a boundary belongs to the receiver.

#include <cstddef>
#include <cstdint>

struct tagLORIMOBITMAP {
  int32_t nWidth = 0;
  int32_t nHeight = 0;
  int32_t nStride = 0;  // bytes from one row to the next
  uint8_t* pPixels = nullptr;
};
using HBITMAP = tagLORIMOBITMAP*;

// Largest side and largest pixel block accepted; larger requests fail
// instead of exhausting memory.
constexpr int32_t kMaxBitmapSide = 1 << 16;
constexpr uint64_t kMaxBitmapBytes = uint64_t(1) << 32;

// Bytes of a width x height BGRA block, or 0 when a side is not positive or
// the size passes the limits above (computed in 64 bits).
uint64_t BitmapBytes(int64_t width, int64_t height);

// A zero-filled (transparent black) bitmap, or null for a bad size or when
// memory runs out.
HBITMAP CreateBitmap32(int32_t width, int32_t height);
// Frees a bitmap made here; null is ignored.
void DeleteBitmap32(HBITMAP bitmap);
// A copy with its own pixels, or null (null source, bad record, no memory).
HBITMAP CopyBitmap32(const tagLORIMOBITMAP* source);

// A zero-filled width x height x 4 byte pixel buffer (the image service's
// pixel copy and replace requests), or null; freed with FreePixelBuffer.
uint8_t* AllocPixelBuffer(int32_t width, int32_t height);
void FreePixelBuffer(uint8_t* pixels);
