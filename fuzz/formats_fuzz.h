#pragma once
// Arbitrary bytes for one reader of the formats plug-in: it may refuse
// them, but must not crash, hang or allocate without bound; a refusal says
// why, and a picture it gives is within the program's limits.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "formatread.h"

template <typename Reader>
int FuzzFormatReader(Reader read, const uint8_t* data, size_t size) {
  for (const bool thumbnail : {false, true}) {
    tagFORMATREAD options;
    options.bThumbnail = thumbnail;
    options.szView = thumbnail ? SIZE{96, 96} : SIZE{640, 480};
    std::string error;
    HBITMAP bitmap = read(data, size, options, &error);
    if (bitmap) {
      if (bitmap->nWidth <= 0 || bitmap->nHeight <= 0 ||
          int64_t(bitmap->nWidth) * bitmap->nHeight > kMaxFormatPixels)
        std::abort();
      DeleteBitmap32(bitmap);
    } else if (error.empty()) {
      std::abort();
    }
  }
  return 0;
}
