#include "gathrex/eventcallback.h"

#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <libudev.h>

#include "corekit/dll2lorimo.h"
#include "gathrex/cameradevice.h"

int ClassifyCameraEvent(const char* action,
                        const std::function<const char*(const char* name)>& property,
                        MyString* port) {
  if (!action) return CAMERA_EVENT_NONE;
  const bool added = std::strcmp(action, "add") == 0;
  const bool removed = std::strcmp(action, "remove") == 0;
  if (!added && !removed) return CAMERA_EVENT_NONE;
  const char* camera = property("ID_GPHOTO2");
  if (!camera || std::strcmp(camera, "0") == 0) return CAMERA_EVENT_NONE;
  const char* busText = property("BUSNUM");
  const char* deviceText = property("DEVNUM");
  if (!busText || !deviceText) return CAMERA_EVENT_NONE;
  char* end = nullptr;
  const long bus = std::strtol(busText, &end, 10);
  if (*end || bus <= 0 || bus > 999) return CAMERA_EVENT_NONE;
  const long device = std::strtol(deviceText, &end, 10);
  if (*end || device <= 0 || device > 999) return CAMERA_EVENT_NONE;
  char text[32];
  std::snprintf(text, sizeof text, "usb:%03ld,%03ld", bus, device);
  *port = MyString::FromUtf8(text);
  return added ? CAMERA_EVENT_ARRIVED : CAMERA_EVENT_REMOVED;
}

CEventCallback::CEventCallback(QObject* parent) : QObject(parent) {}

CEventCallback::~CEventCallback() {
  m_notifier.reset();
  if (m_monitor) udev_monitor_unref(m_monitor);
  if (m_udev) udev_unref(m_udev);
}

int CEventCallback::Register() {
  if (m_monitor) return 1;
  m_udev = udev_new();
  if (!m_udev) return 0;
  m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
  if (!m_monitor ||
      udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "usb", "usb_device") < 0 ||
      udev_monitor_enable_receiving(m_monitor) < 0) {
    if (m_monitor) udev_monitor_unref(m_monitor);
    m_monitor = nullptr;
    return 0;
  }
  m_notifier =
      std::make_unique<QSocketNotifier>(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read);
  connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { OnEvent(); });
  std::vector<tagCAMERAPORT> cameras;
  m_nDevices = std::max(0, CCameraDevice::Autodetect(&cameras));
  return 1;
}

void CEventCallback::OnEvent() {
  udev_device* device = udev_monitor_receive_device(m_monitor);
  if (!device) return;
  MyString port;
  const int event = ClassifyCameraEvent(
      udev_device_get_action(device),
      [device](const char* name) { return udev_device_get_property_value(device, name); }, &port);
  udev_device_unref(device);
  if (event == CAMERA_EVENT_ARRIVED) ++m_nDevices;
  if (event == CAMERA_EVENT_REMOVED && m_nDevices > 0) --m_nDevices;
  ImageEventCallback(event, port);
}

void CEventCallback::ImageEventCallback(int event, const MyString& port) {
  if (event == CAMERA_EVENT_ARRIVED) CDll2LorimoMessage::AcquireUsingWIA(port);
  if (event == CAMERA_EVENT_REMOVED) CDll2LorimoMessage::WIADeviceRemoved(port);
}
