#pragma once
// "External Editor": hands the shown file to the program the user chose
// (`gszExtEdit`), offering to choose one when none is set or the set one
// cannot be run. The program is started on its own, with the file's path
// as its only argument. GUI thread.

#include <QString>
#include <QStringList>
#include <functional>

#include "viewer/edit/fileeditui.h"

class CImageDocument;

class CExternalEditor {
 public:
  CExternalEditor(CImageDocument& document, CFileEditUi& ui);

  // Starts a program detached from this one; true when it started.
  // QProcess::startDetached by default.
  std::function<bool(const QString& program, const QStringList& arguments)> start;

  // 1 when the editor was started with the file; 0 otherwise (the user
  // was told why, or cancelled).
  int Run();

  // Whether program names something that can be run: an executable file,
  // or a command found on the PATH.
  static bool IsUsableEditor(const MyString& program);
  // The program to start for a stored editor (a command is looked up on
  // the PATH); empty when there is none.
  static MyString ResolveEditor(const MyString& program);
  // Stores the editor setting; 0 (unchanged) when the path is too long for it.
  static int SetEditor(const MyString& program);
  static MyString GetEditor();

 private:
  CImageDocument& m_document;
  CFileEditUi& m_ui;
};
