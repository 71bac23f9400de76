#include "codecs/jp2codec.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <openjpeg.h>
#include <vector>

#include "codecs/imagelibrary.h"
#include "corekit/atomicfile.h"

namespace {

// Compressed files are far smaller than what they decode to; this only
// keeps a mistaken multi-gigabyte file from being read whole.
constexpr size_t kMaxJpeg2000FileBytes = size_t(1) << 30;
// Grey, grey and alpha, colour, colour and alpha: more is no picture the
// viewer shows, and each component costs a full plane of memory.
constexpr uint32_t kMaxJpeg2000Components = 4;

struct CMemoryStream {
  const uint8_t* pData = nullptr;
  size_t nSize = 0;
  size_t nPos = 0;
  std::string* pOut = nullptr;
};

OPJ_SIZE_T StreamRead(void* buffer, OPJ_SIZE_T n, void* user) {
  auto* s = static_cast<CMemoryStream*>(user);
  if (s->nPos >= s->nSize) return OPJ_SIZE_T(-1);
  const size_t count = std::min<size_t>(n, s->nSize - s->nPos);
  std::memcpy(buffer, s->pData + s->nPos, count);
  s->nPos += count;
  return count;
}

OPJ_SIZE_T StreamWrite(void* buffer, OPJ_SIZE_T n, void* user) {
  auto* s = static_cast<CMemoryStream*>(user);
  if (s->nPos + n > s->pOut->size()) s->pOut->resize(s->nPos + n);
  std::memcpy(s->pOut->data() + s->nPos, buffer, n);
  s->nPos += n;
  return n;
}

OPJ_OFF_T StreamSkip(OPJ_OFF_T n, void* user) {
  auto* s = static_cast<CMemoryStream*>(user);
  const size_t limit = s->pOut ? SIZE_MAX : s->nSize;
  if (n < 0) {
    if (size_t(-n) > s->nPos) return -1;
    s->nPos -= size_t(-n);
  } else {
    s->nPos = size_t(std::min<uint64_t>(uint64_t(s->nPos) + uint64_t(n), limit));
  }
  return n;
}

OPJ_BOOL StreamSeek(OPJ_OFF_T to, void* user) {
  auto* s = static_cast<CMemoryStream*>(user);
  if (to < 0 || (!s->pOut && uint64_t(to) > s->nSize)) return OPJ_FALSE;
  s->nPos = size_t(to);
  return OPJ_TRUE;
}

void CollectMessage(const char* message, void* user) {
  auto* text = static_cast<std::string*>(user);
  if (!text->empty()) return;  // the first message says the most
  *text = message;
  while (!text->empty() && (text->back() == '\n' || text->back() == ' ')) text->pop_back();
}

void IgnoreMessage(const char*, void*) {}

struct CCodecDeleter {
  void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct CStreamDeleter {
  void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
struct CImageDeleter {
  void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};
using CodecPtr = std::unique_ptr<opj_codec_t, CCodecDeleter>;
using StreamPtr = std::unique_ptr<opj_stream_t, CStreamDeleter>;
using ImagePtr = std::unique_ptr<opj_image_t, CImageDeleter>;

StreamPtr MakeStream(CMemoryStream* memory, bool input) {
  StreamPtr stream(opj_stream_create(1 << 16, input ? OPJ_TRUE : OPJ_FALSE));
  if (!stream) return stream;
  opj_stream_set_user_data(stream.get(), memory, nullptr);
  if (input) {
    opj_stream_set_user_data_length(stream.get(), memory->nSize);
    opj_stream_set_read_function(stream.get(), StreamRead);
  } else {
    opj_stream_set_write_function(stream.get(), StreamWrite);
  }
  opj_stream_set_skip_function(stream.get(), StreamSkip);
  opj_stream_set_seek_function(stream.get(), StreamSeek);
  return stream;
}

int Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return 0;
}

// One file being decoded: its bytes, the stream over them, the codec and
// the image its header describes. Members are declared in the order they
// must outlive each other.
struct tagJP2DECODER {
  std::string bytes;
  std::string message;  // the codec's last error
  CMemoryStream memory;
  CodecPtr codec;
  StreamPtr stream;
  ImagePtr image;

  // Reads the file, then its headers.
  int Open(const MyString& path, std::string* error);
  // Reads the headers of the bytes held.
  int OpenBytes(std::string* error);
};

int tagJP2DECODER::Open(const MyString& path, std::string* error) {
  MyString readError;
  if (!ReadWholeFile(path, &bytes, kMaxJpeg2000FileBytes, &readError))
    return Fail(error, readError.ToUtf8());
  return OpenBytes(error);
}

int tagJP2DECODER::OpenBytes(std::string* error) {
  const IMAGEKIND kind =
      SniffImageKind(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (kind != IK_JP2 && kind != IK_J2K) return Fail(error, "not a JPEG 2000 file");
  memory.pData = reinterpret_cast<const uint8_t*>(bytes.data());
  memory.nSize = bytes.size();
  codec.reset(opj_create_decompress(kind == IK_JP2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
  stream = MakeStream(&memory, true);
  if (!codec || !stream) return Fail(error, "out of memory");
  opj_set_error_handler(codec.get(), CollectMessage, &message);
  opj_set_warning_handler(codec.get(), IgnoreMessage, nullptr);
  opj_set_info_handler(codec.get(), IgnoreMessage, nullptr);
  opj_dparameters_t parameters;
  opj_set_default_decoder_parameters(&parameters);
  opj_image_t* header = nullptr;
  const bool read = opj_setup_decoder(codec.get(), &parameters) &&
                    opj_read_header(stream.get(), codec.get(), &header);
  image.reset(header);
  if (!read) return Fail(error, message.empty() ? "cannot read the JPEG 2000 header" : message);
  if (header->numcomps == 0 || header->x1 <= header->x0 || header->y1 <= header->y0)
    return Fail(error, "JPEG 2000 image without pixels");
  const uint64_t pixels = uint64_t(header->x1 - header->x0) * (header->y1 - header->y0);
  if (pixels > uint64_t(kMaxImagePixels))
    return Fail(error, "image is larger than the pixel limit");
  if (header->numcomps > kMaxJpeg2000Components)
    return Fail(error, "JPEG 2000 image with more components than a picture has");
  // Every component is decoded into a plane of 32-bit samples.
  uint64_t samples = 0;
  for (uint32_t c = 0; c < header->numcomps; ++c)
    samples += uint64_t(header->comps[c].w) * header->comps[c].h;
  if (samples > uint64_t(kMaxImagePixels) * kMaxJpeg2000Components)
    return Fail(error, "image is larger than the pixel limit");
  return 1;
}

// A component's sample at image position x, y (from the image's origin),
// scaled to 16 bits, unsigned. Subsampled components are stretched.
uint16_t Scaled(const opj_image_t& image, const opj_image_comp_t& comp, uint32_t x, uint32_t y) {
  const uint32_t dx = std::max<uint32_t>(comp.dx, 1), dy = std::max<uint32_t>(comp.dy, 1);
  const uint32_t gx = (x + image.x0) / dx, gy = (y + image.y0) / dy;
  const uint32_t cx = std::min(gx > comp.x0 ? gx - comp.x0 : 0, comp.w - 1);
  const uint32_t cy = std::min(gy > comp.y0 ? gy - comp.y0 : 0, comp.h - 1);
  int64_t v = comp.data[size_t(cy) * comp.w + cx];
  const uint32_t precision = std::clamp<uint32_t>(comp.prec, 1, 31);
  if (comp.sgnd) v += int64_t(1) << (precision - 1);
  const int64_t maximum = (int64_t(1) << precision) - 1;
  v = std::clamp<int64_t>(v, 0, maximum);
  return uint16_t(v * 65535 / maximum);
}

}  // namespace

int PingJpeg2000(const MyString& path, size_t* width, size_t* height, std::string* error) {
  tagJP2DECODER decoder;
  if (!decoder.Open(path, error)) return 0;
  *width = decoder.image->x1 - decoder.image->x0;
  *height = decoder.image->y1 - decoder.image->y0;
  return 1;
}

namespace {

int Decode(tagJP2DECODER& decoder, Magick::Image* result, std::string* error) {
  if (!opj_decode(decoder.codec.get(), decoder.stream.get(), decoder.image.get()) ||
      !opj_end_decompress(decoder.codec.get(), decoder.stream.get()))
    return Fail(error,
                decoder.message.empty() ? "cannot decode the JPEG 2000 data" : decoder.message);

  const opj_image_t& im = *decoder.image;
  for (uint32_t c = 0; c < im.numcomps; ++c)
    if (!im.comps[c].data || im.comps[c].w == 0 || im.comps[c].h == 0)
      return Fail(error, "JPEG 2000 component without data");
  const uint32_t width = im.x1 - im.x0;
  const uint32_t height = im.y1 - im.y0;
  // One or two components are grey (and alpha); three or more are colour.
  const bool grey = im.numcomps < 3;
  const bool alpha = im.numcomps == 2 || im.numcomps >= 4;
  const bool ycc = !grey && im.color_space == OPJ_CLRSPC_SYCC;
  const size_t channels = alpha ? 4 : 3;
  std::vector<uint16_t> pixels;
  try {
    pixels.resize(size_t(width) * height * channels);
  } catch (const std::bad_alloc&) {
    return Fail(error, "out of memory");
  }
  uint16_t* out = pixels.data();
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x, out += channels) {
      if (grey) {
        out[0] = out[1] = out[2] = Scaled(im, im.comps[0], x, y);
      } else if (ycc) {
        const double Y = Scaled(im, im.comps[0], x, y);
        const double cb = Scaled(im, im.comps[1], x, y) - 32768.0;
        const double cr = Scaled(im, im.comps[2], x, y) - 32768.0;
        out[0] = uint16_t(std::clamp(Y + 1.402 * cr, 0.0, 65535.0));
        out[1] = uint16_t(std::clamp(Y - 0.344136 * cb - 0.714136 * cr, 0.0, 65535.0));
        out[2] = uint16_t(std::clamp(Y + 1.772 * cb, 0.0, 65535.0));
      } else {
        for (int c = 0; c < 3; ++c) out[c] = Scaled(im, im.comps[c], x, y);
      }
      if (alpha) out[3] = Scaled(im, im.comps[grey ? 1 : 3], x, y);
    }
  }
  uint32_t precision = 0;
  for (uint32_t c = 0; c < im.numcomps; ++c) precision = std::max(precision, im.comps[c].prec);
  try {
    *result =
        Magick::Image(width, height, alpha ? "RGBA" : "RGB", Magick::ShortPixel, pixels.data());
    result->depth(precision <= 8 ? 8 : 16);
  } catch (const std::exception& e) {
    return Fail(error, e.what());
  }
  return 1;
}

}  // namespace

int ReadJpeg2000(const MyString& path, Magick::Image* result, std::string* error) {
  tagJP2DECODER decoder;
  return decoder.Open(path, error) && Decode(decoder, result, error);
}

int ReadJpeg2000Bytes(const std::string& bytes, Magick::Image* result, std::string* error) {
  tagJP2DECODER decoder;
  decoder.bytes = bytes;
  return decoder.OpenBytes(error) && Decode(decoder, result, error);
}

int WriteJpeg2000(const Magick::Image& source, std::string* bytes, std::string* error) {
  const uint32_t width = uint32_t(source.columns());
  const uint32_t height = uint32_t(source.rows());
  if (width == 0 || height == 0) return Fail(error, "empty image");
  const bool alpha = source.matte();
  const uint32_t channels = alpha ? 4 : 3;
  std::vector<uint8_t> pixels(size_t(width) * height * channels);
  try {
    Magick::Image copy = source;
    copy.write(0, 0, width, height, alpha ? "RGBA" : "RGB", Magick::CharPixel, pixels.data());
  } catch (const std::exception& e) {
    return Fail(error, e.what());
  }

  opj_image_cmptparm_t parameters[4];
  std::memset(parameters, 0, sizeof(parameters));
  for (uint32_t c = 0; c < channels; ++c) {
    parameters[c].dx = parameters[c].dy = 1;
    parameters[c].w = width;
    parameters[c].h = height;
    parameters[c].prec = 8;
    parameters[c].sgnd = 0;
  }
  ImagePtr image(opj_image_create(channels, parameters, OPJ_CLRSPC_SRGB));
  if (!image) return Fail(error, "out of memory");
  image->x0 = image->y0 = 0;
  image->x1 = width;
  image->y1 = height;
  if (alpha) image->comps[3].alpha = 1;
  const size_t count = size_t(width) * height;
  for (uint32_t c = 0; c < channels; ++c)
    for (size_t i = 0; i < count; ++i) image->comps[c].data[i] = pixels[i * channels + c];

  opj_cparameters_t encoder;
  opj_set_default_encoder_parameters(&encoder);
  encoder.tcp_numlayers = 1;
  encoder.cp_disto_alloc = 1;
  encoder.tcp_rates[0] = 0;  // lossless
  const std::string quality = Magick::Image(source).defineValue("jp2", "quality");
  const int q = quality.empty() ? 100 : std::atoi(quality.c_str());
  if (q >= 1 && q <= 99) {
    // A target fidelity rather than a size ratio, so that small pictures
    // are not starved: quality 1 aims at 25 dB PSNR, 99 at 50 dB.
    encoder.cp_disto_alloc = 0;
    encoder.cp_fixed_quality = 1;
    encoder.tcp_distoratio[0] = float(25.0 + (q - 1) * 25.0 / 98.0);
    encoder.irreversible = 1;
  }
  encoder.tcp_mct = 1;
  // Fewer resolution levels for tiny images, which cannot be halved 5 times.
  int levels = 6;
  while (levels > 1 && ((width >> (levels - 1)) < 1 || (height >> (levels - 1)) < 1)) --levels;
  encoder.numresolution = levels;

  std::string message;
  CodecPtr codec(opj_create_compress(OPJ_CODEC_JP2));
  if (!codec) return Fail(error, "out of memory");
  opj_set_error_handler(codec.get(), CollectMessage, &message);
  opj_set_warning_handler(codec.get(), IgnoreMessage, nullptr);
  opj_set_info_handler(codec.get(), IgnoreMessage, nullptr);
  bytes->clear();
  CMemoryStream memory;
  memory.pOut = bytes;
  StreamPtr stream = MakeStream(&memory, false);
  if (!stream || !opj_setup_encoder(codec.get(), &encoder, image.get()) ||
      !opj_start_compress(codec.get(), image.get(), stream.get()) ||
      !opj_encode(codec.get(), stream.get()) || !opj_end_compress(codec.get(), stream.get()))
    return Fail(error, message.empty() ? "cannot encode JPEG 2000" : message);
  return 1;
}
