#pragma once
// A call handed to the event loop of the receiver's thread. Qt orders the
// hand-over with its own locks, which ThreadSanitizer cannot see into (Qt is
// not built with it): in such a build the hand-over is told to it, so what
// the call carries is not reported as a race while real races stay visible.

#include <QMetaObject>
#include <QObject>
#include <memory>
#include <utility>

#if defined(__SANITIZE_THREAD__)
extern "C" {
void __tsan_acquire(void* addr);
void __tsan_release(void* addr);
void __tsan_ignore_thread_begin();
void __tsan_ignore_thread_end();
}
#endif

// Like QMetaObject::invokeMethod(receiver, f, type): false when it could
// not be queued. f is built by the caller before the hand-over.
template <typename F>
bool QueueCall(QObject* receiver, F f, Qt::ConnectionType type = Qt::QueuedConnection) {
#if defined(__SANITIZE_THREAD__)
  auto token = std::make_shared<char>();
  // Everything f holds was written before this point.
  __tsan_release(token.get());
  // Qt's own copy of the call is made here and read on the other thread.
  __tsan_ignore_thread_begin();
  const bool queued = QMetaObject::invokeMethod(
      receiver,
      [token, f = std::move(f)]() mutable {
        __tsan_acquire(token.get());
        f();
        __tsan_release(token.get());
      },
      type);
  __tsan_ignore_thread_end();
  if (type == Qt::BlockingQueuedConnection) __tsan_acquire(token.get());
  return queued;
#else
  return QMetaObject::invokeMethod(receiver, std::move(f), type);
#endif
}
