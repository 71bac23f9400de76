#include "viewer/imageview.h"

#include <QPainter>

CImageView::CImageView(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
}

void CImageView::SetImage(const QImage& image) {
  m_image = image;
  update();
}

QRect CImageView::ImageRect() const {
  if (m_image.isNull()) return QRect();
  QSize size = m_image.size();
  // Large images shrink to the window; small ones keep their size.
  if (size.width() > width() || size.height() > height())
    size.scale(this->size(), Qt::KeepAspectRatio);
  return QRect((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(),
               size.height());
}

void CImageView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (m_image.isNull()) {
    painter.setPen(QColor(119, 146, 170));
    painter.drawText(rect(), Qt::AlignCenter, tr("No image loaded."));
    return;
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(ImageRect(), m_image);
}
