#pragma once
// The "Thumbnails" tool view: the viewer's list as a scrolling grid of
// painted cells of edge T, pictures from the thumbnail workers (nearest the
// current item first), the caption lines by T, a slider for T above the
// grid, and the shared item actions. The cells are a pool of (screen width
// / T + 1) x (screen height / T + 3); item i is drawn by cell i mod pool.
// GUI thread.

#include <QAbstractScrollArea>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <vector>

#include "browse/listpointer.h"
#include "browse/listviewactions.h"
#include "browse/listviewstate.h"
#include "corekit/messages.h"
#include "corekit/mystring.h"
#include "corekit/platform.h"

class CImageView;
class CLorimoSettings;
class CListTooltip;
class CThumbnailWorkers;
class QSlider;

class CThumbnailsView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  // settings: where T is read and stored.
  CThumbnailsView(CImageView* viewer, CLorimoSettings* settings, QWidget* parent = nullptr);
  ~CThumbnailsView() override;

  // The viewer's list changed: the view resets to it (and prepares the
  // cache's mirror folders) and shows its current item.
  void ShowList();
  // Captions follow sizes and times read after the list was shown.
  void RefreshFacts();
  // The viewer shows another item: highlighted and scrolled into view.
  void SetCurrentItem(int index);
  // A file was written: its cell's picture is made again.
  void UpdateEntry(const MyString& path);
  // Every picture is asked for again (Rescan).
  void ReloadPictures();
  // The edge T (at least 100; the pool is rebuilt and T stored).
  void SetEdge(int edge);
  int GetEdge() const { return m_nEdge; }
  // Stops making pictures for good (the thumbnail cache is going).
  void DropWorkers();

  // For the tests and the benchmark.
  CListViewState& State() { return m_state; }
  CListViewActions& Actions() { return *m_pActions; }
  const CThumbnailGrid& Grid() const { return m_grid; }
  int PoolSize() const { return int(m_cells.size()); }
  QSlider* Slider() const { return m_pSlider; }
  // Whether every cell on view has its picture or its error.
  bool AllVisibleDrawn() const;
  // The caption lines the cell of index draws (name first).
  QStringList CaptionLines(int index);
  // The item at a point of the viewport; -1 for none.
  int ItemAt(const QPoint& pt) const;
  // The item's rectangle in the viewport.
  QRect ItemRect(int index) const;
  CRenameEdit* RenameEditor() const { return m_pPointer->RenameEditor(); }
  void StartRename(int index);

 signals:
  // A picture arrived and was drawn (the benchmark waits on it).
  void PictureArrived(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  enum CELLSTATE : int { CS_LOADING, CS_READY, CS_FAILED };
  struct tagCELL {
    int nIndex = -1;
    MyString path;
    QImage image;
    CELLSTATE nState = CS_LOADING;
    uint64_t nSize = 0;
    FILETIME64 ftWritten = 0;
    SIZE dimensions{0, 0};
    bool bDimensionsRead = false;
  };
  // The cell drawing index, filled for it first when it drew another.
  tagCELL& CellFor(int index);
  void BuildPool();
  void Relayout();
  int Offset() const;
  void RequestVisible();
  void ScheduleRequests();
  void OnPicture(uint64_t number, int index, const QImage& image);
  void PaintCell(QPainter& painter, tagCELL& cell, const QRect& rect);

  CImageView* m_viewer;
  CLorimoSettings* m_pSettings;
  CListViewState m_state;
  CListViewActions* m_pActions;
  CThumbnailGrid m_grid;
  int m_nEdge = kMinThumbnailEdge;
  std::vector<tagCELL> m_cells;
  std::unique_ptr<CThumbnailWorkers> m_workers;
  bool m_bDropped = false;
  QSlider* m_pSlider;
  QTimer m_requestTimer;
  CListTooltip* m_pTip;
  CListPointer* m_pPointer;
};
