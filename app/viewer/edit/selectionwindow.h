#pragma once
// The selection: a framed window of class "LorimoSelectRegion" lying over
// the viewer where the user dragged an edit region. It only draws its frame
// and tells where it lies and the zoom it was drawn at; the edits turn that
// into image pixels. Mouse events pass through it to the viewer. GUI thread
// only.

#include <QWidget>

#include "viewer/edit/edittools.h"

class CSelectionWindow : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kFrame = 1;  // the frame's width on every side

  // rect: the outer rectangle in the viewer's client pixels; factor: the
  // viewer's zoom.
  CSelectionWindow(QWidget* viewer, const QRect& rect, double factor);

  double Factor() const { return m_fFactor; }
  // Where it lies measured from the image's top-left corner, which is at
  // imageOrigin in the viewer's client pixels.
  tagSELECTIONWINDOW Describe(const QPoint& imageOrigin) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double m_fFactor;
};
