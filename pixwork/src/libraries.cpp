#include "pixwork/libraries.h"

#include <zip.h>

#include <Magick++.h>
#include <sane/sane.h>

#include "corekit/straw.h"

MyString PixworkLibraryVersions() {
  unsigned long number = 0;
  const char* magick = MagickLib::GetMagickVersion(&number);
  return CStrAW::printf(u"%S; libzip %S; SANE %d.%d", magick, zip_libzip_version(),
                        SANE_CURRENT_MAJOR, SANE_CURRENT_MINOR);
}
