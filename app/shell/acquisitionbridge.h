#pragma once
// Where the program tells the picture-transfer side about devices coming and
// going: removable volumes (by mount point) from the volume watcher, and
// cameras (by device id) from the image service. It keeps the list of
// connected devices and announces each arrival and removal; the transfer
// dialogs are told through these signals, and until they exist the main
// window can show a new card's folder. GUI thread only.

#include <QObject>
#include <QString>

#include "corekit/mystring.h"

class CVolumeWatcher;

class CAcquisitionBridge : public QObject {
  Q_OBJECT

 public:
  explicit CAcquisitionBridge(QObject* parent = nullptr);

  // A card or stick (its mount point) or a camera (its id) was connected.
  // 1 and DeviceArrived when it is new; 0 for an empty name or a device
  // already connected (no second announcement).
  int DeviceConnected(const MyString& device);
  // The device went away. DeviceRemoved is always sent for a non-empty name
  // (an open transfer dialog may list a device that was there before we
  // started); 1 when it was known as connected.
  int DeviceDisconnected(const MyString& device);

  bool IsConnected(const MyString& device) const;
  // Connected devices in the order they arrived.
  const MyStringList& GetConnectedDevices() const { return m_devices; }

  // Takes the volume watcher's reports (and the volumes already mounted are
  // not announced: they were there before the program started).
  void WatchVolumes(CVolumeWatcher* watcher);

 signals:
  void DeviceArrived(const QString& device);
  void DeviceRemoved(const QString& device);

 private:
  int IndexOf(const MyString& device) const;

  MyStringList m_devices;
};
