#pragma once
// Where the program keeps its files on this system, and the file facts
// (read-only, times) the rest of the program asks about.

#include <cstdint>

#include "corekit/mystring.h"

// $XDG_CONFIG_HOME/ZOKA/Lorimo (default ~/.config/ZOKA/Lorimo): registry.reg,
// install.ini, FAVORITES.TXT, layout files. Created when missing.
MyString GetConfigFolder();
// $XDG_CACHE_HOME/ZOKA/Lorimo (default ~/.cache/ZOKA/Lorimo): thumbnail
// cache, e-mail attachments, crash reports. Created when missing.
MyString GetCacheFolder();
// The user's home folder.
MyString GetHomeFolder();
// The user's desktop folder (xdg-user-dirs' DESKTOP, else ~/Desktop).
MyString GetDesktopFolder();
// The user's pictures folder (xdg-user-dirs' PICTURES, else ~/Pictures).
MyString GetPicturesFolder();
// A folder of $XDG_CONFIG_HOME/user-dirs.dirs ("DESKTOP", "PICTURES", ...),
// or empty when the file does not name it. The folders need not exist.
MyString GetXdgUserDir(const char* name);
// Folder for temporary files ($TMPDIR, else /tmp).
MyString GetTempFolder();
// Folder of the running executable (plug-ins and help live beside it).
MyString GetExecutableFolder();

// File times in the 64-bit form the program sorts and stores: 100-nanosecond
// intervals since 1601-01-01 UTC.
using FILETIME64 = uint64_t;
FILETIME64 FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds);

// What the program asks about a file. Creation time is the file system's
// birth time where it records one, else the modification time.
struct CFileInfo {
  uint64_t nSize = 0;
  FILETIME64 ftCreationTime = 0;
  FILETIME64 ftLastWriteTime = 0;
  FILETIME64 ftLastAccessTime = 0;
  bool bDirectory = false;
  bool bHidden = false;    // the name starts with '.'
  bool bReadOnly = false;  // this user may not write it
  bool bSymlink = false;   // the path itself is a symbolic link
};

// 1 and the facts of the path (following a symbolic link unless asked not
// to), or 0 when it cannot be read.
int GetFileInfo(const MyString& path, CFileInfo* info, bool followLinks = true);
// The user lacks write permission (the Linux form of the read-only attribute).
bool IsFileReadOnly(const MyString& path);
// Gives the owner write permission (chmod u+w); 1 on success.
int ClearFileReadOnly(const MyString& path);
