#include "codecs/imagelibrary.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "codecs/librarylog.h"
#include "corekit/straw.h"

namespace {

int64_t PhysicalMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return int64_t(4) << 30;
  return int64_t(pages) * pageSize;
}

// The coders the program reads and writes with, and those the library
// itself needs ("XC" makes a plain canvas, "MIFF" is its own format name).
const std::set<std::string>& OfferedCoders() {
  static const std::set<std::string> coders = {
      "BMP",   "BMP2",  "BMP3",  "JPEG",  "JPG", "PNG", "PNG8", "PNG24", "PNG32",
      "PNG48", "PNG64", "PNG00", "PNM",   "PBM", "PGM", "PPM",  "PAM",   "P7",
      "TIFF",  "TIF",   "GIF",   "GIF87", "PSD", "XC",  "MIFF"};
  return coders;
}

void UnregisterForeignCoders() {
  MagickLib::ExceptionInfo exception;
  MagickLib::GetExceptionInfo(&exception);
  MagickLib::MagickInfo** infos = MagickLib::GetMagickInfoArray(&exception);
  MagickLib::DestroyExceptionInfo(&exception);
  if (!infos) return;
  std::vector<std::string> foreign;
  for (size_t i = 0; infos[i]; ++i)
    if (infos[i]->name && !OfferedCoders().count(infos[i]->name)) foreign.push_back(infos[i]->name);
  MagickLib::MagickFree(infos);
  for (const std::string& name : foreign) MagickLib::UnregisterMagickInfo(name.c_str());
}

}  // namespace

void InitializeImageLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    Magick::InitializeMagick(nullptr);
    InstallLibraryWarningHandlers();
    // Half the memory for the pixel cache; beyond it, a bounded spill to
    // disk, and no image larger than kMaxImagePixels at all.
    const int64_t memory = std::max<int64_t>(PhysicalMemory() / 2, int64_t(256) << 20);
    MagickLib::SetMagickResourceLimit(MagickLib::PixelsResource, kMaxImagePixels);
    MagickLib::SetMagickResourceLimit(MagickLib::MemoryResource, memory);
    MagickLib::SetMagickResourceLimit(MagickLib::MapResource, memory);
    MagickLib::SetMagickResourceLimit(MagickLib::DiskResource, kMaxPixelCacheDisk);
    UnregisterForeignCoders();
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
  if (starts("II+\0", 4) || starts("MM\0+", 4)) return IK_TIFF;
  if (starts("\x89PNG\r\n\x1A\n", 8)) return IK_PNG;
  if (starts("BM", 2)) return IK_BMP;
  if (n >= 3 && b[0] == 'P' && b[1] >= '1' && b[1] <= '7' && std::isspace(b[2])) return IK_PNM;
  if (starts("RIFF", 4) && n >= 12 && std::memcmp(b + 8, "WEBP", 4) == 0) return IK_WEBP;
  // An ISO media file whose major brand is a still-image one.
  if (n >= 12 && std::memcmp(b + 4, "ftyp", 4) == 0) {
    const std::string brand(reinterpret_cast<const char*>(b + 8), 4);
    if (brand == "avif" || brand == "avis") return IK_AVIF;
    for (const char* heif : {"heic", "heix", "hevc", "hevx", "heim", "heis", "mif1", "msf1"})
      if (brand == heif) return IK_HEIF;
  }
  if (starts("\xFF\x0A", 2) || starts("\0\0\0\x0CJXL \r\n\x87\n", 12)) return IK_JXL;
  return IK_UNKNOWN;
}

IMAGEKIND SniffImageFile(const MyString& path) {
  const int fd = OpenImageFile(path);
  if (fd < 0) return IK_UNKNOWN;
  uint8_t bytes[16] = {};
  size_t count = 0;
  while (count < sizeof(bytes)) {
    const ssize_t n = ::read(fd, bytes + count, sizeof(bytes) - count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    count += size_t(n);
  }
  ::close(fd);
  return SniffImageKind(bytes, count);
}

MyString ExtensionOfContent(IMAGEKIND kind) {
  switch (kind) {
    case IK_HEIF:
      return u"HEIC";
    case IK_AVIF:
      return u"AVIF";
    case IK_WEBP:
      return u"WEBP";
    case IK_JXL:
      return u"JXL";
    default:
      return MyString();
  }
}

std::string MagickFormatOfKind(IMAGEKIND kind) {
  switch (kind) {
    case IK_GIF:
      return "GIF";
    case IK_JPEG:
      return "JPEG";
    case IK_TIFF:
      return "TIFF";
    case IK_PNG:
      return "PNG";
    case IK_BMP:
      return "BMP";
    case IK_PNM:
      return "PNM";
    default:
      return "";
  }
}

int OpenImageFile(const MyString& path, std::string* error) {
  const std::string name = CStrAW::ToPath(path).string();
  // Non-blocking, so that a named pipe put in place of the file cannot hang the reader.
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (error) *error = std::string("unable to open file: ") + std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    if (error) *error = "not a regular file";
    return -1;
  }
  return fd;
}

bool IsReadableImageFile(const MyString& path, std::string* error) {
  const int fd = OpenImageFile(path, error);
  if (fd < 0) return false;
  ::close(fd);
  return true;
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
  if (ext == u"BMP") return IK_BMP;
  if (ext == u"PBM" || ext == u"PGM" || ext == u"PPM" || ext == u"PNM" || ext == u"PAM")
    return IK_PNM;
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
