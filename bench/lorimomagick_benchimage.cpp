// A photo-like test image for the LorimoMagick benchmarks: smooth shading,
// hard edges and a little noise, the same bytes on every run.
#include <cmath>
#include <cstdint>
#include <random>

#include <Magick++.h>

Magick::Image LorimoMagickBenchImage(unsigned columns, unsigned rows) {
  static const bool ready = [] {
    Magick::InitializeMagick(nullptr);
    return true;
  }();
  (void)ready;
  Magick::Image image(Magick::Geometry(columns, rows), Magick::Color(0, 0, 0));
  image.modifyImage();
  image.type(Magick::TrueColorType);
  Magick::PixelPacket* pixels = image.setPixels(0, 0, columns, rows);
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> noise(-6, 6);
  for (unsigned y = 0; y < rows; ++y)
    for (unsigned x = 0; x < columns; ++x) {
      const double u = double(x) / columns, v = double(y) / rows;
      const bool disc = (u - 0.6) * (u - 0.6) + (v - 0.4) * (v - 0.4) < 0.04;
      const bool stripe = int(x / 37 + y / 53) % 5 == 0;
      int r = int(200 * u + 40 * std::sin(v * 9)), g = int(120 + 80 * v), b = int(180 - 120 * u);
      if (disc) r = 220, g = 40, b = 45;
      if (stripe) r /= 2, g /= 2, b /= 2;
      auto level = [&](int c) {
        c += noise(rng);
        return Magick::Quantum(257 * (c < 0 ? 0 : c > 255 ? 255 : c));
      };
      Magick::PixelPacket& p = pixels[size_t(y) * columns + x];
      p.red = level(r);
      p.green = level(g);
      p.blue = level(b);
      p.opacity = 0;
    }
  image.syncPixels();
  return image;
}
