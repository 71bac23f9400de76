#include "pixwork/optionspages.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "pixwork/formats.h"
#include "pixwork/options.h"
#include "pixwork/sortsettings.h"

namespace {

struct tagOPTIONCONTROL {
  int nIndex;
  const char* pszText;
};

QAbstractButton* AddCheck(COptionsPage* page, QLayout* layout, VIEWOPTIONS& record,
                          const char* text, bool radio = false) {
  QAbstractButton* button =
      radio ? static_cast<QAbstractButton*>(new QRadioButton(page)) : new QCheckBox(page);
  button->setText(COptionsPage::tr(text));
  button->setChecked(record.bFlag != 0);
  layout->addWidget(button);
  return button;
}

}  // namespace

// --- View Options ---

CViewOptionsPage::CViewOptionsPage(QWidget* parent) : COptionsPage(parent) {
  setObjectName(QStringLiteral("ViewOptionsPage"));
  auto* grid = new QGridLayout(this);

  auto* image = new QGroupBox(tr("Adapt to Image"), this);
  auto* imageLayout = new QVBoxLayout(image);
  auto* window = new QGroupBox(tr("Adapt to Window"), this);
  auto* windowLayout = new QVBoxLayout(window);
  auto* full = new QGroupBox(tr("Full Screen"), this);
  auto* fullLayout = new QVBoxLayout(full);
  auto* general = new QGroupBox(tr("General"), this);
  auto* generalLayout = new QVBoxLayout(general);
  grid->addWidget(image, 0, 0);
  grid->addWidget(window, 0, 1);
  grid->addWidget(full, 1, 0);
  grid->addWidget(general, 1, 1);

  // "AI" and "AW" are one radio group across the two boxes.
  auto* fitRule = new QButtonGroup(this);
  auto place = [this](int index, QLayout* layout, const char* text, bool radio = false) {
    QAbstractButton* button = AddCheck(this, layout, gVO[index], text, radio);
    SetControl(gVO[index].nID, button);
    return button;
  };
  fitRule->addButton(place(VO_AI, imageLayout, "Set window size to image size", true));
  place(VO_ENLARGE_AI, imageLayout, "Enlarge small images to screen");
  place(VO_SHRINK_AI, imageLayout, "Shrink large images to screen");
  fitRule->addButton(place(VO_AW, windowLayout, "Set window size to user's choice", true));
  place(VO_ENLARGE_AW, windowLayout, "Enlarge small images to window");
  place(VO_SHRINK_AW, windowLayout, "Shrink large images to window");

  place(VO_START_FS, fullLayout, "Start application in full-screen");
  place(VO_ENLARGE_FS, fullLayout, "Enlarge small images to screen");
  place(VO_SHRINK_FS, fullLayout, "Shrink large images to screen");
  place(VO_APPLY_FS, fullLayout, "Apply when switching to full screen");
  place(VO_SHOW_CRS_FS, fullLayout, "Hide mouse cursor");
  place(VO_RESTORE_FS, fullLayout, "Restore when switching from full screen");

  place(VO_CENTER_TO_SCREEN, generalLayout, "Center window to screen");
  place(VO_ROLL_OVER, generalLayout, "Roll over viewing");
  place(VO_ONE_INSTANCE, generalLayout, "Allow only one instance of Lorimo");
  place(VO_SHOW_RGB, generalLayout, "Show information in window title bar");
  place(VO_DIALOG_ERRORS, generalLayout, "Do not show errors");
  place(VO_UPRIGHT, generalLayout, "Show photos upright (EXIF orientation)");
  place(VO_COLOUR_PROFILES, generalLayout, "Use embedded colour profiles");

  auto* helpRow = new QHBoxLayout;
  QAbstractButton* help = place(VO_DYNAMIC_HELP, helpRow, "Enable dynamic help");
  auto* delay = new QComboBox(this);
  for (int seconds = 2; seconds < 2 + kDynamicHelpDelayCount; ++seconds)
    delay->addItem(QString::number(seconds));
  delay->setCurrentIndex(
      gVO[VO_DYNAMIC_HELP].bExtra < kDynamicHelpDelayCount ? gVO[VO_DYNAMIC_HELP].bExtra : 0);
  delay->setEnabled(help->isChecked());
  connect(help, &QAbstractButton::toggled, delay, &QWidget::setEnabled);
  SetControl(IDC_VO_DYNAMIC_HELP_DELAY, delay);
  helpRow->addWidget(delay);
  helpRow->addWidget(new QLabel(tr("seconds"), this));
  helpRow->addStretch();
  generalLayout->addLayout(helpRow);
  grid->setRowStretch(2, 1);
}

void CViewOptionsPage::Apply() {
  for (VIEWOPTIONS& record : gVO)
    if (auto* button = qobject_cast<QAbstractButton*>(GetControl(record.nID)))
      record.bFlag = button->isChecked() ? 1 : 0;
  if (auto* delay = qobject_cast<QComboBox*>(GetControl(IDC_VO_DYNAMIC_HELP_DELAY)))
    if (delay->currentIndex() >= 0) gVO[VO_DYNAMIC_HELP].bExtra = uint8_t(delay->currentIndex());
}

// --- Performance Options ---

CPerformanceOptionsPage::CPerformanceOptionsPage(QWidget* parent) : COptionsPage(parent) {
  setObjectName(QStringLiteral("PerformanceOptionsPage"));
  auto* layout = new QVBoxLayout(this);
  const tagOPTIONCONTROL controls[] = {
      {VSO_SKIP_ON_FAST_VIEW, "Skip images when fast viewing"},
      {VSO_SAMPLE_VLI, "Downsample reading large images*"},
      {VSO_OPEN_FILE_OUT_EXT, "Open files without extensions using ..."},
      {VSO_LINEAR_SCALE, "Use linear scaling"},
  };
  m_formats = new QComboBox(this);
  for (const MyString& extension : GetSupportedExtensions())
    m_formats->addItem(extension.ToQString());
  // An index the table does not have (or "none") selects nothing.
  const int index = gVSO[VSO_OPEN_FILE_OUT_EXT].bExtra;
  m_formats->setCurrentIndex(index < m_formats->count() ? index : -1);
  SetControl(IDC_VSO_DEFAULT_EXT, m_formats);

  for (const tagOPTIONCONTROL& control : controls) {
    VIEWOPTIONS& record = gVSO[control.nIndex];
    if (control.nIndex == VSO_OPEN_FILE_OUT_EXT) {
      auto* row = new QHBoxLayout;
      QAbstractButton* box = AddCheck(this, row, record, control.pszText);
      row->addWidget(m_formats);
      row->addStretch();
      layout->addLayout(row);
      m_formats->setEnabled(box->isChecked());
      connect(box, &QAbstractButton::toggled, m_formats, &QWidget::setEnabled);
      SetControl(record.nID, box);
    } else {
      SetControl(record.nID, AddCheck(this, layout, record, control.pszText));
    }
  }
  auto* note = new QLabel(tr("* Large images are read at the size of the window, which is faster "
                             "but shows less detail until they are zoomed."),
                          this);
  note->setWordWrap(true);
  layout->addWidget(note);
  layout->addStretch();
}

void CPerformanceOptionsPage::Apply() {
  for (VIEWOPTIONS& record : gVSO)
    if (auto* button = qobject_cast<QAbstractButton*>(GetControl(record.nID)))
      record.bFlag = button->isChecked() ? 1 : 0;
  if (m_formats->currentIndex() >= 0)
    gVSO[VSO_OPEN_FILE_OUT_EXT].bExtra = uint8_t(m_formats->currentIndex());
  gbListFilesWithoutExtension = gVSO[VSO_OPEN_FILE_OUT_EXT].bFlag;
}
