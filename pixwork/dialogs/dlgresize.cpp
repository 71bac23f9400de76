#include "pixwork/dlgresize.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "resizefilterbox.h"

namespace {

constexpr int kUnitIds[2][2] = {{IDC_RESIZE_WIDTH_PIXELS, IDC_RESIZE_WIDTH_PERCENT},
                                {IDC_RESIZE_HEIGHT_PIXELS, IDC_RESIZE_HEIGHT_PERCENT}};

}  // namespace

CDlgResize::CDlgResize(QWidget* owner, const IMAGEPROP& prop)
    : CDialog(owner), m_prop(prop), m_calc(prop.dwWidth, prop.dwHeight) {
  setWindowTitle(tr("Resize Image"));
  auto* grid = new QGridLayout;
  const char* labels[2] = {"Width :", "Height :"};
  const int boxIds[2] = {IDC_RESIZE_WIDTH, IDC_RESIZE_HEIGHT};
  for (int side = 0; side < 2; ++side) {
    grid->addWidget(new QLabel(tr(labels[side]), this), side, 0);
    m_pBox[side] = new QLineEdit(this);
    // Up to 3276800 percent of a one-pixel side.
    m_pBox[side]->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]{0,7}"), m_pBox[side]));
    grid->addWidget(m_pBox[side], side, 1);
    SetDlgItem(boxIds[side], m_pBox[side]);
    connect(m_pBox[side], &QLineEdit::textEdited, this,
            [this, side](const QString& text) { OnEdited(RESIZESIDE(side), text); });
    auto* group = new QButtonGroup(this);
    const char* unitLabels[2] = {"Pixels", "Percent"};
    for (int unit = 0; unit < 2; ++unit) {
      auto* button = new QRadioButton(tr(unitLabels[unit]), this);
      group->addButton(button);
      grid->addWidget(button, side, 2 + unit);
      SetDlgItem(kUnitIds[side][unit], button);
    }
  }
  auto* constrain = new QCheckBox(tr("Constrain Proportions"), this);
  SetDlgItem(IDC_RESIZE_CONSTRAIN, constrain);
  grid->addWidget(constrain, 2, 0, 1, 4);
  grid->addWidget(new QLabel(tr("Filter Type :"), this), 3, 0);
  m_pFilter = new QComboBox(this);
  SetDlgItem(IDC_RESIZE_FILTER, m_pFilter);
  grid->addWidget(m_pFilter, 3, 1, 1, 3);
  grid->addWidget(new QLabel(tr("The best filter to use\ncan be image dependent.\nThe filters have "
                                "a big\nimpact on resize times."),
                             this),
                  4, 0, 1, 4);
  m_pMemory = new QLabel(this);
  SetDlgItem(IDC_RESIZE_MEMORY, m_pMemory);
  grid->addWidget(m_pMemory, 5, 0, 1, 4);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  SetDlgItem(IDOK, buttons->button(QDialogButtonBox::Ok));
  SetDlgItem(IDCANCEL, buttons->button(QDialogButtonBox::Cancel));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);
}

int CDlgResize::OnInitDialog() {
  m_calc = CResizeCalc(m_prop.dwWidth, m_prop.dwHeight);
  m_prop.nFilter = FillResizeFilterBox(m_pFilter, m_prop.nFilter);
  static_cast<QCheckBox*>(GetDlgItem(IDC_RESIZE_CONSTRAIN))->setChecked(m_calc.IsConstrained());
  ShowState();
  return 1;
}

void CDlgResize::ShowState(int typingSide) {
  for (int side = 0; side < 2; ++side) {
    const uint32_t value = m_calc.GetValue(RESIZESIDE(side));
    const QString text = QString::number(value);
    // An emptied box stays empty while the user types; it counts as 1.
    const bool typing = side == typingSide;
    if (!typing ||
        (m_pBox[side]->text() != text && !(m_pBox[side]->text().isEmpty() && value == 1)))
      m_pBox[side]->setText(text);
    const int unit = m_calc.GetUnit(RESIZESIDE(side));
    static_cast<QRadioButton*>(GetDlgItem(kUnitIds[side][unit]))->setChecked(true);
  }
  m_pMemory->setText(m_calc.GetMemoryText().ToQString());
}

void CDlgResize::OnEdited(RESIZESIDE side, const QString& text) {
  // Leading zeros and the like are read as a number; the validator lets
  // only digits in.
  bool ok = false;
  const uint32_t value = text.isEmpty() ? 0 : text.toUInt(&ok);
  m_calc.Edit(side, ok || text.isEmpty() ? value : 0xFFFFFFFFu);
  ShowState(side);
}

int CDlgResize::OnCommand(int id) {
  for (int side = 0; side < 2; ++side)
    for (int unit = 0; unit < 2; ++unit)
      if (id == kUnitIds[side][unit]) {
        m_calc.SetUnit(RESIZESIDE(side), RESIZEUNIT(unit));
        ShowState();
        return 1;
      }
  if (id == IDC_RESIZE_CONSTRAIN) {
    m_calc.SetConstrained(static_cast<QCheckBox*>(GetDlgItem(id))->isChecked());
    return 1;
  }
  if (id == IDOK) {
    const int32_t filter = SelectedResizeFilter(m_pFilter);
    if (filter < 0) {
      QMessageBox::warning(this, tr("Resize image :"), tr("Please select a filter type !"));
      return 1;
    }
    m_prop = {m_calc.GetPixels(RS_WIDTH), m_calc.GetPixels(RS_HEIGHT), filter};
  }
  return CDialog::OnCommand(id);
}
