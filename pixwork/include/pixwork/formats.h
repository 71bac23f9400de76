#pragma once
// The image formats the program knows: which files of a folder are images,
// the filter texts of the open and save dialogs, and the extensions that
// file-format plug-ins add while the program runs.
//
// A filter text is a run of parts, each ended by a NUL, the whole ended by
// an empty part: label, pattern, label, pattern, ..., NUL.

#include <string_view>
#include <vector>

#include "corekit/mystring.h"

struct FILTERFILEEXTRY {
  const char16_t* pszExtension;    // upper case, without the dot
  const char16_t* pszDescription;  // null when the extension names the format
};

// The built-in open formats, in dialog order. Callers address rows by
// position: the last row is the portfolio file, which is never an image.
inline constexpr int kStaticOpenFileFilterCount = 14;
inline constexpr int kPortfolioFilterRow = 13;
extern const FILTERFILEEXTRY szStaticOpenFileFilter[kStaticOpenFileFilterCount];

// Extensions registered by plug-ins, in registration order. Kept as copies,
// so that a plug-in unloaded early leaves nothing dangling.
extern std::vector<MyString> sPluginSupportedExtensions;

// The extensions that make a file an image: the static rows but the
// portfolio, then the registered ones. Positions are stable (the option for
// files without an extension stores one). Changed only under the format
// lock, by RegisterFileExtension and the filter builders; a thread other
// than the GUI thread reads GetSupportedExtensions() instead.
extern std::vector<MyString> szSupportedFilesFilter;

// The 11 writable extensions, null-terminated.
extern const char16_t* const szSaveFilter2[12];

// Save-dialog filter text for szSaveFilter2: "BMP Files (*.BMP)", "*.bmp",
// ...; the literal's own terminator is the closing empty part.
inline constexpr char16_t szSaveFilter[] =
    u"BMP Files (*.BMP)\0*.bmp\0"
    u"JPG Files (*.JPG)\0*.jpg\0"
    u"JPEG Files (*.JPEG)\0*.jpeg\0"
    u"PNG Files (*.PNG)\0*.png\0"
    u"PGM Files (*.PGM)\0*.pgm\0"
    u"PNM Files (*.PNM)\0*.pnm\0"
    u"PPM Files (*.PPM)\0*.ppm\0"
    u"TIF Files (*.TIF)\0*.tif\0"
    u"JP2 Files (*.JP2)\0*.jp2\0"
    u"GIF Files (*.GIF)\0*.gif\0"
    u"HDF Files (*.HDF)\0*.hdf\0";

// Open-dialog filter with every format, the portfolio and "All Files".
// Built on first use and kept; the copy handed out stays valid.
MyString GetOpenFilter();
// The same without the portfolio row and without "All Files".
MyString GetOpenFilterWithoutLRM();
// Drops both kept texts; the next request builds them again.
void FreeOpenFilterBuffers();

// Adds an image extension for the life of the process. Ignored (0) when it
// equals, letter case included, a static or already registered extension,
// and when it is empty or holds a character that would break a pattern
// (a dot, '*', '?', ';', a slash or a control character). 1 when added.
int RegisterFileExtension(const MyString& extension);

// A copy of szSupportedFilesFilter taken under the format lock.
std::vector<MyString> GetSupportedExtensions();

// One label and its pattern of a filter text.
struct FILTERPART {
  MyString strLabel;
  MyString strPattern;
};
// Splits a filter text into its label/pattern pairs; stops at the empty
// part (or the end of the text) and ignores a label without a pattern.
std::vector<FILTERPART> SplitFilterText(std::u16string_view filter);
