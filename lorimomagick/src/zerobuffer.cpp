#include "zerobuffer.h"

#include <cstdlib>
#include <sys/sysinfo.h>

namespace {

uint64_t MachineMemoryBytes() {
  static const uint64_t bytes = [] {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return UINT64_MAX;
    const uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    return (uint64_t(info.totalram) + uint64_t(info.totalswap)) * unit;
  }();
  return bytes;
}

}  // namespace

bool MultiplyChecked(uint64_t a, uint64_t b, uint64_t* product) {
  return !__builtin_mul_overflow(a, b, product);
}

bool FitsInMemory(uint64_t count, uint64_t elementSize) {
  uint64_t bytes = 0;
  if (!MultiplyChecked(count, elementSize, &bytes) || bytes == 0) return false;
  return bytes <= MachineMemoryBytes() && bytes <= SIZE_MAX;
}

void* AllocateZeroed(uint64_t count, uint64_t elementSize) {
  if (!FitsInMemory(count, elementSize)) return nullptr;
  return std::calloc(size_t(count), size_t(elementSize));
}

void ReleaseZeroed(void* buffer) { std::free(buffer); }
