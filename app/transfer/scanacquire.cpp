#include "transfer/scanacquire.h"

#include <QScrollBar>
#include <QStatusBar>

#include "pixwork/twain.h"
#include "shell/commandids.h"
#include "shell/mainframe.h"
#include "shell/programhooks.h"
#include "viewer/imagedocument.h"
#include "viewer/imageview.h"

namespace {

constexpr char16_t kAcquiredName[] = u"Acquired Image";

std::unique_ptr<CScanAcquire> gScanner;

}  // namespace

CScanAcquire::CScanAcquire(CMainFrame* frame) : m_frame(frame), m_twain(new CTwain) {
  m_commands.onCommand = [this](int id) {
    tagTWAINVIEWER viewer;
    viewer.pMainWindow = m_frame;
    viewer.onImage = [this](const Magick::Image& image) {
      return TakeAcquiredImage(m_frame->Viewer(), image);
    };
    viewer.onStatus = [this](const QString& text) { m_frame->statusBar()->showMessage(text); };
    if (id == IDM_TWAIN_SELECT_SOURCE) {
      m_twain->SelectSource(viewer);
      return 1;
    }
    if (id == IDM_TWAIN_ACQUIRE) {
      m_twain->Acquire(-1, viewer);
      return 1;
    }
    return 0;
  };
  m_commands.isEnabled = [this](int) { return m_twain->IsAvailable(); };
}

CScanAcquire::~CScanAcquire() = default;

bool CScanAcquire::TakeAcquiredImage(CImageView* view, const Magick::Image& image) {
  if (!view) return false;
  // A page before this one that is still unsaved is asked about first.
  if (view->askToSaveModified && !view->askToSaveModified()) return false;
  CImageDocument& document = view->Document();
  // No file: nothing in the working folder is read, replaced or deleted
  // through this image until Save As gives it one.
  document.GetData().strFilePath = MyString();
  document.GetData().strFileName = kAcquiredName;
  document.ReplaceImage(image);
  view->SetActualSize(true);
  view->HorizontalBar()->setValue(0);
  view->VerticalBar()->setValue(0);
  return true;
}

void InstallScanner(CMainFrame* frame) {
  gScanner = std::make_unique<CScanAcquire>(frame);
  frame->Router().SetTarget(CO_SCANNER, gScanner->CommandTarget());
  tagPROGRAMHOOKS& hooks = GetProgramHooks();
  hooks.initTwain = [](QWidget* mainWindow) {
    if (gScanner) gScanner->Twain().InitTwain(mainWindow);
  };
  hooks.releaseTwain = [] {
    if (gScanner) gScanner->Twain().ReleaseTwain();
    gScanner.reset();
  };
}
