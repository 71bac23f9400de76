#pragma once
// The readers and writers of the formats plug-in: HEIF and AVIF (libheif),
// WebP (libwebp), JPEG XL (libjxl) and camera RAW (LibRaw). Each gives a
// new 32-bit top-down BGRA bitmap in sRGB (or null with the library's
// reason), the alpha straight. Any thread; nothing is shared between reads.

#include <cstddef>
#include <cstdint>
#include <string>

#include "corekit/bitmap.h"
#include "corekit/messages.h"

enum FORMATKIND : int { FK_UNKNOWN = 0, FK_HEIF, FK_WEBP, FK_JXL, FK_RAW };

// Largest picture a read may make (pixels), as the program's own readers.
constexpr int64_t kMaxFormatPixels = int64_t(1) << 28;

struct tagFORMATREAD {
  // The box the picture is shown in (0 x 0: unknown). A RAW file's
  // embedded preview is taken when it is at least this big.
  SIZE szView{0, 0};
  // Turned as the file says (EXIF orientation, HEIF transforms).
  bool bUpright = true;
  // A thumbnail for this box: embedded thumbnails and previews first, and
  // never a full RAW development.
  bool bThumbnail = false;
};

// The kind the first bytes show; FK_RAW is never sniffed (RAW files are
// TIFF-like or vendor-specific).
FORMATKIND SniffFormat(const uint8_t* bytes, size_t size);
// The kind an extension (without the dot, any case) names.
FORMATKIND KindOfFormatExtension(const std::u16string& extension);

// Reads a file: by its bytes for HEIF, WebP and JPEG XL, else by its
// extension for RAW. Null with the reason in *error.
HBITMAP ReadFormatFile(const std::string& path, const std::u16string& extension,
                       const tagFORMATREAD& read, std::string* error);

// The readers on bytes in memory (RAW: LibRaw reads the buffer).
HBITMAP ReadHeif(const uint8_t* data, size_t size, const tagFORMATREAD& read, std::string* error);
HBITMAP ReadWebp(const uint8_t* data, size_t size, const tagFORMATREAD& read, std::string* error);
HBITMAP ReadJxl(const uint8_t* data, size_t size, const tagFORMATREAD& read, std::string* error);
HBITMAP ReadRaw(const uint8_t* data, size_t size, const tagFORMATREAD& read, std::string* error);
HBITMAP ReadRawFile(const std::string& path, const tagFORMATREAD& read, std::string* error);

// Writers of a bitmap (its alpha kept). quality 1..100 (WebP); lossless
// JPEG XL keeps every pixel. True when the file was written.
bool WriteWebp(const std::string& path, const tagLORIMOBITMAP& bitmap, int quality,
               std::string* error);
bool WriteJxl(const std::string& path, const tagLORIMOBITMAP& bitmap, bool lossless, int quality,
              std::string* error);

// Helpers shared by the readers and writers.
// Writes bytes to path through a temporary file beside it, so that the old
// file is replaced only by a complete new one.
bool WriteWholeFile(const std::string& path, const uint8_t* bytes, size_t size, std::string* error);
// Whether the program's limits allow a width x height picture; false with
// the reason.
bool FormatSizeAllowed(int64_t width, int64_t height, std::string* error);
// A bitmap for width x height when the program's limits allow it, else
// null with the reason.
HBITMAP NewFormatBitmap(int64_t width, int64_t height, std::string* error);
// Turns BGRA pixels from the ICC profile's colours into sRGB; unreadable or
// non-RGB profiles leave them as they are.
void ConvertToSrgb(const uint8_t* icc, size_t iccSize, HBITMAP bitmap);
// The EXIF Orientation (1..8) of an EXIF block (TIFF header first, an
// "Exif\0\0" prefix allowed); 1 when it holds none.
int ExifOrientation(const uint8_t* exif, size_t size);
// A new bitmap turned by an EXIF orientation; the source is deleted. Null
// when memory runs out (the source is deleted too).
HBITMAP OrientBitmap(HBITMAP bitmap, int orientation);
// Swaps red and blue of every pixel (RGBA <-> BGRA).
void SwapRedBlue(HBITMAP bitmap);
// Fits the bitmap into box (never enlarging); the source is deleted.
HBITMAP FitBitmap(HBITMAP bitmap, SIZE box);
// The smallest JPEG embedded in a TIFF-based RAW file (DNG, CR2, NEF, ARW,
// PEF, ORF, ...) that covers box, decoded for it and turned by the file's
// orientation when upright; null when there is none (the file is then left
// to LibRaw). Cameras store a small thumbnail beside the large preview,
// and LibRaw offers only one of them.
HBITMAP ReadTiffThumbnail(const std::string& path, SIZE box, bool upright);
// Decodes a JPEG (an embedded RAW preview) with TurboJPEG, reduced to the
// smallest size that still covers box when box is set.
HBITMAP DecodeJpeg(const uint8_t* data, size_t size, SIZE box, std::string* error);
