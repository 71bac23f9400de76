#pragma once
// The main window's placement (registry key "WinPos"): seven numbers
// "Prop 0Main Win" .. "Prop 6Main Win" (left, top, width, height and three
// more, of which the fifth and sixth are always 0) and "Maximized".
//
// The rectangle is the window's normal (not maximized) geometry, so a window
// maximized at exit comes back maximized and restores to the size it had
// before.

#include <array>
#include <cstdint>

class CRegistryStore;
class QWidget;

struct tagMAINWINPOS {
  std::array<int32_t, 7> nProp = {0, 0, 990, 500, 0, 0, 0};
  bool bMaximized = false;
  // Whether any placement was stored: a first start has none.
  bool bStored = false;

  int32_t Left() const { return nProp[0]; }
  int32_t Top() const { return nProp[1]; }
  int32_t Width() const { return nProp[2]; }
  int32_t Height() const { return nProp[3]; }
  // A first start and a window maximized at exit both open maximized.
  bool ShowMaximized() const { return bMaximized || !bStored; }
};

// How the main window looks as it is destroyed.
struct tagWINDOWSTATE {
  int32_t nLeft = 0, nTop = 0, nWidth = 0, nHeight = 0;  // normal geometry
  bool bMaximized = false;
  bool bMinimized = false;
};

class CWindowPlacement {
 public:
  explicit CWindowPlacement(CRegistryStore* store = nullptr);

  // A rectangle that is missing or out of range keeps the defaults as a
  // whole (a half-stored rectangle would be nobody's window).
  tagMAINWINPOS Load() const;
  // Maximized: "Maximized" = 1 and the normal rectangle. Minimized (and not
  // maximized): nothing, the last placement stays. Otherwise: the seven
  // values, and "Maximized" is deleted. previous supplies the seventh value,
  // which is kept as it was. 1 when it reached the disk.
  int Save(const tagWINDOWSTATE& state, const tagMAINWINPOS& previous);

 private:
  CRegistryStore* m_pStore;
};

// Widget side: the window's state as it closes, and the placement applied
// to a window that is about to be shown (kept on a screen).
tagWINDOWSTATE CaptureWindowState(const QWidget* window);
void ApplyWindowPlacement(QWidget* window, const tagMAINWINPOS& placement);
