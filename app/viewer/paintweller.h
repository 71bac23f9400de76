#pragma once
// CPaintweller: how the viewer's images reach the screen and the bitmaps
// other parts ask for, over QPainter and the shared BGRA bitmap record.
// DisplayDib2 draws only the part of the image that is visible at the
// record's zoom and scroll position, so a paint costs what the window
// shows, not what the image holds.

#include <QImage>
#include <QRect>

#include <Magick++.h>

#include "corekit/bitmap.h"
#include "corekit/messages.h"
#include "viewer/imagedata.h"

class QPainter;

// Drawing modes of DisplayDib2.
enum PAINTMODE : int {
  PM_NEAREST = 3,  // fast: each screen pixel takes the nearest image pixel
  PM_SMOOTH = 4,   // "Use linear scaling": bilinear
};

// What one paint hands the drawing: where to draw, what needs drawing, and
// the record's image in display form (made once per image change with
// Object2QImage, not per paint).
struct tagPAINTDATA {
  QPainter* pDC = nullptr;
  QRect rcPaint;  // client pixels that need painting
  const QImage* pDib = nullptr;
};

// The colour of the empty background, as a 0x00BBGGRR value.
constexpr uint32_t kViewerBackground = 0;

class CPaintweller {
 public:
  // Draws the visible part of the image at the record's zoom and scroll
  // position, centred in the client area (the record's client size) on
  // each axis where it is smaller, and paints the rest of the client area
  // as background. mode is PM_NEAREST or PM_SMOOTH. 1 when image pixels
  // were drawn; 0 when there was nothing to draw (no image, zoom 0): then
  // the whole client area is background.
  static int DisplayDib2(const tagPAINTDATA& paint, const tagIMAGEDATA& data, int mode);
  // Fills the rectangle with a 0x00BBGGRR colour.
  static void PaintRect(QPainter* dc, const QRect& rect, uint32_t color);

  // Where the image lies in the client area at the record's zoom and scroll
  // position (the whole zoomed image, not only its visible part).
  static QRect ImageRect(const tagIMAGEDATA& data);

  // The image as a new bitmap of its own size; null when it is empty or
  // memory runs out. The caller owns it (DeleteBitmap32).
  static HBITMAP Object2DIB(const Magick::Image& image);
  // The image as a bitmap for the screen, fitted into size when given
  // (never enlarged, proportions kept); null on failure. The caller owns it.
  static HBITMAP Object2DDB(const Magick::Image& image, const SIZE* size);
  // The image in the display form DisplayDib2 draws from (BGRA); null when
  // it is empty or cannot be converted.
  static QImage Object2QImage(const Magick::Image& image);
  // The same with the embedded profile used or not as told (any thread).
  static QImage Object2QImage(const Magick::Image& image, bool bColourProfiles);
  // The display form of 8-bit pixels: the same pixels, shared, or a copy
  // turned into sRGB by the embedded profile (any thread).
  static QImage Picture2QImage(const std::shared_ptr<const CPixelPicture>& picture,
                               bool bColourProfiles);
};
