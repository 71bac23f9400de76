#include "shell/menustate.h"

#include "pixwork/options.h"
#include "shell/commandids.h"
#include "shell/commandrouter.h"
#include "shell/recentlists.h"

CMenuState::CMenuState(const CCommandRouter& router, const CRecentLists& lists,
                       std::function<bool()> hasImage)
    : m_router(router), m_lists(lists), m_hasImage(std::move(hasImage)) {}

int CMenuState::RecentFileIndex(int id) {
  return id >= IDM_RECENT_FILE_1 && id < IDM_RECENT_FILE_1 + 4 ? id - IDM_RECENT_FILE_1 : -1;
}

int CMenuState::RecentFolderIndex(int id) {
  return id >= IDM_RECENT_DIRECTORY_1 && id < IDM_RECENT_DIRECTORY_1 + 4
             ? id - IDM_RECENT_DIRECTORY_1
             : -1;
}

int CMenuState::PortfolioSlotIndex(int id) {
  switch (id) {
    case IDM_RECENT_PORTFOLIO_1:
      return 0;
    case IDM_RECENT_PORTFOLIO_2:
      return 1;
    case IDM_RECENT_PORTFOLIO_3:
      return 2;
    case IDM_RECENT_PORTFOLIO_4:
      return 3;
    default:
      return -1;
  }
}

tagMENUITEMSTATE CMenuState::Get(int id) const {
  tagMENUITEMSTATE state;
  if (const tagCOMMANDENTRY* entry = CCommandTable::Find(id); entry && entry->pszText)
    state.strText = entry->pszText;
  if (const auto label = m_labels.find(id); label != m_labels.end()) state.strText = label->second;

  // The recent lists name their entries; an entry without a list item
  // keeps its text and is disabled.
  auto fromList = [&state](const MyString& path) {
    state.bEnabled = !path.IsEmpty();
    if (!path.IsEmpty()) state.strText = path;
    return state;
  };
  if (const int n = RecentFileIndex(id); n >= 0) {
    const auto& files = m_lists.GetRecentFiles();
    return fromList(size_t(n) < files.size() ? files[size_t(n)] : MyString());
  }
  if (const int n = RecentFolderIndex(id); n >= 0) {
    const auto& folders = m_lists.GetRecentFolders();
    return fromList(size_t(n) < folders.size() ? folders[size_t(n)] : MyString());
  }
  if (const int n = PortfolioSlotIndex(id); n >= 0)
    return fromList(m_lists.GetPortfolioSlot(size_t(n)));

  state.bEnabled = m_router.IsCommandEnabled(id);
  state.bChecked = m_router.IsCommandChecked(id);
  if (id == IDM_EXTERNAL_EDITOR) {
    const bool editorSet = gszExtEdit[0] != 0;
    const bool hasImage = m_hasImage && m_hasImage();
    state.bEnabled = state.bEnabled && editorSet && hasImage;
  }
  return state;
}
