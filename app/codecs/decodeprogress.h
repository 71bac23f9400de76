#pragma once
// GraphicsMagick has one progress handler per process. It is dispatched by
// thread here: each thread that decodes registers its own progress, so the
// viewer's decode and a background job each keep their own progress and
// their own Cancel. The library calls handlers one at a time under a lock of
// its own: a handler that waits holds up the other threads' next reports.

#include <atomic>
#include <cstdint>
#include <string>

class CDecodeProgress {
 public:
  virtual ~CDecodeProgress() = default;
  // One report of the decoder on the registered thread. False asks it to abort.
  virtual bool OnProgress(int64_t done, uint64_t total) = 0;
  // The same with the library's task text ("[file] Writing ..."), for
  // progress that shows what the library is doing.
  virtual bool OnTaskProgress(const char* text, int64_t done, uint64_t total) {
    return OnProgress(done, total);
  }
};

// Registers progress for the calling thread (null: none) and returns the one
// it replaces. Installs the library's handler on first use.
CDecodeProgress* SetThreadDecodeProgress(CDecodeProgress* progress);
CDecodeProgress* GetThreadDecodeProgress();

// Registers progress for an operation by the file name its image carries
// (null removes it). The library reports from its own worker threads too,
// where the thread says nothing, but its reports on an image start with
// "[file name]"; a named registration wins over the thread's.
void SetNamedProgress(const std::string& name, CDecodeProgress* progress);

// Registers progress for the calling thread while in scope.
class CThreadDecodeProgress {
 public:
  explicit CThreadDecodeProgress(CDecodeProgress* progress)
      : m_pPrevious(SetThreadDecodeProgress(progress)) {}
  ~CThreadDecodeProgress() { SetThreadDecodeProgress(m_pPrevious); }
  CThreadDecodeProgress(const CThreadDecodeProgress&) = delete;
  CThreadDecodeProgress& operator=(const CThreadDecodeProgress&) = delete;

 private:
  CDecodeProgress* m_pPrevious;
};

// A worker's cancel flag: set from any thread, the decode reading under it
// aborts at its next report.
class CDecodeCancel : public CDecodeProgress {
 public:
  void Cancel() { m_bCancel = true; }
  void Reset() { m_bCancel = false; }
  bool IsCancelled() const { return m_bCancel; }
  bool OnProgress(int64_t, uint64_t) override { return !m_bCancel; }

 private:
  std::atomic<bool> m_bCancel{false};
};
