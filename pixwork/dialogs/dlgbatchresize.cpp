#include "pixwork/dlgbatchresize.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "resizefilterbox.h"

CDlgBatchResize::CDlgBatchResize(QWidget* owner) : CDialog(owner) {
  setWindowTitle(tr("Batch Resize"));
  auto* options = new QGroupBox(tr("Batch Resize Options"), this);
  m_pEnlarge = new QCheckBox(tr("Enlarge small images to bound"), options);
  m_pShrink = new QCheckBox(tr("Shrink large images to bound"), options);
  auto* optionsLayout = new QVBoxLayout(options);
  optionsLayout->addWidget(m_pEnlarge);
  optionsLayout->addWidget(m_pShrink);

  auto* bounds = new QGroupBox(tr("Bounding Options"), this);
  auto* grid = new QGridLayout(bounds);
  m_pWidth = new QLineEdit(bounds);
  m_pHeight = new QLineEdit(bounds);
  for (QLineEdit* box : {m_pWidth, m_pHeight}) {
    box->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,5}"), box));
    connect(box, &QLineEdit::textChanged, this, [this] { UpdateOkButton(); });
  }
  grid->addWidget(new QLabel(tr("Width bound in pixels :"), bounds), 0, 0);
  grid->addWidget(m_pWidth, 0, 1);
  grid->addWidget(new QLabel(tr("Height bound in pixels:"), bounds), 1, 0);
  grid->addWidget(m_pHeight, 1, 1);
  m_pConstrain = new QCheckBox(tr("Constrain Proportions"), bounds);
  grid->addWidget(m_pConstrain, 2, 0, 1, 2);
  grid->addWidget(new QLabel(tr("Filter Type :"), bounds), 3, 0);
  m_pFilter = new QComboBox(bounds);
  grid->addWidget(m_pFilter, 3, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  m_pOk = buttons->button(QDialogButtonBox::Ok);
  SetDlgItem(IDOK, m_pOk);
  SetDlgItem(IDCANCEL, buttons->button(QDialogButtonBox::Cancel));
  SetDlgItem(IDC_BATCH_ENLARGE, m_pEnlarge);
  SetDlgItem(IDC_BATCH_SHRINK, m_pShrink);
  SetDlgItem(IDC_BATCH_WIDTH, m_pWidth);
  SetDlgItem(IDC_BATCH_HEIGHT, m_pHeight);
  SetDlgItem(IDC_BATCH_CONSTRAIN, m_pConstrain);
  SetDlgItem(IDC_BATCH_FILTER, m_pFilter);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(options);
  layout->addWidget(bounds);
  layout->addWidget(buttons);
}

int CDlgBatchResize::OnInitDialog() {
  m_pEnlarge->setChecked(m_options.bEnlarge);
  m_pShrink->setChecked(m_options.bShrink);
  m_pConstrain->setChecked(m_options.bConstrain);
  // A bound never set shows as an empty box, to be filled in.
  m_pWidth->setText(m_options.dwWidth ? QString::number(m_options.dwWidth) : QString());
  m_pHeight->setText(m_options.dwHeight ? QString::number(m_options.dwHeight) : QString());
  FillResizeFilterBox(m_pFilter, m_options.nFilter);
  UpdateOkButton();
  return 1;
}

void CDlgBatchResize::UpdateOkButton() {
  // A bound of 0 would turn every image of the batch into a single pixel.
  m_pOk->setEnabled((m_pEnlarge->isChecked() || m_pShrink->isChecked()) &&
                    m_pWidth->text().toUInt() > 0 && m_pHeight->text().toUInt() > 0);
}

int CDlgBatchResize::OnCommand(int id) {
  if (id == IDC_BATCH_ENLARGE || id == IDC_BATCH_SHRINK) {
    UpdateOkButton();
    return 1;
  }
  if (id == IDOK) {
    // Enter reaches here even while the button is greyed.
    if (!m_pOk->isEnabled()) return 1;
    m_options.bEnlarge = m_pEnlarge->isChecked();
    m_options.bShrink = m_pShrink->isChecked();
    m_options.bConstrain = m_pConstrain->isChecked();
    m_options.dwWidth = m_pWidth->text().toUInt();
    m_options.dwHeight = m_pHeight->text().toUInt();
    const int32_t filter = SelectedResizeFilter(m_pFilter);
    if (filter >= 0) m_options.nFilter = filter;
  }
  return CDialog::OnCommand(id);
}

int CDlgBatchResize::BatchResizing(Magick::Image& image) const {
  return BatchResizeImage(image, m_options);
}
