#include "lorimomagick/version.h"

#include <Magick++.h>

const char* LorimoMagickEngineVersion() {
  unsigned long number = 0;
  return MagickLib::GetMagickVersion(&number);
}
