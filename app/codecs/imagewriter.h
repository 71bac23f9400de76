#pragma once
// Writing image files without a window: the format follows the extension,
// with our own coders for JPEG 2000 and HDF, and the file is replaced only
// once the new one is complete. Any thread.

#include <functional>
#include <string>

#include <Magick++.h>

#include "corekit/atomicfile.h"
#include "corekit/mystring.h"

// Encodes image for a file with this extension (without its dot; empty
// keeps the image's own format) into *bytes. A JPEG is written at
// jpegQuality unless the image was given a quality of its own. 1 on
// success, else 0 with the reason in *error.
int EncodeImage(const Magick::Image& image, const MyString& extension, unsigned jpegQuality,
                std::string* bytes, std::string* error);

// What a write adds to the plain one: how the target's name is treated
// (corekit/atomicfile.h), and a last change to the encoded bytes (EXIF)
// made before anything reaches the disk; 0 from it fails the write with
// *error.
struct tagIMAGEWRITE {
  tagATOMICWRITEOPTIONS file;
  std::function<int(std::string& bytes, MyString* error)> finish;
};

// EncodeImage by the path's extension, then the bytes written over path
// atomically. 1 on success, else 0 with the reason in *error.
int WriteImageFile(const MyString& path, const Magick::Image& image, unsigned jpegQuality,
                   MyString* error, const tagIMAGEWRITE& write = tagIMAGEWRITE());
