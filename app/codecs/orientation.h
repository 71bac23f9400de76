#pragma once
// Photos shown upright: the EXIF Orientation a camera or phone writes
// instead of turning the pixels, read from the file and applied to the
// decoded image. Any thread.

#include <string>

#include <Magick++.h>

#include "corekit/mystring.h"

namespace Exiv2 {
class ExifData;
}

// The EXIF Orientation of a file's metadata: the first of the EXIF
// directories that holds one, in the order IFD0, IFD1, Exif, GPS, Interop;
// 1..8, or 1 when none does or the value is outside 1..8.
int OrientationOfExif(const Exiv2::ExifData& exif);
// The same read from the file (a regular file only: Exiv2 would wait on a
// named pipe); 1 when its metadata cannot be read.
int ReadFileOrientation(const MyString& path);

// Turns the image by a LOSSLESSTRANSFORM code (rotations, mirrors and the
// two diagonal mirrors). Throws what GraphicsMagick throws.
void TurnImage(Magick::Image& image, int code);

// The image's pixels stand upright now: its orientation and its EXIF
// profile say 1. Throws what GraphicsMagick throws.
void MarkImageUpright(Magick::Image& image);

// Turns the image upright for orientation. Its own EXIF profile (which a
// later write carries into the file) then says 1, so no program turns the
// picture a second time. 1 on success or when there was nothing to do; 0
// with GraphicsMagick's reason, the image unchanged.
int TurnUpright(Magick::Image* image, int orientation, std::string* error = nullptr);
