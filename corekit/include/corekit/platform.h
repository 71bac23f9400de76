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
// Folder for temporary files ($TMPDIR, else /tmp).
MyString GetTempFolder();
// Folder of the running executable (plug-ins and help live beside it).
MyString GetExecutableFolder();
