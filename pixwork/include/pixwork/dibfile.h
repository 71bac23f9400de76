#pragma once
// The open and save file dialogs of the image commands, over the filter
// texts of the format tables (NUL-separated label/pattern pairs).

#include <QString>

#include "corekit/mystring.h"

class QWidget;

// Remembers the window the dialogs belong to and the folder they start in.
void DibFileInitialize(QWidget* owner, const MyString& initialFolder = MyString());

// Asks for a file to open, with the open filter (GetOpenFilter) unless
// another filter text is given. 1 and the full path and the name (with
// extension) when chosen, 0 on Cancel.
int DibFileOpenDlg(QWidget* owner, MyString* path, MyString* title,
                   const MyString& filter = MyString());

// Asks for a file to save, with the save filter (szSaveFilter) unless
// another is given; path holds the proposed name on entry. A name typed
// without an extension gets the chosen filter's. 1 when chosen, 0 on Cancel.
int DibFileSaveDlg(QWidget* owner, MyString* path, MyString* title,
                   const MyString& filter = MyString());

// A filter text as QFileDialog reads it: "BMP Files (*.bmp *.BMP);;...".
QString QtFileDialogFilter(const MyString& filter);
// The extension (with its dot, lower case) of a Qt filter entry, or empty.
MyString ExtensionOfQtFilter(const QString& entry);
