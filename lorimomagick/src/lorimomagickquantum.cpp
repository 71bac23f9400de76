#include "lorimomagick/lorimomagickquantum.h"

#include <cstring>
#include <exception>

#include "quantumpixels.h"
#include "rowrunner.h"
#include "zerobuffer.h"

CLorimoMagickQuantum::CLorimoMagickQuantum() = default;

CLorimoMagickQuantum::CLorimoMagickQuantum(Magick::Image& image, bool bShare,
                                           Magick::Geometry* pRegion)
    : m_bShared(bShare) {
  try {
    int x = 0, y = 0;
    if (pRegion != nullptr) {
      m_pRegion = new Magick::Geometry(*pRegion);
      m_nCols = pRegion->width();
      m_nRows = pRegion->height();
      x = pRegion->xNegative() ? -int(pRegion->xOff()) : int(pRegion->xOff());
      y = pRegion->yNegative() ? -int(pRegion->yOff()) : int(pRegion->yOff());
    } else {
      m_nCols = image.columns();
      m_nRows = image.rows();
    }
    const Magick::PixelPacket* pixels =
        m_nCols == 0 || m_nRows == 0 ? nullptr : image.getConstPixels(x, y, m_nCols, m_nRows);
    if (pixels == nullptr) {
      SetNoPixels();
      return;
    }
    if (bShare) {
      m_pImagePixels = pixels;
      if constexpr (kQuantumIsPixelPacket) m_pData = AsPixelPackets(pixels);
      return;
    }
    const uint64_t count = uint64_t(m_nCols) * m_nRows;
    m_pData = static_cast<PixelPacket*>(AllocateZeroed(count, sizeof(PixelPacket)));
    if (m_pData == nullptr) {
      SetNoPixels();
      return;
    }
    m_bOwned = true;
    ConvertFromQuantum(pixels, m_pData, count);
    const std::string name = image.magick();
    if (!name.empty()) magick(name.c_str());
  } catch (const std::exception&) {
    // A region the image cannot deliver leaves the container without pixels.
    SetNoPixels();
  }
}

CLorimoMagickQuantum::CLorimoMagickQuantum(const PixelPacket* pixels, uint32_t columns,
                                           uint32_t rows, bool bShare)
    : CLorimoMagick(columns, rows), m_bShared(bShare) {
  const uint64_t count = uint64_t(columns) * rows;
  if (pixels == nullptr || count == 0) {
    SetNoPixels();
  } else if (bShare) {
    m_pData = const_cast<PixelPacket*>(pixels);
  } else {
    m_pData = static_cast<PixelPacket*>(AllocateZeroed(count, sizeof(PixelPacket)));
    if (m_pData == nullptr) {
      SetNoPixels();
      return;
    }
    m_bOwned = true;
    std::memcpy(m_pData, pixels, count * sizeof(PixelPacket));
  }
}

CLorimoMagickQuantum::CLorimoMagickQuantum(const CLorimoMagickQuantum& other)
    : CLorimoMagick(other.m_nCols, other.m_nRows) {
  const PixelPacket* pixels = other.Pixels();
  const uint64_t count = uint64_t(m_nCols) * m_nRows;
  if (pixels == nullptr) {
    if (other.HasData()) SetNoPixels();
    return;
  }
  m_pData = static_cast<PixelPacket*>(AllocateZeroed(count, sizeof(PixelPacket)));
  if (m_pData == nullptr) {
    SetNoPixels();
    return;
  }
  m_bOwned = true;
  std::memcpy(m_pData, pixels, count * sizeof(PixelPacket));
}

CLorimoMagickQuantum::~CLorimoMagickQuantum() {
  if (m_bOwned) ReleaseZeroed(m_pData);
  delete m_pRegion;
}

void CLorimoMagickQuantum::SetNoPixels() {
  if (m_bOwned) ReleaseZeroed(m_pData);
  m_pData = nullptr;
  m_bOwned = false;
  m_pImagePixels = nullptr;
  m_nCols = 0xFFFFFFFF;
  m_nRows = 0xFFFFFFFF;
}

CLorimoMagickQuantum::PixelPacket* CLorimoMagickQuantum::Pixels() const {
  if (m_pData == nullptr && m_pImagePixels != nullptr) {
    const uint64_t count = uint64_t(m_nCols) * m_nRows;
    PixelPacket* copy = static_cast<PixelPacket*>(AllocateZeroed(count, sizeof(PixelPacket)));
    if (copy == nullptr) return nullptr;
    ConvertFromQuantum(m_pImagePixels, copy, count);
    m_pData = copy;
    m_bOwned = true;
  }
  return m_pData;
}

CLorimoMagickQuantum::PixelPacket* CLorimoMagickQuantum::MutablePixels() {
  if (m_pImagePixels != nullptr) {
    if (!m_bOwned) {
      // Still reading the image in place: take a copy before any change.
      const uint64_t count = uint64_t(m_nCols) * m_nRows;
      PixelPacket* copy = static_cast<PixelPacket*>(AllocateZeroed(count, sizeof(PixelPacket)));
      if (copy == nullptr) return nullptr;
      ConvertFromQuantum(m_pImagePixels, copy, count);
      m_pData = copy;
      m_bOwned = true;
    }
    m_pImagePixels = nullptr;
  }
  return m_pData;
}

CLorimoMagickQuantum::PixelPacket* CLorimoMagickQuantum::operator[](unsigned long i) {
  if (!HasData() || i >= uint64_t(m_nCols) * m_nRows) return nullptr;
  PixelPacket* pixels = MutablePixels();
  return pixels == nullptr ? nullptr : pixels + i;
}

const void* CLorimoMagickQuantum::GetData() const { return Pixels(); }

Magick::Image CLorimoMagickQuantum::Pixels2Magick(bool bPlanar) const {
  (void)bPlanar;
  const PixelPacket* pixels = Pixels();
  if (pixels == nullptr) return Magick::Image();
  try {
    Magick::Image image(Magick::Geometry(m_nCols, m_nRows), Magick::Color(0, 0, 0));
    image.modifyImage();
    image.type(Magick::TrueColorType);
    Magick::PixelPacket* target = image.setPixels(0, 0, m_nCols, m_nRows);
    if (target == nullptr) return Magick::Image();
    ConvertToQuantum(pixels, target, uint64_t(m_nCols) * m_nRows);
    image.syncPixels();
    if (have_mgk()) {
      try {
        image.magick(magick());
      } catch (const std::exception&) {
        // An unknown format name does not spoil the pixels.
      }
    }
    return image;
  } catch (const std::exception&) {
    return Magick::Image();
  }
}
