#include "shell/keyboardmapfile.h"

#include <optional>
#include <string>

#include "corekit/datafile.h"
#include "shell/inputbinding.h"

namespace {

constexpr char16_t kMapSection[] = u"Lorimo";

struct tagHELPSECTION {
  INPUTEVENTGROUP nGroup;
  const char16_t* pszSection;
};
constexpr tagHELPSECTION kHelpSections[] = {
    {INPUT_KEYBOARD, u"Help-Key Actions"},
    {INPUT_MOUSE, u"Help-Mouse Actions"},
    {INPUT_WHEEL, u"Help-Roller Actions"},
};

MyString KeyOf(int event) {
  return MyString(u"\"") + MyString(CMappingValues::Events()[size_t(event)].pszName) +
         MyString(u"\"");
}

MyString GroupComment(int event) {
  const auto& events = CMappingValues::Events();
  const INPUTEVENTGROUP group = events[size_t(event)].nGroup;
  if (event > 0 && events[size_t(event - 1)].nGroup == group) return MyString();
  switch (group) {
    case INPUT_KEYBOARD:
      return u"keyboard";
    case INPUT_MOUSE:
      return u"mouse";
    case INPUT_WHEEL:
      return u"roller";
  }
  return MyString();
}

MyString Decimal(int64_t number) { return MyString::FromUtf8(std::to_string(number)); }

// An action index of the group's table, or nothing for a part that is not
// a number or lies outside the table.
std::optional<uint32_t> ActionIndex(const MyString& part, INPUTEVENTGROUP group) {
  const std::u16string& text = part.str();
  size_t at = 0;
  while (at < text.size() && (text[at] == u' ' || text[at] == u'\t')) ++at;
  if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) ++at;
  if (at >= text.size() || text[at] < u'0' || text[at] > u'9') return std::nullopt;
  const int32_t number = CDataFile::ParseInt(part);
  if (number < 0 || uint32_t(number) >= CMappingValues::ActionCount(group)) return std::nullopt;
  return uint32_t(number);
}

}  // namespace

int CKeyboardMapFile::ReleaseSlot(int event) {
  const auto& events = CMappingValues::Events();
  if (event < 0 || event >= CMappingValues::kEventCount) return 0;
  switch (events[size_t(event)].nGroup) {
    case INPUT_KEYBOARD:
      return 32 + event;
    case INPUT_MOUSE:
      return 3 + (event - IE_FIRST_MOUSE);
    case INPUT_WHEEL:
      return 0;
  }
  return 0;
}

int CKeyboardMapFile::Read(const MyString& path, KeyMapRows& rows, MyString* error) {
  CDataFile file;
  const int loaded = file.Load(path);
  // Nothing of a map that is only read goes back to the disk.
  file.SetFileName(MyString());
  if (!loaded) {
    if (error) *error = file.GetLastError();
    return 0;
  }
  Read(file, rows);
  return 1;
}

void CKeyboardMapFile::Read(const CDataFile& file, KeyMapRows& rows) {
  const auto& events = CMappingValues::Events();
  for (int i = 0; i < CMappingValues::kEventCount; ++i) {
    const std::u16string value = file.GetValue(KeyOf(i), kMapSection).str();
    const size_t first = value.find(u',');
    if (first == std::u16string::npos) continue;
    const size_t second = value.find(u',', first + 1);
    const INPUTEVENTGROUP group = events[size_t(i)].nGroup;
    if (auto applied = ActionIndex(MyString(value.substr(0, first)), group))
      rows[size_t(i)].nApplied = *applied;
    const size_t end = second == std::u16string::npos ? value.size() : second;
    if (auto edited = ActionIndex(MyString(value.substr(first + 1, end - first - 1)), group))
      rows[size_t(i)].nEdited = *edited;
  }
}

void CKeyboardMapFile::Fill(CDataFile& file, const KeyMapRows& rows) {
  file.CreateSection(kMapSection, MyString());
  for (int i = 0; i < CMappingValues::kEventCount; ++i) {
    const tagKEYMAPROW& row = rows[size_t(i)];
    const MyString value = Decimal(int32_t(row.nApplied)) + MyString(u",") +
                           Decimal(int32_t(row.nEdited)) + MyString(u",") + Decimal(ReleaseSlot(i));
    file.CreateKey(KeyOf(i), value, GroupComment(i), kMapSection);
  }
  for (const tagHELPSECTION& help : kHelpSections) {
    const std::vector<tagACTIONENTRY>& actions = CInputBinding::Actions(help.nGroup);
    for (size_t index = 0; index < actions.size(); ++index)
      file.CreateKey(Decimal(int64_t(index)), actions[index].pszName, MyString(), help.pszSection);
  }
}

int CKeyboardMapFile::Write(const MyString& path, const KeyMapRows& rows, MyString* error) {
  CDataFile file;
  Fill(file, rows);
  file.SetFileName(path);
  const int saved = file.Save();
  if (!saved) {
    if (error) *error = file.GetLastError();
    // A failed save is not tried again when the object goes.
    file.SetFileName(MyString());
  }
  return saved;
}
