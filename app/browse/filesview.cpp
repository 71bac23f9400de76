#include "browse/filesview.h"

#include <QApplication>
#include <QDrag>
#include <QHeaderView>
#include <QMimeData>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPalette>
#include <mutex>

#include "browse/listtooltip.h"
#include "pixwork/listposition.h"
#include "pixwork/options.h"
#include "shell/settings.h"
#include "viewer/imageview.h"

CFilesModel::CFilesModel(CImageView* viewer, const CListViewState& state, QObject* parent)
    : QAbstractListModel(parent), m_viewer(viewer), m_state(state) {}

void CFilesModel::ResetRows() {
  beginResetModel();
  m_nRows = m_state.GetCount();
  endResetModel();
}

void CFilesModel::Restyle() {
  if (m_nRows > 0) emit dataChanged(index(0), index(m_nRows - 1), {Qt::BackgroundRole});
}

QIcon CFilesModel::IconFor(const MyString& path) {
  const MyString extension = IconExtension(path);
  if (extension.IsEmpty()) return QIcon();
  const QString key = extension.ToQString();
  const auto found = m_icons.constFind(key);
  if (found != m_icons.constEnd()) return *found;
  static const QMimeDatabase types;
  const QMimeType type =
      types.mimeTypeForFile(QStringLiteral("x.") + key, QMimeDatabase::MatchExtension);
  QIcon icon = QIcon::fromTheme(type.iconName());
  if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
  if (icon.isNull()) icon = QIcon::fromTheme(QStringLiteral("image-x-generic"));
  m_icons.insert(key, icon);
  return icon;
}

int CFilesModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_nRows;
}

QVariant CFilesModel::data(const QModelIndex& index, int role) const {
  const int row = index.row();
  if (!index.isValid() || row < 0 || row >= m_nRows) return QVariant();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::DecorationRole: {
      MyString path;
      {
        CListPosition& position = m_viewer->ListPosition();
        std::lock_guard lock(position.GetLock());
        path = position.GetList().GetString(row);
      }
      if (role == Qt::DisplayRole) return path.GetStringTitleExt().ToQString();
      return const_cast<CFilesModel*>(this)->IconFor(path);
    }
    case Qt::BackgroundRole:
      if (row == m_state.GetCurrent()) return QApplication::palette().highlight();
      if (m_state.IsSelected(row)) return QApplication::palette().highlight().color().lighter(160);
      return QVariant();
    case Qt::ForegroundRole:
      if (row == m_state.GetCurrent()) return QApplication::palette().highlightedText();
      return QVariant();
    default:
      return QVariant();
  }
}

QVariant CFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section == 0)
    return QStringLiteral("Name");
  return QVariant();
}

CFilesView::CFilesView(CImageView* viewer, CLorimoSettings* settings, QWidget* parent)
    : QTreeView(parent),
      m_viewer(viewer),
      m_pSettings(settings),
      m_pActions(new CListViewActions(viewer, m_state, this)),
      m_pModel(new CFilesModel(viewer, m_state, this)),
      m_pTip(new CListTooltip(true, this)),
      m_pPointer(new CListPointer(this, viewer, m_pActions, m_pTip)) {
  setObjectName(QStringLiteral("Files"));
  setModel(m_pModel);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::NoSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setMouseTracking(true);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  header()->setStretchLastSection(false);
  header()->resizeSection(0, std::max(int(settings->dwFilesViewSize), kMinFilesColumn));
  header()->setMinimumSectionSize(kMinFilesColumn);
  m_pActions->startRename = [this](int index) { StartRename(index); };
  m_pActions->refresh = [this] { m_pModel->Restyle(); };
  // The view follows the viewer's list and its current image.
  connect(viewer, &CImageView::ListChanged, this, &CFilesView::ShowList);
  connect(viewer, &CImageView::CurrentImageChanged, this,
          [this](const QString&, int index) { SetCurrentItem(index); });
  ShowList();
}

CFilesView::~CFilesView() { StoreColumnWidth(); }

void CFilesView::StoreColumnWidth() {
  if (!m_pSettings) return;
  const uint32_t width = uint32_t(std::max(header()->sectionSize(0), kMinFilesColumn));
  if (width != m_pSettings->dwFilesViewSize) m_pSettings->StoreFilesViewSize(width);
}

void CFilesView::DropWorkers() { m_pTip->DropWorker(); }

void CFilesView::ShowList() {
  const tagVIEWERLIST list = ReadViewerList(m_viewer);
  const MyString& path = list.path;
  const int current = list.nCurrent;
  m_state.Reset(path, list.nCount);
  m_pPointer->EndRename();
  m_pPointer->HideTip();
  m_pModel->ResetRows();
  SetCurrentItem(current);
}

void CFilesView::SetCurrentItem(int index) {
  m_state.SetCurrent(index);
  m_pModel->Restyle();
  if (m_state.GetCurrent() >= 0) scrollTo(m_pModel->index(m_state.GetCurrent()));
}

int CFilesView::RowAt(const QPoint& pt) const {
  const QModelIndex index = indexAt(pt);
  return index.isValid() ? index.row() : -1;
}

void CFilesView::ShowTip(int index, const QPoint& global) {
  m_pTip->ShowItem(index, m_pActions->PathOf(index), global);
}

void CFilesView::mousePressEvent(QMouseEvent* event) {
  m_pPointer->Press(event, RowAt(event->position().toPoint()));
}

void CFilesView::mouseMoveEvent(QMouseEvent* event) {
  m_pPointer->Move(event, RowAt(event->position().toPoint()));
}

void CFilesView::mouseReleaseEvent(QMouseEvent* event) {
  m_pPointer->Release(event, RowAt(event->position().toPoint()));
}

void CFilesView::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

void CFilesView::leaveEvent(QEvent* event) {
  QTreeView::leaveEvent(event);
  m_pPointer->Leave();
}

void CFilesView::hideEvent(QHideEvent* event) {
  QTreeView::hideEvent(event);
  m_pTip->HideTip();
  StoreColumnWidth();
}

void CFilesView::contextMenuEvent(QContextMenuEvent* event) {
  m_pPointer->HideTip();
  m_pActions->ShowMenu(RowAt(viewport()->mapFrom(this, event->pos())), event->globalPos());
}

void CFilesView::StartRename(int index) {
  if (index < 0 || index >= m_state.GetCount()) return;
  m_pPointer->StartRename(viewport(), index, visualRect(m_pModel->index(index)));
}

void CFilesView::dragEnterEvent(QDragEnterEvent* event) { m_pPointer->DragEnterOrMove(event); }

void CFilesView::dragMoveEvent(QDragMoveEvent* event) { m_pPointer->DragEnterOrMove(event); }

void CFilesView::dropEvent(QDropEvent* event) { m_pPointer->Drop(event); }
