#pragma once
// CProcessRunner: runs one filter at a time on a worker thread, on an image
// the caller copied for it, with a progress and a stop flag of its own. The
// image library reports from its own threads too, so the run registers its
// progress by the name it gives the working image as well as for its
// thread; other operations (a viewer decode) never see its Cancel. The
// destructor cancels and joins. Start, Cancel and the destructor: one
// thread (the GUI's); the progress may be read from any.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include <Magick++.h>

#include "codecs/decodeprogress.h"
#include "process/filtercatalogue.h"

// What a run gives back.
struct tagFILTERRUN {
  uint64_t nRequest = 0;
  int nResult = FR_NOTHING;  // FILTERRESULT; FR_CANCELLED also when Cancel came too late to stop it
  Magick::Image image;       // the result when FR_DONE
  std::string strError;      // the library's text when it threw
};

class CProcessRunner {
 public:
  // Called on the worker when a run ends; it hands the run to the GUI thread.
  using Finished = std::function<void(tagFILTERRUN run)>;

  CProcessRunner() = default;
  ~CProcessRunner();
  CProcessRunner(const CProcessRunner&) = delete;
  CProcessRunner& operator=(const CProcessRunner&) = delete;

  // Cancels and joins a run still going, then runs entry on image (a copy
  // that only the run touches). The entry must outlive the run. Returns the
  // run's request number.
  uint64_t Start(const tagFILTERENTRY& entry, Magick::Image image, const tagFILTERARGS& args,
                 Finished finished);
  // Asks the running filter to stop at its next report.
  void Cancel();
  // Cancels and waits for the worker.
  void Stop();
  bool IsRunning() const { return m_bRunning; }
  // Percentage done of the current operation, 0..100.
  int Percent() const;
  uint64_t LastRequest() const { return m_nRequest; }

 private:
  class CRunProgress : public CDecodeProgress {
   public:
    bool OnProgress(int64_t done, uint64_t total) override;
    std::atomic<bool> bCancel{false};
    std::atomic<int> nPercent{0};
  };

  void Run(const tagFILTERENTRY* entry, Magick::Image image, tagFILTERARGS args, uint64_t request,
           Finished finished);

  std::thread m_thread;
  CRunProgress m_progress;
  std::atomic<bool> m_bRunning{false};
  uint64_t m_nRequest = 0;
};
