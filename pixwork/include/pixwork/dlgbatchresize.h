#pragma once
// "Batch Resize": the bound that the batch converter resizes every image
// to, and the resize itself. The dialog object keeps its settings between
// openings; the batch converter may store them elsewhere through
// GetOptions and SetOptions. GUI thread, except BatchResizing.

#include "corekit_ui/dialog.h"
#include "pixwork/resizemath.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace Magick {
class Image;
}

enum : int {
  IDC_BATCH_ENLARGE = 1221,
  IDC_BATCH_SHRINK = 1222,
  IDC_BATCH_WIDTH = 1223,
  IDC_BATCH_HEIGHT = 1224,
  IDC_BATCH_CONSTRAIN = 1225,
  IDC_BATCH_FILTER = 1226,
};

class CDlgBatchResize : public CDialog {
 public:
  explicit CDlgBatchResize(QWidget* owner = nullptr);

  const BATCHRESIZEOPTIONS& GetOptions() const { return m_options; }
  void SetOptions(const BATCHRESIZEOPTIONS& options) { m_options = options; }

  // Resizes image by the settings (BatchResizeImage): 1, or 0 when the
  // library failed and the image is as it was. Any thread, while the dialog
  // is not open.
  int BatchResizing(Magick::Image& image) const;

 protected:
  int OnInitDialog() override;
  int OnCommand(int id) override;

 private:
  // OK needs a direction and both bounds.
  void UpdateOkButton();

  BATCHRESIZEOPTIONS m_options;
  QCheckBox* m_pEnlarge = nullptr;
  QCheckBox* m_pShrink = nullptr;
  QCheckBox* m_pConstrain = nullptr;
  QLineEdit* m_pWidth = nullptr;
  QLineEdit* m_pHeight = nullptr;
  QComboBox* m_pFilter = nullptr;
  QWidget* m_pOk = nullptr;
};
