// HEIC, HEIF and AVIF through libheif: the primary image (or its embedded
// thumbnail), its alpha plane, its colour profile. libheif applies the
// file's rotation and mirror boxes, which take the place of EXIF
// Orientation in these files.
#include <memory>
#include <string>
#include <vector>

#include <libheif/heif.h>

#include "formatread.h"

namespace {

struct CHeifDeleter {
  void operator()(heif_context* p) const { heif_context_free(p); }
  void operator()(heif_image_handle* p) const { heif_image_handle_release(p); }
  void operator()(heif_image* p) const { heif_image_release(p); }
  void operator()(heif_decoding_options* p) const { heif_decoding_options_free(p); }
};
template <typename T>
using HeifPtr = std::unique_ptr<T, CHeifDeleter>;

HBITMAP Fail(std::string* error, const heif_error& e) {
  *error = std::string("HEIF: ") + (e.message && e.message[0] ? e.message : "unreadable file");
  return nullptr;
}

}  // namespace

HBITMAP ReadHeif(const uint8_t* data, size_t size, const tagFORMATREAD& read, std::string* error) {
  HeifPtr<heif_context> context(heif_context_alloc());
  if (!context) {
    *error = "HEIF: no decoder";
    return nullptr;
  }
  heif_error e = heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr);
  if (e.code != heif_error_Ok) return Fail(error, e);
  heif_image_handle* primary = nullptr;
  e = heif_context_get_primary_image_handle(context.get(), &primary);
  if (e.code != heif_error_Ok) return Fail(error, e);
  HeifPtr<heif_image_handle> handle(primary);
  // A phone's 320-pixel thumbnail is enough for a thumbnail box of its size.
  if (read.bThumbnail && heif_image_handle_get_number_of_thumbnails(handle.get()) > 0) {
    heif_item_id id = 0;
    heif_image_handle* thumbnail = nullptr;
    if (heif_image_handle_get_list_of_thumbnail_IDs(handle.get(), &id, 1) == 1 &&
        heif_image_handle_get_thumbnail(handle.get(), id, &thumbnail).code == heif_error_Ok) {
      HeifPtr<heif_image_handle> small(thumbnail);
      const int w = heif_image_handle_get_width(thumbnail);
      const int h = heif_image_handle_get_height(thumbnail);
      if (w >= read.szView.cx || h >= read.szView.cy) handle = std::move(small);
    }
  }
  const int64_t width = heif_image_handle_get_width(handle.get());
  const int64_t height = heif_image_handle_get_height(handle.get());
  // Checked before anything is decoded.
  if (!FormatSizeAllowed(width, height, error)) return nullptr;
  HeifPtr<heif_decoding_options> options(heif_decoding_options_alloc());
  options->ignore_transformations = read.bUpright ? 0 : 1;
  heif_image* decoded = nullptr;
  e = heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGBA,
                        options.get());
  if (e.code != heif_error_Ok) return Fail(error, e);
  HeifPtr<heif_image> image(decoded);
  int stride = 0;
  const uint8_t* plane = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
  const int w = heif_image_get_width(decoded, heif_channel_interleaved);
  const int h = heif_image_get_height(decoded, heif_channel_interleaved);
  if (!plane || w <= 0 || h <= 0 || stride < w * 4 ||
      heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved) != 8) {
    *error = "HEIF: the decoder gave no 8-bit RGBA picture";
    return nullptr;
  }
  HBITMAP bitmap = NewFormatBitmap(w, h, error);
  if (!bitmap) return nullptr;
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = plane + size_t(y) * size_t(stride);
    uint8_t* d = bitmap->pPixels + size_t(y) * size_t(bitmap->nStride);
    for (int x = 0; x < w; ++x, s += 4, d += 4) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      d[3] = s[3];
    }
  }
  // An ICC profile of the picture's own (nclx colours are sRGB-like).
  const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle.get());
  if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
    std::vector<uint8_t> icc(heif_image_handle_get_raw_color_profile_size(handle.get()));
    if (!icc.empty() &&
        heif_image_handle_get_raw_color_profile(handle.get(), icc.data()).code == heif_error_Ok)
      ConvertToSrgb(icc.data(), icc.size(), bitmap);
  }
  return bitmap;
}
