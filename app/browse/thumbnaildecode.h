#pragma once
// The thumbnail engine's reads, on the codec layer and never through the
// viewer's load: JPEG files go straight from TurboJPEG to BGRA at the
// reduced scale the box allows, other files through ReadImageFile with
// the request's own cancel flag; embedded previews and the EXIF
// orientation come from Exiv2, which reads the file's head only. Every
// library error is caught here. Any thread; one CThumbnailDecoder per thread.

#include <QImage>
#include <string>

#include "corekit/messages.h"
#include "corekit/mystring.h"

class CDecodeCancel;

class CThumbnailDecoder {
 public:
  CThumbnailDecoder();
  ~CThumbnailDecoder();
  CThumbnailDecoder(const CThumbnailDecoder&) = delete;
  CThumbnailDecoder& operator=(const CThumbnailDecoder&) = delete;

  // Decodes path (RGB32) at the smallest size that still covers hint (null:
  // full size); *header gets the size the file's header gives. A picture
  // read whole (not a JPEG) that is larger than fit (when given) is reduced
  // to fit it before it becomes a QImage, by sampling with a hint and by
  // filtered resizing without one, so a huge TIFF never takes its size twice.
  // 1 on success; 0 when it cannot be read or cancel was set.
  int Decode(const MyString& path, const SIZE* hint, CDecodeCancel* cancel, QImage* image,
             SIZE* header, const SIZE* fit = nullptr);

  // The smallest JPEG preview embedded in the file that covers box (fitting
  // it needs no enlarging), else the largest there is. 1 when one was
  // decoded; *orientation gets the file's EXIF orientation (0 without one).
  int ReadEmbeddedPreview(const MyString& path, const SIZE& box, QImage* image, int* orientation);

  // The TurboJPEG decompressor of this decoder, for reading cache entries.
  void* TurboHandle() const { return m_hTurbo; }

 private:
  int DecodeJpeg(const SIZE* hint, CDecodeCancel* cancel, QImage* image, SIZE* header);

  void* m_hTurbo;
  std::string m_buffer;
};

// image turned upright for an EXIF orientation (2 to 8; others leave it).
QImage OrientImage(const QImage& image, int orientation);
