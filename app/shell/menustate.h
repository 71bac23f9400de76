#pragma once
// The state of the main menu's entries when a menu opens: enabled and
// checked as their owners say; "External Editor" only with an image and an
// editor set; the recent files, folders and portfolios named by their lists
// and disabled where the list has no entry. Plain logic, GUI thread only.

#include <functional>
#include <map>

#include "corekit/mystring.h"

class CCommandRouter;
class CRecentLists;

struct tagMENUITEMSTATE {
  bool bEnabled = true;
  bool bChecked = false;
  MyString strText;  // the entry's text: the table's, or a list's path
};

class CMenuState {
 public:
  // hasImage: whether the viewer shows an image.
  CMenuState(const CCommandRouter& router, const CRecentLists& lists,
             std::function<bool()> hasImage);

  tagMENUITEMSTATE Get(int id) const;

  // Texts that replace the table's for some commands (the input mapping's
  // action names and keys).
  void SetMenuLabels(std::map<int, MyString> labels) { m_labels = std::move(labels); }

  // The list entry a recent-list command stands for (0 .. 3), or -1.
  static int RecentFileIndex(int id);
  static int RecentFolderIndex(int id);
  static int PortfolioSlotIndex(int id);

 private:
  const CCommandRouter& m_router;
  const CRecentLists& m_lists;
  std::function<bool()> m_hasImage;
  std::map<int, MyString> m_labels;
};
