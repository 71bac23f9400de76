#pragma once
// The question asked before a modified image is left: before another image
// is shown, before the program closes and before printing. Yes runs "Save
// As"; No drops the edits (the modified flag is cleared). GUI thread.

#include "viewer/edit/fileeditui.h"

class CImageDocument;

class CSaveQuestion {
 public:
  CSaveQuestion(CImageDocument& document, CFileEditUi& ui, const tagFILEEDITHOST& host);

  // Before another image replaces this one: true goes on (nothing to save,
  // saved, or No), false keeps the image (Yes, but the save failed or was
  // cancelled).
  bool BeforeStep();
  // Before the program closes: asked, and the close goes on either way.
  void BeforeClose();
  // Before printing: an edited image has to be saved first. True when the
  // printout may go on (nothing edited, or saved now).
  bool BeforePrint();

 private:
  // 1 saved, 0 No (flag cleared), -1 Yes but not saved, 2 nothing to ask.
  int Ask();

  CImageDocument& m_document;
  CFileEditUi& m_ui;
  const tagFILEEDITHOST& m_host;
};
