#pragma once
// Memory cards and USB sticks appearing and disappearing, found by watching
// the mount table (/proc/self/mountinfo). A volume is named by its mount
// point, which stands where a drive root would on other systems.

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "corekit/mystring.h"

class QSocketNotifier;

// One line of the mount table.
struct tagMOUNTENTRY {
  int nMountId = -1;
  unsigned nMajor = 0;  // device number of the mounted file system
  unsigned nMinor = 0;
  MyString strRoot;  // folder of the file system shown here: "/" for a whole volume
  MyString strMountPoint;
  MyString strFsType;
  MyString strSource;  // "/dev/sdb1", "server:/export", ...
};

// The lines of a mountinfo text; lines that do not have its shape are skipped.
// The octal escapes of names ("\040" for a blank) are decoded.
std::vector<tagMOUNTENTRY> ParseMountInfo(std::string_view text);

// What the block device below a mount is.
struct tagBLOCKDEVICEFACTS {
  bool bBlockDevice = false;  // there is one, and it could be asked
  bool bRemovable = false;    // a card, a stick, a USB disk
  bool bOptical = false;      // a CD, DVD or Blu-ray drive
};

// How a mount's block device is looked up; the real one asks sysfs and the
// udev database, tests give their own answers.
using BlockDeviceLookup = std::function<tagBLOCKDEVICEFACTS(const tagMOUNTENTRY&)>;
tagBLOCKDEVICEFACTS LookupBlockDevice(const tagMOUNTENTRY& entry);

// File systems reached over a network (never reported, whatever their source).
bool IsNetworkFileSystem(const MyString& fsType);

// The diff of successive mount tables: which removable volumes arrived and
// which went away. Network file systems, optical drives, bind mounts of a
// folder and file systems without a removable block device are never
// reported. A removal is reported only for a volume that counted as
// removable while it was mounted, since its device can no longer be asked
// once it is gone.
class CRemovableVolumes {
 public:
  explicit CRemovableVolumes(BlockDeviceLookup lookup = LookupBlockDevice);

  // The first table: remembers what is mounted, reports nothing.
  void SetInitialTable(const std::vector<tagMOUNTENTRY>& table);
  // A later table: the mount points of removable volumes that went away,
  // then those that arrived, each in table order.
  void Update(const std::vector<tagMOUNTENTRY>& table, MyStringList* removed,
              MyStringList* arrived);
  // Removable volumes mounted now, in mount order.
  MyStringList GetVolumes() const;
  bool IsReportable(const tagMOUNTENTRY& entry) const;

 private:
  struct tagKNOWNMOUNT {
    MyString strMountPoint;
    bool bReportable = false;
  };

  BlockDeviceLookup m_lookup;
  std::map<int, tagKNOWNMOUNT> m_mounts;  // by mount id, which the kernel never reuses at once
};

// Watches the mount table and reports removable volumes as they are mounted
// and unmounted. Lives on the GUI thread: the kernel marks the table file
// with POLLPRI on every change, a socket notifier wakes us, and reading the
// table again is cheap.
class CVolumeWatcher : public QObject {
  Q_OBJECT

 public:
  explicit CVolumeWatcher(QObject* parent = nullptr, BlockDeviceLookup lookup = LookupBlockDevice,
                          const MyString& mountTable = u"/proc/self/mountinfo");
  ~CVolumeWatcher() override;

  // Reads the current table as the starting point and starts watching.
  // 1 when watching, 0 when the table cannot be opened (GetLastError).
  int Start();
  void Stop();
  bool IsWatching() const { return m_fd >= 0; }
  // Reads the table again and reports the changes (done on every change
  // notice; also useful after a resume). 0 when the table cannot be read.
  int Rescan();

  MyStringList GetVolumes() const { return m_volumes.GetVolumes(); }
  const MyString& GetLastError() const { return m_strLastError; }

 signals:
  void VolumeArrived(const QString& mountPoint);
  void VolumeRemoved(const QString& mountPoint);

 private:
  int ReadTable(std::vector<tagMOUNTENTRY>* table);

  CRemovableVolumes m_volumes;
  MyString m_strTablePath;
  MyString m_strLastError;
  int m_fd = -1;
  std::unique_ptr<QSocketNotifier> m_notifier;
};
