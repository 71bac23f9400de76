#include "shell/program.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <Magick++.h>

#include "browse/browsing.h"
#include "browse/thumbnailsetup.h"
#include "collections/collectionsetup.h"
#include "corekit/filelock.h"
#include "corekit/loadslot.h"
#include "corekit/platform.h"
#include "pixwork/formats.h"
#include "pixwork/options.h"
#include "shell/dialogcentring.h"
#include "shell/firstdisplay.h"
#include "shell/installfile.h"
#include "shell/mainframe.h"
#include "shell/programhooks.h"
#include "transfer/scanacquire.h"
#include "transfer/transferdispatch.h"
#include "shell/settings.h"
#include "shell/settingsexport.h"
#include "shell/settingsnotice.h"
#include "shell/singleinstance.h"
#include "viewer/progressmonitor.h"

namespace {

constexpr char16_t kCrashReportAddress[] = u"mailto:crash@lorimo.example.org";
constexpr char16_t kCrashReportCaption[] = u"Lorimo crashed";

}  // namespace

MyString GetLayoutFilePath() {
  const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  return GetConfigFolder() + u"/" + MyString::FromQString(program) + u".layout";
}

CLorimoProgram::CLorimoProgram(const MyStringList& arguments, QObject* parent)
    : QObject(parent), m_arguments(arguments), m_settings(GetLorimoSettings()) {}

CLorimoProgram::~CLorimoProgram() {
  if (!m_bExited) ExitInstance();
}

bool CLorimoProgram::InitInstance() {
  // The report carries the settings as they are at the moment of the crash
  // and the pane layout; the export is written into the report's folder.
  m_hCrashReport = CCrashReporter::Install(
      [this] {
        WriteSettingsExport(m_settings, kSettingsExportName);
        CCrashReporter::AddFile(kSettingsExportName, u"Lorimo's current settings");
        CCrashReporter::AddFile(GetLayoutFilePath(), u"Lorimo's current layout");
        return 1;
      },
      kCrashReportAddress, kCrashReportCaption);

  GetStopEvent().Reset();
  CProgressMonitor::SetClosing(false);
  GetPluginsLoadedEvent().Reset();
  m_strInstallFile = GetInstallFilePath();
  GetOpenFilter();

  // The single-instance rule runs before the settings are read, so that a
  // program replacing a running one starts from what that one saved.
  m_settings.LoadOneInstanceOption();
  m_commandLine = ParseCommandLine(m_arguments);
  if (gVO[VO_ONE_INSTANCE].bFlag) {
    m_instance = std::make_unique<CSingleInstance>();
    if (m_instance->Run(m_commandLine.strArgument) == SINGLEINSTANCE_STOP) return false;
    connect(m_instance.get(), &CSingleInstance::CloseRequested, this,
            &CLorimoProgram::RequestClose);
  }
  m_settings.Load();
  m_settings.strDefaultImagePath = ReadStartImage(m_strInstallFile);

  // Created and let go at once: the favorites file is written under it.
  if (GetFavoritesLock().Lock()) GetFavoritesLock().Unlock();

  m_placement = CWindowPlacement().Load();
  m_frame = std::make_unique<CMainFrame>(nullptr, &m_settings);
  connect(m_frame.get(), &CMainFrame::Closing, this, &CLorimoProgram::OnMainWindowClosing);
  m_centring = std::make_unique<CDialogCentring>(m_frame.get());
  ApplyWindowPlacement(m_frame.get(), m_placement);
  m_frame->show();

  InstallThumbnailHooks(m_frame->ImageService());
  InstallBrowsing(*m_frame);
  InstallCollections(m_frame.get());
  InstallTransfer(m_frame.get());
  InstallScanner(m_frame.get());
  tagPROGRAMHOOKS& hooks = GetProgramHooks();
  if (hooks.arrangePanes) hooks.arrangePanes(m_frame.get());
  if (hooks.loadPlugins)
    hooks.loadPlugins();
  else
    GetPluginsLoadedEvent().Set();  // nothing to load
  if (hooks.initThumbnailCache) hooks.initThumbnailCache(gTO[TO_CACHE_DIRECTORY].dwValue != 0);

  const MyString notWritable = CheckConfigFolderWritable();
  if (!notWritable.IsEmpty()) ReportSettingsNotSaved(notWritable, m_frame.get());

  ShowFirstDisplay();
  if (hooks.initTwain) hooks.initTwain(m_frame.get());
  m_bStarted = true;
  // A close asked for while starting (a loading image lets events through)
  // is done now that there is something to close.
  if (m_bCloseWhenStarted) QTimer::singleShot(0, this, &CLorimoProgram::RequestClose);
  return true;
}

void CLorimoProgram::ShowFirstDisplay() {
  tagFIRSTDISPLAYINPUT input;
  input.commandLine = m_commandLine;
  input.dwStartupChoice = m_settings.dwDefaultImage;
  input.strDefaultImage = m_settings.strDefaultImagePath;
  input.strLastLoadedImage = m_settings.strLastLoadedImage;
  input.bStartFullScreen = gVO[VO_START_FS].bFlag != 0;
  const tagFIRSTDISPLAY display = ChooseFirstDisplay(input);

  bool opened = false;
  switch (display.nKind) {
    case FIRST_DISPLAY_IMAGE:
      opened = m_frame->OpenImage(display.strPath) == 1;
      break;
    case FIRST_DISPLAY_PORTFOLIO:
      opened = m_frame->OpenPortfolio(display.strPath) == 1;
      break;
    case FIRST_DISPLAY_WIA_TRANSFER:
      if (GetProgramHooks().openWiaTransfer) GetProgramHooks().openWiaTransfer(m_frame.get());
      break;
    case FIRST_DISPLAY_STARTUP_SCREEN:
      m_frame->ShowStartupScreen();
      break;
    case FIRST_DISPLAY_EMPTY:
      break;
  }
  // No switch to actual size here: the first image is fitted by the rule in
  // force like every later one, and refitted when the window is placed.

  if (gVO[VO_START_FS].bFlag && opened) {
    m_frame->showFullScreen();
  } else {
    m_frame->activateWindow();
  }
}

void CLorimoProgram::RequestClose() {
  if (!m_bStarted) {
    m_bCloseWhenStarted = true;
    return;
  }
  if (m_frame && !m_bClosing) m_frame->close();
}

void CLorimoProgram::OnMainWindowClosing() {
  if (m_bClosing) return;
  m_bClosing = true;
  tagPROGRAMHOOKS& hooks = GetProgramHooks();
  if (hooks.askToSaveModifiedImage) hooks.askToSaveModifiedImage();
  if (hooks.stopAutoplay) hooks.stopAutoplay();
  // Only now: a save the question asked for must not be cancelled.
  CProgressMonitor::SetClosing(true);
  GetStopEvent().Set();
  const tagWINDOWSTATE state = CaptureWindowState(m_frame.get());
  if (hooks.uninitializePrinting) hooks.uninitializePrinting();
  if (hooks.releasePlugins) hooks.releasePlugins();
  if (hooks.releaseThumbnailCache) hooks.releaseThumbnailCache();

  // What the viewer's end saves.
  m_frame->CloseStartupScreen();
  if (!m_settings.Save()) ReportSettingsNotSaved(m_settings.GetLastError(), nullptr);
  if (hooks.releaseTwain) hooks.releaseTwain();
  if (!WriteStartImage(m_strInstallFile, m_settings.strDefaultImagePath))
    ReportSettingsNotSaved(m_strInstallFile, nullptr);
  FreeOpenFilterBuffers();

  // What the main window's end saves.
  if (hooks.savePanes) hooks.savePanes();
  if (!CWindowPlacement().Save(state, m_placement))
    ReportSettingsNotSaved(m_settings.GetLastError(), nullptr);
  if (hooks.closeToolDialogs) hooks.closeToolDialogs();

  // A newer program waits for this point: everything is saved.
  if (m_instance) m_instance->ReportClosed();
  // exit(), not quit(): quit() first asks every top-level window to close,
  // and the full-screen viewer answers a close by only leaving full screen.
  QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

void CLorimoProgram::ExitInstance() {
  if (m_bExited) return;
  m_bExited = true;
  m_centring.reset();
  m_frame.reset();
  m_instance.reset();
  if (m_hCrashReport) CCrashReporter::Uninstall(m_hCrashReport);
  m_hCrashReport = nullptr;
  if (GetProgramHooks().writeFavorites) {
    CFileLockGuard lock(GetFavoritesLock());
    GetProgramHooks().writeFavorites();
  }
  MagickLib::DestroyMagick();
}
