#include "gathrex/transferengine.h"

#include <QDate>
#include <filesystem>
#include <random>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "gathrex/cameradevice.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

std::string Bytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& ch : bytes) ch = char(random());
  return bytes;
}

bool IsPicture(const MyString& path) {
  const MyString extension = path.GetStringExtension().ToLower();
  return extension == u".jpg" || extension == u".png" || extension == u".cr2";
}

// Names in a folder (hidden ones too), sorted.
std::vector<std::string> Listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

MyString Path(const fs::path& path) { return MyString::FromUtf8(path.string()); }

// A camera's card: pictures in nested folders (one above the 1 MiB block)
// and a text file.
fs::path MakeCameraFolder() {
  const fs::path root = testsupport::NewTempDir("camera");
  WriteFile(root / "DCIM/100CANON/IMG_0001.JPG", Bytes(2'500'000, 1));
  WriteFile(root / "DCIM/100CANON/IMG_0002.CR2", Bytes(70'000, 2));
  WriteFile(root / "DCIM/100CANON/IMG_0004.JPG", Bytes(100, 4));
  WriteFile(root / "DCIM/101CANON/deep/IMG_0003.JPG", Bytes(1, 3));
  WriteFile(root / "MISC/notes.txt", "not a picture\n");
  return root;
}

// After listing, a picture becomes unreadable (even for root): a folder now
// stands where the camera had a file.
void MakeUnreadable(const fs::path& root) {
  fs::remove(root / "DCIM/100CANON/IMG_0004.JPG");
  fs::create_directory(root / "DCIM/100CANON/IMG_0004.JPG");
}

}  // namespace

TEST(TransferEngine, CameraTransferArrivesByteForByteAndTwiceTheSameDay) {
  const fs::path card = MakeCameraFolder();
  const fs::path destination = testsupport::NewTempDir("pictures");

  CCameraDevice camera;
  ASSERT_EQ(camera.Open(Path("disk:" + card.string())), 1) << camera.GetLastError().ToUtf8();
  std::vector<tagCAMERAFILE> files;
  ASSERT_EQ(camera.ListFiles(&files), 1) << camera.GetLastError().ToUtf8();
  std::vector<std::string> names;
  for (const tagCAMERAFILE& file : files) names.push_back(file.strName.ToUtf8());
  ASSERT_NE(std::find(names.begin(), names.end(), "IMG_0003.JPG"), names.end());
  ASSERT_NE(std::find(names.begin(), names.end(), "IMG_0001.JPG"), names.end());
  ASSERT_NE(std::find(names.begin(), names.end(), "IMG_0004.JPG"), names.end());
  MakeUnreadable(card);

  MyString folder, error;
  ASSERT_EQ(MakeDatedFolder(Path(destination), QDate(2026, 12, 7), &folder, &error), 1);
  EXPECT_EQ(folder.Find(u'/', destination.string().size() + 1), MyString::npos);
  for (int run = 0; run < 2; ++run) {
    CTransferEngine engine(folder);
    std::vector<MyString> progress;
    engine.SetProgress([&](size_t, size_t, const MyString& name) { progress.push_back(name); });
    const size_t placed = engine.TransferCameraFiles(&camera, files);
    EXPECT_EQ(progress.size(), files.size());
    // Everything but the unreadable picture, reported once by name.
    EXPECT_EQ(placed, files.size() - 1);
    ASSERT_EQ(engine.GetFailures().size(), 1u);
    EXPECT_EQ(engine.GetFailures()[0].strName, u"IMG_0004.JPG");
    EXPECT_FALSE(engine.GetFailures()[0].strReason.IsEmpty());
  }
  // The second run found identical files: no "(2)" copies, no leftovers.
  const fs::path dated(folder.ToUtf8());
  std::vector<std::string> expected;
  for (const std::string& name : names)
    if (name != "IMG_0004.JPG") expected.push_back(name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Listing(dated), expected);
  EXPECT_TRUE(ReadFile(dated / "IMG_0001.JPG") == Bytes(2'500'000, 1));
  EXPECT_TRUE(ReadFile(dated / "IMG_0002.CR2") == Bytes(70'000, 2));
  EXPECT_TRUE(ReadFile(dated / "IMG_0003.JPG") == Bytes(1, 3));
  EXPECT_EQ(fs::status(dated / "IMG_0003.JPG").permissions() & fs::perms::others_read,
            fs::perms::others_read);

  // A new picture under a name already taken by another one.
  WriteFile(card / "DCIM/100CANON/IMG_0002.CR2", Bytes(5'000, 9));
  ASSERT_EQ(camera.ListFiles(&files), 1);
  CTransferEngine engine(folder);
  engine.TransferCameraFiles(&camera, files);
  EXPECT_TRUE(ReadFile(dated / "IMG_0002.CR2") == Bytes(70'000, 2));
  EXPECT_TRUE(ReadFile(dated / "IMG_0002 (2).CR2") == Bytes(5'000, 9));
}

TEST(TransferEngine, DeletesFromTheCameraOnlyWhatArrivedAndStopsWhenAsked) {
  const fs::path card = MakeCameraFolder();
  const fs::path target = testsupport::NewTempDir("target");
  CCameraDevice camera;
  ASSERT_EQ(camera.Open(Path("disk:" + card.string()), u"Directory Browse"), 1);
  std::vector<tagCAMERAFILE> files;
  ASSERT_EQ(camera.ListFiles(&files), 1);
  MakeUnreadable(card);

  // A stop before the first item transfers and deletes nothing.
  std::atomic<bool> stop{true};
  CTransferEngine stopped(Path(target));
  stopped.SetDeleteAfter(true);
  stopped.SetStop(&stop);
  EXPECT_EQ(stopped.TransferCameraFiles(&camera, files), 0u);
  EXPECT_TRUE(stopped.WasStopped());
  EXPECT_TRUE(stopped.GetFailures().empty());
  EXPECT_TRUE(Listing(target).empty());
  EXPECT_TRUE(fs::exists(card / "DCIM/100CANON/IMG_0001.JPG"));

  stop = false;
  CTransferEngine engine(Path(target));
  engine.SetDeleteAfter(true);
  engine.SetStop(&stop);
  EXPECT_EQ(engine.TransferCameraFiles(&camera, files), files.size() - 1);
  EXPECT_TRUE(ReadFile(target / "IMG_0001.JPG") == Bytes(2'500'000, 1));
  EXPECT_FALSE(fs::exists(card / "DCIM/100CANON/IMG_0001.JPG"));
  EXPECT_FALSE(fs::exists(card / "DCIM/101CANON/deep/IMG_0003.JPG"));
  // The failed item stays on the device.
  EXPECT_TRUE(fs::is_directory(card / "DCIM/100CANON/IMG_0004.JPG"));
  EXPECT_TRUE(fs::exists(card / "MISC/notes.txt") == (files.size() == 4));
  ASSERT_EQ(camera.ListFiles(&files), 1);
  EXPECT_TRUE(files.empty());
}

TEST(TransferEngine, CardFilesWithDuplicateNamesAreAllKeptAndMovedOnlyAfterTheCopy) {
  const fs::path card = testsupport::NewTempDir("card");
  WriteFile(card / "DCIM/100/IMG.JPG", Bytes(3'000, 4));
  WriteFile(card / "DCIM/200/IMG.JPG", Bytes(3'000, 5));
  WriteFile(card / "DCIM/200/copy/IMG.JPG", Bytes(3'000, 4));
  WriteFile(card / "DCIM/200/a.png", Bytes(10, 6));
  WriteFile(card / "readme.txt", "text");
  fs::create_directory_symlink(card / "DCIM", card / "DCIM/200/loop");

  const MyStringList files = CollectPictures(Path(card), IsPicture);
  std::vector<std::string> found;
  for (const MyString& file : files) found.push_back(file.ToUtf8().substr(card.string().size()));
  // Depth first, files before subfolders, the linked folder not entered.
  EXPECT_EQ(found, (std::vector<std::string>{"/DCIM/100/IMG.JPG", "/DCIM/200/IMG.JPG",
                                             "/DCIM/200/a.png", "/DCIM/200/copy/IMG.JPG"}));

  const fs::path target = testsupport::NewTempDir("target");
  MyStringList withVanished = files;
  withVanished.Append(Path(card / "DCIM/vanished.jpg"));
  CTransferEngine engine(Path(target));
  engine.SetDeleteAfter(true);
  EXPECT_EQ(engine.TransferFiles(withVanished), 4u);
  ASSERT_EQ(engine.GetFailures().size(), 1u);
  EXPECT_EQ(engine.GetFailures()[0].strName, Path(card / "DCIM/vanished.jpg"));
  EXPECT_EQ(Listing(target), (std::vector<std::string>{"IMG (2).JPG", "IMG.JPG", "a.png"}));
  EXPECT_TRUE(ReadFile(target / "IMG.JPG") == Bytes(3'000, 4));
  EXPECT_TRUE(ReadFile(target / "IMG (2).JPG") == Bytes(3'000, 5));
  // The third copy was identical to the first: it arrived as that file.
  EXPECT_EQ(engine.GetTargets()[3], Path(target / "IMG.JPG"));
  EXPECT_TRUE(CollectPictures(Path(card), IsPicture).GetListLength() == 0);
  EXPECT_TRUE(fs::exists(card / "readme.txt"));
}

TEST(TransferEngine, FullDiskFailsTheItemLeavesNoPartFileAndKeepsTheOriginal) {
  const fs::path card = testsupport::NewTempDir("card");
  WriteFile(card / "a.jpg", Bytes(20'000, 7));
  WriteFile(card / "big.jpg", Bytes(3'000'000, 8));
  WriteFile(card / "c.jpg", Bytes(30'000, 9));
  const fs::path target = testsupport::NewTempDir("target");
  const MyStringList files = CollectPictures(Path(card), IsPicture);
  ASSERT_EQ(files.GetListLength(), 3u);

  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // Files above 1 MB cannot be written, as on a nearly full disk.
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1'000'000, 1'000'000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    CTransferEngine engine(Path(target));
    engine.SetDeleteAfter(true);
    const size_t placed = engine.TransferFiles(files);
    std::string report = std::to_string(placed) + "\n";
    for (const tagTRANSFERFAILURE& failure : engine.GetFailures())
      report += failure.strName.ToUtf8() + ": " + failure.strReason.ToUtf8() + "\n";
    (void)!::write(pipeFds[1], report.data(), report.size());
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  std::string report;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, n);
  ::close(pipeFds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << report;
  EXPECT_EQ(report.substr(0, 2), "2\n");
  EXPECT_NE(report.find((card / "big.jpg").string() + ": Cannot write the file: File too large"),
            std::string::npos)
      << report;
  EXPECT_EQ(Listing(target), (std::vector<std::string>{"a.jpg", "c.jpg"}));
  EXPECT_TRUE(ReadFile(card / "big.jpg") == Bytes(3'000'000, 8));
  EXPECT_FALSE(fs::exists(card / "a.jpg"));
}

TEST(TransferEngine, NamesFromTheDeviceBecomePlainFileNames) {
  EXPECT_EQ(PlainFileName(u"a/b.jpg"), u"a_b.jpg");
  EXPECT_EQ(PlainFileName(u".."), u"_..");
  EXPECT_EQ(PlainFileName(u"."), u"_.");
  EXPECT_EQ(PlainFileName(u""), u"_");
  const MyString longName = PlainFileName(MyString(std::u16string(300, u'\u00e9')) + u".jpg");
  EXPECT_LE(longName.ToUtf8().size(), 255u);
  EXPECT_EQ(longName.GetStringExtension(), u".jpg");
  EXPECT_EQ(DatedFolderName(QDate(2026, 1, 2)).Find(u'/'), MyString::npos);
}
