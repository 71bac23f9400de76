#include "browse/directoriesview.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QHelpEvent>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QToolTip>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <algorithm>
#include <map>

#include "browse/fileoperations.h"
#include "browse/folderwatcher.h"
#include "corekit/platform.h"
#include "corekit/queuedcall.h"
#include "shell/commandids.h"
#include "shell/mainframe.h"
#include "shell/volumewatcher.h"
#include "viewer/imagedocument.h"
#include "viewer/imageview.h"

namespace {

constexpr int kFilledRole = Qt::UserRole + 1;  // the subfolders were read
constexpr int kRootRole = Qt::UserRole + 2;
// Open in the user's eyes: Qt forgets it when a child is taken out and put
// back in a refresh.
constexpr int kOpenRole = Qt::UserRole + 3;

bool IsBelow(const MyString& path, const MyString& folder) {
  if (folder == u"/") return !path.IsEmpty() && path[0] == u'/';
  return path == folder || (path.GetLength() > folder.GetLength() &&
                            path.str().compare(0, folder.GetLength(), folder.str()) == 0 &&
                            path[folder.GetLength()] == u'/');
}

// The watched folders of the expanded nodes at and below item.
void CollectExpanded(QTreeWidgetItem* item, MyStringList* paths) {
  if (!item->isExpanded()) return;
  paths->Append(CDirectoriesView::ItemPath(item));
  for (int i = 0; i < item->childCount(); ++i) CollectExpanded(item->child(i), paths);
}

// The local files (not folders) a drag carries.
std::vector<MyString> DroppedFiles(const QMimeData* data) {
  std::vector<MyString> files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (QFileInfo(path).isFile()) files.push_back(MyString::FromQString(path));
  }
  return files;
}

}  // namespace

CDirectoriesView::CDirectoriesView(CMainFrame* frame, CVolumeWatcher* volumes, QWidget* parent,
                                   CFolderWatcher* watcher)
    : QTreeWidget(parent),
      m_frame(frame),
      m_watcher(watcher ? *watcher : CFolderWatcher::Instance()) {
  setHeaderHidden(true);
  setUniformRowHeights(true);
  setContextMenuPolicy(Qt::DefaultContextMenu);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDropIndicatorShown(true);
  showMessage = [this](const MyString& text, const MyString& caption) {
    QMessageBox::information(this, caption.ToQString(), text.ToQString());
  };
  connect(this, &QTreeWidget::itemExpanded, this, &CDirectoriesView::OnExpanded);
  connect(this, &QTreeWidget::itemCollapsed, this, &CDirectoriesView::OnCollapsed);
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { OnCurrentChanged(current); });

  m_watcher.SetSubscriber(CFolderWatcher::kDirectoriesSlot, this,
                          [this](const MyString& folder) { RefreshFolder(folder); });
  MyStringList mounted;
  if (volumes) {
    mounted = volumes->GetVolumes();
    connect(volumes, &CVolumeWatcher::VolumeArrived, this, &CDirectoriesView::AddVolume);
    connect(volumes, &CVolumeWatcher::VolumeRemoved, this, &CDirectoriesView::RemoveVolume);
  }
  // The first fill reads the roots and their subfolders on a worker: "/"
  // or a slow volume must not hold up the window.
  m_fill = std::thread([this, mounted] {
    std::vector<tagDIRNODE> roots = GetDirectoryRoots(mounted);
    std::vector<std::vector<tagDIRNODE>> children;
    for (const tagDIRNODE& root : roots) children.push_back(ReadSubfolders(root.strPath));
    QueueCall(this, [this, roots = std::move(roots), children = std::move(children)] {
      OnFirstFill(roots, children);
    });
  });
}

CDirectoriesView::~CDirectoriesView() {
  if (m_fill.joinable()) m_fill.join();
  m_watcher.SetSubscriber(CFolderWatcher::kDirectoriesSlot, nullptr, nullptr);
  m_watcher.Stop();
}

MyString CDirectoriesView::ItemPath(const QTreeWidgetItem* item) {
  return item ? MyString::FromQString(item->data(0, kPathRole).toString()) : MyString();
}

QTreeWidgetItem* CDirectoriesView::MakeItem(const tagDIRNODE& node) {
  static const QIcon folderIcon = QFileIconProvider().icon(QFileIconProvider::Folder);
  auto* item = new QTreeWidgetItem;
  item->setText(0, node.strName.ToQString());
  item->setIcon(0, folderIcon);
  item->setData(0, kPathRole, node.strPath.ToQString());
  // Whether it has subfolders is seen when it is opened.
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return item;
}

void CDirectoriesView::FillChildren(QTreeWidgetItem* item, const std::vector<tagDIRNODE>& nodes) {
  // Nodes that stay keep their items (and what is open below them).
  std::map<std::u16string, QTreeWidgetItem*> kept;
  while (item->childCount() > 0) {
    QTreeWidgetItem* child = item->takeChild(0);
    kept[ItemPath(child).str()] = child;
  }
  QList<QTreeWidgetItem*> children;
  for (const tagDIRNODE& node : nodes) {
    const auto it = kept.find(node.strPath.str());
    if (it != kept.end()) {
      children.append(it->second);
      kept.erase(it);
    } else {
      children.append(MakeItem(node));
    }
  }
  item->addChildren(children);
  // Subfolders that went: their open branches are no longer watched.
  MyStringList gone;
  for (auto& [path, child] : kept) {
    CollectExpanded(child, &gone);
    delete child;
  }
  if (gone.GetListLength() > 0) m_watcher.RemoveList(gone, CFolderWatcher::kDirectoriesSlot);
  // Restore the expanded state Qt drops on a taken child.
  for (QTreeWidgetItem* child : children)
    if (child->data(0, kFilledRole).toBool() && child->data(0, kOpenRole).toBool()) {
      const QSignalBlocker blocker(this);
      child->setExpanded(true);
    }
  item->setData(0, kFilledRole, true);
  item->setChildIndicatorPolicy(nodes.empty() ? QTreeWidgetItem::DontShowIndicator
                                              : QTreeWidgetItem::ShowIndicator);
}

void CDirectoriesView::OnFirstFill(const std::vector<tagDIRNODE>& roots,
                                   const std::vector<std::vector<tagDIRNODE>>& children) {
  if (m_fill.joinable()) m_fill.join();
  for (size_t i = 0; i < roots.size(); ++i) {
    QTreeWidgetItem* item = MakeItem(roots[i]);
    item->setData(0, kRootRole, true);
    addTopLevelItem(item);
    FillChildren(item, children[i]);
  }
  m_bFilled = true;
  // The desktop is always watched.
  const MyString desktop = GetDesktopFolder();
  if (!desktop.IsEmpty()) m_watcher.UTAddItem(desktop, CFolderWatcher::kDirectoriesSlot, true);
  m_watcher.Wake();
  if (!m_strPendingSelect.IsEmpty()) SelectFolder(m_strPendingSelect);
  m_strPendingSelect = MyString();
  emit Filled();
}

void CDirectoriesView::OnExpanded(QTreeWidgetItem* item) {
  item->setData(0, kOpenRole, true);
  const MyString path = ItemPath(item);
  if (!item->data(0, kFilledRole).toBool()) FillChildren(item, ReadSubfolders(path));
  m_watcher.UTAddItem(path, CFolderWatcher::kDirectoriesSlot, false);
  m_watcher.Wake();
}

void CDirectoriesView::OnCollapsed(QTreeWidgetItem* item) {
  item->setData(0, kOpenRole, false);
  // The whole branch closes and leaves the watcher, which wakes once.
  MyStringList paths;
  paths.Append(ItemPath(item));
  {
    const QSignalBlocker blocker(this);
    QTreeWidgetItemIterator it(item);
    for (++it; *it && IsBelow(ItemPath(*it), ItemPath(item)); ++it) {
      if ((*it)->parent() == nullptr) break;
      if ((*it)->isExpanded()) {
        paths.Append(ItemPath(*it));
        (*it)->setData(0, kOpenRole, false);
        (*it)->setExpanded(false);
      }
    }
  }
  m_watcher.RemoveList(paths, CFolderWatcher::kDirectoriesSlot);
}

void CDirectoriesView::OnCurrentChanged(QTreeWidgetItem* current) {
  if (m_bProgramSelects || !current) return;
  const MyString path = ItemPath(current);
  emit FolderChosen(path.ToQString());
  if (m_frame) m_frame->ShowFolder(path);
}

QTreeWidgetItem* CDirectoriesView::FindItem(const MyString& folder) const {
  const QString text = folder.ToQString();
  for (QTreeWidgetItemIterator it(const_cast<CDirectoriesView*>(this)); *it; ++it)
    if ((*it)->data(0, kPathRole).toString() == text) return *it;
  return nullptr;
}

void CDirectoriesView::RefreshFolder(const MyString& folder) {
  const QString text = folder.ToQString();
  std::vector<QTreeWidgetItem*> items;
  for (QTreeWidgetItemIterator it(this); *it; ++it)
    if ((*it)->data(0, kPathRole).toString() == text && (*it)->data(0, kFilledRole).toBool())
      items.push_back(*it);
  if (items.empty()) return;
  const std::vector<tagDIRNODE> nodes = ReadSubfolders(folder);
  const QSignalBlocker blocker(this);
  for (QTreeWidgetItem* item : items) FillChildren(item, nodes);
}

int CDirectoriesView::SelectFolder(const MyString& folder) {
  if (!m_bFilled) {
    m_strPendingSelect = folder;
    return 0;
  }
  // The root holding the folder most closely (home before "/").
  QTreeWidgetItem* node = nullptr;
  size_t best = 0;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    const MyString root = ItemPath(topLevelItem(i));
    if (IsBelow(folder, root) && (!node || root.GetLength() > best)) {
      node = topLevelItem(i);
      best = root.GetLength();
    }
  }
  if (!node) return 0;
  MyString rest = folder.Mid(best == 1 ? 1 : best);
  while (!rest.IsEmpty() && rest[0] == u'/') rest.tShaveFirstChar();
  while (!rest.IsEmpty()) {
    const size_t slash = rest.Find(u'/');
    const MyString name = slash == MyString::npos ? rest : rest.Mid(0, slash);
    rest = slash == MyString::npos ? MyString() : rest.Mid(slash + 1);
    if (name.IsEmpty()) continue;
    if (!node->data(0, kFilledRole).toBool()) FillChildren(node, ReadSubfolders(ItemPath(node)));
    QTreeWidgetItem* next = nullptr;
    for (int i = 0; i < node->childCount() && !next; ++i)
      if (node->child(i)->text(0) == name.ToQString()) next = node->child(i);
    if (!next) return 0;
    node->setExpanded(true);  // watched like a node the user opens
    node = next;
  }
  m_bProgramSelects = true;
  setCurrentItem(node);
  scrollToItem(node);
  m_bProgramSelects = false;
  return 1;
}

void CDirectoriesView::ToggleExpanded(QTreeWidgetItem* item) {
  if (item) item->setExpanded(!item->isExpanded());
}

int CDirectoriesView::RenameItem(QTreeWidgetItem* item, const MyString& newName, MyString* error) {
  if (!item || item->data(0, kRootRole).toBool()) {
    *error = u"This folder cannot be renamed.";
    return 0;
  }
  const MyString oldPath = ItemPath(item);
  MyString newPath;
  if (!RenameFolder(oldPath, newName, &newPath, error)) return 0;
  // The node and what was read below it follow the new name.
  MyStringList watched;
  CollectExpanded(item, &watched);
  for (QTreeWidgetItemIterator it(item); *it; ++it) {
    const MyString path = ItemPath(*it);
    if (!IsBelow(path, oldPath)) break;
    (*it)->setData(0, kPathRole, MovePathBelow(path, oldPath, newPath).ToQString());
  }
  item->setText(0, newName.ToQString());
  if (watched.GetListLength() > 0) {
    m_watcher.RemoveList(watched, CFolderWatcher::kDirectoriesSlot);
    for (const MyString& path : watched)
      m_watcher.UTAddItem(MovePathBelow(path, oldPath, newPath), CFolderWatcher::kDirectoriesSlot,
                          false);
    m_watcher.Wake();
  }
  // The viewer's list lived there: it is opened again under the new name.
  if (m_frame) {
    const MyString current = m_frame->Viewer()->Document().GetPath();
    if (!current.IsEmpty() && IsBelow(current, oldPath))
      m_frame->OpenImage(MovePathBelow(current, oldPath, newPath));
  }
  return 1;
}

void CDirectoriesView::OpenInFileManager(QTreeWidgetItem* item) {
  if (item) QDesktopServices::openUrl(QUrl::fromLocalFile(ItemPath(item).ToQString()));
}

void CDirectoriesView::AskRename(QTreeWidgetItem* item) {
  bool ok = false;
  const QString name = QInputDialog::getText(this, tr("Rename folder"), tr("New name:"),
                                             QLineEdit::Normal, item->text(0), &ok);
  if (!ok || name == item->text(0)) return;
  MyString error;
  if (!RenameItem(item, MyString::FromQString(name), &error))
    QMessageBox::warning(this, tr("Lorimo: Rename folder"), error.ToQString());
}

void CDirectoriesView::contextMenuEvent(QContextMenuEvent* event) {
  QTreeWidgetItem* item = itemAt(viewport()->mapFromGlobal(event->globalPos()));
  if (!item) return;
  QMenu menu(this);
  menu.addAction(item->isExpanded() ? tr("Collapse") : tr("Expand"),
                 [this, item] { ToggleExpanded(item); });
  QAction* rename = menu.addAction(tr("rename"), [this, item] { AskRename(item); });
  rename->setEnabled(!item->data(0, kRootRole).toBool());
  menu.addSeparator();
  menu.addAction(tr("Open in File Manager"), [this, item] { OpenInFileManager(item); });
  menu.exec(event->globalPos());
}

bool CDirectoriesView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    if (QTreeWidgetItem* item = itemAt(help->pos())) {
      const MyString path = ItemPath(item);
      const MyString text = BuildDirectoryTooltip(MyString::FromQString(item->text(0)), path,
                                                  CountFolderContents(path));
      QToolTip::showText(help->globalPos(), text.ToQString(), viewport());
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QTreeWidget::viewportEvent(event);
}

void CDirectoriesView::AddVolume(const QString& mountPoint) {
  if (!m_bFilled) return;
  const MyString path = MyString::FromQString(mountPoint);
  if (FindItem(path) && FindItem(path)->data(0, kRootRole).toBool()) return;
  const MyString name = path.GetStringTitleExt();
  QTreeWidgetItem* item = MakeItem({name.IsEmpty() ? path : name, path});
  item->setData(0, kRootRole, true);
  addTopLevelItem(item);
}

void CDirectoriesView::RemoveVolume(const QString& mountPoint) {
  for (int i = topLevelItemCount() - 1; i >= 0; --i) {
    QTreeWidgetItem* item = topLevelItem(i);
    if (item->data(0, kPathRole).toString() != mountPoint) continue;
    MyStringList watched;
    CollectExpanded(item, &watched);
    if (watched.GetListLength() > 0)
      m_watcher.RemoveList(watched, CFolderWatcher::kDirectoriesSlot);
    delete takeTopLevelItem(i);
  }
}

int CDirectoriesView::DropFiles(const std::vector<MyString>& files, const MyString& folder,
                                bool bCopy) {
  if (files.empty() || folder.IsEmpty()) return 0;
  const tagFILEOPRESULT result =
      bCopy ? CFileOperations().Copy(files, folder) : CFileOperations().Move(files, folder);
  if (showMessage)
    showMessage(CFileOperations::ReportText(result), CFileOperations::ReportCaption(result));
  CImageView* viewer = m_frame ? m_frame->Viewer() : nullptr;
  if (viewer && viewer->ListPosition().HasImage() && !result.done.empty()) {
    MyString listed;
    {
      std::lock_guard lock(viewer->ListPosition().GetLock());
      listed = viewer->ListPosition().GetList().GetDirectory();
    }
    // Files that left the listed folder leave the list; copies into it join.
    bool bTouched = MyString(folder + u"/") == listed || folder == listed;
    for (const auto& [from, to] : result.done)
      if (!bCopy && MyString(from.GetStringPath() + u"/") == listed) bTouched = true;
    if (bTouched) viewer->OnCommand(IDM_RESCAN);
  }
  return result.Succeeded() ? 1 : 0;
}

void CDirectoriesView::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFiles(event->mimeData()).empty())
    event->acceptProposedAction();
  else
    event->ignore();
}

void CDirectoriesView::dragMoveEvent(QDragMoveEvent* event) {
  // Only onto a node; Ctrl copies.
  if (!itemAt(event->position().toPoint())) {
    event->ignore();
    return;
  }
  event->setDropAction(event->modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction);
  event->accept();
}

void CDirectoriesView::dropEvent(QDropEvent* event) {
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  const std::vector<MyString> files = DroppedFiles(event->mimeData());
  if (!item || files.empty()) {
    event->ignore();
    return;
  }
  const bool bCopy = (event->modifiers() & Qt::ControlModifier) != 0;
  event->setDropAction(bCopy ? Qt::CopyAction : Qt::MoveAction);
  event->accept();
  DropFiles(files, ItemPath(item), bCopy);
}
