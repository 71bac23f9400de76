#pragma once
// The tool views as windows of the main window: one dock widget per view of
// the tool-view menu, made the first time it is shown, and the navigation
// toolbar for the "Navigation" entry. A view's content comes from the part
// that owns it (SetContentFactory); until that part is in the program the
// dock stays empty. GUI thread only.

#include <QDockWidget>
#include <QObject>
#include <array>
#include <functional>

#include "shell/toolviewcommands.h"

class CEdgeBars;
class QMainWindow;
class QToolBar;

// A tool view's dock; tells when the user closes it with its close button.
class CToolViewDock : public QDockWidget {
  Q_OBJECT
 public:
  using QDockWidget::QDockWidget;

 signals:
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
};

class CToolViewDocks : public QObject, public CToolViewHost {
  Q_OBJECT
 public:
  // navigationBar: the toolbar of the "Navigation" entry (added to window
  // here). viewerAlone: whether full screen or Maximize View is on.
  CToolViewDocks(QMainWindow* window, QToolBar* navigationBar, std::function<bool()> viewerAlone);

  // The dock title of an entry: its menu text without the blank and the key.
  static QString ViewTitle(int entry);
  static Qt::DockWidgetArea DefaultArea(int entry);

  // What fills the entry's dock when it is made (parent: the dock).
  void SetContentFactory(int entry, std::function<QWidget*(QWidget* parent)> make);
  void SetToolViewEnabled(int entry, bool enabled);
  // Asked when a view's dock is made: true when it placed the dock (the
  // place the stored arrangement keeps for it), false for the default side.
  void SetDockPlacer(std::function<bool(int entry, QDockWidget* dock)> place) {
    m_placeDock = std::move(place);
  }
  // Called just before full screen or Maximize View hides the views.
  void SetBeforePanesHidden(std::function<void()> before) { m_beforeHidden = std::move(before); }

  // The bars that tucked views wait in (made with the docks, before any
  // arrangement is read).
  CEdgeBars& EdgeBars() const { return *m_edgeBars; }

  // The entry's dock, null before it was first shown (and for Navigation).
  CToolViewDock* GetDock(int entry) const;
  // The dock or the toolbar, whichever shows the entry (null when not made).
  QWidget* GetViewWindow(int entry) const;
  bool IsViewVisible(int entry) const;

  // Full screen and Maximize View hide the views that are shown, without
  // touching their flags; false brings those back.
  void SetPanesHidden(bool hidden);
  bool ArePanesHidden() const { return m_bPanesHidden; }

  // CToolViewHost
  void ShowToolView(int entry) override;
  void HideToolView(int entry) override;
  bool IsViewerAlone() const override;
  bool IsToolViewEnabled(int entry) const override;

 signals:
  void ToolViewClosed(int entry);

 private:
  CToolViewDock* MakeDock(int entry);

  QMainWindow* m_window;
  QToolBar* m_navigation;
  CEdgeBars* m_edgeBars;
  std::function<bool()> m_viewerAlone;
  std::array<CToolViewDock*, CToolViewMenu::kEntryCount> m_docks{};
  std::array<std::function<QWidget*(QWidget*)>, CToolViewMenu::kEntryCount> m_factories;
  std::array<bool, CToolViewMenu::kEntryCount> m_enabled;
  std::array<bool, CToolViewMenu::kEntryCount> m_hiddenByPanes{};
  bool m_bPanesHidden = false;
  std::function<bool(int, QDockWidget*)> m_placeDock;
  std::function<void()> m_beforeHidden;
};
