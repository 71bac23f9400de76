#pragma once
// CListPosition: the viewer's folder list together with its position (the
// current index, the last index and whether an image is shown), moved by
// the viewer's events. The list lock guards both: every event takes it, and
// so does whoever reads the list and the position together (the loader
// thread). The current index is also atomic for readers that need only it.

#include <atomic>
#include <mutex>
#include <vector>

#include "corekit/mystring.h"
#include "pixwork/sortdir.h"

class CListPosition {
 public:
  // The list lock (recursive: hold it across several calls).
  std::recursive_mutex& GetLock() const { return m_lock; }
  // The list; hold the lock while using it.
  SortDir& GetList() { return m_list; }
  const SortDir& GetList() const { return m_list; }

  int GetCurrent() const { return m_nCurrent.load(); }
  int GetLast() const { return m_nLast.load(); }  // -1 when the list is empty
  bool HasImage() const { return m_bHasImage.load(); }
  // Path of the current entry; empty when there is none or its size is 0.
  MyString GetCurrentPath() const;

  // Lists the file's folder and makes the file current (the first entry
  // when it is not listed).
  void OpenFile(const MyString& path);
  // Lists the folder; the first entry becomes current.
  void OpenFolder(const MyString& folder);
  // Shows the file alone, as a list of one in its folder, until the
  // folder's list is made elsewhere and handed over with AdoptFolderList.
  void OpenSingleFile(const MyString& path);
  // Takes over a folder's list made without the lock (swapped: list gets
  // the old one). The entry with path keep becomes current; without one
  // the current index keeps its number, cut into the new list. True when
  // keep was found.
  bool AdoptFolderList(SortDir& list, const MyString& keep);
  // Lists the slides with a path, in portfolio order, as the one group named
  // after the portfolio; the first becomes current.
  void OpenPortfolio(const MyString& portfolio, const std::vector<MyString>& slides);

  // Next image. With roll-over the last wraps to the first. Without it, 1
  // when moved, and -1 at the last entry: nothing moves and autoplay stops.
  // 0 when nothing moves otherwise (an empty list).
  int Next(bool bRollOver);
  // Previous image: 1 when moved, 0 when not (the first entry without
  // roll-over, an empty list).
  int Previous(bool bRollOver);
  // First / last entry; only while an image is shown. True when set.
  bool First();
  bool Last();
  // Makes the next entry whose name begins with the letter current,
  // searching after the current one and wrapping. True when one was found.
  bool JumpToLetter(char16_t letter);
  // Makes index current (a chosen thumbnail; an undone step). True when it
  // is within the list.
  bool SetCurrent(int index);

  // Builds the list again (after "Rescan" or a change of the sort
  // settings): a folder is listed again, a portfolio read again from its
  // file. The current index keeps its number, cut into the new list.
  // 1 when the list has entries; 0 when it came out empty (the viewer says
  // "No Lorimo files found in this directory."); -1 when no image is open
  // (the viewer says "Please Open Image First.").
  int Rescan();

  // Takes the current entry out of the list after its file was deleted;
  // the next one becomes current (the previous one at the end). True while
  // an image is left to show; false also when the entry could not be
  // removed (none, or of size 0), in which case nothing changed.
  bool DeleteCurrent();

  // Removes a group and its entries, keeping the current entry current when
  // it lies after the group, or moving to what follows the group when it
  // lay inside it. 1 when removed, 0 for a bad index.
  int RemoveGroup(int group);
  // Appends the images of a folder (listed and sorted beforehand, without
  // holding the lock) or of portfolio slides as a new group. With bShow
  // the group's first entry becomes current.
  void AddFolderGroup(const MyString& folder, bool bShow);
  void AddPortfolioGroup(const MyString& portfolio, const std::vector<MyString>& slides,
                         bool bShow);

  // Empties the list and the position.
  void Clear();

 private:
  void FillPortfolio(const MyString& portfolio, const std::vector<MyString>& slides);
  void AppendGroup(SortDir& source, const MyString& name, bool bShow);
  // Caller holds the lock.
  void TakeCountFromList();

  mutable std::recursive_mutex m_lock;
  SortDir m_list;
  bool m_bPortfolio = false;
  MyString m_strPortfolio;
  std::atomic<int> m_nCurrent{0};
  std::atomic<int> m_nLast{-1};
  std::atomic<bool> m_bHasImage{false};
};
