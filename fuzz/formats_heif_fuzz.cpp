// Arbitrary bytes as a HEIF, HEIC or AVIF file for the formats plug-in's reader.
#include "formats_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzFormatReader(ReadHeif, data, size);
}
