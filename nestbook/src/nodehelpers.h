#pragma once
// Text and folder helpers shared by the favorites tree sources.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "corekit/mystring.h"

// Orders texts without regard to letter case, code unit by code unit.
// 0 exactly when MyString::EqualsNoCase holds.
int CompareNoCase(const MyString& a, const MyString& b);

// A folder path as listings use it: trailing '/' removed, except for "/".
MyString TrimFolderPath(const MyString& path);
// folder + '/' + name, the '/' added only when folder does not end in one.
MyString JoinPath(const MyString& folder, const MyString& name);

// The folder holds path, or is it: "/a/b" holds "/a/b/c" but not "/a/bc".
bool FolderHolds(const MyString& folder, const MyString& path);

// The names of the subfolders of folder that are not hidden (no leading
// '.'), in listing order, at most limit of them (0: all). A link to a folder
// counts as a folder. Names that are not valid UTF-8 are left out: they
// could not be opened again from their wide form. false when the folder
// cannot be listed.
bool ListSubfolderNames(const MyString& folder, std::vector<MyString>* names, size_t limit = 0);

// Device and inode of what path names (links followed), for cycle checks.
bool FolderIdentity(const MyString& path, std::pair<uint64_t, uint64_t>* id);
