#include "viewer/progressmonitor.h"

#include <chrono>

namespace {

std::atomic<bool> gbClosing{false};

int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

CProgressMonitor::CProgressMonitor(Clock clock)
    : m_clock(clock ? std::move(clock) : Clock(SteadyMilliseconds)) {}

CProgressMonitor::~CProgressMonitor() {
  if (GetThreadDecodeProgress() == this) SetThreadDecodeProgress(m_pPrevious);
}

void CProgressMonitor::SetClock(Clock clock) {
  m_clock = clock ? std::move(clock) : Clock(SteadyMilliseconds);
}

void CProgressMonitor::Begin() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bRunning = true;
    m_thread = std::this_thread::get_id();
  }
  m_bCancel = false;
  m_bShown = false;
  m_nFirstCall = -1;
  CDecodeProgress* previous = SetThreadDecodeProgress(this);
  if (previous != this) m_pPrevious = previous;
}

void CProgressMonitor::End() {
  if (GetThreadDecodeProgress() == this) SetThreadDecodeProgress(m_pPrevious);
  m_pPrevious = nullptr;
  if (m_bShown && m_pView) m_pView->HideProgress();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bRunning = false;
  }
  m_ended.notify_all();
}

int CProgressMonitor::Percent(int64_t done, uint64_t total) {
  if (total == 0 || done <= 0) return 0;
  if (uint64_t(done) >= total) return 100;
  return int(uint64_t(done) * 100 / total);
}

bool CProgressMonitor::OnProgress(int64_t done, uint64_t total) {
  const int64_t now = m_clock();
  if (m_nFirstCall < 0) m_nFirstCall = now;
  if (now - m_nFirstCall >= kShowAfterMs && m_pView) {
    if (!m_bShown) {
      m_bShown = true;
      m_pView->ShowProgress();
    }
    m_pView->SetProgress(Percent(done, total));
    m_pView->PumpMessages();
  }
  return !(IsClosing() || m_bCancel);
}

bool CProgressMonitor::IsRunning() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bRunning;
}

bool CProgressMonitor::IsRunningOnThisThread() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bRunning && m_thread == std::this_thread::get_id();
}

void CProgressMonitor::CancelAndWait() {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!m_bRunning || m_thread == std::this_thread::get_id()) return;
  m_bCancel = true;
  m_ended.wait(lock, [this] { return !m_bRunning; });
}

void CProgressMonitor::SetClosing(bool closing) { gbClosing = closing; }
bool CProgressMonitor::IsClosing() { return gbClosing; }
