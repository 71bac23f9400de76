#pragma once
// CImageEdits: the viewer's in-memory edits of the document's image (undo,
// redo, cut, copy, paste, crop, resize, rotation by any angle) with their
// one level of undo. Every edit works on a copy and commits it only when
// the library call succeeded, so a failed edit leaves the image and the
// undo state as they were. The clipboard is the desktop's (QClipboard).
// Messages and the showing of the result go through CImageEditsUi. GUI
// thread only.

#include <functional>

#include <Magick++.h>

#include "corekit/mystring.h"
#include "pixwork/imageprop.h"
#include "viewer/edit/edittools.h"

class CImageDocument;
class QImage;

// How the viewer shows an edited image.
enum EDITSHOW : int {
  ES_REDRAW,         // same image, other pixels
  ES_NEW_IMAGE,      // as a new image at 1.0, the zoom index at the 1.0 entry
  ES_NEW_KEEP_ZOOM,  // as a new image keeping the current factor
  ES_PASTED,         // "NewPaste": as ES_NEW_KEEP_ZOOM, titled "NewPaste"
  ES_PASTED_AREA,    // "NewPaste" pasted into a selection: redrawn, titled "NewPaste"
};

// Results of the edits.
enum EDITRESULT : int {
  ER_DONE = 1,
  ER_NOTHING = 0,       // nothing to do (no undo, no clipboard image, angle 0, ...)
  ER_NEEDS_IMAGE = -1,  // "Please Open Image First." was shown
  ER_FAILED = -2,       // the library failed; a message was shown, nothing changed
  ER_CANCELLED = -3,    // Cancel on the progress strip, or the program is closing
  ER_BUSY = -4,         // a load holds the load slot; the user was told
  ER_BAD_INPUT = -5,    // the angle box does not hold a number; a message was shown
};

class CImageEditsUi {
 public:
  virtual ~CImageEditsUi() = default;
  // A warning box.
  virtual void Message(const MyString& text, const MyString& caption) = 0;
  // The document's image is about to change for an edit; ShowEdited follows.
  virtual void BeginImageChange() {}
  virtual void ShowEdited(EDITSHOW how) = 0;
};

class CImageEdits {
 public:
  static constexpr const char16_t* kPasteName = u"NewPaste";

  // Both must outlive this object.
  CImageEdits(CImageDocument& document, CImageEditsUi& ui);

  // When set and it returns true, the process view took the undo (the
  // redo) itself.
  std::function<bool()> processViewUndo;
  std::function<bool()> processViewRedo;

  int Undo();
  int Redo();
  bool CanUndo() const;
  bool CanRedo() const;

  // selection: image pixels, or null for none (Copy and Paste then work on
  // the whole image).
  int Crop(const tagIMAGESELECTION& selection);
  int Cut(const tagIMAGESELECTION& selection);
  int Copy(const tagIMAGESELECTION* selection);
  int Paste(const tagIMAGESELECTION* selection);
  // Whether the clipboard holds an image to paste.
  static bool ClipboardHasImage();

  // Resizes to exactly prop's width and height with its filter.
  int Resize(const IMAGEPROP& prop);
  // What the resize dialog starts with: the image's size and filter.
  IMAGEPROP CurrentImageProp() const;
  // Rotates clockwise by the degrees the text holds (the angle box); "0"
  // does nothing. The background fills the corners the turn uncovers.
  int Rotate(const MyString& angleText, const Magick::Color& background);
  int Rotate(double degrees, const Magick::Color& background);

  // The image the clipboard's bitmap makes: its colours, opaque.
  static Magick::Image ImageFromBitmap(const QImage& bitmap);
  // A 32-bit bitmap of the image or of a part of it (bytes blue, green,
  // red, unused), as it goes on the clipboard; null on failure.
  static QImage BitmapFromImage(const Magick::Image& image, const tagIMAGESELECTION* selection);
  // The angle box as degrees: a decimal number, '.' or ',' as the point.
  static int ParseAngle(const MyString& text, double* degrees);

  // Commits edited (undo state saved, modified set) and shows it. Also the
  // process view's way in, so its results undo and show like any edit.
  int Commit(const Magick::Image& edited, EDITSHOW how);
  // The undo (true) or redo swap without asking the process view.
  int Swap(bool bUndo);

 private:
  bool NeedImage(const char16_t* caption);
  // Runs a long operation on a copy of the image, holding the load slot
  // with the progress strip; ER_DONE with *result.
  int RunMonitored(const std::function<void(Magick::Image&)>& operation, const char16_t* caption,
                   Magick::Image* result);

  CImageDocument& m_document;
  CImageEditsUi& m_ui;
};
