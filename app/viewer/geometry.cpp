#include "viewer/geometry.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr char16_t kOpenImageFirst[] = u"Please Open Image First.";

// Truncates towards zero into the int range; NaN gives 0.
int TruncToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= double(INT_MAX)) return INT_MAX;
  if (value <= double(INT_MIN)) return INT_MIN;
  return int(value);
}

int ClampToInt(size_t value) { return value > size_t(INT_MAX) ? INT_MAX : int(value); }

long long Distance(int a, int b) { return std::llabs((long long)a - b); }

}  // namespace

CViewGeometry::CViewGeometry(tagIMAGEDATA& data, int nLastIndex)
    : m_data(data), m_nLastIndex(std::clamp(nLastIndex, 1, kZoomTableSize - 1)) {}

tagVIEWWARNING CViewGeometry::ImageNeededWarning(ZOOMTOOL tool) {
  switch (tool) {
    case ZT_ZOOM_IN:
      return {kOpenImageFirst, u"Lorimo: ZoomIn Image Function"};
    case ZT_ZOOM_OUT:
      return {kOpenImageFirst, u"Lorimo: ZoomOut Image Function"};
    case ZT_ZOOM_IN_PIXEL:
      return {kOpenImageFirst, u"Lorimo: ZoomInPixel Image Function"};
    case ZT_ZOOM_OUT_PIXEL:
      return {kOpenImageFirst, u"Lorimo: ZoomOutPixel Image Function"};
    case ZT_HAND:
      break;
  }
  return {kOpenImageFirst, u"Lorimo: Hand Image Function"};
}

VIEWRULE CViewGeometry::RuleInForce() const {
  if (m_bFullScreen) return VR_FULL_SCREEN;
  return m_options.bAdaptToImage ? VR_ADAPT_TO_IMAGE : VR_ADAPT_TO_WINDOW;
}

// --- Points and scroll bars ---

int CViewGeometry::MarginX() const {
  return std::max(
      0, TruncToInt((m_data.nClientWidth - double(m_data.nImageWidth) * m_data.fZoom) / 2));
}

int CViewGeometry::MarginY() const {
  return std::max(
      0, TruncToInt((m_data.nClientHeight - double(m_data.nImageHeight) * m_data.fZoom) / 2));
}

bool CViewGeometry::IsOverImage(POINT pt) const {
  if (pt.x < 0 || pt.y < 0 || pt.x >= m_data.nClientWidth || pt.y >= m_data.nClientHeight)
    return false;
  const long long left = (long long)MarginX() - m_data.nScrollX;
  const long long top = (long long)MarginY() - m_data.nScrollY;
  return pt.x >= left && pt.x < left + ZoomedLength(m_data.nImageWidth, m_data.fZoom) &&
         pt.y >= top && pt.y < top + ZoomedLength(m_data.nImageHeight, m_data.fZoom);
}

void CViewGeometry::ImagePointAt(POINT pt, double* pX, double* pY) const {
  const double zoom = m_data.fZoom;
  *pX = zoom > 0 ? (double(pt.x) + m_data.nScrollX - MarginX()) / zoom : 0.0;
  *pY = zoom > 0 ? (double(pt.y) + m_data.nScrollY - MarginY()) / zoom : 0.0;
}

tagSCROLLBARINFO CViewGeometry::ScrollBar(SCROLLBARID bar) const {
  const bool bHorz = bar == SBI_HORZ;
  tagSCROLLBARINFO info;
  info.nLength = ZoomedLength(bHorz ? m_data.nImageWidth : m_data.nImageHeight, m_data.fZoom);
  if (info.nLength == 0) return info;
  info.nPage = std::max(0, bHorz ? m_data.nClientWidth : m_data.nClientHeight);
  // A tiny window still scrolls by at least a pixel per line.
  info.nLine = std::max(1, info.nPage / 16);
  info.nMaxPos = std::max(0, info.nLength - info.nPage);
  info.nPos = bHorz ? m_data.nScrollX : m_data.nScrollY;
  return info;
}

int CViewGeometry::Scroll(SCROLLBARID bar, SCROLLACTION action, int nThumbPos) {
  const tagSCROLLBARINFO info = ScrollBar(bar);
  long long pos = info.nPos;
  switch (action) {
    case SA_LINE_UP:
      pos -= info.nLine;
      break;
    case SA_LINE_DOWN:
      pos += info.nLine;
      break;
    case SA_PAGE_UP:
      pos -= info.nPage;
      break;
    case SA_PAGE_DOWN:
      pos += info.nPage;
      break;
    case SA_THUMB:
      pos = nThumbPos;
      break;
    case SA_TOP:
      pos = 0;
      break;
    case SA_BOTTOM:
      pos = info.nMaxPos;
      break;
  }
  const int newPos = int(std::clamp<long long>(pos, 0, info.nMaxPos));
  int& stored = bar == SBI_HORZ ? m_data.nScrollX : m_data.nScrollY;
  if (newPos == stored) return GR_UNCHANGED;
  stored = newPos;
  return GR_CHANGED;
}

void CViewGeometry::ClampScroll() {
  m_data.nScrollX = std::clamp(m_data.nScrollX, 0, ScrollBar(SBI_HORZ).nMaxPos);
  m_data.nScrollY = std::clamp(m_data.nScrollY, 0, ScrollBar(SBI_VERT).nMaxPos);
}

POINT CViewGeometry::ClientCentre() const {
  return {m_data.nClientWidth / 2, m_data.nClientHeight / 2};
}

// The image point under pt goes to the centre of the client area.
void CViewGeometry::ZoomAbout(POINT pt, float fZoom) {
  const double from = m_data.fZoom;
  if (from > 0) {
    const double x =
        (double(pt.x) + m_data.nScrollX - MarginX()) * fZoom / from - m_data.nClientWidth / 2;
    const double y =
        (double(pt.y) + m_data.nScrollY - MarginY()) * fZoom / from - m_data.nClientHeight / 2;
    m_data.nScrollX = std::clamp(TruncToInt(x), 0, ZoomedLength(m_data.nImageWidth, fZoom));
    m_data.nScrollY = std::clamp(TruncToInt(y), 0, ZoomedLength(m_data.nImageHeight, fZoom));
  } else {
    m_data.nScrollX = m_data.nScrollY = 0;
  }
  m_data.fZoom = fZoom;
  ClampScroll();
}

// --- Zoom table ---

int CViewGeometry::FirstIndexNotBelow(float fZoom, int nLastSearched) const {
  for (int i = 0; i <= nLastSearched; ++i)
    if (kZoomTable[i] >= fZoom) return i;
  return nLastSearched;
}

int CViewGeometry::FirstIndexAbove(float fZoom) const {
  for (int i = 0; i <= m_nLastIndex; ++i)
    if (kZoomTable[i] > fZoom) return i;
  return m_nLastIndex;
}

int CViewGeometry::IndexBracketing(float fZoom) const {
  if (fZoom < kZoomTable[0]) return 0;
  for (int i = 0; i < m_nLastIndex; ++i)
    if (kZoomTable[i] <= fZoom && fZoom <= kZoomTable[i + 1]) return i;
  return m_nLastIndex;
}

int CViewGeometry::StepZoom(bool bIn, POINT centre) {
  if (bIn) {
    if (m_nZoomIndex >= m_nLastIndex) return GR_UNCHANGED;
    for (int i = 0; i <= m_nLastIndex; ++i) {
      if (kZoomTable[i] > m_data.fZoom) {
        m_nZoomIndex = i;
        ZoomAbout(centre, kZoomTable[i]);
        return GR_CHANGED;
      }
    }
  } else {
    if (m_nZoomIndex <= 0) return GR_UNCHANGED;
    for (int i = m_nLastIndex; i >= 0; --i) {
      if (kZoomTable[i] < m_data.fZoom) {
        m_nZoomIndex = i;
        ZoomAbout(centre, kZoomTable[i]);
        return GR_CHANGED;
      }
    }
  }
  return GR_UNCHANGED;
}

// --- Zoom commands ---

int CViewGeometry::ZoomIn(const POINT* pCursor) {
  if (!m_bHasImage) return GR_NEEDS_IMAGE;
  m_bBestFit = m_bActualSize = false;
  return StepZoom(true, pCursor && IsOverImage(*pCursor) ? *pCursor : ClientCentre());
}

int CViewGeometry::ZoomOut() {
  if (!m_bHasImage) return GR_NEEDS_IMAGE;
  m_bBestFit = m_bActualSize = false;
  return StepZoom(false, ClientCentre());
}

int CViewGeometry::ZoomInOnPixel(POINT pt) {
  if (!m_bHasImage) return GR_NEEDS_IMAGE;
  if (!IsOverImage(pt)) return GR_UNCHANGED;
  m_bBestFit = m_bActualSize = false;
  return StepZoom(true, pt);
}

int CViewGeometry::ZoomOutOnPixel(POINT pt) {
  if (!m_bHasImage) return GR_NEEDS_IMAGE;
  if (!IsOverImage(pt)) return GR_UNCHANGED;
  m_bBestFit = m_bActualSize = false;
  return StepZoom(false, pt);
}

int CViewGeometry::ActualSize() {
  if (!m_bHasImage || m_bActualSize) return GR_UNCHANGED;
  m_bActualSize = true;
  m_bBestFit = false;
  m_nZoomIndex = kActualSizeIndex;
  ZoomAbout(ClientCentre(), 1.0f);
  return GR_CHANGED;
}

int CViewGeometry::BestFit() {
  if (!m_bHasImage || m_bBestFit) return GR_UNCHANGED;
  m_bActualSize = false;
  StoreLock(false);
  const double f = FitRatio(ClientSize(), ImageSize());
  m_data.fZoom = f < 1.0 ? float(f) : 1.0f;
  m_bBestFit = true;
  m_nZoomIndex = FirstIndexNotBelow(m_data.fZoom, m_nLastIndex - 1);
  ClampScroll();
  return GR_CHANGED;
}

int CViewGeometry::RegionZoomStart(POINT pt) {
  if (!m_bHasImage) return GR_NEEDS_IMAGE;
  if (!IsOverImage(pt)) return GR_UNCHANGED;
  m_bBestFit = m_bActualSize = false;
  m_dragTool = DT_REGION_ZOOM;
  m_ptPress = pt;
  return GR_CHANGED;
}

int CViewGeometry::RegionZoomStop(POINT pt) {
  if (m_dragTool != DT_REGION_ZOOM) return GR_UNCHANGED;
  m_dragTool = DT_NONE;
  const long long dragWidth = Distance(pt.x, m_ptPress.x);
  const long long dragHeight = Distance(pt.y, m_ptPress.y);
  if (dragWidth < kRegionClickLength || dragHeight < kRegionClickLength)
    return ZoomInOnPixel(m_ptPress);

  const double fit = std::min(double(m_data.nClientWidth) / double(dragWidth),
                              double(m_data.nClientHeight) / double(dragHeight));
  const double limit = std::min(kRegionZoomLimit, kZoomTable[m_nLastIndex]);
  const float zoom = float(std::min(m_data.fZoom * fit, limit));
  const POINT middle = {int(((long long)m_ptPress.x + pt.x) / 2),
                        int(((long long)m_ptPress.y + pt.y) / 2)};
  m_nZoomIndex = IndexBracketing(zoom);
  ZoomAbout(middle, zoom);
  return GR_CHANGED;
}

int CViewGeometry::DynamicZoomStart(POINT pt) {
  if (!m_bHasImage) return GR_NEEDS_IMAGE;
  if (!IsOverImage(pt)) return GR_UNCHANGED;
  m_bBestFit = m_bActualSize = false;
  m_dragTool = DT_DYNAMIC_ZOOM;
  m_ptPress = m_ptLast = pt;
  ImagePointAt(pt, &m_fAnchorX, &m_fAnchorY);
  m_nDynamicDirection = 0;
  return GR_CHANGED;
}

int CViewGeometry::DynamicZoomMove(POINT pt) {
  if (m_dragTool != DT_DYNAMIC_ZOOM) return GR_UNCHANGED;
  const long long dy = (long long)pt.y - m_ptLast.y;
  if (std::llabs(dy) <= 1) return GR_UNCHANGED;
  m_ptLast = pt;

  const float step = 1.0f + 0.01f * float(std::llabs(dy));
  const float top = kZoomTable[m_nLastIndex];
  const float bottom = kZoomTable[0];
  float zoom = m_data.fZoom;
  if (dy < 0) {  // up: in
    if (zoom >= top) return GR_UNCHANGED;
    for (int i = 0; i < 5; ++i) zoom = float(zoom * step);
    zoom = std::min(zoom, top);
    m_nDynamicDirection = 1;
  } else {
    if (zoom <= bottom) return GR_UNCHANGED;
    for (int i = 0; i < 7; ++i) zoom = float(zoom / step);
    zoom = std::max(zoom, bottom);
    m_nDynamicDirection = -1;
  }
  m_data.fZoom = zoom;
  // The index follows, so the stepping commands go on from here.
  m_nZoomIndex = IndexBracketing(zoom);
  // Keep the noted image point under the press point.
  m_data.nScrollX = TruncToInt(m_fAnchorX * zoom + MarginX() - m_ptPress.x);
  m_data.nScrollY = TruncToInt(m_fAnchorY * zoom + MarginY() - m_ptPress.y);
  ClampScroll();
  return GR_CHANGED;
}

void CViewGeometry::DynamicZoomStop() {
  if (m_dragTool == DT_DYNAMIC_ZOOM) m_dragTool = DT_NONE;
  m_nDynamicDirection = 0;
}

int CViewGeometry::HandStart(POINT pt) {
  if (!m_bHasImage) return GR_NEEDS_IMAGE;
  m_dragTool = DT_HAND;
  m_ptLast = pt;
  return GR_CHANGED;
}

int CViewGeometry::HandMove(POINT pt) {
  if (m_dragTool != DT_HAND) return GR_UNCHANGED;
  const int oldX = m_data.nScrollX;
  const int oldY = m_data.nScrollY;
  const long long x = (long long)m_data.nScrollX + m_ptLast.x - pt.x;
  const long long y = (long long)m_data.nScrollY + m_ptLast.y - pt.y;
  m_data.nScrollX = int(std::clamp<long long>(x, 0, ScrollBar(SBI_HORZ).nMaxPos));
  m_data.nScrollY = int(std::clamp<long long>(y, 0, ScrollBar(SBI_VERT).nMaxPos));
  m_ptLast = pt;
  return m_data.nScrollX != oldX || m_data.nScrollY != oldY ? GR_CHANGED : GR_UNCHANGED;
}

void CViewGeometry::HandStop() {
  if (m_dragTool == DT_HAND) m_dragTool = DT_NONE;
}

int CViewGeometry::ToggleLock() {
  if (!m_bHasImage) return GR_UNCHANGED;
  StoreLock(!m_bLocked);
  return GR_CHANGED;
}

void CViewGeometry::StoreLock(bool bLocked) {
  m_bLocked = bLocked;
  if (m_pLockStore) *m_pLockStore = bLocked ? 1 : 0;
}

// --- Showing images and fitting ---

void CViewGeometry::PrepareForLoad() {
  m_nZoomIndex = kActualSizeIndex;
  if (!IsLocked()) m_data.nScrollX = m_data.nScrollY = 0;
  m_data.pUndoImage.reset();
  m_data.bUndoAvailable = m_data.bRedoAvailable = false;
}

tagFRAMEREQUEST CViewGeometry::ShowNewImage(bool bLoaded) {
  m_bHasImage = bLoaded;
  if (!IsLocked()) {
    m_data.fZoom = 1.0f;
    m_data.nScrollX = m_data.nScrollY = 0;
  }
  m_data.nImageWidth = ClampToInt(ImageColumns(m_data));
  m_data.nImageHeight = ClampToInt(ImageRows(m_data));
  if (RuleInForce() == VR_ADAPT_TO_WINDOW) m_bBestFit = true;
  return ApplyRule();
}

void CViewGeometry::OnResize(SIZE client) {
  m_data.nClientWidth = std::max(0, client.cx);
  m_data.nClientHeight = std::max(0, client.cy);
  // Refit only: the window was just sized, by the user or by us, so it is
  // not moved again from here.
  if (m_bBestFit && !IsLocked())
    m_data.fZoom = RuleFactor(m_bFullScreen ? VR_FULL_SCREEN : VR_ADAPT_TO_WINDOW, false);
  ClampScroll();
}

tagFRAMEREQUEST CViewGeometry::ApplyRule() { return ApplyRule(RuleInForce(), false); }

float CViewGeometry::RuleFactor(VIEWRULE rule, bool bLeavingFullScreen) const {
  const float current = m_data.fZoom;
  if (bLeavingFullScreen && !m_options.bRestoreFS) return current;
  switch (rule) {
    case VR_ADAPT_TO_WINDOW: {
      const double f = FitRatio(ClientSize(), ImageSize());
      if (m_bBestFit && f < 1.0) return float(f);
      return ChooseFitFactor(f, m_options.bEnlargeAW, m_options.bShrinkAW, 1.0f);
    }
    case VR_ADAPT_TO_IMAGE: {
      const SIZE available = AdaptToImageAvailable(m_metrics, m_options.bCenterToScreen);
      return ChooseFitFactor(FitRatio(available, ImageSize()), m_options.bEnlargeAI,
                             m_options.bShrinkAI, bLeavingFullScreen ? 1.0f : current);
    }
    case VR_FULL_SCREEN:
      return ChooseFitFactor(FitRatio(ClientSize(), ImageSize()), m_options.bEnlargeFS,
                             m_options.bShrinkFS, 1.0f);
  }
  return current;
}

tagFRAMEREQUEST CViewGeometry::ApplyRule(VIEWRULE rule, bool bLeavingFullScreen) {
  tagFRAMEREQUEST request;
  if (IsLocked()) {
    ClampScroll();
    return request;
  }
  // Adapting to the window centres it first when asked to.
  if (rule == VR_ADAPT_TO_WINDOW && m_options.bCenterToScreen)
    request = CenteredPlacement(m_metrics);
  m_data.fZoom = RuleFactor(rule, bLeavingFullScreen);
  if (rule == VR_ADAPT_TO_IMAGE) {
    const SIZE zoomed = {ZoomedLength(m_data.nImageWidth, m_data.fZoom),
                         ZoomedLength(m_data.nImageHeight, m_data.fZoom)};
    request = AdaptToImagePlacement(m_metrics, zoomed, m_options.bCenterToScreen);
  }
  ClampScroll();
  return request;
}

int CViewGeometry::EnterFullScreen(SIZE screen) {
  if (!m_bHasImage) return GR_UNCHANGED;
  m_bFullScreen = true;
  m_data.nClientWidth = std::max(0, screen.cx);
  m_data.nClientHeight = std::max(0, screen.cy);
  if (m_options.bApplyFS || m_bBestFit)
    ApplyRule(VR_FULL_SCREEN, false);
  else
    ClampScroll();
  m_nZoomIndex = FirstIndexNotBelow(m_data.fZoom, m_nLastIndex);
  return GR_CHANGED;
}

tagFRAMEREQUEST CViewGeometry::LeaveFullScreen(SIZE client) {
  if (!m_bFullScreen) return {};
  m_data.nClientWidth = std::max(0, client.cx);
  m_data.nClientHeight = std::max(0, client.cy);
  const tagFRAMEREQUEST request =
      ApplyRule(m_options.bAdaptToImage ? VR_ADAPT_TO_IMAGE : VR_ADAPT_TO_WINDOW, true);
  // The factor kept from full screen fits nothing here: the window's next
  // resize must not fit the image again.
  if (!m_options.bRestoreFS && !IsLocked()) m_bBestFit = false;
  m_bFullScreen = false;
  m_nZoomIndex = FirstIndexAbove(m_data.fZoom);
  return request;
}
