// WebP through libwebp: the still picture, or an animation's first frame;
// its ICC profile and EXIF orientation; and writing (lossy at a quality).
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>

#include "formatread.h"

namespace {

const char* StatusText(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
      return "out of memory";
    case VP8_STATUS_INVALID_PARAM:
      return "invalid parameter";
    case VP8_STATUS_BITSTREAM_ERROR:
      return "bitstream error";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
      return "unsupported feature";
    case VP8_STATUS_NOT_ENOUGH_DATA:
      return "not enough data (truncated file)";
    default:
      return "unreadable file";
  }
}

HBITMAP Fail(std::string* error, const std::string& why) {
  *error = "WebP: " + why;
  return nullptr;
}

// The first frame of an animation, drawn on its canvas.
HBITMAP FirstFrame(const WebPData& webp, std::string* error) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) return Fail(error, "no decoder");
  options.color_mode = MODE_BGRA;
  options.use_threads = 0;
  std::unique_ptr<WebPAnimDecoder, void (*)(WebPAnimDecoder*)> decoder(
      WebPAnimDecoderNew(&webp, &options), WebPAnimDecoderDelete);
  if (!decoder) return Fail(error, "unreadable animation");
  WebPAnimInfo info;
  if (!WebPAnimDecoderGetInfo(decoder.get(), &info)) return Fail(error, "unreadable animation");
  HBITMAP bitmap = NewFormatBitmap(info.canvas_width, info.canvas_height, error);
  if (!bitmap) return nullptr;
  uint8_t* canvas = nullptr;
  int timestamp = 0;
  if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || !canvas) {
    DeleteBitmap32(bitmap);
    return Fail(error, "the first frame cannot be decoded");
  }
  for (int32_t y = 0; y < bitmap->nHeight; ++y)
    std::memcpy(bitmap->pPixels + size_t(y) * bitmap->nStride,
                canvas + size_t(y) * size_t(bitmap->nWidth) * 4, size_t(bitmap->nWidth) * 4);
  return bitmap;
}

}  // namespace

HBITMAP ReadWebp(const uint8_t* data, size_t size, const tagFORMATREAD& read, std::string* error) {
  WebPBitstreamFeatures features;
  const VP8StatusCode status = WebPGetFeatures(data, size, &features);
  if (status != VP8_STATUS_OK) return Fail(error, StatusText(status));
  const WebPData webp{data, size};
  HBITMAP bitmap = nullptr;
  if (features.has_animation) {
    bitmap = FirstFrame(webp, error);
  } else {
    bitmap = NewFormatBitmap(features.width, features.height, error);
    if (!bitmap) return nullptr;
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
      DeleteBitmap32(bitmap);
      return Fail(error, "no decoder");
    }
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = bitmap->pPixels;
    config.output.u.RGBA.stride = bitmap->nStride;
    config.output.u.RGBA.size = size_t(bitmap->nStride) * size_t(bitmap->nHeight);
    const VP8StatusCode decoded = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (decoded != VP8_STATUS_OK) {
      DeleteBitmap32(bitmap);
      return Fail(error, StatusText(decoded));
    }
  }
  if (!bitmap) return nullptr;
  // The profile and the orientation live in chunks beside the picture.
  if (WebPDemuxer* demux = WebPDemux(&webp)) {
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demux, "ICCP", 1, &chunk)) {
      ConvertToSrgb(chunk.chunk.bytes, chunk.chunk.size, bitmap);
      WebPDemuxReleaseChunkIterator(&chunk);
    }
    int orientation = 1;
    if (read.bUpright && WebPDemuxGetChunk(demux, "EXIF", 1, &chunk)) {
      orientation = ExifOrientation(chunk.chunk.bytes, chunk.chunk.size);
      WebPDemuxReleaseChunkIterator(&chunk);
    }
    WebPDemuxDelete(demux);
    if (orientation > 1) {
      bitmap = OrientBitmap(bitmap, orientation);
      if (!bitmap) return Fail(error, "out of memory");
    }
  }
  return bitmap;
}

bool WriteWebp(const std::string& path, const tagLORIMOBITMAP& bitmap, int quality,
               std::string* error) {
  if (!bitmap.pPixels || bitmap.nWidth <= 0 || bitmap.nHeight <= 0 ||
      bitmap.nWidth > WEBP_MAX_DIMENSION || bitmap.nHeight > WEBP_MAX_DIMENSION) {
    *error = "WebP: the picture is too large for WebP (at most 16383 x 16383)";
    return false;
  }
  uint8_t* output = nullptr;
  const size_t size = WebPEncodeBGRA(bitmap.pPixels, bitmap.nWidth, bitmap.nHeight, bitmap.nStride,
                                     float(std::clamp(quality, 1, 100)), &output);
  if (!size) {
    *error = "WebP: the picture cannot be encoded";
    return false;
  }
  const bool written = WriteWholeFile(path, output, size, error);
  WebPFree(output);
  return written;
}
