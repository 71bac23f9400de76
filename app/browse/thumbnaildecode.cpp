#include "browse/thumbnaildecode.h"

#include <QTransform>
#include <algorithm>
#include <mutex>
#include <turbojpeg.h>

#include <exiv2/exiv2.hpp>

#include "browse/thumbnailcache.h"
#include "codecs/decodeprogress.h"
#include "codecs/imagelibrary.h"
#include "codecs/imagereader.h"
#include "codecs/jpegscaled.h"
#include "codecs/librarylog.h"
#include "codecs/losslessjpeg.h"
#include "codecs/orientation.h"
#include "corekit/atomicfile.h"
#include "corekit/straw.h"

namespace {

constexpr size_t kMaxJpegFileBytes = size_t(1) << 30;
// A preview larger than this is no preview.
constexpr long kMaxPreviewBytes = 16l << 20;

void InitializeLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    InitializeImageLibrary();
    // Exiv2 sets up its XMP parser on first use, which is not thread-safe.
    Exiv2::XmpParser::initialize();
  });
}

// Decodes JPEG bytes (RGB32) at full size; any decoder warning fails.
int DecodeJpegBytes(void* turbo, const unsigned char* data, size_t size, QImage* image) {
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(turbo, data, size, &width, &height, &subsampling, &colorspace) != 0)
    return 0;
  if (width <= 0 || height <= 0 || int64_t(width) * height > (int64_t(1) << 26)) return 0;
  if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK) return 0;
  QImage result(width, height, QImage::Format_RGB32);
  if (result.isNull()) return 0;
  if (tjDecompress2(turbo, data, size, result.bits(), width, int(result.bytesPerLine()), height,
                    TJPF_BGRX, TJFLAG_LIMITSCANS | TJFLAG_STOPONWARNING) != 0)
    return 0;
  *image = std::move(result);
  return 1;
}

}  // namespace

QImage OrientImage(const QImage& image, int orientation) {
  return TransformThumbnail(image, UprightTransform(orientation));
}

CThumbnailDecoder::CThumbnailDecoder() : m_hTurbo(tjInitDecompress()) { InitializeLibraries(); }

CThumbnailDecoder::~CThumbnailDecoder() {
  if (m_hTurbo) tjDestroy(m_hTurbo);
}

int CThumbnailDecoder::Decode(const MyString& path, const SIZE* hint, CDecodeCancel* cancel,
                              QImage* image, SIZE* header, const SIZE* fit) {
  if (cancel && cancel->IsCancelled()) return 0;
  if (m_hTurbo && SniffImageFile(path) == IK_JPEG &&
      ReadWholeFile(path, &m_buffer, kMaxJpegFileBytes)) {
    const int decoded = DecodeJpeg(hint, cancel, image, header);
    m_buffer.clear();
    if (decoded >= 0) return decoded;
  }
  // Every other file, and JPEGs TurboJPEG does not take (CMYK), the general way.
  CImageReadRequest request;
  request.path = path;
  request.extension = ExtensionOf(path);
  request.sizeHint = hint;
  request.progress = cancel;
  CImageReadResult result;
  if (!ReadImageFile(request, &result)) return 0;
  if (cancel && cancel->IsCancelled()) return 0;
  try {
    Magick::Image& picture = result.image;
    // The reader decoded at full size for every format but JPEG.
    header->cx = int(picture.columns());
    header->cy = int(picture.rows());
    if (fit && fit->cx > 0 && fit->cy > 0 && (header->cx > fit->cx || header->cy > fit->cy)) {
      const QSize size = FitSize(header->cx, header->cy, fit->cx, fit->cy);
      Magick::Geometry geometry(size_t(size.width()), size_t(size.height()));
      geometry.aspect(true);  // the size as fitted here, not rounded again
      if (hint)
        picture.sample(geometry);
      else
        picture.zoom(geometry);
    }
    const int width = int(picture.columns()), height = int(picture.rows());
    QImage pixels(width, height, QImage::Format_ARGB32);
    if (pixels.isNull()) return 0;
    // Opaque pictures come out opaque (a BMP's unused opacity is stale memory).
    ExportBgraPixels(picture, 0, size_t(height), pixels.bits());
    // Transparent parts over white, as the thumbnails' cells are.
    QImage opaque(width, height, QImage::Format_RGB32);
    opaque.fill(Qt::white);
    for (int y = 0; y < height; ++y) {
      const QRgb* from = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
      QRgb* to = reinterpret_cast<QRgb*>(opaque.scanLine(y));
      for (int x = 0; x < width; ++x) {
        const int a = qAlpha(from[x]);
        to[x] = qRgb((qRed(from[x]) * a + 255 * (255 - a)) / 255,
                     (qGreen(from[x]) * a + 255 * (255 - a)) / 255,
                     (qBlue(from[x]) * a + 255 * (255 - a)) / 255);
      }
    }
    *image = std::move(opaque);
  } catch (const std::exception&) {
    return 0;
  }
  return 1;
}

int CThumbnailDecoder::DecodeJpeg(const SIZE* hint, CDecodeCancel* cancel, QImage* image,
                                  SIZE* header) {
  const auto* data = reinterpret_cast<const unsigned char*>(m_buffer.data());
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(m_hTurbo, data, m_buffer.size(), &width, &height, &subsampling,
                          &colorspace) != 0)
    return 0;
  if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK) return -1;
  if (width <= 0 || height <= 0 || int64_t(width) * height > kMaxImagePixels) return 0;
  const CJpegScale scale = hint ? ChooseJpegScale(width, height, *hint) : CJpegScale();
  const tjscalingfactor factor{scale.nNum, scale.nDenom};
  const int outWidth = TJSCALED(width, factor);
  const int outHeight = TJSCALED(height, factor);
  QImage result(outWidth, outHeight, QImage::Format_RGB32);
  if (result.isNull()) return 0;
  // A reduced picture is reduced again for the box: the faster inverse DCT
  // and chroma upsampling make no visible difference there.
  const int flags =
      TJFLAG_LIMITSCANS | (scale.nDenom > 1 ? TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE : 0);
  if (tjDecompress2(m_hTurbo, data, m_buffer.size(), result.bits(), outWidth,
                    int(result.bytesPerLine()), outHeight, TJPF_BGRX, flags) != 0 &&
      tjGetErrorCode(m_hTurbo) != TJERR_WARNING)
    return 0;
  // TurboJPEG cannot be stopped inside a decode; a cancelled one is dropped.
  if (cancel && cancel->IsCancelled()) return 0;
  *image = std::move(result);
  header->cx = width;
  header->cy = height;
  return 1;
}

int CThumbnailDecoder::ReadEmbeddedPreview(const MyString& path, const SIZE& box, QImage* image,
                                           int* orientation) {
  *orientation = 1;
  if (!m_hTurbo || box.cx <= 0 || box.cy <= 0 || !IsReadableImageFile(path)) return 0;
  try {
    Exiv2::Image::AutoPtr file = Exiv2::ImageFactory::open(path.ToUtf8());
    if (!file.get()) return 0;
    file->readMetadata();
    *orientation = OrientationOfExif(file->exifData());
    Exiv2::PreviewManager previews(*file);
    Exiv2::PreviewPropertiesList list = previews.getPreviewProperties();
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
      return uint64_t(a.width_) * a.height_ < uint64_t(b.width_) * b.height_;
    });
    const Exiv2::PreviewProperties* chosen = nullptr;
    for (const Exiv2::PreviewProperties& item : list) {
      if (item.mimeType_ != "image/jpeg" || item.size_ > uint32_t(kMaxPreviewBytes)) continue;
      chosen = &item;
      if (int64_t(item.width_) >= box.cx || int64_t(item.height_) >= box.cy) break;
    }
    if (!chosen) return 0;
    const Exiv2::PreviewImage preview = previews.getPreviewImage(*chosen);
    return DecodeJpegBytes(m_hTurbo, preview.pData(), preview.size(), image);
  } catch (const std::exception&) {
    return 0;
  }
}
