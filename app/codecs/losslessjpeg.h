#pragma once
// Lossless rotation, mirroring and copying of JPEG files: the DCT
// coefficients are moved, never decoded, so the picture loses nothing. Every
// marker of the source (EXIF, IPTC, ICC, comments) is carried over, and the
// EXIF Orientation tag is turned along with the pixels.

#include <cstdint>
#include <functional>
#include <string>

#include "corekit/atomicfile.h"
#include "corekit/loadslot.h"
#include "corekit/mystring.h"

// The rotate-and-flip codes of the viewer's commands; LT_NONE copies.
enum LOSSLESSTRANSFORM : int {
  LT_NONE = 0,
  LT_ROTATE90 = 1,  // clockwise
  LT_ROTATE180 = 2,
  LT_ROTATE270 = 3,   // 90 counter-clockwise
  LT_FLIPH = 4,       // mirror left and right
  LT_FLIPV = 5,       // mirror top and bottom
  LT_TRANSPOSE = 6,   // mirror across the top-left to bottom-right diagonal
  LT_TRANSVERSE = 7,  // mirror across the other diagonal
};

// The transform that shows a picture stored with this EXIF Orientation
// upright (LT_NONE for 1 and for values outside 1..8).
int UprightTransform(int orientation);
// The one transform that does first, then then.
int ComposeTransforms(int first, int then);
// The transform that undoes code.
int InverseTransform(int code);

// The EXIF Orientation value (1..8) that describes the same scene after the
// pixels were transformed by code. Other values are returned unchanged.
int MapExifOrientation(int orientation, int code);

// Turns the Orientation tag of the JPEG held in jpeg (its first APP1 EXIF
// block) for code. Only the tag's value changes when the block allows it; the
// block keeps its byte order. 1 when the tag was changed, 0 when there was
// nothing to change (no EXIF block, no tag, a value outside 1..8, LT_NONE),
// -1 when the tag could not be written (jpeg is then unchanged).
int UpdateExifOrientation(std::string& jpeg, int code);

// Sets the Orientation tag of the JPEG held in jpeg to value (1..8), with
// the same return values as UpdateExifOrientation.
int SetExifOrientation(std::string& jpeg, int value);

// Reads the Orientation tag of the JPEG held in jpeg: 1..8 as stored (or any
// other stored value), 0 when there is none.
int ReadExifOrientation(const std::string& jpeg);

// One transform of a file. It waits for the load slot, so that it never runs
// beside a decode, and gives up when the stop event is set. Any thread.
class CLosslessJpeg {
 public:
  explicit CLosslessJpeg(CLoadSlot& slot = GetLoadSlot(), CStopEvent& stop = GetStopEvent());

  // A last change to the transformed bytes before they are written (the
  // EXIF fields of the new file); 0 fails the transform with *error.
  std::function<int(std::string& jpeg, MyString* error)> finish;
  // When known, the source must be this file (the one the viewer loaded):
  // another file found under its name is neither read nor replaced.
  tagFILEIDENTITY expectedSource;
  // How a target other than the source is written: a name of the
  // program's choosing is made new (AT_CREATE_NEW), and then it is never
  // taken for the source, whatever it links to.
  ATOMICTARGET nTargetRule = AT_FOLLOW_LINK;

  // Transforms source into target (an empty target, or the source itself,
  // means in place), with trim dropping the edge blocks that cannot be moved.
  // 1 on success. On failure (unreadable or damaged JPEG, the stop event, a
  // write error, a source swapped for another file) 0: the source is
  // untouched, byte for byte, and no partial target is left; GetLastError()
  // says why.
  int Transform(const MyString& source, const MyString& target, int code, bool trim);

  const MyString& GetLastError() const { return m_strError; }

 private:
  int Fail(const MyString& why);
  // The transformed bytes of the JPEG in source.
  int TransformBytes(const std::string& source, int code, bool trim, std::string* result);
  int ReplaceInPlace(const MyString& source, const std::string& bytes, const tagFILEIDENTITY& read);

  CLoadSlot& m_slot;
  CStopEvent& m_stop;
  MyString m_strError;
};
