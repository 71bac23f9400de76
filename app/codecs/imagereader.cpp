#include "codecs/imagereader.h"

#include "codecs/decodeprogress.h"
#include "codecs/hdfcodec.h"
#include "codecs/imagelibrary.h"
#include "codecs/jp2codec.h"
#include "codecs/jpegpixels.h"
#include "codecs/jpegscaled.h"
#include "codecs/orientation.h"
#include "codecs/psdimage.h"
#include "corekit/straw.h"

namespace {

bool IsOwnKind(IMAGEKIND kind) {
  return kind == IK_PSD || kind == IK_JP2 || kind == IK_J2K || kind == IK_HDF;
}

// One read by the reading rules; warnings are collected, errors thrown.
class CFileReader {
 public:
  explicit CFileReader(const CImageReadRequest& request) : m_request(request) {}

  // 1 and the image; 0 with the reason in error (our own coders); GraphicsMagick errors throw.
  // sniffed: the kind the file's first bytes show.
  int Read(IMAGEKIND sniffed, CImageReadResult* result) {
    const MyString& path = m_request.path;
    const IMAGEKIND named = KindOfExtension(m_request.extension);
    // Our own coders go by content first, then by name.
    IMAGEKIND own = IK_UNKNOWN;
    for (IMAGEKIND kind : {sniffed, named})
      if (own == IK_UNKNOWN && IsOwnKind(kind)) own = kind;
    Magick::Image* image = &result->image;
    if (own == IK_PSD) return ReadPhotoshopImage(path, image, m_request.sizeHint, &result->error);
    if (own == IK_JP2 || own == IK_J2K) return ReadJpeg2000(path, image, &result->error);
    if (own == IK_HDF) return ReadHdfRaster(path, image, &result->error);
    // GraphicsMagick reads only by the format the bytes show, and only the
    // formats we offer: content it would hand to another program never
    // reaches it, whatever the file is called.
    m_format = MagickFormatOfKind(sniffed);
    if (m_format.empty()) {
      result->error = "Unknown or unsupported image format";
      return 0;
    }
    if (!m_request.forcedFormat.empty() &&
        MagickFormatOfKind(KindOfExtension(CStrAW::a_toW(m_request.forcedFormat))) != m_format) {
      result->error = "The file is not in the format " + m_request.forcedFormat;
      return 0;
    }
    if (sniffed == IK_GIF) return ReadGif(result);
    if (sniffed == IK_TIFF) return Call([&] { image->read(ReadName() + "[0]"); });
    // Photos decode fastest to 8-bit, for the screen or at reduced size. A
    // full-size 16-bit image GraphicsMagick reads as fast itself. What this
    // path does not take (grey, CMYK, a broken file) it reads and reports.
    if (sniffed == IK_JPEG && (m_request.bPixels || HasHint())) {
      std::string warning;
      if (ReadJpegPixels(path, HasHint() ? m_request.sizeHint : nullptr, &m_picture, &warning)) {
        if (!warning.empty()) m_warnings.push_back(warning);
        m_bPicture = true;
        return 1;
      }
    }
    return Call([&] {
      Magick::Image read;
      ApplyDecoderLimits(read);
      if (HasHint())
        read.size(Magick::Geometry(size_t(m_request.sizeHint->cx), size_t(m_request.sizeHint->cy)));
      ReadKeepingOnWarning(read, ReadName(), image);
    });
  }

  std::vector<std::string>& Warnings() { return m_warnings; }
  // The 8-bit pixels, when the file was read that way (no image yet).
  CPixelPicture* Picture() { return m_bPicture ? &m_picture : nullptr; }

 private:
  bool HasHint() const {
    return m_request.sizeHint && m_request.sizeHint->cx > 0 && m_request.sizeHint->cy > 0;
  }
  std::string ReadName() const { return m_format + ":" + MagickPath(m_request.path); }

  // A read that ends in a warning still delivers its image.
  static void ReadKeepingOnWarning(Magick::Image& read, const std::string& name,
                                   Magick::Image* image) {
    try {
      read.read(name);
    } catch (const Magick::Warning&) {
      *image = read;
      throw;
    }
    *image = read;
  }

  // Runs a GraphicsMagick call; a warning is kept and the call counts as done.
  template <typename F>
  int Call(F&& f) {
    try {
      f();
    } catch (const Magick::Warning& warning) {
      m_warnings.push_back(warning.what());
    }
    return 1;
  }

  int ReadGif(CImageReadResult* result) {
    if (m_request.bAllFrames) {
      std::vector<Magick::Image> frames;
      Call([&] { Magick::readImages(&frames, ReadName()); });
      if (frames.size() >= 2) {
        std::vector<Magick::Image> coalesced;
        Call([&] { Magick::coalesceImages(&coalesced, frames.begin(), frames.end()); });
        if (coalesced.empty()) throw Magick::ErrorCorruptImage("cannot coalesce the frames");
        result->image = coalesced.front();
        result->frames = std::move(coalesced);
        return 1;
      }
      if (frames.size() == 1) {
        result->image = frames.front();
        return 1;
      }
    }
    return Call([&] {
      Magick::Image read;
      ReadKeepingOnWarning(read, ReadName() + "[0]", &result->image);
    });
  }

  const CImageReadRequest& m_request;
  std::string m_format;
  std::vector<std::string> m_warnings;
  CPixelPicture m_picture;
  bool m_bPicture = false;
};

}  // namespace

MyString ExtensionOf(const MyString& path) {
  const MyString extension = path.GetStringExtension();
  return extension.IsEmpty() ? extension : extension.Mid(1);
}

int ReadImageFile(const CImageReadRequest& asked, CImageReadResult* result) {
  InitializeImageLibrary();
  CImageReadRequest request = asked;
  const bool readable = IsReadableImageFile(request.path, &result->error);
  const IMAGEKIND sniffed = readable ? SniffImageFile(request.path) : IK_UNKNOWN;
  // Cameras and phones write the orientation into JPEG and TIFF files.
  if (request.bUpright && (sniffed == IK_JPEG || sniffed == IK_TIFF))
    result->nOrientation = ReadFileOrientation(request.path);
  // A picture stored on its side is decoded for the box turned with it.
  SIZE turnedHint;
  if (request.sizeHint && result->nOrientation >= 5) {
    turnedHint = SIZE{request.sizeHint->cy, request.sizeHint->cx};
    request.sizeHint = &turnedHint;
  }
  CThreadDecodeProgress progress(request.progress ? request.progress : GetThreadDecodeProgress());
  CFileReader reader(request);
  bool failed = false;
  try {
    if (!readable || !reader.Read(sniffed, result)) failed = true;
  } catch (const Magick::Exception& e) {
    failed = true;
    result->error = e.what();
  } catch (...) {
    failed = true;
    result->error = "Unknown error";
    result->bUnexpected = true;
  }
  result->warnings = std::move(reader.Warnings());
  if (CPixelPicture* picture = failed ? nullptr : reader.Picture()) {
    if (!TurnPixelsUpright(picture, result->nOrientation)) {
      result->warnings.push_back("The picture could not be turned upright");
      result->nOrientation = 1;
    }
    if (request.bPixels) {
      result->picture = std::make_shared<const CPixelPicture>(std::move(*picture));
      return 1;
    }
    std::string error;
    if (!MakeImageFromPixels(*picture, &result->image, &error)) {
      result->error = error;
      result->nOrientation = 1;
      return 0;
    }
    return 1;
  }
  if (!failed) {
    try {
      result->image.colorSpace(Magick::RGBColorspace);
    } catch (const std::exception& e) {
      failed = true;
      result->error = e.what();
    }
  }
  // An animation's frames have no orientation of their own to follow.
  if (!failed && result->frames.empty() && !TurnUpright(&result->image, result->nOrientation)) {
    result->warnings.push_back("The picture could not be turned upright");
    result->nOrientation = 1;
  }
  if (failed || !result->frames.empty()) result->nOrientation = 1;
  if (failed && result->error.empty()) result->error = "Unknown error";
  return failed ? 0 : 1;
}

int DecodeImageFile(const MyString& path, Magick::Image* image, std::string* error,
                    CDecodeProgress* progress) {
  CImageReadRequest request;
  request.path = path;
  request.extension = ExtensionOf(path);
  request.progress = progress;
  CImageReadResult result;
  const int ok = ReadImageFile(request, &result);
  if (ok && image) *image = result.image;
  if (!ok && error) *error = result.error;
  return ok;
}

int PingImageFile(const MyString& path, const MyString& extension, const std::string& forcedFormat,
                  SIZE* size) {
  if (!size || path.IsEmpty()) return 0;
  InitializeImageLibrary();
  if (!IsReadableImageFile(path)) return 0;
  const IMAGEKIND sniffed = SniffImageFile(path);
  const IMAGEKIND named = KindOfExtension(extension);
  size_t width = 0, height = 0;
  std::string error;
  int ok = 0;
  auto is = [&](IMAGEKIND kind) {
    return sniffed == kind || (sniffed == IK_UNKNOWN && named == kind);
  };
  if (is(IK_PSD)) {
    ok = PingPhotoshopImage(path, &width, &height);
  } else if (is(IK_JP2) || is(IK_J2K)) {
    ok = PingJpeg2000(path, &width, &height, &error);
  } else if (is(IK_HDF)) {
    ok = PingHdfRaster(path, &width, &height, &error);
  } else if (const std::string format = MagickFormatOfKind(sniffed); !format.empty()) {
    try {
      Magick::Image image;
      try {
        image.ping(format + ":" + MagickPath(path) +
                   (sniffed == IK_GIF || sniffed == IK_TIFF ? "[0]" : ""));
      } catch (const Magick::Warning&) {
      }
      width = image.columns();
      height = image.rows();
      ok = width > 0 && height > 0;
    } catch (const std::exception&) {
      ok = 0;
    }
  }
  if (!ok || width > size_t(INT32_MAX) || height > size_t(INT32_MAX)) return 0;
  size->cx = int32_t(width);
  size->cy = int32_t(height);
  return 1;
}

void ExportBgraPixels(const Magick::Image& source, size_t y, size_t rows, uint8_t* pixels) {
  Magick::Image image = source;
  const size_t width = image.columns();
  image.write(0, ssize_t(y), width, rows, "BGRA", Magick::CharPixel, pixels);
  if (image.matte()) return;
  const size_t count = width * rows;
  for (size_t i = 0; i < count; ++i) pixels[i * 4 + 3] = 0xFF;
}

Magick::Color TransparencyColor(const Magick::Color& background) {
  auto offGrid = [](Magick::Quantum q) -> Magick::Quantum {
    if (MaxRGB < 65535 || q % 257 != 0) return q;
    return q == MaxRGB ? Magick::Quantum(q - 1) : Magick::Quantum(q + 1);
  };
  return Magick::Color(offGrid(background.redQuantum()), offGrid(background.greenQuantum()),
                       offGrid(background.blueQuantum()));
}

bool FlattenOverTransparencyColor(Magick::Image* image, Magick::Color* color) {
  if (!image->matte()) return false;
  const Magick::Color background = TransparencyColor(image->backgroundColor());
  try {
    Magick::Image composed(Magick::Geometry(image->columns(), image->rows()), background);
    composed.composite(*image, 0, 0, Magick::AtopCompositeOp);
    composed.matte(false);
    // An 8-bit file stays 8-bit when it is saved again.
    composed.depth(image->depth());
    *image = composed;
  } catch (const std::exception&) {
    return false;
  }
  *color = background;
  return true;
}
