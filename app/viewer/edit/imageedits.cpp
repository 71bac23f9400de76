#include "viewer/edit/imageedits.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <cmath>
#include <stdexcept>

#include "corekit/loadslot.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "viewer/edit/editundo.h"
#include "viewer/imagedocument.h"
#include "viewer/paintweller.h"

namespace {

constexpr const char16_t* kNeedImage = u"Please Open Image First.";
constexpr const char16_t* kCutCaption = u"Lorimo: Cut Image Function";
constexpr const char16_t* kCopyCaption = u"Lorimo: Copy Image Function";
constexpr const char16_t* kPasteCaption = u"Lorimo: Paste Image Function";
constexpr const char16_t* kCropCaption = u"Crop Function";
constexpr const char16_t* kResizeCaption = u"Lorimo: Resize Image Function";
constexpr const char16_t* kRotateCaption = u"Lorimo: Arbitrary Rotation Function";

CEditUndo UndoOf(CImageDocument& document) {
  // Undo keeps and swaps the image itself.
  document.GetImage();
  tagIMAGEDATA& data = document.GetData();
  return CEditUndo(data.image, data.pUndoImage, data.bUndoAvailable, data.bRedoAvailable,
                   data.bModified);
}

Magick::Geometry AreaOf(const tagIMAGESELECTION& selection) {
  return Magick::Geometry(unsigned(selection.nWidth), unsigned(selection.nHeight),
                          unsigned(selection.x), unsigned(selection.y));
}

bool IsInside(const tagIMAGESELECTION& selection, const Magick::Image& image) {
  return selection.x >= 0 && selection.y >= 0 && selection.nWidth > 0 && selection.nHeight > 0 &&
         size_t(selection.x) + size_t(selection.nWidth) <= image.columns() &&
         size_t(selection.y) + size_t(selection.nHeight) <= image.rows();
}

MyString ErrorText(const std::exception& e) { return CStrAW::a_toW(e.what()); }

}  // namespace

CImageEdits::CImageEdits(CImageDocument& document, CImageEditsUi& ui)
    : m_document(document), m_ui(ui) {}

bool CImageEdits::NeedImage(const char16_t* caption) {
  if (m_document.HasImage() && m_document.GetImage().isValid()) return true;
  m_ui.Message(kNeedImage, caption);
  return false;
}

// --- Undo and redo ---

bool CImageEdits::CanUndo() const {
  const tagIMAGEDATA& data = m_document.GetData();
  return data.bUndoAvailable && data.pUndoImage;
}

bool CImageEdits::CanRedo() const {
  const tagIMAGEDATA& data = m_document.GetData();
  return data.bRedoAvailable && data.pUndoImage;
}

int CImageEdits::Undo() {
  if (processViewUndo && processViewUndo()) return ER_DONE;
  return Swap(true);
}

int CImageEdits::Redo() {
  if (processViewRedo && processViewRedo()) return ER_DONE;
  return Swap(false);
}

int CImageEdits::Swap(bool bUndo) {
  if (bUndo ? !CanUndo() : !CanRedo()) return ER_NOTHING;
  const Magick::Image before = m_document.GetImage();
  m_ui.BeginImageChange();
  CEditUndo undo = UndoOf(m_document);
  if (bUndo)
    undo.Undo();
  else
    undo.Redo();
  m_document.UpdateImage(m_document.GetImage());
  const Magick::Image& after = m_document.GetImage();
  const bool bSameSize = after.columns() == before.columns() && after.rows() == before.rows();
  m_ui.ShowEdited(bSameSize ? ES_REDRAW : ES_NEW_KEEP_ZOOM);
  return ER_DONE;
}

int CImageEdits::Commit(const Magick::Image& edited, EDITSHOW how) {
  m_ui.BeginImageChange();
  CEditUndo undo = UndoOf(m_document);
  if (!undo.CommitEdit(edited)) {
    m_ui.ShowEdited(ES_REDRAW);
    m_ui.Message(u"There is not enough memory to keep the image for Undo.", u"Lorimo: Edit");
    return ER_FAILED;
  }
  if (how == ES_PASTED || how == ES_PASTED_AREA) {
    m_document.SetPath(kPasteName);
    // The has-image flag goes on: a paste into an empty viewer is an image.
    m_document.ReplaceImage(m_document.GetImage());
  } else {
    m_document.UpdateImage(m_document.GetImage());
  }
  m_ui.ShowEdited(how);
  return ER_DONE;
}

// --- Crop, cut, copy, paste ---

int CImageEdits::Crop(const tagIMAGESELECTION& selection) {
  if (!NeedImage(kCropCaption)) return ER_NEEDS_IMAGE;
  Magick::Image cropped;
  try {
    if (!IsInside(selection, m_document.GetImage())) throw std::runtime_error("outside");
    cropped = m_document.GetImage();
    cropped.crop(AreaOf(selection));
    // The crop keeps the original canvas as its page; the result is an image of its own.
    cropped.page(Magick::Geometry(0, 0, 0, 0));
    if (!cropped.isValid() || cropped.columns() == 0 || cropped.rows() == 0)
      throw std::runtime_error("empty");
  } catch (const std::exception&) {
    // The image stays, so nothing is lost; the user is told.
    m_ui.Message(u"Cannot generate DIB file!", kCropCaption);
    return ER_FAILED;
  }
  return Commit(cropped, ES_NEW_KEEP_ZOOM);
}

int CImageEdits::Cut(const tagIMAGESELECTION& selection) {
  if (!NeedImage(kCutCaption)) return ER_NEEDS_IMAGE;
  if (selection.nWidth <= 0 || selection.nHeight <= 0) return ER_NOTHING;
  if (!IsInside(selection, m_document.GetImage())) return ER_NOTHING;
  const int copied = Copy(&selection);
  if (copied != ER_DONE) return copied;
  Magick::Image edited = m_document.GetImage();
  try {
    edited.modifyImage();
    Magick::PixelPacket* pixels = edited.getPixels(
        selection.x, selection.y, size_t(selection.nWidth), size_t(selection.nHeight));
    if (!pixels) throw std::runtime_error("no pixels");
    const size_t count = size_t(selection.nWidth) * size_t(selection.nHeight);
    // Black and opaque (opacity 0).
    for (size_t i = 0; i < count; ++i) pixels[i] = Magick::PixelPacket{0, 0, 0, 0};
    edited.syncPixels();
  } catch (const std::exception& e) {
    m_ui.Message(ErrorText(e), kCutCaption);
    return ER_FAILED;
  }
  return Commit(edited, ES_REDRAW);
}

QImage CImageEdits::BitmapFromImage(const Magick::Image& image,
                                    const tagIMAGESELECTION* selection) {
  try {
    Magick::Image part = image;
    if (selection) {
      if (!IsInside(*selection, image)) return QImage();
      part.crop(AreaOf(*selection));
    }
    const QImage bitmap = CPaintweller::Object2QImage(part);
    if (bitmap.isNull()) return QImage();
    return bitmap.convertToFormat(QImage::Format_RGB32);
  } catch (const std::exception&) {
    return QImage();
  }
}

int CImageEdits::Copy(const tagIMAGESELECTION* selection) {
  if (!NeedImage(kCopyCaption)) return ER_NEEDS_IMAGE;
  const QImage bitmap = BitmapFromImage(m_document.GetImage(), selection);
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (bitmap.isNull() || !clipboard) {
    m_ui.Message(u"The image cannot be put on the clipboard.", kCopyCaption);
    return ER_FAILED;
  }
  clipboard->setImage(bitmap);
  return ER_DONE;
}

bool CImageEdits::ClipboardHasImage() {
  const QClipboard* clipboard = QGuiApplication::clipboard();
  const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
  return data && data->hasImage();
}

Magick::Image CImageEdits::ImageFromBitmap(const QImage& bitmap) {
  const QImage rgb = bitmap.convertToFormat(QImage::Format_RGB32);
  if (rgb.isNull() || rgb.width() <= 0 || rgb.height() <= 0) return Magick::Image();
  // Rows of a 32-bit image have no padding, so the whole block is read at once.
  return Magick::Image(size_t(rgb.width()), size_t(rgb.height()), "BGRP", Magick::CharPixel,
                       rgb.constBits());
}

int CImageEdits::Paste(const tagIMAGESELECTION* selection) {
  if (!ClipboardHasImage()) return ER_NOTHING;
  const QImage bitmap = QGuiApplication::clipboard()->image();
  if (bitmap.isNull()) return ER_NOTHING;
  try {
    Magick::Image pasted = ImageFromBitmap(bitmap);
    if (!pasted.isValid()) return ER_NOTHING;
    if (!selection || !m_document.HasImage() || !m_document.GetImage().isValid())
      return Commit(pasted, ES_PASTED);
    if (!IsInside(*selection, m_document.GetImage())) return ER_NOTHING;
    if (gBO[BO_FIT_SEL].bFlag) {
      Magick::Geometry size(unsigned(selection->nWidth), unsigned(selection->nHeight));
      size.aspect(true);
      pasted.zoom(size);
    } else {
      pasted.crop(
          Magick::Geometry(unsigned(selection->nWidth), unsigned(selection->nHeight), 0, 0));
      pasted.page(Magick::Geometry(0, 0, 0, 0));
    }
    Magick::Image edited = m_document.GetImage();
    edited.composite(pasted, selection->x, selection->y, Magick::InCompositeOp);
    return Commit(edited, ES_PASTED_AREA);
  } catch (const std::exception& e) {
    m_ui.Message(ErrorText(e), kPasteCaption);
    return ER_FAILED;
  }
}

// --- Resize and rotation ---

int CImageEdits::RunMonitored(const std::function<void(Magick::Image&)>& operation,
                              const char16_t* caption, Magick::Image* result) {
  CProgressMonitor& monitor = m_document.GetMonitor();
  // A load on a worker may call back into this thread: waiting for it here
  // could hang both.
  if (GetStopEvent().IsSet() || CProgressMonitor::IsClosing()) return ER_CANCELLED;
  if (monitor.IsRunning() || !GetLoadSlot().TryAcquire()) {
    m_ui.Message(u"An image is being loaded. Please try again when it is shown.", caption);
    return ER_BUSY;
  }
  Magick::Image copy = m_document.GetImage();
  MyString error;
  monitor.Begin();
  try {
    copy.modifyImage();
    operation(copy);
    if (!copy.isValid() || copy.columns() == 0 || copy.rows() == 0) error = u"No image resulted.";
  } catch (const std::exception& e) {
    error = ErrorText(e);
  }
  const bool cancelled = monitor.IsCancelled() || CProgressMonitor::IsClosing();
  monitor.End();
  GetLoadSlot().Release();
  if (cancelled) return ER_CANCELLED;
  if (!error.IsEmpty()) {
    m_ui.Message(error, caption);
    return ER_FAILED;
  }
  *result = copy;
  return ER_DONE;
}

IMAGEPROP CImageEdits::CurrentImageProp() const {
  IMAGEPROP prop;
  const Magick::Image& image = m_document.GetImage();
  if (!m_document.HasImage() || !image.isValid()) return prop;
  prop.dwWidth = uint32_t(image.columns());
  prop.dwHeight = uint32_t(image.rows());
  prop.nFilter = int32_t(image.filterType());
  return prop;
}

int CImageEdits::Resize(const IMAGEPROP& prop) {
  if (!NeedImage(kResizeCaption)) return ER_NEEDS_IMAGE;
  if (prop.dwWidth == 0 || prop.dwHeight == 0) return ER_NOTHING;
  Magick::Image resized;
  const int result = RunMonitored(
      [&prop](Magick::Image& image) {
        image.filterType(Magick::FilterTypes(prop.nFilter));
        Magick::Geometry size(prop.dwWidth, prop.dwHeight);
        size.aspect(true);  // exactly this size
        image.zoom(size);
      },
      kResizeCaption, &resized);
  if (result != ER_DONE) return result;
  if (resized.columns() != prop.dwWidth || resized.rows() != prop.dwHeight) {
    m_ui.Message(u"The image cannot be resized.", kResizeCaption);
    return ER_FAILED;
  }
  return Commit(resized, ES_NEW_IMAGE);
}

int CImageEdits::ParseAngle(const MyString& text, double* degrees) {
  QString value = text.ToQString().trimmed();
  value.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  const double parsed = value.toDouble(&ok);
  if (!ok || !std::isfinite(parsed)) return 0;
  *degrees = parsed;
  return 1;
}

int CImageEdits::Rotate(const MyString& angleText, const Magick::Color& background) {
  double degrees = 0;
  if (!ParseAngle(angleText, &degrees)) {
    m_ui.Message(u"Please enter the angle as a number of degrees, for example 12.5.",
                 kRotateCaption);
    return ER_BAD_INPUT;
  }
  return Rotate(degrees, background);
}

int CImageEdits::Rotate(double degrees, const Magick::Color& background) {
  // A whole turn (or none) leaves the image as it is.
  const double turn = std::fmod(degrees, 360.0);
  if (turn == 0) return ER_NOTHING;
  if (!NeedImage(kRotateCaption)) return ER_NEEDS_IMAGE;
  Magick::Image rotated;
  const int result = RunMonitored(
      [turn, &background](Magick::Image& image) {
        image.backgroundColor(background);
        image.rotate(turn);
        image.page(Magick::Geometry(0, 0, 0, 0));
      },
      kRotateCaption, &rotated);
  if (result != ER_DONE) return result;
  return Commit(rotated, ES_NEW_IMAGE);
}
