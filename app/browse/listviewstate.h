#pragma once
// What the thumbnails and files views share without a window: the shown
// list's path, the current item, the selection set and what a click does to
// them, "Find thumb ..." over the list, and the thumbnails view's sizes (the
// cell pool, the grid and the caption lines by the thumbnail edge). Plain
// class; the views only draw it. GUI thread.

#include <QPoint>
#include <QSize>
#include <set>
#include <vector>

#include "corekit/mystring.h"

class SortDir;

// The smallest thumbnail edge and files-view name column.
inline constexpr int kMinThumbnailEdge = 100;
inline constexpr int kMinFilesColumn = 100;
// Cells lie T + this apart.
inline constexpr int kThumbnailGap = 5;

enum CLICKRESULT : int {
  CLICK_OPEN,     // make the item current (the viewer shows it)
  CLICK_NOTHING,  // only the selection changed
};

class CListViewState {
 public:
  // A new list: count items, none current, no selection. path: the folder
  // or portfolio; true when the path changed.
  bool Reset(const MyString& path, int count);
  const MyString& GetPath() const { return m_strPath; }
  int GetCount() const { return m_nCount; }

  // The viewer's current item (-1: none).
  void SetCurrent(int index);
  int GetCurrent() const { return m_nCurrent; }

  // A click on index: with Ctrl it goes in or out of the selection set, with
  // Shift every item from the current one to it goes in; a plain click
  // clears the set. Both of the first keep the current item.
  CLICKRESULT Click(int index, bool bCtrl, bool bShift);
  bool HasSelection() const { return !m_selection.empty(); }
  bool IsSelected(int index) const { return m_selection.count(index) != 0; }
  const std::set<int>& Selection() const { return m_selection; }
  void ClearSelection() { m_selection.clear(); }

 private:
  MyString m_strPath;
  int m_nCount = 0;
  int m_nCurrent = -1;
  std::set<int> m_selection;
};

// "Find Next": the first item after current (before it with up) whose name
// without folder and extension holds text; no wrap. -1 when none.
int FindThumb(const SortDir& list, int current, const MyString& text, bool bMatchCase, bool bUp);

// The number of painted cells: (screen width / T + 1) x (screen height / T + 3).
int ThumbnailPoolSize(const QSize& screen, int edge);

// What a cell of edge T shows under its picture.
struct tagCAPTIONSTYLE {
  int nMargin = 5;           // 5 below 300, 15 to 599, 30 from 600
  double fNameScale = 1.0;   // the name's font: margin / 10 times from 300
  bool bDate = false;        // from 200: "MMMM dd, yyyy"
  bool bDimensions = false;  // from 300: "w x h"
  bool bSize = false;        // from 400: the file size
};
tagCAPTIONSTYLE CaptionStyle(int edge);

// The grid: cells of pitch T + 5 in rows (columns fixed, scrolling down),
// or in columns when wide (rows fixed, scrolling sideways).
class CThumbnailGrid {
 public:
  void Layout(const QSize& viewport, int edge, int count);
  bool IsWide() const { return m_bWide; }
  int Pitch() const { return m_nPitch; }
  // Cells across the fixed side.
  int Lanes() const { return m_nLanes; }
  // The length of the scrolling side in pixels.
  int ContentLength() const;
  // Where item index lies, offset along the scrolling side.
  QPoint CellOrigin(int index, int offset) const;
  // The items visible at offset along a viewport (first, one past the last).
  std::pair<int, int> VisibleRange(int offset, const QSize& viewport) const;
  // The item under a point of the viewport, -1 for none.
  int ItemAt(const QPoint& pt, int offset) const;
  // The offset that shows index whole, starting from offset.
  int OffsetShowing(int index, int offset, const QSize& viewport) const;

 private:
  bool m_bWide = false;
  int m_nEdge = kMinThumbnailEdge;
  int m_nPitch = kMinThumbnailEdge + kThumbnailGap;
  int m_nLanes = 1;
  int m_nCount = 0;
};

// The files view's icon key: the lower-case extension of 1 to 7 characters,
// empty for a name without one or with a longer one.
MyString IconExtension(const MyString& path);
