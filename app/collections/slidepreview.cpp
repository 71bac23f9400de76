#include "collections/slidepreview.h"

#include <QPainter>

#include "codecs/imagereader.h"

CSlidePreview::CSlidePreview(QWidget* parent) : QWidget(parent) {
  setMinimumSize(160, 120);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CSlidePreview::SetPreviewEnabled(bool bEnabled) {
  m_bEnabled = bEnabled;
  update();
}

void CSlidePreview::SetSlide(const MyString& path) {
  m_strPath = path;
  update();
}

QString CSlidePreview::GetText() const {
  if (!m_bEnabled) return tr("Preview disabled.");
  if (m_strPath.IsEmpty()) return tr("No preview available.");
  const_cast<CSlidePreview*>(this)->Load();
  return m_bFailed ? tr("Cannot generate preview !") : QString();
}

void CSlidePreview::Load() {
  if (m_strPath == m_strLoaded) return;
  m_strLoaded = m_strPath;
  m_image = QImage();
  m_bFailed = true;
  const SIZE hint{std::max(1, width()), std::max(1, height())};
  CImageReadRequest request;
  request.path = m_strPath;
  request.extension = ExtensionOf(m_strPath);
  request.sizeHint = &hint;
  request.bUpright = true;
  CImageReadResult result;
  if (!ReadImageFile(request, &result)) return;
  try {
    const Magick::Image& image = result.image;
    QImage pixels(int(image.columns()), int(image.rows()), QImage::Format_ARGB32);
    if (pixels.isNull()) return;
    for (int y = 0; y < pixels.height(); ++y)
      ExportBgraPixels(image, size_t(y), 1, pixels.scanLine(y));
    m_image = std::move(pixels);
    m_bFailed = false;
  } catch (const Magick::Exception&) {
  }
}

void CSlidePreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  const QString text = GetText();
  if (!text.isEmpty()) {
    painter.setPen(Qt::red);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text);
    return;
  }
  QSize shown = m_image.size();
  if (shown.width() > width() || shown.height() > height())
    shown.scale(size(), Qt::KeepAspectRatio);
  const QRect target(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, m_image);
}
