#pragma once
// The edge bars along the main window's four sides ("ZOKA_ChannelWindow"):
// a tool view tucked away leaves its dock place for a button in the bar of
// its side. The button slides the view out over the viewer; a click
// elsewhere or Escape puts it away again, and its pin docks it back where
// it came from. A bar without buttons is hidden, and so are all of them
// while full screen or Maximize View has the screen. GUI thread only.

#include <QObject>
#include <QToolBar>
#include <QToolButton>
#include <array>
#include <map>
#include <vector>

class QDockWidget;
class QMainWindow;

class CEdgeBar : public QToolBar {
  Q_OBJECT
 public:
  CEdgeBar(Qt::ToolBarArea area, QWidget* parent);
  Qt::ToolBarArea Area() const { return m_area; }

 private:
  Qt::ToolBarArea m_area;
};

// A tucked view's button; on the left and right bars its name runs down
// the bar, as the bar is narrow.
class CEdgeButton : public QToolButton {
  Q_OBJECT
 public:
  CEdgeButton(const QString& text, Qt::Orientation orientation, QWidget* parent);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Qt::Orientation m_orientation;
};

// A dock's title: its name, the tuck (pin) button, float and close.
class CDockTitle : public QWidget {
  Q_OBJECT
 public:
  explicit CDockTitle(QDockWidget* dock);
  QToolButton* TuckButton() const { return m_tuck; }
  // A tucked view shows the pin that docks it back.
  void SetTucked(bool tucked);

 signals:
  void TuckClicked();

 private:
  QToolButton* m_tuck;
};

class CEdgeBars : public QObject {
  Q_OBJECT
 public:
  // In the order of the layout file's lists.
  enum { Left, Top, Right, Bottom, Count };

  explicit CEdgeBars(QMainWindow* window);
  ~CEdgeBars() override;

  CEdgeBar* Bar(int bar) const { return m_bars[size_t(bar)]; }
  // The bar of a dock area (Left for none).
  static int BarOfArea(Qt::DockWidgetArea area);
  static Qt::DockWidgetArea AreaOfBar(int bar);

  // Takes the dock out of its place into the bar; it must be in the window.
  void Tuck(QDockWidget* dock, int bar);
  // Docks it back on its bar's side and shows it.
  void Untuck(QDockWidget* dock);
  // Untuck, or tuck into the bar of the dock's side.
  void ToggleTuck(QDockWidget* dock);
  bool IsTucked(const QDockWidget* dock) const { return m_tucked.count(dock) != 0; }
  int BarOf(const QDockWidget* dock) const;
  // The tucked docks of a bar, in button order.
  std::vector<QDockWidget*> Tucked(int bar) const;
  // The button standing for a tucked dock.
  QToolButton* ButtonOf(const QDockWidget* dock) const;

  // Shows a tucked dock over the viewer next to its bar; SlideIn hides it.
  void SlideOut(QDockWidget* dock);
  void SlideIn();
  QDockWidget* SlidOut() const { return m_slidOut; }

  // Full screen and Maximize View: every bar goes (true) or comes back.
  void SetBarsHidden(bool hidden);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct tagTUCKED {
    int nBar;
    QToolButton* button;
    QSize size;  // the dock's size when it was tucked
  };
  void UpdateBar(int bar);

  QMainWindow* m_window;
  std::array<CEdgeBar*, Count> m_bars{};
  std::map<const QDockWidget*, tagTUCKED> m_tucked;
  QDockWidget* m_slidOut = nullptr;
  bool m_bBarsHidden = false;
};
