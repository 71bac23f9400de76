#pragma once
// Cameras being plugged in and out, heard from udev. A USB device that
// libgphoto2's udev rules mark as a camera (ID_GPHOTO2) is announced to the
// program through the image service: AcquireUsingWIA(port) on arrival,
// WIADeviceRemoved(port) on removal; the port is libgphoto2's
// ("usb:001,005"). Other devices are ignored. Lives on the GUI thread from
// the main window's creation to exit.

#include <QObject>
#include <functional>
#include <memory>

#include "corekit/mystring.h"

class QSocketNotifier;
struct udev;
struct udev_monitor;

// What a udev event means for the transfer side.
enum : int { CAMERA_EVENT_NONE = 0, CAMERA_EVENT_ARRIVED, CAMERA_EVENT_REMOVED };

// The event of a udev device: action ("add", "remove", ...), and its
// properties looked up by name (null when missing). *port receives the
// camera's libgphoto2 port for an arrival or removal.
int ClassifyCameraEvent(const char* action,
                        const std::function<const char*(const char* name)>& property,
                        MyString* port);

class CEventCallback : public QObject {
  Q_OBJECT

 public:
  explicit CEventCallback(QObject* parent = nullptr);
  ~CEventCallback() override;

  // Starts listening (once); 1, or 0 when udev cannot be reached.
  int Register();
  bool IsRegistered() const { return m_monitor != nullptr; }
  // Cameras connected now (libgphoto2's autodetection), 0 when none or unknown.
  int GetNumDevices() const { return m_nDevices; }

  // Sends the request for one event (the dispatch above).
  static void ImageEventCallback(int event, const MyString& port);

 private:
  void OnEvent();

  udev* m_udev = nullptr;
  udev_monitor* m_monitor = nullptr;
  std::unique_ptr<QSocketNotifier> m_notifier;
  int m_nDevices = 0;
};
