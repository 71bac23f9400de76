#pragma once
// Our own reader of Photoshop files (".psd"), written for hostile input:
// every length is checked against the bytes the file still holds and
// against fixed limits before anything is allocated. Plain C++ (no Qt, no
// GraphicsMagick), so that the fuzz target builds it on its own.
//
// Two readers share the parsing:
// - CPhotoshopReader reads what the viewer's fast path takes: 8 bits per
//   sample, RGB, raw or PackBits, one plane per channel;
// - CPhotoshopCompositeReader reads the merged image of the other kinds
//   (16 and 32 bits, bitmap, grey, indexed, CMYK, Lab, large documents),
//   the fallback when the first one refuses a file.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Where a reader takes its bytes from.
class CPsdSource {
 public:
  virtual ~CPsdSource() = default;
  // Copies exactly n bytes; false (nothing usable) on a short read.
  virtual bool Read(void* buffer, size_t n) = 0;
  // False when fewer than n bytes are left.
  virtual bool Skip(uint64_t n) = 0;
  virtual uint64_t Remaining() const = 0;
};

class CPsdMemorySource : public CPsdSource {
 public:
  CPsdMemorySource(const uint8_t* data, size_t size) : m_pData(data), m_nSize(size) {}
  bool Read(void* buffer, size_t n) override;
  bool Skip(uint64_t n) override;
  uint64_t Remaining() const override { return m_nSize - m_nPos; }

 private:
  const uint8_t* m_pData;
  size_t m_nSize;
  size_t m_nPos = 0;
};

// Reads an open file from its current position; the caller keeps the FILE.
class CPsdFileSource : public CPsdSource {
 public:
  explicit CPsdFileSource(std::FILE* file);
  bool Read(void* buffer, size_t n) override;
  bool Skip(uint64_t n) override;
  uint64_t Remaining() const override { return m_nSize - m_nPos; }

 private:
  std::FILE* m_pFile;
  uint64_t m_nSize = 0;
  uint64_t m_nPos = 0;
};

// Limits past which a file is refused as damaged or hostile. Photoshop
// itself writes at most 30000 pixels a side (300000 in large documents) and
// 56 channels.
constexpr uint32_t kPsdMaxSide = 300000;
constexpr uint64_t kPsdMaxPixels = uint64_t(1) << 28;
constexpr uint32_t kPsdMaxChannels = 56;
// The strict reader keeps this many planes: red, green, blue, opacity.
constexpr size_t kPsdKeptPlanes = 4;

struct CPsdHeader {
  uint16_t nVersion = 0;  // 1 normal, 2 large document
  uint16_t nChannels = 0;
  uint32_t nHeight = 0;
  uint32_t nWidth = 0;
  uint16_t nDepth = 0;  // bits per sample
  uint16_t nMode =
      0;  // 0 bitmap, 1 grey, 2 indexed, 3 RGB, 4 CMYK, 7 multichannel, 8 duotone, 9 Lab
};

enum : uint16_t {
  kPsdModeBitmap = 0,
  kPsdModeGrayscale = 1,
  kPsdModeIndexed = 2,
  kPsdModeRGB = 3,
  kPsdModeCMYK = 4,
  kPsdModeMultichannel = 7,
  kPsdModeDuotone = 8,
  kPsdModeLab = 9,
};

// The strict reader's result: one width x height plane per channel read, in
// file order (at most kPsdKeptPlanes of them; further channels are skipped).
struct CPsdPlanes {
  uint32_t nWidth = 0;
  uint32_t nHeight = 0;
  std::vector<std::vector<uint8_t>> planes;
};

class CPhotoshopReader {
 public:
  // Version 1, 8 bits, RGB, raw or PackBits. 1 with the planes, or 0 with
  // a short reason in *error (the planes are then empty).
  static int Read(CPsdSource& source, CPsdPlanes* planes, std::string* error = nullptr);
};

// The merged image of any supported kind, as 16-bit R, G, B (and A when the
// file has an opacity channel) samples, interleaved, rows top first.
struct CPsdComposite {
  uint32_t nWidth = 0;
  uint32_t nHeight = 0;
  bool bHasAlpha = false;
  std::vector<uint16_t> samples;  // width x height x (3 or 4)
};

class CPhotoshopCompositeReader {
 public:
  static int Read(CPsdSource& source, CPsdComposite* image, std::string* error = nullptr);
};
