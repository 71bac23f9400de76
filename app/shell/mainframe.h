#pragma once
// The main window "ZOKA Lorimo": the menu bar "LORIMO" with the progress
// strip at its right end, the navigation toolbar with the address bar, the
// viewer in the centre (or the startup screen in its place until the first
// image is shown) and the tool views docked around it.
//
// Every command id (menu entries, accelerators, the input mapping, the
// startup screen's links) arrives at SendCommand and is routed by the
// command table: the window's own commands, the tool views, the mouse
// tools and the sort settings here; the other parts' commands to their
// entry points (Router().SetTarget); the rest to the viewer and then to the
// plug-ins.

#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "corekit/messages.h"
#include "corekit/mystring.h"
#include "shell/commandrouter.h"
#include "shell/inputbinding.h"
#include "shell/plugincommands.h"

class CAcquisitionBridge;
class CImageService;
class CImageView;
class CLorimoSettings;
class CMainMenu;
class CMenuState;
class CMouseToolCommands;
class CNavigationBar;
class CPluginHost;
class CPaneArrangement;
class CProgressStrip;
class CStartupScreen;
class CToolbox;
class CToolViewCommands;
class CToolViewDocks;
class CViewerInput;
class CVolumeWatcher;
class QStackedWidget;
struct tagADDRESSENTRY;

class CMainFrame : public QMainWindow, private CCommandTarget {
  Q_OBJECT
 public:
  // settings: what the window reads and updates (null: the program's).
  explicit CMainFrame(QWidget* parent = nullptr, CLorimoSettings* settings = nullptr);
  ~CMainFrame() override;

  // Shows the image; 0 and a message in the status bar when it cannot be
  // read. On success it becomes the last displayed image and the first
  // recent file, and the startup screen makes way for the viewer.
  int OpenImage(const MyString& path);
  // Opens a portfolio: remembered in the portfolio slots, its first slide
  // shown. 0 when the file cannot be read or holds no slide.
  int OpenPortfolio(const MyString& path);
  // An image or a portfolio, by its extension.
  int OpenPath(const MyString& path);
  // The viewer shows the images of the folder (message 1046), or opens the
  // portfolio (1047); the panes and the address bar follow.
  int ShowFolder(const MyString& folder);
  int ShowPortfolio(const MyString& portfolio);

  // Routes a command id. 1 when someone carried it out; otherwise the
  // status bar says the command is not available.
  int SendCommand(int id);

  void ShowStartupScreen();
  // Destroys the startup screen (applying "Don't show again"); nothing when
  // it is not shown.
  void CloseStartupScreen();
  CStartupScreen* StartupScreen() const;

  CImageView* Viewer() const { return m_viewer; }
  // The progress bar and "Cancel" of viewer decodes, in the menu bar.
  CProgressStrip* ProgressStrip() const { return m_progress; }
  // The window's handle; the image service's requests and 1049 arrive there.
  HWND GetSafeHwnd() const { return m_hWnd; }
  CImageService* ImageService() const { return m_imageService.get(); }
  CLorimoSettings& Settings() const { return *m_pSettings; }

  CCommandRouter& Router() { return m_router; }
  CPluginCommands& PluginCommands() { return m_plugins; }
  CInputBinding& InputBinding() { return m_binding; }
  CMainMenu& MainMenu() const { return *m_menu; }
  CToolViewDocks& ToolViews() const { return *m_docks; }
  CPaneArrangement& Panes() const { return *m_panes; }
  CNavigationBar* NavigationBar() const { return m_navigation; }
  CViewerInput& ViewerInput() const { return *m_input; }
  CVolumeWatcher& VolumeWatcher() const { return *m_volumes; }
  CAcquisitionBridge& AcquisitionBridge() const { return *m_bridge; }
  CPluginHost& PluginHost() const { return *m_pluginHost; }

 public slots:
  // Full screen and Maximize View: the tool views go (true) or come back.
  void SetPanesHidden(bool hidden);
  // The viewer's title text.
  void SetTitleText(const QString& title);
  // An image is on view: the startup screen gives way to the viewer.
  void ShowViewer();

 private slots:
  void OnFullScreenChanged(bool fullScreen);
  void OnMaximizeViewChanged(bool maximized);
  // The viewer's state changed on its own (a slideshow ended).
  void OnViewerStateChanged();
  // A load of the viewer failed: the status bar says why.
  void OnLoadFailed(const QString& path, const QString& text);
  // The viewer shows another image: the status bar names it.
  void OnCurrentImageChanged(const QString& path);

 signals:
  // The window accepted a close request and is about to go: the program
  // runs its shut-down now, while the window still shows its placement.
  void Closing();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  QMenu* createPopupMenu() override;

 private:
  // The window's own commands (CCommandTarget).
  int OnCommand(int id) override;
  bool IsCommandEnabled(int id) const override;

  void ConnectViewer();
  void BuildRouting();
  int RunMappedKey(int id);
  // "Keyboard and Mouse Mappings ...": after OK the menus name the new keys.
  int RunInputMapping();
  void OpenRecentFile(size_t n);
  void OpenRecentFolder(size_t n);
  void OpenRecentPortfolio(size_t n);
  void OnAddressChosen(const tagADDRESSENTRY& entry);
  void StopAutoplay();
  // After a command or a message to the viewer: the panes, the startup
  // screen and the title follow the viewer.
  void FollowViewer();
  void PlaceProgressStrip();
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);

  CLorimoSettings* m_pSettings;
  QStackedWidget* m_centre;
  CImageView* m_viewer;
  QPointer<CStartupScreen> m_startup;
  CProgressStrip* m_progress;
  HWND m_hWnd = nullptr;
  std::unique_ptr<CImageService> m_imageService;
  bool m_bClosing = false;

  // Routing.
  CCommandRouter m_router;
  CPluginCommands m_plugins;
  CInputBinding m_binding;
  std::unique_ptr<CCommandTarget> m_viewerCommands;
  std::unique_ptr<CSortCommands> m_sortCommands;
  std::unique_ptr<CMouseToolCommands> m_mouseTools;
  CCommandFunctions m_mappedKeys;
  CCommandFunctions m_inputMapping;
  std::unique_ptr<CToolViewCommands> m_toolViewCommands;
  std::unique_ptr<CMenuState> m_menuState;

  // Windows around the viewer.
  CMainMenu* m_menu = nullptr;
  CNavigationBar* m_navigation = nullptr;
  CToolViewDocks* m_docks = nullptr;
  std::unique_ptr<CPaneArrangement> m_panes;
  QPointer<CToolbox> m_toolbox;
  CViewerInput* m_input = nullptr;
  CVolumeWatcher* m_volumes = nullptr;
  CAcquisitionBridge* m_bridge = nullptr;

  // Last: it reaches into everything above.
  std::unique_ptr<CPluginHost> m_pluginHost;

  // What the viewer told us.
  bool m_bViewerSetsTitle = false;
  bool m_bFullScreen = false;
  bool m_bMaximizeView = false;
};
