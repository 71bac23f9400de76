#include "shell/acquisitionbridge.h"

#include "shell/volumewatcher.h"

CAcquisitionBridge::CAcquisitionBridge(QObject* parent) : QObject(parent) {}

int CAcquisitionBridge::IndexOf(const MyString& device) const {
  for (size_t i = 0; i < m_devices.GetListLength(); ++i)
    if (m_devices[i] == device) return int(i);
  return -1;
}

bool CAcquisitionBridge::IsConnected(const MyString& device) const { return IndexOf(device) >= 0; }

int CAcquisitionBridge::DeviceConnected(const MyString& device) {
  if (device.IsEmpty() || IsConnected(device)) return 0;
  m_devices.Append(device);
  emit DeviceArrived(device.ToQString());
  return 1;
}

int CAcquisitionBridge::DeviceDisconnected(const MyString& device) {
  if (device.IsEmpty()) return 0;
  const int index = IndexOf(device);
  if (index >= 0) {
    MyStringList rest;
    for (size_t i = 0; i < m_devices.GetListLength(); ++i)
      if (int(i) != index) rest.Append(m_devices[i]);
    m_devices = std::move(rest);
  }
  emit DeviceRemoved(device.ToQString());
  return index >= 0 ? 1 : 0;
}

void CAcquisitionBridge::WatchVolumes(CVolumeWatcher* watcher) {
  if (!watcher) return;
  connect(watcher, &CVolumeWatcher::VolumeArrived, this, [this](const QString& mountPoint) {
    DeviceConnected(MyString::FromQString(mountPoint));
  });
  connect(watcher, &CVolumeWatcher::VolumeRemoved, this, [this](const QString& mountPoint) {
    DeviceDisconnected(MyString::FromQString(mountPoint));
  });
}
