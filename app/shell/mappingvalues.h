#pragma once
// The stored input assignment (registry key "Mapping"): one number per
// input event, named exactly as the event, holding the index of the action
// applied to it. The settings load reads the numbers and the save writes
// them; the input-mapping logic takes them from here at start-up (Set with
// its defaults for events that have no stored value) and hands back what
// the user chose.
//
// An event without a value keeps whatever the store holds: nothing is
// written for it, so a stored assignment survives until one is made.

#include <array>
#include <cstdint>
#include <optional>

#include "corekit/mystring.h"

class CRegistry;

enum INPUTEVENTGROUP { INPUT_KEYBOARD, INPUT_MOUSE, INPUT_WHEEL };

struct tagINPUTEVENTNAME {
  const char16_t* pszName;
  INPUTEVENTGROUP nGroup;
};

class CMappingValues {
 public:
  static constexpr int kEventCount = 37;  // 32 keys, 3 mouse buttons, 2 wheel directions

  static const std::array<tagINPUTEVENTNAME, kEventCount>& Events();
  // Highest action index of a group's action table plus one.
  static uint32_t ActionCount(INPUTEVENTGROUP group);
  // The event's position, or -1.
  static int FindEvent(const MyString& name);

  // Values out of the group's action range are ignored.
  void Load(const CRegistry& mappingKey);
  void Save(CRegistry& mappingKey) const;

  std::optional<uint32_t> Get(int event) const { return m_values[size_t(event)]; }
  // 0 when the index is outside the event's action table.
  int Set(int event, uint32_t action);
  void Clear() { m_values.fill(std::nullopt); }

 private:
  std::array<std::optional<uint32_t>, kEventCount> m_values;
};
