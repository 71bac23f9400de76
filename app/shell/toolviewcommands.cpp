#include "shell/toolviewcommands.h"

#include "shell/commandids.h"

namespace {

// The Ctrl+F keys and the entries they toggle.
struct tagVIEWKEY {
  int nId;
  int nMenuCommand;
};
constexpr tagVIEWKEY kViewKeys[] = {
    {IDM_KEY_NAVIGATION, IDM_VIEW_NAVIGATION},
    {IDM_KEY_THUMBNAILS, IDM_VIEW_THUMBNAILS},
    {IDM_KEY_TOOLBOX, IDM_VIEW_TOOLBOX},
    {IDM_KEY_FAVORITES, IDM_VIEW_FAVORITES},
    {IDM_KEY_EXIF, IDM_VIEW_EXIF},
    {IDM_KEY_CHANNELS, IDM_VIEW_CHANNELS},
    {IDM_KEY_PROCESS, IDM_VIEW_PROCESS},
    {IDM_KEY_DIRECTORIES, IDM_VIEW_DIRECTORIES},
    {IDM_KEY_IPTC, IDM_VIEW_IPTC},
    {IDM_KEY_FILES, IDM_VIEW_FILES},
    {IDM_KEY_NAVIGATOR, IDM_VIEW_NAVIGATOR},
    {IDM_KEY_HISTOGRAM, IDM_VIEW_HISTOGRAM},
};

int EntryForMenuCommand(int id) {
  const auto& entries = CToolViewMenu::Entries();
  for (int i = 1; i < CToolViewMenu::kEntryCount; ++i)
    if (int(entries[size_t(i)].nCommand) == id) return i;
  return -1;
}

// Of the keys, only these ask whether their entries are enabled.
bool KeyNeedsEnabledEntry(int id) {
  return id == IDM_KEY_THUMBNAILS || id == IDM_KEY_PROCESS || id == IDM_KEY_FILES;
}

}  // namespace

int CToolViewCommands::EntryForCommand(int id) {
  if (id == IDM_PROCESS) return EntryForMenuCommand(IDM_VIEW_PROCESS);
  for (const tagVIEWKEY& key : kViewKeys)
    if (key.nId == id) return EntryForMenuCommand(key.nMenuCommand);
  return EntryForMenuCommand(id);
}

bool CToolViewCommands::IsKeyCommand(int id) {
  for (const tagVIEWKEY& key : kViewKeys)
    if (key.nId == id) return true;
  return false;
}

int CToolViewCommands::OnCommand(int id) {
  const int entry = EntryForCommand(id);
  if (entry < 0) return 0;
  if (m_host.IsViewerAlone()) return 1;
  if (KeyNeedsEnabledEntry(id) && !m_host.IsToolViewEnabled(entry)) return 1;
  if (m_flags.IsShown(entry)) {
    m_host.HideToolView(entry);
    m_flags.SetFlag(entry, CToolViewMenu::kHidden);
  } else {
    m_host.ShowToolView(entry);
    m_flags.SetFlag(entry, CToolViewMenu::kShown);
  }
  return 1;
}

bool CToolViewCommands::IsCommandEnabled(int id) const {
  const int entry = EntryForCommand(id);
  return entry >= 0 && !m_host.IsViewerAlone() && m_host.IsToolViewEnabled(entry);
}

bool CToolViewCommands::IsCommandChecked(int id) const {
  const int entry = EntryForCommand(id);
  return entry >= 0 && m_flags.IsShown(entry);
}

void CToolViewCommands::ShowStoredViews() {
  for (int i = 1; i < CToolViewMenu::kEntryCount; ++i)
    if (m_flags.IsShown(i)) m_host.ShowToolView(i);
}

void CToolViewCommands::OnToolViewClosed(int entry) {
  if (entry > CToolViewMenu::kMouseToolEntry && entry < CToolViewMenu::kEntryCount)
    m_flags.SetFlag(entry, CToolViewMenu::kHidden);
}
