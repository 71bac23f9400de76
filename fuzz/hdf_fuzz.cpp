// Arbitrary bytes as an HDF file: the raster reader may refuse them (the
// library, which loops or crashes on some, runs in a child process), but
// must not crash or hang, and a picture it accepts has pixels.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "codecs/hdfcodec.h"
#include "codecs/imagelibrary.h"
#include "corekit/straw.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InitializeImageLibrary();
  // Inputs the library loops on cost the deadline each.
  SetHdfReadDeadline(1000);
  // The HDF library reads files only.
  static const std::string path = "/tmp/lorimo-hdf-fuzz-" + std::to_string(getpid()) + ".hdf";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  Magick::Image image;
  std::string error;
  if (ReadHdfRaster(CStrAW::a_toW(path), &image, &error)) {
    if (image.columns() == 0 || image.rows() == 0) std::abort();
  } else if (error.empty()) {
    std::abort();
  }
  std::remove(path.c_str());
  return 0;
}
