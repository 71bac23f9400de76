// JPEG XL through libjxl: the first frame in 8-bit RGBA, turned by the
// file's orientation unless asked not to, its colours from the profile the
// decoder reports; and writing, lossless when asked.
#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <jxl/decode.h>
#include <jxl/encode.h>
#include <jxl/resizable_parallel_runner.h>
#include <jxl/thread_parallel_runner.h>

#include "formatread.h"

namespace {

struct CJxlDeleter {
  void operator()(JxlDecoder* p) const { JxlDecoderDestroy(p); }
  void operator()(JxlEncoder* p) const { JxlEncoderDestroy(p); }
};

HBITMAP Fail(std::string* error, const std::string& why, HBITMAP bitmap = nullptr) {
  DeleteBitmap32(bitmap);
  *error = "JPEG XL: " + why;
  return nullptr;
}

struct CRunner {
  void* runner = JxlResizableParallelRunnerCreate(nullptr);
  ~CRunner() { JxlResizableParallelRunnerDestroy(runner); }
};

}  // namespace

HBITMAP ReadJxl(const uint8_t* data, size_t size, const tagFORMATREAD& read, std::string* error) {
  std::unique_ptr<JxlDecoder, CJxlDeleter> decoder(JxlDecoderCreate(nullptr));
  CRunner runner;
  if (!decoder || !runner.runner) return Fail(error, "no decoder");
  JxlDecoder* dec = decoder.get();
  if (JxlDecoderSubscribeEvents(dec, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                         JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
      JxlDecoderSetParallelRunner(dec, JxlResizableParallelRunner, runner.runner) !=
          JXL_DEC_SUCCESS ||
      JxlDecoderSetKeepOrientation(dec, read.bUpright ? JXL_FALSE : JXL_TRUE) != JXL_DEC_SUCCESS ||
      JxlDecoderSetInput(dec, data, size) != JXL_DEC_SUCCESS)
    return Fail(error, "the decoder cannot be set up");
  JxlDecoderCloseInput(dec);
  const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  JxlBasicInfo info{};
  std::vector<uint8_t> icc;
  HBITMAP bitmap = nullptr;
  for (;;) {
    const JxlDecoderStatus status = JxlDecoderProcessInput(dec);
    switch (status) {
      case JXL_DEC_ERROR:
        return Fail(error, "the file is damaged or not supported", bitmap);
      case JXL_DEC_NEED_MORE_INPUT:
        return Fail(error, "the file is truncated", bitmap);
      case JXL_DEC_BASIC_INFO: {
        if (JxlDecoderGetBasicInfo(dec, &info) != JXL_DEC_SUCCESS)
          return Fail(error, "no picture size");
        for (uint32_t i = 0; i < info.num_extra_channels; ++i) {
          JxlExtraChannelInfo extra{};
          if (JxlDecoderGetExtraChannelInfo(dec, i, &extra) == JXL_DEC_SUCCESS &&
              extra.type == JXL_CHANNEL_BLACK)
            return Fail(error, "CMYK pictures are not supported");
        }
        // Checked before anything is decoded (the picture as shown).
        const bool turned = read.bUpright && info.orientation >= JXL_ORIENT_TRANSPOSE;
        bitmap = NewFormatBitmap(turned ? info.ysize : info.xsize, turned ? info.xsize : info.ysize,
                                 error);
        if (!bitmap) return nullptr;
        JxlResizableParallelRunnerSetThreads(
            runner.runner, JxlResizableParallelRunnerSuggestThreads(info.xsize, info.ysize));
        break;
      }
      case JXL_DEC_COLOR_ENCODING: {
        size_t length = 0;
        if (JxlDecoderGetICCProfileSize(dec, &format, JXL_COLOR_PROFILE_TARGET_DATA, &length) ==
                JXL_DEC_SUCCESS &&
            length > 0 && length < (size_t(1) << 24)) {
          icc.resize(length);
          if (JxlDecoderGetColorAsICCProfile(dec, &format, JXL_COLOR_PROFILE_TARGET_DATA,
                                             icc.data(), icc.size()) != JXL_DEC_SUCCESS)
            icc.clear();
        }
        break;
      }
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
        size_t needed = 0;
        if (!bitmap || JxlDecoderImageOutBufferSize(dec, &format, &needed) != JXL_DEC_SUCCESS ||
            needed != size_t(bitmap->nStride) * size_t(bitmap->nHeight))
          return Fail(error, "unexpected picture size", bitmap);
        if (JxlDecoderSetImageOutBuffer(dec, &format, bitmap->pPixels, needed) != JXL_DEC_SUCCESS)
          return Fail(error, "the picture cannot be decoded", bitmap);
        break;
      }
      case JXL_DEC_FULL_IMAGE:
      case JXL_DEC_SUCCESS: {
        // The first frame is the picture; animations stop there.
        if (!bitmap) return Fail(error, "no picture");
        SwapRedBlue(bitmap);
        if (!icc.empty()) ConvertToSrgb(icc.data(), icc.size(), bitmap);
        return bitmap;
      }
      default:
        break;
    }
  }
}

bool WriteJxl(const std::string& path, const tagLORIMOBITMAP& bitmap, bool lossless, int quality,
              std::string* error) {
  auto fail = [error](const std::string& why) {
    *error = "JPEG XL: " + why;
    return false;
  };
  if (!bitmap.pPixels || bitmap.nWidth <= 0 || bitmap.nHeight <= 0) return fail("no picture");
  std::unique_ptr<JxlEncoder, CJxlDeleter> encoder(JxlEncoderCreate(nullptr));
  void* runner = JxlThreadParallelRunnerCreate(
      nullptr, std::max(1u, std::min(4u, std::thread::hardware_concurrency())));
  std::unique_ptr<void, void (*)(void*)> runnerOwner(runner, JxlThreadParallelRunnerDestroy);
  if (!encoder || !runner) return fail("no encoder");
  JxlEncoder* enc = encoder.get();
  JxlEncoderSetParallelRunner(enc, JxlThreadParallelRunner, runner);
  // The pixels as RGBA rows without padding.
  const size_t w = size_t(bitmap.nWidth), h = size_t(bitmap.nHeight);
  std::vector<uint8_t> rgba(w * h * 4);
  bool opaque = true;
  for (size_t y = 0; y < h; ++y) {
    const uint8_t* s = bitmap.pPixels + y * size_t(bitmap.nStride);
    uint8_t* d = rgba.data() + y * w * 4;
    for (size_t x = 0; x < w; ++x, s += 4, d += 4) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      d[3] = s[3];
      opaque = opaque && s[3] == 255;
    }
  }
  JxlBasicInfo info;
  JxlEncoderInitBasicInfo(&info);
  info.xsize = uint32_t(w);
  info.ysize = uint32_t(h);
  info.bits_per_sample = 8;
  info.num_color_channels = 3;
  info.num_extra_channels = opaque ? 0 : 1;
  info.alpha_bits = opaque ? 0 : 8;
  info.uses_original_profile = lossless ? JXL_TRUE : JXL_FALSE;
  if (JxlEncoderSetBasicInfo(enc, &info) != JXL_ENC_SUCCESS) return fail("bad picture size");
  JxlColorEncoding colour;
  JxlColorEncodingSetToSRGB(&colour, JXL_FALSE);
  if (JxlEncoderSetColorEncoding(enc, &colour) != JXL_ENC_SUCCESS) return fail("no sRGB");
  JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(enc, nullptr);
  if (lossless) {
    JxlEncoderSetFrameLossless(settings, JXL_TRUE);
  } else {
    // Quality as JPEG's: 90 comes out near distance 1 (visually lossless).
    const float q = float(std::clamp(quality, 1, 100));
    const float distance =
        q >= 30 ? 0.1f + (100 - q) * 0.09f : 6.4f + 53.0f / 3000.0f * (30 - q) * (30 - q);
    JxlEncoderSetFrameDistance(settings, std::min(distance, 15.0f));
  }
  const JxlPixelFormat format{opaque ? 3u : 4u, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  if (opaque) {
    for (size_t i = 0, j = 0; i < w * h; ++i, j += 3) {
      rgba[j] = rgba[i * 4];
      rgba[j + 1] = rgba[i * 4 + 1];
      rgba[j + 2] = rgba[i * 4 + 2];
    }
    rgba.resize(w * h * 3);
  }
  if (JxlEncoderAddImageFrame(settings, &format, rgba.data(), rgba.size()) != JXL_ENC_SUCCESS)
    return fail("the picture cannot be encoded");
  JxlEncoderCloseInput(enc);
  std::vector<uint8_t> out(64 * 1024);
  uint8_t* next = out.data();
  size_t avail = out.size();
  JxlEncoderStatus status;
  while ((status = JxlEncoderProcessOutput(enc, &next, &avail)) == JXL_ENC_NEED_MORE_OUTPUT) {
    const size_t used = size_t(next - out.data());
    out.resize(out.size() * 2);
    next = out.data() + used;
    avail = out.size() - used;
  }
  if (status != JXL_ENC_SUCCESS) return fail("the picture cannot be encoded");
  out.resize(size_t(next - out.data()));
  return WriteWholeFile(path, out.data(), out.size(), error);
}
