#pragma once
// The central view: draws the current image fitted into the window and
// centred, or the empty-viewer text.

#include <QImage>
#include <QWidget>

class CImageView : public QWidget {
  Q_OBJECT
 public:
  explicit CImageView(QWidget* parent = nullptr);

  void SetImage(const QImage& image);
  const QImage& Image() const { return m_image; }
  // Where the image is drawn, in widget coordinates (empty without image).
  QRect ImageRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage m_image;
};
