#pragma once
// The viewer's geometry record: the shown image, its zoom and scroll
// position, the sizes they are measured against, and the one-level undo
// state. One per viewer window; the drawing adapter reads it as it stands.
// GUI thread only.

#include <cstdint>
#include <memory>

#include <Magick++.h>

#include "corekit/messages.h"
#include "corekit/mystring.h"

struct tagIMAGEDATA {
  Magick::Color colorTransparent;  // the transparency colour the file names
  int32_t bTransparent = 0;        // 1 when the file names one
  // The image as it was before the last in-memory edit; owned here, so
  // dropping the record or taking a new undo image never leaks the old one.
  std::unique_ptr<Magick::Image> pUndoImage;
  Magick::Image image;
  float fZoom = 1.0f;  // 1.0 = one image pixel per screen pixel
  MyString strFilePath;
  MyString strFileName;  // name with extension
  // Scroll positions, in screen pixels of the zoomed image.
  int32_t nScrollX = 0;
  int32_t nScrollY = 0;
  int32_t nClientWidth = 0;
  int32_t nClientHeight = 0;
  int32_t nImageWidth = 0;
  int32_t nImageHeight = 0;
  HWND hFrame = nullptr;  // the main window
  bool bModified = false;
  bool bUndoAvailable = false;
  bool bRedoAvailable = false;
};
