#pragma once
// The keyboard-map file (".LKB"): an input assignment as a data file.
// Section "Lorimo" holds one key per input event in row order, the event
// name in double quotes, with "applied,edited,release slot"; the first
// event of each group carries the group as its key comment. The sections
// "Help-Key Actions", "Help-Mouse Actions" and "Help-Roller Actions" name
// each action index for whoever edits the file by hand; they are not read.
//
// Reading takes the applied and edited indexes only. A missing or empty
// key, a value without a comma, a part that is not a number and an index
// outside the event's action table leave that index as it was, so a
// damaged file never puts an event on an action that does not exist.

#include <array>
#include <cstdint>

#include "corekit/mystring.h"
#include "shell/mappingvalues.h"

class CDataFile;

// One event of the working copy: the action it runs and the dialog's choice.
struct tagKEYMAPROW {
  uint32_t nApplied = 0;
  uint32_t nEdited = 0;
  bool operator==(const tagKEYMAPROW&) const = default;
};

using KeyMapRows = std::array<tagKEYMAPROW, CMappingValues::kEventCount>;

class CKeyboardMapFile {
 public:
  // The number of the event's release event: keys 32 ... 63, the buttons
  // 3, 4 and 5, 0 for the wheel (which has none).
  static int ReleaseSlot(int event);

  // Reads the file at path into rows. 1 when it was read; 0 when it could
  // not be (rows unchanged, *error says why). The file is never written.
  static int Read(const MyString& path, KeyMapRows& rows, MyString* error = nullptr);
  static void Read(const CDataFile& file, KeyMapRows& rows);

  // Writes rows to path, replacing the file atomically. 1 on success; 0
  // otherwise (*error says why, the old file is left whole).
  static int Write(const MyString& path, const KeyMapRows& rows, MyString* error = nullptr);
  // The contents of the file, into an empty data file.
  static void Fill(CDataFile& file, const KeyMapRows& rows);
};
