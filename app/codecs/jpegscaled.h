#pragma once
// JPEG read at reduced size for a size hint: libjpeg-turbo decodes the
// coefficients straight to a smaller picture (1/2, 3/8, 1/4, 1/8, ...),
// which is several times faster than decoding everything and scaling.

#include <string>

#include <Magick++.h>

#include "corekit/messages.h"
#include "corekit/mystring.h"

struct CJpegScale {
  int nNum = 1;
  int nDenom = 1;
};

// The scale for a size hint: the smallest of 1/2, 1/4 and 1/8 (the factors
// libjpeg-turbo decodes with its fast paths; the others are no faster than
// the next larger one) whose picture is at most a tenth smaller than the
// picture fitted into the hint's box; 1/1 when none is.
CJpegScale ChooseJpegScale(int width, int height, const SIZE& hint);

// Decodes the JPEG file at ChooseJpegScale's size into *image (RGB).
// 1 on success (a recoverable flaw leaves its text in *warning); 0 when
// this path does not take the file (not a JPEG, CMYK, a fatal decoder
// error): the caller then reads it the general way, which reports the
// error in its own words.
int ReadJpegScaled(const MyString& path, const SIZE& hint, Magick::Image* image,
                   std::string* warning);
