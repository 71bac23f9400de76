#include "viewer/paintweller.h"

#include <QPainter>
#include <algorithm>
#include <cstring>
#include <memory>

#include "codecs/colourprofile.h"
#include "codecs/imagereader.h"
#include "codecs/librarylog.h"
#include "pixwork/options.h"
#include "viewer/fitrules.h"

namespace {

QColor FromColorRef(uint32_t color) {
  return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

int MarginOf(int client, int zoomed) { return std::max(0, (client - zoomed) / 2); }

// BGRA pixels of an image with an embedded colour profile, turned into sRGB
// for the screen unless the user switched that off.
void ConvertForScreen(const Magick::Image& image, uint8_t* bgra, size_t pixelCount,
                      bool bColourProfiles = gVO[VO_COLOUR_PROFILES].bFlag != 0) {
  if (!bColourProfiles) return;
  const Magick::Blob profile = image.iccColorProfile();
  std::string warning;
  if (profile.length() > 0 &&
      !ConvertBgraToSrgb(profile.data(), profile.length(), bgra, pixelCount, &warning) &&
      !warning.empty())
    ReportLibraryWarning(warning);
}

}  // namespace

void CPaintweller::PaintRect(QPainter* dc, const QRect& rect, uint32_t color) {
  if (dc && !rect.isEmpty()) dc->fillRect(rect, FromColorRef(color));
}

QRect CPaintweller::ImageRect(const tagIMAGEDATA& data) {
  const int width = ZoomedLength(data.nImageWidth, data.fZoom);
  const int height = ZoomedLength(data.nImageHeight, data.fZoom);
  if (width <= 0 || height <= 0) return QRect();
  // Only a larger image scrolls; a smaller one is centred.
  const int left = MarginOf(data.nClientWidth, width) - data.nScrollX;
  const int top = MarginOf(data.nClientHeight, height) - data.nScrollY;
  return QRect(left, top, width, height);
}

int CPaintweller::DisplayDib2(const tagPAINTDATA& paint, const tagIMAGEDATA& data, int mode) {
  QPainter* dc = paint.pDC;
  if (!dc) return 0;
  const QRect client(0, 0, std::max(0, data.nClientWidth), std::max(0, data.nClientHeight));
  const QRect area = paint.rcPaint.isNull() ? client : paint.rcPaint & client;
  const QImage* dib = paint.pDib;
  const QRect image = ImageRect(data);
  if (!dib || dib->isNull() || image.isEmpty() || area.isEmpty()) {
    PaintRect(dc, area, kViewerBackground);
    return 0;
  }
  const QRect visible = image & area;
  // Background around the image: above, below, left and right of it.
  const QRegion background = QRegion(area) - QRegion(visible);
  for (const QRect& band : background) PaintRect(dc, band, kViewerBackground);
  if (visible.isEmpty()) return 0;

  // The image pixels under the visible rectangle; the display image may
  // differ in size from the record's image (a frame being replaced), so
  // scale by the display image's own size.
  const double sx = double(dib->width()) / image.width();
  const double sy = double(dib->height()) / image.height();
  const QRectF source((visible.left() - image.left()) * sx, (visible.top() - image.top()) * sy,
                      visible.width() * sx, visible.height() * sy);
  dc->save();
  dc->setRenderHint(QPainter::SmoothPixmapTransform, mode == PM_SMOOTH);
  dc->setClipRect(visible);
  dc->drawImage(QRectF(visible), *dib, source);
  dc->restore();
  return 1;
}

QImage CPaintweller::Object2QImage(const Magick::Image& source) {
  return Object2QImage(source, gVO[VO_COLOUR_PROFILES].bFlag != 0);
}

QImage CPaintweller::Object2QImage(const Magick::Image& source, bool bColourProfiles) {
  const size_t width = source.columns(), height = source.rows();
  if (width == 0 || height == 0 || width > size_t(kMaxBitmapSide) ||
      height > size_t(kMaxBitmapSide))
    return QImage();
  // Both forms are drawn as they are, never converted at each paint (which
  // for a large picture Qt would spread over threads of its own).
  const bool alpha = source.matte();
  QImage out(int(width), int(height), QImage::Format_RGB32);
  if (out.isNull()) return QImage();
  try {
    // 32-bit rows are width * 4 bytes without padding: one call fills them all.
    ExportBgraPixels(source, 0, height, out.bits());
    ConvertForScreen(source, out.bits(), width * height, bColourProfiles);
  } catch (const std::exception&) {
    return QImage();
  }
  if (alpha) {
    uint8_t* pixel = out.bits();
    for (size_t i = 0; i < width * height; ++i, pixel += 4)
      for (int c = 0; c < 3; ++c) pixel[c] = uint8_t((pixel[c] * pixel[3] + 127) / 255);
    out.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
  }
  return out;
}

QImage CPaintweller::Picture2QImage(const std::shared_ptr<const CPixelPicture>& picture,
                                    bool bColourProfiles) {
  if (!picture || !picture->pPixels || picture->nWidth <= 0 || picture->nHeight <= 0 ||
      picture->nWidth > kMaxBitmapSide || picture->nHeight > kMaxBitmapSide)
    return QImage();
  size_t iccLength = 0;
  const void* icc = bColourProfiles ? picture->IccProfile(&iccLength) : nullptr;
  if (!icc) {
    // The display form shares the pixels (read-only: a painter on it would
    // copy them first) and keeps them alive.
    auto* keep = new std::shared_ptr<const CPixelPicture>(picture);
    return QImage(
        static_cast<const uchar*>(picture->pPixels.get()), picture->nWidth, picture->nHeight,
        picture->nWidth * 4, QImage::Format_RGB32,
        [](void* kept) { delete static_cast<std::shared_ptr<const CPixelPicture>*>(kept); }, keep);
  }
  QImage out(picture->nWidth, picture->nHeight, QImage::Format_RGB32);
  if (out.isNull()) return QImage();
  std::memcpy(out.bits(), picture->pPixels.get(), picture->Bytes());
  std::string warning;
  if (!ConvertBgraToSrgb(icc, iccLength, out.bits(), picture->Bytes() / 4, &warning) &&
      !warning.empty())
    ReportLibraryWarning(warning);
  return out;
}

HBITMAP CPaintweller::Object2DIB(const Magick::Image& image) { return Object2DDB(image, nullptr); }

HBITMAP CPaintweller::Object2DDB(const Magick::Image& source, const SIZE* size) {
  const size_t width = source.columns(), height = source.rows();
  if (width == 0 || height == 0 || width > size_t(kMaxBitmapSide) ||
      height > size_t(kMaxBitmapSide))
    return nullptr;
  std::unique_ptr<tagLORIMOBITMAP, void (*)(HBITMAP)> bitmap(nullptr, DeleteBitmap32);
  try {
    Magick::Image image = source;
    if (size && size->cx > 0 && size->cy > 0 &&
        (width > size_t(size->cx) || height > size_t(size->cy))) {
      const double f = FitRatio(*size, SIZE{int32_t(width), int32_t(height)});
      Magick::Geometry fitted(std::max<size_t>(1, size_t(double(width) * f)),
                              std::max<size_t>(1, size_t(double(height) * f)));
      fitted.aspect(true);
      image.zoom(fitted);
    }
    bitmap.reset(CreateBitmap32(int32_t(image.columns()), int32_t(image.rows())));
    if (!bitmap) return nullptr;
    // The bitmap's rows follow each other (stride = width * 4): one export,
    // one conversion.
    const size_t pixels = size_t(bitmap->nWidth) * size_t(bitmap->nHeight);
    ExportBgraPixels(image, 0, image.rows(), bitmap->pPixels);
    ConvertForScreen(image, bitmap->pPixels, pixels);
  } catch (const std::exception&) {
    return nullptr;
  }
  return bitmap.release();
}
