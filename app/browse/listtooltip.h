#pragma once
// The item tooltip of the list views: six lines about the file (name,
// folder, date, dimensions from the header, size, and camera facts from its
// EXIF block), and in the files view a 100 by 100 preview that shows
// "Loading ..." until a worker made it. GUI thread.

#include <QFrame>
#include <QImage>
#include <memory>

#include "corekit/mystring.h"

class CThumbnailWorkers;
class ThumbnailCache;

// The tooltip's text (lines end with '\n' except the size line; the camera
// lines start with one).
MyString BuildItemTooltip(const MyString& path);

class CListTooltip : public QFrame {
  Q_OBJECT
 public:
  // withPreview: the files view's 100 by 100 picture below the text.
  CListTooltip(bool withPreview, QWidget* parent = nullptr);
  ~CListTooltip() override;

  // Shows the item's tip at a global point (nothing when path is empty).
  void ShowItem(int index, const MyString& path, const QPoint& global);
  void HideTip();
  int GetIndex() const { return m_nIndex; }
  // Stops the preview worker (the thumbnail cache is going).
  void DropWorker();
  bool IsPreviewReady() const { return !m_preview.isNull(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QSize TextSize() const;

  bool m_bPreview;
  int m_nIndex = -1;
  QString m_strText;
  QImage m_preview;
  uint64_t m_nWanted = 0;
  bool m_bFailed = false;
  bool m_bDropped = false;
  std::unique_ptr<CThumbnailWorkers> m_workers;
};
