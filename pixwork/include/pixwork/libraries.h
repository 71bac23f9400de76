#pragma once
// Versions of the outside libraries Pixwork works with, for "About".
#include "corekit/mystring.h"

MyString PixworkLibraryVersions();
