#pragma once
// JPEG 2000 through OpenJPEG, since this platform's GraphicsMagick has no
// coder for it: reads JP2 files and bare code streams (J2C), writes JP2.

#include <string>

#include <Magick++.h>

#include "corekit/mystring.h"

// Reads the file (JP2 or code stream, told apart by its first bytes) into
// *image as RGB (with opacity when the file has an alpha component). 1 on
// success; 0 with the decoder's message in *error. A picture larger than
// the pixel limit, or with more than four components, is refused before it
// is decoded.
int ReadJpeg2000(const MyString& path, Magick::Image* image, std::string* error);
// The same for the bytes of such a file.
int ReadJpeg2000Bytes(const std::string& bytes, Magick::Image* image, std::string* error);
// Only the size, from the headers. 1 on success.
int PingJpeg2000(const MyString& path, size_t* width, size_t* height, std::string* error);

// Encodes the image as a JP2 file into *bytes. Lossless, unless the image
// carries the define "jp2:quality" with a value of 1 to 99 (the format
// options set it), which trades size for quality. 1 on success.
int WriteJpeg2000(const Magick::Image& image, std::string* bytes, std::string* error);
