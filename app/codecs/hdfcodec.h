#pragma once
// HDF raster images through the HDF4 library's raster interface, since
// this platform's GraphicsMagick has no HDF coder: reads the first 24-bit
// raster of a file (or else its first 8-bit raster, with its palette) and
// writes one 24-bit raster. The HDF4 library keeps global state and is not
// thread-safe: writes run under one lock, reads in a child process forked
// under it.

#include <string>

#include <Magick++.h>

#include "corekit/mystring.h"

// Files are read in a child process stopped after this many milliseconds,
// since the library hangs or crashes on some damaged files.
constexpr int kHdfReadDeadlineMs = 10000;
// Another deadline (tests).
void SetHdfReadDeadline(int milliseconds);

// 1 and the image (RGB) on success; 0 with a reason in *error.
int ReadHdfRaster(const MyString& path, Magick::Image* image, std::string* error);
int PingHdfRaster(const MyString& path, size_t* width, size_t* height, std::string* error);

// Encodes the image as an HDF file with one 24-bit raster into *bytes. 1 on success.
int WriteHdfRaster(const Magick::Image& image, std::string* bytes, std::string* error);
