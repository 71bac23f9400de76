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
      m_pTip(new CListTooltip(true, this)) {
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
  m_tipTimer.setSingleShot(true);
  connect(&m_tipTimer, &QTimer::timeout, this, [this] {
    if (m_nTipIndex >= 0 && !m_viewer->Stepper().IsLoading()) ShowTip(m_nTipIndex, m_ptTip);
  });
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
  MyString path;
  int count = 0;
  int current = -1;
  {
    CListPosition& position = m_viewer->ListPosition();
    std::lock_guard lock(position.GetLock());
    const MyString portfolio = m_viewer->Stepper().GetPortfolioPath();
    path = portfolio.IsEmpty() ? position.GetList().GetDirectory() : portfolio;
    count = position.GetList().GetLengthFileList();
    current = position.HasImage() ? position.GetCurrent() : -1;
  }
  m_state.Reset(path, count);
  if (m_pRename) m_pRename->deleteLater();
  m_pTip->HideTip();
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
  m_tipTimer.stop();
  m_pTip->HideTip();
  setFocus();
  m_nPressIndex = -1;
  if (event->button() != Qt::LeftButton) return;
  m_ptPress = event->position().toPoint();
  m_nPressIndex = RowAt(m_ptPress);
}

void CFilesView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pt = event->position().toPoint();
  if ((event->buttons() & Qt::LeftButton) && m_nPressIndex >= 0 &&
      (pt - m_ptPress).manhattanLength() >= QApplication::startDragDistance()) {
    const int index = m_nPressIndex;
    m_nPressIndex = -1;
    if (QMimeData* data = m_pActions->MakeDragData(index)) {
      auto* drag = new QDrag(this);
      drag->setMimeData(data);
      drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
    }
    return;
  }
  const int index = RowAt(pt);
  if (index == m_nTipIndex) return;
  m_nTipIndex = index;
  m_pTip->HideTip();
  m_ptTip = event->globalPosition().toPoint();
  if (index >= 0 && !m_viewer->Stepper().IsLoading())
    m_tipTimer.start(int(gTO[TO_TOOLTIP_DELAY].dwValue));
  else
    m_tipTimer.stop();
}

void CFilesView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || m_nPressIndex < 0) return;
  const int index = RowAt(event->position().toPoint());
  if (index == m_nPressIndex) m_pActions->Click(index, event->modifiers());
  m_nPressIndex = -1;
}

void CFilesView::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

void CFilesView::leaveEvent(QEvent* event) {
  QTreeView::leaveEvent(event);
  m_tipTimer.stop();
  m_nTipIndex = -1;
  m_pTip->HideTip();
}

void CFilesView::hideEvent(QHideEvent* event) {
  QTreeView::hideEvent(event);
  m_pTip->HideTip();
  StoreColumnWidth();
}

void CFilesView::contextMenuEvent(QContextMenuEvent* event) {
  m_tipTimer.stop();
  m_pTip->HideTip();
  m_pActions->ShowMenu(RowAt(viewport()->mapFrom(this, event->pos())), event->globalPos());
}

void CFilesView::StartRename(int index) {
  if (index < 0 || index >= m_state.GetCount()) return;
  if (m_pRename) m_pRename->deleteLater();
  m_pRename = new CRenameEdit(viewport());
  m_pRename->setText(m_pActions->PathOf(index).GetStringTitle().ToQString());
  m_pRename->setGeometry(visualRect(m_pModel->index(index)));
  m_pRename->selectAll();
  m_pRename->show();
  m_pRename->setFocus();
  CRenameEdit* edit = m_pRename;
  connect(edit, &CRenameEdit::Commit, this, [this, edit, index](const QString& typed) {
    edit->deleteLater();
    m_pActions->Rename(index, typed);
  });
  connect(edit, &CRenameEdit::Dropped, edit, &QObject::deleteLater);
}

void CFilesView::dragEnterEvent(QDragEnterEvent* event) {
  if (event->source() != this && CListViewActions::HasImages(event->mimeData()))
    event->acceptProposedAction();
}

void CFilesView::dragMoveEvent(QDragMoveEvent* event) {
  if (event->source() != this && CListViewActions::HasImages(event->mimeData()))
    event->acceptProposedAction();
}

void CFilesView::dropEvent(QDropEvent* event) {
  if (event->source() == this) return;
  if (m_pActions->DropImages(event->mimeData())) event->acceptProposedAction();
}
