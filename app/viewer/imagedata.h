#pragma once
// The viewer's geometry record: the shown image, its zoom and scroll
// position, the sizes they are measured against, and the one-level undo
// state. One per viewer window; the drawing adapter reads it as it stands.
// GUI thread only.

#include <cstdint>
#include <memory>

#include <Magick++.h>

#include "codecs/jpegpixels.h"
#include "corekit/messages.h"
#include "corekit/mystring.h"

struct tagIMAGEDATA {
  Magick::Color colorTransparent;  // the transparency colour the file names
  int32_t bTransparent = 0;        // 1 when the file names one
  // The image as it was before the last in-memory edit; owned here, so
  // dropping the record or taking a new undo image never leaks the old one.
  std::unique_ptr<Magick::Image> pUndoImage;
  // The image. While a photo is only looked at it is held as the 8-bit
  // pixels it was decoded to (pPicture) and image stays empty until an
  // edit, a filter or a save asks for it (CImageDocument::GetImage).
  Magick::Image image;
  std::shared_ptr<const CPixelPicture> pPicture;
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

// The shown image's size, whichever form holds it.
inline size_t ImageColumns(const tagIMAGEDATA& data) {
  return data.pPicture && !data.image.isValid() ? size_t(data.pPicture->nWidth)
                                                : data.image.columns();
}
inline size_t ImageRows(const tagIMAGEDATA& data) {
  return data.pPicture && !data.image.isValid() ? size_t(data.pPicture->nHeight)
                                                : data.image.rows();
}
// Whether there are pixels to show (and to edit once made).
inline bool HasPixels(const tagIMAGEDATA& data) {
  return data.image.isValid() || (data.pPicture && data.pPicture->nWidth > 0);
}
