#pragma once
// Window handles and window messages between the program, its libraries and
// plug-ins. A handle names a receiver: a handler function bound to a QObject
// owner (the main window, the viewer, a dialog). Handles live in one table and
// are never reused, so a handle whose owner is gone is simply invalid: sending
// to it returns 0 and posting to it is dropped.
//
// Handlers run on the thread that created the receiver (the GUI thread for
// windows), one at a time like any other event there.

#include <cstdint>
#include <functional>

class QObject;

using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

// Opaque: the value is a key of the handle table, never an address.
using HWND = struct HWND__*;

struct SIZE {
  int32_t cx = 0;
  int32_t cy = 0;
};

struct POINT {
  int32_t x = 0;
  int32_t y = 0;
};

struct RECT {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

constexpr UINT WM_CLOSE = 0x0010;
// wParam: the command id in its low 16 bits.
constexpr UINT WM_COMMAND = 0x0111;
// Private messages of a window start here; registered messages from 0xC000.
constexpr UINT WM_USER = 0x0400;
constexpr UINT kFirstRegisteredMessage = 0xC000;

using MessageHandler = std::function<LRESULT(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)>;

// Gives owner a handle whose messages go to handler. One handle per owner:
// a second call replaces the handler and returns the same handle. The handle
// dies with the owner. Must be called on the thread the owner lives in; the
// owner must not move to another thread afterwards. Null when owner is null.
HWND CreateMessageReceiver(QObject* owner, MessageHandler handler);
// Ends the handle early (an owner whose handler uses members of a derived
// class calls this in its destructor). 1 when the handle was valid.
int DestroyMessageReceiver(HWND hwnd);
// The handle of owner, or null.
HWND GetReceiverHandle(const QObject* owner);
// The owner of a valid handle, or null. Use the result on the owner's thread.
QObject* GetReceiverObject(HWND hwnd);
bool IsWindow(HWND hwnd);

// A stable id >= 0xC000 for a message name; the same name (letter case
// ignored, as the original platform does) gives the same id for the life of
// the process. 0 for an empty name or when the id range is used up.
UINT RegisterWindowMessage(const char16_t* name);

// Runs the receiver's handler and returns its result: directly when called on
// the receiver's thread, else as a blocking call queued to that thread. 0 when
// the handle is invalid, the receiver goes away before the call runs, the stop
// event is signalled or the application shuts down while the call waits.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Queues the message for the receiver's thread and returns at once; messages
// are delivered in the order they were posted. 1 when queued, 0 for an invalid
// handle or when there is no event loop to deliver it.
int PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
