#pragma once
// Photoshop files built byte by byte for the tests of our reader.

#include <cstdint>
#include <string>
#include <vector>

struct CPsdFixture {
  uint16_t nVersion = 1;
  uint32_t nWidth = 5;
  uint32_t nHeight = 3;
  uint16_t nDepth = 8;
  uint16_t nMode = 3;  // RGB
  uint16_t nCompression = 0;
  std::string colorModeData;
  std::string imageResources = "8BIM";  // some bytes to skip
  std::string layerInfo = std::string(6, '\x01');
  // One plane per channel: rowBytes x height bytes.
  std::vector<std::vector<uint8_t>> planes;

  uint64_t RowBytes() const {
    return nDepth == 1 ? (nWidth + 7) / 8 : uint64_t(nWidth) * (nDepth / 8);
  }
  // Planes with a recognisable pattern: channel c, row y, byte x.
  void FillPattern(int channels);
  std::string Build() const;
};

// PackBits as Photoshop writes it: runs of 3 or more repeat, others literal.
std::string PackBits(const uint8_t* row, size_t size);

namespace psdfixture {

inline void Put16(std::string& out, uint16_t v) {
  out += char(v >> 8);
  out += char(v & 0xFF);
}

inline void Put32(std::string& out, uint32_t v) {
  Put16(out, uint16_t(v >> 16));
  Put16(out, uint16_t(v & 0xFFFF));
}

}  // namespace psdfixture

inline void CPsdFixture::FillPattern(int channels) {
  planes.assign(size_t(channels), std::vector<uint8_t>(RowBytes() * nHeight));
  for (int c = 0; c < channels; ++c)
    for (size_t i = 0; i < planes[size_t(c)].size(); ++i)
      planes[size_t(c)][i] = uint8_t(c * 60 + (i / RowBytes()) * 20 + (i % RowBytes()) * 3 + 1);
}

inline std::string PackBits(const uint8_t* row, size_t size) {
  std::string out;
  size_t i = 0;
  while (i < size) {
    size_t run = 1;
    while (i + run < size && run < 128 && row[i + run] == row[i]) ++run;
    if (run >= 3) {
      out += char(int8_t(1 - int(run)));
      out += char(row[i]);
      i += run;
      continue;
    }
    size_t literal = 0;
    while (i + literal < size && literal < 128) {
      if (i + literal + 2 < size && row[i + literal] == row[i + literal + 1] &&
          row[i + literal] == row[i + literal + 2])
        break;
      ++literal;
    }
    out += char(literal - 1);
    out.append(reinterpret_cast<const char*>(row + i), literal);
    i += literal;
  }
  return out;
}

inline std::string CPsdFixture::Build() const {
  std::string out = "8BPS";
  psdfixture::Put16(out, nVersion);
  out.append(6, '\0');
  psdfixture::Put16(out, uint16_t(planes.size()));
  psdfixture::Put32(out, nHeight);
  psdfixture::Put32(out, nWidth);
  psdfixture::Put16(out, nDepth);
  psdfixture::Put16(out, nMode);
  psdfixture::Put32(out, uint32_t(colorModeData.size()));
  out += colorModeData;
  psdfixture::Put32(out, uint32_t(imageResources.size()));
  out += imageResources;
  if (nVersion == 2) psdfixture::Put32(out, 0);  // high half of the 8-byte length
  psdfixture::Put32(out, uint32_t(layerInfo.size()));
  out += layerInfo;
  psdfixture::Put16(out, nCompression);
  const uint64_t rowBytes = RowBytes();
  if (nCompression == 0) {
    for (const auto& plane : planes)
      out.append(reinterpret_cast<const char*>(plane.data()), plane.size());
    return out;
  }
  std::vector<std::string> rows;
  for (const auto& plane : planes)
    for (uint32_t y = 0; y < nHeight; ++y)
      rows.push_back(PackBits(plane.data() + y * rowBytes, rowBytes));
  for (const std::string& row : rows) {
    if (nVersion == 2) psdfixture::Put16(out, 0);
    psdfixture::Put16(out, uint16_t(row.size()));
  }
  for (const std::string& row : rows) out += row;
  return out;
}
