#include "browse/treepanes.h"

#include <QPointer>

#include "browse/directoriesview.h"
#include "browse/searchview.h"
#include "shell/commandids.h"
#include "shell/mainframe.h"
#include "shell/programhooks.h"
#include "shell/toolviewdocks.h"
#include "shell/toolviewmenu.h"

namespace {

// The tool-view entry toggled by the command.
int EntryOf(uint32_t command) {
  const auto& entries = CToolViewMenu::Entries();
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].nCommand == command) return int(i);
  return -1;
}

QPointer<CDirectoriesView>& Directories() {
  static QPointer<CDirectoriesView> view;
  return view;
}

}  // namespace

void InstallTreePanes(CMainFrame& frame) {
  frame.ToolViews().SetContentFactory(EntryOf(IDM_VIEW_DIRECTORIES), [&frame](QWidget* parent) {
    auto* view = new CDirectoriesView(&frame, &frame.VolumeWatcher(), parent);
    Directories() = view;
    return view;
  });
  frame.ToolViews().SetContentFactory(EntryOf(IDM_VIEW_SEARCH), [&frame](QWidget* parent) {
    return new CSearchView(&frame, parent);
  });

  // Another pane (the favorites) may have set the hook first: both follow.
  tagPROGRAMHOOKS& hooks = GetProgramHooks();
  hooks.showFolderInPanes = [previous = hooks.showFolderInPanes](const MyString& folder) {
    if (previous) previous(folder);
    if (CDirectoriesView* view = Directories().data()) view->SelectFolder(folder);
  };
}
