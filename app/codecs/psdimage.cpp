#include "codecs/psdimage.h"

#include <cstdio>
#include <memory>
#include <unistd.h>

#include "codecs/imagelibrary.h"
#include "corekit/straw.h"

namespace {

struct CFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, CFileCloser>;

FilePtr OpenFile(const MyString& path) {
  const int fd = OpenImageFile(path);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "rb");
  if (!file) ::close(fd);
  return FilePtr(file);
}

Magick::Image PlaneImage(const std::vector<uint8_t>& plane, size_t width, size_t height) {
  Magick::Image image(width, height, "I", Magick::CharPixel, plane.data());
  return image;
}

// Whether this GraphicsMagick reads Photoshop files itself.
bool MagickReadsPhotoshop() {
  try {
    return Magick::CoderInfo("PSD").isReadable();
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

Magick::Image ImageFromPlanes(const CPsdPlanes& planes) {
  const size_t width = planes.nWidth, height = planes.nHeight;
  Magick::Image image(Magick::Geometry(width, height), Magick::Color(0, 0, 0));
  static const Magick::CompositeOperator kCopy[kPsdKeptPlanes] = {
      Magick::CopyRedCompositeOp, Magick::CopyGreenCompositeOp, Magick::CopyBlueCompositeOp,
      Magick::CopyOpacityCompositeOp};
  for (size_t c = 0; c < planes.planes.size() && c < kPsdKeptPlanes; ++c) {
    if (c == 3) image.matte(true);
    image.composite(PlaneImage(planes.planes[c], width, height), 0, 0, kCopy[c]);
  }
  return image;
}

Magick::Image ImageFromComposite(const CPsdComposite& composite) {
  return Magick::Image(composite.nWidth, composite.nHeight, composite.bHasAlpha ? "RGBA" : "RGB",
                       Magick::ShortPixel, composite.samples.data());
}

int ReadPhotoshopImage(const MyString& path, Magick::Image* image, const SIZE* sizeHint,
                       std::string* error) {
  FilePtr file = OpenFile(path);
  if (!file) {
    if (error) *error = "cannot open the file";
    return 0;
  }
  {
    CPsdFileSource source(file.get());
    CPsdPlanes planes;
    if (CPhotoshopReader::Read(source, &planes, error)) {
      *image = ImageFromPlanes(planes);
      return 1;
    }
  }
  // The fast reader refused it: take the merged picture of all layers.
  Magick::Image merged;
  if (MagickReadsPhotoshop()) {
    std::vector<Magick::Image> layers;
    Magick::readImages(&layers, "PSD:" + MagickPath(path));
    if (layers.empty()) return 0;
    Magick::flattenImages(&merged, layers.begin(), layers.end());
  } else {
    std::rewind(file.get());
    CPsdFileSource source(file.get());
    CPsdComposite composite;
    if (!CPhotoshopCompositeReader::Read(source, &composite, error)) return 0;
    merged = ImageFromComposite(composite);
  }
  if (sizeHint && sizeHint->cx > 0 && sizeHint->cy > 0 &&
      (merged.columns() > size_t(sizeHint->cx) || merged.rows() > size_t(sizeHint->cy)))
    merged.sample(Magick::Geometry(size_t(sizeHint->cx), size_t(sizeHint->cy)));
  *image = merged;
  return 1;
}

int PingPhotoshopImage(const MyString& path, size_t* width, size_t* height) {
  FilePtr file = OpenFile(path);
  if (!file) return 0;
  uint8_t header[26];
  if (std::fread(header, 1, sizeof(header), file.get()) != sizeof(header)) return 0;
  if (SniffImageKind(header, sizeof(header)) != IK_PSD) return 0;
  auto u32 = [&](int at) {
    return uint32_t(header[at]) << 24 | uint32_t(header[at + 1]) << 16 |
           uint32_t(header[at + 2]) << 8 | header[at + 3];
  };
  *height = u32(14);
  *width = u32(18);
  return *width > 0 && *height > 0;
}
