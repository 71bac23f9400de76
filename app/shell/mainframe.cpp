#include "shell/mainframe.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStatusBar>

#include "corekit/platform.h"
#include "corekit/slidesfile.h"
#include "pixwork/formats.h"
#include "pixwork/options.h"
#include "plugins/pluginhost.h"
#include "process/processview.h"
#include "shell/aboutdialog.h"
#include "shell/acquisitionbridge.h"
#include "shell/addressplaces.h"
#include "shell/commandids.h"
#include "shell/commandline.h"
#include "shell/filedialogfilter.h"
#include "shell/helplauncher.h"
#include "shell/inputmapping.h"
#include "shell/inputmappingdialog.h"
#include "shell/mainmenu.h"
#include "shell/menustate.h"
#include "shell/mousetoolcommands.h"
#include "shell/navigationbar.h"
#include "shell/optionssheet.h"
#include "shell/panearrangement.h"
#include "shell/program.h"
#include "shell/programhooks.h"
#include "shell/settings.h"
#include "shell/settingsnotice.h"
#include "shell/startupscreen.h"
#include "shell/toolbox.h"
#include "shell/toolviewcommands.h"
#include "shell/toolviewdocks.h"
#include "shell/versioncheck.h"
#include "shell/viewerinput.h"
#include "shell/volumewatcher.h"
#include "viewer/imageio.h"
#include "viewer/imageservice.h"
#include "viewer/imageview.h"
#include "viewer/progressstrip.h"
#include "viewer/viewertitle.h"

namespace {

// The viewer's private messages (wParam: a const char16_t* path).
constexpr UINT kShowFolderMessage = 1046;
constexpr UINT kOpenPortfolioMessage = 1047;
// Posted to the main window when an image is shown while the startup
// screen holds the centre.
constexpr UINT kShowViewerMessage = 1049;

// Where the progress strip sits, from the menu bar's right edge: "Cancel"
// 40 pixels wide at 150, the bar 100 pixels wide at 103.
constexpr int kCancelFromRight = 150;
constexpr int kCancelWidth = 40;
constexpr int kBarFromRight = 103;
constexpr int kBarWidth = 100;

// The toolbox's entry among the tool views.
constexpr int kToolboxEntry = 1;
constexpr int kProcessEntry = 7;

// The viewer as a command target: the document commands and their state.
class CViewerCommands : public CCommandTarget {
 public:
  explicit CViewerCommands(CImageView* viewer) : m_viewer(viewer) {}
  int OnCommand(int id) override { return m_viewer->OnCommand(id); }
  bool IsCommandEnabled(int id) const override { return m_viewer->IsCommandEnabled(id); }
  bool IsCommandChecked(int id) const override { return m_viewer->IsCommandChecked(id); }

 private:
  CImageView* m_viewer;
};

// The window whose panes the program's start-up and shut-down arrange.
CMainFrame* gPanesHookOwner = nullptr;

bool IsFolder(const MyString& path) {
  CFileInfo info;
  return GetFileInfo(path, &info) && info.bDirectory;
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent, CLorimoSettings* settings)
    : QMainWindow(parent),
      m_pSettings(settings ? settings : &GetLorimoSettings()),
      m_centre(new QStackedWidget(this)),
      m_viewer(new CImageView(m_centre)),
      m_progress(new CProgressStrip(menuBar())) {
  setObjectName(QStringLiteral("LORIMO"));
  setWindowTitle(QStringLiteral("ZOKA Lorimo"));
  m_centre->addWidget(m_viewer);
  setCentralWidget(m_centre);
  resize(990, 500);
  m_progress->SetMonitor(&m_viewer->Document().GetMonitor());
  m_viewer->Document().GetMonitor().SetView(m_progress);
  menuBar()->installEventFilter(this);
  m_hWnd = CreateMessageReceiver(this, [this](HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
    return OnMessage(msg, wParam, lParam);
  });
  m_imageService =
      std::make_unique<CImageService>(m_hWnd, m_viewer->GetSafeHwnd(), &m_viewer->Document());
  CDll2LorimoMessage::LorimoInit(m_hWnd);

  // The tool-view menu and the mouse tool are built from these flags, the
  // keys and buttons from the stored assignment.
  m_pSettings->LoadMenuFlags();
  m_binding.Apply(m_pSettings->mapping);

  m_navigation = new CNavigationBar(
      m_pSettings->recent,
      [this] {
        return CAddressList::FileSystemPlaces(
            MyString::FromQString(QDir::homePath()),
            MyString::FromQString(
                QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)),
            m_volumes ? m_volumes->GetVolumes() : MyStringList());
      },
      this);
  m_navigation->SetChosenHandler([this](const tagADDRESSENTRY& entry) { OnAddressChosen(entry); });
  connect(m_navigation, &CNavigationBar::AddressNotFound, this, [this](const QString& text) {
    statusBar()->showMessage(tr("%1 cannot be found").arg(text));
  });
  m_docks = new CToolViewDocks(this, m_navigation, [this] {
    return m_viewer->IsCommandChecked(IDM_FULL_SCREEN) ||
           m_viewer->IsCommandChecked(IDM_MAXIMIZE_VIEW);
  });

  // The stored pane arrangement is read once the window stands (the
  // program's start-up) and written at its shut-down.
  m_panes = std::make_unique<CPaneArrangement>(this, m_docks);
  m_docks->SetDockPlacer(
      [this](int entry, QDockWidget* dock) { return m_panes->PlaceNewDock(entry, dock); });
  m_docks->SetBeforePanesHidden([this] { m_panes->RememberBeforeHiding(); });
  gPanesHookOwner = this;
  GetProgramHooks().arrangePanes = [this](QWidget*) { m_panes->Read(GetLayoutFilePath()); };
  GetProgramHooks().savePanes = [this] {
    MyString error;
    if (!m_panes->Write(GetLayoutFilePath(), &error)) ReportSettingsNotSaved(error, nullptr);
  };

  BuildRouting();
  m_menu = new CMainMenu(this, *m_menuState);
  connect(m_menu, &CMainMenu::CommandChosen, this, &CMainFrame::SendCommand);
  connect(m_menu, &CMainMenu::MenuOpened, this, &CMainFrame::StopAutoplay);
  connect(m_docks, &CToolViewDocks::ToolViewClosed, this,
          [this](int entry) { m_toolViewCommands->OnToolViewClosed(entry); });

  m_input = new CViewerInput(
      m_binding, [this](int id) { return SendCommand(id); },
      [this](int id) { return m_router.IsCommandChecked(id); }, this);
  m_input->Watch(m_viewer, dynamic_cast<CViewerOperations*>(m_viewer));
  m_input->SetAutoplayStopper([this] { StopAutoplay(); });
  ConnectViewer();

  // Cards and sticks coming and going are reported to the transfer side.
  m_volumes = new CVolumeWatcher(this);
  m_bridge = new CAcquisitionBridge(this);
  m_bridge->WatchVolumes(m_volumes);
  m_volumes->Start();

  m_docks->SetContentFactory(
      kProcessEntry, [this](QWidget* parent) { return new CProcessView(*m_viewer, parent); });
  m_docks->SetContentFactory(kToolboxEntry, [this](QWidget* parent) {
    m_toolbox = new CToolbox(
        m_router, [this](int id) { SendCommand(id); }, parent);
    if (m_pluginHost) m_pluginHost->RefreshToolbox(m_toolbox);
    return m_toolbox.data();
  });

  // At start the stored mouse tool is chosen first, then the views whose
  // flags say shown are opened in menu order.
  m_pluginHost = std::make_unique<CPluginHost>(this);
  SendCommand(int(m_pSettings->menu.GetMouseTool()));
  m_toolViewCommands->ShowStoredViews();
  PlaceProgressStrip();
}

CMainFrame::~CMainFrame() {
  if (gPanesHookOwner == this) {
    GetProgramHooks().arrangePanes = nullptr;
    GetProgramHooks().savePanes = nullptr;
    gPanesHookOwner = nullptr;
  }
  m_docks->SetDockPlacer(nullptr);
  m_docks->SetBeforePanesHidden(nullptr);
  if (CDll2LorimoMessage::GetLorimoWindow() == m_hWnd) CDll2LorimoMessage::LorimoInit(nullptr);
  DestroyMessageReceiver(m_hWnd);
  m_viewer->Document().GetMonitor().SetView(nullptr);
  // The input filter and the menu call back into members that go first.
  m_input->Watch(nullptr, nullptr);
  m_menu->disconnect(this);
}

void CMainFrame::BuildRouting() {
  m_viewerCommands = std::make_unique<CViewerCommands>(m_viewer);
  m_sortCommands = std::make_unique<CSortCommands>(m_viewerCommands.get());
  m_mouseTools = std::make_unique<CMouseToolCommands>(m_binding, m_pSettings->menu);
  m_toolViewCommands = std::make_unique<CToolViewCommands>(m_pSettings->menu, *m_docks);
  m_mappedKeys.onCommand = [this](int id) { return RunMappedKey(id); };
  m_inputMapping.onCommand = [this](int id) {
    return id == IDM_KEYBOARD_MAPPINGS ? RunInputMapping() : 0;
  };

  m_router.SetTarget(CO_FRAME, this);
  m_router.SetTarget(CO_TOOL_VIEWS, m_toolViewCommands.get());
  m_router.SetTarget(CO_MOUSE_TOOLS, m_mouseTools.get());
  m_router.SetTarget(CO_SORT, m_sortCommands.get());
  m_router.SetTarget(CO_INPUT_KEYS, &m_mappedKeys);
  m_router.SetTarget(CO_INPUT_MAPPING, &m_inputMapping);
  m_router.SetTarget(CO_VIEWER, m_viewerCommands.get());
  m_router.SetTarget(CO_PLUGINS, &m_plugins);
  m_menuState = std::make_unique<CMenuState>(m_router, m_pSettings->recent,
                                             [this] { return m_viewer->Document().HasImage(); });
  m_menuState->SetMenuLabels(CInputMapping::MenuLabels(m_binding));
}

void CMainFrame::ConnectViewer() {
  // The viewer tells about its title, full screen and Maximize View when
  // it can; otherwise the window asks it after each command.
  const QMetaObject* meta = m_viewer->metaObject();
  if (meta->indexOfSignal("TitleChanged(QString)") >= 0) {
    connect(m_viewer, SIGNAL(TitleChanged(QString)), this, SLOT(SetTitleText(QString)));
    m_bViewerSetsTitle = true;
  }
  if (meta->indexOfSignal("FullScreenChanged(bool)") >= 0)
    connect(m_viewer, SIGNAL(FullScreenChanged(bool)), this, SLOT(OnFullScreenChanged(bool)));
  if (meta->indexOfSignal("MaximizeViewChanged(bool)") >= 0)
    connect(m_viewer, SIGNAL(MaximizeViewChanged(bool)), this, SLOT(OnMaximizeViewChanged(bool)));
  if (meta->indexOfSignal("AutoplayChanged(bool)") >= 0)
    connect(m_viewer, SIGNAL(AutoplayChanged(bool)), this, SLOT(OnViewerStateChanged()));
  // Loads of the viewer's own steps say why they failed where OpenImage does.
  if (meta->indexOfSignal("LoadFailed(QString,QString)") >= 0)
    connect(m_viewer, SIGNAL(LoadFailed(QString, QString)), this,
            SLOT(OnLoadFailed(QString, QString)));
  if (meta->indexOfSignal("CurrentImageChanged(QString,int)") >= 0)
    connect(m_viewer, SIGNAL(CurrentImageChanged(QString, int)), this,
            SLOT(OnCurrentImageChanged(QString)));
  if (meta->indexOfSignal("ShowViewerRequested()") >= 0)
    connect(m_viewer, SIGNAL(ShowViewerRequested()), this, SLOT(ShowViewer()));
  // The rotation tool switches the mouse tool as the Tools menu does.
  m_viewer->selectMouseTool = [this](int id) { return SendCommand(id); };
}

int CMainFrame::OpenImage(const MyString& path) {
  if (!m_viewer->OpenFile(path)) {
    // The viewer shows the failed file as it shows one of its steps, and
    // takes the keys, so that stepping goes on through the folder.
    statusBar()->showMessage(GetLastLoadError().ToQString());
    m_navigation->SetAddress(path.GetStringPath());
    ShowViewer();
    FollowViewer();
    return 0;
  }
  statusBar()->showMessage(path.GetStringTitleExt().ToQString());
  m_pSettings->strLastLoadedImage = path;
  m_pSettings->recent.AddRecentFile(path);
  m_pSettings->recent.AddRecentFolder(path.GetStringPath());
  if (GetProgramHooks().showFolderInPanes)
    GetProgramHooks().showFolderInPanes(path.GetStringPath());
  m_navigation->SetAddress(path.GetStringPath());
  ShowViewer();
  FollowViewer();
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
  m_navigation->SetAddress(path);
  for (const CSlide& slide : portfolio.GetSlides())
    if (!slide.strPath.IsEmpty()) return OpenImage(slide.strPath);
  statusBar()->showMessage(tr("The portfolio %1 holds no images").arg(path.ToQString()));
  return 0;
}

int CMainFrame::OpenPath(const MyString& path) {
  return IsPortfolioPath(path) ? OpenPortfolio(path) : OpenImage(path);
}

int CMainFrame::ShowFolder(const MyString& folder) {
  if (GetProgramHooks().showFolderInPanes) GetProgramHooks().showFolderInPanes(folder);
  m_navigation->SetAddress(folder);
  const LRESULT shown = ::SendMessage(m_viewer->GetSafeHwnd(), kShowFolderMessage,
                                      reinterpret_cast<WPARAM>(folder.c_str()), 0);
  FollowViewer();
  return shown ? 1 : 0;
}

int CMainFrame::ShowPortfolio(const MyString& portfolio) {
  if (GetProgramHooks().showPortfolioInPanes) GetProgramHooks().showPortfolioInPanes(portfolio);
  m_navigation->SetAddress(portfolio);
  if (::SendMessage(m_viewer->GetSafeHwnd(), kOpenPortfolioMessage,
                    reinterpret_cast<WPARAM>(portfolio.c_str()), 0)) {
    m_pSettings->recent.RememberPortfolio(portfolio);
    FollowViewer();
    return 1;
  }
  // A viewer that does not open portfolios itself shows the first slide.
  return OpenPortfolio(portfolio);
}

int CMainFrame::SendCommand(int id) {
  const int result = m_router.Route(id);
  if (!result) statusBar()->showMessage(tr("This command is not available in this version."));
  FollowViewer();
  return result;
}

int CMainFrame::OnCommand(int id) {
  switch (id) {
    case IDM_OPEN: {
      const QString chosen = QFileDialog::getOpenFileName(
          this, tr("Open"), m_pSettings->strLastLoadedImage.GetStringPath().ToQString(),
          QtFilterFromFilterText(GetOpenFilter()));
      if (!chosen.isEmpty()) OpenPath(MyString::FromQString(chosen));
      return 1;
    }
    case IDM_CLOSE:
      close();
      return 1;
    case IDM_VIEW_OPTIONS: {
      CViewOptionsSheet sheet(*m_pSettings, this);
      sheet.DoModal();
      return 1;
    }
    case IDM_HELP:
      RunLorimoHelp(this);
      return 1;
    case IDM_HELP_ON_THE_WEB:
      RunLorimoHelpOnTheWeb(this);
      return 1;
    case IDM_ABOUT:
      RunAbout(this, m_plugins.GetInstalledPluginsHandler());
      return 1;
    case IDM_CHECK_VERSION:
      RunCheckForNewVersions(this);
      return 1;
    case IDM_SCREEN_CAPTURE:
      RunScreenCapture(this);
      return 1;
    default:
      break;
  }
  if (const int n = CMenuState::RecentFileIndex(id); n >= 0) {
    OpenRecentFile(size_t(n));
    return 1;
  }
  if (const int n = CMenuState::RecentFolderIndex(id); n >= 0) {
    OpenRecentFolder(size_t(n));
    return 1;
  }
  if (const int n = CMenuState::PortfolioSlotIndex(id); n >= 0) {
    OpenRecentPortfolio(size_t(n));
    return 1;
  }
  return 0;
}

bool CMainFrame::IsCommandEnabled(int id) const { return true; }

void CMainFrame::OpenRecentFile(size_t n) {
  const auto& files = m_pSettings->recent.GetRecentFiles();
  if (n >= files.size()) return;
  const MyString path = files[n];
  CFileInfo info;
  if (!GetFileInfo(path, &info)) {
    m_pSettings->recent.RemoveRecentFile(path);
    statusBar()->showMessage(tr("%1 no longer exists").arg(path.ToQString()));
    return;
  }
  OpenImage(path);
}

void CMainFrame::OpenRecentFolder(size_t n) {
  const auto& folders = m_pSettings->recent.GetRecentFolders();
  if (n >= folders.size()) return;
  const MyString folder = folders[n];
  if (!IsFolder(folder)) {
    statusBar()->showMessage(tr("%1 no longer exists").arg(folder.ToQString()));
    return;
  }
  m_pSettings->recent.AddRecentFolder(folder);
  ShowFolder(folder);
}

void CMainFrame::OpenRecentPortfolio(size_t n) {
  if (n >= CRecentLists::kMaxEntries) return;
  const MyString portfolio = m_pSettings->recent.GetPortfolioSlot(n);
  if (portfolio.IsEmpty()) return;
  ShowPortfolio(portfolio);
}

void CMainFrame::OnAddressChosen(const tagADDRESSENTRY& entry) {
  switch (CAddressList::Choose(entry, m_pSettings->recent)) {
    case AA_SHOW_FOLDER:
      ShowFolder(entry.strPath);
      break;
    case AA_OPEN_PORTFOLIO:
      ShowPortfolio(entry.strPath);
      break;
    case AA_OPEN_IMAGE:
      OpenImage(entry.strPath);
      break;
    case AA_NONE:
      break;
  }
  // The keys go back to the viewer.
  m_viewer->setFocus();
}

int CMainFrame::RunMappedKey(int id) {
  // Copy and paste act on the address bar's text while it has the focus.
  // (The box passes its focus on to its edit line.)
  QLineEdit* address = m_navigation->AddressEdit();
  const QWidget* focus = QApplication::focusWidget();
  if (address && focus && (focus == address || focus == m_navigation->AddressBox())) {
    if (id == IDM_KEY_CTRL_C) {
      if (address->hasSelectedText())
        address->copy();
      else
        QApplication::clipboard()->setText(address->text());
      return 1;
    }
    if (id == IDM_KEY_CTRL_V) {
      address->paste();
      return 1;
    }
  }
  const int event = CInputBinding::EventForAccelerator(id);
  if (event < 0) return 0;
  const tagINPUTACTION action = m_binding.GetPressAction(event);
  if (!(action.nKind == IA_COMMAND && action.nValue == IDM_AUTOPLAY)) StopAutoplay();
  const QPoint cursor = m_viewer->mapFromGlobal(QCursor::pos());
  m_input->RunAction(action, POINT{cursor.x(), cursor.y()});
  return 1;
}

int CMainFrame::RunInputMapping() {
  if (!RunInputMappingDialog(m_binding, *m_pSettings, this)) return 1;
  m_menuState->SetMenuLabels(CInputMapping::MenuLabels(m_binding));
  m_menu->UpdateAll();
  return 1;
}

void CMainFrame::StopAutoplay() {
  if (GetProgramHooks().stopAutoplay) {
    GetProgramHooks().stopAutoplay();
    return;
  }
  // Autoplay toggles: sending it while it runs stops it.
  if (m_viewer->IsCommandChecked(IDM_AUTOPLAY)) m_viewer->OnCommand(IDM_AUTOPLAY);
}

CStartupScreen* CMainFrame::StartupScreen() const { return m_startup; }

void CMainFrame::ShowStartupScreen() {
  if (m_startup) return;
  m_startup = new CStartupScreen(m_pSettings->recent.GetRecentFiles(), m_centre);
  connect(m_startup, &CStartupScreen::Command, this, &CMainFrame::SendCommand);
  connect(m_startup, &CStartupScreen::FilesDropped, this, [this](const QStringList& paths) {
    if (!GetProgramHooks().openDroppedFiles) {
      OpenPath(MyString::FromQString(paths.first()));
      return;
    }
    MyStringList dropped;
    for (const QString& path : paths) dropped.Append(MyString::FromQString(path));
    GetProgramHooks().openDroppedFiles(dropped);
  });
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

void CMainFrame::OnLoadFailed(const QString& path, const QString& text) {
  statusBar()->showMessage(text.isEmpty() ? path : text);
}

void CMainFrame::OnCurrentImageChanged(const QString& path) {
  // A failed load keeps its reason there.
  if (m_viewer->Document().HasImage())
    statusBar()->showMessage(MyString::FromQString(path).GetStringTitleExt().ToQString());
}

void CMainFrame::SetPanesHidden(bool hidden) { m_docks->SetPanesHidden(hidden); }

void CMainFrame::SetTitleText(const QString& title) {
  setWindowTitle(title);
  // The title changes with every image shown: the viewer's states may have too.
  if (m_toolbox) m_toolbox->Refresh();
}

void CMainFrame::OnFullScreenChanged(bool fullScreen) {
  m_bFullScreen = fullScreen;
  SetPanesHidden(m_bFullScreen || m_bMaximizeView);
}

void CMainFrame::OnMaximizeViewChanged(bool maximized) {
  m_bMaximizeView = maximized;
  SetPanesHidden(m_bFullScreen || m_bMaximizeView);
}

void CMainFrame::OnViewerStateChanged() {
  if (m_toolbox) m_toolbox->Refresh();
}

void CMainFrame::FollowViewer() {
  m_bFullScreen = m_viewer->IsCommandChecked(IDM_FULL_SCREEN);
  m_bMaximizeView = m_viewer->IsCommandChecked(IDM_MAXIMIZE_VIEW);
  SetPanesHidden(m_bFullScreen || m_bMaximizeView);
  const CImageDocument& document = m_viewer->Document();
  if (m_startup && document.HasImage()) ShowViewer();
  if (m_toolbox) m_toolbox->Refresh();
  if (!m_bViewerSetsTitle)
    setWindowTitle(BuildViewerTitle(document.HasImage(), gVO[VO_SHOW_RGB].bFlag != 0,
                                    document.GetName(), MyString())
                       .ToQString());
}

LRESULT CMainFrame::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kShowViewerMessage) {
    ShowViewer();
    return 1;
  }
  LRESULT result = 0;
  if (m_imageService && m_imageService->HandleMessage(msg, wParam, lParam, &result)) return result;
  if (m_pluginHost && m_pluginHost->HandleMessage(msg, wParam, lParam, &result)) return result;
  return 0;
}

void CMainFrame::PlaceProgressStrip() {
  QMenuBar* bar = menuBar();
  const int height = std::min(bar->height(), 20);
  const int top = std::max(0, (bar->height() - height) / 2);
  m_progress->setGeometry(bar->width() - kCancelFromRight, top, kCancelFromRight, height);
  m_progress->GetCancelButton()->setGeometry(0, 0, kCancelWidth, height);
  m_progress->GetBar()->setGeometry(kCancelFromRight - kBarFromRight, 0, kBarWidth, height);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == menuBar() && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
    PlaceProgressStrip();
  return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
  // Keys that reach the window itself (the viewer does not have the focus).
  if (!m_input->HandleKeyPress(event)) QMainWindow::keyPressEvent(event);
}

QMenu* CMainFrame::createPopupMenu() {
  // The tool views are shown and hidden through their menu entries only,
  // so that their stored flags stay right.
  return nullptr;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (!m_bClosing) {
    m_bClosing = true;
    emit Closing();
  }
  event->accept();
}
