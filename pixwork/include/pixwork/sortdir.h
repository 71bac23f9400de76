#pragma once
// SortDir: the ordered list of image files that the viewer walks through and
// the thumbnail and file views show. Usually the images of one folder; it can
// also hold several consecutive groups (folders or portfolios) appended one
// after the other. The order follows gdwSortingMode and bSortAscending as
// they were when the list was built.
//
// SortDir has no lock of its own: whoever shares a list guards it (see
// CListPosition).

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "corekit/mystring.h"
#include "corekit/platform.h"

// One listed file, with the facts read when it was added.
struct CFileEntry {
  MyString strPath;
  uint64_t nSize = 0;  // bytes; 0 for an empty file and for a listed folder
  FILETIME64 ftLastWriteTime = 0;
  // When the picture was taken (EXIF), UTC; 0 while unknown or absent.
  // Only sort mode 4 needs it, so it is read apart from the listing.
  FILETIME64 ftTaken = 0;
  // Size and time not read yet: listed by name for an order that does not
  // need them (SortDir::SetFactsLater); both are 0 until filled in.
  bool bFactsPending = false;
};

// A file's size and last write as a stat gave them; bRead false when it
// could not be read (gone meanwhile).
struct tagFILEFACTS {
  bool bRead = false;
  uint64_t nSize = 0;
  FILETIME64 ftLastWriteTime = 0;
};
// Reads the facts of every path, split over the cores. A true from
// cancelled (asked now and then, from any of those threads) ends the reading
// early; what was not read stays unread.
std::vector<tagFILEFACTS> ReadFileFacts(const std::vector<MyString>& paths,
                                        const std::function<bool()>& cancelled = nullptr);

// Reads when the picture in path was taken, as UTC; false when it has no
// such date. The program registers one (Pixwork reads no EXIF itself);
// without one every file counts as undated.
using ExifDateReader = bool (*)(const MyString& path, FILETIME64* taken);
void SetExifDateReader(ExifDateReader reader);
bool ReadExifDate(const MyString& path, FILETIME64* taken);

// One group of consecutive entries: a folder (its path ends with '/') or a
// portfolio file.
struct CInfoBrowse {
  MyString strName;
  int32_t nFirst = 0;  // index of the group's first entry
  int32_t nLast = 0;   // index of its last entry, inclusive
  bool bHasFiles = false;
};

class SortDir {
 public:
  SortDir() = default;
  virtual ~SortDir();
  SortDir(const SortDir&) = delete;
  SortDir& operator=(const SortDir&) = delete;

  // Empties the list and its groups, makes folder (with a '/' added when it
  // has none) the directory, and opens one empty group named after it. The
  // second argument is not used; callers pass 100 or 10.
  void InitializeSortDir(const MyString& folder, unsigned int nUnused = 100);
  // Lists the directory's images and sorts the whole list. Files without an
  // extension are listed when gbListFilesWithoutExtension is 1. Entries that
  // cannot be read, names that are not UTF-8, and links that lead out of
  // the folder are left out; a folder that cannot be read lists nothing.
  void CreateSortedImageList();
  // When on and the sort order does not need sizes and times (by name or
  // extension), regular files are listed from their names alone, marked
  // bFactsPending: on a large folder the stat calls are most of the
  // listing. Off by default.
  void SetFactsLater(bool bLater) { m_bFactsLater = bLater; }
  // The paths of the entries still waiting for their facts, in list order.
  std::vector<MyString> PendingFactsPaths() const;
  // Fills the waiting entries whose path is in paths with their facts;
  // an entry whose file could not be read keeps size 0. The order is not
  // changed. Returns how many were filled.
  int FillPendingFacts(const std::vector<MyString>& paths, const std::vector<tagFILEFACTS>& facts);

  // Appends the file at the end, unsorted; nothing when its facts cannot be
  // read.
  void PushImage(MyString path);
  // The same for a path the list adopts.
  void PushFile(std::unique_ptr<MyString> path);
  // Adds a group: every non-null entry is pushed again (its facts re-read).
  // The entries still belong to whoever made them.
  void Append(std::vector<CFileEntry*> entries, const MyString& groupName);
  // Adds a group the caller made (first and has-files set by the caller);
  // its last becomes count - 1. A null group is ignored.
  void Append(std::unique_ptr<CInfoBrowse> group);
  // Removes a group, and its entries when it has files; later groups move
  // down. 1 when removed, 0 for a bad index.
  int Remove(int group);
  // Deletes all entries and groups; the directory stays.
  void ClearList();
  // Deletes all entries and groups and empties the directory.
  void RemoveAll();
  // Reads every entry's taken date with the registered reader (slow: on a
  // worker, on a list no one else sees).
  void ReadTakenDates();
  // Sorts the whole list again by the current settings, after facts the
  // order needs were filled in. Groups are not adjusted.
  void SortAgain() { Sort(); }
  // Exchanges the whole contents (directory, entries, groups) with other:
  // a list made elsewhere is taken over without copying its entries.
  void Swap(SortDir& other);

  int GetLengthFileList() const { return int(m_files.size()); }
  // The entry's path; empty for a bad index and for an entry of size 0.
  MyString GetString(int index) const;
  // Index of the first entry whose path equals path exactly, or -1.
  int GetIndex(const MyString& path) const;
  // Index of the next entry, from start on and then wrapping to the front,
  // whose file name begins with ch (a to z compared without case); -1 when
  // none. From start 0 the list is searched once without wrapping.
  int GetIndexFirstLater(char16_t ch, int start) const;
  MyString GetDirectory() const { return m_strDirectory; }
  // The group, or null for a bad index.
  const CInfoBrowse* GetInfoBrowse(int group) const;
  CInfoBrowse* GetInfoBrowse(int group);
  int GetGroupCount() const { return int(m_groups.size()); }
  // The entries a removal of the group deletes, as first and last index;
  // false when it deletes none.
  bool GetGroupFileRange(int group, int* first, int* last) const;

  // Moves the file on disk (never over an existing file), then renames its
  // entry in place: the list is not sorted again. 0 when the move fails, -1
  // when moved but old path is not listed, 1 when moved and renamed.
  int RenameFile(const MyString& oldPath, const MyString& newPath);
  // Removes the entry from the list (the file is not touched; groups are not
  // adjusted). 1 when removed, 0 for a bad index or an entry of size 0.
  int DeleteFileW(int index);

  // The entry at index, or null.
  const CFileEntry* GetEntry(int index) const;
  // The entries in list order, still owned by this list (for Append).
  std::vector<CFileEntry*> GetEntries() const;

 private:
  void Sort();

  MyString m_strDirectory;
  bool m_bFactsLater = false;
  std::vector<std::unique_ptr<CFileEntry>> m_files;
  std::vector<std::unique_ptr<CInfoBrowse>> m_groups;
};

// How two entries order in the given mode, ascending, by the mode's key
// alone: negative, 0 (equal keys) or positive. Modes other than 1 to 4 sort
// by name.
int CompareSortKeys(const CFileEntry& a, const CFileEntry& b, uint32_t mode);
