#pragma once
// Whole-file reading and writing for the settings and data files. A write
// either replaces the file completely or leaves the previous one untouched:
// settings must survive a full disk, a crash or a killed process mid-save.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "corekit/mystring.h"

// Which file a name led to, for telling later whether the name still
// leads to the same file (not one swapped in since).
struct tagFILEIDENTITY {
  bool bKnown = false;
  uint64_t nDevice = 0;
  uint64_t nInode = 0;
  bool operator==(const tagFILEIDENTITY&) const = default;
};

// The identity of the file path leads to, a symbolic link followed. 1 on
// success; 0 (identity not known) when there is no such file.
int GetFileIdentity(const MyString& path, tagFILEIDENTITY* identity);

// Writes bytes as the new content of path: a temporary file in the same
// folder is written and flushed to disk, then renamed over the target, and
// the folder entry is flushed too. A symbolic link is followed, so the file
// it points to is replaced and the link stays (the user's own settings file
// may be a link). An existing target keeps its permission bits (and its
// owner, where this user may set it); a new file gets the usual permissions
// under the umask. A file this user may not write is left alone (it counts
// as read-only). 1 on success; 0 on failure, with the previous file intact,
// no temporary file left behind, and the reason in *error when given.
//
// Files are often written beside a user's file in a folder others may
// write to (a shared folder, a memory card, a network share), so every
// write keeps to these rules: the temporary gets a random name and is
// created exclusively without following a link (a name planted beforehand
// is never written through); the folder is opened once and every step
// happens inside it; a link at the target is followed only for
// AT_FOLLOW_LINK, and with an expected identity the file at the target must
// still be that file when it is replaced. A file made beside a user's file
// under a name of the program's choosing (a numbered copy, a cache or batch
// output) is written with AT_CREATE_NEW; one that replaces the file the
// user opened carries its identity.
int WriteFileAtomically(const MyString& path, std::string_view bytes, MyString* error = nullptr);

// How the writer treats the name it is given.
enum ATOMICTARGET : int {
  // The user's own file, named by the user: a link there is followed.
  AT_FOLLOW_LINK = 0,
  // A file of the program's own: the name itself is replaced; a link
  // there is replaced, never followed.
  AT_REPLACE_NAME = 1,
  // A new file: the name must be free (a dangling link is not free), and
  // whatever turns up there meanwhile makes the write fail rather than be
  // replaced. The file appears there complete.
  AT_CREATE_NEW = 2,
};

// How WriteFileAtomicallyEx departs from the plain write.
struct tagATOMICWRITEOPTIONS {
  // Marks the temporary's name: the target's name with this appended, then
  // a random part. Empty: a hidden random name beside the target.
  std::u16string strTempSuffix;
  // Replace a target this user may not write (its owner gets write
  // permission on the new file) instead of refusing it.
  bool bReplaceReadOnly = false;
  // Asked once the new file is on disk, just before it replaces the target;
  // true drops the new file and keeps the target as it was.
  std::function<bool()> cancelled;
  ATOMICTARGET nTarget = AT_FOLLOW_LINK;
  // When known, the file at the target (after a followed link) must be
  // this one, looked at without following a link, both before the write
  // and just before the replace; a file that was swapped, removed or
  // turned into a link is left as it is and the write fails.
  tagFILEIDENTITY expected;
  // Skips flushing the file and the folder to disk: for files that can be
  // made again (caches), where a lost write costs only the time to redo it
  // and the rename still never shows a torn file.
  bool bNoFlush = false;
  // A new file is readable by this user only (0600), whatever the umask.
  bool bPrivate = false;
};

// WriteFileAtomically with the options above. On cancellation the result is
// 0 and *error says "Cancelled".
int WriteFileAtomicallyEx(const MyString& path, std::string_view bytes,
                          const tagATOMICWRITEOPTIONS& options, MyString* error = nullptr);

// Reads the whole file into *bytes. 0 when it cannot be opened or read,
// when it is not a regular file (a pipe or device is never waited on), or when it is larger than
// maxBytes (a guard against mistaking a huge file for a settings file).
// *identity, when given, is that of the file that was read.
int ReadWholeFile(const MyString& path, std::string* bytes, size_t maxBytes = 64u << 20,
                  MyString* error = nullptr, tagFILEIDENTITY* identity = nullptr);
