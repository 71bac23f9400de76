#include "shell/commandrouter.h"

#include "pixwork/sortsettings.h"
#include "shell/commandids.h"

namespace {

// The owners that live in the main window itself: their answer is final.
bool IsFrameOwner(COMMANDOWNER owner) {
  switch (owner) {
    case CO_FRAME:
    case CO_TOOL_VIEWS:
    case CO_MOUSE_TOOLS:
    case CO_SORT:
    case CO_INPUT_KEYS:
      return true;
    default:
      return false;
  }
}

}  // namespace

CCommandRouter::CCommandRouter() : m_nNextFavoritesId(IDM_FIRST_FAVORITES_ENTRY) {}

void CCommandRouter::SetTarget(COMMANDOWNER owner, CCommandTarget* target) {
  if (owner > CO_NONE && owner < CO_COUNT) m_targets[size_t(owner)] = target;
}

CCommandTarget* CCommandRouter::GetTarget(COMMANDOWNER owner) const {
  return owner > CO_NONE && owner < CO_COUNT ? m_targets[size_t(owner)] : nullptr;
}

COMMANDOWNER CCommandRouter::OwnerOf(int id) const {
  if (const tagCOMMANDENTRY* entry = CCommandTable::Find(id)) return entry->nOwner;
  if (IsFavoritesEntry(id)) return CO_FAVORITES;
  return CO_VIEWER;
}

int CCommandRouter::Route(int id, COMMANDOWNER* handledBy) {
  COMMANDOWNER by = CO_NONE;
  int result = 0;
  const COMMANDOWNER owner = OwnerOf(id);
  CCommandTarget* target = GetTarget(owner);
  if (owner != CO_VIEWER && target) {
    result = target->OnCommand(id);
    // A part that does not know one of its ids lets the others try.
    if (result || IsFrameOwner(owner)) {
      if (handledBy) *handledBy = result ? owner : CO_NONE;
      return result;
    }
  }
  if (CCommandTarget* viewer = GetTarget(CO_VIEWER); viewer && viewer->OnCommand(id)) {
    by = CO_VIEWER;
    result = 1;
  } else if (CCommandTarget* plugins = GetTarget(CO_PLUGINS); plugins && plugins->OnCommand(id)) {
    by = CO_PLUGINS;
    result = 1;
  }
  if (handledBy) *handledBy = by;
  return result;
}

const CCommandTarget* CCommandRouter::StateTarget(int id) const {
  const COMMANDOWNER owner = OwnerOf(id);
  return GetTarget(owner);
}

bool CCommandRouter::IsCommandEnabled(int id) const {
  const CCommandTarget* target = StateTarget(id);
  return target && target->IsCommandEnabled(id);
}

bool CCommandRouter::IsCommandChecked(int id) const {
  const CCommandTarget* target = StateTarget(id);
  return target && target->IsCommandChecked(id);
}

int CCommandRouter::HandOutFavoritesId() { return m_nNextFavoritesId++; }

void CCommandRouter::ResetFavoritesIds() { m_nNextFavoritesId = IDM_FIRST_FAVORITES_ENTRY; }

bool CCommandRouter::IsFavoritesEntry(int id) const {
  return id >= IDM_FIRST_FAVORITES_ENTRY && id < m_nNextFavoritesId;
}

int CSortCommands::OnCommand(int id) {
  switch (id) {
    case IDM_SORT_NAME:
      gdwSortingMode = 0;
      break;
    case IDM_SORT_EXTENSION:
      gdwSortingMode = 1;
      break;
    case IDM_SORT_SIZE:
      gdwSortingMode = 2;
      break;
    case IDM_SORT_DATE:
      gdwSortingMode = 3;
      break;
    case IDM_SORT_EXIF_DATE:
      gdwSortingMode = kSortByExifDate;
      break;
    case IDM_SORT_ASCENDING:
      bSortAscending = 1;
      break;
    case IDM_SORT_DESCENDING:
      bSortAscending = 0;
      break;
    default:
      return 0;
  }
  if (m_pViewer) m_pViewer->OnCommand(id);
  return 1;
}

bool CSortCommands::IsCommandChecked(int id) const { return IsSortCommandChecked(id); }

bool IsSortCommandChecked(int id) {
  switch (id) {
    case IDM_SORT_NAME:
      return gdwSortingMode == 0 || gdwSortingMode > 4;  // any other mode sorts by name
    case IDM_SORT_EXTENSION:
      return gdwSortingMode == 1;
    case IDM_SORT_SIZE:
      return gdwSortingMode == 2;
    case IDM_SORT_DATE:
      return gdwSortingMode == 3;
    case IDM_SORT_EXIF_DATE:
      return gdwSortingMode == kSortByExifDate;
    case IDM_SORT_ASCENDING:
      return bSortAscending != 0;
    case IDM_SORT_DESCENDING:
      return bSortAscending == 0;
    default:
      return false;
  }
}
