#pragma once
// Tells the user, once per run, that the settings cannot be kept: the
// configuration folder is not writable. The program goes on either way.

#include "corekit/mystring.h"

class QWidget;

// Empty when the folder can be written, else why not.
MyString CheckConfigFolderWritable();
// The first call writes the reason to the error output and, with a parent
// window, shows it there without blocking (the box belongs to the parent);
// later calls do nothing. 1 when this call said so.
int ReportSettingsNotSaved(const MyString& reason, QWidget* parent);
