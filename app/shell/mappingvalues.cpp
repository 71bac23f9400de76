#include "shell/mappingvalues.h"

#include "corekit/registry.h"

const std::array<tagINPUTEVENTNAME, CMappingValues::kEventCount>& CMappingValues::Events() {
  static const std::array<tagINPUTEVENTNAME, kEventCount> kEvents = {{
      {u"Page Down", INPUT_KEYBOARD},
      {u"Page Up", INPUT_KEYBOARD},
      {u"Arrow Down", INPUT_KEYBOARD},
      {u"Arrow Up", INPUT_KEYBOARD},
      {u"Arrow Left", INPUT_KEYBOARD},
      {u"Arrow Right", INPUT_KEYBOARD},
      {u"Space Bar", INPUT_KEYBOARD},
      {u"Back Space", INPUT_KEYBOARD},
      {u"Home", INPUT_KEYBOARD},
      {u"End", INPUT_KEYBOARD},
      {u"Character: r", INPUT_KEYBOARD},
      {u"Character: c", INPUT_KEYBOARD},
      {u"Character: v", INPUT_KEYBOARD},
      {u"Character: h", INPUT_KEYBOARD},
      {u"Character: +", INPUT_KEYBOARD},
      {u"Character: -", INPUT_KEYBOARD},
      {u"Enter", INPUT_KEYBOARD},
      {u"Delete", INPUT_KEYBOARD},
      {u"Insert", INPUT_KEYBOARD},
      {u"Escape", INPUT_KEYBOARD},
      {u"Ctrl+C", INPUT_KEYBOARD},
      {u"Ctrl+V", INPUT_KEYBOARD},
      {u"Ctrl+X", INPUT_KEYBOARD},
      {u"Ctrl+Y", INPUT_KEYBOARD},
      {u"Ctrl+Z", INPUT_KEYBOARD},
      {u"Ctrl+A", INPUT_KEYBOARD},
      {u"Ctrl+B", INPUT_KEYBOARD},
      {u"Ctrl+L", INPUT_KEYBOARD},
      {u"Ctrl+S", INPUT_KEYBOARD},
      {u"Alt+Arrow Left", INPUT_KEYBOARD},
      {u"Alt+Arrow Right", INPUT_KEYBOARD},
      {u"Ctrl+M", INPUT_KEYBOARD},
      {u"Left Button Down", INPUT_MOUSE},
      {u"Right Button Down", INPUT_MOUSE},
      {u"Center Button Down", INPUT_MOUSE},
      {u"Roller Down", INPUT_WHEEL},
      {u"Roller Up", INPUT_WHEEL},
  }};
  return kEvents;
}

uint32_t CMappingValues::ActionCount(INPUTEVENTGROUP group) {
  // The action tables, release companions included for the mouse.
  switch (group) {
    case INPUT_KEYBOARD:
      return 34;
    case INPUT_MOUSE:
      return 31;
    case INPUT_WHEEL:
      return 16;
  }
  return 0;
}

int CMappingValues::FindEvent(const MyString& name) {
  for (int i = 0; i < kEventCount; ++i)
    if (name == Events()[size_t(i)].pszName) return i;
  return -1;
}

int CMappingValues::Set(int event, uint32_t action) {
  if (event < 0 || event >= kEventCount) return 0;
  if (action >= ActionCount(Events()[size_t(event)].nGroup)) return 0;
  m_values[size_t(event)] = action;
  return 1;
}

void CMappingValues::Load(const CRegistry& mappingKey) {
  for (int i = 0; i < kEventCount; ++i) {
    uint32_t value = 0;
    if (mappingKey.GetValue(Events()[size_t(i)].pszName, value)) Set(i, value);
  }
}

void CMappingValues::Save(CRegistry& mappingKey) const {
  for (int i = 0; i < kEventCount; ++i)
    if (m_values[size_t(i)]) mappingKey.SetValue(Events()[size_t(i)].pszName, *m_values[size_t(i)]);
}
