// Arbitrary bytes as a WebP file for the formats plug-in's reader.
#include "formats_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzFormatReader(ReadWebp, data, size);
}
