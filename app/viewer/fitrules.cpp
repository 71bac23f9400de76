#include "viewer/fitrules.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

// Keeps the window inside the work area: no larger than it, and moved back
// in when it sticks out.
RECT KeepInside(RECT rc, const RECT& work) {
  const int width = std::min(Width(rc), std::max(0, Width(work)));
  const int height = std::min(Height(rc), std::max(0, Height(work)));
  rc.left = std::clamp(rc.left, work.left, std::max(work.left, work.right - width));
  rc.top = std::clamp(rc.top, work.top, std::max(work.top, work.bottom - height));
  rc.right = rc.left + width;
  rc.bottom = rc.top + height;
  return rc;
}

RECT CentredOn(const RECT& work, int width, int height) {
  RECT rc;
  rc.left = work.left + (Width(work) - width) / 2;
  rc.top = work.top + (Height(work) - height) / 2;
  rc.right = rc.left + width;
  rc.bottom = rc.top + height;
  return rc;
}

tagFRAMEREQUEST RequestFor(const RECT& rcWindow, const tagWINDOWMETRICS& metrics) {
  tagFRAMEREQUEST request;
  // Nothing measured yet: leave the window where it is.
  if (Width(metrics.rcWorkArea) <= 0 || Height(metrics.rcWorkArea) <= 0) return request;
  request.bPlace = true;
  request.rcWindow = KeepInside(rcWindow, metrics.rcWorkArea);
  request.szClient.cx = std::max(0, Width(request.rcWindow) - metrics.szFrame.cx);
  request.szClient.cy = std::max(0, Height(request.rcWindow) - metrics.szFrame.cy);
  return request;
}

}  // namespace

double FitRatio(SIZE available, SIZE image) {
  const double fx = double(std::max(1, available.cx)) / std::max(1, image.cx);
  const double fy = double(std::max(1, available.cy)) / std::max(1, image.cy);
  return std::min(fx, fy);
}

float ChooseFitFactor(double f, bool bEnlarge, bool bShrink, float fNeither) {
  if (bEnlarge && bShrink) return float(f);
  if (bEnlarge) return f > 1.0 ? float(f) : 1.0f;
  if (bShrink) return f < 1.0 ? float(f) : 1.0f;
  return fNeither;
}

int ZoomedLength(int nLength, float fZoom) {
  const double length = double(nLength) * double(fZoom);
  if (!(length > 0)) return 0;  // also NaN
  if (length >= double(INT_MAX)) return INT_MAX;
  return int(length);
}

SIZE AdaptToImageAvailable(const tagWINDOWMETRICS& metrics, bool bCenter) {
  const RECT& work = metrics.rcWorkArea;
  SIZE available;
  if (bCenter) {
    available.cx = Width(work);
    available.cy = Height(work);
  } else {
    available.cx = work.right - metrics.rcWindow.left;
    available.cy = work.bottom - metrics.rcWindow.top;
  }
  available.cx -= metrics.szFrame.cx + metrics.szPanes.cx + kAdaptedBorder;
  available.cy -= metrics.szFrame.cy + metrics.szPanes.cy + kAdaptedBorder;
  return available;
}

tagFRAMEREQUEST AdaptToImagePlacement(const tagWINDOWMETRICS& metrics, SIZE zoomedImage,
                                      bool bCenter) {
  const auto clientLength = [](int panes, int scrollBar, int image) {
    const long long wanted = (long long)panes + scrollBar + image;
    return int(std::clamp<long long>(wanted, kMinAdaptedClient, INT_MAX / 2)) + kAdaptedBorder;
  };
  const int clientWidth = clientLength(metrics.szPanes.cx, metrics.szScrollBars.cx, zoomedImage.cx);
  const int clientHeight =
      clientLength(metrics.szPanes.cy, metrics.szScrollBars.cy, zoomedImage.cy);
  const int width = clientWidth + metrics.szFrame.cx;
  const int height = clientHeight + metrics.szFrame.cy;

  RECT rc;
  if (bCenter) {
    rc = CentredOn(metrics.rcWorkArea, std::min(width, Width(metrics.rcWorkArea)),
                   std::min(height, Height(metrics.rcWorkArea)));
  } else {
    rc.left = metrics.rcWindow.left;
    rc.top = metrics.rcWindow.top;
    rc.right = rc.left + width;
    rc.bottom = rc.top + height;
  }
  return RequestFor(rc, metrics);
}

tagFRAMEREQUEST CenteredPlacement(const tagWINDOWMETRICS& metrics) {
  const RECT& work = metrics.rcWorkArea;
  const int width = std::min(Width(metrics.rcWindow), Width(work));
  const int height = std::min(Height(metrics.rcWindow), Height(work));
  return RequestFor(CentredOn(work, width, height), metrics);
}
