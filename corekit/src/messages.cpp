#include "corekit/messages.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "corekit/loadslot.h"
#include "corekit/mystring.h"
#include "corekit/queuedcall.h"

namespace {

struct CReceiver {
  QObject* pOwner = nullptr;
  QThread* pThread = nullptr;
  std::shared_ptr<MessageHandler> handler;
  QMetaObject::Connection destroyedConnection;
};

// Handles are counted up and never reused, so a stale handle cannot reach a
// newer receiver.
struct CHandleTable {
  std::mutex mutex;
  std::unordered_map<uintptr_t, CReceiver> receivers;
  std::unordered_map<const QObject*, uintptr_t> byOwner;
  uintptr_t nNext = 1;
};

enum class CallState { Pending, Running, Done, Abandoned };

struct CSendCall {
  CallState state = CallState::Pending;
  LRESULT result = 0;
};

// One lock and one condition for every send that waits on another thread.
struct CSendWaits {
  std::mutex mutex;
  std::condition_variable cv;
  std::atomic<bool> bShuttingDown{false};

  void WakeAll() {
    std::lock_guard<std::mutex> lock(mutex);
    cv.notify_all();
  }
};

// Never destroyed: workers may still send while the statics go away at exit.
CHandleTable& Table() {
  static CHandleTable* table = new CHandleTable;
  return *table;
}

CSendWaits& Waits() {
  static CSendWaits* waits = [] {
    auto* w = new CSendWaits;
    GetStopEvent().AddListener([w] { w->WakeAll(); });
    return w;
  }();
  return *waits;
}

uintptr_t Key(HWND hwnd) { return reinterpret_cast<uintptr_t>(hwnd); }
HWND Handle(uintptr_t key) { return reinterpret_cast<HWND>(key); }

// A send waiting on another thread gives up when the program is ending,
// since nobody may be left to run it.
void WatchApplication() {
  static std::once_flag once;
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  std::call_once(once, [app] {
    auto shutDown = [] {
      Waits().bShuttingDown = true;
      Waits().WakeAll();
    };
    QObject::connect(app, &QCoreApplication::aboutToQuit, shutDown);
    QObject::connect(app, &QObject::destroyed, shutDown);
  });
}

LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<MessageHandler> handler;
  {
    std::lock_guard<std::mutex> lock(Table().mutex);
    auto it = Table().receivers.find(Key(hwnd));
    if (it == Table().receivers.end()) return 0;
    handler = it->second.handler;
  }
  // Outside the lock: the handler may send, post or destroy receivers.
  return (*handler)(hwnd, msg, wParam, lParam);
}

// The queued half of a cross-thread send. Qt deletes it with the event,
// also when the event is dropped unrun (its receiver was destroyed); the
// waiting sender is then released with 0.
class CQueuedSend {
 public:
  CQueuedSend(std::shared_ptr<CSendCall> call, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
      : m_call(std::move(call)), m_hwnd(hwnd), m_msg(msg), m_wParam(wParam), m_lParam(lParam) {}
  CQueuedSend(const CQueuedSend&) = delete;
  CQueuedSend& operator=(const CQueuedSend&) = delete;

  ~CQueuedSend() {
    CSendWaits& waits = Waits();
    std::lock_guard<std::mutex> lock(waits.mutex);
    if (m_call->state == CallState::Pending) {
      m_call->state = CallState::Done;
      waits.cv.notify_all();
    }
  }

  void Run() {
    CSendWaits& waits = Waits();
    {
      std::lock_guard<std::mutex> lock(waits.mutex);
      if (m_call->state != CallState::Pending) return;  // the sender gave up
      m_call->state = CallState::Running;
    }
    const LRESULT result = Dispatch(m_hwnd, m_msg, m_wParam, m_lParam);
    std::lock_guard<std::mutex> lock(waits.mutex);
    m_call->result = result;
    m_call->state = CallState::Done;
    waits.cv.notify_all();
  }

 private:
  std::shared_ptr<CSendCall> m_call;
  HWND m_hwnd;
  UINT m_msg;
  WPARAM m_wParam;
  LPARAM m_lParam;
};

void RemoveReceiver(uintptr_t key) {
  std::lock_guard<std::mutex> lock(Table().mutex);
  auto it = Table().receivers.find(key);
  if (it == Table().receivers.end()) return;
  Table().byOwner.erase(it->second.pOwner);
  Table().receivers.erase(it);
}

}  // namespace

HWND CreateMessageReceiver(QObject* owner, MessageHandler handler) {
  if (!owner || !handler) return nullptr;
  if (owner->thread() != QThread::currentThread()) return nullptr;
  WatchApplication();
  Waits();  // listens to the stop event from now on

  auto shared = std::make_shared<MessageHandler>(std::move(handler));
  std::lock_guard<std::mutex> lock(Table().mutex);
  auto known = Table().byOwner.find(owner);
  if (known != Table().byOwner.end()) {
    Table().receivers[known->second].handler = std::move(shared);
    return Handle(known->second);
  }
  const uintptr_t key = Table().nNext++;
  CReceiver& receiver = Table().receivers[key];
  receiver.pOwner = owner;
  receiver.pThread = owner->thread();
  receiver.handler = std::move(shared);
  // Runs inside ~QObject, before Qt drops the owner's posted events.
  receiver.destroyedConnection =
      QObject::connect(owner, &QObject::destroyed, [key] { RemoveReceiver(key); });
  Table().byOwner[owner] = key;
  return Handle(key);
}

int DestroyMessageReceiver(HWND hwnd) {
  QMetaObject::Connection connection;
  {
    std::lock_guard<std::mutex> lock(Table().mutex);
    auto it = Table().receivers.find(Key(hwnd));
    if (it == Table().receivers.end()) return 0;
    connection = it->second.destroyedConnection;
    Table().byOwner.erase(it->second.pOwner);
    Table().receivers.erase(it);
  }
  QObject::disconnect(connection);
  return 1;
}

HWND GetReceiverHandle(const QObject* owner) {
  std::lock_guard<std::mutex> lock(Table().mutex);
  auto it = Table().byOwner.find(owner);
  return it == Table().byOwner.end() ? nullptr : Handle(it->second);
}

QObject* GetReceiverObject(HWND hwnd) {
  std::lock_guard<std::mutex> lock(Table().mutex);
  auto it = Table().receivers.find(Key(hwnd));
  return it == Table().receivers.end() ? nullptr : it->second.pOwner;
}

bool IsWindow(HWND hwnd) {
  if (!hwnd) return false;
  std::lock_guard<std::mutex> lock(Table().mutex);
  return Table().receivers.count(Key(hwnd)) != 0;
}

UINT RegisterWindowMessage(const char16_t* name) {
  if (!name || !*name) return 0;
  static std::mutex mutex;
  static std::unordered_map<std::u16string, UINT> ids;
  const std::u16string key = MyString(name).ToUpper().str();
  std::lock_guard<std::mutex> lock(mutex);
  auto it = ids.find(key);
  if (it != ids.end()) return it->second;
  const size_t next = kFirstRegisteredMessage + ids.size();
  if (next > 0xFFFF) return 0;
  ids.emplace(key, UINT(next));
  return UINT(next);
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<CSendCall> call;
  {
    std::lock_guard<std::mutex> lock(Table().mutex);
    auto it = Table().receivers.find(Key(hwnd));
    if (it == Table().receivers.end()) return 0;
    if (it->second.pThread != QThread::currentThread()) {
      if (!QCoreApplication::instance() || Waits().bShuttingDown) return 0;
      call = std::make_shared<CSendCall>();
      auto queued = std::make_shared<CQueuedSend>(call, hwnd, msg, wParam, lParam);
      // Posting under the table lock: the owner cannot get past its destroyed
      // signal (whose handler takes this lock) until the event is queued, and
      // Qt then drops the event together with the owner.
      QueueCall(it->second.pOwner, [queued] { queued->Run(); });
    }
  }
  // Same thread: run it now, like a direct call of the window procedure.
  if (!call) return Dispatch(hwnd, msg, wParam, lParam);

  CSendWaits& waits = Waits();
  std::unique_lock<std::mutex> lock(waits.mutex);
  for (;;) {
    if (call->state == CallState::Done) return call->result;
    // Once the handler runs it touches the caller's data, so only a call
    // that has not started may be given up.
    if (call->state == CallState::Pending && (GetStopEvent().IsSet() || waits.bShuttingDown)) {
      call->state = CallState::Abandoned;
      return 0;
    }
    waits.cv.wait(lock);
  }
}

int PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> lock(Table().mutex);
  auto it = Table().receivers.find(Key(hwnd));
  if (it == Table().receivers.end()) return 0;
  if (!QCoreApplication::instance()) return 0;
  QueueCall(it->second.pOwner,
            [hwnd, msg, wParam, lParam] { Dispatch(hwnd, msg, wParam, lParam); });
  return 1;
}
