#include "formatread.h"

#include <QImage>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

#include <lcms2.h>

namespace {

// Files larger than this are not read into memory.
constexpr int64_t kMaxFileBytes = int64_t(1) << 30;

bool StartsWith(const uint8_t* bytes, size_t size, size_t at, const char* text) {
  const size_t length = std::strlen(text);
  return size >= at + length && std::memcmp(bytes + at, text, length) == 0;
}

// The whole of a regular file (never a pipe or device put in its place).
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *error = std::string("unable to open file: ") + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileBytes) {
    ::close(fd);
    *error = S_ISREG(st.st_mode) ? "the file is too large" : "not a regular file";
    return false;
  }
  bytes->resize(size_t(st.st_size));
  size_t done = 0;
  while (done < bytes->size()) {
    const ssize_t n = ::read(fd, bytes->data() + done, bytes->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += size_t(n);
  }
  ::close(fd);
  bytes->resize(done);
  return true;
}

uint32_t Get(const uint8_t* p, bool little, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= uint32_t(p[little ? i : bytes - 1 - i]) << (8 * i);
  return value;
}

}  // namespace

FORMATKIND SniffFormat(const uint8_t* b, size_t n) {
  if (StartsWith(b, n, 0, "RIFF") && StartsWith(b, n, 8, "WEBP")) return FK_WEBP;
  // An ISO media file whose brand is one of the still-image ones.
  if (StartsWith(b, n, 4, "ftyp") && n >= 12) {
    static const char* const kBrands[] = {"heic", "heix", "hevc", "hevx", "heim",
                                          "heis", "mif1", "msf1", "avif", "avis"};
    for (const char* brand : kBrands)
      if (StartsWith(b, n, 8, brand)) return FK_HEIF;
  }
  if (StartsWith(b, n, 0, "\xFF\x0A")) return FK_JXL;
  // The bare code stream, or the container's signature box.
  if (n >= 12 && std::memcmp(b, "\0\0\0\x0CJXL \r\n\x87\n", 12) == 0) return FK_JXL;
  return FK_UNKNOWN;
}

FORMATKIND KindOfFormatExtension(const std::u16string& extension) {
  std::string upper;
  for (char16_t c : extension) {
    if (c > 127) return FK_UNKNOWN;
    upper += char(std::toupper(int(c)));
  }
  if (upper == "HEIC" || upper == "HEIF" || upper == "AVIF") return FK_HEIF;
  if (upper == "WEBP") return FK_WEBP;
  if (upper == "JXL") return FK_JXL;
  static const char* const kRaw[] = {"DNG", "CR2", "CR3", "NEF", "NRW", "ARW", "SR2",
                                     "ORF", "RW2", "RAF", "PEF", "SRW", "3FR", "ERF",
                                     "KDC", "MRW", "RWL", "IIQ", "X3F"};
  for (const char* raw : kRaw)
    if (upper == raw) return FK_RAW;
  return FK_UNKNOWN;
}

HBITMAP ReadFormatFile(const std::string& path, const std::u16string& extension,
                       const tagFORMATREAD& read, std::string* error) {
  const FORMATKIND named = KindOfFormatExtension(extension);
  // RAW files are opened by LibRaw itself, which reads only what it needs.
  std::vector<uint8_t> head(16);
  {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      *error = std::string("unable to open file: ") + std::strerror(errno);
      return nullptr;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const ssize_t n = regular ? ::read(fd, head.data(), head.size()) : -1;
    ::close(fd);
    if (!regular) {
      *error = "not a regular file";
      return nullptr;
    }
    head.resize(n > 0 ? size_t(n) : 0);
  }
  const FORMATKIND sniffed = SniffFormat(head.data(), head.size());
  const FORMATKIND kind = sniffed != FK_UNKNOWN ? sniffed : named;
  if (kind == FK_UNKNOWN) {
    *error = "Unknown or unsupported image format";
    return nullptr;
  }
  if (kind == FK_RAW) return ReadRawFile(path, read, error);
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, &bytes, error)) return nullptr;
  switch (kind) {
    case FK_HEIF:
      return ReadHeif(bytes.data(), bytes.size(), read, error);
    case FK_WEBP:
      return ReadWebp(bytes.data(), bytes.size(), read, error);
    default:
      return ReadJxl(bytes.data(), bytes.size(), read, error);
  }
}

bool WriteWholeFile(const std::string& path, const uint8_t* bytes, size_t size,
                    std::string* error) {
  const std::string temporary = path + ".part";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  bool ok = fd >= 0;
  for (size_t done = 0; ok && done < size;) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += size_t(n);
  }
  const int written = errno;
  if (fd >= 0 && ::close(fd) != 0) ok = false;
  if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    *error = "The file cannot be written: " + path + ": " + std::strerror(errno ? errno : written);
    ::unlink(temporary.c_str());
  }
  return ok;
}

bool FormatSizeAllowed(int64_t width, int64_t height, std::string* error) {
  if (width > 0 && height > 0 && width <= kMaxBitmapSide && height <= kMaxBitmapSide &&
      width * height <= kMaxFormatPixels && BitmapBytes(width, height))
    return true;
  *error =
      "The image is too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
  return false;
}

HBITMAP NewFormatBitmap(int64_t width, int64_t height, std::string* error) {
  if (!FormatSizeAllowed(width, height, error)) return nullptr;
  HBITMAP bitmap = CreateBitmap32(int32_t(width), int32_t(height));
  if (!bitmap) *error = "Unable to Allocate Memory";
  return bitmap;
}

void ConvertToSrgb(const uint8_t* icc, size_t iccSize, HBITMAP bitmap) {
  if (!icc || !iccSize || !bitmap) return;
  cmsContext context = cmsCreateContext(nullptr, nullptr);
  if (!context) return;
  // Damaged profiles are reported here; the pixels then stay as they are.
  cmsSetLogErrorHandlerTHR(context, [](cmsContext, cmsUInt32Number, const char*) {});
  cmsHPROFILE embedded = cmsOpenProfileFromMemTHR(context, icc, cmsUInt32Number(iccSize));
  cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(context);
  cmsHTRANSFORM transform = nullptr;
  if (embedded && srgb && cmsGetColorSpace(embedded) == cmsSigRgbData)
    transform = cmsCreateTransformTHR(context, embedded, TYPE_BGRA_8, srgb, TYPE_BGRA_8,
                                      INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA);
  if (transform) {
    for (int32_t y = 0; y < bitmap->nHeight; ++y) {
      uint8_t* row = bitmap->pPixels + size_t(y) * size_t(bitmap->nStride);
      cmsDoTransform(transform, row, row, cmsUInt32Number(bitmap->nWidth));
    }
    cmsDeleteTransform(transform);
  }
  if (srgb) cmsCloseProfile(srgb);
  if (embedded) cmsCloseProfile(embedded);
  cmsDeleteContext(context);
}

int ExifOrientation(const uint8_t* exif, size_t size) {
  if (!exif) return 1;
  if (size >= 6 && std::memcmp(exif, "Exif\0\0", 6) == 0) {
    exif += 6;
    size -= 6;
  }
  if (size < 8) return 1;
  const bool little = exif[0] == 'I' && exif[1] == 'I';
  if (!little && !(exif[0] == 'M' && exif[1] == 'M')) return 1;
  const uint32_t ifd = Get(exif + 4, little, 4);
  if (ifd > size - 2) return 1;
  const uint32_t count = Get(exif + ifd, little, 2);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = size_t(ifd) + 2 + size_t(i) * 12;
    if (entry + 12 > size) break;
    if (Get(exif + entry, little, 2) != 0x0112) continue;
    const uint32_t value = Get(exif + entry + 8, little, 2);
    return value >= 1 && value <= 8 ? int(value) : 1;
  }
  return 1;
}

HBITMAP OrientBitmap(HBITMAP source, int orientation) {
  if (!source || orientation <= 1 || orientation > 8) return source;
  const int32_t w = source->nWidth, h = source->nHeight;
  const bool swap = orientation >= 5;
  HBITMAP turned = CreateBitmap32(swap ? h : w, swap ? w : h);
  if (!turned) {
    DeleteBitmap32(source);
    return nullptr;
  }
  const int32_t tw = turned->nWidth, th = turned->nHeight;
  for (int32_t y = 0; y < h; ++y) {
    const uint32_t* row =
        reinterpret_cast<const uint32_t*>(source->pPixels + size_t(y) * source->nStride);
    for (int32_t x = 0; x < w; ++x) {
      // Where the stored pixel (x, y) lands in the upright picture.
      int32_t tx = x, ty = y;
      switch (orientation) {
        case 2:
          tx = w - 1 - x;
          break;
        case 3:
          tx = w - 1 - x;
          ty = h - 1 - y;
          break;
        case 4:
          ty = h - 1 - y;
          break;
        case 5:
          tx = y;
          ty = x;
          break;
        case 6:
          tx = h - 1 - y;
          ty = x;
          break;
        case 7:
          tx = h - 1 - y;
          ty = w - 1 - x;
          break;
        case 8:
          tx = y;
          ty = w - 1 - x;
          break;
      }
      if (tx < tw && ty < th)
        reinterpret_cast<uint32_t*>(turned->pPixels + size_t(ty) * turned->nStride)[tx] = row[x];
    }
  }
  DeleteBitmap32(source);
  return turned;
}

void SwapRedBlue(HBITMAP bitmap) {
  for (int32_t y = 0; y < bitmap->nHeight; ++y) {
    uint8_t* p = bitmap->pPixels + size_t(y) * size_t(bitmap->nStride);
    for (int32_t x = 0; x < bitmap->nWidth; ++x, p += 4) std::swap(p[0], p[2]);
  }
}

HBITMAP FitBitmap(HBITMAP bitmap, SIZE box) {
  if (!bitmap || box.cx <= 0 || box.cy <= 0) return bitmap;
  if (bitmap->nWidth <= box.cx && bitmap->nHeight <= box.cy) return bitmap;
  const double scale = std::min(double(box.cx) / bitmap->nWidth, double(box.cy) / bitmap->nHeight);
  const int w = std::max(1, int(bitmap->nWidth * scale + 0.5));
  const int h = std::max(1, int(bitmap->nHeight * scale + 0.5));
  const QImage source(bitmap->pPixels, bitmap->nWidth, bitmap->nHeight, bitmap->nStride,
                      QImage::Format_ARGB32);
  const QImage scaled = source.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_ARGB32);
  HBITMAP fitted = CreateBitmap32(w, h);
  if (fitted && !scaled.isNull())
    for (int y = 0; y < h; ++y)
      std::memcpy(fitted->pPixels + size_t(y) * fitted->nStride, scaled.constScanLine(y),
                  size_t(w) * 4);
  DeleteBitmap32(bitmap);
  return fitted;
}

HBITMAP DecodeJpeg(const uint8_t* data, size_t size, SIZE box, std::string* error) {
  std::unique_ptr<void, int (*)(tjhandle)> tj(tjInitDecompress(), tjDestroy);
  if (!tj) {
    *error = "JPEG: no decoder";
    return nullptr;
  }
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  if (tjDecompressHeader3(tj.get(), data, static_cast<unsigned long>(size), &width, &height,
                          &subsampling, &colourspace) != 0) {
    *error = std::string("JPEG: ") + tjGetErrorStr2(tj.get());
    return nullptr;
  }
  // The smallest of the decoder's scales that still covers the box.
  int w = width, h = height;
  if (box.cx > 0 && box.cy > 0) {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    for (int i = 0; factors && i < count; ++i) {
      const int sw = TJSCALED(width, factors[i]), sh = TJSCALED(height, factors[i]);
      if ((sw >= box.cx || sh >= box.cy) && sw * int64_t(sh) < w * int64_t(h)) {
        w = sw;
        h = sh;
      }
    }
  }
  HBITMAP bitmap = NewFormatBitmap(w, h, error);
  if (!bitmap) return nullptr;
  if (tjDecompress2(tj.get(), data, static_cast<unsigned long>(size), bitmap->pPixels, w,
                    bitmap->nStride, h, TJPF_BGRA, 0) != 0 &&
      tjGetErrorCode(tj.get()) == TJERR_FATAL) {
    *error = std::string("JPEG: ") + tjGetErrorStr2(tj.get());
    DeleteBitmap32(bitmap);
    return nullptr;
  }
  return bitmap;
}

namespace {

// Reads from a TIFF file with bounds checks; any short read fails.
class CTiffFile {
 public:
  CTiffFile(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
  bool Read(uint64_t at, void* out, size_t length) const {
    if (at > m_size || length > m_size - at) return false;
    return ::pread(m_fd, out, length, off_t(at)) == ssize_t(length);
  }
  bool Value(uint64_t at, int bytes, uint32_t* value) const {
    uint8_t b[4];
    if (!Read(at, b, size_t(bytes))) return false;
    *value = Get(b, m_bLittle, bytes);
    return true;
  }
  bool m_bLittle = true;

 private:
  int m_fd;
  uint64_t m_size;
};

struct tagEMBEDDED {
  uint32_t offset = 0, length = 0;
};

// The JPEGs of every IFD reachable through next links and SubIFDs, and the
// first orientation found.
void FindEmbeddedJpegs(const CTiffFile& file, uint32_t first, std::vector<tagEMBEDDED>* found,
                       int* orientation) {
  std::vector<uint32_t> pending = {first}, seen;
  while (!pending.empty() && seen.size() < 32) {
    const uint32_t ifd = pending.back();
    pending.pop_back();
    if (!ifd || std::find(seen.begin(), seen.end(), ifd) != seen.end()) continue;
    seen.push_back(ifd);
    uint32_t count = 0;
    if (!file.Value(ifd, 2, &count) || count > 1000) continue;
    uint32_t compression = 0, strip = 0, stripLength = 0, strips = 0, jpeg = 0, jpegLength = 0;
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t entry = uint64_t(ifd) + 2 + uint64_t(i) * 12;
      uint32_t tag = 0, type = 0, n = 0, value = 0;
      if (!file.Value(entry, 2, &tag) || !file.Value(entry + 2, 2, &type) ||
          !file.Value(entry + 4, 4, &n))
        break;
      const int size = type == 3 ? 2 : 4;  // SHORT or LONG (IFD)
      if ((type != 3 && type != 4 && type != 13) || n == 0) continue;
      // One value sits in the entry; more are elsewhere.
      uint32_t where = 0;
      if (uint64_t(n) * size > 4 && !file.Value(entry + 8, 4, &where)) continue;
      const uint64_t at = uint64_t(n) * size > 4 ? where : entry + 8;
      if (!file.Value(at, size, &value)) continue;
      switch (tag) {
        case 259:
          compression = value;
          break;
        case 273:
          strip = value;
          strips = n;
          break;
        case 279:
          stripLength = value;
          break;
        case 274:
          if (*orientation == 0 && value >= 1 && value <= 8) *orientation = int(value);
          break;
        case 513:
          jpeg = value;
          break;
        case 514:
          jpegLength = value;
          break;
        case 330:
          for (uint32_t k = 0; k < std::min<uint32_t>(n, 8); ++k)
            if (file.Value(at + uint64_t(k) * size, size, &value)) pending.push_back(value);
          break;
        default:
          break;
      }
    }
    if (jpeg && jpegLength) found->push_back({jpeg, jpegLength});
    if ((compression == 6 || compression == 7) && strips == 1 && stripLength)
      found->push_back({strip, stripLength});
    uint32_t next = 0;
    if (file.Value(uint64_t(ifd) + 2 + uint64_t(count) * 12, 4, &next)) pending.push_back(next);
  }
}

}  // namespace

HBITMAP ReadTiffThumbnail(const std::string& path, SIZE box, bool upright) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st {};
  HBITMAP bitmap = nullptr;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    CTiffFile file(fd, uint64_t(st.st_size));
    uint8_t head[8];
    uint32_t first = 0, magic = 0;
    if (file.Read(0, head, 8) && (head[0] == head[1]) && (head[0] == 'I' || head[0] == 'M')) {
      file.m_bLittle = head[0] == 'I';
      magic = Get(head + 2, file.m_bLittle, 2);
      first = Get(head + 4, file.m_bLittle, 4);
    }
    std::vector<tagEMBEDDED> jpegs;
    int orientation = 0;
    // TIFF (42) and the RAW variants with their own magic (ORF, RW2).
    if (magic == 42 || magic == 0x4F52 || magic == 0x5352 || magic == 0x55)
      FindEmbeddedJpegs(file, first, &jpegs, &orientation);
    std::sort(jpegs.begin(), jpegs.end(),
              [](const tagEMBEDDED& a, const tagEMBEDDED& b) { return a.length < b.length; });
    const bool turned = upright && orientation >= 5;
    const SIZE wanted = turned ? SIZE{box.cy, box.cx} : box;
    std::unique_ptr<void, int (*)(tjhandle)> tj(tjInitDecompress(), tjDestroy);
    for (const tagEMBEDDED& jpeg : jpegs) {
      if (!tj || jpeg.length > (64u << 20)) break;
      std::vector<uint8_t> bytes(jpeg.length);
      int w = 0, h = 0, subsampling = 0, colourspace = 0;
      if (!file.Read(jpeg.offset, bytes.data(), bytes.size()) ||
          tjDecompressHeader3(tj.get(), bytes.data(), static_cast<unsigned long>(bytes.size()), &w,
                              &h, &subsampling, &colourspace) != 0)
        continue;
      if (w < wanted.cx && h < wanted.cy) continue;
      std::string error;
      bitmap = DecodeJpeg(bytes.data(), bytes.size(), wanted, &error);
      if (bitmap) break;
    }
    if (bitmap && upright) bitmap = OrientBitmap(bitmap, orientation);
  }
  ::close(fd);
  return bitmap;
}
