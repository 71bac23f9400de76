#pragma once
// Rotating and mirroring the shown file in steps of 90 degrees (the Edit
// menu's "  90 Clockwise" to "Left-Right Flip"): losslessly for JPEG files
// when the user asked for it, otherwise by GraphicsMagick in memory, and
// then saved as the user chose once in the "Rotate and Flip Save Options"
// (over the file, under a suffixed name, under a name asked for, or not at
// all). GUI thread; the work holds the load slot.

#include <Magick++.h>

#include "corekit/atomicfile.h"
#include "corekit/mystring.h"
#include "corekit/platform.h"
#include "viewer/edit/fileeditui.h"

class CImageDocument;

// The rotate-and-flip code (LT_ROTATE90 .. LT_FLIPV) of a menu command,
// or 0 when the id is none of them.
int RotateFlipCodeOfCommand(int id);
// The caption of the command's "Please Open Image First." warning.
MyString RotateFlipCaption(int code);
// Whether the name ends in ".jpg" or ".jpeg", in any case.
bool IsJpegFileName(const MyString& path);

class CRotateFlipFile {
 public:
  CRotateFlipFile(CImageDocument& document, CFileEditUi& ui, const tagFILEEDITHOST& host);

  // Runs the command for the code. 1 when the image or its file was turned;
  // 0 when nothing was done (the user was told why, where there is a why).
  int Run(int code);

  // The image turned by code into *result: GraphicsMagick's rotation by 90,
  // 180 or 270 degrees, or one of its mirrors. 1 on success; 0 with the library's
  // text in *error (a cancelled monitor also ends here).
  static int TransformImage(const Magick::Image& image, int code, Magick::Image* result,
                            MyString* error = nullptr);

 private:
  // The two ways of turning. A target other than the source is written by
  // rule (a numbered name is made new); the source must be the file loaded.
  int TransformFile(const MyString& source, const MyString& target, int code, ATOMICTARGET rule);
  int TransformInMemory(int code, Magick::Image* result);
  // How the command turns the file's pixels: a picture shown upright is
  // first turned as its orientation says, then as the command.
  int FileTransform(int code) const;
  // Writes a turned image to target as file says. A JPEG target gets the
  // EXIF block of exifSource (with its orientation turned by code) in its
  // bytes before they replace the target, so the file is never left
  // without it nor rewritten in place.
  int WriteTurnedImage(const Magick::Image& image, const MyString& target,
                       const MyString& exifSource, int code, const tagATOMICWRITEOPTIONS& file);
  // The file itself was turned: shown again from the file, its cached
  // thumbnail turned along.
  void ReloadInPlace(const MyString& path, int code, const CFileInfo& before);
  void ShowOtherFile(const MyString& path);
  void ReportTransformFailure();

  int SaveOverFile(const MyString& path, int code, bool lossless);
  int SaveWithSuffix(const MyString& path, int code, bool lossless);
  int SaveUnderAskedName(const MyString& path, int code, bool lossless);
  int TurnInMemoryOnly(int code);

  CImageDocument& m_document;
  CFileEditUi& m_ui;
  const tagFILEEDITHOST& m_host;
};
