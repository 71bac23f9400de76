#pragma once
// The recent files (most recent first), the recent folders of the address
// bar and the four portfolio slots, with their registry values in "MRU":
// "MRU_n", "DIR_n" and "LRM_n" for n = 0..3.

#include <array>
#include <functional>
#include <vector>

#include "corekit/mystring.h"

class CRegistry;

class CRecentLists {
 public:
  static constexpr size_t kMaxEntries = 4;

  // Puts the path first; a path already listed moves there instead of
  // being added twice. The oldest entry falls off past four. Empty paths
  // are ignored.
  void AddRecentFile(const MyString& path);
  void AddRecentFolder(const MyString& path);
  // A recent-file entry that no longer opens (deleted or renamed elsewhere).
  void RemoveRecentFile(const MyString& path);
  const std::vector<MyString>& GetRecentFiles() const { return m_files; }
  const std::vector<MyString>& GetRecentFolders() const { return m_folders; }

  // Slots may be empty; an opened portfolio is put in the first slot and
  // the others move down, a portfolio already in a slot moves up instead.
  void RememberPortfolio(const MyString& path);
  const MyString& GetPortfolioSlot(size_t n) const { return m_portfolios[n]; }
  void SetPortfolioSlot(size_t n, const MyString& path) { m_portfolios[n] = path; }

  void Clear();

  // Recent files are taken only when the file exists (fileExists decides;
  // by default a regular file on disk) and are not listed yet; folders as
  // stored; a non-empty portfolio value fills its slot. Values that are not
  // texts, or texts with control characters, are skipped.
  void Load(const CRegistry& mruKey,
            const std::function<bool(const MyString&)>& fileExists = nullptr);
  // Writes n = 0..3 of each list and deletes the values of entries that are
  // not there, so the lists come back as they are now.
  void Save(CRegistry& mruKey) const;

 private:
  std::vector<MyString> m_files;
  std::vector<MyString> m_folders;
  std::array<MyString, kMaxEntries> m_portfolios;
};

// Whether a stored path can be used at all: not empty and free of control
// characters (a damaged store may hold anything).
bool IsPlausiblePath(const MyString& path);
