#include "shell/mainframe.h"

#include <QStatusBar>

#include "viewer/imageview.h"
#include "viewer/viewimage.h"

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), m_viewer(new CImageView(this)) {
  setObjectName(QStringLiteral("LORIMO"));
  setWindowTitle(QStringLiteral("ZOKA Lorimo"));
  setCentralWidget(m_viewer);
  resize(990, 500);
}

int CMainFrame::OpenImage(const MyString& path) {
  MyString error;
  const QImage image = DecodeImageForView(path, &error);
  m_viewer->SetImage(image);
  if (image.isNull()) {
    statusBar()->showMessage(error.ToQString());
    return 0;
  }
  statusBar()->showMessage(path.GetStringTitleExt().ToQString());
  return 1;
}
