#include "shell/panearrangement.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QToolBar>
#include <algorithm>
#include <functional>
#include <optional>

#include "shell/edgebars.h"
#include "shell/toolviewdocks.h"
#include "shell/toolviewmenu.h"

namespace {

constexpr int kNavigationEntry = 3;
// Docks side by side are this far apart at most (the separator between).
constexpr int kSeparatorSlack = 8;

constexpr Qt::DockWidgetArea kAreas[] = {Qt::LeftDockWidgetArea, Qt::TopDockWidgetArea,
                                         Qt::RightDockWidgetArea, Qt::BottomDockWidgetArea};

int32_t SideOfArea(Qt::DockWidgetArea area) {
  switch (area) {
    case Qt::LeftDockWidgetArea:
      return tagLAYOUTPANE::kSideLeft;
    case Qt::RightDockWidgetArea:
      return tagLAYOUTPANE::kSideRight;
    case Qt::TopDockWidgetArea:
      return tagLAYOUTPANE::kSideTop;
    case Qt::BottomDockWidgetArea:
      return tagLAYOUTPANE::kSideBottom;
    default:
      return 0;
  }
}

// An unknown side docks at the right, where most views start.
Qt::DockWidgetArea AreaOfSide(int32_t side) {
  switch (side) {
    case tagLAYOUTPANE::kSideLeft:
      return Qt::LeftDockWidgetArea;
    case tagLAYOUTPANE::kSideTop:
      return Qt::TopDockWidgetArea;
    case tagLAYOUTPANE::kSideBottom:
      return Qt::BottomDockWidgetArea;
    default:
      return Qt::RightDockWidgetArea;
  }
}

Qt::DockWidgetArea AreaOfBar(int bar) { return kAreas[std::clamp(bar, 0, 3)]; }

Qt::ToolBarArea ToolBarAreaOfSide(int32_t side) {
  switch (side) {
    case tagLAYOUTPANE::kSideLeft:
      return Qt::LeftToolBarArea;
    case tagLAYOUTPANE::kSideRight:
      return Qt::RightToolBarArea;
    case tagLAYOUTPANE::kSideBottom:
      return Qt::BottomToolBarArea;
    default:
      return Qt::TopToolBarArea;
  }
}

int32_t SideOfToolBarArea(Qt::ToolBarArea area) {
  switch (area) {
    case Qt::LeftToolBarArea:
      return tagLAYOUTPANE::kSideLeft;
    case Qt::RightToolBarArea:
      return tagLAYOUTPANE::kSideRight;
    case Qt::BottomToolBarArea:
      return tagLAYOUTPANE::kSideBottom;
    default:
      return tagLAYOUTPANE::kSideTop;
  }
}

int32_t SidesOf(Qt::DockWidgetAreas areas) {
  int32_t sides = 0;
  for (Qt::DockWidgetArea area : kAreas)
    if (areas & area) sides |= SideOfArea(area);
  return sides;
}

// The record's allowed sides; a record that allows none leaves the dock's.
void SetAllowedSides(QDockWidget* dock, int32_t flags) {
  Qt::DockWidgetAreas areas;
  for (Qt::DockWidgetArea area : kAreas)
    if (flags & SideOfArea(area)) areas |= area;
  if (dock && areas) dock->setAllowedAreas(areas);
}

bool SideBySide(int32_t side) {
  return side == tagLAYOUTPANE::kSideLeft || side == tagLAYOUTPANE::kSideRight;
}

// Left and right areas stack their views top to bottom.
Qt::Orientation AreaOrientation(Qt::DockWidgetArea area) {
  return area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea ? Qt::Horizontal
                                                                           : Qt::Vertical;
}

// A split's direction, from where its second part lies.
Qt::Orientation SplitOrientation(const tagLAYOUTPANE& split) {
  return !split.second.empty() && SideBySide(split.second.front().nSide) ? Qt::Horizontal
                                                                         : Qt::Vertical;
}

void SetRect(tagLAYOUTPANE& pane, const QRect& rect) {
  pane.nLeft = rect.x();
  pane.nTop = rect.y();
  pane.nWidth = rect.width();
  pane.nHeight = rect.height();
}

QRect RectOf(const tagLAYOUTPANE& pane) {
  return QRect(pane.nLeft, pane.nTop, pane.nWidth, pane.nHeight);
}

// Views sharing one place: one dock, or a tab group.
struct tagDOCKGROUP {
  std::vector<QDockWidget*> docks;
  QDockWidget* current;
  QRect rect;
};

class CCapture {
 public:
  explicit CCapture(const CToolViewDocks& docks) : m_docks(docks) {}

  tagLAYOUTPANE Leaf(QDockWidget* dock, int32_t side) const {
    tagLAYOUTPANE pane;
    pane.nId = IdOf(dock);
    SetRect(pane, dock->geometry());
    pane.nCreatedWidth = dock->sizeHint().width();
    pane.nCreatedHeight = dock->sizeHint().height();
    pane.nSide = side;
    pane.nFlags = SidesOf(dock->allowedAreas());
    return pane;
  }

  tagLAYOUTPANE Group(const tagDOCKGROUP& group, int32_t side) {
    if (group.docks.size() == 1) return Leaf(group.docks.front(), side);
    tagLAYOUTPANE pane;
    pane.nId = NextContainerId();
    SetRect(pane, group.rect);
    pane.nSide = side;
    pane.nActiveTab = IdOf(group.current);
    for (QDockWidget* dock : group.docks) {
      pane.tabs.push_back(Leaf(dock, tagLAYOUTPANE::kSideTab));
      pane.nFlags &= pane.tabs.back().nFlags;
    }
    return pane;
  }

  // The docks of one side as nested splits: the window lays them out by
  // cutting its area in two again and again, so a straight cut between the
  // groups always exists.
  tagLAYOUTPANE Partition(std::vector<tagDOCKGROUP> groups, int32_t side, bool stackedFirst) {
    if (groups.size() == 1) return Group(groups.front(), side);
    size_t cut = 0;
    bool stacked = stackedFirst;
    for (bool tryStacked : {stackedFirst, !stackedFirst}) {
      auto start = [tryStacked](const QRect& r) { return tryStacked ? r.top() : r.left(); };
      auto end = [tryStacked](const QRect& r) { return tryStacked ? r.bottom() : r.right(); };
      std::stable_sort(groups.begin(), groups.end(),
                       [&](const tagDOCKGROUP& a, const tagDOCKGROUP& b) {
                         return start(a.rect) < start(b.rect);
                       });
      for (size_t k = 1; k < groups.size() && !cut; ++k) {
        int reach = end(groups[0].rect);
        for (size_t i = 1; i < k; ++i) reach = std::max(reach, end(groups[i].rect));
        int next = start(groups[k].rect);
        for (size_t i = k + 1; i < groups.size(); ++i) next = std::min(next, start(groups[i].rect));
        if (reach < next + kSeparatorSlack) cut = k;
      }
      if (cut) {
        stacked = tryStacked;
        break;
      }
    }
    if (!cut) cut = 1;  // overlapping docks: keep their order

    std::vector<tagDOCKGROUP> firstGroups(groups.begin(), groups.begin() + ptrdiff_t(cut));
    std::vector<tagDOCKGROUP> secondGroups(groups.begin() + ptrdiff_t(cut), groups.end());
    tagLAYOUTPANE pane;
    pane.nId = NextContainerId();
    pane.nSide = side;
    pane.first.push_back(Partition(
        firstGroups, stacked ? tagLAYOUTPANE::kSideTop : tagLAYOUTPANE::kSideLeft, stackedFirst));
    pane.second.push_back(
        Partition(secondGroups, stacked ? tagLAYOUTPANE::kSideBottom : tagLAYOUTPANE::kSideRight,
                  stackedFirst));
    tagLAYOUTPANE& first = pane.first.front();
    tagLAYOUTPANE& second = pane.second.front();
    SetRect(pane, RectOf(first).united(RectOf(second)));
    const int size1 = stacked ? first.nHeight : first.nWidth;
    const int size2 = stacked ? second.nHeight : second.nWidth;
    first.nShare = uint8_t(size1 + size2 > 0 ? 100 * size1 / (size1 + size2) : 50);
    second.nShare = uint8_t(100 - first.nShare);
    pane.nFlags = first.nFlags & second.nFlags;
    return pane;
  }

  int32_t IdOf(QDockWidget* dock) const {
    for (int entry = 1; entry < CToolViewMenu::kEntryCount; ++entry)
      if (m_docks.GetDock(entry) == dock) return CPaneArrangement::IdOfEntry(entry);
    return tagLAYOUTPANE::kNoPane;
  }

 private:
  int32_t NextContainerId() {
    while (CPaneArrangement::EntryOfId(m_nNextContainer) > 0) ++m_nNextContainer;
    return m_nNextContainer++;
  }

  const CToolViewDocks& m_docks;
  int32_t m_nNextContainer = 1;
};

// The first view of a tree: the one that stands for the whole tree while
// it is placed.
const tagLAYOUTPANE& Representative(const tagLAYOUTPANE& pane) {
  if (!pane.tabs.empty()) return Representative(pane.tabs.front());
  if (!pane.first.empty()) return Representative(pane.first.front());
  if (!pane.second.empty()) return Representative(pane.second.front());
  return pane;
}

const tagLAYOUTPANE* FindPath(const std::vector<tagLAYOUTPANE>& panes, int32_t id,
                              std::vector<const tagLAYOUTPANE*>& path) {
  for (const tagLAYOUTPANE& pane : panes) {
    path.push_back(&pane);
    if (pane.nId == id && pane.tabs.empty() && pane.first.empty() && pane.second.empty())
      return &pane;
    for (const auto* children : {&pane.tabs, &pane.first, &pane.second})
      if (const tagLAYOUTPANE* found = FindPath(*children, id, path)) return found;
    path.pop_back();
  }
  return nullptr;
}

void CollectLeaves(const tagLAYOUTPANE& pane, std::vector<const tagLAYOUTPANE*>& leaves) {
  if (pane.tabs.empty() && pane.first.empty() && pane.second.empty()) {
    leaves.push_back(&pane);
    return;
  }
  for (const auto* children : {&pane.tabs, &pane.first, &pane.second})
    for (const tagLAYOUTPANE& child : *children) CollectLeaves(child, leaves);
}

}  // namespace

CPaneArrangement::CPaneArrangement(QMainWindow* window, CToolViewDocks* docks)
    : m_window(window), m_docks(docks) {
  // Views side by side within one side, as the trees can say.
  m_window->setDockOptions(m_window->dockOptions() | QMainWindow::AllowNestedDocks);
}

int32_t CPaneArrangement::IdOfEntry(int entry) {
  if (entry <= CToolViewMenu::kMouseToolEntry || entry >= CToolViewMenu::kEntryCount) return 0;
  return int32_t(CToolViewMenu::Entries()[size_t(entry)].nCommand);
}

int CPaneArrangement::EntryOfId(int32_t id) {
  for (int entry = 1; entry < CToolViewMenu::kEntryCount; ++entry)
    if (IdOfEntry(entry) == id) return entry;
  return -1;
}

QDockWidget* CPaneArrangement::DockOf(int32_t id) const {
  const int entry = EntryOfId(id);
  return entry > 0 && entry != kNavigationEntry ? m_docks->GetDock(entry) : nullptr;
}

tagLAYOUT CPaneArrangement::Capture() const {
  tagLAYOUT layout;
  CCapture capture(*m_docks);
  std::vector<tagDOCKGROUP> byArea[4];
  std::vector<tagLAYOUTPANE> others;
  std::vector<QDockWidget*> grouped;
  for (int entry = 1; entry < CToolViewMenu::kEntryCount; ++entry) {
    QDockWidget* dock = m_docks->GetDock(entry);
    if (!dock || std::count(grouped.begin(), grouped.end(), dock)) continue;
    if (m_docks->EdgeBars().IsTucked(dock)) continue;  // in its bar's list below
    const Qt::DockWidgetArea area = m_window->dockWidgetArea(dock);
    if (dock->isFloating() || dock->isHidden() || SideOfArea(area) == 0) {
      // A closed view keeps its side for when it is shown again.
      tagLAYOUTPANE pane =
          capture.Leaf(dock, SideOfArea(area) ? SideOfArea(area) : tagLAYOUTPANE::kSideRight);
      pane.bDockedRoot = !dock->isFloating();
      pane.nExtent = SideBySide(pane.nSide) ? pane.nWidth : pane.nHeight;
      others.push_back(std::move(pane));
      continue;
    }
    tagDOCKGROUP group{{dock}, dock, dock->geometry()};
    for (QDockWidget* tab : m_window->tabifiedDockWidgets(dock))
      if (!tab->isHidden() && !tab->isFloating()) group.docks.push_back(tab);
    // Tabs share one rectangle; the one on top is the one the user sees.
    for (QDockWidget* tab : group.docks)
      if (!tab->visibleRegion().isEmpty()) group.current = tab;
    group.rect = group.current->geometry();
    grouped.insert(grouped.end(), group.docks.begin(), group.docks.end());
    const auto at = std::find(std::begin(kAreas), std::end(kAreas), area) - std::begin(kAreas);
    byArea[at].push_back(std::move(group));
  }
  for (int i = 0; i < 4; ++i) {
    if (byArea[i].empty()) continue;
    const int32_t side = SideOfArea(kAreas[i]);
    tagLAYOUTPANE root = capture.Partition(byArea[i], side, SideBySide(side));
    root.bDockedRoot = true;
    root.nExtent = SideBySide(side) ? root.nWidth : root.nHeight;
    layout.roots.push_back(std::move(root));
  }
  layout.roots.insert(layout.roots.end(), others.begin(), others.end());
  for (int bar = 0; bar < tagLAYOUT::BarCount; ++bar)
    for (QDockWidget* dock : m_docks->EdgeBars().Tucked(bar)) {
      tagLAYOUTPANE pane = capture.Leaf(dock, SideOfArea(CEdgeBars::AreaOfBar(bar)));
      pane.bDockedRoot = true;
      pane.nExtent = SideBySide(pane.nSide) ? pane.nWidth : pane.nHeight;
      layout.bars[size_t(bar)].push_back(std::move(pane));
    }

  // The navigation toolbar, always made, as a leaf of its own.
  if (auto* navigation = qobject_cast<QToolBar*>(m_docks->GetViewWindow(kNavigationEntry))) {
    tagLAYOUTPANE pane;
    pane.nId = IdOfEntry(kNavigationEntry);
    SetRect(pane, navigation->geometry());
    pane.nSide = SideOfToolBarArea(m_window->toolBarArea(navigation));
    pane.bDockedRoot = !navigation->isFloating();
    pane.nExtent = SideBySide(pane.nSide) ? pane.nWidth : pane.nHeight;
    layout.roots.push_back(std::move(pane));
  }
  return layout;
}

namespace {

// The tree cut down to the views that exist; nothing when none does.
std::optional<tagLAYOUTPANE> Existing(const tagLAYOUTPANE& pane,
                                      const std::function<QDockWidget*(int32_t)>& dockOf) {
  if (!pane.tabs.empty()) {
    tagLAYOUTPANE group = pane;
    group.tabs.clear();
    for (const tagLAYOUTPANE& tab : pane.tabs)
      if (auto kept = Existing(tab, dockOf)) group.tabs.push_back(std::move(*kept));
    if (group.tabs.empty()) return std::nullopt;
    if (group.tabs.size() == 1) {
      tagLAYOUTPANE alone = group.tabs.front();
      alone.nSide = pane.nSide;
      return alone;
    }
    return group;
  }
  if (!pane.first.empty() || !pane.second.empty()) {
    std::optional<tagLAYOUTPANE> first, second;
    if (!pane.first.empty()) first = Existing(pane.first.front(), dockOf);
    if (!pane.second.empty()) second = Existing(pane.second.front(), dockOf);
    if (first && second) {
      tagLAYOUTPANE split = pane;
      split.first = {std::move(*first)};
      split.second = {std::move(*second)};
      return split;
    }
    std::optional<tagLAYOUTPANE> alone = first ? std::move(first) : std::move(second);
    if (alone) {
      alone->nSide = pane.nSide;
      alone->nShare = pane.nShare;
    }
    return alone;
  }
  if (!dockOf(pane.nId)) return std::nullopt;
  return pane;
}

}  // namespace

void CPaneArrangement::PlaceRoot(const tagLAYOUTPANE& root, bool inBar, int bar) {
  if (root.nFlags & tagLAYOUTPANE::kMainView) return;  // the viewer is the centre
  if (root.nId == IdOfEntry(kNavigationEntry) && root.tabs.empty() && root.first.empty()) {
    if (auto* navigation = qobject_cast<QToolBar*>(m_docks->GetViewWindow(kNavigationEntry));
        navigation && root.bDockedRoot) {
      const bool hidden = navigation->isHidden();
      m_window->addToolBar(ToolBarAreaOfSide(root.nSide), navigation);
      navigation->setHidden(hidden);
    }
    return;
  }
  const auto dockOf = [this](int32_t id) { return DockOf(id); };
  const std::optional<tagLAYOUTPANE> tree = Existing(root, dockOf);
  if (!tree) return;

  if (!root.bDockedRoot && !inBar) {
    std::vector<const tagLAYOUTPANE*> leaves;
    CollectLeaves(*tree, leaves);
    for (const tagLAYOUTPANE* leaf : leaves) {
      QDockWidget* dock = DockOf(leaf->nId);
      if (m_window->dockWidgetArea(dock) == Qt::NoDockWidgetArea)
        m_window->addDockWidget(AreaOfSide(root.nSide), dock);
      dock->setFloating(true);
      if (leaf->nWidth > 0 && leaf->nHeight > 0) dock->setGeometry(RectOf(*leaf));
    }
    return;
  }

  if (inBar) {
    std::vector<const tagLAYOUTPANE*> leaves;
    CollectLeaves(*tree, leaves);
    for (const tagLAYOUTPANE* leaf : leaves) {
      QDockWidget* dock = DockOf(leaf->nId);
      if (m_docks->EdgeBars().IsTucked(dock)) continue;
      dock->setFloating(false);
      m_window->addDockWidget(AreaOfBar(bar), dock);
      if (leaf->nWidth > 0 && leaf->nHeight > 0) dock->resize(leaf->nWidth, leaf->nHeight);
      m_docks->EdgeBars().Tuck(dock, bar);
    }
    return;
  }
  const Qt::DockWidgetArea area = AreaOfSide(root.nSide);
  QDockWidget* rep = DockOf(Representative(*tree).nId);
  rep->setFloating(false);
  m_window->addDockWidget(area, rep);

  // Each part is placed in its whole tree's cell before that cell is cut
  // further, so a split divides the space of everything on its side.
  std::function<void(const tagLAYOUTPANE&)> expand = [&](const tagLAYOUTPANE& pane) {
    if (!pane.tabs.empty()) {
      QDockWidget* first = DockOf(Representative(pane.tabs.front()).nId);
      for (size_t i = 1; i < pane.tabs.size(); ++i) {
        QDockWidget* tab = DockOf(Representative(pane.tabs[i]).nId);
        tab->setFloating(false);
        m_window->tabifyDockWidget(first, tab);
      }
      if (QDockWidget* active = DockOf(pane.nActiveTab)) active->raise();
      return;
    }
    if (pane.first.empty() || pane.second.empty()) return;
    QDockWidget* first = DockOf(Representative(pane.first.front()).nId);
    QDockWidget* second = DockOf(Representative(pane.second.front()).nId);
    second->setFloating(false);
    m_window->splitDockWidget(first, second, SplitOrientation(pane));
    expand(pane.first.front());
    expand(pane.second.front());
  };
  expand(*tree);

  // Sizes once everything is in place, outer cuts first.
  if (tree->nExtent > 0) m_window->resizeDocks({rep}, {tree->nExtent}, AreaOrientation(area));
  std::function<void(const tagLAYOUTPANE&)> size = [&](const tagLAYOUTPANE& pane) {
    if (pane.first.empty() || pane.second.empty()) return;
    const Qt::Orientation orientation = SplitOrientation(pane);
    const tagLAYOUTPANE& first = pane.first.front();
    const tagLAYOUTPANE& second = pane.second.front();
    const int size1 = orientation == Qt::Horizontal ? first.nWidth : first.nHeight;
    const int size2 = orientation == Qt::Horizontal ? second.nWidth : second.nHeight;
    if (size1 > 0 && size2 > 0)
      m_window->resizeDocks({DockOf(Representative(first).nId), DockOf(Representative(second).nId)},
                            {size1, size2}, orientation);
    size(first);
    size(second);
  };
  size(*tree);
}

void CPaneArrangement::Apply(const tagLAYOUT& layout) {
  m_waiting = layout;
  // Placing a dock may show it; whether a view shows is its flag's business.
  std::vector<std::pair<QWidget*, bool>> hidden;
  for (int entry = 1; entry < CToolViewMenu::kEntryCount; ++entry)
    if (QWidget* view = m_docks->GetViewWindow(entry)) hidden.emplace_back(view, view->isHidden());
  for (const tagLAYOUTPANE& root : layout.roots) PlaceRoot(root, false, 0);
  for (int bar = 0; bar < tagLAYOUT::BarCount; ++bar)
    for (const tagLAYOUTPANE& pane : layout.bars[size_t(bar)]) PlaceRoot(pane, true, bar);
  auto allow = [this](const std::vector<tagLAYOUTPANE>& panes) {
    for (const tagLAYOUTPANE& pane : panes) {
      std::vector<const tagLAYOUTPANE*> leaves;
      CollectLeaves(pane, leaves);
      for (const tagLAYOUTPANE* leaf : leaves) SetAllowedSides(DockOf(leaf->nId), leaf->nFlags);
    }
  };
  allow(layout.roots);
  for (const auto& bar : layout.bars) allow(bar);
  for (const auto& [view, wasHidden] : hidden)
    if (!m_docks->EdgeBars().IsTucked(qobject_cast<QDockWidget*>(view))) view->setHidden(wasHidden);
}

bool CPaneArrangement::PlaceNewDock(int entry, QDockWidget* dock) {
  const int32_t id = IdOfEntry(entry);
  if (id <= 0 || !dock) return false;
  std::vector<const tagLAYOUTPANE*> path;
  int bar = -1;
  if (!FindPath(m_waiting.roots, id, path)) {
    for (int b = 0; b < tagLAYOUT::BarCount && bar < 0; ++b) {
      path.clear();
      if (FindPath(m_waiting.bars[size_t(b)], id, path)) bar = b;
    }
    if (bar < 0) return false;
  }
  const tagLAYOUTPANE& root = *path.front();
  const tagLAYOUTPANE& leaf = *path.back();
  SetAllowedSides(dock, leaf.nFlags);
  const Qt::DockWidgetArea area = bar >= 0 ? AreaOfBar(bar) : AreaOfSide(root.nSide);
  m_window->addDockWidget(area, dock);
  if (bar >= 0) {
    if (leaf.nWidth > 0 && leaf.nHeight > 0) dock->resize(leaf.nWidth, leaf.nHeight);
    m_docks->EdgeBars().Tuck(dock, bar);
    return true;
  }
  if (!root.bDockedRoot) {
    dock->setFloating(true);
    if (leaf.nWidth > 0 && leaf.nHeight > 0) dock->setGeometry(RectOf(leaf));
    return true;
  }

  // Next to the nearest view of its tree that exists.
  const auto dockOf = [this, dock](int32_t other) {
    QDockWidget* found = DockOf(other);
    return found == dock ? nullptr : found;
  };
  for (size_t i = path.size() - 1; i > 0; --i) {
    const tagLAYOUTPANE& parent = *path[i - 1];
    const tagLAYOUTPANE* child = path[i];
    if (!parent.tabs.empty()) {
      for (const tagLAYOUTPANE& tab : parent.tabs) {
        if (&tab == child) continue;
        if (auto other = Existing(tab, dockOf)) {
          m_window->tabifyDockWidget(DockOf(Representative(*other).nId), dock);
          if (parent.nActiveTab == id) dock->raise();
          return true;
        }
      }
      continue;
    }
    const bool inFirst = !parent.first.empty() && child == &parent.first.front();
    const std::vector<tagLAYOUTPANE>& otherPart = inFirst ? parent.second : parent.first;
    if (otherPart.empty()) continue;
    if (auto other = Existing(otherPart.front(), dockOf)) {
      QDockWidget* neighbour = DockOf(Representative(*other).nId);
      const Qt::Orientation orientation = SplitOrientation(parent);
      m_window->splitDockWidget(neighbour, dock, orientation);
      // A single neighbour can follow the new view when the view came first.
      if (inFirst && other->tabs.empty() && other->first.empty())
        m_window->splitDockWidget(dock, neighbour, orientation);
      return true;
    }
  }
  if (root.nExtent > 0) m_window->resizeDocks({dock}, {root.nExtent}, AreaOrientation(area));
  return true;
}

void CPaneArrangement::RememberBeforeHiding() {
  m_beforeHiding = Capture();
  m_bHaveBeforeHiding = true;
}

tagLAYOUT CPaneArrangement::ForSaving() const {
  tagLAYOUT layout = m_docks->ArePanesHidden() && m_bHaveBeforeHiding ? m_beforeHiding : Capture();
  // Views not made in this run keep the place the file gave them.
  std::vector<int32_t> present;
  auto collectIds = [&present](const std::vector<tagLAYOUTPANE>& panes) {
    for (const tagLAYOUTPANE& pane : panes) {
      std::vector<const tagLAYOUTPANE*> leaves;
      CollectLeaves(pane, leaves);
      for (const tagLAYOUTPANE* leaf : leaves) present.push_back(leaf->nId);
    }
  };
  collectIds(layout.roots);
  for (const auto& bar : layout.bars) collectIds(bar);
  auto keepUnclaimed = [&](const std::vector<tagLAYOUTPANE>& from, std::vector<tagLAYOUTPANE>& to) {
    for (const tagLAYOUTPANE& root : from) {
      std::vector<const tagLAYOUTPANE*> leaves;
      CollectLeaves(root, leaves);
      for (const tagLAYOUTPANE* leaf : leaves) {
        const int entry = EntryOfId(leaf->nId);
        if (entry <= 0 || m_docks->GetViewWindow(entry) ||
            std::count(present.begin(), present.end(), leaf->nId))
          continue;
        tagLAYOUTPANE kept = *leaf;
        kept.bDockedRoot = root.bDockedRoot;
        kept.nSide = root.nSide;
        kept.nExtent = root.nExtent;
        to.push_back(std::move(kept));
        present.push_back(leaf->nId);
      }
    }
  };
  keepUnclaimed(m_waiting.roots, layout.roots);
  for (int bar = 0; bar < tagLAYOUT::BarCount; ++bar)
    keepUnclaimed(m_waiting.bars[size_t(bar)], layout.bars[size_t(bar)]);
  return layout;
}

CLayoutFile::READRESULT CPaneArrangement::Read(const MyString& path) {
  CLayoutFile file;
  const CLayoutFile::READRESULT result = file.Read(path);
  m_nNextRuntimeId = file.GetNextRuntimePaneId();
  // A damaged file still gives the panes read before the damage.
  if (result != CLayoutFile::RR_MISSING) Apply(file.Layout());
  return result;
}

int CPaneArrangement::Write(const MyString& path, MyString* error) const {
  CLayoutFile file;
  file.SetLayout(ForSaving());
  return file.Write(path, error);
}
