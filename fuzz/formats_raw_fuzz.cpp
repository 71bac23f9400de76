// Arbitrary bytes as a camera RAW file for the formats plug-in's reader:
// LibRaw on the bytes, and the walk of a TIFF-based file for its embedded
// thumbnails on the same bytes as a file.
#include <sys/mman.h>
#include <unistd.h>

#include "formats_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzFormatReader(ReadRaw, data, size);
  const int fd = memfd_create("raw", 0);
  if (fd < 0) return 0;
  if (::write(fd, data, size) == ssize_t(size)) {
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    for (const SIZE box : {SIZE{16, 16}, SIZE{160, 160}}) {
      HBITMAP bitmap = ReadTiffThumbnail(path, box, true);
      if (bitmap && (bitmap->nWidth <= 0 || bitmap->nHeight <= 0)) std::abort();
      DeleteBitmap32(bitmap);
    }
  }
  ::close(fd);
  return 0;
}
