#include "viewer/edit/editoptionsdialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "corekit/messages.h"
#include "pixwork/options.h"

namespace {

constexpr char16_t kNotSetText[] =
    u"The rotate and mirror options have not been set.  Please set these options now and repeat "
    u"the operation.  These options can be later changed by going to the EDIT menu and selecting "
    u"ROTATE AND MIRROR OPTIONS.";

}  // namespace

CDlgEditOptions::CDlgEditOptions(QWidget* parent, const tagEDITOPTIONS& options, bool bNotSet)
    : CDialog(parent), m_bNotSet(bNotSet) {
  setWindowTitle(bNotSet ? tr("Rotate and Flip Save Options") : tr("Edit Options"));
  auto* layout = new QVBoxLayout(this);
  m_pNotice = new QLabel(MyString(kNotSetText).ToQString(), this);
  m_pNotice->setWordWrap(true);
  m_pNotice->setVisible(bNotSet);
  layout->addWidget(m_pNotice);

  auto* rotate = new QGroupBox(tr("Rotate and Flip Save Options"), this);
  auto* rotateLayout = new QVBoxLayout(rotate);
  m_pSaveAfter = new QButtonGroup(this);
  const std::pair<int, QString> choices[] = {
      {IDC_SO_SAVE_ORIGINAL_NAME, tr("Save under the original file name")},
      {IDC_SO_SAVE_APPEND_SUFFIX, tr("Save under the file name with this text appended:")},
      {IDC_SO_SAVE_ASK_NAME, tr("Ask for a new file name")},
      {IDC_SO_SAVE_NOTHING, tr("Do not save (rotate the image on the screen only)")}};
  for (const auto& [id, text] : choices) {
    auto* button = new QRadioButton(text, rotate);
    m_pSaveAfter->addButton(button, id);
    rotateLayout->addWidget(button);
    if (id == IDC_SO_SAVE_APPEND_SUFFIX) {
      m_pSuffix = new QLineEdit(options.strSuffix.ToQString(), rotate);
      m_pSuffix->setMaxLength(kMaxSuffixLength);
      rotateLayout->addWidget(m_pSuffix);
    }
  }
  if (QAbstractButton* chosen = m_pSaveAfter->button(options.nSaveAfter)) chosen->setChecked(true);
  m_pKeepDateTime = new QCheckBox(tr("Keep original date and time"), rotate);
  m_pKeepDateTime->setChecked(options.bKeepDateTime);
  rotateLayout->addWidget(m_pKeepDateTime);

  m_pLossless = new QButtonGroup(this);
  auto* lossless = new QRadioButton(
      QStringLiteral("LOSSLESS rotate/mirror.  Almost no change in file size."), rotate);
  auto* lossy = new QRadioButton(
      QStringLiteral(
          "LOSSY rotate/mirror with quality setting of at least 80.  File size changes."),
      rotate);
  m_pLossless->addButton(lossless, 1);
  m_pLossless->addButton(lossy, 0);
  (options.bLossless ? lossless : lossy)->setChecked(true);
  rotateLayout->addWidget(lossless);
  rotateLayout->addWidget(lossy);
  m_pTrim =
      new QCheckBox(QStringLiteral("Clip unmovable edges when LOSSLESS rotate/flip."), rotate);
  m_pTrim->setChecked(options.bTrim);
  rotateLayout->addWidget(m_pTrim);
  layout->addWidget(rotate);

  auto* paste = new QGroupBox(tr("Paste"), this);
  auto* pasteLayout = new QVBoxLayout(paste);
  m_pPasteFit = new QRadioButton(QStringLiteral("Fit Image To Selection"), paste);
  auto* pasteCrop = new QRadioButton(QStringLiteral("Crop Image To Selection"), paste);
  (options.bFitSelection ? m_pPasteFit : pasteCrop)->setChecked(true);
  pasteLayout->addWidget(m_pPasteFit);
  pasteLayout->addWidget(pasteCrop);
  layout->addWidget(paste);

  auto* editor = new QGroupBox(tr("External Editor"), this);
  auto* editorLayout = new QHBoxLayout(editor);
  m_pEditor = new QLineEdit(options.strEditor.ToQString(), editor);
  m_pEditor->setMaxLength(kExtEditLength - 1);
  auto* browse = new QPushButton(tr("Browse..."), editor);
  connect(browse, &QPushButton::clicked, this, [this] { BrowseEditor(); });
  editorLayout->addWidget(m_pEditor);
  editorLayout->addWidget(browse);
  layout->addWidget(editor);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  SetDlgItem(IDOK, buttons->button(QDialogButtonBox::Ok));
  SetDlgItem(IDCANCEL, buttons->button(QDialogButtonBox::Cancel));
  layout->addWidget(buttons);
}

tagEDITOPTIONS CDlgEditOptions::Options() const {
  tagEDITOPTIONS options;
  options.nSaveAfter = m_pSaveAfter->checkedId();
  options.strSuffix = MyString::FromQString(m_pSuffix->text());
  options.bKeepDateTime = m_pKeepDateTime->isChecked();
  options.bLossless = m_pLossless->checkedId() == 1;
  options.bTrim = m_pTrim->isChecked();
  options.bFitSelection = m_pPasteFit->isChecked();
  options.strEditor = MyString::FromQString(m_pEditor->text().trimmed());
  return options;
}

int CDlgEditOptions::OnCommand(int id) {
  if (id == IDOK) {
    if (m_bNotSet && m_pSaveAfter->checkedId() < 0) {
      QMessageBox::warning(this, windowTitle(),
                           tr("Please choose what is done with a rotated or flipped image."));
      return 1;
    }
    MyString error;
    if (!Options().Store(&error)) {
      QMessageBox::warning(this, windowTitle(), error.ToQString());
      return 1;
    }
  }
  return CDialog::OnCommand(id);
}

void CDlgEditOptions::BrowseEditor() {
  const MyString chosen =
      ChooseEditorFile(this, MyString::FromQString(m_pEditor->text().trimmed()));
  if (!chosen.IsEmpty()) m_pEditor->setText(chosen.ToQString());
}

MyString ChooseEditorFile(QWidget* parent, const MyString& current) {
  QFileDialog dialog(parent, QStringLiteral("Please choose your preferred editor:"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  // Programs on this system have no extension of their own: the list
  // keeps the files the user may run (and the folders to get to them).
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
  dialog.setNameFilter(QObject::tr("Programs (*)"));
  const QFileInfo info(current.ToQString());
  dialog.setDirectory(current.IsEmpty() || !info.exists() ? QStringLiteral("/usr/bin")
                                                          : info.absolutePath());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return MyString();
  return MyString::FromQString(dialog.selectedFiles().first());
}
