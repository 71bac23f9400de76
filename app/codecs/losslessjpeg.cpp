#include "codecs/losslessjpeg.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <turbojpeg.h>
#include <unistd.h>

#include <exiv2/exiv2.hpp>

#include "codecs/librarylog.h"
#include "corekit/atomicfile.h"
#include "corekit/straw.h"

namespace fs = std::filesystem;

namespace {

// Orientation after mirroring left-right, mirroring top-bottom and turning
// 90 degrees clockwise; index = value - 1.
constexpr int kFlipH[8] = {2, 1, 4, 3, 8, 7, 6, 5};
constexpr int kFlipV[8] = {4, 3, 2, 1, 6, 5, 8, 7};
constexpr int kRotate90[8] = {8, 7, 6, 5, 2, 1, 4, 3};

// The IFDs searched for the tag, in the order of the IFD chain.
constexpr const char* kOrientationGroups[] = {"Image", "Thumbnail", "Image2", "Image3"};
constexpr uint16_t kOrientationTag = 0x0112;

// Large enough for any photograph, small enough to refuse a device or a
// runaway file before reading it into memory.
constexpr size_t kMaxJpegBytes = size_t(2) << 30;

struct SEGMENT {
  size_t nStart = 0;    // offset of the 0xFF of the marker
  size_t nPayload = 0;  // offset of the bytes after the length field
  size_t nLength = 0;   // bytes after the length field
};

// The first APP1 segment holding an EXIF block, searched up to the first
// scan. The payload starts after "Exif\0\0".
bool FindExifSegment(const std::string& jpeg, SEGMENT* segment) {
  const auto* p = reinterpret_cast<const unsigned char*>(jpeg.data());
  const size_t size = jpeg.size();
  if (size < 4 || p[0] != 0xFF || p[1] != 0xD8) return false;
  size_t pos = 2;
  while (pos + 4 <= size) {
    if (p[pos] != 0xFF) return false;
    const unsigned char marker = p[pos + 1];
    if (marker == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return false;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      pos += 2;
      continue;
    }
    const size_t length = size_t(p[pos + 2]) << 8 | p[pos + 3];
    if (length < 2 || pos + 2 + length > size) return false;
    if (marker == 0xE1 && length >= 8 && std::memcmp(p + pos + 4, "Exif\0\0", 6) == 0) {
      segment->nStart = pos;
      segment->nPayload = pos + 10;
      segment->nLength = length - 8;
      return true;
    }
    pos += 2 + length;
  }
  return false;
}

Exiv2::ExifData::iterator FindOrientation(Exiv2::ExifData& exif) {
  for (const char* group : kOrientationGroups)
    for (auto it = exif.begin(); it != exif.end(); ++it)
      if (it->tag() == kOrientationTag && it->groupName() == group && it->count() > 0) return it;
  return exif.end();
}

struct TJHANDLECLOSER {
  void operator()(void* handle) const { tjDestroy(handle); }
};

struct TJBUFFERFREE {
  void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

int TurboJpegOperation(int code) {
  switch (code) {
    case LT_NONE:
      return TJXOP_NONE;
    case LT_ROTATE90:
      return TJXOP_ROT90;
    case LT_ROTATE180:
      return TJXOP_ROT180;
    case LT_ROTATE270:
      return TJXOP_ROT270;
    case LT_FLIPH:
      return TJXOP_HFLIP;
    case LT_FLIPV:
      return TJXOP_VFLIP;
    case LT_TRANSPOSE:
      return TJXOP_TRANSPOSE;
    case LT_TRANSVERSE:
      return TJXOP_TRANSVERSE;
    default:
      return -1;
  }
}

bool IsSameFile(const MyString& a, const MyString& b) {
  if (a == b) return true;
  std::error_code ec;
  return fs::equivalent(CStrAW::ToPath(a), CStrAW::ToPath(b), ec) && !ec;
}

// Each transform as a matrix on pixel offsets from the centre (y down),
// {a, b, c, d}: x' = a x + b y, y' = c x + d y; index = LOSSLESSTRANSFORM.
constexpr int kTransformMatrix[8][4] = {
    {1, 0, 0, 1},    // none
    {0, -1, 1, 0},   // 90 clockwise
    {-1, 0, 0, -1},  // 180
    {0, 1, -1, 0},   // 270 clockwise
    {-1, 0, 0, 1},   // left-right
    {1, 0, 0, -1},   // top-bottom
    {0, 1, 1, 0},    // transpose
    {0, -1, -1, 0},  // transverse
};

// The orientation value the tag holds after the pixels were changed by
// replace(value), or the reason it could not be: see UpdateExifOrientation.
int RewriteOrientation(std::string& jpeg, const std::function<int(int)>& replace) {
  InstallLibraryWarningHandlers();
  SEGMENT segment;
  if (!FindExifSegment(jpeg, &segment)) return 0;
  try {
    // Exiv2 patches the value inside the block when the new value fits the
    // old one ("non-intrusive"), so every other byte of the block stays.
    std::string block = jpeg.substr(segment.nPayload, segment.nLength);
    auto* data = reinterpret_cast<Exiv2::byte*>(block.data());
    Exiv2::ExifData exif;
    const Exiv2::ByteOrder order = Exiv2::ExifParser::decode(exif, data, uint32_t(block.size()));
    auto it = FindOrientation(exif);
    if (it == exif.end()) return 0;
    const long value = it->toLong(0);
    const int mapped = replace(int(value));
    if (mapped < 1 || mapped > 8 || mapped == value) return 0;
    // Keep the stored type, so the value keeps its size in the block.
    Exiv2::Value::AutoPtr newValue = it->getValue();
    if (newValue->read(std::to_string(mapped)) != 0) return -1;
    it->setValue(newValue.get());

    Exiv2::Blob blob;
    const Exiv2::WriteMethod method =
        Exiv2::ExifParser::encode(blob, data, uint32_t(block.size()), order, exif);
    if (method == Exiv2::wmIntrusive) {
      // The block had to be rebuilt; it replaces the old one if it still
      // fits a segment.
      if (blob.empty() || blob.size() + 8 > 0xFFFF) return -1;
      std::string rebuilt = "Exif";
      rebuilt.append(2, '\0');
      rebuilt.append(reinterpret_cast<const char*>(blob.data()), blob.size());
      const size_t length = rebuilt.size() + 2;
      std::string header = {char(0xFF), char(0xE1), char(length >> 8), char(length & 0xFF)};
      jpeg.replace(segment.nStart, segment.nLength + 10, header + rebuilt);
      return 1;
    }
    jpeg.replace(segment.nPayload, segment.nLength, block);
    return 1;
  } catch (const std::exception&) {
    // An EXIF block Exiv2 cannot read has no tag we could find.
    return 0;
  }
}

}  // namespace

int UprightTransform(int orientation) {
  static constexpr int kUpright[9] = {LT_NONE,      LT_NONE,       LT_FLIPH,
                                      LT_ROTATE180, LT_FLIPV,      LT_TRANSPOSE,
                                      LT_ROTATE90,  LT_TRANSVERSE, LT_ROTATE270};
  return orientation >= 1 && orientation <= 8 ? kUpright[orientation] : LT_NONE;
}

int ComposeTransforms(int first, int then) {
  if (first < 0 || first > 7 || then < 0 || then > 7) return LT_NONE;
  const int* a = kTransformMatrix[then];
  const int* b = kTransformMatrix[first];
  const int product[4] = {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3],
                          a[2] * b[0] + a[3] * b[2], a[2] * b[1] + a[3] * b[3]};
  for (int code = 0; code < 8; ++code)
    if (std::equal(product, product + 4, kTransformMatrix[code])) return code;
  return LT_NONE;
}

int InverseTransform(int code) {
  // Quarter turns undo each other; every other transform is its own inverse.
  if (code == LT_ROTATE90) return LT_ROTATE270;
  if (code == LT_ROTATE270) return LT_ROTATE90;
  return code;
}

int MapExifOrientation(int orientation, int code) {
  if (orientation < 1 || orientation > 8) return orientation;
  switch (code) {
    case LT_FLIPH:
      return kFlipH[orientation - 1];
    case LT_FLIPV:
      return kFlipV[orientation - 1];
    case LT_ROTATE90:
    case LT_ROTATE180:
    case LT_ROTATE270:
      for (int turn = 0; turn < code; ++turn) orientation = kRotate90[orientation - 1];
      return orientation;
    case LT_TRANSPOSE:
      return kFlipH[MapExifOrientation(orientation, LT_ROTATE90) - 1];
    case LT_TRANSVERSE:
      return kFlipH[MapExifOrientation(orientation, LT_ROTATE270) - 1];
    default:
      return orientation;
  }
}

int ReadExifOrientation(const std::string& jpeg) {
  InstallLibraryWarningHandlers();
  SEGMENT segment;
  if (!FindExifSegment(jpeg, &segment)) return 0;
  try {
    Exiv2::ExifData exif;
    Exiv2::ExifParser::decode(exif,
                              reinterpret_cast<const Exiv2::byte*>(jpeg.data()) + segment.nPayload,
                              uint32_t(segment.nLength));
    auto it = FindOrientation(exif);
    return it == exif.end() ? 0 : int(it->toLong(0));
  } catch (const std::exception&) {
    return 0;
  }
}

int UpdateExifOrientation(std::string& jpeg, int code) {
  if (code == LT_NONE) return 0;
  return RewriteOrientation(jpeg, [code](int value) {
    return value >= 1 && value <= 8 ? MapExifOrientation(value, code) : 0;
  });
}

int SetExifOrientation(std::string& jpeg, int value) {
  return RewriteOrientation(jpeg, [value](int) { return value; });
}

CLosslessJpeg::CLosslessJpeg(CLoadSlot& slot, CStopEvent& stop) : m_slot(slot), m_stop(stop) {}

int CLosslessJpeg::Fail(const MyString& why) {
  m_strError = why;
  return 0;
}

int CLosslessJpeg::Transform(const MyString& source, const MyString& target, int code, bool trim) {
  m_strError = MyString();
  if (TurboJpegOperation(code) < 0) return Fail(u"Unknown transform");
  if (source.IsEmpty()) return Fail(u"No file name given");

  CLoadSlotGuard slot(m_slot);
  if (!slot) return Fail(u"The program is closing");

  std::string input;
  MyString error;
  tagFILEIDENTITY read;
  if (!ReadWholeFile(source, &input, kMaxJpegBytes, &error, &read)) return Fail(error);
  if (expectedSource.bKnown && read != expectedSource)
    return Fail(u"The file is no longer the one that was opened");

  std::string output;
  if (!TransformBytes(input, code, trim, &output)) return 0;
  if (finish && !finish(output, &error))
    return Fail(error.IsEmpty() ? MyString(u"The new file could not be completed") : error);
  // The user may have closed the program while the transform ran: nothing
  // is written then.
  if (m_stop.IsSet()) return Fail(u"The program is closing");

  if (target.IsEmpty() || (nTargetRule != AT_CREATE_NEW && IsSameFile(source, target)))
    return ReplaceInPlace(source, output, read);
  tagATOMICWRITEOPTIONS options;
  options.nTarget = nTargetRule;
  if (!WriteFileAtomicallyEx(target, output, options, &error)) return Fail(error);
  return 1;
}

int CLosslessJpeg::TransformBytes(const std::string& source, int code, bool trim,
                                  std::string* result) {
  std::unique_ptr<void, TJHANDLECLOSER> handle(tjInitTransform());
  if (!handle) return Fail(CStrAW::a_toW(tjGetErrorStr2(nullptr)));

  tjtransform transform;
  std::memset(&transform, 0, sizeof transform);
  transform.op = TurboJpegOperation(code);
  // All markers are copied (no TJXOPT_COPYNONE) and colour stays (no
  // TJXOPT_GRAY).
  transform.options = trim ? TJXOPT_TRIM : 0;

  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  // A warning means damaged data that libjpeg would paper over with grey
  // blocks; the user's photo must not be replaced by that. The scan limit
  // keeps a hostile progressive file from running for minutes.
  const int flags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;
  const int status =
      tjTransform(handle.get(), reinterpret_cast<const unsigned char*>(source.data()),
                  static_cast<unsigned long>(source.size()), 1, &buffer, &size, &transform, flags);
  std::unique_ptr<unsigned char, TJBUFFERFREE> owned(buffer);
  if (status != 0 || !buffer || size == 0) return Fail(CStrAW::a_toW(tjGetErrorStr2(handle.get())));

  try {
    result->assign(reinterpret_cast<const char*>(buffer), size);
  } catch (const std::bad_alloc&) {
    return Fail(u"Out of memory");
  }
  // A picture whose tag would still describe the old layout would show
  // turned the wrong way in other programs.
  if (UpdateExifOrientation(*result, code) < 0)
    return Fail(u"The EXIF orientation cannot be updated");
  return 1;
}

int CLosslessJpeg::ReplaceInPlace(const MyString& source, const std::string& bytes,
                                  const tagFILEIDENTITY& read) {
  // The source stays complete until the new file is on disk; the rename then
  // swaps them in one step, and only while the name still holds the file
  // that was read. Through a symbolic link the file it points to is
  // replaced and the link stays. The rotated file may be written by its
  // owner, as the source was made writable before it was replaced.
  tagATOMICWRITEOPTIONS options;
  options.strTempSuffix = u"JPGT";
  options.bReplaceReadOnly = true;
  options.expected = read;
  options.cancelled = [this] { return m_stop.IsSet(); };
  MyString error;
  if (WriteFileAtomicallyEx(source, bytes, options, &error)) return 1;
  return Fail(error == u"Cancelled" ? MyString(u"The program is closing") : error);
}
