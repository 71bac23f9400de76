#pragma once
// Decodes an image file into a QImage for display.

#include <QImage>

#include "corekit/mystring.h"

// Null QImage when the file cannot be decoded; errorText then says why.
QImage DecodeImageForView(const MyString& path, MyString* errorText = nullptr);
