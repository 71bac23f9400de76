#pragma once
// The viewer's editing commands and mouse tools: Undo, Redo, Cut, Copy,
// Paste, Crop, Resize Image and Arbitrary Rotation, the selection dragged
// with the Select tool, the measure line and the rotation tool's pivot
// (the Anchor tool). A part of the viewer: it owns the selection window
// and the rotation panel, draws the measure line and the rotation pie over
// the image, and leaves the edits themselves to CImageEdits. GUI thread
// only.

#include <QPointF>
#include <QPointer>
#include <functional>

#include "viewer/edit/imageedits.h"
#include "viewer/edit/rotationpanel.h"
#include "viewer/edit/selectionwindow.h"
#include "viewer/imageview.h"

class QRubberBand;

class CEditCommands : public CViewerPart, public CImageEditsUi {
 public:
  // A drag must be larger than this both ways to make a selection.
  static constexpr int kMinSelection = 5;
  static constexpr int kPieRadius = 25;

  explicit CEditCommands(CImageView& view);
  ~CEditCommands() override;

  // CViewerPart
  bool OwnsCommand(int id) const override;
  int OnCommand(int id) override;
  bool IsCommandEnabled(int id) const override;
  bool IsCommandChecked(int id) const override;
  int RunViewerOperation(VIEWEROPERATION operation, const POINT& pt) override;
  bool MouseMove(const QPoint& pt, Qt::MouseButtons buttons) override;
  void PaintOverlay(QPainter& painter) override;
  void RemoveSelection() override;
  void OnImageReplaced() override;

  // CImageEditsUi
  void Message(const MyString& text, const MyString& caption) override;
  void BeginImageChange() override;
  void ShowEdited(EDITSHOW how) override;

  CImageEdits& Edits() { return m_edits; }
  // The selection in image pixels; 0 when there is none or it lies off the image.
  int GetSelection(tagIMAGESELECTION* selection) const;
  CSelectionWindow* SelectionWindow() const { return m_pSelection; }
  CRotationPanel* RotationPanel() const { return m_pPanel; }
  bool IsRotationPanelOpen() const;
  // The measure line's label while or after measuring (empty without one).
  MyString MeasureLabel() const;
  // Applies the angle the rotation panel holds.
  int ApplyRotation();

  // Where the measure label goes for a line from a to b: near the middle,
  // moved off the line (client pixels; text: the label's size).
  static QPoint MeasureLabelPosition(const QPoint& a, const QPoint& b, const QSize& text);

 private:
  QPoint ImageOrigin() const;
  // Client pixels and image pixels (with fractions) of the current view.
  QPointF ToImage(const QPoint& pt) const;
  QPoint ToClient(const QPointF& pt) const;
  bool HasImage() const;
  void OpenRotationTool();
  void ClearOverlays();

  void EditRegionStart(const QPoint& pt);
  void EditRegionStop(const QPoint& pt);

  CImageView& m_view;
  CImageEdits m_edits;
  QPointer<CSelectionWindow> m_pSelection;
  QPointer<QRubberBand> m_pRubberBand;
  QPointer<CRotationPanel> m_pPanel;

  bool m_bSelecting = false;
  QPoint m_ptSelectStart;
  // The measure line and the rotation drag, in image pixels so that they
  // stay on the image when it is zoomed or scrolled.
  bool m_bMeasuring = false;
  bool m_bMeasureShown = false;
  QPointF m_ptMeasureFrom, m_ptMeasureTo;
  bool m_bRotating = false;
  bool m_bPivotShown = false;
  QPointF m_ptPivot, m_ptRotateTo;
};
