#include "collections/collectionsetup.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <algorithm>
#include <map>
#include <memory>

#include "browse/folderwatcher.h"
#include "collections/batchpage.h"
#include "collections/droppedfiles.h"
#include "collections/favoritesoptionspage.h"
#include "collections/favoritespane.h"
#include "collections/mailcommands.h"
#include "collections/portfoliomanager.h"
#include "pixwork/listposition.h"
#include "pixwork/options.h"
#include "shell/commandids.h"
#include "shell/commandline.h"
#include "shell/commandrouter.h"
#include "shell/mainframe.h"
#include "shell/mainmenu.h"
#include "shell/programhooks.h"
#include "shell/toolviewdocks.h"
#include "shell/toolviewmenu.h"
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

// The tool-view entry toggled by a command.
int EntryOf(int command) {
  const auto& entries = CToolViewMenu::Entries();
  for (int i = 0; i < CToolViewMenu::kEntryCount; ++i)
    if (int(entries[size_t(i)].nCommand) == command) return i;
  return -1;
}

QPointer<CFavoritesPane>& FavoritesPane() {
  static QPointer<CFavoritesPane> pane;
  return pane;
}

// The favorites commands and the F&avorites menu: fixed entries, then the
// favorites, each with an id handed out by the router.
class CFavoritesCommands : public QObject, public CCommandTarget {
 public:
  explicit CFavoritesCommands(CMainFrame* frame) : QObject(frame), m_pFrame(frame) {
    QMenu* menu = frame->MainMenu().GetMenu(MM_FAVORITES);
    if (menu) connect(menu, &QMenu::aboutToShow, this, [this] { RebuildMenu(); });
    RebuildMenu();
  }

  int OnCommand(int id) override {
    CFavoritesPane* pane = FavoritesPane().data();
    if (id == IDM_PORTFOLIO_MANAGER) return OpenPortfolioManager(m_pFrame, MyString());
    if (m_pFrame->Router().IsFavoritesEntry(id)) {
      const auto found = m_entries.find(id);
      if (found == m_entries.end()) return 0;
      if (pane) {
        pane->ChooseNode(found->second);
      } else if (found->second->nType == FAV_TYPE_PORTFOLIO) {
        m_pFrame->ShowPortfolio(found->second->GetPath());
      } else {
        m_pFrame->ShowFolder(found->second->GetPath());
      }
      return 1;
    }
    return pane ? pane->RunCommand(id) : 0;
  }
  bool IsCommandEnabled(int id) const override {
    if (id == IDM_PORTFOLIO_MANAGER || m_pFrame->Router().IsFavoritesEntry(id)) return true;
    const CFavoritesPane* pane = FavoritesPane().data();
    return pane && pane->IsCommandEnabled(id);
  }

  void RebuildMenu() {
    m_pFrame->Router().ResetFavoritesIds();
    m_entries.clear();
    std::vector<tagFAVORITESMENUENTRY> entries{
        {IDM_ADD_FAVORITE_DIRECTORY, QObject::tr("Add Directory")},
        {IDM_ADD_FAVORITE_PORTFOLIO, QObject::tr("Add Portfolio")},
        {IDM_FAVORITES_MANAGER, QObject::tr("Favorites Manager ..."), false, true},
        {IDM_PORTFOLIO_MANAGER, QObject::tr("Portfolio Manager ...")},
    };
    CFavoritesPane* pane = FavoritesPane().data();
    CFavoritesNode* root = pane && pane->IsLoaded() ? pane->Root() : nullptr;
    bool first = true;
    if (root) {
      // The root's children in display-position order, deleted ones left out.
      std::vector<CFavoritesNode*> children;
      for (CFavoritesNode* child : root->vChildren)
        if (child && !child->bDeleted) children.push_back(child);
      std::sort(children.begin(), children.end(),
                [](const CFavoritesNode* a, const CFavoritesNode* b) {
                  return a->nPosIndex < b->nPosIndex;
                });
      for (CFavoritesNode* child : children) {
        const int id = m_pFrame->Router().HandOutFavoritesId();
        m_entries[id] = child;
        entries.push_back({id, child->GetName().ToQString(), child->nSelection > 0, first});
        first = false;
      }
    }
    m_pFrame->MainMenu().SetFavoritesEntries(entries);
  }

 private:
  CMainFrame* m_pFrame;
  std::map<int, CFavoritesNode*> m_entries;
};

CFavoritesPane* MakeFavoritesPane(CMainFrame* frame, QWidget* parent) {
  auto* pane = new CFavoritesPane(parent);
  FavoritesPane() = pane;
  pane->openFolder = [frame](const MyString& folder) { return frame->ShowFolder(folder); };
  pane->openPortfolio = [frame](const MyString& path) { return frame->ShowPortfolio(path); };
  pane->combinedBrowsing = [] { return gVFAV[VFAV_LOAD_ALL_PICTURES].bFlag != 0; };
  pane->showPopup = [] { return gVFAV[VFAV_SHOW_POPUP].bFlag != 0; };
  pane->autoUpdate = [] { return gVFAV[VFAV_AUTO_UPDATE].bFlag != 0; };
  pane->viewerFolder = [frame] {
    CImageView* viewer = frame->Viewer();
    if (!viewer || frame->StartupScreen()) return MyString();
    const MyString portfolio = viewer->Stepper().GetPortfolioPath();
    if (!portfolio.IsEmpty()) return portfolio;
    const MyString current = viewer->ListPosition().GetCurrentPath();
    return current.IsEmpty() ? MyString() : current.GetStringPath();
  };
  // The folder watcher tells the favorites slot of changes too.
  CFolderWatcher::Instance().SetSubscriber(
      CFolderWatcher::kFavoritesSlot, pane,
      [pane](const MyString& folder) { pane->OnFolderChanged(folder); });
  // Kept as it changes: the pane writes the file last when it goes, after
  // the viewer has gone.
  auto imageIndex = std::make_shared<int>(0);
  if (CImageView* viewer = frame->Viewer()) {
    *imageIndex = viewer->ListPosition().GetCurrent();
    QObject::connect(viewer, &CImageView::CurrentImageChanged, pane,
                     [imageIndex](const QString&, int index) { *imageIndex = index; });
  }
  pane->imageIndex = [imageIndex] { return *imageIndex; };
  pane->runCommand = [frame](int id) { frame->SendCommand(id); };
  pane->editPortfolio = [frame](const MyString& path) { OpenPortfolioManager(frame, path); };
  auto* commands = dynamic_cast<CFavoritesCommands*>(frame->Router().GetTarget(CO_FAVORITES));
  if (commands) pane->favoritesChanged = [commands] { commands->RebuildMenu(); };
  // Closing the pane hides it: the favorites are written then.
  if (auto* dock = qobject_cast<CToolViewDock*>(parent))
    QObject::connect(dock, &CToolViewDock::Closed, pane, [pane] { pane->Save(); });
  return pane;
}

void InstallFavoritesPane(CMainFrame* frame) {
  frame->Router().SetTarget(CO_FAVORITES, new CFavoritesCommands(frame));
  frame->ToolViews().SetContentFactory(EntryOf(IDM_VIEW_FAVORITES), [frame](QWidget* parent) {
    return MakeFavoritesPane(frame, parent);
  });
  // Other panes share these hooks: each adds itself to what was there.
  tagPROGRAMHOOKS& hooks = GetProgramHooks();
  hooks.showFolderInPanes = [previous = hooks.showFolderInPanes](const MyString& folder) {
    if (previous) previous(folder);
    if (CFavoritesPane* pane = FavoritesPane().data()) pane->RevealPath(folder, false);
  };
  hooks.showPortfolioInPanes = [previous = hooks.showPortfolioInPanes](const MyString& path) {
    if (previous) previous(path);
    if (CFavoritesPane* pane = FavoritesPane().data()) pane->RevealPath(path, true);
  };
  hooks.makeFavoritesOptionsPage = [](QWidget* parent) {
    return new CFavoritesOptionsPage(parent);
  };
  hooks.writeFavorites = [previous = hooks.writeFavorites] {
    if (previous) previous();
    if (CFavoritesPane* pane = FavoritesPane().data()) pane->Save();
  };
  if (CImageView* viewer = frame->Viewer()) {
    viewer->favoritesHandOver = [previous = viewer->favoritesHandOver](bool bForward) {
      if (previous && previous(bForward)) return true;
      CFavoritesPane* pane = FavoritesPane().data();
      return pane && pane->HandOver(bForward);
    };
  }
}

}  // namespace

void InstallCollections(CMainFrame* frame) {
  InstallFavoritesPane(frame);
  frame->Router().SetTarget(CO_PORTFOLIOS, new CPortfolioCommands(frame));
  InstallBatchCommands(frame);
  InstallMailCommands(frame);
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
