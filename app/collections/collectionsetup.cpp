#include "collections/collectionsetup.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QObject>
#include <QUrl>

#include "collections/batchpage.h"
#include "collections/droppedfiles.h"
#include "collections/portfoliomanager.h"
#include "shell/commandids.h"
#include "shell/commandline.h"
#include "shell/commandrouter.h"
#include "shell/mainframe.h"
#include "shell/programhooks.h"
#include "viewer/imagestepper.h"
#include "viewer/imageview.h"

namespace {

// The portfolio commands; a child of the window, so it lives as long.
class CPortfolioCommands : public QObject, public CCommandTarget {
 public:
  explicit CPortfolioCommands(CMainFrame* frame) : QObject(frame), m_pFrame(frame) {}

  int OnCommand(int id) override {
    if (id != IDM_PORTFOLIO_MANAGER) return 0;
    OpenPortfolioManager(m_pFrame, MyString());
    return 1;
  }

 private:
  CMainFrame* m_pFrame;
};

// Files dropped anywhere on the window that no child takes.
class CDropFilter : public QObject {
 public:
  explicit CDropFilter(CMainFrame* frame) : QObject(frame) {}
  ~CDropFilter() override { GetProgramHooks().openDroppedFiles = nullptr; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::DragEnter) {
      auto* enter = static_cast<QDragEnterEvent*>(event);
      if (!LocalFiles(enter->mimeData()).empty()) enter->acceptProposedAction();
      return true;
    }
    if (event->type() == QEvent::Drop) {
      auto* drop = static_cast<QDropEvent*>(event);
      MyStringList paths;
      for (const MyString& path : LocalFiles(drop->mimeData())) paths.Append(path);
      if (paths.GetListLength() == 0) return true;
      drop->acceptProposedAction();
      // After the drop has ended: the question must not run inside it.
      auto* frame = static_cast<CMainFrame*>(parent());
      QMetaObject::invokeMethod(
          frame, [frame, paths] { OpenDroppedFiles(frame, paths); }, Qt::QueuedConnection);
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  static std::vector<MyString> LocalFiles(const QMimeData* data) {
    std::vector<MyString> files;
    if (!data) return files;
    for (const QUrl& url : data->urls())
      if (url.isLocalFile()) files.push_back(MyString::FromQString(url.toLocalFile()));
    return files;
  }
};

}  // namespace

void InstallCollections(CMainFrame* frame) {
  frame->Router().SetTarget(CO_PORTFOLIOS, new CPortfolioCommands(frame));
  InstallBatchCommands(frame);
  frame->setAcceptDrops(true);
  frame->installEventFilter(new CDropFilter(frame));
  tagPROGRAMHOOKS& hooks = GetProgramHooks();
  hooks.openDroppedFiles = [frame](const MyStringList& paths) { OpenDroppedFiles(frame, paths); };
}

int OpenDroppedFiles(CMainFrame* frame, const MyStringList& paths) {
  if (paths.GetListLength() == 0) return 0;
  if (paths.GetListLength() == 1) {
    return IsPortfolioPath(paths[0]) ? frame->ShowPortfolio(paths[0]) : frame->OpenPath(paths[0]);
  }
  std::vector<MyString> dropped(paths.begin(), paths.end());
  const std::vector<MyString> images = SupportedImages(dropped);
  if (images.empty()) return 0;
  const auto answer = QMessageBox::question(
      frame, QString(), QObject::tr("Do you want to save this files as Lorimo slide ?"),
      QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
  if (answer != QMessageBox::Yes) return frame->OpenImage(images.front());
  QFileDialog dialog(frame, QObject::tr("Save Lorimo slides"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QObject::tr("Lorimo slides (*.lrm)"));
  dialog.setDefaultSuffix(QStringLiteral("lrm"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return 0;
  const MyString target = MyString::FromQString(dialog.selectedFiles().front());
  MyString error;
  if (!SaveImagesAsPortfolio(images, target, &error)) {
    QMessageBox::warning(frame, QObject::tr("Save portfolio"),
                         QObject::tr("Unable to save the portfolio %1:\n%2")
                             .arg(target.ToQString(), error.ToQString()));
    return frame->OpenImage(images.front());
  }
  // The viewer walks the dropped images in drop order, with the portfolio's delays.
  return frame->ShowPortfolio(target);
}

int OpenPortfolioManager(CMainFrame* frame, const MyString& portfolio) {
  CDlgPortfolioManager manager(frame, portfolio);
  manager.shownPortfolio = [frame] {
    return frame->Viewer() ? frame->Viewer()->Stepper().GetPortfolioPath() : MyString();
  };
  manager.reopenPortfolio = [frame](const MyString& path) { frame->ShowPortfolio(path); };
  return manager.DoModal() >= 0 ? 1 : 0;
}
