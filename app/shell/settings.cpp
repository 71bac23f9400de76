#include "shell/settings.h"

#include <algorithm>
#include <functional>

#include "corekit/registry.h"
#include "pixwork/options.h"
#include "pixwork/sortsettings.h"

namespace {

using DwordTest = std::function<bool(uint32_t)>;

bool IsFlag(uint32_t value) { return value <= 1; }

DwordTest InRange(uint32_t low, uint32_t high) {
  return [low, high](uint32_t value) { return value >= low && value <= high; };
}

// Reads a number into value when it is stored as one and passes the test.
bool ReadDword(const CRegistry& key, const MyString& name, uint32_t& value,
               const DwordTest& valid = nullptr) {
  uint32_t stored = 0;
  if (!key.GetValue(name, stored)) return false;
  if (valid && !valid(stored)) return false;
  value = stored;
  return true;
}

bool ReadInt(const CRegistry& key, const MyString& name, int32_t& value, int32_t low,
             int32_t high) {
  int32_t stored = 0;
  if (!key.GetValue(name, stored) || stored < low || stored > high) return false;
  value = stored;
  return true;
}

// A stored path, when it is a text that can be one (empty is allowed).
bool ReadPath(const CRegistry& key, const MyString& name, MyString& value) {
  MyString stored;
  if (!key.GetValue(name, stored)) return false;
  if (!stored.IsEmpty() && !IsPlausiblePath(stored)) return false;
  value = stored;
  return true;
}

// DynamicHelp keeps the flag in its low byte and the delay index in the
// second one.
uint32_t PackDynamicHelp(const VIEWOPTIONS& record) {
  return uint32_t(record.bFlag) | (uint32_t(record.bExtra) << 8);
}

bool UnpackDynamicHelp(uint32_t value, VIEWOPTIONS& record) {
  const uint32_t flag = value & 0xFF;
  const uint32_t index = (value >> 8) & 0xFF;
  if (value >> 16 || flag > 1 || index >= uint32_t(kDynamicHelpDelayCount)) return false;
  record.bFlag = uint8_t(flag);
  record.bExtra = uint8_t(index);
  return true;
}

DwordTest SaveOptionTest(int index) {
  switch (index) {
    case SO_JPG_QUALITY:
      return InRange(0, 100);
    case SO_PNG_QUALITY:
      return InRange(0, 9);
    case SO_PNG_INTERLACED:
      return InRange(gSO[SO_PNG_INTERLACED].nFirstID, gSO[SO_PNG_INTERLACED].nLastID);
    case SO_SAVE_AFTER_ROTATE:
      return [](uint32_t v) {
        return int32_t(v) == -1 || (v >= IDC_SO_SAVE_ORIGINAL_NAME && v <= IDC_SO_SAVE_NOTHING);
      };
    case SO_SAVE_APPEND:
      return nullptr;  // unused number: the text is what counts
    case SO_PNG_FILTER:
      return [](uint32_t v) {
        return v == IDC_SO_PNG_FILTER_NONE || v == IDC_SO_PNG_FILTER_SUB ||
               v == IDC_SO_PNG_FILTER_UP || v == IDC_SO_PNG_FILTER_AVERAGE ||
               v == IDC_SO_PNG_FILTER_PAETH || v == IDC_SO_PNG_FILTER_ADAPTIVE;
      };
    default:
      return IsFlag;
  }
}

DwordTest ThumbOptionTest(int index) {
  switch (index) {
    case TO_CACHE_SIZE:
      return InRange(100, 300);
    case TO_TOOLTIP_DELAY:
      return InRange(0, 10);
    default:
      return IsFlag;
  }
}

// A column width or thumbnail edge in pixels; the views use 100 for less.
constexpr uint32_t kMaxViewSize = 4096;

}  // namespace

CLorimoSettings::CLorimoSettings(CRegistryStore* store)
    : m_pStore(store ? store : &CRegistryStore::Instance()) {}

CLorimoSettings& GetLorimoSettings() {
  static CLorimoSettings settings;
  return settings;
}

MyString CLorimoSettings::GetLastError() const { return m_pStore->GetLastError(); }

void CLorimoSettings::ResetToDefaults() {
  *this = CLorimoSettings(m_pStore);
  ResetOptionRecords();
  gdwSortingMode = 0;
  bSortAscending = 1;
  gbListFilesWithoutExtension = 0;
}

void CLorimoSettings::LoadOneInstanceOption() {
  const CRegistry root(HKEY_CURRENT_USER, kLorimoKey, false, m_pStore);
  uint32_t value = 0;
  if (ReadDword(root, gVO[VO_ONE_INSTANCE].szName, value, IsFlag))
    gVO[VO_ONE_INSTANCE].bFlag = uint8_t(value);
}

void CLorimoSettings::Load() {
  CRegistry key(HKEY_CURRENT_USER, kLorimoKey, false, m_pStore);
  if (key.IsOpen()) LoadRootValues(key);
  gbListFilesWithoutExtension = gVSO[VSO_OPEN_FILE_OUT_EXT].bFlag;

  if (key.SetSubKey(u"RenConv", false)) {
    ReadInt(key, u"iCutF", renConv.iCutF, 0, INT32_MAX);
    ReadInt(key, u"iCutB", renConv.iCutB, 0, INT32_MAX);
    ReadInt(key, u"iNUMStart", renConv.iNUMStart, -1, INT32_MAX);
    ReadInt(key, u"iNUMInc", renConv.iNUMInc, 1, INT32_MAX);
  }
  if (key.SetSubKey(u"Mapping", false)) mapping.Load(key);
  if (key.SetSubKey(u"MRU", false)) recent.Load(key);
}

void CLorimoSettings::LoadMenuFlags() {
  CRegistry key(HKEY_CURRENT_USER, kLorimoKey, false, m_pStore);
  if (key.SetSubKey(u"Menu", false)) menu.Load(key);
}

void CLorimoSettings::LoadRootValues(const CRegistry& root) {
  ReadDword(root, u"DefaultImage", dwDefaultImage, InRange(STARTUP_BLANK, STARTUP_SCREEN));
  ReadDword(root, u"AutoPlayMiliseconds", dwAutoPlayMiliseconds,
            InRange(kMinAutoPlayDelay, kMaxAutoPlayDelay));
  ReadPath(root, u"LastLoadedImage", strLastLoadedImage);
  MyString editor;
  if (ReadPath(root, u"ExternEditor", editor))
    SetRecordText(gszExtEdit, editor.c_str(), editor.GetLength());
  // An unreadable sort mode sorts by name rather than keeping what was set.
  uint32_t sortMode = 0;
  gdwSortingMode = ReadDword(root, u"SortMode", sortMode, InRange(0, 4)) ? sortMode : 0;
  uint32_t ascending = 0;
  if (ReadDword(root, u"SortDir", ascending, IsFlag)) bSortAscending = int32_t(ascending);
  ReadDword(root, u"PreviewRename", dwPreviewRename, IsFlag);
  ReadDword(root, u"PreviewSlide", dwPreviewSlide, IsFlag);
  ReadDword(root, u"Files", dwFilesViewSize, InRange(0, kMaxViewSize));
  ReadDword(root, u"Thumbnails", dwThumbnailsSize, InRange(0, kMaxViewSize));

  for (VIEWOPTIONS& record : gVO) {
    uint32_t value = 0;
    if (!root.GetValue(record.szName, value)) continue;
    if (&record == &gVO[VO_DYNAMIC_HELP])
      UnpackDynamicHelp(value, record);
    else if (IsFlag(value))
      record.bFlag = uint8_t(value);
  }
  // "AI" and "AW" are one radio group: exactly one of them is on.
  if (gVO[VO_AI].bFlag == gVO[VO_AW].bFlag) {
    gVO[VO_AI].bFlag = 0;
    gVO[VO_AW].bFlag = 1;
  }

  for (VIEWOPTIONS& record : gVSO) {
    uint32_t value = 0;
    record.bFlag = (root.GetValue(record.szName, value) && value == 1) ? 1 : 0;
  }
  uint32_t defaultExt = 0;
  if (root.GetValue(u"DefaultExt", defaultExt))
    gVSO[VSO_OPEN_FILE_OUT_EXT].bExtra = uint8_t(defaultExt & 0xFF);

  for (int i = 0; i < TO_COUNT; ++i)
    ReadDword(root, gTO[i].szName, gTO[i].dwValue, ThumbOptionTest(i));

  for (int i = 0; i < SO_COUNT; ++i) {
    uint32_t value = 0;
    if (ReadDword(root, gSO[i].szName, value, SaveOptionTest(i))) gSO[i].nValue = int32_t(value);
  }
  // The suffix is the text under the same name; one that does not fit the
  // record keeps the default rather than being cut.
  MyString suffix;
  if (root.GetValue(gSO[SO_SAVE_APPEND].szName, suffix) &&
      (suffix.IsEmpty() || IsPlausiblePath(suffix)))
    SetRecordText(gSO[SO_SAVE_APPEND].szText, suffix.c_str(), suffix.GetLength());

  for (tagBOOL_OPTIONS& record : gBO) {
    uint32_t value = 0;
    if (root.GetValue(record.szName, value)) record.bFlag = value ? 1 : 0;
  }
  for (tagBOOL_OPTIONS& record : gVFAV) {
    uint32_t value = 0;
    if (root.GetValue(record.szName, value)) record.bFlag = value ? 1 : 0;
  }
}

void CLorimoSettings::SaveRootValues(CRegistry& root) const {
  root.SetValue(u"LorimoVersion", kSettingsLayoutVersion);
  root.SetValue(u"DefaultImage", dwDefaultImage);
  root.SetValue(u"AutoPlayMiliseconds", dwAutoPlayMiliseconds);
  root.SetValue(u"LastLoadedImage", strLastLoadedImage);
  root.SetValue(u"ExternEditor", MyString(gszExtEdit, RecordTextLength(gszExtEdit)));
  root.SetValue(u"SortMode", gdwSortingMode);
  root.SetValue(u"SortDir", uint32_t(bSortAscending ? 1 : 0));
  root.SetValue(u"PreviewRename", dwPreviewRename);
  root.SetValue(u"PreviewSlide", dwPreviewSlide);
  root.SetValue(u"Files", dwFilesViewSize);
  root.SetValue(u"Thumbnails", dwThumbnailsSize);

  for (const VIEWOPTIONS& record : gVO)
    root.SetValue(record.szName, &record == &gVO[VO_DYNAMIC_HELP] ? PackDynamicHelp(record)
                                                                  : uint32_t(record.bFlag));
  for (const VIEWOPTIONS& record : gVSO) root.SetValue(record.szName, uint32_t(record.bFlag));
  root.SetValue(u"DefaultExt", uint32_t(gVSO[VSO_OPEN_FILE_OUT_EXT].bExtra));
  for (const THUMBOPTIONS& record : gTO) root.SetValue(record.szName, record.dwValue);
  // Every save option goes out as a number; the suffix text then replaces
  // the number of its own name, which is why that value ends up as text.
  for (const SAVEOPTIONS& record : gSO) root.SetValue(record.szName, record.nValue);
  const SAVEOPTIONS& append = gSO[SO_SAVE_APPEND];
  root.SetValue(append.szName, MyString(append.szText, RecordTextLength(append.szText)));
  for (const tagBOOL_OPTIONS& record : gBO) root.SetValue(record.szName, uint32_t(record.bFlag));
  for (const tagBOOL_OPTIONS& record : gVFAV) root.SetValue(record.szName, uint32_t(record.bFlag));
}

int CLorimoSettings::Save() {
  {
    CRegistry key(HKEY_CURRENT_USER, kLorimoKey, true, m_pStore);
    if (key.IsOpen()) SaveRootValues(key);
    if (key.SetSubKey(u"RenConv")) {
      key.SetValue(u"iCutF", renConv.iCutF);
      key.SetValue(u"iCutB", renConv.iCutB);
      key.SetValue(u"iNUMStart", renConv.iNUMStart);
      key.SetValue(u"iNUMInc", renConv.iNUMInc);
    }
    if (key.SetSubKey(u"Mapping")) mapping.Save(key);
    if (key.SetSubKey(u"Menu")) menu.Save(key);
    if (key.SetSubKey(u"MRU")) recent.Save(key);
  }
  return m_pStore->Flush();
}

int CLorimoSettings::StoreRootValue(const char16_t* name, uint32_t value) {
  CRegistry key(HKEY_CURRENT_USER, kLorimoKey, true, m_pStore);
  if (!key.SetValue(name, value)) return 0;
  return m_pStore->Flush();
}

int CLorimoSettings::StoreAutoPlayDelay(uint32_t milliseconds) {
  dwAutoPlayMiliseconds = std::clamp(milliseconds, kMinAutoPlayDelay, kMaxAutoPlayDelay);
  return StoreRootValue(u"AutoPlayMiliseconds", dwAutoPlayMiliseconds);
}

int CLorimoSettings::StorePreviewRename(uint32_t flag) {
  dwPreviewRename = flag ? 1 : 0;
  return StoreRootValue(u"PreviewRename", dwPreviewRename);
}

int CLorimoSettings::StorePreviewSlide(uint32_t flag) {
  dwPreviewSlide = flag ? 1 : 0;
  return StoreRootValue(u"PreviewSlide", dwPreviewSlide);
}

int CLorimoSettings::StoreFilesViewSize(uint32_t size) {
  dwFilesViewSize = std::min(size, kMaxViewSize);
  return StoreRootValue(u"Files", dwFilesViewSize);
}

int CLorimoSettings::StoreThumbnailsSize(uint32_t size) {
  dwThumbnailsSize = std::min(size, kMaxViewSize);
  return StoreRootValue(u"Thumbnails", dwThumbnailsSize);
}
