#pragma once
// Where a command id goes. Every menu entry, accelerator, toolbox button and
// input-mapping action ends up in Route():
//
// 1. The owner the command table names, when that owner is in the program
//    (has a target): the main window's own commands, the tool views, the
//    mouse tools, the sort settings, the mapped keys, and the entry points
//    of the other parts (favorites, browsing, batch work, ...). Ids from
//    60000 up to the highest one handed out are favorites entries.
// 2. Otherwise the viewer (the document commands, and whatever a part that
//    is not in the program yet would have done).
// 3. Ids the viewer does not know go to the plug-ins.
//
// GUI thread only.

#include <array>
#include <functional>

#include "shell/commandtable.h"

// Something that carries out commands. OnCommand returns 1 when it did
// (or decided to do nothing, as an owner may), 0 for an id it does not know.
class CCommandTarget {
 public:
  virtual ~CCommandTarget() = default;
  virtual int OnCommand(int id) = 0;
  virtual bool IsCommandEnabled(int id) const { return true; }
  virtual bool IsCommandChecked(int id) const { return false; }
};

// A target made of functions (a part that has no class of its own for it).
class CCommandFunctions : public CCommandTarget {
 public:
  std::function<int(int)> onCommand;
  std::function<bool(int)> isEnabled;  // empty: enabled
  std::function<bool(int)> isChecked;  // empty: not checked

  int OnCommand(int id) override { return onCommand ? onCommand(id) : 0; }
  bool IsCommandEnabled(int id) const override { return !isEnabled || isEnabled(id); }
  bool IsCommandChecked(int id) const override { return isChecked && isChecked(id); }
};

class CCommandRouter {
 public:
  CCommandRouter();

  // The target of an owner; null takes it out (its commands then go on to
  // the viewer). The router does not own targets.
  void SetTarget(COMMANDOWNER owner, CCommandTarget* target);
  CCommandTarget* GetTarget(COMMANDOWNER owner) const;

  // The owner of an id: the command table's, CO_FAVORITES for handed-out
  // favorites entries, CO_VIEWER for any other id.
  COMMANDOWNER OwnerOf(int id) const;

  // Runs the command. 1 when someone carried it out; *handledBy (optional)
  // tells who, CO_NONE when nobody did.
  int Route(int id, COMMANDOWNER* handledBy = nullptr);

  // Menu state. A command whose part is not in the program is disabled.
  bool IsCommandEnabled(int id) const;
  bool IsCommandChecked(int id) const;

  // Favorites entries of the Favorites menu: ids from 60000 up, handed out
  // one by one by the favorites logic and taken back all at once when the
  // menu is built again.
  int HandOutFavoritesId();
  void ResetFavoritesIds();
  bool IsFavoritesEntry(int id) const;

 private:
  // The target that answers for an id's menu state, or null.
  const CCommandTarget* StateTarget(int id) const;

  std::array<CCommandTarget*, CO_COUNT> m_targets{};
  int m_nNextFavoritesId;
};

// "Sort by": sets the sort settings of every folder listing
// (gdwSortingMode, bSortAscending) and has the viewer sort its list again
// (the same id, sent on to it).
// Whether a "Sort by" entry is checked by the current sort settings; false
// for any other id.
bool IsSortCommandChecked(int id);

class CSortCommands : public CCommandTarget {
 public:
  // viewer: where the re-sort is asked for; may be null.
  explicit CSortCommands(CCommandTarget* viewer) : m_pViewer(viewer) {}

  int OnCommand(int id) override;
  bool IsCommandChecked(int id) const override;

 private:
  CCommandTarget* m_pViewer;
};
