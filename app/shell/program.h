#pragma once
// The program's start-up and shut-down, in their fixed order. main() makes
// one CLorimoProgram, calls InitInstance (exit code 255 when it fails), runs
// the event loop and calls ExitInstance.
//
// Start-up: crash reporting, the stop and plug-ins-loaded events, the
// dialog centring, the open filter, then the instance: the single-instance
// rule, the settings and install.ini, the favorites lock, the window
// placement, the main window, the panes, the thumbnail cache, the first
// display and scanning.
//
// Shut-down, when the main window closes: the viewer's last questions, the
// stop event, the settings save, install.ini, the window placement; the
// waiting newcomer (if any) is told, and the event loop ends. ExitInstance
// then writes the favorites and releases the rest.

#include <QObject>
#include <memory>

#include "corekit/mystring.h"
#include "shell/commandline.h"
#include "shell/crashreport.h"
#include "shell/windowplacement.h"

class CDialogCentring;
class CLorimoSettings;
class CMainFrame;
class CSingleInstance;

inline constexpr int kExitInstanceFailed = 255;

class CLorimoProgram : public QObject {
  Q_OBJECT

 public:
  // arguments: the command line without the program name.
  explicit CLorimoProgram(const MyStringList& arguments, QObject* parent = nullptr);
  ~CLorimoProgram() override;

  // false: the program must end (exit code 255) without showing a window.
  bool InitInstance();
  // Asks the main window to close (termination signals, a newer instance);
  // during start-up, as soon as start-up is done.
  void RequestClose();
  // After the event loop.
  void ExitInstance();

  CMainFrame* MainFrame() const { return m_frame.get(); }

 private:
  void ShowFirstDisplay();
  void OnMainWindowClosing();

  MyStringList m_arguments;
  tagCOMMANDLINE m_commandLine;
  CLorimoSettings& m_settings;
  MyString m_strInstallFile;
  tagMAINWINPOS m_placement;
  HCRASHREPORT m_hCrashReport = nullptr;
  std::unique_ptr<CSingleInstance> m_instance;
  std::unique_ptr<CMainFrame> m_frame;
  std::unique_ptr<CDialogCentring> m_centring;
  bool m_bStarted = false;
  bool m_bCloseWhenStarted = false;
  bool m_bClosing = false;
  bool m_bExited = false;
};

// Where the pane layout is kept: the configuration folder + the program's
// file name + ".layout".
MyString GetLayoutFilePath();
