#include "browse/thumbnailsview.h"

#include <QApplication>
#include <QDateTime>
#include <QDrag>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <algorithm>
#include <mutex>

#include "browse/listtooltip.h"
#include "browse/thumbnailcache.h"
#include "browse/thumbnailmaker.h"
#include "browse/thumbnailsetup.h"
#include "browse/thumbnailworkers.h"
#include "corekit/straw.h"
#include "pixwork/listposition.h"
#include "pixwork/options.h"
#include "shell/settings.h"
#include "viewer/imageio.h"
#include "viewer/imageview.h"

namespace {

// Above this edge thumbnails are made but never kept.
constexpr int kMaxCachedEdge = 300;
constexpr int kSliderStep = 10;
// 100-nanosecond intervals from 1601 to 1970.
constexpr uint64_t kUnixEpochFileTime = 116444736000000000ull;

QSize ScreenSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->size() : QSize(1920, 1080);
}

int MaxEdge() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize area = screen ? screen->availableSize() : QSize(1920, 1080);
  return std::max(kMinThumbnailEdge, std::min(area.width(), area.height()) - 100);
}

QString LocalDate(FILETIME64 written) {
  if (written < kUnixEpochFileTime) return QString();
  const qint64 seconds = qint64((written - kUnixEpochFileTime) / 10000000ull);
  return QLocale::c().toString(QDateTime::fromSecsSinceEpoch(seconds).toLocalTime().date(),
                               QStringLiteral("MMMM dd',' yyyy"));
}

// The text cut to width and ended by "..." when it does not fit.
QString Cut(const QString& text, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(text) <= width) return text;
  const QString dots = QStringLiteral("...");
  int low = 0, high = int(text.size());
  while (low < high) {
    const int mid = (low + high + 1) / 2;
    if (metrics.horizontalAdvance(text.left(mid) + dots) <= width)
      low = mid;
    else
      high = mid - 1;
  }
  return text.left(low) + dots;
}

QFont NameFont(const QFont& base, const tagCAPTIONSTYLE& style) {
  QFont font = base;
  if (style.fNameScale != 1.0) font.setPointSizeF(font.pointSizeF() * style.fNameScale);
  return font;
}

QFont DetailFont(const QFont& name) {
  QFont font = name;
  font.setPointSizeF(name.pointSizeF() * 2 / 3);
  font.setWeight(QFont::Weight(600));
  return font;
}

}  // namespace

CThumbnailsView::CThumbnailsView(CImageView* viewer, CLorimoSettings* settings, QWidget* parent)
    : QAbstractScrollArea(parent),
      m_viewer(viewer),
      m_pSettings(settings),
      m_pActions(new CListViewActions(viewer, m_state, this)),
      m_pSlider(new QSlider(Qt::Horizontal, this)),
      m_pTip(new CListTooltip(false, this)),
      m_pPointer(new CListPointer(this, viewer, m_pActions, m_pTip)) {
  setObjectName(QStringLiteral("Thumbnails"));
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(true);
  viewport()->setMouseTracking(true);
  viewport()->setAutoFillBackground(true);
  viewport()->setBackgroundRole(QPalette::Base);
  m_pActions->startRename = [this](int index) { StartRename(index); };
  m_pActions->refresh = [this] { viewport()->update(); };

  m_nEdge = std::clamp(int(settings->dwThumbnailsSize), kMinThumbnailEdge, MaxEdge());
  m_pSlider->setRange(kMinThumbnailEdge, MaxEdge());
  m_pSlider->setSingleStep(kSliderStep);
  m_pSlider->setPageStep(kSliderStep * 5);
  m_pSlider->setValue(m_nEdge);
  m_pSlider->setToolTip(QStringLiteral("Thumbnail size"));
  // The pool is rebuilt once the user lets go.
  m_pSlider->setTracking(false);
  connect(m_pSlider, &QSlider::valueChanged, this, [this](int edge) { SetEdge(edge); });
  setViewportMargins(0, m_pSlider->sizeHint().height(), 0, 0);

  m_requestTimer.setSingleShot(true);
  m_requestTimer.setInterval(0);
  connect(&m_requestTimer, &QTimer::timeout, this, &CThumbnailsView::RequestVisible);

  BuildPool();
  // The view follows the viewer's list and its current image.
  connect(viewer, &CImageView::ListChanged, this, &CThumbnailsView::ShowList);
  connect(viewer, &CImageView::ListFactsRead, this, &CThumbnailsView::RefreshFacts);
  connect(viewer, &CImageView::CurrentImageChanged, this,
          [this](const QString&, int index) { SetCurrentItem(index); });
  ShowList();
}

CThumbnailsView::~CThumbnailsView() { DropWorkers(); }

void CThumbnailsView::DropWorkers() {
  m_requestTimer.stop();
  m_workers.reset();
  m_bDropped = true;
}

void CThumbnailsView::BuildPool() {
  const int size = ThumbnailPoolSize(ScreenSize(), m_nEdge);
  m_cells.assign(size_t(std::max(size, 1)), tagCELL());
  if (m_workers) m_workers->Clear();
}

void CThumbnailsView::SetEdge(int edge) {
  edge = std::clamp(edge, kMinThumbnailEdge, std::max(MaxEdge(), kMinThumbnailEdge));
  if (m_pSlider->value() != edge) {
    const QSignalBlocker block(m_pSlider);
    m_pSlider->setValue(edge);
  }
  if (edge == m_nEdge) return;
  m_nEdge = edge;
  if (m_pSettings) m_pSettings->StoreThumbnailsSize(uint32_t(edge));
  BuildPool();
  Relayout();
  SetCurrentItem(m_state.GetCurrent());
  viewport()->update();
}

void CThumbnailsView::RefreshFacts() {
  {
    CListPosition& position = m_viewer->ListPosition();
    std::lock_guard lock(position.GetLock());
    for (tagCELL& cell : m_cells) {
      const CFileEntry* entry =
          cell.nIndex >= 0 ? position.GetList().GetEntry(cell.nIndex) : nullptr;
      if (!entry || !(entry->strPath == cell.path)) continue;
      cell.nSize = entry->nSize;
      cell.ftWritten = entry->ftLastWriteTime;
    }
  }
  viewport()->update();
}

void CThumbnailsView::ShowList() {
  const tagVIEWERLIST list = ReadViewerList(m_viewer);
  const MyString& path = list.path;
  const int current = list.nCurrent;
  const bool newPath = m_state.Reset(path, list.nCount);
  for (tagCELL& cell : m_cells) cell = tagCELL();
  if (m_workers) m_workers->Clear();
  m_pPointer->HideTip();
  m_pPointer->EndRename();
  ThumbnailCache* cache = GetThumbnailCache();
  // Every reset: the mirror may have been emptied, or the cache come since.
  if (cache && cache->IsEnabled() && !path.IsEmpty()) {
    if (m_viewer->Stepper().GetPortfolioPath().IsEmpty())
      cache->PrepareMirrorFolder(path);
    else
      cache->PreparePortfolioFolders(path);
  }
  Relayout();
  if (newPath) (m_grid.IsWide() ? horizontalScrollBar() : verticalScrollBar())->setValue(0);
  SetCurrentItem(current);
  viewport()->update();
  ScheduleRequests();
}

void CThumbnailsView::SetCurrentItem(int index) {
  m_state.SetCurrent(index);
  const int current = m_state.GetCurrent();
  if (current >= 0) {
    QScrollBar* bar = m_grid.IsWide() ? horizontalScrollBar() : verticalScrollBar();
    bar->setValue(m_grid.OffsetShowing(current, bar->value(), viewport()->size()));
  }
  viewport()->update();
  ScheduleRequests();
}

void CThumbnailsView::UpdateEntry(const MyString& path) {
  for (tagCELL& cell : m_cells)
    if (cell.nIndex >= 0 && cell.path == path) cell = tagCELL();
  viewport()->update();
  ScheduleRequests();
}

void CThumbnailsView::ReloadPictures() { ShowList(); }

void CThumbnailsView::Relayout() {
  m_grid.Layout(viewport()->size(), m_nEdge, m_state.GetCount());
  QScrollBar* along = m_grid.IsWide() ? horizontalScrollBar() : verticalScrollBar();
  QScrollBar* across = m_grid.IsWide() ? verticalScrollBar() : horizontalScrollBar();
  const int length = m_grid.IsWide() ? viewport()->width() : viewport()->height();
  along->setRange(0, std::max(0, m_grid.ContentLength() - length));
  along->setPageStep(std::max(length, 1));
  along->setSingleStep(m_grid.Pitch() / 4);
  across->setRange(0, 0);
  setHorizontalScrollBarPolicy(m_grid.IsWide() ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(m_grid.IsWide() ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
}

int CThumbnailsView::Offset() const {
  return m_grid.IsWide() ? horizontalScrollBar()->value() : verticalScrollBar()->value();
}

CThumbnailsView::tagCELL& CThumbnailsView::CellFor(int index) {
  tagCELL& cell = m_cells[size_t(index) % m_cells.size()];
  if (cell.nIndex == index) return cell;
  cell = tagCELL();
  cell.nIndex = index;
  CListPosition& position = m_viewer->ListPosition();
  std::lock_guard lock(position.GetLock());
  if (const CFileEntry* entry = position.GetList().GetEntry(index)) {
    cell.path = entry->strPath;
    cell.nSize = entry->nSize;
    cell.ftWritten = entry->ftLastWriteTime;
  }
  if (cell.path.IsEmpty()) cell.nState = CS_FAILED;
  return cell;
}

void CThumbnailsView::ScheduleRequests() {
  if (!m_requestTimer.isActive()) m_requestTimer.start();
}

void CThumbnailsView::RequestVisible() {
  if (m_bDropped) return;
  // Made on first use: the view may come before the thumbnail cache.
  if (!m_workers) {
    m_workers = std::make_unique<CThumbnailWorkers>(GetThumbnailCache());
    m_workers->ConfigureMakers(ConfigureThumbnailMaker);
    connect(m_workers.get(), &CThumbnailWorkers::ThumbnailReady, this, &CThumbnailsView::OnPicture);
  }
  const auto [first, end] = m_grid.VisibleRange(Offset(), viewport()->size());
  std::vector<tagTHUMBCELL> wanted;
  for (int i = first; i < end; ++i) {
    tagCELL& cell = CellFor(i);
    if (cell.nState != CS_LOADING) continue;
    tagTHUMBCELL request;
    request.nIndex = i;
    request.path = cell.path;
    request.box = SIZE{m_nEdge, m_nEdge};
    request.bAllowCache = m_nEdge <= kMaxCachedEdge;
    wanted.push_back(std::move(request));
  }
  const int current = m_state.GetCurrent() >= 0 ? m_state.GetCurrent() : first;
  m_workers->SetCells(std::move(wanted), current);
}

void CThumbnailsView::OnPicture(uint64_t, int index, const QImage& image) {
  tagCELL& cell = m_cells[size_t(index) % m_cells.size()];
  if (cell.nIndex != index) return;
  cell.image = image;
  cell.nState = image.isNull() ? CS_FAILED : CS_READY;
  viewport()->update(ItemRect(index));
  emit PictureArrived(index);
}

bool CThumbnailsView::AllVisibleDrawn() const {
  const auto [first, end] = m_grid.VisibleRange(Offset(), viewport()->size());
  for (int i = first; i < end; ++i) {
    const tagCELL& cell = m_cells[size_t(i) % m_cells.size()];
    if (cell.nIndex != i || cell.nState == CS_LOADING) return false;
  }
  return true;
}

int CThumbnailsView::ItemAt(const QPoint& pt) const { return m_grid.ItemAt(pt, Offset()); }

QRect CThumbnailsView::ItemRect(int index) const {
  return QRect(m_grid.CellOrigin(index, Offset()), QSize(m_nEdge, m_nEdge));
}

QStringList CThumbnailsView::CaptionLines(int index) {
  QStringList lines;
  if (index < 0 || index >= m_state.GetCount()) return lines;
  tagCELL& cell = CellFor(index);
  const tagCAPTIONSTYLE style = CaptionStyle(m_nEdge);
  lines << cell.path.GetStringTitleExt().ToQString();
  if (style.bDate) lines << LocalDate(cell.ftWritten);
  if (style.bDimensions) {
    if (!cell.bDimensionsRead) {
      cell.bDimensionsRead = true;
      ReadImageHeader(cell.path, &cell.dimensions);
    }
    lines << QString::asprintf("%d x %d", int(cell.dimensions.cx), int(cell.dimensions.cy));
  }
  if (style.bSize) lines << QLocale().formattedDataSize(qint64(cell.nSize));
  return lines;
}

void CThumbnailsView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  if (m_cells.empty()) return;
  const auto [first, end] = m_grid.VisibleRange(Offset(), viewport()->size());
  for (int i = first; i < end; ++i) {
    const QRect rect = ItemRect(i);
    if (!rect.intersects(event->rect())) continue;
    PaintCell(painter, CellFor(i), rect);
  }
  ScheduleRequests();
}

void CThumbnailsView::PaintCell(QPainter& painter, tagCELL& cell, const QRect& rect) {
  const tagCAPTIONSTYLE style = CaptionStyle(m_nEdge);
  const QPalette& colours = palette();
  if (cell.nIndex == m_state.GetCurrent())
    painter.fillRect(rect, colours.color(QPalette::Highlight));
  else if (m_state.IsSelected(cell.nIndex))
    painter.fillRect(rect, colours.color(QPalette::Highlight).lighter(160));

  const QStringList lines = CaptionLines(cell.nIndex);
  const QFont nameFont = NameFont(font(), style);
  const QFont detailFont = DetailFont(nameFont);
  const QFontMetrics nameMetrics(nameFont);
  const QFontMetrics detailMetrics(detailFont);
  const int captionHeight = nameMetrics.height() + int(lines.size() - 1) * detailMetrics.height();
  const int margin = style.nMargin;
  const QRect picture = rect.adjusted(margin, margin, -margin, -(captionHeight + margin));

  if (cell.nState == CS_READY && picture.width() > 0 && picture.height() > 0) {
    const QSize fit = cell.image.size().scaled(picture.size(), Qt::KeepAspectRatio);
    const QRect target(picture.x() + (picture.width() - fit.width()) / 2,
                       picture.y() + (picture.height() - fit.height()) / 2, fit.width(),
                       fit.height());
    painter.drawImage(target, cell.image);
  } else {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(picture), 8, 8);
    painter.fillPath(frame, Qt::black);
    painter.setPen(QPen(Qt::gray, 1));
    painter.drawPath(frame);
    painter.setPen(Qt::white);
    painter.drawText(picture, Qt::AlignCenter,
                     cell.nState == CS_FAILED ? QStringLiteral("Error loading ...")
                                              : QStringLiteral("Loading image ..."));
    painter.restore();
  }

  const bool highlighted = cell.nIndex == m_state.GetCurrent();
  painter.setPen(colours.color(highlighted ? QPalette::HighlightedText : QPalette::Text));
  const int width = m_nEdge - 2 * margin;
  int y = picture.bottom() + 1;
  for (int n = 0; n < lines.size(); ++n) {
    const QFontMetrics& metrics = n == 0 ? nameMetrics : detailMetrics;
    painter.setFont(n == 0 ? nameFont : detailFont);
    painter.drawText(QRect(rect.x() + margin, y, width, metrics.height()), Qt::AlignHCenter,
                     Cut(lines[n], metrics, width));
    y += metrics.height();
  }
  painter.setFont(font());
}

void CThumbnailsView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  m_pSlider->setGeometry(0, 0, width(), m_pSlider->sizeHint().height());
  Relayout();
  SetCurrentItem(m_state.GetCurrent());
}

void CThumbnailsView::scrollContentsBy(int, int) {
  viewport()->update();
  ScheduleRequests();
}

void CThumbnailsView::mousePressEvent(QMouseEvent* event) {
  m_pPointer->Press(event, ItemAt(event->position().toPoint()));
}

void CThumbnailsView::mouseMoveEvent(QMouseEvent* event) {
  m_pPointer->Move(event, ItemAt(event->position().toPoint()));
}

void CThumbnailsView::mouseReleaseEvent(QMouseEvent* event) {
  m_pPointer->Release(event, ItemAt(event->position().toPoint()));
}

void CThumbnailsView::leaveEvent(QEvent* event) {
  QAbstractScrollArea::leaveEvent(event);
  m_pPointer->Leave();
}

void CThumbnailsView::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  if (text.size() == 1 && text[0] >= u'A' && text[0] <= u'Z') {
    int index;
    {
      CListPosition& position = m_viewer->ListPosition();
      std::lock_guard lock(position.GetLock());
      index = position.GetList().GetIndexFirstLater(text[0].unicode(), position.GetCurrent() + 1);
    }
    if (index >= 0 && !m_viewer->Stepper().IsLoading()) m_viewer->ShowIndex(index);
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

void CThumbnailsView::contextMenuEvent(QContextMenuEvent* event) {
  m_pPointer->HideTip();
  m_pActions->ShowMenu(ItemAt(viewport()->mapFrom(this, event->pos())), event->globalPos());
}

void CThumbnailsView::StartRename(int index) {
  if (index < 0 || index >= m_state.GetCount()) return;
  const QRect rect = ItemRect(index);
  m_pPointer->StartRename(viewport(), index, QRect(rect.x(), rect.y(), rect.width(), 0));
}

void CThumbnailsView::dragEnterEvent(QDragEnterEvent* event) { m_pPointer->DragEnterOrMove(event); }

void CThumbnailsView::dragMoveEvent(QDragMoveEvent* event) { m_pPointer->DragEnterOrMove(event); }

void CThumbnailsView::dropEvent(QDropEvent* event) { m_pPointer->Drop(event); }
