#pragma once
// The search for images below a folder: a depth-first walk with an
// explicit stack of open folders, run on its own thread and stopped between
// folders. Files match by name ("*" + text + "*", then "." and an image
// extension); a matching folder is listed when it holds an image. Links to
// folders are not followed, and names that are not UTF-8 are passed over.

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "corekit/mystring.h"

class QDate;

struct tagSEARCHQUERY {
  MyString strText;    // empty: every name
  MyString strFolder;  // "Look in"
  // Extensions without the dot (the type list); nType -1 takes them all.
  std::vector<MyString> types;
  int nType = -1;
  bool bByDate = false;
  int64_t tFrom = 0;  // last-write times in seconds since the epoch, both included
  int64_t tTo = 0;
};

struct tagSEARCHRESULT {
  MyString strName;
  MyString strFolder;  // a folder result: its own path; a file: its folder
  MyString strPath;
  MyString strType;       // the type's name for the user
  int64_t tModified = 0;  // seconds since the epoch
  int32_t nModifiedNs = 0;
  bool bFolder = false;
};

enum class SearchColumn { Name, Folder, Type, Modified };

// Only '*' and '?' are wildcards ('[' is a plain character); letter case is
// ignored.
bool MatchWildcard(const MyString& pattern, const MyString& name);

// The moments a search by date covers: from the start of the first day to
// the end of the last, both local calendar days (seconds since the epoch).
void GetSearchDayRange(const QDate& first, const QDate& last, int64_t* from, int64_t* to);

// Always ascending: the rows' order for a click on the column's header.
void SortSearchResults(std::vector<tagSEARCHRESULT>* results, SearchColumn column);

class CSearchThread {
 public:
  using ResultFct = std::function<void(const tagSEARCHRESULT&)>;

  CSearchThread() = default;
  ~CSearchThread();  // stops and waits
  CSearchThread(const CSearchThread&) = delete;
  CSearchThread& operator=(const CSearchThread&) = delete;

  // The walk itself, on the calling thread: results as they are found;
  // returns when done or when stop is set (checked between folders).
  static void Search(const tagSEARCHQUERY& query, const std::atomic<bool>& stop,
                     const ResultFct& onResult);

  // Runs Search on a thread; onResult and onDone are called on it. 0 when
  // a search still runs or the thread cannot be made.
  int Start(const tagSEARCHQUERY& query, ResultFct onResult, std::function<void()> onDone);
  void Stop() { m_bStop = true; }
  // Joins an ended (or stopped) search.
  void Wait();
  bool IsRunning() const { return m_bRunning; }

 private:
  std::thread m_thread;
  std::atomic<bool> m_bStop{false};
  std::atomic<bool> m_bRunning{false};
};
