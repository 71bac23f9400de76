#pragma once
// What the directories view shows, without widgets: its roots (home, the
// Desktop, "/" and the removable volumes), the subfolders of a folder, the
// facts of a node's tooltip, and the checks of a folder rename.

#include <vector>

#include "corekit/mystring.h"

struct tagDIRNODE {
  MyString strName;
  MyString strPath;
};

// The roots in order: the home folder, the Desktop (when it exists and is
// not home itself), "/", then each volume's mount point.
std::vector<tagDIRNODE> GetDirectoryRoots(const MyStringList& volumes);

// The subfolders of folder in the order users read names. Hidden folders,
// links and names that are not UTF-8 are left out; an unreadable or vanished
// folder has none.
std::vector<tagDIRNODE> ReadSubfolders(const MyString& folder);

struct tagFOLDERCONTENTS {
  int nFolders = 0;        // subfolders
  int nLinkedFolders = 0;  // links to folders
  int nPortfolios = 0;     // ".lrm" files
};
tagFOLDERCONTENTS CountFolderContents(const MyString& folder);

// "Name:  ...", then the path when there is one, then the contents.
MyString BuildDirectoryTooltip(const MyString& name, const MyString& path,
                               const tagFOLDERCONTENTS& contents);

// Renames the folder to newName in the same parent. 0 and a reason for a
// name that is empty, ".", "..", holds '/', or is taken; and when the move
// fails. newPath: the folder's new path.
int RenameFolder(const MyString& path, const MyString& newName, MyString* newPath, MyString* error);

// The path that path becomes once folder moved to newFolder (path itself
// when it is not at or below folder).
MyString MovePathBelow(const MyString& path, const MyString& folder, const MyString& newFolder);
