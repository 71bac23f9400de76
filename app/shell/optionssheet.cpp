#include "shell/optionssheet.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "pixwork/optionspages.h"
#include "shell/autoplayoptionspage.h"
#include "shell/fileassociationpage.h"
#include "shell/fileassociations.h"
#include "shell/programhooks.h"
#include "shell/settings.h"
#include "shell/settingsnotice.h"
#include "shell/startoptionspage.h"

CViewOptionsSheet::CViewOptionsSheet(CLorimoSettings& settings, QWidget* parent,
                                     CFileAssociations* associations)
    : CDialog(parent), m_settings(settings) {
  setWindowTitle(tr("View Options"));
  if (!associations) {
    m_ownAssociations = std::make_unique<CFileAssociations>();
    associations = m_ownAssociations.get();
  }
  auto* layout = new QVBoxLayout(this);
  m_tabs = new QTabWidget(this);
  m_view = new CViewOptionsPage(m_tabs);
  m_performance = new CPerformanceOptionsPage(m_tabs);
  m_start = new CStartOptionsPage(settings, m_tabs);
  m_autoplay = new CAutoplayOptionsPage(settings, m_tabs);
  m_association = new CFileAssociationPage(*associations, m_tabs);
  m_tabs->addTab(m_view, tr("View Options"));
  m_tabs->addTab(m_performance, tr("Performance Options"));
  m_tabs->addTab(m_start, tr("Start Options"));
  m_tabs->addTab(m_autoplay, tr("Autoplay Options"));
  m_tabs->addTab(m_association, tr("File Association"));
  m_pages = {m_view, m_performance, m_start, m_autoplay, m_association};
  if (GetProgramHooks().makeThumbnailOptionsPage) {
    if (COptionsPage* thumbnails = GetProgramHooks().makeThumbnailOptionsPage(m_tabs)) {
      m_tabs->addTab(thumbnails, tr("Thumbnail options"));
      m_pages.push_back(thumbnails);
    }
  }
  if (GetProgramHooks().makeFavoritesOptionsPage) {
    if (COptionsPage* favorites = GetProgramHooks().makeFavoritesOptionsPage(m_tabs)) {
      m_tabs->addTab(favorites, tr("Favorites Options"));
      m_pages.push_back(favorites);
    }
  }
  // The row of titles is never cut or scrolled: its whole width is the
  // least the sheet can take.
  m_tabs->tabBar()->setElideMode(Qt::ElideNone);
  m_tabs->tabBar()->setUsesScrollButtons(false);
  layout->addWidget(m_tabs);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  SetDlgItem(IDOK, buttons->button(QDialogButtonBox::Ok));
  SetDlgItem(IDCANCEL, buttons->button(QDialogButtonBox::Cancel));
}

CViewOptionsSheet::~CViewOptionsSheet() = default;

int CViewOptionsSheet::OnCommand(int id) {
  if (id == IDOK) return Confirm();
  return CDialog::OnCommand(id);
}

int CViewOptionsSheet::Confirm() {
  // Every page must agree before any of them writes.
  for (COptionsPage* page : m_pages) {
    if (!page->Validate()) {
      m_tabs->setCurrentWidget(page);
      return 1;
    }
  }
  for (COptionsPage* page : m_pages) page->Apply();
  if (!m_association->GetApplyResult()) {
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Lorimo: File Association"),
                                tr("The file associations could not be changed:\n%1")
                                    .arg(m_association->GetLastError().ToQString()),
                                QMessageBox::Ok, parentWidget());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
  }
  m_nSaveResult = m_settings.Save();
  if (!m_nSaveResult) ReportSettingsNotSaved(m_settings.GetLastError(), parentWidget());
  EndDialog(IDOK);
  return 1;
}
