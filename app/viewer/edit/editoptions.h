#pragma once
// The edit options as the "Edit Options" dialog shows them: what happens
// to a rotated or mirrored file ("Save After RorM", the suffix, "Keep Orig
// DateTime", the lossless JPEG choices), how a paste fills a selection
// and the external editor. Read from
// and stored into the option records the rest of the program uses.

#include "corekit/mystring.h"

struct tagEDITOPTIONS {
  int nSaveAfter = -1;  // 1061 .. 1064, or -1 when not chosen yet
  MyString strSuffix;
  bool bKeepDateTime = false;
  bool bLossless = true;
  bool bTrim = false;
  // Pasting into a selection scales the clipboard image to it ("Fit Image
  // To Selection") or crops it ("Crop Image To Selection").
  bool bFitSelection = true;
  MyString strEditor;

  static tagEDITOPTIONS FromRecords();
  // Checks the values and stores them all, or none: 1 stored; 0 with the
  // reason in *error (a suffix that is too long or would leave the
  // folder, an editor path that is too long, a save choice that is none
  // of the four; -1 keeps it not chosen).
  int Store(MyString* error = nullptr) const;
};

// The longest suffix the stored setting can hold.
constexpr int kMaxSuffixLength = 24;
