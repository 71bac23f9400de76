#pragma once
// Zero-filled buffers for pixel planes and working arrays.

#include <cstdint>
#include <memory>

// count * elementSize zero bytes, or null when the size overflows, is zero,
// exceeds what the machine can hold (memory plus swap), or cannot be had.
// Refusing oversized requests up front keeps a huge enlargement from being
// overcommitted and killed later when its pages are touched.
void* AllocateZeroed(uint64_t count, uint64_t elementSize);
void ReleaseZeroed(void* buffer);
// Whether AllocateZeroed could grant the request at all (size checks only).
bool FitsInMemory(uint64_t count, uint64_t elementSize);

// a * b, or false when the product overflows 64 bits.
bool MultiplyChecked(uint64_t a, uint64_t b, uint64_t* product);

struct CZeroedDeleter {
  void operator()(void* buffer) const { ReleaseZeroed(buffer); }
};
// Owner of an AllocateZeroed buffer.
template <typename T>
using ZeroedArray = std::unique_ptr<T[], CZeroedDeleter>;

template <typename T>
ZeroedArray<T> MakeZeroed(uint64_t count) {
  return ZeroedArray<T>(static_cast<T*>(AllocateZeroed(count, sizeof(T))));
}
