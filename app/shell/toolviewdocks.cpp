#include "shell/toolviewdocks.h"

#include <QCloseEvent>
#include <QMainWindow>
#include <QToolBar>

#include "shell/commandids.h"
#include "shell/edgebars.h"

namespace {

constexpr int kNavigationEntry = 3;

}  // namespace

void CToolViewDock::closeEvent(QCloseEvent* event) {
  QDockWidget::closeEvent(event);
  if (event->isAccepted()) emit Closed();
}

CToolViewDocks::CToolViewDocks(QMainWindow* window, QToolBar* navigationBar,
                               std::function<bool()> viewerAlone)
    : QObject(window),
      m_window(window),
      m_navigation(navigationBar),
      m_edgeBars(new CEdgeBars(window)),
      m_viewerAlone(std::move(viewerAlone)) {
  m_enabled.fill(true);
  m_navigation->setObjectName(QStringLiteral("Navigation"));
  m_navigation->setWindowTitle(ViewTitle(kNavigationEntry));
  m_window->addToolBar(Qt::TopToolBarArea, m_navigation);
  m_navigation->hide();
}

QString CToolViewDocks::ViewTitle(int entry) {
  if (entry <= CToolViewMenu::kMouseToolEntry || entry >= CToolViewMenu::kEntryCount)
    return QString();
  QString text = QString::fromUtf16(CToolViewMenu::Entries()[size_t(entry)].pszMenuText);
  const qsizetype tab = text.indexOf(QLatin1Char('\t'));
  if (tab >= 0) text.truncate(tab);
  return text.trimmed();
}

Qt::DockWidgetArea CToolViewDocks::DefaultArea(int entry) {
  if (entry <= 0 || entry >= CToolViewMenu::kEntryCount) return Qt::RightDockWidgetArea;
  switch (CToolViewMenu::Entries()[size_t(entry)].nCommand) {
    case IDM_VIEW_TOOLBOX:
    case IDM_VIEW_FAVORITES:
    case IDM_VIEW_DIRECTORIES:
    case IDM_VIEW_SEARCH:
      return Qt::LeftDockWidgetArea;
    case IDM_VIEW_THUMBNAILS:
    case IDM_VIEW_FILES:
      return Qt::BottomDockWidgetArea;
    case IDM_VIEW_NAVIGATION:
      return Qt::TopDockWidgetArea;
    default:
      return Qt::RightDockWidgetArea;
  }
}

void CToolViewDocks::SetContentFactory(int entry, std::function<QWidget*(QWidget*)> make) {
  if (entry <= 0 || entry >= CToolViewMenu::kEntryCount || entry == kNavigationEntry) return;
  m_factories[size_t(entry)] = std::move(make);
  // A view made before its part arrived gets its content now.
  if (CToolViewDock* dock = m_docks[size_t(entry)]; dock && m_factories[size_t(entry)]) {
    QWidget* old = dock->widget();
    dock->setWidget(m_factories[size_t(entry)](dock));
    delete old;
  }
}

void CToolViewDocks::SetToolViewEnabled(int entry, bool enabled) {
  if (entry > 0 && entry < CToolViewMenu::kEntryCount) m_enabled[size_t(entry)] = enabled;
}

CToolViewDock* CToolViewDocks::GetDock(int entry) const {
  return entry > 0 && entry < CToolViewMenu::kEntryCount ? m_docks[size_t(entry)] : nullptr;
}

QWidget* CToolViewDocks::GetViewWindow(int entry) const {
  if (entry == kNavigationEntry) return m_navigation;
  return GetDock(entry);
}

bool CToolViewDocks::IsViewVisible(int entry) const {
  const QWidget* view = GetViewWindow(entry);
  // A tucked view is shown: its button stands for it.
  if (const CToolViewDock* dock = GetDock(entry); dock && m_edgeBars->IsTucked(dock)) return true;
  return view && !view->isHidden();
}

CToolViewDock* CToolViewDocks::MakeDock(int entry) {
  auto* dock = new CToolViewDock(ViewTitle(entry), m_window);
  dock->setObjectName(ViewTitle(entry));
  dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                    QDockWidget::DockWidgetFloatable);
  QWidget* content = nullptr;
  if (m_factories[size_t(entry)]) content = m_factories[size_t(entry)](dock);
  if (!content) {
    // An empty view until its part fills it; big enough to be seen and moved.
    content = new QWidget(dock);
    content->setMinimumSize(120, 80);
  }
  dock->setWidget(content);
  auto* title = new CDockTitle(dock);
  dock->setTitleBarWidget(title);
  connect(title, &CDockTitle::TuckClicked, this, [this, dock] { m_edgeBars->ToggleTuck(dock); });
  if (!m_placeDock || !m_placeDock(entry, dock)) {
    const Qt::DockWidgetArea area = DefaultArea(entry);
    m_window->addDockWidget(area, dock);
    // Views that share a side share it as tabs: stacked, a handful of them
    // would make the window taller than the user left it.
    for (CToolViewDock* other : m_docks)
      if (other && !other->isFloating() && m_window->dockWidgetArea(other) == area) {
        m_window->tabifyDockWidget(other, dock);
        break;
      }
  }
  connect(dock, &CToolViewDock::Closed, this, [this, entry, dock] {
    // Closed while slid out: it goes back to its side, hidden.
    if (m_edgeBars->IsTucked(dock)) {
      m_edgeBars->Untuck(dock);
      dock->hide();
    }
    emit ToolViewClosed(entry);
  });
  m_docks[size_t(entry)] = dock;
  return dock;
}

void CToolViewDocks::ShowToolView(int entry) {
  if (entry <= 0 || entry >= CToolViewMenu::kEntryCount) return;
  if (m_bPanesHidden) {
    m_hiddenByPanes[size_t(entry)] = true;
    return;
  }
  if (entry == kNavigationEntry) {
    m_navigation->show();
    return;
  }
  CToolViewDock* dock = m_docks[size_t(entry)];
  if (!dock) dock = MakeDock(entry);
  if (m_edgeBars->IsTucked(dock)) return;  // its button is there
  dock->show();
  dock->raise();
}

void CToolViewDocks::HideToolView(int entry) {
  if (entry <= 0 || entry >= CToolViewMenu::kEntryCount) return;
  m_hiddenByPanes[size_t(entry)] = false;
  if (CToolViewDock* dock = GetDock(entry); dock && m_edgeBars->IsTucked(dock))
    m_edgeBars->Untuck(dock);
  if (QWidget* view = GetViewWindow(entry)) view->hide();
}

bool CToolViewDocks::IsViewerAlone() const { return m_viewerAlone && m_viewerAlone(); }

bool CToolViewDocks::IsToolViewEnabled(int entry) const {
  return entry > 0 && entry < CToolViewMenu::kEntryCount && m_enabled[size_t(entry)];
}

void CToolViewDocks::SetPanesHidden(bool hidden) {
  if (hidden == m_bPanesHidden) return;
  if (hidden && m_beforeHidden) m_beforeHidden();
  m_edgeBars->SetBarsHidden(hidden);
  if (hidden) {
    for (int i = 1; i < CToolViewMenu::kEntryCount; ++i) {
      QWidget* view = GetViewWindow(i);
      m_hiddenByPanes[size_t(i)] = view && !view->isHidden();
      if (m_hiddenByPanes[size_t(i)]) view->hide();
    }
    m_bPanesHidden = true;
    return;
  }
  m_bPanesHidden = false;
  for (int i = 1; i < CToolViewMenu::kEntryCount; ++i)
    if (m_hiddenByPanes[size_t(i)]) {
      m_hiddenByPanes[size_t(i)] = false;
      ShowToolView(i);
    }
}
