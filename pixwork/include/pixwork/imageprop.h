#pragma once
// The size and resize filter exchanged with the resize dialogs.

#include <cstdint>

struct IMAGEPROP {
  uint32_t dwWidth = 0;   // pixels
  uint32_t dwHeight = 0;  // pixels
  int32_t nFilter = 0;    // a GraphicsMagick filter type number (FilterTypes)
};
