#pragma once
// The main window "ZOKA Lorimo": the viewer in the centre.

#include <QMainWindow>
#include <memory>

#include "corekit/messages.h"
#include "corekit/mystring.h"

class CImageService;
class CImageView;
class CProgressStrip;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Shows the image; 0 and a message in the status bar when it cannot be read.
  int OpenImage(const MyString& path);
  CImageView* Viewer() const { return m_viewer; }
  // The progress bar and "Cancel" of viewer decodes, in the menu bar.
  CProgressStrip* ProgressStrip() const { return m_progress; }
  // The window's handle; the image service's requests arrive there.
  HWND GetSafeHwnd() const { return m_hWnd; }
  CImageService* ImageService() const { return m_imageService.get(); }

 private:
  CImageView* m_viewer;
  CProgressStrip* m_progress;
  HWND m_hWnd = nullptr;
  std::unique_ptr<CImageService> m_imageService;
};
