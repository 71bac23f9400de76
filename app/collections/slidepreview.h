#pragma once
// CSlidePreview: the preview area of a slide list (the portfolio manager,
// the batch page): on black, the selected slide's image scaled down to fit,
// or one red line saying why there is none. The image is read with the
// area's size as a size hint and kept until another path is shown.
// GUI thread only.

#include <QImage>
#include <QWidget>

#include "corekit/mystring.h"

class CSlidePreview : public QWidget {
 public:
  explicit CSlidePreview(QWidget* parent = nullptr);

  // Off: "Preview disabled." whatever is selected.
  void SetPreviewEnabled(bool bEnabled);
  bool IsPreviewEnabled() const { return m_bEnabled; }
  // The slide to show; empty for none ("No preview available.").
  void SetSlide(const MyString& path);
  const MyString& GetSlide() const { return m_strPath; }

  // The line drawn instead of an image, empty when the image is drawn.
  QString GetText() const;
  const QImage& GetImage() const { return m_image; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Load();

  bool m_bEnabled = true;
  MyString m_strPath;
  MyString m_strLoaded;  // the path m_image was read from
  bool m_bFailed = false;
  QImage m_image;
};
