#pragma once
// "As a copy" (Set as Desktop): copies the shown file to the user's desktop
// folder under its own name, never replacing a file already there.

#include "viewer/edit/fileeditui.h"

class CImageDocument;

class CDesktopCopy {
 public:
  // desktop: the desktop folder (the user's, from QStandardPaths, when empty).
  CDesktopCopy(CImageDocument& document, CFileEditUi& ui, const MyString& desktop = MyString());

  // 1 when the file was copied; the user is told the outcome either way.
  int Run();

  // Copies file into folder under its name, creating the folder when it is
  // missing. 1 on success; 0 when a file of that name is there already or
  // the copy fails (nothing of ours is left behind).
  static int CopyInto(const MyString& file, const MyString& folder, MyString* copied = nullptr);

 private:
  CImageDocument& m_document;
  CFileEditUi& m_ui;
  MyString m_strDesktop;
};
