#pragma once
// GraphicsMagick for the whole program: started once, with resource limits
// so that a decompression bomb fails its load instead of exhausting memory
// or disk; the decoder settings each read gets; and which coder a file goes
// to (ours for Photoshop, JPEG 2000 and HDF, GraphicsMagick's for the rest).

#include <cstdint>
#include <string>

#include <Magick++.h>

#include "corekit/mystring.h"

// Largest image any decoder may produce (pixels), and the memory, map and
// disk the pixel cache may take.
constexpr int64_t kMaxImagePixels = int64_t(1) << 28;
constexpr int64_t kMaxPixelCacheDisk = int64_t(4) << 30;
// Progressive JPEG scans read before a file counts as hostile: a few
// thousand tiny scans can otherwise keep the decoder busy for minutes.
constexpr int kJpegMaxScans = 100;

// Starts GraphicsMagick, sets the limits and removes every coder the
// program does not offer (PostScript, PDF, SVG, MVG, MSL, text, URLs and
// the other delegate-backed or scripting formats), so that no file reaches
// them whatever its bytes; later calls do nothing. Thread-safe.
void InitializeImageLibrary();

// Puts the per-read decoder limits (the JPEG scan limit) on an image
// before it reads.
void ApplyDecoderLimits(Magick::Image& image);

// The kind of a file, from its first bytes.
enum IMAGEKIND : int {
  IK_UNKNOWN = 0,
  IK_GIF,
  IK_JPEG,
  IK_JP2,  // JPEG 2000 file (boxes)
  IK_J2K,  // JPEG 2000 code stream
  IK_HDF,
  IK_PSD,
  IK_TIFF,
  IK_PNG,
  IK_BMP,
  IK_PNM,  // PBM, PGM, PPM and PAM
  // Read by plug-ins only.
  IK_HEIF,  // HEIC and other HEIF still images
  IK_AVIF,
  IK_WEBP,
  IK_JXL,
};
IMAGEKIND SniffImageKind(const uint8_t* bytes, size_t size);
// Reads the first bytes of the file; IK_UNKNOWN when it cannot be read or
// is no regular file.
IMAGEKIND SniffImageFile(const MyString& path);

// The extension that files of a plug-in-only kind usually have ("HEIC",
// "AVIF", "WEBP", "JXL"); empty for the other kinds.
MyString ExtensionOfContent(IMAGEKIND kind);

// The GraphicsMagick format that reads files of this kind, "" for the kinds
// it may not read (ours, and unknown content).
std::string MagickFormatOfKind(IMAGEKIND kind);

// Opens path for reading without blocking and only when it is a regular
// file (not a named pipe or a device put in its place): the descriptor, or
// -1 with the reason in *error.
int OpenImageFile(const MyString& path, std::string* error = nullptr);
// Whether path is a regular file that can be opened for reading.
bool IsReadableImageFile(const MyString& path, std::string* error = nullptr);

// The kind an extension (without its dot, any case) names, IK_UNKNOWN for
// the extensions of no format we know.
IMAGEKIND KindOfExtension(const MyString& extension);

// The GraphicsMagick format name that writes files with this extension
// ("JPG" -> "JPEG", "TIF" -> "TIFF"); the extension in capitals otherwise.
std::string MagickFormatOfExtension(const MyString& extension);

// A path for GraphicsMagick: absolute, UTF-8, so that no part of it is
// taken for a "format:" prefix.
std::string MagickPath(const MyString& path);
