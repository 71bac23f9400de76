#pragma once
// The main window "ZOKA Lorimo": the viewer in the centre.

#include <QMainWindow>

#include "corekit/mystring.h"

class CImageView;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit CMainFrame(QWidget* parent = nullptr);

  // Shows the image; 0 and a message in the status bar when it cannot be read.
  int OpenImage(const MyString& path);
  CImageView* Viewer() const { return m_viewer; }

 private:
  CImageView* m_viewer;
};
