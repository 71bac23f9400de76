#include "codecs/orientation.h"

#include <exiv2/exiv2.hpp>

#include "codecs/imagelibrary.h"
#include "codecs/librarylog.h"
#include "codecs/losslessjpeg.h"
#include "corekit/straw.h"

namespace {

// GraphicsMagick keeps a JPEG's EXIF block as the "EXIF" profile, the bytes
// of the APP1 segment after its length ("Exif\0\0" and the TIFF block).
// Wrapped as the head of a JPEG, the JPEG tag writer sets it.
void ResetProfileOrientation(Magick::Image& image) {
  // Magick++ throws for a profile the image does not have.
  size_t present = 0;
  if (!MagickLib::GetImageProfile(image.constImage(), "EXIF", &present)) return;
  const Magick::Blob profile = image.profile("EXIF");
  if (profile.length() < 6 || profile.length() + 2 > 0xFFFF) return;
  const size_t length = profile.length() + 2;
  std::string jpeg = {char(0xFF), char(0xD8),        char(0xFF),
                      char(0xE1), char(length >> 8), char(length & 0xFF)};
  jpeg.append(static_cast<const char*>(profile.data()), profile.length());
  jpeg.append({char(0xFF), char(0xD9)});
  if (SetExifOrientation(jpeg, 1) != 1 || jpeg.size() < 8) return;
  const size_t newLength = (size_t(uint8_t(jpeg[4])) << 8 | uint8_t(jpeg[5])) - 2;
  if (6 + newLength > jpeg.size()) return;
  image.profile("EXIF", Magick::Blob(jpeg.data() + 6, newLength));
}

}  // namespace

void MarkImageUpright(Magick::Image& image) {
  image.orientation(Magick::TopLeftOrientation);
  ResetProfileOrientation(image);
}

int OrientationOfExif(const Exiv2::ExifData& exif) {
  static const char* const kGroups[] = {"Image", "Thumbnail", "Photo", "GPSInfo", "Iop"};
  // Tags the library has no name for in a group are found by group and number.
  for (const char* group : kGroups)
    for (const Exiv2::Exifdatum& datum : exif) {
      if (datum.tag() != 0x0112 || datum.groupName() != group || datum.count() == 0) continue;
      const long value = datum.toLong(0);
      return value >= 1 && value <= 8 ? int(value) : 1;
    }
  return 1;
}

int ReadFileOrientation(const MyString& path) {
  InstallLibraryWarningHandlers();
  if (!IsReadableImageFile(path)) return 1;
  try {
    auto file = Exiv2::ImageFactory::open(CStrAW::w_toA(path));
    if (!file.get()) return 1;
    file->readMetadata();
    return OrientationOfExif(file->exifData());
  } catch (const std::exception&) {
    // No metadata Exiv2 can read: nothing says the picture is turned.
    return 1;
  }
}

void TurnImage(Magick::Image& image, int code) {
  switch (code) {
    case LT_ROTATE90:
      image.rotate(90);
      break;
    case LT_ROTATE180:
      image.rotate(180);
      break;
    case LT_ROTATE270:
      image.rotate(270);
      break;
    case LT_FLIPH:
      image.flop();
      break;
    case LT_FLIPV:
      image.flip();
      break;
    case LT_TRANSPOSE:
      image.rotate(90);
      image.flop();
      break;
    case LT_TRANSVERSE:
      image.rotate(270);
      image.flop();
      break;
    default:
      break;
  }
}

int TurnUpright(Magick::Image* image, int orientation, std::string* error) {
  const int code = UprightTransform(orientation);
  if (code == LT_NONE) return 1;
  try {
    Magick::Image turned = *image;
    TurnImage(turned, code);
    MarkImageUpright(turned);
    *image = turned;
    return 1;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return 0;
  }
}
