#pragma once
// Whole-file reading and writing for the settings and data files. A write
// either replaces the file completely or leaves the previous one untouched:
// settings must survive a full disk, a crash or a killed process mid-save.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "corekit/mystring.h"

// Writes bytes as the new content of path: a temporary file in the same
// folder is written and flushed to disk, then renamed over the target, and
// the folder entry is flushed too. A symbolic link is followed, so the file
// it points to is replaced and the link stays. An existing target keeps its
// permission bits (and its owner, where this user may set it); a new file
// gets the usual permissions under the umask. A file this user may not
// write is left alone (it counts as read-only). 1 on success; 0 on failure,
// with the previous file intact, no temporary file left behind, and the
// reason in *error when given.
int WriteFileAtomically(const MyString& path, std::string_view bytes, MyString* error = nullptr);

// How WriteFileAtomicallyEx departs from the plain write.
struct tagATOMICWRITEOPTIONS {
  // A fixed temporary name: the target's path with this appended (a file of
  // that name is replaced). Empty: a unique hidden name beside the target.
  std::u16string strTempSuffix;
  // Replace a target this user may not write (its owner gets write
  // permission on the new file) instead of refusing it.
  bool bReplaceReadOnly = false;
  // Asked once the new file is on disk, just before it replaces the target;
  // true drops the new file and keeps the target as it was.
  std::function<bool()> cancelled;
};

// WriteFileAtomically with the options above. On cancellation the result is
// 0 and *error says "Cancelled".
int WriteFileAtomicallyEx(const MyString& path, std::string_view bytes,
                          const tagATOMICWRITEOPTIONS& options, MyString* error = nullptr);

// Reads the whole file into *bytes. 0 when it cannot be opened or read,
// when it is not a regular file (a pipe or device is never waited on), or when it is larger than
// maxBytes (a guard against mistaking a huge file for a settings file).
int ReadWholeFile(const MyString& path, std::string* bytes, size_t maxBytes = 64u << 20,
                  MyString* error = nullptr);
