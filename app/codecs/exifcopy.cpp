#include "codecs/exifcopy.h"

#include <ctime>

#include <exiv2/exiv2.hpp>

#include "codecs/librarylog.h"
#include "corekit/straw.h"

namespace {

// EXIF dates read "YYYY:MM:DD HH:MM:SS", in local time.
std::string ExifNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[20];
  std::strftime(text, sizeof(text), "%Y:%m:%d %H:%M:%S", &local);
  return text;
}

}  // namespace

int CExifCopy::Copy(const MyString& source, const MyString& target, int width, int height,
                    MyString* error) {
  InstallLibraryWarningHandlers();
  try {
    auto input = Exiv2::ImageFactory::open(CStrAW::w_toA(source));
    input->readMetadata();
    Exiv2::ExifData exif = input->exifData();
    const bool hadExif = !exif.empty();
    exif["Exif.Image.Software"] = std::string(kSoftware);
    exif["Exif.Image.DateTime"] = ExifNow();
    exif["Exif.Photo.PixelXDimension"] = uint32_t(width);
    exif["Exif.Photo.PixelYDimension"] = uint32_t(height);
    if (!hadExif) {
      Exiv2::DataValue version(reinterpret_cast<const Exiv2::byte*>("0220"), 4,
                               Exiv2::invalidByteOrder, Exiv2::undefined);
      exif["Exif.Photo.ExifVersion"] = version;
    }
    auto output = Exiv2::ImageFactory::open(CStrAW::w_toA(target));
    output->readMetadata();
    output->setExifData(exif);
    output->writeMetadata();
    return 1;
  } catch (const std::exception& e) {
    if (error) *error = CStrAW::a_toW(e.what());
    return 0;
  }
}
