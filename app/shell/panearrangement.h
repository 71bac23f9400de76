#pragma once
// Where the tool views sit in the main window, as the pane trees of the
// layout file: captured from the window's docks and applied back to them.
//
// A view's pane is identified by the command that toggles it (200, 225,
// 232, 354, 3087, ...), which never changes. A docked side becomes one
// tree: views stacked or side by side are splits (the second part's side,
// bottom or right, gives the direction; shares and sizes from the docks'
// sizes), views sharing a place are a tab group with its current tab, and
// the navigation toolbar is a leaf of its own. Floating views keep their
// rectangles. The splits and tab groups themselves are numbered 1, 2, ...
// (no view has so small a number).
//
// Views that do not exist when the arrangement is applied wait for it: the
// dock made later asks PlaceNewDock and goes next to the views it was with.
// Records of views never made in this run are written back as they were.
// GUI thread only.

#include <QRect>
#include <vector>

#include "corekit/mystring.h"
#include "shell/layoutfile.h"

class CToolViewDocks;
class QDockWidget;
class QMainWindow;

class CPaneArrangement {
 public:
  CPaneArrangement(QMainWindow* window, CToolViewDocks* docks);

  // The pane identifier of a tool-view entry, and back (0 / -1 for none).
  static int32_t IdOfEntry(int entry);
  static int EntryOfId(int32_t id);

  // The arrangement the window shows now.
  tagLAYOUT Capture() const;
  // Places the views that exist as the layout says and keeps the layout for
  // the views made later. Visibility is left alone.
  void Apply(const tagLAYOUT& layout);
  // A dock made for entry: placed where the applied layout had it. false
  // when the layout does not know it (the caller places it).
  bool PlaceNewDock(int entry, QDockWidget* dock);

  // Full screen or Maximize View is about to hide the panes: what is shown
  // now is what the next start should see.
  void RememberBeforeHiding();
  // What is written at exit: the arrangement before the panes were hidden
  // (or the current one), with the records of views not made in this run.
  tagLAYOUT ForSaving() const;

  // Reads the layout file (or its default) and applies it; the file's
  // run-time identifiers raise GetNextRuntimePaneId().
  CLayoutFile::READRESULT Read(const MyString& path);
  // 1 when written; 0 with the old file kept and *error saying why.
  int Write(const MyString& path, MyString* error = nullptr) const;

  int32_t GetNextRuntimePaneId() const { return m_nNextRuntimeId; }

 private:
  QDockWidget* DockOf(int32_t id) const;
  void PlaceRoot(const tagLAYOUTPANE& root, bool inBar, int bar);

  QMainWindow* m_window;
  CToolViewDocks* m_docks;
  tagLAYOUT m_waiting;
  tagLAYOUT m_beforeHiding;
  bool m_bHaveBeforeHiding = false;
  int32_t m_nNextRuntimeId = tagLAYOUTPANE::kLastFixedId + 1;
};
