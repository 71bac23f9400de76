#pragma once
// The arithmetic of the resize dialogs, free of widgets: the filter list,
// pixels and percent, the size limits, constrained proportions, the memory
// line, and the sizes a batch resize chooses.

#include <cstdint>

#include "corekit/messages.h"
#include "corekit/mystring.h"

namespace Magick {
class Image;
}

// One entry of "Filter Type :".
struct RESIZEFILTER {
  const char16_t* pszName;
  int32_t nFilter;  // GraphicsMagick's FilterTypes number
};

inline constexpr int kResizeFilterCount = 15;
extern const RESIZEFILTER gResizeFilters[kResizeFilterCount];
// Taken when the caller's filter is none of the list.
inline constexpr int32_t kDefaultResizeFilter = 13;  // "Lanczos"

// The list position of filter, or -1.
int ResizeFilterIndex(int32_t filter);

// The largest side the Resize Image dialog allows, and the same in percent
// times the image's side.
inline constexpr uint32_t kMaxResizeSide = 32768;
inline constexpr uint32_t kMaxResizePercentTimesSide = 3276800;

// size × percent / 100 and pixels × 100 / size, both rounded; 0 for a side
// of 0.
uint32_t PercentToPixels(uint32_t size, uint32_t percent);
uint32_t PixelsToPercent(uint32_t size, uint32_t pixels);

// width × height × 3 bytes as "%.2f %s" in "bytes", "Kb" or "MB".
MyString ResizeMemoryText(uint32_t width, uint32_t height);

enum RESIZEUNIT : int { RU_PIXELS, RU_PERCENT };
enum RESIZESIDE : int { RS_WIDTH, RS_HEIGHT };

// The state of the Resize Image dialog: the two boxes, each in pixels or in
// percent of the image's side, and the proportion kept between them.
class CResizeCalc {
 public:
  // Both boxes start at the image's size in pixels, proportions constrained.
  CResizeCalc(uint32_t imageWidth, uint32_t imageHeight);

  // The user typed value into a box (in the box's unit). 0 becomes 1, a
  // value past the limit becomes the limit, and with constrained
  // proportions the other box follows (in its own unit). When the other
  // box would pass the limit it stops there and this box follows it, so
  // both stay inside the limit and in proportion.
  void Edit(RESIZESIDE side, uint32_t value);
  // Shows the box in another unit, converting its value.
  void SetUnit(RESIZESIDE side, RESIZEUNIT unit);
  // Off sets the proportion to 0; on to the image's width ÷ height.
  void SetConstrained(bool constrained);

  uint32_t GetValue(RESIZESIDE side) const { return m_sides[side].nValue; }
  RESIZEUNIT GetUnit(RESIZESIDE side) const { return m_sides[side].unit; }
  // The box's value in pixels, at least 1.
  uint32_t GetPixels(RESIZESIDE side) const;
  float GetProportion() const { return m_fProportion; }
  bool IsConstrained() const { return m_fProportion != 0; }
  MyString GetMemoryText() const;

 private:
  struct SIDE {
    uint32_t nImage;  // the image's side
    uint32_t nValue;  // as shown
    RESIZEUNIT unit;
  };
  uint32_t ToPixels(RESIZESIDE side, uint32_t value) const;
  uint32_t FromPixels(RESIZESIDE side, uint32_t pixels) const;
  // The largest value the box may show in its unit.
  uint32_t Limit(RESIZESIDE side) const;
  // The other side's pixels for pixels on this side, at the proportion.
  uint32_t ProportionalPixels(RESIZESIDE from, uint32_t pixels) const;

  SIDE m_sides[2];
  float m_fImageProportion;
  float m_fProportion;
};

// The settings of the Batch Resize dialog; the width and height are the bound.
struct BATCHRESIZEOPTIONS {
  bool bEnlarge = false;   // "Enlarge small images to bound"
  bool bShrink = false;    // "Shrink large images to bound"
  bool bConstrain = true;  // "Constrain Proportions"
  uint32_t dwWidth = 0;
  uint32_t dwHeight = 0;
  int32_t nFilter = kDefaultResizeFilter;
};

// One step of a batch resize for an image of size: each side raised to its
// bound when smaller (enlarge) or lowered to it when larger (shrink); with
// proportions constrained the side with the larger factor follows the
// other. Sides are rounded and at least 1.
SIZE BatchResizeTarget(SIZE size, const BATCHRESIZEOPTIONS& options, bool bEnlarge);

// Resizes image by the options: the filter, then enlarge, then shrink. 1
// when the image now has its size (also when nothing had to change); 0 when
// GraphicsMagick failed, and the image is as it was.
int BatchResizeImage(Magick::Image& image, const BATCHRESIZEOPTIONS& options);
