#pragma once
// Process-wide settings of every folder listing. Written by the program's
// "Sort by" commands and its settings load (registry values "SortMode" and
// "SortDir"), read by every SortDir scan. Only the GUI thread writes them.

#include <cstdint>

// 0 name, 1 extension, 2 size, 3 date, 4 EXIF date (when the picture was
// taken, else its last-write time); any other value sorts by name.
extern uint32_t gdwSortingMode;
constexpr uint32_t kSortByExifDate = 4;
// Nonzero ascending, 0 descending.
extern int32_t bSortAscending;

// Whether a folder scan also lists files without an extension: the first
// byte (flag) of the performance option "OpenFileOutExt", copied here by the
// code that loads and edits that option. 0 (the option's default) or 1.
extern uint8_t gbListFilesWithoutExtension;
