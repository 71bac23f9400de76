// Arbitrary bytes as a JPEG 2000 file or code stream: the reader may refuse
// them, but must not crash, hang or allocate without bound, and a picture it
// accepts has the size its header gave.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "codecs/imagelibrary.h"
#include "codecs/jp2codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InitializeImageLibrary();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  Magick::Image image;
  std::string error;
  if (ReadJpeg2000Bytes(bytes, &image, &error)) {
    if (image.columns() == 0 || image.rows() == 0) std::abort();
  } else if (error.empty()) {
    std::abort();
  }
  return 0;
}
