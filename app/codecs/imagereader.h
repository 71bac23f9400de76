#pragma once
// The reading rules for image files, without a window: which coder takes a
// file (ours for Photoshop, JPEG 2000 and HDF, GraphicsMagick's for the
// rest), the first page of a TIFF, the frames of a GIF, the reduced JPEG
// decode for a size hint, and warnings told apart from errors. Any thread;
// reads on different threads run side by side. The viewer adds its load
// slot, progress strip and messages on top (viewer/imageio.h).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <Magick++.h>

#include "corekit/messages.h"
#include "corekit/mystring.h"

class CDecodeProgress;
struct CPixelPicture;

struct CImageReadRequest {
  MyString path;
  // The extension to read by, without its dot: the file's own, or for a
  // file without one the chosen format's.
  MyString extension;
  // The GraphicsMagick format a file without extension is read as ("" for none).
  std::string forcedFormat;
  // Lets a JPEG decode at reduced size (null or empty: full size).
  const SIZE* sizeHint = nullptr;
  // A GIF of two or more frames gives all its frames, coalesced.
  bool bAllFrames = false;
  // Registered for the calling thread during the read (null: the thread's own).
  CDecodeProgress* progress = nullptr;
  // The picture is turned as its EXIF Orientation says (photos upright).
  bool bUpright = false;
  // A JPEG photo may come as 8-bit pixels only (result.picture), for a
  // caller that shows it and makes the image when it needs one.
  bool bPixels = false;
};

struct CImageReadResult {
  Magick::Image image;
  // An animation's coalesced frames (two or more); the first is the image.
  std::vector<Magick::Image> frames;
  std::vector<std::string> warnings;
  // Why the read failed; bUnexpected when no decoder said so.
  std::string error;
  bool bUnexpected = false;
  // The EXIF Orientation the image was turned from (1: as stored).
  int nOrientation = 1;
  // Set instead of image when the request allowed it: the pixels, already
  // upright; MakeImageFromPixels gives the image.
  std::shared_ptr<const CPixelPicture> picture;
};

// The extension of path to read by (without its dot); empty for none.
MyString ExtensionOf(const MyString& path);

// Reads the file by the rules above, the image in RGB. 1 on success; 0 with
// the reason in result->error.
int ReadImageFile(const CImageReadRequest& request, CImageReadResult* result);

// Reads path by its own extension at full size, for work that is not the
// viewer's. 1 on success, else 0 with the reason in *error.
int DecodeImageFile(const MyString& path, Magick::Image* image, std::string* error = nullptr,
                    CDecodeProgress* progress = nullptr);

// The size from the file's header only, by the same rules. 1 on success.
int PingImageFile(const MyString& path, const MyString& extension, const std::string& forcedFormat,
                  SIZE* size);

// Copies rows of the image as B, G, R, A bytes (stride columns * 4). An
// image without an alpha channel comes out opaque: GraphicsMagick exports
// whatever its pixels' unused opacity holds, which some readers (BMP)
// leave as stale memory. Throws what GraphicsMagick throws.
void ExportBgraPixels(const Magick::Image& image, size_t y, size_t rows, uint8_t* pixels);

// The colour transparent pixels take when a transparent image is shown:
// the background colour moved by one 16-bit step off the values 8-bit
// files hold, so that no opaque pixel of such a file shares it and saving
// turns only the formerly transparent pixels transparent again.
Magick::Color TransparencyColor(const Magick::Color& background);

// Puts an image with transparency over its transparency colour (opaque
// afterwards, same depth). False, image unchanged, when it had none or
// the composition failed.
bool FlattenOverTransparencyColor(Magick::Image* image, Magick::Color* color);
