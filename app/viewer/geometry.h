#pragma once
// CViewGeometry: the viewer's zoom, scroll and fit logic over its geometry
// record, free of widgets. The viewer widget hands it client-pixel points
// and sizes, calls one member per command or mouse event, and then draws
// the record, sets its scroll bars from ScrollBar() and shows any warning.
// GUI thread only.

#include <cstdint>

#include "corekit/messages.h"
#include "viewer/fitrules.h"
#include "viewer/imagedata.h"

// The view options the rules read ("View Options"), filled by the caller.
// The defaults are those of a fresh installation.
struct tagGEOMETRYOPTIONS {
  bool bAdaptToImage = false;  // AI; AW when off
  bool bEnlargeAI = false;
  bool bShrinkAI = false;
  bool bEnlargeAW = false;
  bool bShrinkAW = true;
  bool bEnlargeFS = false;
  bool bShrinkFS = true;
  bool bCenterToScreen = false;
  bool bApplyFS = true;    // fit when entering full screen
  bool bRestoreFS = true;  // fit again when leaving it
};

// The display rule in force.
enum VIEWRULE : int { VR_ADAPT_TO_IMAGE, VR_ADAPT_TO_WINDOW, VR_FULL_SCREEN };

// Results of the commands: GR_CHANGED means refresh the scroll bars, redraw
// and notify the navigator views; GR_NEEDS_IMAGE means show the tool's
// ImageNeededWarning().
enum GEOMETRYRESULT : int { GR_NEEDS_IMAGE = -1, GR_UNCHANGED = 0, GR_CHANGED = 1 };

// Which caption a missing image is reported under.
enum ZOOMTOOL : int {
  ZT_ZOOM_IN,
  ZT_ZOOM_OUT,
  ZT_ZOOM_IN_PIXEL,
  ZT_ZOOM_OUT_PIXEL,
  ZT_HAND,  // also region and dynamic zoom
};

// The drag tool holding the mouse between press and release.
enum DRAGTOOL : int { DT_NONE, DT_REGION_ZOOM, DT_DYNAMIC_ZOOM, DT_HAND };

enum SCROLLBARID : int { SBI_HORZ, SBI_VERT };

enum SCROLLACTION : int {
  SA_LINE_UP,  // also left
  SA_LINE_DOWN,
  SA_PAGE_UP,
  SA_PAGE_DOWN,
  SA_THUMB,  // dragging the thumb: the position is given
  SA_TOP,
  SA_BOTTOM,
};

struct tagVIEWWARNING {
  const char16_t* pszText;
  const char16_t* pszCaption;
};

// One scroll bar: positions run from 0 to nMaxPos; a factor of 0 empties it.
struct tagSCROLLBARINFO {
  int nLength = 0;  // the zoomed image's length: units 0 .. nLength - 1
  int nPage = 0;    // the client length
  int nLine = 0;    // a line step
  int nPos = 0;
  int nMaxPos = 0;
};

class CViewGeometry {
 public:
  static constexpr int kZoomTableSize = 23;
  static constexpr float kZoomTable[kZoomTableSize] = {
      0.1f, 0.2f, 0.3f,  0.4f,  0.5f,  0.6f,  0.8f,  1.0f,   1.5f,   2.0f,   3.0f,  4.0f,
      5.0f, 8.0f, 12.0f, 20.0f, 40.0f, 60.0f, 80.0f, 100.0f, 130.0f, 160.0f, 200.0f};
  static constexpr int kActualSizeIndex = 7;
  // The last entry the zoom commands reach on this system (20 times).
  static constexpr int kLastZoomIndex = 15;
  static constexpr float kRegionZoomLimit = 200.0f;
  // A region drag shorter than this either way is a click.
  static constexpr int kRegionClickLength = 5;

  // data is the viewer's record; it must outlive this object. nLastIndex
  // is the last usable zoom entry (kLastZoomIndex here).
  explicit CViewGeometry(tagIMAGEDATA& data, int nLastIndex = kLastZoomIndex);

  static tagVIEWWARNING ImageNeededWarning(ZOOMTOOL tool);

  // --- Settings and surroundings ---
  void SetOptions(const tagGEOMETRYOPTIONS& options) { m_options = options; }
  const tagGEOMETRYOPTIONS& Options() const { return m_options; }
  // Where Lock Zoom and Scroll is kept ("Sel ZS"); written on every change
  // the user makes. May be null.
  void SetLockStore(uint8_t* pFlag) { m_pLockStore = pFlag; }
  // The stored state, taken when the toolbox is built.
  void SetLocked(bool bLocked) { m_bLocked = bLocked; }
  // An animated image plays with the lock on; the user's state is kept
  // apart and comes back when it stops.
  void SetLockForced(bool bForced) { m_bLockForced = bForced; }
  void SetWindowMetrics(const tagWINDOWMETRICS& metrics) { m_metrics = metrics; }

  // --- State ---
  const tagIMAGEDATA& Data() const { return m_data; }
  bool HasImage() const { return m_bHasImage; }
  float Zoom() const { return m_data.fZoom; }
  int ZoomIndex() const { return m_nZoomIndex; }
  int LastIndex() const { return m_nLastIndex; }
  bool IsBestFit() const { return m_bBestFit; }
  bool IsActualSize() const { return m_bActualSize; }
  bool IsLocked() const { return m_bLocked || m_bLockForced; }
  bool IsFullScreen() const { return m_bFullScreen; }
  VIEWRULE RuleInForce() const;
  DRAGTOOL DragTool() const { return m_dragTool; }
  // +1 while dynamic zoom last zoomed in, -1 out, 0 otherwise (the cursor).
  int DynamicZoomDirection() const { return m_nDynamicDirection; }

  // --- Points and scroll bars ---
  // Left and top of the image in the client area when it is smaller than it.
  int MarginX() const;
  int MarginY() const;
  bool IsOverImage(POINT pt) const;
  // The image pixel under a client point, with its fraction.
  void ImagePointAt(POINT pt, double* pX, double* pY) const;
  tagSCROLLBARINFO ScrollBar(SCROLLBARID bar) const;
  int Scroll(SCROLLBARID bar, SCROLLACTION action, int nThumbPos = 0);

  // --- Zoom commands ---
  // pCursor: the mouse in client pixels, null when it is outside the viewer.
  int ZoomIn(const POINT* pCursor);
  int ZoomOut();
  // pt: where the button was pressed.
  int ZoomInOnPixel(POINT pt);
  int ZoomOutOnPixel(POINT pt);
  int ActualSize();
  int BestFit();
  // GR_CHANGED from a Start means "capture the mouse"; the tool ends with Stop.
  int RegionZoomStart(POINT pt);
  int RegionZoomStop(POINT pt);
  int DynamicZoomStart(POINT pt);
  int DynamicZoomMove(POINT pt);
  void DynamicZoomStop();
  int HandStart(POINT pt);
  int HandMove(POINT pt);
  void HandStop();
  // Lock Zoom and Scroll; GR_CHANGED when it toggled.
  int ToggleLock();

  // --- Showing images and fitting ---
  // Before a load: zoom entry 1.0, scroll home unless locked, no undo.
  void PrepareForLoad();
  // An edited image shown as a new one stands at the 1.0 entry.
  void ResetZoomIndex() { m_nZoomIndex = kActualSizeIndex; }
  // After a load (bLoaded 0 for the black stand-in): takes the image size
  // from the record and applies the rule in force.
  tagFRAMEREQUEST ShowNewImage(bool bLoaded);
  // The viewer's client area changed size.
  void OnResize(SIZE client);
  // Applies the rule in force.
  tagFRAMEREQUEST ApplyRule();
  // screen: the size of the screen the viewer now covers. GR_UNCHANGED
  // (nothing to do) without an image; the caller has already refused while
  // the e-mail dialog is up.
  int EnterFullScreen(SIZE screen);
  // client: the viewer's size back in the main window.
  tagFRAMEREQUEST LeaveFullScreen(SIZE client);

 private:
  // bLeavingFullScreen: the factor changes only with RestoreFS.
  tagFRAMEREQUEST ApplyRule(VIEWRULE rule, bool bLeavingFullScreen);
  float RuleFactor(VIEWRULE rule, bool bLeavingFullScreen) const;
  SIZE ImageSize() const { return {m_data.nImageWidth, m_data.nImageHeight}; }
  SIZE ClientSize() const { return {m_data.nClientWidth, m_data.nClientHeight}; }
  POINT ClientCentre() const;
  void ZoomAbout(POINT pt, float fZoom);
  int StepZoom(bool bIn, POINT centre);
  void ClampScroll();
  void StoreLock(bool bLocked);
  int FirstIndexNotBelow(float fZoom, int nLastSearched) const;
  int FirstIndexAbove(float fZoom) const;
  int IndexBracketing(float fZoom) const;

  tagIMAGEDATA& m_data;
  tagGEOMETRYOPTIONS m_options;
  tagWINDOWMETRICS m_metrics{};
  uint8_t* m_pLockStore = nullptr;
  int m_nLastIndex;
  int m_nZoomIndex = kActualSizeIndex;
  bool m_bHasImage = false;
  bool m_bBestFit = true;
  bool m_bActualSize = false;
  bool m_bLocked = false;
  bool m_bLockForced = false;
  bool m_bFullScreen = false;
  DRAGTOOL m_dragTool = DT_NONE;
  POINT m_ptPress;        // where the drag tool started
  POINT m_ptLast;         // the hand's and dynamic zoom's last point
  double m_fAnchorX = 0;  // the image point dynamic zoom keeps under the press point
  double m_fAnchorY = 0;
  int m_nDynamicDirection = 0;
};
