#pragma once
// The name under which a rotated or mirrored picture is saved when the user
// chose to append a suffix: folder + title + suffix + "_" + n + extension
// with the first n whose name is free. A title that already ends in the
// suffix, "_" and a number loses that ending first, so rotating
// a_modified_1.jpg gives a_modified_2.jpg, not a_modified_1_modified_1.jpg.

#include "corekit/loadslot.h"
#include "corekit/mystring.h"

// 1 and *result, a name that names no file (nor a dangling link) and is
// never the source itself. Others may take the name before it is written,
// so the caller creates it exclusively (AT_CREATE_NEW). 0 when the stop event is set (the program
// is closing), the suffix would leave the folder, or the folder cannot be searched.
int MakeRotatedFileName(const MyString& source, const MyString& suffix, MyString* result,
                        const CStopEvent& stop = GetStopEvent());
