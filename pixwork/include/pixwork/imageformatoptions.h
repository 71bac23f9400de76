#pragma once
// The format options shown before an image is saved: quality, compression
// and interlacing, as far as the chosen format has them. The choices start
// from the save options (gSO), are stored back there on OK and applied to
// the image handed in.

#include <vector>

#include <Magick++.h>

#include "corekit/mystring.h"

class QWidget;

// What a format offers.
struct CFormatOptionSet {
  bool bQuality = false;
  int nQualityMin = 0;
  int nQualityMax = 0;
  MyString strQualityLabel;
  std::vector<MyString> compressionNames;  // empty: no compression choice
  std::vector<Magick::CompressionType> compressions;
  bool bInterlace = false;
  MyString strInterlaceLabel;
  bool IsEmpty() const { return !bQuality && compressions.empty() && !bInterlace; }
};

// The choices made for one save.
struct CFormatChoice {
  int nQuality = 0;
  int nCompression = 0;  // index into the option set's list
  bool bInterlace = false;
};

class CImageFormatOptions {
 public:
  // The options of a format by its extension (without the dot, any case).
  static CFormatOptionSet OptionsFor(const MyString& extension);
  // The choices the dialog opens with: from the save options where they
  // keep one, else the format's usual default.
  static CFormatChoice DefaultChoice(const MyString& extension);
  // Puts the choices on the image (quality, compression, interlace) and
  // stores those the save options keep.
  static void Apply(const CFormatChoice& choice, const MyString& extension, Magick::Image* image);

  // Shows the options of the format for the image. 1 (IDOK) when confirmed,
  // the choices then applied to *image; 2 (IDCANCEL) when cancelled, the
  // image untouched. A format without options is confirmed at once.
  static int ShowFilterDialog(QWidget* parent, Magick::Image* image, const MyString& extension);
};
