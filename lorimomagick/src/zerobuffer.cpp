#include "zerobuffer.h"

#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
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

// Planes of a photograph are tens of megabytes: in pages of 2 MiB they
// take one fault where small pages take 512, and faults are what a fresh
// plane costs most on a virtual machine.
constexpr uint64_t kHugePage = uint64_t(2) << 20;

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
  const uint64_t bytes = count * elementSize;
  if (bytes < 2 * kHugePage) return std::calloc(size_t(count), size_t(elementSize));
  const uint64_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  void* buffer = std::aligned_alloc(size_t(kHugePage), size_t(rounded));
  if (buffer == nullptr) return nullptr;
  // Only a hint: without huge pages the buffer works the same.
  madvise(buffer, size_t(rounded), MADV_HUGEPAGE);
  std::memset(buffer, 0, size_t(bytes));
  return buffer;
}

void ReleaseZeroed(void* buffer) { std::free(buffer); }
