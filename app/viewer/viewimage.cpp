#include "viewer/viewimage.h"

#include <mutex>

#include <Magick++.h>

#include "corekit/straw.h"

QImage DecodeImageForView(const MyString& path, MyString* errorText) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { Magick::InitializeMagick(nullptr); });
  try {
    Magick::Image image;
    image.read(CStrAW::w_toA(path) + "[0]");
    const int width = int(image.columns());
    const int height = int(image.rows());
    QImage out(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y)
      image.write(0, y, unsigned(width), 1, "RGBA", Magick::CharPixel, out.scanLine(y));
    return out;
  } catch (const std::exception& e) {
    if (errorText) *errorText = CStrAW::a_toW(e.what());
    return QImage();
  }
}
