#include "corekit_ui/uiutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QWidget>
#include <QtEndian>
#include <cstring>
#include <vector>

#include "corekit/platform.h"

#ifndef LORIMO_VERSION_TEXT
#define LORIMO_VERSION_TEXT "0.0.0"
#endif

QWidget* WidgetFromHwnd(HWND hwnd) { return qobject_cast<QWidget*>(GetReceiverObject(hwnd)); }

void FlushWindowsMessages(QWidget* window) {
  if (!window) return;
  // Collected first: delivering an event may delete any of them.
  std::vector<QPointer<QObject>> receivers{window};
  for (QObject* child : window->findChildren<QObject*>()) receivers.emplace_back(child);
  for (const QPointer<QObject>& receiver : receivers)
    if (receiver) QCoreApplication::sendPostedEvents(receiver, 0);
}

void FlushWindowsMessages(HWND hwnd) {
  if (QObject* owner = GetReceiverObject(hwnd)) {
    if (auto* widget = qobject_cast<QWidget*>(owner))
      FlushWindowsMessages(widget);
    else
      QCoreApplication::sendPostedEvents(owner, 0);
  }
}

namespace {

QRect ToQRect(const RECT& rect) {
  return QRect(QPoint(rect.left, rect.top), QSize(rect.right - rect.left, rect.bottom - rect.top));
}

void FromQRect(const QRect& from, RECT* rect) {
  rect->left = from.left();
  rect->top = from.top();
  rect->right = from.left() + from.width();
  rect->bottom = from.top() + from.height();
}

}  // namespace

QRect ClientToScreen(const QWidget* widget, const QRect& rect) {
  if (!widget) return rect;
  return rect.translated(widget->mapToGlobal(QPoint(0, 0)));
}

QRect ScreenToClient(const QWidget* widget, const QRect& rect) {
  if (!widget) return rect;
  return rect.translated(-widget->mapToGlobal(QPoint(0, 0)));
}

void ClientToScreen(const QWidget* widget, RECT* rect) {
  if (rect) FromQRect(ClientToScreen(widget, ToQRect(*rect)), rect);
}

void ScreenToClient(const QWidget* widget, RECT* rect) {
  if (rect) FromQRect(ScreenToClient(widget, ToQRect(*rect)), rect);
}

MyString GetVersionInformation() {
  const QString version = QCoreApplication::applicationVersion();
  return version.isEmpty() ? MyString::FromUtf8(LORIMO_VERSION_TEXT)
                           : MyString::FromQString(version);
}

MyString GetDefaultSearchDirectory() {
  for (const MyString& folder : {GetPicturesFolder(), GetHomeFolder()})
    if (QDir(folder.ToQString()).exists()) return folder;
  return MyString();
}

QImage BitmapToQImage(const tagLORIMOBITMAP* bitmap) {
  if (!bitmap || !bitmap->pPixels || BitmapBytes(bitmap->nWidth, bitmap->nHeight) == 0 ||
      int64_t(bitmap->nStride) < int64_t(bitmap->nWidth) * 4)
    return QImage();
  QImage image(bitmap->nWidth, bitmap->nHeight, QImage::Format_ARGB32);
  if (image.isNull()) return image;
  for (int y = 0; y < bitmap->nHeight; ++y) {
    const uint8_t* source = bitmap->pPixels + size_t(y) * size_t(bitmap->nStride);
    auto* target = reinterpret_cast<uint32_t*>(image.scanLine(y));
    // ARGB32 is a native 32-bit word; B, G, R, A in memory is its
    // little-endian form.
    for (int x = 0; x < bitmap->nWidth; ++x)
      target[x] = qFromLittleEndian<uint32_t>(source + 4 * x);
  }
  return image;
}

HBITMAP QImageToBitmap(const QImage& image) {
  if (image.isNull()) return nullptr;
  const QImage argb = image.format() == QImage::Format_ARGB32
                          ? image
                          : image.convertToFormat(QImage::Format_ARGB32);
  HBITMAP bitmap = CreateBitmap32(argb.width(), argb.height());
  if (!bitmap) return nullptr;
  for (int y = 0; y < argb.height(); ++y) {
    const auto* source = reinterpret_cast<const uint32_t*>(argb.constScanLine(y));
    uint8_t* target = bitmap->pPixels + size_t(y) * size_t(bitmap->nStride);
    for (int x = 0; x < argb.width(); ++x) qToLittleEndian<uint32_t>(source[x], target + 4 * x);
  }
  return bitmap;
}
