#pragma once
// The format tables' filter texts (label, pattern, ... NUL-separated) in the
// form Qt's file dialogs take: "Label (*.a *.b);;Label (*.c)".

#include <QString>

#include "corekit/mystring.h"

QString QtFilterFromFilterText(const MyString& filter);
