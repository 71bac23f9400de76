#include "browse/thumbnailentry.h"

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <turbojpeg.h>

#include "corekit/atomicfile.h"

namespace {

constexpr char kStampTag[] = "LorimoThumb ";
constexpr int kEntryQuality = 90;
// An entry of ours is a few tens of kilobytes.
constexpr size_t kMaxEntryBytes = 4u << 20;

struct CTurboDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using TurboHandle = std::unique_ptr<void, CTurboDeleter>;

std::string StampText(const tagTHUMBSTAMP& stamp) {
  char text[80];
  std::snprintf(text, sizeof text, "%s%" PRIu64 " %" PRIu64, kStampTag, uint64_t(stamp.ftLastWrite),
                stamp.nSize);
  return text;
}

}  // namespace

int ReadThumbStamp(const MyString& path, tagTHUMBSTAMP* stamp) {
  CFileInfo info;
  if (!GetFileInfo(path, &info) || info.bDirectory) return 0;
  stamp->ftLastWrite = info.ftLastWriteTime;
  stamp->nSize = info.nSize;
  return 1;
}

std::string EncodeThumbnailEntry(const QImage& image, const tagTHUMBSTAMP& stamp, void* handle) {
  if (image.isNull() || image.width() > kMaxEntrySide || image.height() > kMaxEntrySide)
    return std::string();
  const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
  TurboHandle own;
  if (!handle) {
    own.reset(tjInitCompress());
    handle = own.get();
  }
  if (!handle) return std::string();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  // Format_RGB32 is B, G, R, 0xFF in memory on every machine we build for.
  if (tjCompress2(handle, pixels.constBits(), pixels.width(), int(pixels.bytesPerLine()),
                  pixels.height(), TJPF_BGRX, &jpeg, &size, TJSAMP_420, kEntryQuality, 0) != 0) {
    tjFree(jpeg);
    return std::string();
  }
  const std::string comment = StampText(stamp);
  const size_t length = comment.size() + 2;
  std::string bytes;
  bytes.reserve(size + length + 2);
  bytes.append(reinterpret_cast<const char*>(jpeg), 2);  // SOI
  bytes += char(0xFF);
  bytes += char(0xFE);
  bytes += char(length >> 8);
  bytes += char(length & 0xFF);
  bytes += comment;
  bytes.append(reinterpret_cast<const char*>(jpeg) + 2, size - 2);
  tjFree(jpeg);
  return bytes;
}

int ReadEntryStamp(const std::string& bytes, tagTHUMBSTAMP* stamp) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t size = bytes.size();
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return 0;
  size_t pos = 2;
  // The markers before the first scan, each with its length.
  while (pos + 4 <= size && data[pos] == 0xFF) {
    const unsigned char marker = data[pos + 1];
    if (marker == 0xDA || marker == 0xD9) break;
    const size_t length = (size_t(data[pos + 2]) << 8) | data[pos + 3];
    if (length < 2 || pos + 2 + length > size) return 0;
    if (marker == 0xFE) {
      const std::string comment(bytes, pos + 4, length - 2);
      unsigned long long time = 0, fileSize = 0;
      char tail = 0;
      if (comment.compare(0, sizeof kStampTag - 1, kStampTag) != 0) return 0;
      if (std::sscanf(comment.c_str() + sizeof kStampTag - 1, "%llu %llu%c", &time, &fileSize,
                      &tail) != 2)
        return 0;
      stamp->ftLastWrite = time;
      stamp->nSize = fileSize;
      return 1;
    }
    pos += 2 + length;
  }
  return 0;
}

int DecodeThumbnailEntry(const std::string& bytes, const tagTHUMBSTAMP& expected, QImage* image,
                         void* handle) {
  tagTHUMBSTAMP stamp;
  if (!ReadEntryStamp(bytes, &stamp) || !(stamp == expected)) return 0;
  TurboHandle own;
  if (!handle) {
    own.reset(tjInitDecompress());
    handle = own.get();
  }
  if (!handle) return 0;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(handle, data, bytes.size(), &width, &height, &subsampling, &colorspace) !=
      0)
    return 0;
  if (width <= 0 || height <= 0 || width > kMaxEntrySide || height > kMaxEntrySide) return 0;
  if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK) return 0;
  QImage result(width, height, QImage::Format_RGB32);
  if (result.isNull()) return 0;
  // Any warning counts: a truncated entry decodes with grey at its end.
  if (tjDecompress2(handle, data, bytes.size(), result.bits(), width, int(result.bytesPerLine()),
                    height, TJPF_BGRX, TJFLAG_LIMITSCANS | TJFLAG_STOPONWARNING) != 0)
    return 0;
  *image = std::move(result);
  return 1;
}

int ReadThumbnailEntry(const MyString& path, const tagTHUMBSTAMP& expected, QImage* image,
                       void* handle) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes, kMaxEntryBytes)) return 0;
  return DecodeThumbnailEntry(bytes, expected, image, handle);
}
