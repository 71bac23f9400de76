#include "shell/startoptionspage.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "corekit/platform.h"
#include "corekit_ui/dialog.h"
#include "pixwork/formats.h"
#include "shell/filedialogfilter.h"
#include "shell/settings.h"

namespace {

bool IsExistingFile(const MyString& path) {
  CFileInfo info;
  return !path.IsEmpty() && GetFileInfo(path, &info) && !info.bDirectory;
}

}  // namespace

CStartOptionsPage::CStartOptionsPage(CLorimoSettings& settings, QWidget* parent)
    : COptionsPage(parent), m_settings(settings) {
  setObjectName(QStringLiteral("StartOptionsPage"));
  auto* layout = new QVBoxLayout(this);
  auto* group = new QButtonGroup(this);
  // In the order the page lists them; the index is the stored choice.
  const char* texts[4] = {"Blank screen", "The last displayed image", "The default image",
                          "Startup screen"};
  const uint32_t order[4] = {STARTUP_BLANK, STARTUP_SCREEN, STARTUP_LAST_IMAGE,
                             STARTUP_DEFAULT_IMAGE};
  for (uint32_t choice : order) {
    m_choices[choice] = new QRadioButton(tr(texts[choice]), this);
    group->addButton(m_choices[choice], int(choice));
    layout->addWidget(m_choices[choice]);
  }
  auto* row = new QHBoxLayout;
  m_path = new QLineEdit(m_settings.strDefaultImagePath.ToQString(), this);
  auto* browse = new QPushButton(tr("Browse"), this);
  row->addSpacing(20);
  row->addWidget(m_path, 1);
  row->addWidget(browse);
  layout->addLayout(row);
  layout->addStretch();
  connect(browse, &QPushButton::clicked, this, &CStartOptionsPage::Browse);

  const uint32_t current =
      m_settings.dwDefaultImage <= STARTUP_SCREEN ? m_settings.dwDefaultImage : STARTUP_SCREEN;
  m_choices[current]->setChecked(true);

  m_ask = [this](const QString& text, const QString& caption) {
    return QMessageBox::question(this, caption, text, QMessageBox::Yes | QMessageBox::No) ==
                   QMessageBox::Yes
               ? IDYES
               : IDNO;
  };
}

uint32_t CStartOptionsPage::SelectedChoice() const {
  for (uint32_t choice = 0; choice < 4; ++choice)
    if (m_choices[choice]->isChecked()) return choice;
  return STARTUP_SCREEN;
}

void CStartOptionsPage::Browse() {
  const QString chosen = QFileDialog::getOpenFileName(
      this, tr("Default image"), m_path->text(), QtFilterFromFilterText(GetOpenFilterWithoutLRM()));
  if (chosen.isEmpty()) return;
  m_path->setText(chosen);
  m_choices[STARTUP_DEFAULT_IMAGE]->setChecked(true);
}

int CStartOptionsPage::Validate() {
  if (SelectedChoice() != STARTUP_DEFAULT_IMAGE) return 1;
  if (IsExistingFile(MyString::FromQString(m_path->text()))) return 1;
  const int answer =
      m_ask(tr("A default image was not entered or is not valid\nDo you want to enter one now ?"),
            tr("File name error"));
  if (answer == IDYES) {
    m_path->setFocus();
    return 0;
  }
  m_path->clear();
  m_choices[STARTUP_BLANK]->setChecked(true);
  return 1;
}

void CStartOptionsPage::Apply() {
  m_settings.dwDefaultImage = SelectedChoice();
  m_settings.strDefaultImagePath = MyString::FromQString(m_path->text().trimmed());
}
