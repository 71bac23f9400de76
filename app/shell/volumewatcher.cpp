#include "shell/volumewatcher.h"

#include <QSocketNotifier>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <libudev.h>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "corekit/straw.h"

namespace {

// A mount table of a few thousand container mounts is some megabytes; a
// table beyond this is not one we want to diff on the GUI thread.
constexpr size_t kMaxTableBytes = 64u << 20;

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

template <typename T>
bool ParseNumber(std::string_view text, T* value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// The kernel writes a blank, a tab, a line break and a backslash in names
// as "\040", "\011", "\012" and "\134".
MyString Unescape(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && IsOctal(text[i + 1]) && IsOctal(text[i + 2]) &&
        IsOctal(text[i + 3])) {
      bytes += char(((text[i + 1] - '0') << 6) | ((text[i + 2] - '0') << 3) | (text[i + 3] - '0'));
      i += 3;
    } else {
      bytes += text[i];
    }
  }
  return CStrAW::a_toW(bytes);
}

bool StartsWith(const char* text, std::string_view prefix) {
  return text && std::string_view(text).substr(0, prefix.size()) == prefix;
}

bool Equals(const char* text, std::string_view value) { return text && value == text; }

bool IsOpticalDisk(udev_device* disk) {
  return StartsWith(udev_device_get_sysname(disk), "sr") ||
         Equals(udev_device_get_property_value(disk, "ID_CDROM"), "1") ||
         Equals(udev_device_get_property_value(disk, "ID_TYPE"), "cd");
}

bool IsRemovableDisk(udev_device* disk) {
  if (Equals(udev_device_get_sysattr_value(disk, "removable"), "1")) return true;
  // The udev database knows card readers and sticks that call themselves fixed.
  if (Equals(udev_device_get_property_value(disk, "ID_BUS"), "usb")) return true;
  udev_list_entry* entry;
  udev_list_entry_foreach(entry, udev_device_get_properties_list_entry(disk)) {
    const char* name = udev_list_entry_get_name(entry);
    if ((StartsWith(name, "ID_DRIVE_FLASH") || StartsWith(name, "ID_DRIVE_MEDIA_FLASH")) &&
        Equals(udev_list_entry_get_value(entry), "1"))
      return true;
  }
  // Without a udev database (containers) the device tree still tells: a
  // disk behind USB, or an SD card in a built-in reader.
  for (udev_device* parent = udev_device_get_parent(disk); parent;
       parent = udev_device_get_parent(parent)) {
    const char* subsystem = udev_device_get_subsystem(parent);
    if (Equals(subsystem, "usb")) return true;
    if (Equals(subsystem, "mmc") && Equals(udev_device_get_sysattr_value(parent, "type"), "SD"))
      return true;
  }
  return false;
}

}  // namespace

std::vector<tagMOUNTENTRY> ParseMountInfo(std::string_view text) {
  std::vector<tagMOUNTENTRY> table;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::vector<std::string_view> fields = SplitFields(text.substr(pos, end - pos));
    pos = end + 1;

    // id parent major:minor root mount-point options [optional...] - type source super-options
    if (fields.size() < 9) continue;
    size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-") ++separator;
    if (separator + 2 >= fields.size()) continue;
    tagMOUNTENTRY entry;
    int parent = 0;
    const std::string_view device = fields[2];
    const size_t colon = device.find(':');
    if (!ParseNumber(fields[0], &entry.nMountId) || !ParseNumber(fields[1], &parent) ||
        colon == std::string_view::npos || !ParseNumber(device.substr(0, colon), &entry.nMajor) ||
        !ParseNumber(device.substr(colon + 1), &entry.nMinor) || fields[3][0] != '/' ||
        fields[4][0] != '/')
      continue;
    entry.strRoot = Unescape(fields[3]);
    entry.strMountPoint = Unescape(fields[4]);
    entry.strFsType = Unescape(fields[separator + 1]);
    entry.strSource = Unescape(fields[separator + 2]);
    table.push_back(std::move(entry));
  }
  return table;
}

bool IsNetworkFileSystem(const MyString& fsType) {
  // Reached over a network, or shared into a virtual machine by its host.
  static constexpr std::u16string_view kNetwork =
      u" nfs nfs4 cifs smb3 smbfs ncpfs 9p afs ceph glusterfs lustre coda davfs sshfs fuse.sshfs"
      u" fuse.rclone fuse.s3fs fuse.glusterfs fuse.curlftpfs fuse.smbnetfs fuse.davfs2"
      u" fuse.ceph-fuse virtiofs vboxsf fuse.vmhgfs-fuse ";
  const std::u16string type = fsType.ToLower().str();
  if (type.empty() || type.find(u' ') != std::u16string::npos) return false;
  return kNetwork.find(u" " + type + u" ") != std::u16string_view::npos;
}

tagBLOCKDEVICEFACTS LookupBlockDevice(const tagMOUNTENTRY& entry) {
  tagBLOCKDEVICEFACTS facts;
  dev_t number = makedev(entry.nMajor, entry.nMinor);
  if (entry.nMajor == 0) {
    // btrfs and the FUSE block file systems (ntfs-3g, exfat-fuse) show an
    // anonymous device number; their source names the real device.
    const std::string source = CStrAW::w_toA(entry.strSource);
    struct stat st = {};
    if (source.rfind("/dev/", 0) != 0 || ::stat(source.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
      return facts;
    number = st.st_rdev;
  }
  udev* context = udev_new();
  if (!context) return facts;
  if (udev_device* device = udev_device_new_from_devnum(context, 'b', number)) {
    // A partition's facts are those of its disk.
    udev_device* disk =
        Equals(udev_device_get_devtype(device), "disk")
            ? device
            : udev_device_get_parent_with_subsystem_devtype(device, "block", "disk");
    if (!disk) disk = device;
    facts.bBlockDevice = true;
    facts.bOptical = IsOpticalDisk(disk) || IsOpticalDisk(device);
    facts.bRemovable = IsRemovableDisk(disk) || IsRemovableDisk(device);
    udev_device_unref(device);
  }
  udev_unref(context);
  return facts;
}

CRemovableVolumes::CRemovableVolumes(BlockDeviceLookup lookup) : m_lookup(std::move(lookup)) {}

bool CRemovableVolumes::IsReportable(const tagMOUNTENTRY& entry) const {
  // A bind mount of a folder is not a volume of its own.
  if (entry.strRoot != u"/") return false;
  if (IsNetworkFileSystem(entry.strFsType) || !m_lookup) return false;
  const tagBLOCKDEVICEFACTS facts = m_lookup(entry);
  return facts.bBlockDevice && facts.bRemovable && !facts.bOptical;
}

void CRemovableVolumes::SetInitialTable(const std::vector<tagMOUNTENTRY>& table) {
  m_mounts.clear();
  for (const tagMOUNTENTRY& entry : table)
    m_mounts[entry.nMountId] = tagKNOWNMOUNT{entry.strMountPoint, IsReportable(entry)};
}

void CRemovableVolumes::Update(const std::vector<tagMOUNTENTRY>& table, MyStringList* removed,
                               MyStringList* arrived) {
  std::map<int, tagKNOWNMOUNT> next;
  MyStringList newcomers;
  for (const tagMOUNTENTRY& entry : table) {
    const auto known = m_mounts.find(entry.nMountId);
    if (known != m_mounts.end() && known->second.strMountPoint == entry.strMountPoint) {
      next[entry.nMountId] = known->second;
      continue;
    }
    // A new mount, or one moved elsewhere (mount --move): it arrives there.
    const tagKNOWNMOUNT mount{entry.strMountPoint, IsReportable(entry)};
    if (mount.bReportable) newcomers.Append(mount.strMountPoint);
    next[entry.nMountId] = mount;
  }
  for (const auto& [id, mount] : m_mounts) {
    const auto now = next.find(id);
    const bool gone = now == next.end() || now->second.strMountPoint != mount.strMountPoint;
    if (gone && mount.bReportable && removed) removed->Append(mount.strMountPoint);
  }
  if (arrived)
    for (size_t i = 0; i < newcomers.GetListLength(); ++i) arrived->Append(newcomers[i]);
  m_mounts.swap(next);
}

MyStringList CRemovableVolumes::GetVolumes() const {
  MyStringList volumes;
  for (const auto& [id, mount] : m_mounts)
    if (mount.bReportable) volumes.Append(mount.strMountPoint);
  return volumes;
}

CVolumeWatcher::CVolumeWatcher(QObject* parent, BlockDeviceLookup lookup,
                               const MyString& mountTable)
    : QObject(parent), m_volumes(std::move(lookup)), m_strTablePath(mountTable) {}

CVolumeWatcher::~CVolumeWatcher() { Stop(); }

int CVolumeWatcher::Start() {
  if (m_fd >= 0) return 1;
  m_fd = ::open(CStrAW::w_toA(m_strTablePath).c_str(), O_RDONLY | O_CLOEXEC);
  if (m_fd < 0) {
    m_strLastError = CStrAW::printf(u"Cannot open the mount table %s: %S", m_strTablePath.c_str(),
                                    std::strerror(errno));
    return 0;
  }
  std::vector<tagMOUNTENTRY> table;
  if (!ReadTable(&table)) {
    Stop();
    return 0;
  }
  m_volumes.SetInitialTable(table);
  // The table always polls readable; a change shows as POLLPRI (and POLLERR).
  m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Exception);
  connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { Rescan(); });
  return 1;
}

void CVolumeWatcher::Stop() {
  m_notifier.reset();
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

int CVolumeWatcher::ReadTable(std::vector<tagMOUNTENTRY>* table) {
  if (::lseek(m_fd, 0, SEEK_SET) < 0) {
    m_strLastError = CStrAW::printf(u"Cannot read the mount table: %S", std::strerror(errno));
    return 0;
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      m_strLastError = CStrAW::printf(u"Cannot read the mount table: %S", std::strerror(errno));
      return 0;
    }
    if (n == 0) break;
    text.append(buffer, size_t(n));
    if (text.size() > kMaxTableBytes) {
      m_strLastError = u"The mount table is too large to watch.";
      return 0;
    }
  }
  *table = ParseMountInfo(text);
  return 1;
}

int CVolumeWatcher::Rescan() {
  if (m_fd < 0) return 0;
  std::vector<tagMOUNTENTRY> table;
  if (!ReadTable(&table)) return 0;
  MyStringList removed, arrived;
  m_volumes.Update(table, &removed, &arrived);
  for (size_t i = 0; i < removed.GetListLength(); ++i) emit VolumeRemoved(removed[i].ToQString());
  for (size_t i = 0; i < arrived.GetListLength(); ++i) emit VolumeArrived(arrived[i].ToQString());
  return 1;
}
