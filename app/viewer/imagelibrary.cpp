#include "viewer/imagelibrary.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <unistd.h>

#include "corekit/straw.h"

namespace {

int64_t PhysicalMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return int64_t(4) << 30;
  return int64_t(pages) * pageSize;
}

}  // namespace

void InitializeImageLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    Magick::InitializeMagick(nullptr);
    // Half the memory for the pixel cache; beyond it, a bounded spill to
    // disk, and no image larger than kMaxImagePixels at all.
    const int64_t memory = std::max<int64_t>(PhysicalMemory() / 2, int64_t(256) << 20);
    MagickLib::SetMagickResourceLimit(MagickLib::PixelsResource, kMaxImagePixels);
    MagickLib::SetMagickResourceLimit(MagickLib::MemoryResource, memory);
    MagickLib::SetMagickResourceLimit(MagickLib::MapResource, memory);
    MagickLib::SetMagickResourceLimit(MagickLib::DiskResource, kMaxPixelCacheDisk);
  });
}

void ApplyDecoderLimits(Magick::Image& image) {
  image.defineValue("jpeg", "max-scan-number", std::to_string(kJpegMaxScans));
}

IMAGEKIND SniffImageKind(const uint8_t* b, size_t n) {
  auto starts = [&](const char* magic, size_t length) {
    return n >= length && std::memcmp(b, magic, length) == 0;
  };
  if (starts("GIF87a", 6) || starts("GIF89a", 6)) return IK_GIF;
  if (starts("\xFF\xD8\xFF", 3)) return IK_JPEG;
  if (starts("\x00\x00\x00\x0CjP  \r\n\x87\n", 12)) return IK_JP2;
  if (starts("\xFF\x4F\xFF\x51", 4)) return IK_J2K;
  if (starts("\x0E\x03\x13\x01", 4)) return IK_HDF;
  if (starts("8BPS", 4)) return IK_PSD;
  if (starts("II*\0", 4) || starts("MM\0*", 4)) return IK_TIFF;
  if (starts("\x89PNG\r\n\x1A\n", 8)) return IK_PNG;
  return IK_UNKNOWN;
}

IMAGEKIND SniffImageFile(const MyString& path) {
  std::ifstream in(CStrAW::ToPath(path), std::ios::binary);
  uint8_t bytes[16] = {};
  in.read(reinterpret_cast<char*>(bytes), sizeof(bytes));
  return SniffImageKind(bytes, size_t(std::max<std::streamsize>(in.gcount(), 0)));
}

IMAGEKIND KindOfExtension(const MyString& extension) {
  const MyString ext = extension.ToUpper();
  if (ext == u"GIF") return IK_GIF;
  if (ext == u"JP2") return IK_JP2;
  if (ext == u"J2C" || ext == u"J2K") return IK_J2K;
  if (ext == u"HDF") return IK_HDF;
  if (ext == u"PSD") return IK_PSD;
  if (ext == u"TIF" || ext == u"TIFF") return IK_TIFF;
  if (ext == u"JPG" || ext == u"JPEG") return IK_JPEG;
  if (ext == u"PNG") return IK_PNG;
  return IK_UNKNOWN;
}

std::string MagickFormatOfExtension(const MyString& extension) {
  const MyString ext = extension.ToUpper();
  if (ext == u"JPG" || ext == u"JPEG") return "JPEG";
  if (ext == u"TIF" || ext == u"TIFF") return "TIFF";
  return CStrAW::w_toA(ext);
}

std::string MagickPath(const MyString& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(CStrAW::ToPath(path), ec);
  return ec ? CStrAW::w_toA(path) : absolute.string();
}
