#include "viewer/edit/edittools.h"

#include <cmath>
#include <numbers>

#include "corekit/straw.h"

int SelectionToImagePixels(const tagSELECTIONWINDOW& selection, SIZE image,
                           tagIMAGESELECTION* result) {
  const double factor = selection.fFactor;
  if (!(factor > 0) || image.cx <= 0 || image.cy <= 0) return 0;
  // Truncated towards zero, as the integer conversion does.
  auto pixels = [factor](double length) {
    const double value = std::trunc(length / factor);
    return value > 2e9 ? 2000000000 : value < -2e9 ? -2000000000 : int(value);
  };
  int x = pixels(double(selection.ptTopLeft.x) + selection.szFrame.cx);
  int y = pixels(double(selection.ptTopLeft.y) + selection.szFrame.cy);
  int width = pixels(selection.szClient.cx);
  int height = pixels(selection.szClient.cy);
  if (x >= image.cx || y >= image.cy) return 0;
  if (x < 0) width += x, x = 0;
  if (y < 0) height += y, y = 0;
  if (width > image.cx - x) width = image.cx - x;
  if (height > image.cy - y) height = image.cy - y;
  if (width <= 0 || height <= 0) return 0;
  *result = {x, y, width, height};
  return 1;
}

double RotationAngleFromDrag(int dx, int dy) {
  // The last quadrant's formula divides 0 by 0 for a drag that has not moved.
  if (dx == 0 && dy == 0) return 0;
  const double x = dx;
  const double y = dy;
  double radians;
  if (dx >= 0 && dy < 0)
    radians = std::atan(x / -y);
  else if (dx > 0 && dy >= 0)
    radians = std::atan(y / x) + std::numbers::pi / 2;
  else if (dx <= 0 && dy > 0)
    radians = std::atan(-x / y) + std::numbers::pi;
  else
    radians = std::atan(y / x) + 3 * std::numbers::pi / 2;
  return radians * 180 / std::numbers::pi;
}

MyString FormatRotationAngle(double degrees) { return CStrAW::printf(u"%.2f", degrees); }

MyString MeasureText(int dx, int dy) {
  const double length = std::sqrt(double(dx) * dx + double(dy) * dy);
  return CStrAW::printf(u"W:%d, H:%d, L:%0.2f", dx, dy, length);
}
