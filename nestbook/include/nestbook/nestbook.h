#pragma once
// Where the favorites file lives.
#include "corekit/mystring.h"

MyString NestbookFavoritesPath();
