#pragma once
// The binding of input events to actions: which action each key, mouse
// button and wheel direction runs over the viewer, and what each action
// does (a command id, a viewer operation, or leaving full screen). The
// assignment comes from the stored "Mapping" values where there are any and
// from the built-in default elsewhere. The left mouse button follows the
// current mouse tool; only the "Custom" tool uses its mapping.
//
// Plain logic: the viewer's event filter asks it, the router runs the
// result. GUI thread only.

#include <array>
#include <cstdint>
#include <vector>

#include <QtCore/qnamespace.h>

#include "shell/mappingvalues.h"
#include "shell/vieweroperations.h"

enum INPUTACTIONKIND : int {
  IA_NONE,               // nothing happens
  IA_COMMAND,            // nValue: a command id, routed like a menu entry
  IA_OPERATION,          // nValue: a VIEWEROPERATION
  IA_LEAVE_FULL_SCREEN,  // Full Screen, when the viewer is in full screen
};

struct tagINPUTACTION {
  INPUTACTIONKIND nKind = IA_NONE;
  int nValue = 0;
  bool operator==(const tagINPUTACTION&) const = default;
};

// One entry of an action table.
struct tagACTIONENTRY {
  const char16_t* pszName;
  tagINPUTACTION action;
  int nCompanion;    // the action run when the button is released, or -1
  int nMenuCommand;  // the menu command that shows the action, or -1
};

enum MOUSEBUTTON : int { MB_LEFT, MB_RIGHT, MB_CENTER, MB_COUNT };

// Positions of some events in CMappingValues::Events().
enum : int {
  IE_FIRST_MOUSE = 32,  // "Left Button Down"
  IE_ROLLER_DOWN = 35,
  IE_ROLLER_UP = 36,
};

class CInputBinding {
 public:
  static constexpr int kWheelStep = 120;

  // A group's action table, in index order (the mouse table with the
  // release companions).
  static const std::vector<tagACTIONENTRY>& Actions(INPUTEVENTGROUP group);
  // The built-in default assignment.
  static uint32_t DefaultAction(int event);
  // The keyboard event of a key the accelerator table passes on (Ctrl+Z ...
  // Alt+Right), or -1.
  static int EventForAccelerator(int commandId);
  // The keyboard event of a key that is not an accelerator, or -1. Letter
  // keys count only unshifted; Ctrl, Alt and Meta make any key unmapped.
  static int EventForKey(int key, Qt::KeyboardModifiers modifiers);

  CInputBinding();

  // Takes the stored assignment; events without a stored value get the
  // built-in default.
  void Apply(const CMappingValues& stored);
  uint32_t GetAction(int event) const { return m_applied[size_t(event)]; }
  // What the event runs, and what its release runs (the companion of a
  // drag tool, else nothing).
  tagINPUTACTION GetPressAction(int event) const;
  tagINPUTACTION GetReleaseAction(int event) const;

  // 1070 ... 1076, or the e-mail tool (3084). 0 for any other id.
  int SetMouseTool(int commandId);
  int GetMouseTool() const { return m_nMouseTool; }

  // A button went down or up over the viewer. The release runs the
  // companion of what the press ran, even if the tool changed meanwhile.
  tagINPUTACTION OnButtonDown(MOUSEBUTTON button);
  tagINPUTACTION OnButtonUp(MOUSEBUTTON button);

  // A wheel turn (positive: away from the user). Whole steps of 120 units
  // run the direction's action once each; the rest waits for the next turn.
  // The number of steps to run, and the action in *action.
  int OnWheel(int delta, tagINPUTACTION* action);

 private:
  // The mouse action the left button runs under the current tool.
  uint32_t LeftButtonAction() const;

  std::array<uint32_t, CMappingValues::kEventCount> m_applied{};
  std::array<tagINPUTACTION, MB_COUNT> m_pendingRelease{};
  int m_nMouseTool;
  int m_nWheelRest = 0;
};
