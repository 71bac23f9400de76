// Arbitrary bytes as a Photoshop file: neither reader may crash, hang or
// allocate without bound, and what they accept must be consistent.
#include <cstdint>
#include <cstdlib>

#include "codecs/psdreader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CPsdMemorySource source(data, size);
  CPsdPlanes planes;
  if (CPhotoshopReader::Read(source, &planes)) {
    if (planes.planes.empty() || planes.planes.size() > kPsdKeptPlanes) std::abort();
    for (const auto& plane : planes.planes)
      if (plane.size() != size_t(planes.nWidth) * planes.nHeight) std::abort();
  } else if (!planes.planes.empty()) {
    std::abort();
  }

  CPsdMemorySource again(data, size);
  CPsdComposite composite;
  if (CPhotoshopCompositeReader::Read(again, &composite)) {
    const size_t channels = composite.bHasAlpha ? 4 : 3;
    if (composite.samples.size() != size_t(composite.nWidth) * composite.nHeight * channels)
      std::abort();
  }
  return 0;
}
