// Camera RAW through LibRaw. The embedded JPEG preview is shown when it is
// at least the box it is shown in (it is what the camera made of the
// picture, and decodes in a fraction of the time); otherwise the sensor
// data is developed: camera white balance, sRGB, 8 bits. Thumbnails come
// from the embedded preview; a file without one is developed at half size,
// each 2 x 2 block of sensor cells one pixel, never demosaiced.
#include <memory>
#include <string>

#include <libraw/libraw.h>

#include "formatread.h"

namespace {

HBITMAP Fail(std::string* error, int code) {
  *error = std::string("RAW: ") + libraw_strerror(code);
  return nullptr;
}

HBITMAP Fail(std::string* error, const std::string& why) {
  *error = "RAW: " + why;
  return nullptr;
}

// LibRaw's flip as an EXIF orientation.
int OrientationOfFlip(int flip) {
  switch (flip) {
    case 3:
      return 3;
    case 5:
      return 8;
    case 6:
      return 6;
    default:
      return 1;
  }
}

// An RGB (or gray) 8-bit image of LibRaw's as a bitmap.
HBITMAP FromRgb(const uint8_t* data, size_t length, int width, int height, int colours,
                std::string* error) {
  if (colours != 3 && colours != 1) return Fail(error, "unsupported preview");
  if (size_t(width) * size_t(height) * size_t(colours) > length)
    return Fail(error, "the preview is shorter than its size");
  HBITMAP bitmap = NewFormatBitmap(width, height, error);
  if (!bitmap) return nullptr;
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = data + size_t(y) * size_t(width) * size_t(colours);
    uint8_t* d = bitmap->pPixels + size_t(y) * size_t(bitmap->nStride);
    for (int x = 0; x < width; ++x, s += colours, d += 4) {
      d[0] = s[colours - 1];
      d[1] = s[colours == 3 ? 1 : 0];
      d[2] = s[0];
      d[3] = 255;
    }
  }
  return bitmap;
}

HBITMAP Develop(LibRaw& raw, const tagFORMATREAD& read, std::string* error) {
  const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
  const SIZE view = read.szView;
  // The preview first: thumbnails always, pictures when it is big enough.
  if (raw.unpack_thumb() == LIBRAW_SUCCESS) {
    const libraw_thumbnail_t& thumb = raw.imgdata.thumbnail;
    const bool turned = OrientationOfFlip(sizes.flip) >= 5;
    const int shownW = turned ? thumb.theight : thumb.twidth;
    const int shownH = turned ? thumb.twidth : thumb.theight;
    const bool bigEnough = view.cx <= 0 || view.cy <= 0 || shownW >= view.cx || shownH >= view.cy;
    if (read.bThumbnail || bigEnough) {
      HBITMAP bitmap = nullptr;
      const auto* data = reinterpret_cast<const uint8_t*>(thumb.thumb);
      SIZE box = read.bThumbnail ? view : SIZE{0, 0};
      if (turned) box = SIZE{box.cy, box.cx};
      if (thumb.tformat == LIBRAW_THUMBNAIL_JPEG)
        bitmap = DecodeJpeg(data, thumb.tlength, box, error);
      else if (thumb.tformat == LIBRAW_THUMBNAIL_BITMAP)
        bitmap = FromRgb(data, thumb.tlength, thumb.twidth, thumb.theight, thumb.tcolors, error);
      if (bitmap) {
        bitmap = read.bUpright ? OrientBitmap(bitmap, OrientationOfFlip(sizes.flip)) : bitmap;
        if (!bitmap) return Fail(error, "out of memory");
        return bitmap;
      }
    }
  }
  if (int64_t(sizes.raw_width) * sizes.raw_height > kMaxFormatPixels ||
      int64_t(sizes.width) * sizes.height > kMaxFormatPixels)
    return Fail(error, "the picture is too large");
  raw.imgdata.params.use_camera_wb = 1;
  raw.imgdata.params.output_color = 1;  // sRGB
  raw.imgdata.params.output_bps = 8;
  raw.imgdata.params.user_flip = read.bUpright ? -1 : 0;
  raw.imgdata.params.half_size = read.bThumbnail ? 1 : 0;
  int code = raw.unpack();
  if (code != LIBRAW_SUCCESS) return Fail(error, code);
  code = raw.dcraw_process();
  if (code != LIBRAW_SUCCESS) return Fail(error, code);
  libraw_processed_image_t* image = raw.dcraw_make_mem_image(&code);
  if (!image) return Fail(error, code);
  HBITMAP bitmap = nullptr;
  if (image->type == LIBRAW_IMAGE_BITMAP && image->bits == 8)
    bitmap =
        FromRgb(image->data, image->data_size, image->width, image->height, image->colors, error);
  else
    Fail(error, "unexpected developed picture");
  LibRaw::dcraw_clear_mem(image);
  return bitmap;
}

template <typename Open>
HBITMAP ReadWith(Open open, const tagFORMATREAD& read, std::string* error) {
  try {
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    const int code = open(*raw);
    if (code != LIBRAW_SUCCESS) return Fail(error, code);
    return Develop(*raw, read, error);
  } catch (const std::exception& e) {
    return Fail(error, e.what());
  } catch (...) {
    return Fail(error, "unreadable file");
  }
}

}  // namespace

HBITMAP ReadRaw(const uint8_t* data, size_t size, const tagFORMATREAD& read, std::string* error) {
  return ReadWith([&](LibRaw& raw) { return raw.open_buffer(const_cast<uint8_t*>(data), size); },
                  read, error);
}

HBITMAP ReadRawFile(const std::string& path, const tagFORMATREAD& read, std::string* error) {
  if (read.bThumbnail)
    if (HBITMAP thumbnail = ReadTiffThumbnail(path, read.szView, read.bUpright)) return thumbnail;
  return ReadWith([&](LibRaw& raw) { return raw.open_file(path.c_str()); }, read, error);
}
