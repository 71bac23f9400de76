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

void UpdateFields(Exiv2::ExifData& exif, int width, int height) {
  const bool hadExif = !exif.empty();
  exif["Exif.Image.Software"] = std::string(CExifCopy::kSoftware);
  exif["Exif.Image.DateTime"] = ExifNow();
  exif["Exif.Photo.PixelXDimension"] = uint32_t(width);
  exif["Exif.Photo.PixelYDimension"] = uint32_t(height);
  if (!hadExif) {
    Exiv2::DataValue version(reinterpret_cast<const Exiv2::byte*>("0220"), 4,
                             Exiv2::invalidByteOrder, Exiv2::undefined);
    exif["Exif.Photo.ExifVersion"] = version;
  }
}

Exiv2::Image::AutoPtr OpenBytes(const std::string& jpeg) {
  auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(jpeg.data()),
                                         long(jpeg.size()));
  image->readMetadata();
  return image;
}

// Writes exif into the image read from memory and gives back its bytes;
// Exiv2 rewrites only its own memory copy.
void PutExif(Exiv2::Image& image, const Exiv2::ExifData& exif, std::string* jpeg) {
  image.setExifData(exif);
  image.writeMetadata();
  Exiv2::BasicIo& io = image.io();
  if (io.open() != 0) throw Exiv2::Error(Exiv2::kerDataSourceOpenFailed, "memory");
  const long size = long(io.size());
  const Exiv2::DataBuf written = io.read(size);
  io.close();
  if (size <= 0 || written.size_ != size) throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
  jpeg->assign(reinterpret_cast<const char*>(written.pData_), size_t(size));
}

// Exiv2's type of the file; none also when its probes run past the end of
// a short file of another kind.
int SourceType(const std::string& name) {
  try {
    return Exiv2::ImageFactory::getType(name);
  } catch (const std::exception&) {
    return Exiv2::ImageType::none;
  }
}

}  // namespace

int CExifCopy::Copy(const MyString& source, std::string* jpeg, int width, int height,
                    MyString* error) {
  InstallLibraryWarningHandlers();
  try {
    const std::string name = CStrAW::w_toA(source);
    Exiv2::ExifData exif;
    // A format without metadata (HDF) has no block to carry over: the
    // JPEG gets a fresh one.
    if (SourceType(name) != Exiv2::ImageType::none) {
      auto input = Exiv2::ImageFactory::open(name);
      input->readMetadata();
      exif = input->exifData();
    }
    UpdateFields(exif, width, height);
    auto output = OpenBytes(*jpeg);
    PutExif(*output, exif, jpeg);
    return 1;
  } catch (const std::exception& e) {
    if (error) *error = CStrAW::a_toW(e.what());
    return 0;
  }
}

int CExifCopy::Refresh(std::string* jpeg, MyString* error) {
  InstallLibraryWarningHandlers();
  try {
    auto image = OpenBytes(*jpeg);
    Exiv2::ExifData exif = image->exifData();
    UpdateFields(exif, image->pixelWidth(), image->pixelHeight());
    PutExif(*image, exif, jpeg);
    return 1;
  } catch (const std::exception& e) {
    if (error) *error = CStrAW::a_toW(e.what());
    return 0;
  }
}
