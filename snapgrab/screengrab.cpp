#include "screengrab.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QScreen>

QImage GrabDesktop() {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return QImage();
  if (screens.size() == 1) return screens.front()->grabWindow(0).toImage();

  QRect desktop;
  qreal ratio = 1;
  for (QScreen* screen : screens) {
    desktop |= screen->geometry();
    ratio = std::max(ratio, screen->devicePixelRatio());
  }
  QImage image((QSizeF(desktop.size()) * ratio).toSize(), QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::black);
  bool grabbed = false;
  QPainter painter(&image);
  for (QScreen* screen : screens) {
    const QPixmap pixmap = screen->grabWindow(0);
    if (pixmap.isNull()) continue;
    painter.drawPixmap(
        QRect(screen->geometry().topLeft() - desktop.topLeft(), screen->geometry().size()), pixmap);
    grabbed = true;
  }
  painter.end();
  return grabbed ? image : QImage();
}

QByteArray SaveFormatFor(const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  if (suffix == QLatin1String("png")) return "png";
  if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) return "jpg";
  if (suffix == QLatin1String("bmp")) return "bmp";
  return QByteArray();
}

QString WithSaveExtension(const QString& fileName, const QByteArray& format) {
  if (!SaveFormatFor(fileName).isEmpty()) return fileName;
  return fileName + QLatin1Char('.') + QString::fromLatin1(format);
}

bool SaveScreenshot(const QImage& image, const QString& fileName, QString* error) {
  const QByteArray format = SaveFormatFor(fileName);
  if (format.isEmpty()) {
    *error = QStringLiteral("Screen captures are saved as PNG, JPEG or BMP files, not as %1.")
                 .arg(QFileInfo(fileName).fileName());
    return false;
  }
  if (image.isNull()) {
    *error = QStringLiteral("There is no picture to save.");
    return false;
  }
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) {
    *error = QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString());
    return false;
  }
  QImageWriter writer(&file, format);
  if (format == "jpg") writer.setQuality(92);
  // JPEG and BMP have no transparency; the screen has none to keep.
  if (!writer.write(image.convertToFormat(QImage::Format_RGB32))) {
    *error = QStringLiteral("Cannot write %1: %2").arg(fileName, writer.errorString());
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) {
    *error = QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString());
    return false;
  }
  return true;
}
