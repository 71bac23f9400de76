#pragma once
// install.ini in the configuration folder: section "INST_DEF", key
// "StartImage", the default image that start-up choice 2 shows.

#include "corekit/mystring.h"

// The configuration folder + "/install.ini".
MyString GetInstallFilePath();
// The stored start image, or empty text.
MyString ReadStartImage(const MyString& iniPath);
// Makes the file writable when it was read-only, then stores the image.
// 1 when the file was written.
int WriteStartImage(const MyString& iniPath, const MyString& image);
