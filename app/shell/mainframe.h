#pragma once
// The main window "ZOKA Lorimo": the viewer in the centre, or the startup
// screen in its place until the first image is shown. Commands of the menu,
// the startup screen's links and the recent files arrive at SendCommand.

#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "corekit/messages.h"
#include "corekit/mystring.h"

class CImageService;
class CImageView;
class CProgressStrip;
class CLorimoSettings;
class CStartupScreen;
class QStackedWidget;

class CMainFrame : public QMainWindow {
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

  // Routes a command id. 1 when it was handled.
  int SendCommand(int id);

  void ShowStartupScreen();
  // Destroys the startup screen (applying "Don't show again"); nothing when
  // it is not shown.
  void CloseStartupScreen();
  CStartupScreen* StartupScreen() const;

  void SetActualSize();
  CImageView* Viewer() const { return m_viewer; }
  // The progress bar and "Cancel" of viewer decodes, in the menu bar.
  CProgressStrip* ProgressStrip() const { return m_progress; }
  // The window's handle; the image service's requests arrive there.
  HWND GetSafeHwnd() const { return m_hWnd; }
  CImageService* ImageService() const { return m_imageService.get(); }
  CLorimoSettings& Settings() const { return *m_pSettings; }

 signals:
  // The window accepted a close request and is about to go: the program
  // runs its shut-down now, while the window still shows its placement.
  void Closing();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowViewer();

  CLorimoSettings* m_pSettings;
  QStackedWidget* m_centre;
  CImageView* m_viewer;
  QPointer<CStartupScreen> m_startup;
  CProgressStrip* m_progress;
  HWND m_hWnd = nullptr;
  std::unique_ptr<CImageService> m_imageService;
  bool m_bClosing = false;
};
