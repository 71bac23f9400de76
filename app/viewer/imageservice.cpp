#include "viewer/imageservice.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <algorithm>

#include "codecs/imagereader.h"
#include "corekit_ui/uiutil.h"
#include "pixwork/formats.h"
#include "viewer/imagedocument.h"
#include "viewer/imageio.h"
#include "viewer/imageview.h"

namespace {

MyString PathOf(const char16_t* text) { return text ? MyString(text) : MyString(); }

bool ValidSize(const SIZE& size) { return BitmapBytes(size.cx, size.cy) != 0; }

// Pixel rows as the service hands them out: B, G, R, A, top row first.
bool CopyBgra(const Magick::Image& source, uint8_t* pixels) {
  try {
    ExportBgraPixels(source, 0, source.rows(), pixels);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// The colours of the system colour indexes a library may ask for.
QColor SystemColor(int16_t index) {
  const QPalette palette = QApplication::palette();
  switch (index) {
    case 1:  // desktop
    case 3:  // active caption
      return palette.color(QPalette::Highlight);
    case 15:  // button face
    case 4:   // menu
      return palette.color(QPalette::Button);
    case 0:   // scroll bar
    case 12:  // application workspace
      return palette.color(QPalette::Mid);
    default:  // 5, window
      return palette.color(QPalette::Base);
  }
}

}  // namespace

CImageService::CImageService(HWND mainWindow, HWND viewerWindow, CImageDocument* document)
    : m_hMain(mainWindow), m_hViewer(viewerWindow), m_pDocument(document) {}

bool CImageService::HandleMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT* result) {
  if (msg != CDll2LorimoMessage::GetMessageId()) return false;
  *result = Handle(reinterpret_cast<tagDLL2LORIMOMESSAGE*>(wParam));
  return true;
}

LRESULT CImageService::Handle(tagDLL2LORIMOMESSAGE* record) {
  if (!record) return 0;
  switch (record->nRequest) {
    case DLL2LORIMO_GET_MAIN_WINDOW:
      return reinterpret_cast<LRESULT>(m_hMain);
    case DLL2LORIMO_GET_VIEWER_WINDOW:
      return reinterpret_cast<LRESULT>(m_hViewer);
    case DLL2LORIMO_ACQUIRE_USING_WIA:
    case DLL2LORIMO_WIA_DEVICE_REMOVED:
      if (onDevice)
        onDevice(PathOf(record->pszDevice), record->nRequest == DLL2LORIMO_ACQUIRE_USING_WIA);
      return 0;
    case DLL2LORIMO_DISPLAY_DIRECTORY_IMAGES:
      if (record->pszPath)
        SendMessage(m_hViewer, WM_LORIMO_SHOW_FOLDER, reinterpret_cast<WPARAM>(record->pszPath), 0);
      return 0;
    case DLL2LORIMO_READ_IMAGE:
      return ReadImage(*record);
    case DLL2LORIMO_IS_LORIMO_FILE:
      return IsLorimoFile(*record);
    case DLL2LORIMO_COPY_PIXELS:
      return CopyPixels(*record);
    case DLL2LORIMO_REPLACE_PIXELS:
      return ReplacePixels(*record);
    case DLL2LORIMO_GET_IMAGE_DIM:
      return GetImageDim(*record);
    case DLL2LORIMO_WRITE_IMAGE:
      return WriteImage(*record);
    case DLL2LORIMO_THUMBNAIL: {
      if (!record->pszPath || !record->pOutputSize) return 0;
      const HBITMAP bitmap =
          onThumbnail ? onThumbnail(record->pszPath, *record->pOutputSize, record->nParam)
                      : MakeThumbnail(record->pszPath, *record->pOutputSize, record->nParam);
      return reinterpret_cast<LRESULT>(bitmap);
    }
    default:
      return 0;
  }
}

LRESULT CImageService::ReadImage(const tagDLL2LORIMOMESSAGE& record) {
  const MyString path = PathOf(record.pszPath);
  if (path.IsEmpty()) return 0;
  // The file's own size first; a header that cannot be read is no reason to stop.
  if (record.pOutputSize) ReadImageHeader(path, record.pOutputSize);
  const SIZE* hint = record.pInputSize && record.pInputSize->cx > 0 && record.pInputSize->cy > 0
                         ? record.pInputSize
                         : nullptr;
  Magick::Image image;
  if (!LoadImage(nullptr, path, &image, 0, hint)) return 0;
  return reinterpret_cast<LRESULT>(ImageToBitmap(image, hint));
}

LRESULT CImageService::IsLorimoFile(const tagDLL2LORIMOMESSAGE& record) {
  const MyString extension = PathOf(record.pszPath).GetStringExtension();
  if (extension.GetLength() < 2) return 0;
  const MyString bare = extension.Mid(1);
  for (const MyString& supported : GetSupportedExtensions())
    if (supported.EqualsNoCase(bare)) return 1;
  return 0;
}

LRESULT CImageService::CopyPixels(tagDLL2LORIMOMESSAGE& record) {
  if (!record.pOutputSize) return 0;
  Magick::Image image;
  const MyString path = PathOf(record.pszPath);
  if (!path.IsEmpty()) {
    if (!LoadImage(nullptr, path, &image, 0)) return 0;
  } else {
    if (!m_pDocument || !m_pDocument->HasImage()) return 0;
    image = m_pDocument->GetImage();
  }
  const SIZE size{int32_t(image.columns()), int32_t(image.rows())};
  if (!ValidSize(size)) return 0;
  uint8_t* pixels = AllocPixelBuffer(size.cx, size.cy);
  if (!pixels) return 0;
  if (!CopyBgra(image, pixels)) {
    FreePixelBuffer(pixels);
    return 0;
  }
  record.pPixels = pixels;
  *record.pOutputSize = size;
  return reinterpret_cast<LRESULT>(pixels);
}

LRESULT CImageService::ReplacePixels(const tagDLL2LORIMOMESSAGE& record) {
  if (!record.pPixels || !record.pOutputSize || !m_pDocument) return 0;
  const SIZE size = *record.pOutputSize;
  if (!ValidSize(size)) return 0;
  try {
    // True colour: the fourth byte is not opacity.
    Magick::Image image(size_t(size.cx), size_t(size.cy), "BGRP", Magick::CharPixel,
                        record.pPixels);
    m_pDocument->ReplaceImage(image);
    if (onImageReplaced) onImageReplaced();
  } catch (const std::exception&) {
  }
  return 0;
}

LRESULT CImageService::GetImageDim(const tagDLL2LORIMOMESSAGE& record) {
  if (!record.pOutputSize || !record.pszPath) return 0;
  return ReadImageHeader(record.pszPath, record.pOutputSize);
}

LRESULT CImageService::WriteImage(const tagDLL2LORIMOMESSAGE& record) {
  const MyString source = PathOf(record.pszPath), target = PathOf(record.pszPath2);
  if (source.IsEmpty() || target.IsEmpty()) return 0;
  Magick::Image image;
  if (!LoadImage(nullptr, source, &image, 0)) return 0;
  if (record.pOutputSize) {
    const SIZE size = *record.pOutputSize;
    if (!ValidSize(size)) return 0;
    try {
      if (record.nParam != -1 && record.nParam > int16_t(Magick::UndefinedFilter) &&
          record.nParam <= int16_t(Magick::SincFilter))
        image.filterType(Magick::FilterTypes(record.nParam));
      Magick::Geometry geometry(size_t(size.cx), size_t(size.cy));
      geometry.aspect(true);
      image.resize(geometry);
    } catch (const std::exception&) {
      return 0;
    }
  }
  return SaveImage(m_hMain, target, image) ? 1 : 0;
}

HBITMAP CImageService::ImageToBitmap(const Magick::Image& source, const SIZE* fit) {
  Magick::Image image = source;
  try {
    if (fit && fit->cx > 0 && fit->cy > 0 &&
        (image.columns() > size_t(fit->cx) || image.rows() > size_t(fit->cy)))
      image.scale(Magick::Geometry(size_t(fit->cx), size_t(fit->cy)));
  } catch (const std::exception&) {
    return nullptr;
  }
  HBITMAP bitmap = CreateBitmap32(int32_t(image.columns()), int32_t(image.rows()));
  if (!bitmap) return nullptr;
  if (!CopyBgra(image, bitmap->pPixels)) {
    DeleteBitmap32(bitmap);
    return nullptr;
  }
  return bitmap;
}

HBITMAP CImageService::CentreThumbnail(const QImage& thumbnail, const SIZE& size, int16_t option) {
  if (!ValidSize(size) || thumbnail.isNull()) return nullptr;
  QImage canvas(size.cx, size.cy, QImage::Format_ARGB32);
  canvas.fill(SystemColor(option));
  QPainter painter(&canvas);
  painter.drawImage((size.cx - thumbnail.width()) / 2, (size.cy - thumbnail.height()) / 2,
                    thumbnail);
  painter.end();
  return QImageToBitmap(canvas);
}

HBITMAP CImageService::MakeThumbnail(const MyString& path, const SIZE& size, int16_t option) {
  if (!ValidSize(size)) return nullptr;
  Magick::Image image;
  if (!LoadImage(nullptr, path, &image, 0, &size)) return nullptr;
  try {
    if (image.columns() > size_t(size.cx) || image.rows() > size_t(size.cy))
      image.scale(Magick::Geometry(size_t(size.cx), size_t(size.cy)));
    const QColor background = SystemColor(option);
    Magick::Image canvas(
        Magick::Geometry(size_t(size.cx), size_t(size.cy)),
        Magick::ColorRGB(background.redF(), background.greenF(), background.blueF()));
    canvas.composite(image, long(size_t(size.cx) - image.columns()) / 2,
                     long(size_t(size.cy) - image.rows()) / 2, Magick::OverCompositeOp);
    return ImageToBitmap(canvas);
  } catch (const std::exception&) {
    return nullptr;
  }
}
