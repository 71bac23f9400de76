#include "shell/volumewatcher.h"

#include <filesystem>
#include <map>
#include <ostream>
#include <sched.h>
#include <string>
#include <sys/mount.h>

#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "shell/acquisitionbridge.h"
#include "testsupport/testsupport.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Strings(const MyStringList& list) {
  std::vector<std::string> strings;
  for (size_t i = 0; i < list.GetListLength(); ++i) strings.push_back(list[i].ToUtf8());
  return strings;
}

// Records the texts a signal carries.
class CTextRecorder {
 public:
  template <typename Sender>
  CTextRecorder(Sender* sender, void (Sender::*signal)(const QString&))
      : m_connection(QObject::connect(
            sender, signal, [this](const QString& text) { texts.push_back(text.toStdString()); })) {
  }
  ~CTextRecorder() { QObject::disconnect(m_connection); }

  std::vector<std::string> texts;

 private:
  QMetaObject::Connection m_connection;
};

// Device numbers of the machine in these tables: 8:0 the internal disk,
// 8:16 a USB stick, 179:0 an SD card, 11:0 a DVD drive.
tagBLOCKDEVICEFACTS FakeLookup(const tagMOUNTENTRY& entry) {
  const std::map<std::pair<unsigned, unsigned>, tagBLOCKDEVICEFACTS> devices = {
      {{8, 1}, {true, false, false}}, {{8, 17}, {true, true, false}},
      {{8, 18}, {true, true, false}}, {{179, 1}, {true, true, false}},
      {{11, 0}, {true, true, true}},
  };
  const auto found = devices.find({entry.nMajor, entry.nMinor});
  return found == devices.end() ? tagBLOCKDEVICEFACTS() : found->second;
}

const char kBase[] =
    "22 27 0:21 / /proc rw,relatime shared:13 - proc proc rw\n"
    "27 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "30 27 0:27 / /tmp rw,nosuid shared:5 - tmpfs tmpfs rw\n";

TEST(ParseMountInfo, ReadsTheFieldsAndDecodesEscapes) {
  const auto table = ParseMountInfo(
      "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue\n"
      "61 27 8:17 / /media/ann/MY\\040CARD\\134x rw,nosuid shared:30 master:2 - vfat /dev/sdb1 "
      "rw,uid=1000\n"
      "62 27 0:50 / /mnt/share rw - nfs4 server:/export rw\n");
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0].nMountId, 36);
  EXPECT_EQ(table[0].nMajor, 98u);
  EXPECT_EQ(table[0].nMinor, 0u);
  EXPECT_EQ(table[0].strRoot, u"/mnt1");
  EXPECT_EQ(table[0].strMountPoint, u"/mnt2");
  EXPECT_EQ(table[0].strFsType, u"ext3");
  EXPECT_EQ(table[0].strSource, u"/dev/root");
  EXPECT_EQ(table[1].strMountPoint, u"/media/ann/MY CARD\\x");
  EXPECT_EQ(table[1].nMinor, 17u);
  EXPECT_EQ(table[1].strFsType, u"vfat");
  EXPECT_EQ(table[2].strSource, u"server:/export");
}

class ParseMountInfoSkips : public ::testing::TestWithParam<const char*> {};

TEST_P(ParseMountInfoSkips, MalformedLines) {
  const std::string text = std::string(GetParam()) + "\n" + kBase;
  const auto table = ParseMountInfo(text);
  ASSERT_EQ(table.size(), 3u) << GetParam();
  EXPECT_EQ(table[0].strMountPoint, u"/proc");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseMountInfoSkips,
    ::testing::Values("", "garbage", "61 27 8:17 / /media/a rw shared:1 vfat /dev/sdb1 rw",
                      "61 27 8:17 / /media/a rw -", "x 27 8:17 / /media/a rw - vfat /dev/sdb1 rw",
                      "61 27 817 / /media/a rw - vfat /dev/sdb1 rw",
                      "61 27 8:z / /media/a rw - vfat /dev/sdb1 rw",
                      "61 27 8:17 / media/a rw - vfat /dev/sdb1 rw",
                      "99999999999 27 8:17 / /media/a rw - vfat /dev/sdb1 rw"));

class NetworkFileSystems : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(NetworkFileSystems, AreKnownByType) {
  EXPECT_EQ(IsNetworkFileSystem(CStrAW::a_toW(GetParam().first)), GetParam().second)
      << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(Types, NetworkFileSystems,
                         ::testing::Values(std::pair{"nfs", true}, std::pair{"NFS4", true},
                                           std::pair{"cifs", true}, std::pair{"smb3", true},
                                           std::pair{"fuse.sshfs", true}, std::pair{"9p", true},
                                           std::pair{"vfat", false}, std::pair{"exfat", false},
                                           std::pair{"fuseblk", false}, std::pair{"ext4", false},
                                           std::pair{"tmpfs", false}, std::pair{"", false},
                                           std::pair{"fs", false}, std::pair{"nfs cifs", false}));

struct tagDIFFCASE {
  const char* pszCase;
  std::string before;  // added to kBase
  std::string after;   // added to kBase
  std::vector<std::string> removed;
  std::vector<std::string> arrived;
};

void PrintTo(const tagDIFFCASE& diff, std::ostream* out) { *out << diff.pszCase; }

class RemovableVolumesDiff : public ::testing::TestWithParam<tagDIFFCASE> {};

TEST_P(RemovableVolumesDiff, ReportsRemovableVolumesOnly) {
  CRemovableVolumes volumes(FakeLookup);
  volumes.SetInitialTable(ParseMountInfo(kBase + GetParam().before));
  MyStringList removed, arrived;
  volumes.Update(ParseMountInfo(kBase + GetParam().after), &removed, &arrived);
  EXPECT_EQ(Strings(removed), GetParam().removed);
  EXPECT_EQ(Strings(arrived), GetParam().arrived);
}

const char kStick[] = "61 27 8:17 / /media/ann/STICK rw,nosuid - vfat /dev/sdb1 rw\n";
const char kCard[] = "62 27 179:1 / /media/ann/CARD rw,nosuid - exfat /dev/mmcblk0p1 rw\n";

INSTANTIATE_TEST_SUITE_P(
    Tables, RemovableVolumesDiff,
    ::testing::Values(
        tagDIFFCASE{"NothingChanged", kStick, kStick, {}, {}},
        tagDIFFCASE{"StickArrives", "", kStick, {}, {"/media/ann/STICK"}},
        tagDIFFCASE{"TwoArriveInTableOrder",
                    "",
                    std::string(kCard) + kStick,
                    {},
                    {"/media/ann/CARD", "/media/ann/STICK"}},
        tagDIFFCASE{"StickLeaves", kStick, "", {"/media/ann/STICK"}, {}},
        tagDIFFCASE{"CardSwappedBetweenTwoLooks",
                    kCard,
                    "70 27 179:1 / /media/ann/CARD rw - exfat /dev/mmcblk0p1 rw\n",
                    {"/media/ann/CARD"},
                    {"/media/ann/CARD"}},
        tagDIFFCASE{"MovedElsewhere",
                    kStick,
                    "61 27 8:17 / /mnt/stick rw,nosuid - vfat /dev/sdb1 rw\n",
                    {"/media/ann/STICK"},
                    {"/mnt/stick"}},
        tagDIFFCASE{
            "DvdIgnored", "", "63 27 11:0 / /media/ann/DVD ro - iso9660 /dev/sr0 ro\n", {}, {}},
        tagDIFFCASE{
            "InternalDiskIgnored", "", "64 27 8:1 / /home rw - ext4 /dev/sda1 rw\n", {}, {}},
        tagDIFFCASE{
            "NetworkShareIgnored", "", "65 27 0:60 / /mnt/nas rw - cifs //nas/photos rw\n", {}, {}},
        tagDIFFCASE{"NetworkTypeOnARemovableDeviceIgnored",
                    "",
                    "66 27 8:18 / /mnt/odd rw - nfs /dev/sdb2 rw\n",
                    {},
                    {}},
        tagDIFFCASE{
            "BindMountOfAFolderIgnored",
            kStick,
            std::string(kStick) + "67 27 8:17 /DCIM /home/ann/dcim rw - vfat /dev/sdb1 rw\n",
            {},
            {}},
        tagDIFFCASE{
            "TmpfsIgnoredOnBothSides", "31 27 0:40 / /run/user rw - tmpfs tmpfs rw\n", "", {}, {}}),
    [](const ::testing::TestParamInfo<tagDIFFCASE>& info) { return info.param.pszCase; });

TEST(RemovableVolumes, KnowsWhatIsMountedAndAsksEachMountOnce) {
  int lookups = 0;
  CRemovableVolumes volumes([&lookups](const tagMOUNTENTRY& entry) {
    ++lookups;
    return FakeLookup(entry);
  });
  volumes.SetInitialTable(ParseMountInfo(std::string(kBase) + kStick));
  EXPECT_EQ(Strings(volumes.GetVolumes()), std::vector<std::string>{"/media/ann/STICK"});
  const int first = lookups;
  MyStringList removed, arrived;
  for (int i = 0; i < 3; ++i)
    volumes.Update(ParseMountInfo(std::string(kBase) + kStick + kCard), &removed, &arrived);
  EXPECT_EQ(lookups, first + 1);  // only the card was new
  EXPECT_EQ(Strings(arrived), std::vector<std::string>{"/media/ann/CARD"});
  EXPECT_TRUE(Strings(removed).empty());
  EXPECT_EQ(Strings(volumes.GetVolumes()),
            (std::vector<std::string>{"/media/ann/STICK", "/media/ann/CARD"}));
}

TEST(LookupBlockDevice, FileSystemsWithoutABlockDeviceAreNotRemovable) {
  for (const char* line :
       {"30 27 0:27 / /tmp rw - tmpfs tmpfs rw", "31 27 0:28 / /mnt/x rw - fuseblk /dev/null rw",
        "32 27 0:29 / /mnt/y rw - btrfs /dev/no-such-device rw"}) {
    const auto table = ParseMountInfo(line);
    ASSERT_EQ(table.size(), 1u);
    const tagBLOCKDEVICEFACTS facts = LookupBlockDevice(table[0]);
    EXPECT_FALSE(facts.bBlockDevice) << line;
    EXPECT_FALSE(facts.bRemovable) << line;
  }
}

TEST(LookupBlockDevice, LoopDevicesAreFixedDisks) {
  // Loop devices are block devices that are neither removable nor optical.
  int asked = 0;
  for (const auto& entry : fs::directory_iterator("/sys/block")) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("loop", 0) != 0) continue;
    const std::string number = testsupport::ReadFile(entry.path() / "dev");
    const std::string line = "40 27 " + number.substr(0, number.find('\n')) +
                             " / /mnt/loop rw - ext4 /dev/" + name + " rw";
    const auto table = ParseMountInfo(line);
    ASSERT_EQ(table.size(), 1u) << line;
    const tagBLOCKDEVICEFACTS facts = LookupBlockDevice(table[0]);
    EXPECT_TRUE(facts.bBlockDevice) << name;
    EXPECT_FALSE(facts.bRemovable) << name;
    EXPECT_FALSE(facts.bOptical) << name;
    ++asked;
  }
  if (asked == 0) GTEST_SKIP() << "this machine has no loop devices";
}

// The watcher over a table file the test writes: Rescan is what a change
// notice runs.
class VolumeWatcherOverAFile : public ::testing::Test {
 protected:
  void SetUp() override { m_table = testsupport::NewTempDir() / "mountinfo"; }
  void Write(const std::string& text) { testsupport::WriteFile(m_table, kBase + text); }
  MyString Table() const { return CStrAW::FromPath(m_table); }

  fs::path m_table;
};

TEST_F(VolumeWatcherOverAFile, ReportsArrivalsAndRemovalsToTheBridge) {
  Write(kCard);
  CVolumeWatcher watcher(nullptr, FakeLookup, Table());
  CAcquisitionBridge bridge;
  bridge.WatchVolumes(&watcher);
  CTextRecorder arrived(&bridge, &CAcquisitionBridge::DeviceArrived);
  CTextRecorder removed(&bridge, &CAcquisitionBridge::DeviceRemoved);
  ASSERT_EQ(watcher.Start(), 1) << watcher.GetLastError().ToUtf8();
  EXPECT_TRUE(watcher.IsWatching());
  EXPECT_EQ(Strings(watcher.GetVolumes()), std::vector<std::string>{"/media/ann/CARD"});
  EXPECT_EQ(arrived.texts.size(), 0u);  // already there at the start

  Write(std::string(kCard) + kStick);
  ASSERT_EQ(watcher.Rescan(), 1);
  ASSERT_EQ(arrived.texts.size(), 1u);
  EXPECT_EQ(arrived.texts[0], "/media/ann/STICK");
  EXPECT_TRUE(bridge.IsConnected(u"/media/ann/STICK"));

  Write("");
  ASSERT_EQ(watcher.Rescan(), 1);
  ASSERT_EQ(removed.texts.size(), 2u);
  EXPECT_EQ(removed.texts[0], "/media/ann/STICK");
  EXPECT_EQ(removed.texts[1], "/media/ann/CARD");
  EXPECT_TRUE(bridge.GetConnectedDevices().GetListLength() == 0);

  watcher.Stop();
  EXPECT_FALSE(watcher.IsWatching());
  EXPECT_EQ(watcher.Rescan(), 0);
}

TEST(VolumeWatcher, AMissingTableIsAnErrorNotACrash) {
  CVolumeWatcher watcher(nullptr, FakeLookup,
                         CStrAW::FromPath(testsupport::NewTempDir() / "no-table"));
  EXPECT_EQ(watcher.Start(), 0);
  EXPECT_FALSE(watcher.IsWatching());
  EXPECT_NE(watcher.GetLastError().ToUtf8().find("no-table"), std::string::npos);
  EXPECT_EQ(watcher.Rescan(), 0);
}

TEST(VolumeWatcher, NoticesRealMountsThroughTheKernelsChangeNotice) {
  // A private mount namespace lets the test mount without touching the
  // machine; it needs the right to make one.
  if (::unshare(CLONE_NEWNS) != 0 ||
      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    GTEST_SKIP() << "no permission for a private mount namespace";
  const fs::path place = testsupport::NewTempDir("volume");
  const std::string where = place.string();
  // Here, a tmpfs below the test's folder plays the card.
  CVolumeWatcher watcher(nullptr, [&where](const tagMOUNTENTRY& entry) {
    const bool card = entry.strMountPoint.ToUtf8() == where;
    return tagBLOCKDEVICEFACTS{card, card, false};
  });
  CTextRecorder arrived(&watcher, &CVolumeWatcher::VolumeArrived);
  CTextRecorder removed(&watcher, &CVolumeWatcher::VolumeRemoved);
  ASSERT_EQ(watcher.Start(), 1) << watcher.GetLastError().ToUtf8();

  ASSERT_EQ(::mount("card", where.c_str(), "tmpfs", 0, "size=64k"), 0);
  ASSERT_TRUE(testsupport::WaitFor([&] { return !arrived.texts.empty(); }));
  EXPECT_EQ(arrived.texts[0], where);

  ASSERT_EQ(::umount(where.c_str()), 0);
  ASSERT_TRUE(testsupport::WaitFor([&] { return !removed.texts.empty(); }));
  EXPECT_EQ(removed.texts[0], where);
  EXPECT_EQ(arrived.texts.size(), 1u);
}

TEST(AcquisitionBridge, AnnouncesEachDeviceOnceAndEveryRemoval) {
  CAcquisitionBridge bridge;
  CTextRecorder arrived(&bridge, &CAcquisitionBridge::DeviceArrived);
  CTextRecorder removed(&bridge, &CAcquisitionBridge::DeviceRemoved);
  EXPECT_EQ(bridge.DeviceConnected(u"/media/ann/CARD"), 1);
  EXPECT_EQ(bridge.DeviceConnected(u"usb:001,004"), 1);
  EXPECT_EQ(bridge.DeviceConnected(u"/media/ann/CARD"), 0);
  EXPECT_EQ(bridge.DeviceConnected(u""), 0);
  EXPECT_EQ(arrived.texts.size(), 2u);
  EXPECT_EQ(Strings(bridge.GetConnectedDevices()),
            (std::vector<std::string>{"/media/ann/CARD", "usb:001,004"}));

  EXPECT_EQ(bridge.DeviceDisconnected(u"/media/ann/CARD"), 1);
  // A camera that was there before the program started is still announced.
  EXPECT_EQ(bridge.DeviceDisconnected(u"usb:002,009"), 0);
  EXPECT_EQ(bridge.DeviceDisconnected(u""), 0);
  ASSERT_EQ(removed.texts.size(), 2u);
  EXPECT_EQ(removed.texts[1], "usb:002,009");
  EXPECT_EQ(Strings(bridge.GetConnectedDevices()), std::vector<std::string>{"usb:001,004"});
  // Back again after a removal: a new arrival.
  EXPECT_EQ(bridge.DeviceConnected(u"/media/ann/CARD"), 1);
  EXPECT_EQ(arrived.texts.size(), 3u);
}

}  // namespace
