// Arbitrary bytes as a camera RAW file for the formats plug-in's reader.
#include "formats_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzFormatReader(ReadRaw, data, size);
}
