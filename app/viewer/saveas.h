#pragma once
// The viewer's "Save As": asks for a target, refuses a read-only one before
// any format dialog, applies the format options, writes (or copies a JPEG
// losslessly), carries the EXIF block over from a JPEG source, and makes
// the target the document's file. The dialogs come through CSaveAsUi, so
// the rule is tested without a display.

#include <functional>

#include <Magick++.h>

#include "corekit/mystring.h"

class CImageDocument;
class QWidget;

class CSaveAsUi {
 public:
  virtual ~CSaveAsUi() = default;
  // The target file, or empty when the user cancels. proposed is the
  // document's current path.
  virtual MyString AskTarget(const MyString& proposed) = 0;
  // A message box (warning or error) with the caption.
  virtual void Message(const MyString& text, const MyString& caption, bool error) = 0;
  // The format options for the target's extension, applied to *image:
  // 1 when confirmed, 2 on Cancel.
  virtual int ShowFormatOptions(Magick::Image* image, const MyString& extension) = 0;
};

// The real dialogs: Pixwork's save dialog and format options, message boxes.
class CSaveAsDialogs : public CSaveAsUi {
 public:
  explicit CSaveAsDialogs(QWidget* owner) : m_pOwner(owner) {}
  MyString AskTarget(const MyString& proposed) override;
  void Message(const MyString& text, const MyString& caption, bool error) override;
  int ShowFormatOptions(Magick::Image* image, const MyString& extension) override;

 private:
  QWidget* m_pOwner;
};

class CSaveAsCommand {
 public:
  CSaveAsCommand(CImageDocument& document, CSaveAsUi& ui);

  // The lossless JPEG copy with its EXIF brought up to date (1 on success;
  // the default is CLosslessJpeg without rotation), and the steps done by
  // other parts once they exist:
  // the rewrite of a cached thumbnail and the folder views' entry of the file.
  std::function<int(const MyString& source, const MyString& target, bool trim)> losslessCopy;
  std::function<void(const MyString& target, const Magick::Image& image)> updateCachedThumbnail;
  std::function<void(const MyString& target)> updateFolderViews;

  // 1 when the image was saved; 0 when there was nothing to save, the user
  // cancelled, or it failed (the user was told).
  int Run();

  // The plain JPEG copy: the coefficients moved unchanged with every marker,
  // the edge blocks dropped when trim is set; written atomically. 1 on success.
  static int CopyJpegLosslessly(const MyString& source, const MyString& target, bool trim);

 private:
  CImageDocument& m_document;
  CSaveAsUi& m_ui;
};
