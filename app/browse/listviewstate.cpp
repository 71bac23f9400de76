#include "browse/listviewstate.h"

#include <algorithm>

#include "pixwork/sortdir.h"

bool CListViewState::Reset(const MyString& path, int count) {
  const bool changed = !(path == m_strPath);
  m_strPath = path;
  m_nCount = std::max(count, 0);
  m_nCurrent = -1;
  m_selection.clear();
  return changed;
}

void CListViewState::SetCurrent(int index) {
  m_nCurrent = index >= 0 && index < m_nCount ? index : -1;
}

CLICKRESULT CListViewState::Click(int index, bool bCtrl, bool bShift) {
  if (index < 0 || index >= m_nCount) return CLICK_NOTHING;
  if (bCtrl) {
    if (!m_selection.erase(index)) m_selection.insert(index);
    return CLICK_NOTHING;
  }
  if (bShift) {
    const int from = m_nCurrent >= 0 ? m_nCurrent : index;
    for (int i = std::min(from, index); i <= std::max(from, index); ++i) m_selection.insert(i);
    return CLICK_NOTHING;
  }
  m_selection.clear();
  return CLICK_OPEN;
}

int FindThumb(const SortDir& list, int current, const MyString& text, bool bMatchCase, bool bUp) {
  if (text.IsEmpty()) return -1;
  const int count = list.GetLengthFileList();
  const std::u16string wanted = bMatchCase ? text.str() : MyString::FoldCase(text.str());
  const int step = bUp ? -1 : 1;
  for (int i = current + step; i >= 0 && i < count; i += step) {
    const CFileEntry* entry = list.GetEntry(i);
    if (!entry) continue;
    const MyString title = entry->strPath.GetStringTitle();
    const std::u16string name = bMatchCase ? title.str() : MyString::FoldCase(title.str());
    if (name.find(wanted) != std::u16string::npos) return i;
  }
  return -1;
}

int ThumbnailPoolSize(const QSize& screen, int edge) {
  edge = std::max(edge, 1);
  return (screen.width() / edge + 1) * (screen.height() / edge + 3);
}

tagCAPTIONSTYLE CaptionStyle(int edge) {
  tagCAPTIONSTYLE style;
  style.nMargin = edge < 300 ? 5 : edge < 600 ? 15 : 30;
  style.fNameScale = edge < 300 ? 1.0 : style.nMargin / 10.0;
  style.bDate = edge >= 200;
  style.bDimensions = edge >= 300;
  style.bSize = edge >= 400;
  return style;
}

void CThumbnailGrid::Layout(const QSize& viewport, int edge, int count) {
  m_nEdge = std::max(edge, 1);
  m_nPitch = m_nEdge + kThumbnailGap;
  m_nCount = std::max(count, 0);
  // Docked wide (a strip along the top or bottom): one or more fixed rows.
  m_bWide = viewport.width() > viewport.height() * 2 && viewport.height() < 2 * m_nPitch + 40;
  const int across = m_bWide ? viewport.height() : viewport.width();
  m_nLanes = std::max(1, across / m_nPitch);
}

int CThumbnailGrid::ContentLength() const {
  return (m_nCount + m_nLanes - 1) / m_nLanes * m_nPitch;
}

QPoint CThumbnailGrid::CellOrigin(int index, int offset) const {
  const int lane = index % m_nLanes;
  const int along = index / m_nLanes * m_nPitch - offset;
  return m_bWide ? QPoint(along, lane * m_nPitch) : QPoint(lane * m_nPitch, along);
}

std::pair<int, int> CThumbnailGrid::VisibleRange(int offset, const QSize& viewport) const {
  const int length = m_bWide ? viewport.width() : viewport.height();
  const int firstLine = std::max(offset, 0) / m_nPitch;
  const int lastLine = (std::max(offset, 0) + length) / m_nPitch;
  const int first = std::min(firstLine * m_nLanes, m_nCount);
  const int end = std::min((lastLine + 1) * m_nLanes, m_nCount);
  return {first, end};
}

int CThumbnailGrid::ItemAt(const QPoint& pt, int offset) const {
  const int along = (m_bWide ? pt.x() : pt.y()) + offset;
  const int across = m_bWide ? pt.y() : pt.x();
  if (along < 0 || across < 0) return -1;
  const int lane = across / m_nPitch;
  if (lane >= m_nLanes || across % m_nPitch >= m_nEdge || along % m_nPitch >= m_nEdge) return -1;
  const int index = along / m_nPitch * m_nLanes + lane;
  return index < m_nCount ? index : -1;
}

int CThumbnailGrid::OffsetShowing(int index, int offset, const QSize& viewport) const {
  if (index < 0 || index >= m_nCount) return offset;
  const int length = m_bWide ? viewport.width() : viewport.height();
  const int start = index / m_nLanes * m_nPitch;
  if (start < offset) return start;
  if (start + m_nEdge > offset + length) return std::max(0, start + m_nEdge - length);
  return offset;
}

MyString IconExtension(const MyString& path) {
  const MyString ext = path.GetStringExtension();
  if (ext.GetLength() < 2 || ext.GetLength() > 8) return MyString();
  return ext.Mid(1).ToLower();
}
