#include "shell/addressplaces.h"

#include <QString>

#include "corekit/platform.h"
#include "shell/commandline.h"
#include "shell/recentlists.h"

std::vector<tagADDRESSENTRY> CAddressList::FileSystemPlaces(const MyString& home,
                                                            const MyString& desktop,
                                                            const MyStringList& volumes) {
  std::vector<tagADDRESSENTRY> places;
  if (!desktop.IsEmpty() && desktop != home) places.push_back({AK_PLACE, u"Desktop", desktop});
  if (!home.IsEmpty()) places.push_back({AK_PLACE, u"Home", home});
  places.push_back({AK_PLACE, u"Computer", u"/"});
  for (const MyString& volume : volumes) {
    if (volume.IsEmpty()) continue;
    const MyString name = volume.GetStringTitleExt();
    places.push_back({AK_PLACE, name.IsEmpty() ? volume : name, volume});
  }
  return places;
}

std::vector<tagADDRESSENTRY> CAddressList::Build(const std::vector<tagADDRESSENTRY>& places,
                                                 const CRecentLists& lists) {
  std::vector<tagADDRESSENTRY> entries = places;
  for (const MyString& folder : lists.GetRecentFolders())
    entries.push_back({AK_FOLDER, folder, folder});
  for (size_t n = 0; n < CRecentLists::kMaxEntries; ++n) {
    const MyString& portfolio = lists.GetPortfolioSlot(n);
    if (!portfolio.IsEmpty()) entries.push_back({AK_PORTFOLIO, portfolio, portfolio});
  }
  return entries;
}

ADDRESSACTION CAddressList::Choose(const tagADDRESSENTRY& entry, CRecentLists& lists) {
  switch (entry.nKind) {
    case AK_PLACE:
    case AK_FOLDER:
      lists.AddRecentFolder(entry.strPath);
      return AA_SHOW_FOLDER;
    case AK_PORTFOLIO:
      lists.RememberPortfolio(entry.strPath);
      return AA_OPEN_PORTFOLIO;
    case AK_IMAGE:
      return AA_OPEN_IMAGE;
    default:
      return AA_NONE;
  }
}

int CAddressList::Resolve(const MyString& text, tagADDRESSENTRY* entry) {
  MyString path = MyString::FromQString(text.ToQString().trimmed());
  if (path.IsEmpty() || path[0] != u'/') return 0;
  // "/a/b/" names the folder "/a/b".
  while (path.GetLength() > 1 && path[path.GetLength() - 1] == u'/') path.tShaveLastChar();
  CFileInfo info;
  if (!GetFileInfo(path, &info)) return 0;
  ADDRESSKIND kind = AK_IMAGE;
  if (info.bDirectory)
    kind = AK_FOLDER;
  else if (IsPortfolioPath(path))
    kind = AK_PORTFOLIO;
  *entry = {kind, path, path};
  return 1;
}
