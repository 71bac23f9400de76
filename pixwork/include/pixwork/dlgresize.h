#pragma once
// "Resize Image": the new size of the current image, in pixels or percent,
// with constrained proportions, and the resize filter. The arithmetic is
// CResizeCalc's; the dialog maps its controls to it. GUI thread only.

#include "corekit_ui/dialog.h"
#include "pixwork/imageprop.h"
#include "pixwork/resizemath.h"

class QComboBox;
class QLabel;
class QLineEdit;

enum : int {
  IDC_RESIZE_WIDTH = 1201,
  IDC_RESIZE_WIDTH_PIXELS = 1202,
  IDC_RESIZE_WIDTH_PERCENT = 1203,
  IDC_RESIZE_HEIGHT = 1204,
  IDC_RESIZE_HEIGHT_PIXELS = 1205,
  IDC_RESIZE_HEIGHT_PERCENT = 1206,
  IDC_RESIZE_CONSTRAIN = 1207,
  IDC_RESIZE_FILTER = 1208,
  IDC_RESIZE_MEMORY = 1209,
};

class CDlgResize : public CDialog {
 public:
  // prop: the image's width, height and resize filter.
  CDlgResize(QWidget* owner, const IMAGEPROP& prop);

  // After OK: the chosen width and height in pixels and the filter.
  // Before, or after Cancel: what the dialog was given.
  IMAGEPROP GetImageProp() const { return m_prop; }

 protected:
  int OnInitDialog() override;
  int OnCommand(int id) override;

 private:
  void OnEdited(RESIZESIDE side, const QString& text);
  // Writes the calculator's state into the controls; the box the user is
  // typing in is rewritten only when its value had to change.
  void ShowState(int typingSide = -1);

  IMAGEPROP m_prop;
  CResizeCalc m_calc;
  QLineEdit* m_pBox[2] = {};
  QComboBox* m_pFilter = nullptr;
  QLabel* m_pMemory = nullptr;
};
