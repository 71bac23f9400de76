#pragma once
// JPEG photos decoded by libjpeg-turbo straight to 8-bit pixels, the form
// the screen needs: a 24-megapixel photo then takes a quarter of the
// memory GraphicsMagick's 16-bit image would, and no conversion. The 16-bit
// image that editing and saving work on is made from these pixels only
// when it is needed, with the file's profiles and attributes, so it is the
// image GraphicsMagick would have read. Any thread.

#include <cstdint>
#include <memory>
#include <string>

#include <Magick++.h>

#include "corekit/messages.h"
#include "corekit/mystring.h"

struct CPixelsFree {
  void operator()(uint8_t* pixels) const;
};
using PixelBuffer = std::unique_ptr<uint8_t[], CPixelsFree>;

// Room for bytes of pixels (null when there is none), in huge pages where
// the system gives them: a photo's buffer is written once from end to
// end, and page faults of 4 kB pages cost a fifth of its decode.
PixelBuffer AllocatePixels(size_t bytes);

struct CPixelPicture {
  int nWidth = 0;
  int nHeight = 0;
  // Rows of nWidth pixels of blue, green, red and one unused byte (the
  // layout of a 32-bit screen image), without padding.
  PixelBuffer pPixels;
  // The file's profiles (EXIF, ICC, IPTC, XMP), attributes and resolution,
  // on an image without pixels.
  Magick::Image meta;
  // The EXIF Orientation the pixels were turned from (1: as stored).
  int nTurnedFrom = 1;

  size_t Bytes() const { return size_t(nWidth) * size_t(nHeight) * 4; }
  // The embedded ICC profile (null and 0 when none).
  const void* IccProfile(size_t* length) const;
};

// Decodes the JPEG file into *picture: at full size without a hint, else at
// ChooseJpegScale's size. 1 on success (a recoverable flaw such as a damaged
// restart marker leaves its text in *warning); 0 when this path does not
// take the file (not a JPEG, grey or CMYK, a fatal decoder error): the
// caller then reads it with GraphicsMagick, which reports the error in its
// own words.
int ReadJpegPixels(const MyString& path, const SIZE* hint, CPixelPicture* picture,
                   std::string* warning);

// Turns the pixels upright for an EXIF orientation (2..8; others leave
// them) and notes it in nTurnedFrom. False when memory ran out.
bool TurnPixelsUpright(CPixelPicture* picture, int orientation);

// The RGB image of depth 8 with the file's profiles and attributes; one
// turned upright says Orientation 1. 1 on success; 0 with the reason.
int MakeImageFromPixels(const CPixelPicture& picture, Magick::Image* image,
                        std::string* error = nullptr);
