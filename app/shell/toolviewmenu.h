#pragma once
// The tool-view entries of the main menu and their stored flags (registry
// key "Menu"): 0 when the view is shown, 1 when it is hidden; the first
// entry instead holds the command id of the current mouse tool. The main
// window reads the flags when it builds its menu and opens every view whose
// flag is 0; the settings save writes them back at exit.

#include <array>
#include <cstdint>

#include "corekit/mystring.h"

class CRegistry;

struct tagTOOLVIEWENTRY {
  const char16_t* pszMenuText;  // also the registry value name
  uint32_t nCommand;            // the command that toggles the view
  uint32_t dwDefault;
};

class CToolViewMenu {
 public:
  static constexpr int kEntryCount = 15;
  static constexpr int kMouseToolEntry = 0;  // "Tools Option"
  static constexpr uint32_t kFirstMouseTool = 1070;
  static constexpr uint32_t kLastMouseTool = 1076;
  static constexpr uint32_t kShown = 0;
  static constexpr uint32_t kHidden = 1;

  static const std::array<tagTOOLVIEWENTRY, kEntryCount>& Entries();

  CToolViewMenu();

  // Reads every entry's flag; a value that is missing, not a number or out
  // of range keeps the default.
  void Load(const CRegistry& menuKey);
  void Save(CRegistry& menuKey) const;
  void ResetToDefaults();

  uint32_t GetFlag(int entry) const { return m_flags[size_t(entry)]; }
  // 0 when the value is not valid for the entry.
  int SetFlag(int entry, uint32_t flag);
  bool IsShown(int entry) const { return entry != kMouseToolEntry && GetFlag(entry) == kShown; }
  uint32_t GetMouseTool() const { return m_flags[kMouseToolEntry]; }

  static bool IsValidFlag(int entry, uint32_t flag);

 private:
  std::array<uint32_t, kEntryCount> m_flags;
};
