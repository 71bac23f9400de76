#include "shell/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "corekit/registry.h"
#include "corekit/straw.h"
#include "shell/settings.h"

namespace {

constexpr int32_t kMaxCoordinate = 32767;

MyString PropName(int n) { return CStrAW::printf(u"Prop %dMain Win", n); }

bool IsPlausibleRect(const std::array<int32_t, 7>& p) {
  return p[0] >= -kMaxCoordinate && p[0] <= kMaxCoordinate && p[1] >= -kMaxCoordinate &&
         p[1] <= kMaxCoordinate && p[2] > 0 && p[2] <= kMaxCoordinate && p[3] > 0 &&
         p[3] <= kMaxCoordinate;
}

}  // namespace

CWindowPlacement::CWindowPlacement(CRegistryStore* store)
    : m_pStore(store ? store : &CRegistryStore::Instance()) {}

tagMAINWINPOS CWindowPlacement::Load() const {
  tagMAINWINPOS placement;
  CRegistry key(HKEY_CURRENT_USER, kLorimoKey, false, m_pStore);
  if (!key.SetSubKey(u"WinPos", false)) return placement;
  std::array<int32_t, 7> stored = placement.nProp;
  bool anyStored = false;
  for (int n = 0; n < 7; ++n)
    if (key.GetValue(PropName(n), stored[size_t(n)])) anyStored = true;
  if (anyStored && IsPlausibleRect(stored)) placement.nProp = stored;
  uint32_t maximized = 0;
  const bool haveMaximized = key.GetValue(u"Maximized", maximized);
  placement.bMaximized = haveMaximized && maximized == 1;
  placement.bStored = anyStored || haveMaximized;
  return placement;
}

int CWindowPlacement::Save(const tagWINDOWSTATE& state, const tagMAINWINPOS& previous) {
  if (state.bMinimized && !state.bMaximized) return 1;
  {
    CRegistry key(HKEY_CURRENT_USER, kLorimoKey, true, m_pStore);
    if (!key.SetSubKey(u"WinPos")) return 0;
    const int32_t values[7] = {state.nLeft, state.nTop, state.nWidth,     state.nHeight,
                               0,           0,          previous.nProp[6]};
    for (int n = 0; n < 7; ++n) key.SetValue(PropName(n), values[n]);
    if (state.bMaximized)
      key.SetValue(u"Maximized", uint32_t(1));
    else
      key.DeleteValue(u"Maximized");
  }
  return m_pStore->Flush();
}

tagWINDOWSTATE CaptureWindowState(const QWidget* window) {
  tagWINDOWSTATE state;
  const Qt::WindowStates flags = window->windowState();
  state.bMaximized = flags.testFlag(Qt::WindowMaximized) || flags.testFlag(Qt::WindowFullScreen);
  state.bMinimized = flags.testFlag(Qt::WindowMinimized);
  const QRect normal =
      (state.bMaximized || state.bMinimized) ? window->normalGeometry() : window->geometry();
  state.nLeft = normal.x();
  state.nTop = normal.y();
  state.nWidth = normal.width();
  state.nHeight = normal.height();
  return state;
}

void ApplyWindowPlacement(QWidget* window, const tagMAINWINPOS& placement) {
  QRect rect(placement.Left(), placement.Top(), placement.Width(), placement.Height());
  // A placement stored on a screen that is gone would open the window out
  // of reach: bring it back to the top-left corner of the main screen.
  bool onScreen = false;
  for (const QScreen* screen : QGuiApplication::screens())
    if (screen->availableGeometry().intersects(rect)) onScreen = true;
  if (!onScreen)
    if (const QScreen* primary = QGuiApplication::primaryScreen())
      rect.moveTopLeft(primary->availableGeometry().topLeft());
  window->setGeometry(rect);
  if (placement.ShowMaximized())
    window->setWindowState(window->windowState() | Qt::WindowMaximized);
}
