#include "collections/favoritespane.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QVBoxLayout>
#include <set>

#include "browse/folderwatcher.h"
#include "collections/droppedfiles.h"
#include "collections/favoritesdialogs.h"
#include "corekit/filelock.h"
#include "nestbook/favoritesfile.h"
#include "nestbook/threadupdate.h"
#include "nestbook/tvt.h"
#include "shell/commandids.h"
#include "shell/commandline.h"

namespace {

// Selections drawn from the indentation to the row's end, the number
// right-aligned; the current entry lighter, inherited ones lighter still
// and without their number.
class CSelectionDelegate : public QStyledItemDelegate {
 public:
  CSelectionDelegate(QTreeWidget* tree, CFavoritesBrowsing* browsing)
      : QStyledItemDelegate(tree), m_pTree(tree), m_pBrowsing(browsing) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const auto* node =
        reinterpret_cast<const CFavoritesNode*>(index.data(kTVTNodeRole).value<quintptr>());
    if (!node || node->nSelection <= 0) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    const bool inherited = node->pParent && node->pParent->nSelection == node->nSelection;
    const int lighten = node == m_pBrowsing->GetCurrentNode() ? 80 : inherited ? 30 : 0;
    QColor colour = option.palette.color(QPalette::Highlight);
    colour.setRgb(std::min(colour.red() + lighten, 255), std::min(colour.green() + lighten, 255),
                  std::min(colour.blue() + lighten, 255));
    QRect row = option.rect;
    row.setRight(m_pTree->viewport()->width());
    painter->fillRect(row, colour);
    QStyleOptionViewItem plain = option;
    plain.state &= ~QStyle::State_Selected;
    plain.palette.setColor(QPalette::Text, option.palette.color(QPalette::HighlightedText));
    QStyledItemDelegate::paint(painter, plain, index);
    if (inherited) return;
    painter->setPen(option.palette.color(QPalette::HighlightedText));
    painter->drawText(row.adjusted(0, 0, -5, 0), Qt::AlignRight | Qt::AlignVCenter,
                      QString::number(node->nSelection));
  }

 private:
  QTreeWidget* m_pTree;
  CFavoritesBrowsing* m_pBrowsing;
};

// The nodes of the subtree (node first).
void Collect(CFavoritesNode* node, std::vector<CFavoritesNode*>& out) {
  out.push_back(node);
  for (CFavoritesNode* child : node->vChildren)
    if (child) Collect(child, out);
}

bool IsListedSubfolder(const CFavoritesNode* node) {
  return node->nType == FAV_TYPE_DIRECTORY && !node->bUserAdded && node->pParent &&
         node->pParent->nType == FAV_TYPE_DIRECTORY && QDir(node->GetPath().ToQString()).exists();
}

}  // namespace

CFavoritesPane::CFavoritesPane(QWidget* parent, MyString file)
    : QWidget(parent), m_file(std::move(file)) {
  setWindowTitle(tr("Favorites"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);

  m_pTree = new QTreeWidget(this);
  m_pTree->setHeaderHidden(true);
  m_pTree->setSelectionMode(QAbstractItemView::NoSelection);
  m_pTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_pTree->setDragEnabled(true);
  m_pTree->setAcceptDrops(true);
  m_pTree->setDragDropMode(QAbstractItemView::DragDrop);
  m_pTree->setIconSize(QSize(16, 16));
  m_pTree->setContextMenuPolicy(Qt::CustomContextMenu);
  m_pTree->setMouseTracking(true);
  m_pTree->setItemDelegate(new CSelectionDelegate(m_pTree, &m_browsing));
  m_pTree->viewport()->installEventFilter(this);
  m_pTree->hide();
  layout->addWidget(m_pTree);

  m_pEmptyPanel = new QWidget(this);
  auto* panel = new QVBoxLayout(m_pEmptyPanel);
  panel->addWidget(new QLabel(tr("Your Favorites list is empty."), m_pEmptyPanel));
  auto* hint = new QLabel(tr("To add directories or portfolio to your Favorites, select:"));
  hint->setWordWrap(true);
  panel->addWidget(hint);
  const auto addLink = [this, panel](const QString& text, int id) {
    auto* link = new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped()));
    connect(link, &QLabel::linkActivated, this, [this, id] {
      if (runCommand) runCommand(id);
    });
    panel->addWidget(link);
  };
  addLink(tr("Add directories ..."), IDM_ADD_FAVORITE_DIRECTORY);
  addLink(tr("Add portfolio ..."), IDM_ADD_FAVORITE_PORTFOLIO);
  panel->addStretch();
  m_pEmptyPanel->hide();
  layout->addWidget(m_pEmptyPanel);

  m_pHoverTimer = new QTimer(this);
  m_pHoverTimer->setSingleShot(true);
  m_pHoverTimer->setInterval(500);
  connect(m_pHoverTimer, &QTimer::timeout, this, [this] {
    if (m_pHoverItem) m_pHoverItem->setExpanded(true);
  });

  showError = [this](const MyString& text, const MyString& caption) {
    QMessageBox::critical(this, caption.ToQString(), text.ToQString());
  };
  askYesNo = [this](const MyString& text, const MyString& caption) {
    return QMessageBox::question(this, caption.ToQString(), text.ToQString()) == QMessageBox::Yes;
  };

  connect(m_pTree, &QTreeWidget::itemExpanded, this, &CFavoritesPane::OnExpanded);
  connect(m_pTree, &QTreeWidget::itemCollapsed, this, &CFavoritesPane::OnCollapsed);
  connect(m_pTree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
    if (!m_bLoaded || !(item->flags() & Qt::ItemIsEditable)) return;
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    RenameItem(item, MyString::FromQString(item->text(0)));
  });
  connect(m_pTree, &QWidget::customContextMenuRequested, this, &CFavoritesPane::ShowContextMenu);

  m_loader = std::thread([this] { Load(); });
}

CFavoritesPane::~CFavoritesPane() {
  if (m_loader.joinable()) m_loader.join();
  m_pUpdates.reset();  // its thread stops before the tree goes
  // A pane whose file was never read has nothing of its own to write.
  if (m_pRoot) Save();
}

void CFavoritesPane::Load() {
  auto data = std::make_shared<tagFAVORITESDATA>();
  {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_file.IsEmpty()) {
      FTLoadDataUnderLock(data.get());
    } else {
      CFileLockGuard fileLock(GetFavoritesLock());
      FTLoadDataFromFile(data.get(), m_file);
    }
    if (!data->pRoot) data->pRoot = CFavoritesNode::CreateRoot();
    m_pRoot.reset(data->pRoot);
    data->pRoot = nullptr;
    m_nStoredIndex = data->nBrowseIndex;
  }
  QMetaObject::invokeMethod(
      this, [this] { OnLoaded(); }, Qt::QueuedConnection);
}

void CFavoritesPane::OnLoaded() {
  if (m_loader.joinable()) m_loader.join();
  {
    std::lock_guard<std::mutex> lock(m_lock);
    TVTSetImageList(m_pTree, TVTDefaultImageList(style()));
    m_pTree->blockSignals(true);
    TVTLoadNode(m_pTree, nullptr, m_pRoot.get(), FAV_TYPE_ALL, false, false);
    m_pTree->blockSignals(false);
    // Expanded nodes opened again, top down: each expansion inserts the
    // children that may be expanded in turn.
    for (int i = 0; i < m_pTree->topLevelItemCount(); ++i) {
      std::vector<QTreeWidgetItem*> pending{m_pTree->topLevelItem(i)};
      while (!pending.empty()) {
        QTreeWidgetItem* item = pending.back();
        pending.pop_back();
        const CFavoritesNode* node = TVTGetItemData(item);
        if (!node || !node->bExpanded) continue;
        FillItem(item);
        m_pTree->blockSignals(true);
        item->setExpanded(true);
        m_pTree->blockSignals(false);
        for (int c = item->childCount() - 1; c >= 0; --c) pending.push_back(item->child(c));
      }
    }
    m_browsing.LoadFromTree(m_pRoot.get(), m_nStoredIndex);
  }
  m_bLoaded = true;
  UpdatePanel();
  update();
  if (viewerFolder) {
    const MyString folder = viewerFolder();
    if (!folder.IsEmpty()) {
      m_browsing.Clear();
      RevealPath(folder, IsPortfolioPath(folder));
    } else {
      m_browsing.Clear();
    }
  }
  StartUpdates();
  if (favoritesChanged) favoritesChanged();
}

void CFavoritesPane::StartUpdates() {
  if (!autoUpdate || !autoUpdate() || !m_pRoot) return;
  m_pUpdates = std::make_unique<CThreadUpdate>();
  QPointer<CFavoritesPane> self(this);
  // The watcher's thread calls this; the work is done on the GUI thread.
  m_pUpdates->SetNotifyFct([self](const MyString& path) {
    QMetaObject::invokeMethod(
        self.data(),
        [self, path] {
          if (self) self->OnFolderChanged(path);
        },
        Qt::QueuedConnection);
  });
  std::vector<CFavoritesNode*> nodes;
  Collect(m_pRoot.get(), nodes);
  size_t watched = 0;
  for (CFavoritesNode* node : nodes) {
    if (watched == CThreadUpdate::kMaxWatched) break;
    if (node->nType != FAV_TYPE_DIRECTORY || node->bDeleted || !node->bUserAdded) continue;
    if (m_pUpdates->AddItem(node->GetPath())) ++watched;
  }
  m_pUpdates->StartThread();
}

bool CFavoritesPane::WaitLoaded(int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!m_bLoaded && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return m_bLoaded;
}

bool CFavoritesPane::IsEmptyPanelShown() const { return !m_pEmptyPanel->isHidden(); }

void CFavoritesPane::UpdatePanel() {
  const bool empty = !m_pRoot || m_pRoot->AllDeleted();
  m_pEmptyPanel->setVisible(empty);
  m_pTree->setVisible(!empty);
}

void CFavoritesPane::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (m_lock.try_lock()) {
    m_lock.unlock();
    if (m_bLoaded) return;
  }
  QPainter painter(this);
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(13);
  painter.setFont(font);
  painter.setPen(QColor(0x33, 0x5F, 0xA8));
  painter.drawText(QRect(0, height() / 2, width(), height() / 2), Qt::AlignHCenter | Qt::AlignTop,
                   tr("Loading Favorites!\nplease wait..."));
}

QTreeWidgetItem* CFavoritesPane::ItemOf(const CFavoritesNode* node) const {
  return node ? TVTFindNode(m_pTree, nullptr, node) : nullptr;
}

void CFavoritesPane::FillItem(QTreeWidgetItem* item) {
  CFavoritesNode* node = TVTGetItemData(item);
  if (!node || item->childCount() > 0) return;
  if (node->nType == FAV_TYPE_DIRECTORY && node->vChildren.empty() && node->bHasChildren)
    node->OpenFolderShell(0);
  m_pTree->blockSignals(true);
  TVTLoadNode(m_pTree, item, node, FAV_TYPE_ALL, false, false);
  m_pTree->blockSignals(false);
}

void CFavoritesPane::OnExpanded(QTreeWidgetItem* item) {
  CFavoritesNode* node = TVTGetItemData(item);
  if (!node) return;
  node->bExpanded = 1;
  FillItem(item);
}

void CFavoritesPane::RemoveSubtreeSelections(CFavoritesNode* node) {
  std::vector<CFavoritesNode*> subtree;
  Collect(node, subtree);
  for (CFavoritesNode* entry : std::vector<CFavoritesNode*>(m_browsing.GetEntries()))
    if (std::find(subtree.begin(), subtree.end(), entry) != subtree.end())
      m_browsing.Deselect(entry);
}

void CFavoritesPane::OnCollapsed(QTreeWidgetItem* item) {
  CFavoritesNode* node = TVTGetItemData(item);
  if (!node) return;
  const int before = m_browsing.GetCount();
  RemoveSubtreeSelections(node);
  const bool removed = m_browsing.GetCount() != before;
  node->CloseFolder();
  m_pTree->blockSignals(true);
  qDeleteAll(item->takeChildren());
  m_pTree->blockSignals(false);
  node->bExpanded = 0;
  if (m_bOffItemPress && m_browsing.GetCount() == 0 && node->nType != FAV_TYPE_FOLDER) {
    m_browsing.Select(node);
    OpenNode(node, false);
  } else if (removed && refreshViewer) {
    refreshViewer();
  }
  m_pTree->viewport()->update();
}

void CFavoritesPane::OpenNode(CFavoritesNode* node, bool bAppend) {
  if (!node) return;
  const MyString path = node->GetPath();
  const bool portfolio = node->nType == FAV_TYPE_PORTFOLIO;
  if (bAppend && appendToViewer) {
    appendToViewer(path, portfolio);
    return;
  }
  const auto& open = portfolio ? openPortfolio : openFolder;
  if (open && !open(path)) OfferRemoval(ItemOf(node), path);
}

void CFavoritesPane::OfferRemoval(QTreeWidgetItem* item, const MyString& path) {
  if (!item) return;
  const QString qpath = path.ToQString();
  // A folder that is there but holds no images is no reason to remove it.
  if (TVTGetItemData(item)->nType == FAV_TYPE_DIRECTORY && QDir(qpath).exists() &&
      QFileInfo(qpath).isReadable())
    return;
  const QString text = (QFileInfo::exists(qpath) ? tr("Unable to open") : tr("Not found")) +
                       QStringLiteral("\n") + qpath + QStringLiteral("\n") +
                       tr("Do you want to remove it from your favorites list ?");
  if (askYesNo && askYesNo(MyString::FromQString(text), MyString(u"Load error"))) RemoveItem(item);
}

std::vector<CFavoritesNode*> CFavoritesPane::VisibleRange(QTreeWidgetItem* from,
                                                          QTreeWidgetItem* to) const {
  std::vector<QTreeWidgetItem*> visible;
  for (QTreeWidgetItem* item = m_pTree->topLevelItemCount() ? m_pTree->topLevelItem(0) : nullptr;
       item; item = m_pTree->itemBelow(item))
    visible.push_back(item);
  const auto a = std::find(visible.begin(), visible.end(), from);
  const auto b = std::find(visible.begin(), visible.end(), to);
  std::vector<CFavoritesNode*> nodes;
  if (a == visible.end() || b == visible.end()) return nodes;
  const int step = a <= b ? 1 : -1;
  for (auto it = a;; it += step) {
    nodes.push_back(TVTGetItemData(*it));
    if (it == b) break;
  }
  return nodes;
}

void CFavoritesPane::ClickItem(QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers) {
  m_bOffItemPress = false;
  if (item) m_pTree->setCurrentItem(item);
  CFavoritesNode* node = TVTGetItemData(item);
  if (!node || node->nType == FAV_TYPE_FOLDER) return;
  const bool combined = combinedBrowsing && combinedBrowsing();
  if (modifiers & Qt::ShiftModifier) {
    QTreeWidgetItem* from = m_pLastClicked ? m_pLastClicked : item;
    const std::vector<CFavoritesNode*> range = VisibleRange(from, item);
    if (m_browsing.SelectRange(range) > 0) {
      OpenNode(m_browsing.GetEntries().front(), false);
      if (combined)
        for (size_t i = 1; i < m_browsing.GetEntries().size(); ++i)
          OpenNode(m_browsing.GetEntries()[i], true);
    }
  } else if (modifiers & Qt::ControlModifier) {
    const int result = m_browsing.Toggle(node);
    if (result > 0) {
      OpenNode(node, combined && m_browsing.GetCount() >= 2);
    } else if (result < 0 && refreshViewer) {
      refreshViewer();
    }
    m_pLastClicked = item;
  } else {
    m_browsing.Select(node);
    m_pLastClicked = item;
    OpenNode(node, false);
  }
  m_pTree->viewport()->update();
}

void CFavoritesPane::Refuse(const QString& text) {
  if (showError) showError(MyString::FromQString(text), MyString(u"Error Moving..."));
}

EFavoritesMove CFavoritesPane::MoveNode(CFavoritesNode* dragged, CFavoritesNode* target) {
  if (!dragged || !target || !dragged->pParent || target->nType != FAV_TYPE_FOLDER)
    return EFavoritesMove::kIgnored;
  if (dragged->FindChild(target, 1)) {
    Refuse(tr("Can't move item. The destination folder is a subfolder of the source folder."));
    return EFavoritesMove::kIntoOwnSubtree;
  }
  if (target == dragged) {
    Refuse(tr("Can't move item. Destination folder is the same as the source folder."));
    return EFavoritesMove::kOntoItself;
  }
  if (target == dragged->pParent) {
    Refuse(tr("Can't move item. It is already in that folder."));
    return EFavoritesMove::kAlreadyThere;
  }
  CFavoritesNode* oldParent = dragged->pParent;
  // The copy keeps the dragged node's place while it moves; the browsing
  // list keeps pointing at the node that moved.
  auto* copy = new CFavoritesNode(*dragged);
  copy->nSelection = 0;
  copy->RemoveAllSelections();
  oldParent->ReplaceNode(dragged, copy);
  if (target->InsertNodeSorted(dragged) == target->vChildren.end()) {
    oldParent->ReplaceNode(copy, dragged);
    delete copy;
    return EFavoritesMove::kIgnored;
  }
  dragged->bUserAdded = 1;
  if (IsListedSubfolder(copy)) {
    copy->bDeleted = 1;
    oldParent->bKeep = 1;
  } else {
    oldParent->RemoveNode(copy);
  }
  if (QTreeWidgetItem* item = ItemOf(dragged)) delete item;
  if (QTreeWidgetItem* targetItem = ItemOf(target)) {
    if (targetItem->childCount() > 0)
      TVTRefreshNode2(m_pTree, targetItem, target, FAV_TYPE_ALL, false);
    targetItem->setExpanded(true);
    if (QTreeWidgetItem* moved = ItemOf(dragged)) m_pTree->scrollToItem(moved);
  } else {
    TVTRefreshNode2(m_pTree, nullptr, m_pRoot.get(), FAV_TYPE_ALL, false);
  }
  UpdatePanel();
  m_pTree->viewport()->update();
  if (favoritesChanged) favoritesChanged();
  return EFavoritesMove::kMoved;
}

int CFavoritesPane::RemoveItem(QTreeWidgetItem* item) {
  return RemoveFavorite(TVTGetItemData(item));
}

int CFavoritesPane::RemoveFavorite(CFavoritesNode* node) {
  if (!node || !node->pParent) return 0;
  const int before = m_browsing.GetCount();
  RemoveSubtreeSelections(node);
  const bool removed = m_browsing.GetCount() != before;
  CFavoritesNode* parent = node->pParent;
  QTreeWidgetItem* item = ItemOf(node);
  QTreeWidgetItem* parentItem = item ? item->parent() : nullptr;
  if (item) {
    if (m_pLastClicked == item) m_pLastClicked = nullptr;
    m_pTree->blockSignals(true);
    delete item;
    m_pTree->blockSignals(false);
  }
  if (IsListedSubfolder(node)) {
    node->bDeleted = 1;
    parent->bKeep = 1;
  } else {
    parent->RemoveNode(node);
  }
  if (parentItem && parentItem->childCount() == 0) {
    m_pTree->blockSignals(true);
    parentItem->setExpanded(false);
    m_pTree->blockSignals(false);
  }
  if (removed && refreshViewer) refreshViewer();
  UpdatePanel();
  return 1;
}

int CFavoritesPane::MoveFavorite(CFavoritesNode* node, bool bUp) {
  if (!node || !node->pParent) return 0;
  CFavoritesNode* parent = node->pParent;
  if (!(bUp ? parent->MoveNodeUp(node) : parent->MoveNodeDown(node))) return 0;
  RefreshChildren(parent);
  if (favoritesChanged) favoritesChanged();
  return 1;
}

void CFavoritesPane::RefreshChildren(CFavoritesNode* parent) {
  if (!parent || !m_bLoaded) return;
  QTreeWidgetItem* parentItem = parent->pParent ? ItemOf(parent) : nullptr;
  if (parent->pParent && !parentItem) return;
  m_pTree->blockSignals(true);
  if (!parentItem || parentItem->childCount() > 0)
    TVTRefreshNode2(m_pTree, parentItem, parent, FAV_TYPE_ALL, false);
  else
    TVTReplaceNode(m_pTree, parentItem, parent);  // an expand button now
  m_pTree->blockSignals(false);
  UpdatePanel();
  m_pTree->viewport()->update();
}

void CFavoritesPane::RestoreNames(CFavoritesNode* node) {
  if (!m_pRoot) return;
  std::vector<CFavoritesNode*> nodes;
  Collect(node ? node : m_pRoot.get(), nodes);
  for (CFavoritesNode* each : nodes)
    if (each->pParent && each->nType != FAV_TYPE_FOLDER) each->RestoreName();
  // The labels follow their nodes.
  m_pTree->blockSignals(true);
  for (QTreeWidgetItemIterator it(m_pTree); *it; ++it)
    if (const CFavoritesNode* shown = TVTGetItemData(*it)) TVTSetText(*it, shown->GetName());
  m_pTree->blockSignals(false);
  if (favoritesChanged) favoritesChanged();
}

int CFavoritesPane::SelectAllSubfolders(QTreeWidgetItem* item, bool ctrl) {
  CFavoritesNode* node = TVTGetItemData(item);
  if (!node || node->nType != FAV_TYPE_DIRECTORY || !PathHaveFolders(node->GetPath())) return 0;
  if (!ctrl) m_browsing.Clear();
  node->OpenAllSubfolders(0);
  m_browsing.SelectWithSubfolders(node);
  if (openFolder) openFolder(node->GetPath());
  if (appendToViewer) {
    std::vector<CFavoritesNode*> subtree;
    Collect(node, subtree);
    for (size_t i = 1; i < subtree.size(); ++i)
      if (subtree[i]->nType == FAV_TYPE_DIRECTORY && !subtree[i]->bDeleted)
        appendToViewer(subtree[i]->GetPath(), false);
  }
  m_pTree->viewport()->update();
  return 1;
}

int CFavoritesPane::RenameItem(QTreeWidgetItem* item, const MyString& name) {
  CFavoritesNode* node = TVTGetItemData(item);
  if (!node) return 0;
  const int changed = node->ChangeName(name.c_str());
  m_pTree->blockSignals(true);
  TVTSetText(item, node->GetName());
  m_pTree->blockSignals(false);
  if (changed && favoritesChanged) favoritesChanged();
  return changed;
}

int CFavoritesPane::RevealPath(const MyString& path, bool bPortfolio) {
  if (!m_bLoaded || !m_pRoot) return 0;
  std::unique_lock<std::mutex> lock(m_lock, std::try_to_lock);
  if (!lock.owns_lock()) return 0;
  // Already the current entry: a click of the pane opened it.
  if (const CFavoritesNode* current = m_browsing.GetCurrentNode())
    if (current->GetPath() == path) return 1;
  CFavoritesNode::NodeList chain;
  if (!m_pRoot->FindSimpleNode(path.c_str(), bPortfolio ? FAV_TYPE_PORTFOLIO : FAV_TYPE_DIRECTORY,
                               chain))
    return 0;
  // Down through the listed subfolders to the folder itself.
  CFavoritesNode* node = chain.back();
  const QString target = QDir::cleanPath(path.ToQString());
  while (!bPortfolio && QDir::cleanPath(node->GetPath().ToQString()) != target) {
    if (node->vChildren.empty()) node->OpenFolderShell(0);
    CFavoritesNode* next = nullptr;
    for (CFavoritesNode* child : node->vChildren) {
      const QString childPath = QDir::cleanPath(child->GetPath().ToQString());
      if (child->nType == FAV_TYPE_DIRECTORY && !child->bDeleted &&
          (target == childPath || target.startsWith(childPath + QLatin1Char('/')))) {
        next = child;
        break;
      }
    }
    if (!next) break;
    node->bExpanded = 1;
    chain.push_back(next);
    node = next;
  }
  m_pTree->blockSignals(true);
  QTreeWidgetItem* item = TVTLoadItemFromChain(m_pTree, chain, FAV_TYPE_ALL);
  m_pTree->blockSignals(false);
  if (!item) return 0;
  for (QTreeWidgetItem* up = item->parent(); up; up = up->parent())
    if (CFavoritesNode* upNode = TVTGetItemData(up)) upNode->bExpanded = 1;
  m_browsing.Select(node);
  m_pLastClicked = item;
  m_pTree->scrollToItem(item);
  m_pTree->viewport()->update();
  return 1;
}

bool CFavoritesPane::HandOver(bool bForward) {
  if (combinedBrowsing && combinedBrowsing()) return false;
  CFavoritesNode* node = bForward ? m_browsing.Next() : m_browsing.Previous();
  if (!node) return false;
  if (QTreeWidgetItem* item = ItemOf(node)) m_pTree->scrollToItem(item);
  m_pTree->viewport()->update();
  OpenNode(node, false);
  return true;
}

void CFavoritesPane::OnFolderChanged(const MyString& path) {
  if (!m_bLoaded || !m_pRoot) return;
  if (relistViewer) relistViewer(path);
  CFavoritesNode::NodeList chain;
  if (!m_pRoot->FindSimpleNode(path.c_str(), FAV_TYPE_DIRECTORY, chain)) return;
  CFavoritesNode* favorite = chain.back();
  // Subfolders that go from disk are freed: the browsing list must not keep
  // pointing at them.
  std::vector<std::pair<const CFavoritesNode*, int32_t>> selected;
  for (const CFavoritesNode* entry : m_browsing.GetEntries())
    selected.emplace_back(entry, entry->nSelection);
  bool changed = false;
  while (favorite->UpdateFromHDD()) changed = true;
  if (!changed) return;
  std::vector<CFavoritesNode*> alive;
  Collect(m_pRoot.get(), alive);
  const std::set<const CFavoritesNode*> present(alive.begin(), alive.end());
  bool forgot = false;
  for (const auto& [entry, selection] : selected) {
    if (present.count(entry)) continue;
    m_browsing.Forget(entry, selection);
    forgot = true;
  }
  // Every shown level below the favorite follows, top down: a refresh drops
  // the items of freed nodes before their children are looked at.
  if (QTreeWidgetItem* item = ItemOf(favorite)) {
    std::vector<QTreeWidgetItem*> pending{item};
    m_pTree->blockSignals(true);
    while (!pending.empty()) {
      QTreeWidgetItem* each = pending.back();
      pending.pop_back();
      if (each->childCount() == 0) continue;
      TVTRefreshNode2(m_pTree, each, TVTGetItemData(each), FAV_TYPE_ALL, false);
      for (int c = 0; c < each->childCount(); ++c) pending.push_back(each->child(c));
    }
    m_pTree->blockSignals(false);
  }
  ForgetGoneItems();
  m_pTree->viewport()->update();
  if (forgot && refreshViewer) refreshViewer();
}

void CFavoritesPane::ForgetGoneItems() {
  std::set<const QTreeWidgetItem*> items;
  for (QTreeWidgetItemIterator it(m_pTree); *it; ++it) items.insert(*it);
  for (QTreeWidgetItem** kept : {&m_pLastClicked, &m_pDragged, &m_pHoverItem})
    if (*kept && !items.count(*kept)) *kept = nullptr;
}

void CFavoritesPane::UpdateNode(QTreeWidgetItem* item) {
  CFavoritesNode* node = TVTGetItemData(item);
  m_pTree->blockSignals(true);
  TVTRefreshNode2(m_pTree, item, node, FAV_TYPE_ALL, false);
  m_pTree->blockSignals(false);
  m_pTree->viewport()->update();
}

void CFavoritesPane::RefreshTree() {
  if (!m_bLoaded) return;
  m_pTree->blockSignals(true);
  TVTRefreshNode2(m_pTree, nullptr, m_pRoot.get(), FAV_TYPE_ALL, false);
  for (int i = 0; i < m_pTree->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = m_pTree->topLevelItem(i);
    TVTReplaceNode(m_pTree, item, TVTGetItemData(item));
  }
  m_pTree->blockSignals(false);
  UpdatePanel();
}

int CFavoritesPane::Save() {
  if (!m_pRoot) return 0;
  const int imageIndex = this->imageIndex ? this->imageIndex() : 0;
  if (m_file.IsEmpty()) return FTSaveDataToFile(m_pRoot.get(), m_browsing.GetCurrent(), imageIndex);
  return FTSaveDataToFile(m_pRoot.get(), m_browsing.GetCurrent(), imageIndex, m_file);
}

CFavoritesNode* CFavoritesPane::CurrentNode() const {
  return TVTGetItemData(m_pTree->currentItem());
}

bool CFavoritesPane::IsCommandEnabled(int id) const {
  const CFavoritesNode* node = m_bLoaded ? CurrentNode() : nullptr;
  switch (id) {
    case IDM_ADD_FAVORITE_DIRECTORY:
    case IDM_ADD_FAVORITE_PORTFOLIO:
    case IDM_FAVORITES_MANAGER:
      return m_bLoaded;
    case IDM_EDIT_FAVORITE_PORTFOLIO:
      return node && node->nType == FAV_TYPE_PORTFOLIO;
    case IDM_BROWSE_FAVORITE:
      return node && node->nType == FAV_TYPE_DIRECTORY;
    case IDM_REMOVE_FAVORITE:
    case IDM_RENAME_FAVORITE:
      return node != nullptr;
    case IDM_SELECT_ALL_SUBFOLDERS:
      return node && node->nType == FAV_TYPE_DIRECTORY && PathHaveFolders(node->GetPath());
    case IDM_UPDATE_FAVORITES:
      return node && node->nType == FAV_TYPE_DIRECTORY && m_pTree->currentItem()->isExpanded();
    default:
      return false;
  }
}

int CFavoritesPane::RunCommand(int id) {
  if (!IsCommandEnabled(id)) return 0;
  QTreeWidgetItem* item = m_pTree->currentItem();
  CFavoritesNode* node = CurrentNode();
  switch (id) {
    case IDM_ADD_FAVORITE_DIRECTORY:
    case IDM_ADD_FAVORITE_PORTFOLIO: {
      CDlgAddFavorites dialog(
          this, id == IDM_ADD_FAVORITE_DIRECTORY ? FAV_TYPE_DIRECTORY : FAV_TYPE_PORTFOLIO, this);
      dialog.newPortfolio = [this] {
        if (editPortfolio) editPortfolio(MyString());
      };
      return dialog.DoModal() == IDOK ? 1 : 0;
    }
    case IDM_FAVORITES_MANAGER: {
      CDlgFavoritesManager manager(this, this);
      manager.newPortfolio = [this] {
        if (editPortfolio) editPortfolio(MyString());
      };
      manager.DoModal();
      return 1;
    }
    case IDM_EDIT_FAVORITE_PORTFOLIO:
      if (editPortfolio) editPortfolio(node->GetPath());
      return 1;
    case IDM_REMOVE_FAVORITE:
      RemoveItem(item);
      if (favoritesChanged) favoritesChanged();
      return 1;
    case IDM_RENAME_FAVORITE:
      m_pTree->blockSignals(true);
      item->setFlags(item->flags() | Qt::ItemIsEditable);
      m_pTree->blockSignals(false);
      m_pTree->editItem(item);
      return 1;
    case IDM_BROWSE_FAVORITE:
      QDesktopServices::openUrl(QUrl::fromLocalFile(node->GetPath().ToQString()));
      return 1;
    case IDM_SELECT_ALL_SUBFOLDERS:
      return SelectAllSubfolders(item, QApplication::keyboardModifiers() & Qt::ControlModifier);
    case IDM_UPDATE_FAVORITES: {
      const QString caption = tr("Uppdate - %1").arg(node->GetName().ToQString());
      if (!askYesNo ||
          !askYesNo(MyString::FromQString(
                        tr("Read the folders of %1 again?").arg(node->GetPath().ToQString())),
                    MyString::FromQString(caption)))
        return 0;
      m_pTree->blockSignals(true);
      item->setExpanded(false);
      m_pTree->blockSignals(false);
      OnCollapsed(item);
      item->setExpanded(true);
      return 1;
    }
    default:
      return 0;
  }
}

int CFavoritesPane::AddFavorites(const std::vector<MyString>& paths, int32_t type,
                                 CFavoritesNode* folder) {
  if (!m_pRoot) return 0;
  if (!folder) folder = m_pRoot.get();
  int added = 0;
  for (const MyString& path : paths) {
    const auto it = folder->CreateChildNodeSorted(path.c_str(), nullptr, type);
    if (it == folder->vChildren.end()) continue;
    (*it)->bUserAdded = 1;
    ++added;
  }
  if (!added) return 0;
  UpdatePanel();
  RefreshTree();
  if (folder != m_pRoot.get()) {
    // Revealed however deep it lies: its chain is loaded and expanded.
    QTreeWidgetItem* item = RevealNode(folder);
    if (item && item->childCount() > 0) UpdateNode(item);
    if (item) item->setExpanded(true);
  }
  if (favoritesChanged) favoritesChanged();
  return added;
}

QTreeWidgetItem* CFavoritesPane::RevealNode(CFavoritesNode* node) {
  CFavoritesNode::NodeList chain;
  for (CFavoritesNode* up = node; up && up->pParent; up = up->pParent)
    chain.insert(chain.begin(), up);
  m_pTree->blockSignals(true);
  QTreeWidgetItem* item = TVTLoadItemFromChain(m_pTree, chain, FAV_TYPE_ALL);
  m_pTree->blockSignals(false);
  if (!item) return nullptr;
  for (QTreeWidgetItem* up = item->parent(); up; up = up->parent())
    if (CFavoritesNode* upNode = TVTGetItemData(up)) upNode->bExpanded = 1;
  m_pTree->scrollToItem(item);
  return item;
}

void CFavoritesPane::ChooseNode(CFavoritesNode* node) {
  if (!node || !m_bLoaded) return;
  QTreeWidgetItem* item = RevealNode(node);
  if (!item) return;
  m_pTree->setCurrentItem(item);
  ClickItem(item, Qt::NoModifier);
}

void CFavoritesPane::ShowContextMenu(const QPoint& pos) {
  QTreeWidgetItem* item = m_pTree->itemAt(pos);
  m_pTree->setCurrentItem(item);
  QMenu menu(this);
  const std::pair<int, QString> entries[] = {
      {IDM_EDIT_FAVORITE_PORTFOLIO, tr("Edit Portfolio")},
      {IDM_BROWSE_FAVORITE, tr("Browse with Explorer")},
      {IDM_REMOVE_FAVORITE, tr("Remove")},
      {IDM_RENAME_FAVORITE, tr("Rename")},
      {IDM_SELECT_ALL_SUBFOLDERS, tr("Select all subfolders")},
      {IDM_UPDATE_FAVORITES, tr("Update")},
      {0, QString()},
      {IDM_ADD_FAVORITE_DIRECTORY, tr("Add Directory")},
      {IDM_ADD_FAVORITE_PORTFOLIO, tr("Add Portfolio")},
  };
  for (const auto& [id, text] : entries) {
    if (!id) {
      menu.addSeparator();
      continue;
    }
    QAction* action = menu.addAction(text);
    action->setData(id);
    action->setEnabled(IsCommandEnabled(id));
  }
  if (QAction* chosen = menu.exec(m_pTree->viewport()->mapToGlobal(pos)))
    RunCommand(chosen->data().toInt());
}

bool CFavoritesPane::eventFilter(QObject* watched, QEvent* event) {
  if (watched != m_pTree->viewport()) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* press = static_cast<QMouseEvent*>(event);
      const QPoint pos = press->position().toPoint();
      QTreeWidgetItem* item = m_pTree->itemAt(pos);
      m_pDragged = item;
      // The label and the icon start where the item's rectangle does; the
      // indentation and the expand button lie before it.
      const bool onItem = item && press->button() == Qt::LeftButton &&
                          pos.x() >= m_pTree->visualItemRect(item).left();
      m_bOffItemPress = !onItem;
      if (onItem) ClickItem(item, press->modifiers());
      m_bOffItemPress = !onItem;
      break;
    }
    case QEvent::ToolTip: {
      auto* help = static_cast<QHelpEvent*>(event);
      const CFavoritesNode* node = TVTGetItemData(m_pTree->itemAt(help->pos()));
      if (node && node->nType != FAV_TYPE_FOLDER && (!showPopup || showPopup()))
        QToolTip::showText(help->globalPos(), node->GetPath().ToQString(), m_pTree);
      else
        QToolTip::hideText();
      return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* move = static_cast<QDragMoveEvent*>(event);
      QTreeWidgetItem* item = m_pTree->itemAt(move->position().toPoint());
      if (item != m_pHoverItem) {
        m_pHoverItem = item;
        const CFavoritesNode* node = TVTGetItemData(item);
        if (node && node->nType == FAV_TYPE_FOLDER && !item->isExpanded())
          m_pHoverTimer->start();
        else
          m_pHoverTimer->stop();
      }
      move->acceptProposedAction();
      return true;
    }
    case QEvent::DragLeave:
      m_pHoverTimer->stop();
      m_pHoverItem = nullptr;
      break;
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      m_pHoverTimer->stop();
      m_pHoverItem = nullptr;
      QTreeWidgetItem* item = m_pTree->itemAt(drop->position().toPoint());
      CFavoritesNode* target = TVTGetItemData(item);
      if (drop->source() == m_pTree) {
        CFavoritesNode* dragged = TVTGetItemData(m_pDragged);
        m_pDragged = nullptr;
        drop->setDropAction(Qt::IgnoreAction);
        drop->accept();
        // After the drag has ended: the refusals must not run inside it.
        QMetaObject::invokeMethod(
            this, [this, dragged, target] { MoveNode(dragged, target); }, Qt::QueuedConnection);
        return true;
      }
      if (target && target->nType == FAV_TYPE_PORTFOLIO && drop->mimeData()) {
        std::vector<MyString> files;
        for (const QUrl& url : drop->mimeData()->urls())
          if (url.isLocalFile()) files.push_back(MyString::FromQString(url.toLocalFile()));
        MyString error;
        if (AppendToPortfolio(target->GetPath(), files, &error) < 0 && showError)
          showError(error, MyString(u"Add to portfolio"));
        drop->acceptProposedAction();
      }
      return true;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}
