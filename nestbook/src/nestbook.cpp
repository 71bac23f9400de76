#include "nestbook/nestbook.h"

#include "corekit/platform.h"

MyString NestbookFavoritesPath() { return GetConfigFolder() + u"/FAVORITES.TXT"; }
