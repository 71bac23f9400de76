#pragma once
// A linear DNG made from 8-bit RGB pixels, for the tests and benchmarks of
// the RAW reader: the picture as 16-bit linear samples in a raw IFD whose
// colour matrix is sRGB's, and optionally an embedded JPEG preview in
// IFD0 as cameras store it.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace dngwriter {

struct tagENTRY {
  uint16_t tag, type;
  uint32_t count;
  std::vector<uint8_t> data;  // the value's bytes (little-endian)
};

inline void Put(std::vector<uint8_t>& b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline tagENTRY Short(uint16_t tag, std::vector<uint32_t> values) {
  tagENTRY e{tag, 3, uint32_t(values.size()), {}};
  for (uint32_t v : values) Put(e.data, v, 2);
  return e;
}
inline tagENTRY Long(uint16_t tag, std::vector<uint32_t> values) {
  tagENTRY e{tag, 4, uint32_t(values.size()), {}};
  for (uint32_t v : values) Put(e.data, v, 4);
  return e;
}
inline tagENTRY Bytes(uint16_t tag, std::vector<uint8_t> values) {
  return tagENTRY{tag, 1, uint32_t(values.size()), values};
}
inline tagENTRY Ascii(uint16_t tag, const std::string& text) {
  tagENTRY e{tag, 2, uint32_t(text.size() + 1), {}};
  e.data.assign(text.begin(), text.end());
  e.data.push_back(0);
  return e;
}
// Signed (type 10) or unsigned (type 5) rationals over 10000.
inline tagENTRY Rational(uint16_t tag, std::vector<double> values, bool isSigned) {
  tagENTRY e{tag, uint16_t(isSigned ? 10 : 5), uint32_t(values.size()), {}};
  for (double v : values) {
    Put(e.data, uint32_t(int32_t(std::lround(v * 10000))), 4);
    Put(e.data, 10000, 4);
  }
  return e;
}

// Lays out IFDs (entries sorted by tag) after an 8-byte header; the offset
// entries StripOffsets (273) and SubIFDs (330) are patched to point at the
// strip of their IFD and at every later IFD.
inline std::string Build(std::vector<std::vector<tagENTRY>> ifds,
                         const std::vector<std::vector<uint8_t>>& strips) {
  std::vector<uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
  // First pass for sizes: each IFD then its out-of-line values, then strips.
  std::vector<uint32_t> ifdAt(ifds.size()), stripAt(ifds.size());
  // SubIFDs take their final count first, so that the sizes below hold.
  for (size_t i = 0; i < ifds.size(); ++i)
    for (tagENTRY& e : ifds[i])
      if (e.tag == 330) e = Long(330, std::vector<uint32_t>(ifds.size() - i - 1, 0));
  uint32_t at = 8;
  for (size_t i = 0; i < ifds.size(); ++i) {
    ifdAt[i] = at;
    at += 2 + 12 * uint32_t(ifds[i].size()) + 4;
    for (const tagENTRY& e : ifds[i])
      if (e.data.size() > 4) at += uint32_t(e.data.size() + (e.data.size() & 1));
  }
  for (size_t i = 0; i < ifds.size(); ++i) {
    stripAt[i] = at;
    at += uint32_t(strips[i].size() + (strips[i].size() & 1));
  }
  for (size_t i = 0; i < ifds.size(); ++i) {
    for (tagENTRY& e : ifds[i]) {
      if (e.tag == 273) e = Long(273, {stripAt[i]});
      if (e.tag == 330)
        e = Long(330, std::vector<uint32_t>(ifdAt.begin() + long(i) + 1, ifdAt.end()));
    }
    std::vector<tagENTRY>& entries = ifds[i];
    std::sort(entries.begin(), entries.end(),
              [](const tagENTRY& a, const tagENTRY& b) { return a.tag < b.tag; });
    uint32_t extra = ifdAt[i] + 2 + 12 * uint32_t(entries.size()) + 4;
    std::vector<uint8_t> tail;
    Put(out, uint32_t(entries.size()), 2);
    for (const tagENTRY& e : entries) {
      Put(out, e.tag, 2);
      Put(out, e.type, 2);
      Put(out, e.count, 4);
      if (e.data.size() <= 4) {
        std::vector<uint8_t> value = e.data;
        value.resize(4, 0);
        out.insert(out.end(), value.begin(), value.end());
      } else {
        Put(out, extra + uint32_t(tail.size()), 4);
        tail.insert(tail.end(), e.data.begin(), e.data.end());
        if (e.data.size() & 1) tail.push_back(0);
      }
    }
    Put(out, 0, 4);  // the chain goes through SubIFDs, not next-IFD links
    out.insert(out.end(), tail.begin(), tail.end());
  }
  for (const std::vector<uint8_t>& strip : strips) {
    out.insert(out.end(), strip.begin(), strip.end());
    if (strip.size() & 1) out.push_back(0);
  }
  return std::string(out.begin(), out.end());
}

// rgb: width * height * 3 sRGB bytes. jpegPreview: a JPEG of the picture
// (empty for none). orientation: EXIF orientation of the file. thumbnail:
// a small JPEG that then comes first, as cameras put it.
inline std::string MakeLinearDng(const std::vector<uint8_t>& rgb, uint32_t width, uint32_t height,
                                 const std::string& jpegPreview = std::string(),
                                 uint32_t previewWidth = 0, uint32_t previewHeight = 0,
                                 uint32_t orientation = 1,
                                 const std::string& thumbnail = std::string(),
                                 uint32_t thumbnailWidth = 0, uint32_t thumbnailHeight = 0) {
  // sRGB bytes to linear 16-bit samples.
  std::vector<uint8_t> samples;
  samples.reserve(rgb.size() * 2);
  for (uint8_t v : rgb) {
    const double c = v / 255.0;
    const double linear = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    Put(samples, uint32_t(std::lround(linear * 65535)), 2);
  }
  // XYZ (D65) to linear sRGB: the camera's colours are sRGB's.
  const std::vector<double> xyzToSrgb = {3.2406, -1.5372, -0.4986, -0.9689, 1.8758,
                                         0.0415, 0.0557,  -0.2040, 1.0570};
  std::vector<tagENTRY> dng = {
      Ascii(271, "Lorimo"),
      Ascii(272, "Test Camera"),
      Short(274, {orientation}),
      Bytes(50706, {1, 4, 0, 0}),
      Bytes(50707, {1, 1, 0, 0}),
      Ascii(50708, "Lorimo Test Camera"),
      Rational(50721, xyzToSrgb, true),
      Rational(50728, {1, 1, 1}, false),
      Short(50778, {21}),
  };
  std::vector<tagENTRY> raw = {
      Long(254, {0}),      Long(256, {width}),
      Long(257, {height}), Short(258, {16, 16, 16}),
      Short(259, {1}),     Short(262, {34892}),
      Long(273, {0}),      Short(277, {3}),
      Long(278, {height}), Long(279, {uint32_t(samples.size())}),
      Short(284, {1}),     Long(50717, {65535}),
  };
  if (jpegPreview.empty()) {
    dng.insert(dng.end(), raw.begin(), raw.end());
    return Build({dng}, {samples});
  }
  std::vector<tagENTRY> preview = {
      Long(254, {1}),
      Long(256, {previewWidth}),
      Long(257, {previewHeight}),
      Short(258, {8, 8, 8}),
      Short(259, {7}),
      Short(262, {6}),
      Long(273, {0}),
      Short(277, {3}),
      Long(278, {previewHeight}),
      Long(279, {uint32_t(jpegPreview.size())}),
      Short(284, {1}),
      Long(330, {0}),
  };
  if (thumbnail.empty()) {
    preview.insert(preview.end(), dng.begin(), dng.end());
    return Build({preview, raw},
                 {std::vector<uint8_t>(jpegPreview.begin(), jpegPreview.end()), samples});
  }
  std::vector<tagENTRY> small = {
      Long(254, {1}),
      Long(256, {thumbnailWidth}),
      Long(257, {thumbnailHeight}),
      Short(258, {8, 8, 8}),
      Short(259, {7}),
      Short(262, {6}),
      Long(273, {0}),
      Short(277, {3}),
      Long(278, {thumbnailHeight}),
      Long(279, {uint32_t(thumbnail.size())}),
      Short(284, {1}),
      Long(330, {0}),
  };
  small.insert(small.end(), dng.begin(), dng.end());
  preview.pop_back();  // no SubIFDs of its own
  return Build({small, preview, raw},
               {std::vector<uint8_t>(thumbnail.begin(), thumbnail.end()),
                std::vector<uint8_t>(jpegPreview.begin(), jpegPreview.end()), samples});
}

}  // namespace dngwriter
