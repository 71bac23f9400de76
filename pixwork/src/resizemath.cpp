#include "pixwork/resizemath.h"

#include <algorithm>
#include <cmath>

#include <Magick++.h>

#include "corekit/straw.h"

const RESIZEFILTER gResizeFilters[kResizeFilterCount] = {
    {u"Point", 1},   {u"Box", 2},       {u"Triangle", 3}, {u"Hermite", 4},   {u"Hanning", 5},
    {u"Hamming", 6}, {u"Blackman", 7},  {u"Gaussian", 8}, {u"Quadratic", 9}, {u"Cubic", 10},
    {u"Catrom", 11}, {u"Mitchell", 12}, {u"Lanczos", 13}, {u"Bessel", 14},   {u"Sinc", 15},
};

static_assert(MagickLib::PointFilter == 1 && MagickLib::LanczosFilter == 13 &&
              MagickLib::SincFilter == 15);

namespace {

// +0.5 and truncated, kept inside the 32-bit range.
uint32_t Round(double value) {
  if (!(value > 0)) return 0;
  if (value >= 4294967295.0) return 4294967295u;
  return uint32_t(value + 0.5);
}

RESIZESIDE Other(RESIZESIDE side) { return side == RS_WIDTH ? RS_HEIGHT : RS_WIDTH; }

}  // namespace

int ResizeFilterIndex(int32_t filter) {
  for (int i = 0; i < kResizeFilterCount; ++i)
    if (gResizeFilters[i].nFilter == filter) return i;
  return -1;
}

uint32_t PercentToPixels(uint32_t size, uint32_t percent) {
  return Round(double(size) * percent * 0.01);
}

uint32_t PixelsToPercent(uint32_t size, uint32_t pixels) {
  if (size == 0) return 0;
  return Round(double(pixels) * 100 / size);
}

MyString ResizeMemoryText(uint32_t width, uint32_t height) {
  double amount = double(width) * height * 3;
  const char16_t* unit = u"bytes";
  if (amount > 1024) {
    amount /= 1024;
    unit = u"Kb";
    if (amount > 1024) {
      amount /= 1024;
      unit = u"MB";
    }
  }
  return CStrAW::printf(u"%.2f %s", amount, unit);
}

CResizeCalc::CResizeCalc(uint32_t imageWidth, uint32_t imageHeight)
    : m_sides{{imageWidth, imageWidth, RU_PIXELS}, {imageHeight, imageHeight, RU_PIXELS}},
      m_fImageProportion(imageHeight ? float(imageWidth) / float(imageHeight) : 0.0f),
      m_fProportion(m_fImageProportion) {}

uint32_t CResizeCalc::ToPixels(RESIZESIDE side, uint32_t value) const {
  return m_sides[side].unit == RU_PIXELS ? value : PercentToPixels(m_sides[side].nImage, value);
}

uint32_t CResizeCalc::FromPixels(RESIZESIDE side, uint32_t pixels) const {
  return m_sides[side].unit == RU_PIXELS ? pixels : PixelsToPercent(m_sides[side].nImage, pixels);
}

uint32_t CResizeCalc::Limit(RESIZESIDE side) const {
  if (m_sides[side].unit == RU_PIXELS) return kMaxResizeSide;
  const uint32_t image = std::max<uint32_t>(m_sides[side].nImage, 1);
  return std::max<uint32_t>(kMaxResizePercentTimesSide / image, 1);
}

uint32_t CResizeCalc::ProportionalPixels(RESIZESIDE from, uint32_t pixels) const {
  const double proportion = m_fProportion;
  return Round(from == RS_WIDTH ? pixels / proportion : pixels * proportion);
}

uint32_t CResizeCalc::GetPixels(RESIZESIDE side) const {
  return std::max<uint32_t>(ToPixels(side, m_sides[side].nValue), 1);
}

void CResizeCalc::Edit(RESIZESIDE side, uint32_t value) {
  if (value == 0) value = 1;
  if (ToPixels(side, value) > kMaxResizeSide) value = Limit(side);
  m_sides[side].nValue = value;
  if (!IsConstrained()) return;

  const RESIZESIDE other = Other(side);
  uint32_t otherValue = FromPixels(other, ProportionalPixels(side, GetPixels(side)));
  if (otherValue > Limit(other) || ToPixels(other, otherValue) > kMaxResizeSide) {
    // A very narrow or very flat image: the other side stops at the limit
    // and this one is brought back into proportion with it.
    otherValue = Limit(other);
    m_sides[side].nValue = std::max<uint32_t>(
        FromPixels(side, ProportionalPixels(other, ToPixels(other, otherValue))), 1);
  }
  m_sides[other].nValue = std::max<uint32_t>(otherValue, 1);
}

void CResizeCalc::SetUnit(RESIZESIDE side, RESIZEUNIT unit) {
  SIDE& box = m_sides[side];
  if (box.unit == unit) return;
  const uint32_t pixels = ToPixels(side, box.nValue);
  box.unit = unit;
  box.nValue = std::max<uint32_t>(FromPixels(side, pixels), 1);
}

void CResizeCalc::SetConstrained(bool constrained) {
  m_fProportion = constrained ? m_fImageProportion : 0.0f;
}

MyString CResizeCalc::GetMemoryText() const {
  return ResizeMemoryText(GetPixels(RS_WIDTH), GetPixels(RS_HEIGHT));
}

SIZE BatchResizeTarget(SIZE size, const BATCHRESIZEOPTIONS& options, bool bEnlarge) {
  if (size.cx <= 0 || size.cy <= 0) return size;
  const double bound[2] = {double(options.dwWidth), double(options.dwHeight)};
  const double image[2] = {double(size.cx), double(size.cy)};
  double target[2];
  for (int i = 0; i < 2; ++i)
    target[i] = bEnlarge ? std::max(image[i], bound[i]) : std::min(image[i], bound[i]);
  if (options.bConstrain) {
    const double factorX = target[0] / image[0];
    const double factorY = target[1] / image[1];
    if (factorX < factorY)
      target[1] = image[1] * factorX;
    else
      target[0] = image[0] * factorY;
  }
  auto side = [](double length) {
    const uint32_t rounded = Round(length);
    return int32_t(std::clamp<uint32_t>(rounded, 1, 0x7FFFFFFF));
  };
  return {side(target[0]), side(target[1])};
}

namespace {

// Zooms a copy, so that a failure leaves the image as it was.
int ZoomTo(Magick::Image& image, SIZE target) {
  if (int32_t(image.columns()) == target.cx && int32_t(image.rows()) == target.cy) return 1;
  Magick::Image copy(image);
  Magick::Geometry geometry(uint32_t(target.cx), uint32_t(target.cy));
  geometry.aspect(true);  // exactly this size
  try {
    copy.zoom(geometry);
  } catch (const Magick::Warning&) {
    // The zoom was done; the library only remarks on it.
  } catch (const std::exception&) {
    return 0;
  }
  if (!copy.isValid() || int32_t(copy.columns()) != target.cx || int32_t(copy.rows()) != target.cy)
    return 0;
  image = copy;
  return 1;
}

}  // namespace

int BatchResizeImage(Magick::Image& image, const BATCHRESIZEOPTIONS& options) {
  try {
    if (!image.isValid()) return 0;
    Magick::Image work(image);
    // A number outside the list would index past the library's filter table.
    const int32_t filter =
        ResizeFilterIndex(options.nFilter) >= 0 ? options.nFilter : kDefaultResizeFilter;
    work.filterType(MagickLib::FilterTypes(filter));
    for (bool bEnlarge : {true, false}) {
      if (bEnlarge ? !options.bEnlarge : !options.bShrink) continue;
      const SIZE size{int32_t(work.columns()), int32_t(work.rows())};
      if (!ZoomTo(work, BatchResizeTarget(size, options, bEnlarge))) return 0;
    }
    image = work;
    return 1;
  } catch (const std::exception&) {
    return 0;
  }
}
