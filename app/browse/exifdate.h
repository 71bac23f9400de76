#pragma once
// When a picture was taken, from its EXIF DateTimeOriginal with the
// sub-seconds, for the "EXIF Date" sort order. The date has no zone of its
// own: the offset stored beside it is used, else the local zone. No
// widgets; any thread.

#include "corekit/mystring.h"
#include "corekit/platform.h"

// The taken time as UTC; false when the file has no such date (or it is
// not a valid one).
bool ReadExifTakenTime(const MyString& path, FILETIME64* taken);
// Hands ReadExifTakenTime to the folder lists.
void RegisterExifDateReader();
