#include "corekit/loadslot.h"

#include <chrono>

void CStopEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSet = true;
  }
  m_cv.notify_all();
  // Under the listener lock, so that a listener is never called after
  // RemoveListener has returned (its owner may be gone by then).
  std::lock_guard<std::mutex> lock(m_listenerMutex);
  for (auto& [id, listener] : m_listeners) listener();
}

void CStopEvent::Reset() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_bSet = false;
}

bool CStopEvent::IsSet() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bSet;
}

int CStopEvent::Wait(int timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (timeoutMs < 0) {
    m_cv.wait(lock, [this] { return m_bSet; });
    return 1;
  }
  return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_bSet; }) ? 1
                                                                                              : 0;
}

int CStopEvent::AddListener(std::function<void()> listener) {
  std::lock_guard<std::mutex> lock(m_listenerMutex);
  const int id = m_nNextListener++;
  m_listeners.emplace(id, std::move(listener));
  return id;
}

void CStopEvent::RemoveListener(int id) {
  std::lock_guard<std::mutex> lock(m_listenerMutex);
  m_listeners.erase(id);
}

CLoadSlot::CLoadSlot(CStopEvent& stop) : m_stop(stop) {
  m_nListener = m_stop.AddListener([this] {
    // Taking the mutex orders the wake-up after a waiter's check of IsSet.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cv.notify_all();
  });
}

CLoadSlot::~CLoadSlot() { m_stop.RemoveListener(m_nListener); }

int CLoadSlot::Acquire() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    if (m_stop.IsSet()) return 0;
    if (!m_bTaken) {
      m_bTaken = true;
      return 1;
    }
    m_cv.wait(lock);
  }
}

int CLoadSlot::TryAcquire() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_bTaken) return 0;
  m_bTaken = true;
  return 1;
}

int CLoadSlot::Release() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bTaken) return 0;
    m_bTaken = false;
  }
  m_cv.notify_one();
  return 1;
}

CLoadSlotGuard::CLoadSlotGuard(CLoadSlot& slot) : m_slot(slot), m_bHeld(slot.Acquire() == 1) {}

CLoadSlotGuard::~CLoadSlotGuard() {
  if (m_bHeld) m_slot.Release();
}

// Neither is ever destroyed: workers may still wait on them while the
// statics of the process go away at exit.
CStopEvent& GetStopEvent() {
  static CStopEvent* event = new CStopEvent;
  return *event;
}

CLoadSlot& GetLoadSlot() {
  static CLoadSlot* slot = new CLoadSlot(GetStopEvent());
  return *slot;
}
