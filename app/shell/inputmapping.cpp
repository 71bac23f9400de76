#include "shell/inputmapping.h"

#include "corekit/registry.h"
#include "shell/inputbinding.h"
#include "shell/settings.h"

namespace {

constexpr char16_t kFileMapping[] = u"FileMapping";
constexpr char16_t kTypeMapping[] = u"TypeMapping";

// Where a preset differs from the built-in default.
struct tagPRESETCHANGE {
  MAPPINGPRESET nPreset;
  const char16_t* pszEvent;
  uint32_t nAction;
};

constexpr uint32_t kNoAction = 0;
constexpr uint32_t kNext = 1;
constexpr uint32_t kPrevious = 2;
constexpr uint32_t kScrollLeft = 7;
constexpr uint32_t kScrollRight = 8;
constexpr uint32_t kZoomIn = 14;
constexpr uint32_t kZoomOut = 15;

constexpr tagPRESETCHANGE kPresetChanges[] = {
    {MP_ACDSEE, u"Back Space", kPrevious},
    {MP_ACDSEE, u"Roller Down", kNext},
    {MP_ACDSEE, u"Roller Up", kPrevious},
    {MP_IRFANVIEW, u"Back Space", kPrevious},
    {MP_IRFANVIEW, u"Home", kScrollLeft},
    {MP_IRFANVIEW, u"End", kScrollRight},
    {MP_IRFANVIEW, u"Character: c", kNoAction},
    {MP_IRFANVIEW, u"Roller Down", kPrevious},
    {MP_IRFANVIEW, u"Roller Up", kNext},
    {MP_WINDOWS, u"Back Space", kPrevious},
    {MP_WINDOWS, u"Enter", kNext},
    {MP_WINDOWS, u"Roller Down", kZoomOut},
    {MP_WINDOWS, u"Roller Up", kZoomIn},
};

// Rows every preset leaves alone; the other presets also keep the Alt keys.
constexpr const char16_t* kKeptByAll[] = {u"Ctrl+L", u"Ctrl+S", u"Ctrl+M"};
constexpr const char16_t* kKeptByOthers[] = {u"Alt+Arrow Left", u"Alt+Arrow Right"};

bool IsNamed(int event, const char16_t* name) {
  return event == CMappingValues::FindEvent(MyString(name));
}

}  // namespace

tagMAPPINGSOURCE tagMAPPINGSOURCE::Load(CRegistryStore& store) {
  tagMAPPINGSOURCE source;
  const CRegistry key(HKEY_CURRENT_USER, MyString(kLorimoKey) + MyString(u"\\Mapping"), false,
                      &store);
  if (!key.IsOpen()) return source;
  key.GetValue(kFileMapping, source.strFile);
  key.GetValue(kTypeMapping, source.nType);
  return source;
}

int tagMAPPINGSOURCE::Store(CRegistryStore& store) const {
  CRegistry key(HKEY_CURRENT_USER, MyString(kLorimoKey) + MyString(u"\\Mapping"), true, &store);
  if (!key.IsOpen()) return 0;
  if (!key.SetValue(kFileMapping, strFile) || !key.SetValue(kTypeMapping, nType)) return 0;
  return store.Flush();
}

CInputMapping::CInputMapping(const CInputBinding& binding) {
  for (int i = 0; i < CMappingValues::kEventCount; ++i)
    m_rows[size_t(i)] = {binding.GetAction(i), binding.GetAction(i)};
}

uint32_t CInputMapping::ChoosableCount(int event) {
  if (event < 0 || event >= CMappingValues::kEventCount) return 0;
  switch (CMappingValues::Events()[size_t(event)].nGroup) {
    case INPUT_KEYBOARD:
      return 34;
    case INPUT_MOUSE:
      return 25;
    case INPUT_WHEEL:
      return 16;
  }
  return 0;
}

int CInputMapping::SetEdited(int event, uint32_t action) {
  if (action >= ChoosableCount(event)) return 0;
  m_rows[size_t(event)].nEdited = action;
  return 1;
}

int CInputMapping::PresetAction(MAPPINGPRESET preset, int event) {
  if (preset < 0 || preset >= MP_COUNT || event < 0 || event >= CMappingValues::kEventCount)
    return -1;
  for (const char16_t* name : kKeptByAll)
    if (IsNamed(event, name)) return -1;
  if (preset != MP_LORIMO_DEFAULT)
    for (const char16_t* name : kKeptByOthers)
      if (IsNamed(event, name)) return -1;
  for (const tagPRESETCHANGE& change : kPresetChanges)
    if (change.nPreset == preset && IsNamed(event, change.pszEvent)) return int(change.nAction);
  return int(CInputBinding::DefaultAction(event));
}

MAPPINGTYPE CInputMapping::PresetType(MAPPINGPRESET preset) {
  switch (preset) {
    case MP_ACDSEE:
      return MT_ACDSEE;
    case MP_IRFANVIEW:
      return MT_IRFANVIEW;
    case MP_WINDOWS:
      return MT_WINDOWS;
    case MP_LORIMO_DEFAULT:
    default:
      return MT_DEFAULT;
  }
}

void CInputMapping::ApplyPreset(MAPPINGPRESET preset) {
  for (int i = 0; i < CMappingValues::kEventCount; ++i)
    if (const int action = PresetAction(preset, i); action >= 0)
      m_rows[size_t(i)].nEdited = uint32_t(action);
}

int CInputMapping::LoadFile(const MyString& path, MyString* error) {
  KeyMapRows rows = m_rows;
  if (!CKeyboardMapFile::Read(path, rows, error)) return 0;
  m_rows = rows;
  return 1;
}

int CInputMapping::SaveFile(const MyString& path, MyString* error) const {
  return CKeyboardMapFile::Write(path, m_rows, error);
}

void CInputMapping::Accept(CMappingValues& stored, CInputBinding& binding) {
  for (int i = 0; i < CMappingValues::kEventCount; ++i) {
    tagKEYMAPROW& row = m_rows[size_t(i)];
    row.nApplied = row.nEdited;
    stored.Set(i, row.nApplied);
  }
  binding.Apply(stored);
}

MyString CInputMapping::Caption(const tagMAPPINGSOURCE& source) {
  const MyString title(u"Keyboard and Mouse Mappings");
  const char16_t* using_ = nullptr;
  switch (source.nType) {
    case MT_DEFAULT:
      using_ = u"Using Default Setting";
      break;
    case MT_CUSTOM:
      using_ = u"Using Custom Settings";
      break;
    case MT_FILE:
      return title + MyString(u": Using File Settings (") + source.strFile + MyString(u")");
    case MT_ACDSEE:
      using_ = u"Using ACDSee Settings";
      break;
    case MT_IRFANVIEW:
      using_ = u"Using IrfanView Settings";
      break;
    case MT_WINDOWS:
      using_ = u"Using Windows Settings";
      break;
    default:
      return title;
  }
  return title + MyString(u": ") + MyString(using_);
}

std::map<int, MyString> CInputMapping::MenuLabels(const CInputBinding& binding) {
  std::map<int, MyString> labels;
  const std::vector<tagACTIONENTRY>& actions = CInputBinding::Actions(INPUT_KEYBOARD);
  for (const tagACTIONENTRY& action : actions)
    if (action.nMenuCommand >= 0) labels[action.nMenuCommand] = action.pszName;
  for (int i = 0; i < CMappingValues::kEventCount; ++i) {
    if (CMappingValues::Events()[size_t(i)].nGroup != INPUT_KEYBOARD) continue;
    const uint32_t index = binding.GetAction(i);
    if (index >= actions.size() || actions[index].nMenuCommand < 0) continue;
    labels[actions[index].nMenuCommand] = MyString(actions[index].pszName) + MyString(u"\t") +
                                          MyString(CMappingValues::Events()[size_t(i)].pszName);
  }
  return labels;
}
