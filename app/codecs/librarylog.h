#pragma once
// What the image libraries would print on their own (Exiv2's log,
// GraphicsMagick's warning and error handlers) goes to the program's
// warning path instead of standard error: the last few are kept, and each
// is logged under the "lorimo.library" category, which is silent unless
// QT_LOGGING_RULES turns it on ("lorimo.library.warning=true"). Decoder
// warnings of a read still reach its caller with the read.

#include <string>
#include <vector>

// Installs the handlers; later calls do nothing. Thread-safe.
void InstallLibraryWarningHandlers();

// A warning of a library call made by our own code (a damaged colour
// profile, say) that has no caller to show it to: it goes the same way.
void ReportLibraryWarning(const std::string& text);

// The last warnings the libraries gave, oldest first.
std::vector<std::string> RecentLibraryWarnings();
