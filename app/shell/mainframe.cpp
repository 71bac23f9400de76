#include "shell/mainframe.h"

#include <QMenuBar>
#include <QStatusBar>

#include "viewer/imageio.h"
#include "viewer/imageservice.h"
#include "viewer/imageview.h"
#include "viewer/progressstrip.h"

CMainFrame::CMainFrame(QWidget* parent)
    : QMainWindow(parent), m_viewer(new CImageView(this)), m_progress(new CProgressStrip(this)) {
  setObjectName(QStringLiteral("LORIMO"));
  setWindowTitle(QStringLiteral("ZOKA Lorimo"));
  setCentralWidget(m_viewer);
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
  return 1;
}
