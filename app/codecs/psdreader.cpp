#include "codecs/psdreader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

bool CPsdMemorySource::Read(void* buffer, size_t n) {
  if (n > m_nSize - m_nPos) return false;
  if (n) std::memcpy(buffer, m_pData + m_nPos, n);
  m_nPos += n;
  return true;
}

bool CPsdMemorySource::Skip(uint64_t n) {
  if (n > m_nSize - m_nPos) return false;
  m_nPos += size_t(n);
  return true;
}

CPsdFileSource::CPsdFileSource(std::FILE* file) : m_pFile(file) {
  const long start = std::ftell(file);
  if (start < 0 || std::fseek(file, 0, SEEK_END) != 0) return;
  const long end = std::ftell(file);
  std::fseek(file, start, SEEK_SET);
  if (end >= start) m_nSize = uint64_t(end - start);
}

bool CPsdFileSource::Read(void* buffer, size_t n) {
  if (n > m_nSize - m_nPos) return false;
  if (n && std::fread(buffer, 1, n, m_pFile) != n) return false;
  m_nPos += n;
  return true;
}

bool CPsdFileSource::Skip(uint64_t n) {
  if (n > m_nSize - m_nPos) return false;
  if (std::fseek(m_pFile, long(n), SEEK_CUR) != 0) return false;
  m_nPos += n;
  return true;
}

namespace {

int Fail(std::string* error, const char* why) {
  if (error) *error = why;
  return 0;
}

bool ReadU16(CPsdSource& source, uint16_t* value) {
  uint8_t b[2];
  if (!source.Read(b, 2)) return false;
  *value = uint16_t(b[0] << 8 | b[1]);
  return true;
}

bool ReadU32(CPsdSource& source, uint32_t* value) {
  uint8_t b[4];
  if (!source.Read(b, 4)) return false;
  *value = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
  return true;
}

bool ReadU64(CPsdSource& source, uint64_t* value) {
  uint32_t high, low;
  if (!ReadU32(source, &high) || !ReadU32(source, &low)) return false;
  *value = uint64_t(high) << 32 | low;
  return true;
}

int ReadHeader(CPsdSource& source, CPsdHeader* header, std::string* error) {
  char signature[4];
  if (!source.Read(signature, 4) || std::memcmp(signature, "8BPS", 4) != 0)
    return Fail(error, "not a Photoshop file");
  if (!ReadU16(source, &header->nVersion) || !source.Skip(6) ||
      !ReadU16(source, &header->nChannels) || !ReadU32(source, &header->nHeight) ||
      !ReadU32(source, &header->nWidth) || !ReadU16(source, &header->nDepth) ||
      !ReadU16(source, &header->nMode))
    return Fail(error, "file is truncated");
  if (header->nVersion != 1 && header->nVersion != 2)
    return Fail(error, "unsupported Photoshop version");
  if (header->nChannels < 1 || header->nChannels > kPsdMaxChannels)
    return Fail(error, "bad channel count");
  const uint32_t maxSide = header->nVersion == 1 ? 30000 : kPsdMaxSide;
  if (header->nWidth < 1 || header->nHeight < 1 || header->nWidth > maxSide ||
      header->nHeight > maxSide || uint64_t(header->nWidth) * header->nHeight > kPsdMaxPixels)
    return Fail(error, "bad image size");
  return 1;
}

// Skips a section made of its length and that many bytes.
int SkipSection(CPsdSource& source, bool longLength, std::string* error) {
  uint64_t length;
  if (longLength) {
    if (!ReadU64(source, &length)) return Fail(error, "file is truncated");
  } else {
    uint32_t length32;
    if (!ReadU32(source, &length32)) return Fail(error, "file is truncated");
    length = length32;
  }
  if (!source.Skip(length)) return Fail(error, "file is truncated");
  return 1;
}

// Expands PackBits data into plane; false when the data ends first. A run
// that would pass the end of the plane is cut there.
bool UnpackBits(const uint8_t* in, size_t inSize, uint8_t* plane, size_t planeSize) {
  size_t i = 0, o = 0;
  while (o < planeSize) {
    if (i >= inSize) return false;
    const int header = int8_t(in[i++]);
    if (header >= 0) {
      const size_t count = size_t(header) + 1;
      if (count > inSize - i) return false;
      const size_t copy = std::min(count, planeSize - o);
      std::memcpy(plane + o, in + i, copy);
      i += count;
      o += copy;
    } else if (header != -128) {
      if (i >= inSize) return false;
      const size_t count = std::min(size_t(1 - header), planeSize - o);
      std::memset(plane + o, in[i++], count);
      o += count;
    }
  }
  return true;
}

bool Allocate(std::vector<uint8_t>& buffer, uint64_t size) {
  try {
    buffer.assign(size_t(size), 0);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// Reads the image data section: the compression, then channels planes of
// rowBytes x height bytes each. The first keep planes are kept, the others
// skipped. Sizes are checked against the bytes left before allocating.
int ReadImageData(CPsdSource& source, const CPsdHeader& header, uint64_t rowBytes, size_t keep,
                  std::vector<std::vector<uint8_t>>* planes, std::string* error) {
  uint16_t compression;
  if (!ReadU16(source, &compression)) return Fail(error, "file is truncated");
  const uint32_t channels = header.nChannels;
  const uint64_t planeBytes = rowBytes * header.nHeight;
  keep = std::min<size_t>(keep, channels);
  planes->clear();

  if (compression == 0) {
    if (planeBytes * channels > source.Remaining()) return Fail(error, "file is truncated");
    planes->resize(keep);
    for (uint32_t c = 0; c < channels; ++c) {
      if (c >= keep) {
        if (!source.Skip(planeBytes)) return Fail(error, "file is truncated");
        continue;
      }
      if (!Allocate((*planes)[c], planeBytes)) return Fail(error, "out of memory");
      if (!source.Read((*planes)[c].data(), size_t(planeBytes)))
        return Fail(error, "file is truncated");
    }
    return 1;
  }
  if (compression != 1) return Fail(error, "unsupported compression");

  // PackBits: first the compressed length of every row of every channel.
  const size_t countBytes = header.nVersion == 2 ? 4 : 2;
  const uint64_t rows = uint64_t(channels) * header.nHeight;
  if (rows * countBytes > source.Remaining()) return Fail(error, "file is truncated");
  std::vector<uint64_t> channelBytes(channels, 0);
  {
    uint8_t chunk[4096];
    uint64_t row = 0;
    while (row < rows) {
      const size_t n = size_t(std::min<uint64_t>(rows - row, sizeof(chunk) / countBytes));
      if (!source.Read(chunk, n * countBytes)) return Fail(error, "file is truncated");
      for (size_t k = 0; k < n; ++k, ++row) {
        const uint8_t* p = chunk + k * countBytes;
        const uint64_t length = countBytes == 2 ? uint64_t(p[0] << 8 | p[1])
                                                : uint64_t(p[0]) << 24 | uint64_t(p[1]) << 16 |
                                                      uint64_t(p[2]) << 8 | p[3];
        channelBytes[size_t(row / header.nHeight)] += length;
      }
    }
  }
  uint64_t total = 0;
  for (uint64_t bytes : channelBytes) total += bytes;
  if (total > source.Remaining()) return Fail(error, "file is truncated");
  // Two bytes expand to at most 128, so a channel that claims fewer bytes
  // than its rows need cannot fill its plane: refuse it before allocating.
  const uint64_t minimumRowBytes = 2 * ((rowBytes + 127) / 128);
  for (size_t c = 0; c < keep; ++c)
    if (channelBytes[c] < minimumRowBytes * header.nHeight) return Fail(error, "file is truncated");

  planes->resize(keep);
  std::vector<uint8_t> packed;
  for (uint32_t c = 0; c < channels; ++c) {
    if (c >= keep) {
      if (!source.Skip(channelBytes[c])) return Fail(error, "file is truncated");
      continue;
    }
    if (!Allocate(packed, channelBytes[c]) || !Allocate((*planes)[c], planeBytes))
      return Fail(error, "out of memory");
    if (!source.Read(packed.data(), packed.size())) return Fail(error, "file is truncated");
    if (!UnpackBits(packed.data(), packed.size(), (*planes)[c].data(), size_t(planeBytes)))
      return Fail(error, "file is truncated");
  }
  return 1;
}

constexpr uint16_t Expand8(uint8_t v) { return uint16_t(v * 257); }

// One sample of a plane as 16 bits. Float samples are linear light.
uint16_t Sample16(const std::vector<uint8_t>& plane, uint16_t depth, uint64_t rowBytes, uint32_t x,
                  uint32_t y) {
  const uint8_t* row = plane.data() + rowBytes * y;
  switch (depth) {
    case 1:
      // In bitmap mode a set bit is black.
      return (row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 65535;
    case 8:
      return Expand8(row[x]);
    case 16:
      return uint16_t(row[2 * x] << 8 | row[2 * x + 1]);
    default: {
      const uint8_t* p = row + 4 * size_t(x);
      const uint32_t bits =
          uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
      float value;
      std::memcpy(&value, &bits, 4);
      if (!(value > 0.0f)) return 0;  // also NaN
      if (value >= 1.0f) return 65535;
      return uint16_t(std::lround(std::pow(double(value), 1.0 / 2.2) * 65535.0));
    }
  }
}

uint16_t Clamp16(double v) { return uint16_t(std::lround(std::clamp(v, 0.0, 1.0) * 65535.0)); }

double SrgbGamma(double linear) {
  return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

// CIE Lab (D50, as Photoshop stores it) to sRGB.
void LabToRgb(uint16_t l16, uint16_t a16, uint16_t b16, uint16_t* rgb) {
  const double L = l16 / 65535.0 * 100.0;
  const double a = a16 / 257.0 - 128.0;
  const double b = b16 / 257.0 - 128.0;
  const double fy = (L + 16.0) / 116.0;
  const double fx = fy + a / 500.0;
  const double fz = fy - b / 200.0;
  auto inverse = [](double f) {
    return f > 6.0 / 29.0 ? f * f * f : 3.0 * (6.0 / 29.0) * (6.0 / 29.0) * (f - 4.0 / 29.0);
  };
  const double X = 0.96422 * inverse(fx);
  const double Y = inverse(fy);
  const double Z = 0.82521 * inverse(fz);
  // XYZ (D50) to linear sRGB, with Bradford adaptation to D65 folded in.
  const double r = 3.1338561 * X - 1.6168667 * Y - 0.4906146 * Z;
  const double g = -0.9787684 * X + 1.9161415 * Y + 0.0334540 * Z;
  const double bl = 0.0719453 * X - 0.2289914 * Y + 1.4052427 * Z;
  rgb[0] = Clamp16(SrgbGamma(r));
  rgb[1] = Clamp16(SrgbGamma(g));
  rgb[2] = Clamp16(SrgbGamma(bl));
}

}  // namespace

int CPhotoshopReader::Read(CPsdSource& source, CPsdPlanes* result, std::string* error) {
  result->planes.clear();
  CPsdHeader header;
  if (!ReadHeader(source, &header, error)) return 0;
  if (header.nVersion != 1) return Fail(error, "unsupported Photoshop version");
  if (header.nDepth != 8) return Fail(error, "unsupported depth");
  if (header.nMode != kPsdModeRGB) return Fail(error, "unsupported colour mode");
  for (int section = 0; section < 3; ++section)
    if (!SkipSection(source, false, error)) return 0;
  std::vector<std::vector<uint8_t>> planes;
  if (!ReadImageData(source, header, header.nWidth, kPsdKeptPlanes, &planes, error)) return 0;
  result->nWidth = header.nWidth;
  result->nHeight = header.nHeight;
  result->planes = std::move(planes);
  return 1;
}

int CPhotoshopCompositeReader::Read(CPsdSource& source, CPsdComposite* result, std::string* error) {
  result->samples.clear();
  CPsdHeader header;
  if (!ReadHeader(source, &header, error)) return 0;
  const uint16_t depth = header.nDepth;
  const uint16_t mode = header.nMode;
  if (depth != 1 && depth != 8 && depth != 16 && depth != 32)
    return Fail(error, "unsupported depth");
  if ((mode == kPsdModeBitmap) != (depth == 1)) return Fail(error, "unsupported depth");
  if (mode == kPsdModeIndexed && depth != 8) return Fail(error, "unsupported depth");

  size_t colorChannels;
  switch (mode) {
    case kPsdModeBitmap:
    case kPsdModeGrayscale:
    case kPsdModeIndexed:
    case kPsdModeMultichannel:
    case kPsdModeDuotone:
      colorChannels = 1;
      break;
    case kPsdModeRGB:
    case kPsdModeLab:
      colorChannels = 3;
      break;
    case kPsdModeCMYK:
      colorChannels = 4;
      break;
    default:
      return Fail(error, "unsupported colour mode");
  }
  if (header.nChannels < colorChannels) return Fail(error, "bad channel count");
  // Multichannel documents have no opacity channel of their own.
  const bool hasAlpha = mode != kPsdModeMultichannel && header.nChannels > colorChannels;

  // Colour mode data: the palette of an indexed image, else skipped.
  uint8_t palette[768] = {};
  uint32_t colorDataLength;
  if (!ReadU32(source, &colorDataLength)) return Fail(error, "file is truncated");
  if (mode == kPsdModeIndexed) {
    if (colorDataLength < sizeof(palette)) return Fail(error, "missing palette");
    if (!source.Read(palette, sizeof(palette)) || !source.Skip(colorDataLength - sizeof(palette)))
      return Fail(error, "file is truncated");
  } else if (!source.Skip(colorDataLength)) {
    return Fail(error, "file is truncated");
  }
  if (!SkipSection(source, false, error) || !SkipSection(source, header.nVersion == 2, error))
    return 0;

  const uint64_t rowBytes =
      depth == 1 ? (uint64_t(header.nWidth) + 7) / 8 : uint64_t(header.nWidth) * (depth / 8);
  std::vector<std::vector<uint8_t>> planes;
  if (!ReadImageData(source, header, rowBytes, colorChannels + (hasAlpha ? 1 : 0), &planes, error))
    return 0;

  const size_t channelsOut = hasAlpha ? 4 : 3;
  try {
    result->samples.assign(size_t(uint64_t(header.nWidth) * header.nHeight * channelsOut), 0);
  } catch (const std::bad_alloc&) {
    return Fail(error, "out of memory");
  }
  uint16_t* out = result->samples.data();
  for (uint32_t y = 0; y < header.nHeight; ++y) {
    for (uint32_t x = 0; x < header.nWidth; ++x, out += channelsOut) {
      auto sample = [&](size_t c) { return Sample16(planes[c], depth, rowBytes, x, y); };
      switch (mode) {
        case kPsdModeIndexed: {
          const uint8_t index = planes[0][rowBytes * y + x];
          out[0] = Expand8(palette[index]);
          out[1] = Expand8(palette[256 + index]);
          out[2] = Expand8(palette[512 + index]);
          break;
        }
        case kPsdModeRGB:
          out[0] = sample(0);
          out[1] = sample(1);
          out[2] = sample(2);
          break;
        case kPsdModeCMYK: {
          // Stored inverted: full value is no ink.
          const uint32_t k = sample(3);
          out[0] = uint16_t(sample(0) * k / 65535);
          out[1] = uint16_t(sample(1) * k / 65535);
          out[2] = uint16_t(sample(2) * k / 65535);
          break;
        }
        case kPsdModeLab:
          LabToRgb(sample(0), sample(1), sample(2), out);
          break;
        default:
          out[0] = out[1] = out[2] = sample(0);
          break;
      }
      if (hasAlpha) out[3] = sample(colorChannels);
    }
  }
  result->nWidth = header.nWidth;
  result->nHeight = header.nHeight;
  result->bHasAlpha = hasAlpha;
  return 1;
}
