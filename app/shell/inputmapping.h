#pragma once
// The working copy of the "Keyboard and Mouse Mappings" dialog: per input
// event the applied and the edited action, the four presets, the keyboard-
// map file, where the assignment came from ("FileMapping", "TypeMapping" in
// the registry key "Mapping") and the dialog's caption. The program's
// assignment changes only at Accept; loading a file or a preset fills the
// working copy alone, so Cancel leaves everything as it was.
//
// Also the menu labels the assignment gives the commands. Plain logic, GUI
// thread only.

#include <cstdint>
#include <map>

#include "corekit/mystring.h"
#include "shell/keyboardmapfile.h"

class CInputBinding;
class CRegistryStore;

enum MAPPINGPRESET : int { MP_LORIMO_DEFAULT, MP_ACDSEE, MP_IRFANVIEW, MP_WINDOWS, MP_COUNT };

// "TypeMapping": where the assignment came from.
enum MAPPINGTYPE : int32_t {
  MT_UNKNOWN = -1,
  MT_NONE = 0,
  MT_DEFAULT = 1,
  MT_CUSTOM = 2,
  MT_FILE = 3,
  MT_ACDSEE = 4,
  MT_IRFANVIEW = 5,
  MT_WINDOWS = 6,
};

// "FileMapping" and "TypeMapping".
struct tagMAPPINGSOURCE {
  MyString strFile;
  int32_t nType = MT_NONE;

  // Reads both from the key "Mapping"; absent values keep the defaults.
  static tagMAPPINGSOURCE Load(CRegistryStore& store);
  // Writes both and flushes the store. 1 when they reached the disk.
  int Store(CRegistryStore& store) const;
};

class CInputMapping {
 public:
  // The rows of the applied assignment, each edited as applied.
  explicit CInputMapping(const CInputBinding& binding);

  const KeyMapRows& Rows() const { return m_rows; }
  // The actions the dialog offers for the event's group (34, 25, 16): the
  // mouse table's release companions are not chosen by hand.
  static uint32_t ChoosableCount(int event);
  // Sets an event's edited action; 0 for an event or action out of range.
  int SetEdited(int event, uint32_t action);

  // The preset's action for the event, or -1 when it leaves the row alone.
  static int PresetAction(MAPPINGPRESET preset, int event);
  static MAPPINGTYPE PresetType(MAPPINGPRESET preset);
  // Sets the edited actions of the rows the preset names.
  void ApplyPreset(MAPPINGPRESET preset);

  // Reads a keyboard-map file into the working copy (applied and edited
  // indexes); 0 with the rows unchanged and *error saying why.
  int LoadFile(const MyString& path, MyString* error = nullptr);
  int SaveFile(const MyString& path, MyString* error = nullptr) const;

  // Every applied index takes its edited one; the result goes into the
  // stored values (the exit save writes them) and the binding.
  void Accept(CMappingValues& stored, CInputBinding& binding);

  // The dialog's caption for a "TypeMapping" and "FileMapping".
  static MyString Caption(const tagMAPPINGSOURCE& source);

  // The labels the keyboard actions give their menu commands: the action's
  // name, then "name\tevent" for every mapped key in row order (the last
  // one wins).
  static std::map<int, MyString> MenuLabels(const CInputBinding& binding);

 private:
  KeyMapRows m_rows;
};
