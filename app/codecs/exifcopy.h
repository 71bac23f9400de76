#pragma once
// Carries the EXIF block of a JPEG over to a JPEG written from it (Save As,
// rotations), with the fields that describe the new file brought up to
// date: Software, DateTime and the pixel dimensions. A source without EXIF
// gives the target a fresh block that also states the EXIF version.

#include "corekit/mystring.h"

class CExifCopy {
 public:
  static constexpr char kSoftware[] = "Lorimo Image Viewer";

  // 1 when the target's EXIF was written; 0 (target untouched) when either
  // file cannot be read as an image with metadata or writing fails, with
  // Exiv2's reason in *error.
  static int Copy(const MyString& source, const MyString& target, int width, int height,
                  MyString* error = nullptr);
};
