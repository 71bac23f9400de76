#pragma once
// The progress of a viewer decode, fed by GraphicsMagick's progress
// monitor: after one second the strip (bar and "Cancel") appears and
// follows the percentage; Cancel, or the program closing, asks the decoder
// to abort. No widgets here: the strip is reached through CProgressView.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "codecs/decodeprogress.h"

// What the monitor shows. Called on the loading thread; an implementation
// hands the work to the GUI thread when that is another one.
class CProgressView {
 public:
  virtual ~CProgressView() = default;
  virtual void ShowProgress() = 0;
  virtual void SetProgress(int percent) = 0;
  // Lets pending window messages through (only on the GUI thread), so that
  // Cancel can be pressed during a long decode.
  virtual void PumpMessages() = 0;
  virtual void HideProgress() = 0;
};

class CProgressMonitor : public CDecodeProgress {
 public:
  // Milliseconds of a steady clock; tests pass their own.
  using Clock = std::function<int64_t()>;
  static constexpr int64_t kShowAfterMs = 1000;

  explicit CProgressMonitor(Clock clock = nullptr);
  ~CProgressMonitor();
  CProgressMonitor(const CProgressMonitor&) = delete;
  CProgressMonitor& operator=(const CProgressMonitor&) = delete;

  void SetView(CProgressView* view) { m_pView = view; }
  void SetClock(Clock clock);

  // A viewer decode starts on the calling thread: the monitor becomes the
  // thread's decode progress and the cancel flag is cleared.
  void Begin();
  // The decode ended: the thread's previous progress comes back and the
  // strip is hidden. Called on the thread that began.
  void End();

  // One report of the decoder. False asks it to abort.
  bool OnProgress(int64_t done, uint64_t total) override;
  // The percentage done * 100 / total (0 for an empty total), 0..100.
  static int Percent(int64_t done, uint64_t total);

  // "Cancel" was pressed.
  void Cancel() { m_bCancel = true; }
  bool IsCancelled() const { return m_bCancel; }
  bool IsRunning() const;
  bool IsRunningOnThisThread() const;
  // Cancels a decode running on another thread and waits until it ends.
  void CancelAndWait();
  // Whether the strip was shown during this decode.
  bool WasShown() const { return m_bShown; }

  // The program is closing: every decode aborts.
  static void SetClosing(bool closing);
  static bool IsClosing();

 private:
  Clock m_clock;
  CProgressView* m_pView = nullptr;
  std::atomic<bool> m_bCancel{false};
  bool m_bShown = false;
  int64_t m_nFirstCall = -1;
  mutable std::mutex m_mutex;
  std::condition_variable m_ended;
  bool m_bRunning = false;
  std::thread::id m_thread;
  CDecodeProgress* m_pPrevious = nullptr;
};
