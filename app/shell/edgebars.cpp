#include "shell/edgebars.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QStyle>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>

namespace {

constexpr Qt::ToolBarArea kBarAreas[] = {Qt::LeftToolBarArea, Qt::TopToolBarArea,
                                         Qt::RightToolBarArea, Qt::BottomToolBarArea};
// What a view slid out takes when it never had a size of its own.
constexpr int kDefaultSlideSize = 240;

QToolButton* TitleButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& tip,
                         const QString& name) {
  auto* button = new QToolButton(parent);
  button->setIcon(parent->style()->standardIcon(icon));
  button->setToolTip(tip);
  button->setObjectName(name);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

CEdgeBar::CEdgeBar(Qt::ToolBarArea area, QWidget* parent) : QToolBar(parent), m_area(area) {
  setObjectName(QStringLiteral("ZOKA_ChannelWindow"));
  setMovable(false);
  setFloatable(false);
  setAllowedAreas(area);
}

CEdgeButton::CEdgeButton(const QString& text, Qt::Orientation orientation, QWidget* parent)
    : QToolButton(parent), m_orientation(orientation) {
  setText(text);
  setAutoRaise(true);
}

QSize CEdgeButton::sizeHint() const {
  const QSize size = QToolButton::sizeHint();
  return m_orientation == Qt::Vertical ? size.transposed() : size;
}

void CEdgeButton::paintEvent(QPaintEvent* event) {
  if (m_orientation == Qt::Horizontal) {
    QToolButton::paintEvent(event);
    return;
  }
  // Drawn as a horizontal button turned a quarter clockwise.
  QStylePainter painter(this);
  painter.rotate(90);
  painter.translate(0, -width());
  QStyleOptionToolButton option;
  initStyleOption(&option);
  option.rect = QRect(0, 0, height(), width());
  painter.drawComplexControl(QStyle::CC_ToolButton, option);
}

CDockTitle::CDockTitle(QDockWidget* dock) : QWidget(dock) {
  auto* name = new QLabel(dock->windowTitle(), this);
  m_tuck = TitleButton(this, QStyle::SP_TitleBarShadeButton, QStringLiteral("Tuck away"),
                       QStringLiteral("tuck"));
  QToolButton* floating = TitleButton(this, QStyle::SP_TitleBarNormalButton,
                                      QStringLiteral("Float"), QStringLiteral("float"));
  QToolButton* close = TitleButton(this, QStyle::SP_TitleBarCloseButton, QStringLiteral("Close"),
                                   QStringLiteral("close"));
  connect(m_tuck, &QToolButton::clicked, this, &CDockTitle::TuckClicked);
  connect(floating, &QToolButton::clicked, dock,
          [dock] { dock->setFloating(!dock->isFloating()); });
  connect(close, &QToolButton::clicked, dock, &QDockWidget::close);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 1, 1, 1);
  layout->setSpacing(0);
  layout->addWidget(name, 1);
  layout->addWidget(m_tuck);
  layout->addWidget(floating);
  layout->addWidget(close);
}

void CDockTitle::SetTucked(bool tucked) {
  m_tuck->setIcon(style()->standardIcon(tucked ? QStyle::SP_TitleBarUnshadeButton
                                               : QStyle::SP_TitleBarShadeButton));
  m_tuck->setToolTip(tucked ? QStringLiteral("Dock") : QStringLiteral("Tuck away"));
}

CEdgeBars::CEdgeBars(QMainWindow* window) : QObject(window), m_window(window) {
  for (int bar = 0; bar < Count; ++bar) {
    m_bars[size_t(bar)] = new CEdgeBar(kBarAreas[bar], window);
    window->addToolBar(kBarAreas[bar], m_bars[size_t(bar)]);
    m_bars[size_t(bar)]->hide();
  }
}

CEdgeBars::~CEdgeBars() {
  if (m_slidOut) qApp->removeEventFilter(this);
}

int CEdgeBars::BarOfArea(Qt::DockWidgetArea area) {
  switch (area) {
    case Qt::TopDockWidgetArea:
      return Top;
    case Qt::RightDockWidgetArea:
      return Right;
    case Qt::BottomDockWidgetArea:
      return Bottom;
    default:
      return Left;
  }
}

Qt::DockWidgetArea CEdgeBars::AreaOfBar(int bar) {
  switch (bar) {
    case Top:
      return Qt::TopDockWidgetArea;
    case Right:
      return Qt::RightDockWidgetArea;
    case Bottom:
      return Qt::BottomDockWidgetArea;
    default:
      return Qt::LeftDockWidgetArea;
  }
}

void CEdgeBars::Tuck(QDockWidget* dock, int bar) {
  if (!dock || IsTucked(dock) || bar < 0 || bar >= Count) return;
  SlideIn();
  const QSize size = dock->size();
  m_window->removeDockWidget(dock);
  auto* button =
      new CEdgeButton(dock->windowTitle(), m_bars[size_t(bar)]->orientation(), m_bars[size_t(bar)]);
  button->setObjectName(dock->objectName());
  connect(button, &QToolButton::clicked, this, [this, dock] {
    if (m_slidOut == dock)
      SlideIn();
    else
      SlideOut(dock);
  });
  m_bars[size_t(bar)]->addWidget(button);
  m_tucked[dock] = {bar, button, size};
  if (auto* title = qobject_cast<CDockTitle*>(dock->titleBarWidget())) title->SetTucked(true);
  UpdateBar(bar);
}

void CEdgeBars::Untuck(QDockWidget* dock) {
  const auto found = m_tucked.find(dock);
  if (found == m_tucked.end()) return;
  if (m_slidOut == dock) SlideIn();
  const tagTUCKED tucked = found->second;
  m_tucked.erase(found);
  // The toolbar's action for the button owns it.
  for (QAction* action : m_bars[size_t(tucked.nBar)]->actions())
    if (m_bars[size_t(tucked.nBar)]->widgetForAction(action) == tucked.button) delete action;
  const Qt::DockWidgetArea area = AreaOfBar(tucked.nBar);
  m_window->addDockWidget(area, dock);
  // After it is in the layout again, so that it has a place to go to.
  dock->setFloating(false);
  dock->show();
  const bool sideBySide = area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea;
  const int extent = sideBySide ? tucked.size.width() : tucked.size.height();
  if (extent > 0)
    m_window->resizeDocks({dock}, {extent}, sideBySide ? Qt::Horizontal : Qt::Vertical);
  if (auto* title = qobject_cast<CDockTitle*>(dock->titleBarWidget())) title->SetTucked(false);
  UpdateBar(tucked.nBar);
}

void CEdgeBars::ToggleTuck(QDockWidget* dock) {
  if (IsTucked(dock)) {
    Untuck(dock);
    return;
  }
  const Qt::DockWidgetArea area = m_window->dockWidgetArea(dock);
  Tuck(dock, area == Qt::NoDockWidgetArea ? Right : BarOfArea(area));
}

int CEdgeBars::BarOf(const QDockWidget* dock) const {
  const auto found = m_tucked.find(dock);
  return found == m_tucked.end() ? -1 : found->second.nBar;
}

QToolButton* CEdgeBars::ButtonOf(const QDockWidget* dock) const {
  const auto found = m_tucked.find(dock);
  return found == m_tucked.end() ? nullptr : found->second.button;
}

std::vector<QDockWidget*> CEdgeBars::Tucked(int bar) const {
  std::vector<QDockWidget*> docks;
  if (bar < 0 || bar >= Count) return docks;
  for (QAction* action : m_bars[size_t(bar)]->actions()) {
    QWidget* button = m_bars[size_t(bar)]->widgetForAction(action);
    for (const auto& [dock, tucked] : m_tucked)
      if (tucked.button == button) docks.push_back(const_cast<QDockWidget*>(dock));
  }
  return docks;
}

void CEdgeBars::SlideOut(QDockWidget* dock) {
  const auto found = m_tucked.find(dock);
  if (found == m_tucked.end() || m_bBarsHidden) return;
  SlideIn();
  // Over the viewer, against the bar's side, as big as it was when docked.
  QWidget* centre = m_window->centralWidget();
  const QRect area = centre ? QRect(centre->mapToGlobal(QPoint(0, 0)), centre->size())
                            : QRect(m_window->mapToGlobal(QPoint(0, 0)), m_window->size());
  const QSize size = found->second.size.isValid() && !found->second.size.isEmpty()
                         ? found->second.size
                         : QSize(kDefaultSlideSize, kDefaultSlideSize);
  const int width = std::min(size.width(), area.width());
  const int height = std::min(size.height(), area.height());
  QRect place;
  switch (found->second.nBar) {
    case Top:
      place = QRect(area.left(), area.top(), area.width(), height);
      break;
    case Right:
      place = QRect(area.right() - width + 1, area.top(), width, area.height());
      break;
    case Bottom:
      place = QRect(area.left(), area.bottom() - height + 1, area.width(), height);
      break;
    default:
      place = QRect(area.left(), area.top(), width, area.height());
      break;
  }
  dock->setFloating(true);
  dock->setGeometry(place);
  dock->show();
  dock->raise();
  dock->activateWindow();
  m_slidOut = dock;
  qApp->installEventFilter(this);
}

void CEdgeBars::SlideIn() {
  if (!m_slidOut) return;
  QDockWidget* dock = m_slidOut;
  m_slidOut = nullptr;
  qApp->removeEventFilter(this);
  dock->hide();
}

void CEdgeBars::SetBarsHidden(bool hidden) {
  m_bBarsHidden = hidden;
  SlideIn();
  for (int bar = 0; bar < Count; ++bar) UpdateBar(bar);
}

void CEdgeBars::UpdateBar(int bar) {
  bool used = false;
  for (const auto& entry : m_tucked) used = used || entry.second.nBar == bar;
  m_bars[size_t(bar)]->setVisible(used && !m_bBarsHidden);
}

bool CEdgeBars::eventFilter(QObject* watched, QEvent* event) {
  if (!m_slidOut) return false;
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    SlideIn();
    return true;
  }
  if (event->type() == QEvent::MouseButtonPress) {
    auto* widget = qobject_cast<QWidget*>(watched);
    // A click inside the view is the view's; its own button toggles it.
    QToolButton* button = ButtonOf(m_slidOut);
    const bool inside =
        widget && (widget == m_slidOut || m_slidOut->isAncestorOf(widget) || widget == button);
    if (widget && !inside) SlideIn();
  }
  return false;
}
