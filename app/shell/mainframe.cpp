#include "shell/mainframe.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStatusBar>

#include "corekit/platform.h"
#include "corekit/slidesfile.h"
#include "pixwork/formats.h"
#include "shell/commandline.h"
#include "shell/filedialogfilter.h"
#include "shell/optionssheet.h"
#include "shell/programhooks.h"
#include "shell/settings.h"
#include "shell/startupscreen.h"
#include "viewer/imageio.h"
#include "viewer/imageservice.h"
#include "viewer/imageview.h"
#include "viewer/progressstrip.h"

namespace {

constexpr int IDM_CLOSE = 7;
constexpr int IDM_VIEW_OPTIONS = 11;
constexpr int IDM_ACTUAL_SIZE = 193;

}  // namespace

CMainFrame::CMainFrame(QWidget* parent, CLorimoSettings* settings)
    : QMainWindow(parent),
      m_pSettings(settings ? settings : &GetLorimoSettings()),
      m_centre(new QStackedWidget(this)),
      m_viewer(new CImageView(m_centre)),
      m_progress(new CProgressStrip(this)) {
  setObjectName(QStringLiteral("LORIMO"));
  setWindowTitle(QStringLiteral("ZOKA Lorimo"));
  m_centre->addWidget(m_viewer);
  setCentralWidget(m_centre);
  resize(990, 500);
  menuBar()->setCornerWidget(m_progress, Qt::TopRightCorner);
  m_progress->SetMonitor(&m_viewer->Document().GetMonitor());
  m_viewer->Document().GetMonitor().SetView(m_progress);
  m_hWnd = CreateMessageReceiver(this, [this](HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (m_imageService && m_imageService->HandleMessage(msg, wParam, lParam, &result))
      return result;
    return LRESULT(0);
  });
  m_imageService =
      std::make_unique<CImageService>(m_hWnd, m_viewer->GetSafeHwnd(), &m_viewer->Document());
  CDll2LorimoMessage::LorimoInit(m_hWnd);
  // The tool-view menu is built from these flags.
  m_pSettings->LoadMenuFlags();
}

CMainFrame::~CMainFrame() {
  if (CDll2LorimoMessage::GetLorimoWindow() == m_hWnd) CDll2LorimoMessage::LorimoInit(nullptr);
  DestroyMessageReceiver(m_hWnd);
  m_viewer->Document().GetMonitor().SetView(nullptr);
}

int CMainFrame::OpenImage(const MyString& path) {
  if (!m_viewer->OpenFile(path)) {
    statusBar()->showMessage(GetLastLoadError().ToQString());
    return 0;
  }
  statusBar()->showMessage(path.GetStringTitleExt().ToQString());
  m_pSettings->strLastLoadedImage = path;
  m_pSettings->recent.AddRecentFile(path);
  m_pSettings->recent.AddRecentFolder(path.GetStringPath());
  if (GetProgramHooks().showFolderInPanes)
    GetProgramHooks().showFolderInPanes(path.GetStringPath());
  ShowViewer();
  return 1;
}

int CMainFrame::OpenPortfolio(const MyString& path) {
  CSlidesFile portfolio;
  if (!portfolio.Load(path)) {
    statusBar()->showMessage(tr("Cannot read the portfolio %1").arg(path.ToQString()));
    return 0;
  }
  m_pSettings->recent.RememberPortfolio(path);
  if (GetProgramHooks().showPortfolioInPanes) GetProgramHooks().showPortfolioInPanes(path);
  for (const CSlide& slide : portfolio.GetSlides())
    if (!slide.strPath.IsEmpty()) return OpenImage(slide.strPath);
  statusBar()->showMessage(tr("The portfolio %1 holds no images").arg(path.ToQString()));
  return 0;
}

int CMainFrame::OpenPath(const MyString& path) {
  return IsPortfolioPath(path) ? OpenPortfolio(path) : OpenImage(path);
}

int CMainFrame::SendCommand(int id) {
  if (id == IDM_OPEN) {
    const QString chosen = QFileDialog::getOpenFileName(
        this, tr("Open"), m_pSettings->strLastLoadedImage.GetStringPath().ToQString(),
        QtFilterFromFilterText(GetOpenFilter()));
    if (!chosen.isEmpty()) OpenPath(MyString::FromQString(chosen));
    return 1;
  }
  if (id == IDM_CLOSE) {
    close();
    return 1;
  }
  if (id == IDM_VIEW_OPTIONS) {
    CViewOptionsSheet sheet(*m_pSettings, this);
    sheet.DoModal();
    return 1;
  }
  if (id == IDM_ACTUAL_SIZE) {
    SetActualSize();
    return 1;
  }
  if (id >= IDM_RECENT_FILE_1 && id < IDM_RECENT_FILE_1 + 4) {
    const auto& files = m_pSettings->recent.GetRecentFiles();
    const size_t n = size_t(id - IDM_RECENT_FILE_1);
    if (n >= files.size()) return 0;
    const MyString path = files[n];
    CFileInfo info;
    if (!GetFileInfo(path, &info)) {
      m_pSettings->recent.RemoveRecentFile(path);
      statusBar()->showMessage(tr("%1 no longer exists").arg(path.ToQString()));
      return 1;
    }
    OpenImage(path);
    return 1;
  }
  statusBar()->showMessage(tr("This command is not available in this version."));
  return 0;
}

CStartupScreen* CMainFrame::StartupScreen() const { return m_startup; }

void CMainFrame::ShowStartupScreen() {
  if (m_startup) return;
  m_startup = new CStartupScreen(m_pSettings->recent.GetRecentFiles(), m_centre);
  connect(m_startup, &CStartupScreen::Command, this, &CMainFrame::SendCommand);
  connect(m_startup, &CStartupScreen::FilesDropped, this,
          [this](const QStringList& paths) { OpenPath(MyString::FromQString(paths.first())); });
  m_centre->addWidget(m_startup);
  m_centre->setCurrentWidget(m_startup);
}

void CMainFrame::CloseStartupScreen() {
  if (!m_startup) return;
  if (m_startup->IsDontShowAgainChecked()) m_pSettings->dwDefaultImage = STARTUP_BLANK;
  m_centre->setCurrentWidget(m_viewer);
  m_centre->removeWidget(m_startup);
  // Later: the screen may be the one whose link is being handled.
  m_startup->deleteLater();
  m_startup = nullptr;
}

void CMainFrame::ShowViewer() {
  CloseStartupScreen();
  m_centre->setCurrentWidget(m_viewer);
  m_viewer->setFocus();
}

void CMainFrame::SetActualSize() { m_viewer->SetActualSize(true); }

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (!m_bClosing) {
    m_bClosing = true;
    emit Closing();
  }
  event->accept();
}
