#include "codecs/imagewriter.h"

#include "codecs/hdfcodec.h"
#include "codecs/imagelibrary.h"
#include "codecs/imagereader.h"
#include "codecs/jp2codec.h"
#include "corekit/atomicfile.h"
#include "corekit/straw.h"

int EncodeImage(const Magick::Image& image, const MyString& extension, unsigned jpegQuality,
                std::string* bytes, std::string* error) {
  InitializeImageLibrary();
  // An image nobody chose a quality for carries the library's default.
  static const unsigned libraryDefault = Magick::Image().quality();
  try {
    const IMAGEKIND kind = KindOfExtension(extension);
    if (kind == IK_JP2) return WriteJpeg2000(image, bytes, error);
    if (kind == IK_HDF) return WriteHdfRaster(image, bytes, error);
    Magick::Image copy = image;
    if (!extension.IsEmpty()) copy.magick(MagickFormatOfExtension(extension));
    if (kind == IK_JPEG && copy.quality() == libraryDefault) copy.quality(jpegQuality);
    Magick::Blob blob;
    try {
      copy.write(&blob);
    } catch (const Magick::Warning&) {
      // The file was written; what the warning says does not make it wrong.
    }
    if (blob.length() == 0) {
      *error = "nothing was written";
      return 0;
    }
    bytes->assign(static_cast<const char*>(blob.data()), blob.length());
    return 1;
  } catch (const std::exception& e) {
    *error = e.what();
    return 0;
  }
}

int WriteImageFile(const MyString& path, const Magick::Image& image, unsigned jpegQuality,
                   MyString* error, const tagIMAGEWRITE& write) {
  std::string bytes;
  std::string reason;
  if (!EncodeImage(image, ExtensionOf(path), jpegQuality, &bytes, &reason)) {
    *error = CStrAW::a_toW(reason);
    return 0;
  }
  if (write.finish && !write.finish(bytes, error)) {
    if (error->IsEmpty()) *error = u"The file could not be completed.";
    return 0;
  }
  if (WriteFileAtomicallyEx(path, bytes, write.file, error)) return 1;
  if (error->IsEmpty()) *error = u"The file could not be written.";
  return 0;
}
