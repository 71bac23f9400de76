#pragma once
// The list views' file work: the rename rules, and moving, copying and
// trashing the selected files. Nothing is ever replaced: a name taken in the
// destination becomes "name (2).ext", "name (3).ext", ... Every file is
// tried; the result names the ones that failed, so that a partly done
// operation can say which. No widgets; any thread.

#include <utility>
#include <vector>

#include "corekit/mystring.h"

// The new path for a name typed over oldPath's name: oldPath's folder + the
// typed text, plus the old extension when the text has none. 0 (and no
// path) for a name that would leave the folder or means none: empty, "."
// or "..", or holding '/'.
int MakeRenamePath(const MyString& oldPath, const MyString& typed, MyString* newPath);

// "name.ext" in folder when that is free, else "name (2).ext", "name (3).ext" ...
// The name is only proposed; the operations below claim it without a race.
MyString FreeTargetPath(const MyString& folder, const MyString& name);

enum FILEOPERATION : int { FO_MOVE, FO_COPY, FO_TRASH };

struct tagFILEOPRESULT {
  FILEOPERATION nOperation = FO_MOVE;
  // Source and where it went (empty for the Trash).
  std::vector<std::pair<MyString, MyString>> done;
  std::vector<MyString> failed;
  bool Succeeded() const { return failed.empty(); }
  // Whether any file left its folder (the list must be read again).
  bool AnyGone() const { return nOperation != FO_COPY && !done.empty(); }
};

class CFileOperations {
 public:
  // Moves (copies) each file into folder, never over a file there. A file
  // moved onto itself (its own folder) counts as done and stays.
  tagFILEOPRESULT Move(const std::vector<MyString>& files, const MyString& folder) const;
  tagFILEOPRESULT Copy(const std::vector<MyString>& files, const MyString& folder) const;
  // The freedesktop Trash of the user (files on other volumes go to that
  // volume's trash when it has one).
  tagFILEOPRESULT Trash(const std::vector<MyString>& files) const;

  // The message after an operation: "Operation completed successfully !", or
  // which files failed. The caption of its box.
  static MyString ReportText(const tagFILEOPRESULT& result);
  static MyString ReportCaption(const tagFILEOPRESULT& result);

 private:
  tagFILEOPRESULT Transfer(const std::vector<MyString>& files, const MyString& folder,
                           bool move) const;
};
