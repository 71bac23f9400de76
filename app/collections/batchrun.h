#pragma once
// A batch run without a window: copies under new names (renaming alone) or
// reads, resizes, turns and writes each picture into one destination
// folder, and keeps a log of what became of every file. The page, its
// progress dialog and the headless "--batch" run share it.
//
// Nothing is overwritten unasked: a target is made under a temporary name
// and moved into place only while its name is still free, so neither a
// worker of this run nor another program loses a file to us. Two sources
// meeting at one name, a name cut to nothing, a target already there, and
// every read, resize, turn or write failure is logged and the batch goes on.
// Log records are written one by one in processing order, whichever worker
// ends first.

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

#include "collections/batchrename.h"
#include "corekit/mystring.h"
#include "pixwork/resizemath.h"

// Every setting of the batch page, fixed when a run starts.
struct tagBATCHSETTINGS {
  bool bRename = false;
  tagRENAMERULE rename;
  bool bConvert = false;
  MyString format = u"JPG";  // a name of BatchFormats()
  bool bResize = false;
  BATCHRESIZEOPTIONS resize;
  bool bRotate = false;
  MyString angle;  // degrees, as typed
  MyString destination;
  int nWorkers = 2;  // conversion workers, 1 up to the cores
};

enum BATCHKIND : int {
  BK_NOTHING = 0,
  BK_RENAME = 1,   // a copy under new names
  BK_CONVERT = 2,  // decoded and written again
};
BATCHKIND BatchKind(const tagBATCHSETTINGS& settings);

// The target of each source in processing order, as the page computes it:
// the conversion's ".ext" stands for the source's own extension.
std::vector<MyString> BatchTargets(const tagBATCHSETTINGS& settings, const MyStringList& sources);

extern const char kRenameLogName[];   // "LorimoRenameLog.txt"
extern const char kConvertLogName[];  // "LorimoConvertLog.txt"

struct tagBATCHRECORD {
  size_t k = 0;  // 1-based, processing order
  MyString source;
  MyString target;
  bool bDone = false;
  MyString reason;  // why not, a sentence
};

struct tagBATCHSUMMARY {
  BATCHKIND kind = BK_NOTHING;
  size_t nFiles = 0;
  size_t nDone = 0;
  size_t nFailed = 0;  // logged as errors
  bool bStopped = false;
  // Why nothing ran (no log, destination not writable); empty when it ran.
  MyString error;
  MyString logPath;
  // The log could not be written to the end: what is on disk is short.
  bool bLogFailed = false;
};

class CBatchRun {
 public:
  CBatchRun(tagBATCHSETTINGS settings, MyStringList sources);

  // After each file, on the thread that runs, in processing order.
  std::function<void(const tagBATCHRECORD& record, size_t count)> onRecord;
  // Renaming: asked on the running thread for a target that exists; true
  // replaces it. Unset: never replaced (logged instead).
  std::function<bool(const MyString& target)> askOverwrite;

  // Any thread: no file is begun afterwards; the files in hand finish.
  void Stop() { m_bStop = true; }
  bool IsStopped() const { return m_bStop; }

  // Runs to the end or the stop, on the calling thread (workers beside it).
  tagBATCHSUMMARY Run();

 private:
  tagBATCHSUMMARY RunRename();
  tagBATCHSUMMARY RunConvert();
  tagBATCHRECORD ConvertOne(size_t index, double degrees) const;
  // A reason the target cannot be made before any work, or empty.
  MyString Precheck(size_t index) const;

  tagBATCHSETTINGS m_settings;
  MyStringList m_sources;
  std::vector<MyString> m_targets;
  std::vector<bool> m_duplicate;  // a target an earlier source of the batch has
  std::atomic<bool> m_bStop{false};
};
