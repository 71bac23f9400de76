#pragma once
// Showing and hiding the tool views by command: the entries of the tool-view
// menu, "Process" of the Tools menu and the Ctrl+F1 to Ctrl+F12 keys. A
// view's stored flag (CToolViewMenu) says whether it is shown; toggling it
// shows or hides the view through the host, which owns the windows. While
// the viewer has the window to itself (full screen, Maximize View) nothing
// toggles. GUI thread only.

#include "shell/commandrouter.h"
#include "shell/toolviewmenu.h"

// What the tool-view commands need from the window that holds the views.
class CToolViewHost {
 public:
  virtual ~CToolViewHost() = default;
  // Makes the view (once), docks it at its place and shows it.
  virtual void ShowToolView(int entry) = 0;
  virtual void HideToolView(int entry) = 0;
  // Full screen or Maximize View.
  virtual bool IsViewerAlone() const = 0;
  // Whether the view's menu entry can be used now.
  virtual bool IsToolViewEnabled(int entry) const { return true; }
};

class CToolViewCommands : public CCommandTarget {
 public:
  CToolViewCommands(CToolViewMenu& flags, CToolViewHost& host) : m_flags(flags), m_host(host) {}

  // The entry (in CToolViewMenu) a command toggles, or -1.
  static int EntryForCommand(int id);
  // The Ctrl+F keys, which toggle only views whose entries are enabled.
  static bool IsKeyCommand(int id);

  int OnCommand(int id) override;
  bool IsCommandEnabled(int id) const override;
  bool IsCommandChecked(int id) const override;

  // Shows every view whose flag says shown, in menu order (at start-up).
  void ShowStoredViews();
  // The user closed the view's window himself.
  void OnToolViewClosed(int entry);

 private:
  CToolViewMenu& m_flags;
  CToolViewHost& m_host;
};
