#pragma once
// 8-bit pixels in the blue, green, red, opacity layout, cols x rows row after
// row, optionally cut from a rectangular region of an image. Red-eye
// removal, the histogram and brightness/contrast run on it.
//
// GraphicsMagick may hold deeper quanta than 8 bits; the container converts
// at the boundary. A shared container reads the image's pixels in place for
// the read-only histogram and makes its own 8-bit copy only when its pixels
// are asked for or changed; it never writes into the image.
// When no pixels could be obtained, data is null and both counts are
// 0xFFFFFFFF. One thread at a time.

#include <cstdint>

#include "lorimomagick/lorimomagick.h"

class CLorimoMagickQuantum : public CLorimoMagick {
 public:
  struct PixelPacket {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t opacity;
  };

  enum HISTOGRAM {
    HISTOGRAM_LUMINOSITY = 0,
    HISTOGRAM_RED = 1,
    HISTOGRAM_GREEN = 2,
    HISTOGRAM_BLUE = 3,
  };

  CLorimoMagickQuantum();
  // The image's pixels, or those of the region when one is given. bShare:
  // read them in place (the image must outlive this object, unchanged and
  // with no other pixels fetched from it meanwhile); otherwise an owned
  // copy, with the image's format name.
  CLorimoMagickQuantum(Magick::Image& image, bool bShare, Magick::Geometry* pRegion = nullptr);
  // bShare: keep the pointer (the pixels must outlive this object).
  CLorimoMagickQuantum(const PixelPacket* pixels, uint32_t columns, uint32_t rows, bool bShare);
  // Always an owned copy of the pixels; no name and no region.
  CLorimoMagickQuantum(const CLorimoMagickQuantum& other);
  CLorimoMagickQuantum& operator=(const CLorimoMagickQuantum&) = delete;
  ~CLorimoMagickQuantum() override;

  // Pixel i in row-major order; null without data.
  PixelPacket* operator[](unsigned long i);

  // The pixels as a true-colour image (the flag is not used).
  Magick::Image Pixels2Magick(bool bPlanar = true) const override;
  const void* GetData() const override;

  bool HasData() const { return m_pData != nullptr || m_pImagePixels != nullptr; }
  bool IsShared() const { return m_bShared; }
  // The source rectangle when built from a region, else null.
  const Magick::Geometry* Region() const { return m_pRegion; }

  // Adds the level counts of the channel to the 256 bins (not cleared
  // first) and returns the plot scale: min(peak, 4 x the average bin).
  // Channels beyond blue count every pixel in bin 0. 0xFFFFFFFF without
  // bins or data. The rectangle is not used: build the container from a
  // region to restrict the count.
  unsigned histogram(HISTOGRAM channel, uint32_t* bins,
                     const Magick::Geometry* pRect = nullptr) const;
  static float luminosity(const PixelPacket& pixel);
  // Desaturates red pupils; 1 when done (or without data), 0 when cancelled
  // (rows already done keep their new red) or short of memory.
  int removeRedEye();
  // Remaps R, G, B through the window (width, centre); 1 when done, 0
  // without data or when cancelled through m_pvmMonitor.
  int brightness_contrast(uint16_t width, uint8_t centre);

 private:
  void SetNoPixels();
  // The 8-bit pixels, converting the shared image pixels on first use.
  PixelPacket* Pixels() const;
  // Pixels this object may change: a shared image is copied first.
  PixelPacket* MutablePixels();

  mutable PixelPacket* m_pData = nullptr;
  mutable bool m_bOwned = false;
  bool m_bShared = false;
  // Share mode over an image: its pixels, read in place until a copy is needed.
  const Magick::PixelPacket* m_pImagePixels = nullptr;
  Magick::Geometry* m_pRegion = nullptr;  // owned copy
};
