#pragma once
// Photoshop files as GraphicsMagick images: our reader for 8-bit RGB, and
// when it refuses a file, the merged image of any other kind, sampled down
// to the size hint.

#include <string>

#include <Magick++.h>

#include "codecs/psdreader.h"
#include "corekit/messages.h"
#include "corekit/mystring.h"

// The planes of the strict reader composed onto a black image: the first
// four copied as red, green, blue and opacity; an absent opacity plane
// leaves the image opaque.
Magick::Image ImageFromPlanes(const CPsdPlanes& planes);
Magick::Image ImageFromComposite(const CPsdComposite& composite);

// The whole read of a ".psd" file. 1 on success; 0 with the reason of the
// last reader that refused it in *error.
int ReadPhotoshopImage(const MyString& path, Magick::Image* image, const SIZE* sizeHint,
                       std::string* error);
// Only the size, from the header. 1 on success.
int PingPhotoshopImage(const MyString& path, size_t* width, size_t* height);
