#include "shell/toolviewmenu.h"

#include "corekit/registry.h"

const std::array<tagTOOLVIEWENTRY, CToolViewMenu::kEntryCount>& CToolViewMenu::Entries() {
  static const std::array<tagTOOLVIEWENTRY, kEntryCount> kEntries = {{
      {u"Tools Option", 0, 1076},
      {u" Tools\tCtrl+F3", 200, kShown},
      {u" Thumbnails\tCtrl+F2", 225, kShown},
      {u" Navigation\tCtrl+F1", 232, kShown},
      {u" Favorites\tCtrl+F4", 354, kShown},
      {u" Exif\tCtrl+F5", 3087, kHidden},
      {u" Channels\tCtrl+F6", 3119, kHidden},
      {u" Process\tCtrl+F7", 3134, kHidden},
      {u" Directories\tCtrl+F8", 3137, kShown},
      {u" IPTC\tCtrl+F9", 3159, kHidden},
      {u" Files\tCtrl+F10", 3166, kHidden},
      {u" Navigator\tCtrl+F11", 3169, kShown},
      {u" Histogram\tCtrl+F12", 3171, kHidden},
      {u" Information", 3176, kHidden},
      {u" Search ...", 3185, kHidden},
  }};
  return kEntries;
}

CToolViewMenu::CToolViewMenu() { ResetToDefaults(); }

void CToolViewMenu::ResetToDefaults() {
  for (int i = 0; i < kEntryCount; ++i) m_flags[size_t(i)] = Entries()[size_t(i)].dwDefault;
}

bool CToolViewMenu::IsValidFlag(int entry, uint32_t flag) {
  if (entry < 0 || entry >= kEntryCount) return false;
  if (entry == kMouseToolEntry) return flag >= kFirstMouseTool && flag <= kLastMouseTool;
  return flag == kShown || flag == kHidden;
}

int CToolViewMenu::SetFlag(int entry, uint32_t flag) {
  if (!IsValidFlag(entry, flag)) return 0;
  m_flags[size_t(entry)] = flag;
  return 1;
}

void CToolViewMenu::Load(const CRegistry& menuKey) {
  for (int i = 0; i < kEntryCount; ++i) {
    uint32_t value = 0;
    if (menuKey.GetValue(Entries()[size_t(i)].pszMenuText, value)) SetFlag(i, value);
  }
}

void CToolViewMenu::Save(CRegistry& menuKey) const {
  for (int i = 0; i < kEntryCount; ++i)
    menuKey.SetValue(Entries()[size_t(i)].pszMenuText, m_flags[size_t(i)]);
}
