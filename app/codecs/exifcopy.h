#pragma once
// Carries the EXIF block of a JPEG over to a JPEG written from it (Save As,
// rotations), with the fields that describe the new file brought up to
// date: Software, DateTime and the pixel dimensions. A source without EXIF
// gives the target a fresh block that also states the EXIF version. The
// block goes into the encoded bytes before they are written: rewriting a
// file in place would leave a photo cut short by a kill or a full disk.

#include <string>

#include "corekit/mystring.h"

class CExifCopy {
 public:
  static constexpr char kSoftware[] = "Lorimo Image Viewer";

  // Puts the EXIF block of the image file source, brought up to date for a
  // picture of width x height, into the JPEG held in *jpeg (a fresh block
  // when the source's format carries none). 1 on success; 0 (*jpeg
  // untouched) when the source or the JPEG cannot be read with their
  // metadata or the block cannot be put in, with Exiv2's reason in *error.
  static int Copy(const MyString& source, std::string* jpeg, int width, int height,
                  MyString* error = nullptr);
  // The same with the JPEG's own block (a lossless copy carries the
  // source's block already), for the size its frame states.
  static int Refresh(std::string* jpeg, MyString* error = nullptr);
};
