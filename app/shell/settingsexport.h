#pragma once
// LorimoSettings.ini: the settings a crash report carries, in a fixed order:
// "SHOW WINDOW" (one key per tool-view entry, "1" when the view is shown),
// "AUTO PLAY DELAY", "VIEW OPTIONS" and "PERFORMANCE OPTIONS".

#include "corekit/mystring.h"

class CLorimoSettings;

inline constexpr char16_t kSettingsExportName[] = u"LorimoSettings.ini";

// Writes the export to path. 1 when the file was written.
int WriteSettingsExport(const CLorimoSettings& settings, const MyString& path);
