#pragma once
// The batch page's settings as a settings file: section "Batch" of a
// CDataFile, written by "Save Settings ..." and read by "Load Settings ..."
// and by the headless run. A value that is there but makes no sense stops
// the read and names its key; a missing key keeps its default.

#include "collections/batchrun.h"

class CDataFile;

extern const char16_t kBatchSection[];  // "Batch"

// Puts every setting into the file's "Batch" section.
void WriteBatchSettings(CDataFile& file, const tagBATCHSETTINGS& settings);

// Reads the "Batch" section over *settings. 1 on success; 0 with the
// reason (naming the bad key) in *error, *settings then unchanged.
int ReadBatchSettings(const CDataFile& file, tagBATCHSETTINGS* settings, MyString* error);
