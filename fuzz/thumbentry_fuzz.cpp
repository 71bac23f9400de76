// Arbitrary bytes as a thumbnail cache entry (a stamped JPEG of ours) and as
// a shared-cache PNG's header and texts: refused or read, never a crash, a
// hang or an unbounded allocation; a picture that is accepted is within
// the entry size limit.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "browse/sharedthumbnails.h"
#include "browse/thumbnailentry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  tagTHUMBSTAMP stamp;
  // The stamp the entry claims, so that its pixels are decoded too.
  if (ReadEntryStamp(bytes, &stamp)) {
    QImage image;
    if (DecodeThumbnailEntry(bytes, stamp, &image)) {
      if (image.isNull() || image.width() > kMaxEntrySide || image.height() > kMaxEntrySide)
        std::abort();
    }
  }
  tagPNGTHUMBFACTS facts;
  if (ReadPngThumbnailFacts(bytes, &facts)) {
    if (facts.nWidth < 0 || facts.nHeight < 0) std::abort();
  }
  return 0;
}
