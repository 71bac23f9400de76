#pragma once
// The stop event, which ends the waits of loads and workers when the main
// window closes, and the load slot, which lets one decode run at a time in
// the whole program.

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

// Once set it stays set, so every waiter wakes, not only the first (an
// auto-reset event would leave the others hanging at exit). Thread-safe.
class CStopEvent {
 public:
  CStopEvent() = default;
  CStopEvent(const CStopEvent&) = delete;
  CStopEvent& operator=(const CStopEvent&) = delete;

  void Set();
  // Clears the event again (tests, and a program that starts over).
  void Reset();
  bool IsSet() const;
  // 1 when the event is set within timeoutMs (negative: no time-out), else 0.
  int Wait(int timeoutMs = -1) const;

  // Called on the thread that calls Set, while Set runs; a listener must not
  // call back into this event. Lets other waits (the load slot, a message
  // send) end on stop. Returns an id for RemoveListener.
  int AddListener(std::function<void()> listener);
  void RemoveListener(int id);

 private:
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_cv;
  bool m_bSet = false;
  std::mutex m_listenerMutex;
  std::map<int, std::function<void()>> m_listeners;
  int m_nNextListener = 1;
};

// A semaphore with one permit whose wait also ends on the stop event.
// Thread-safe; the stop event must outlive the slot.
class CLoadSlot {
 public:
  explicit CLoadSlot(CStopEvent& stop);
  ~CLoadSlot();
  CLoadSlot(const CLoadSlot&) = delete;
  CLoadSlot& operator=(const CLoadSlot&) = delete;

  // Waits without time-out. 1 when the permit was taken, 0 when the stop
  // event is (or becomes) set first: once stopping, no new work starts.
  int Acquire();
  // 1 when the permit was free and is now taken, else 0 at once.
  int TryAcquire();
  // Gives the permit back; 0 when it was not taken.
  int Release();

 private:
  CStopEvent& m_stop;
  int m_nListener = 0;
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_bTaken = false;
};

// Holds the slot for a scope when Acquire succeeded.
class CLoadSlotGuard {
 public:
  explicit CLoadSlotGuard(CLoadSlot& slot);
  ~CLoadSlotGuard();
  CLoadSlotGuard(const CLoadSlotGuard&) = delete;
  CLoadSlotGuard& operator=(const CLoadSlotGuard&) = delete;

  // Whether the permit was obtained (false: stop came first).
  bool IsHeld() const { return m_bHeld; }
  explicit operator bool() const { return m_bHeld; }

 private:
  CLoadSlot& m_slot;
  bool m_bHeld;
};

// The process-wide stop event and load slot.
CStopEvent& GetStopEvent();
CLoadSlot& GetLoadSlot();
