#pragma once
// The tree panes of browsing: the "Directories" and "Search ..." tool views
// as contents of their docks, and the directories tree following the
// folders the viewer shows (the showFolderInPanes hook, chained after the
// one already set). Called once the main window exists. GUI thread only.

class CMainFrame;

void InstallTreePanes(CMainFrame& frame);
