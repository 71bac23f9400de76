#include "corekit/registry.h"

#include <filesystem>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/atomicfile.h"
#include "corekit/platform.h"
#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

// Runs body in a child process and returns its exit status (or -1).
template <typename Body>
int RunInChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(CRegistryTest, ValuesKeepTheirType) {
  CRegistry reg(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo");
  ASSERT_TRUE(reg.IsOpen());
  // The settings save writes this name as a number first, then as text.
  EXPECT_EQ(reg.SetValue(u"Save ARM Append", 1061u), 1);
  EXPECT_EQ(reg.SetValue(u"Save ARM Append", u"_modified_by_Lorimo"), 1);
  uint32_t number = 7;
  EXPECT_EQ(reg.GetValue(u"Save ARM Append", number), 0);
  EXPECT_EQ(number, 7u);  // untouched by the failed read
  MyString text;
  EXPECT_EQ(reg.GetValue(u"Save ARM Append", text), 1);
  EXPECT_EQ(text, u"_modified_by_Lorimo");
  EXPECT_EQ(reg.GetValueType(u"Save ARM Append"), REG_SZ);

  EXPECT_EQ(reg.SetValue(u"Save After RorM", int32_t(-1)), 1);
  text = u"unchanged";
  EXPECT_EQ(reg.GetValue(u"Save After RorM", text), 0);
  EXPECT_EQ(text, u"unchanged");
  int32_t signedValue = 0;
  EXPECT_EQ(reg.GetValue(u"Save After RorM", signedValue), 1);
  EXPECT_EQ(signedValue, -1);
  EXPECT_EQ(reg.GetValueType(u"Save After RorM"), REG_DWORD);
  EXPECT_EQ(reg.GetValueType(u"Missing"), REG_NONE);
}

TEST(CRegistryTest, SubKeyReachesTheKeyOfADirectOpenWhateverTheCase) {
  {
    CRegistry base(HKEY_CURRENT_USER, u"Software");
    ASSERT_EQ(base.SetSubKey(u"ZOKA\\Lorimo"), 1);
    EXPECT_EQ(base.SetValue(u"DefaultImage", 2u), 1);
    ASSERT_EQ(base.SetSubKey(u"ZOKA\\Lorimo\\WinPos"), 1);
    EXPECT_EQ(base.SetValue(u"Maximized", 1u), 1);
  }
  CRegistry direct(HKEY_CURRENT_USER, u"software\\zoka\\LORIMO", false);
  ASSERT_TRUE(direct.IsOpen());
  uint32_t value = 0;
  EXPECT_EQ(direct.GetValue(u"defaultimage", value), 1);
  EXPECT_EQ(value, 2u);
  // A second write with other case keeps the first spelling.
  EXPECT_EQ(direct.SetValue(u"DEFAULTIMAGE", 3u), 1);
  MyStringList names;
  ASSERT_EQ(direct.EnumValueNames(names), 1);
  ASSERT_EQ(names.GetListLength(), 1u);
  EXPECT_EQ(names[0], u"DefaultImage");
  names.ReleaseListMemory();
  ASSERT_EQ(direct.EnumSubKeys(names), 1);
  ASSERT_EQ(names.GetListLength(), 1u);
  EXPECT_EQ(names[0], u"WinPos");
  ASSERT_EQ(direct.Flush(), 1);
  const std::string file = ReadFile(GetConfigFolder().ToUtf8() + "/registry.reg");
  EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\ZOKA\\Lorimo\\WinPos]\n"
                      "\"Maximized\"=dword:00000001\n"),
            std::string::npos)
      << file;
  EXPECT_NE(file.find("\"DefaultImage\"=dword:00000003\n"), std::string::npos) << file;
}

TEST(CRegistryTest, GetSetValueKeepsTheDefaultWhenNothingOfThatTypeIsStored) {
  CRegistry reg(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo");
  uint32_t delay = 1000;
  EXPECT_EQ(reg.GetSetValue(u"AutoPlayMiliseconds", delay), 0);
  EXPECT_EQ(delay, 1000u);
  EXPECT_EQ(reg.GetValueType(u"AutoPlayMiliseconds"), REG_NONE);  // nothing written
  reg.SetValue(u"AutoPlayMiliseconds", 250u);
  EXPECT_EQ(reg.GetSetValue(u"AutoPlayMiliseconds", delay), 1);
  EXPECT_EQ(delay, 250u);
  MyString suffix = u"_modified_by_Lorimo";
  EXPECT_EQ(reg.GetSetValue(u"AutoPlayMiliseconds", suffix), 0);
  EXPECT_EQ(suffix, u"_modified_by_Lorimo");
}

TEST(CRegistryTest, OnlyTheCurrentUserRootCanBeOpened) {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_USERS}) {
    CRegistry reg(root, u"Software\\ZOKA\\Lorimo");
    EXPECT_FALSE(reg.IsOpen());
    EXPECT_EQ(reg.SetValue(u"x", 1u), 0);
    EXPECT_EQ(reg.SetSubKey(u"WinPos"), 0);
    EXPECT_FALSE(reg.IsOpen());
  }
  CRegistry missing(HKEY_CURRENT_USER, u"Software\\Nobody", false);
  EXPECT_FALSE(missing.IsOpen());
  CRegistry bad(HKEY_CURRENT_USER, u"Software\\line\nbreak");
  EXPECT_FALSE(bad.IsOpen());
}

TEST(CRegistryTest, DeleteKeyRemovesTheSubtreeAndDeleteValueOneValue) {
  CRegistry reg(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo");
  reg.SetValue(u"Keep", 1u);
  reg.SetValue(u"Drop", 1u);
  ASSERT_EQ(reg.SetSubKey(u"MRU"), 1);
  reg.SetValue(u"MRU_0", u"/a.jpg");
  ASSERT_EQ(reg.SetSubKey(u"MRU\\Deeper"), 1);
  reg.SetValue(u"x", 1u);
  ASSERT_EQ(reg.SetSubKey(u""), 1);
  EXPECT_EQ(reg.DeleteValue(u"drop"), 1);
  EXPECT_EQ(reg.DeleteValue(u"drop"), 0);
  EXPECT_EQ(reg.DeleteKey(u"mru"), 1);
  EXPECT_EQ(reg.DeleteKey(u"mru"), 0);
  MyStringList names;
  reg.EnumSubKeys(names);
  EXPECT_EQ(names.GetListLength(), 0u);
  EXPECT_FALSE(
      CRegistry(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo\\MRU\\Deeper", false).IsOpen());
  reg.EnumValueNames(names);
  ASSERT_EQ(names.GetListLength(), 1u);
  EXPECT_EQ(names[0], u"Keep");
}

class CRegistryTextTest : public ::testing::TestWithParam<std::u16string> {};

TEST_P(CRegistryTextTest, TextAndNamesSurviveTheFile) {
  const fs::path file = testsupport::NewTempDir() / "registry.reg";
  const MyString text(GetParam());
  {
    CRegistryStore store(W(file));
    CRegistry reg(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo", true, &store);
    ASSERT_EQ(reg.SetValue(u"Value", text), 1);
    ASSERT_EQ(reg.SetValue(MyString(u"n ") + text, 5u), 1);
  }
  CRegistryStore fresh(W(file));
  CRegistry reg(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo", false, &fresh);
  MyString read;
  ASSERT_EQ(reg.GetValue(u"Value", read), 1) << ReadFile(file);
  EXPECT_EQ(read, text);
  uint32_t number = 0;
  EXPECT_EQ(reg.GetValue(MyString(u"n ") + text, number), 1) << ReadFile(file);
  EXPECT_EQ(number, 5u);
}

INSTANTIATE_TEST_SUITE_P(Texts, CRegistryTextTest,
                         ::testing::Values(u"", u"/home/ann/Fotos/Grüße 日本.jpg",
                                           u"say \"cheese\"", u"C:\\new\\table",
                                           u"trailing backslash\\", u"two\nlines\r\nand\ttab",
                                           u"\x01\x1f\x7f bell", u"dword:0000004b", u"\"\"=\"",
                                           u"  spaces  ", u"emoji \xD83D\xDCF7"));

TEST(CRegistryTest, DamagedLinesAreSkippedAndTheRestLoads) {
  const fs::path file = testsupport::NewTempDir() / "registry.reg";
  static const char kText[] =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "\"BeforeAnyKey\"=dword:00000001\n"
      "[HKEY_CURRENT_USER\\Software\\ZOKA\\Lorimo]\r\n"
      "\"Good\"=dword:0000004B\r\n"
      "\"TooLong\"=dword:123456789\n"
      "\"NotHex\"=dword:00zz0001\n"
      "\"Unclosed=\"text\n"
      "\"Trailing\"=\"text\" junk\n"
      "\"Binary\"=hex:01,02\n"
      "garbage \xff\xfe\x00 line\n"
      "\"Text\"=\"kept\"\n"
      "[HKEY_CURRENT_USER\\Software\\Broken\n"
      "\"AfterBrokenHeader\"=dword:00000001\n"
      "[HKEY_LOCAL_MACHINE\\Software\\ZOKA\\Lorimo]\n"
      "\"OtherRoot\"=dword:00000001\n"
      "[HKEY_CURRENT_USERS\\Software]\n"
      "\"LookAlikeRoot\"=dword:00000001\n"
      "[HKEY_CURRENT_USER\\Software\\ZOKA\\Lorimo\\WinPos]\n"
      "\"Twice\"=dword:00000001\n"
      "\"twice\"=dword:00000002\n"
      "@=\"unnamed\"\n";
  WriteFile(file, std::string(kText, sizeof kText - 1));
  CRegistryStore store(W(file));
  CRegistry reg(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo", false, &store);
  ASSERT_TRUE(reg.IsOpen());
  MyStringList names;
  reg.EnumValueNames(names);
  ASSERT_EQ(names.GetListLength(), 2u);
  EXPECT_EQ(names[0], u"Good");
  EXPECT_EQ(names[1], u"Text");
  uint32_t good = 0;
  EXPECT_EQ(reg.GetValue(u"Good", good), 1);
  EXPECT_EQ(good, 0x4Bu);
  EXPECT_EQ(store.KeyExists(u"Software\\Broken"), 0);
  ASSERT_EQ(reg.SetSubKey(u"WinPos", false), 1);
  uint32_t twice = 0;
  EXPECT_EQ(reg.GetValue(u"TWICE", twice), 1);
  EXPECT_EQ(twice, 2u);  // the later line wins, as on import
  MyString unnamed;
  EXPECT_EQ(reg.GetValue(u"", unnamed), 1);
  EXPECT_EQ(unnamed, u"unnamed");
  // Writing keeps what could be read.
  reg.SetValue(u"New", 1u);
  ASSERT_EQ(reg.Flush(), 1);
  CRegistryStore fresh(W(file));
  EXPECT_EQ(fresh.GetDword(u"Software\\ZOKA\\Lorimo", u"Good", &good), 1);
  EXPECT_EQ(fresh.GetDword(u"Software\\ZOKA\\Lorimo\\WinPos", u"New", &good), 1);
}

TEST(CRegistryTest, TwoStoresOnOneFileMergeTheirChanges) {
  const fs::path file = testsupport::NewTempDir() / "registry.reg";
  CRegistryStore first(W(file)), second(W(file));
  const MyString key = u"Software\\ZOKA\\Lorimo";
  first.SetDword(key, u"Shared", 1);
  first.SetDword(key, u"Doomed", 1);
  ASSERT_EQ(first.Flush(), 1);
  uint32_t value = 0;
  EXPECT_EQ(second.GetDword(key, u"Shared", &value), 1);  // sees the other's flush

  first.SetString(key, u"FromFirst", u"a");
  second.SetString(key, u"FromSecond", u"b");
  EXPECT_EQ(second.DeleteValue(key, u"Doomed"), 1);
  second.SetDword(key, u"Shared", 2);
  ASSERT_EQ(second.Flush(), 1);
  ASSERT_EQ(first.Flush(), 1);  // must not bring back "Doomed" or undo "Shared"

  CRegistryStore third(W(file));
  MyString text;
  EXPECT_EQ(third.GetString(key, u"FromFirst", &text), 1);
  EXPECT_EQ(third.GetString(key, u"FromSecond", &text), 1);
  EXPECT_EQ(third.GetDword(key, u"Doomed", &value), 0);
  EXPECT_EQ(third.GetDword(key, u"Shared", &value), 1);
  EXPECT_EQ(value, 2u);
  EXPECT_EQ(first.GetDword(key, u"Doomed", &value), 0);
}

TEST(CRegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  const fs::path file = testsupport::NewTempDir() / "registry.reg";
  constexpr int kRounds = 40;
  auto writer = [&file](const char16_t* prefix) {
    CRegistryStore store(W(file));
    for (int i = 0; i < kRounds; ++i) {
      CRegistry reg(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo", true, &store);
      if (!reg.SetValue(CStrAW::printf(u"%s%d", prefix, i), uint32_t(i))) return 1;
    }  // each object flushes as it goes
    return 0;
  };
  const pid_t pid = fork();
  if (pid == 0) _exit(writer(u"child"));
  EXPECT_EQ(writer(u"parent"), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  CRegistryStore store(W(file));
  MyStringList names;
  ASSERT_EQ(store.EnumValueNames(u"Software\\ZOKA\\Lorimo", &names), 1);
  EXPECT_EQ(names.GetListLength(), size_t(2 * kRounds));
}

TEST(CRegistryTest, ThreadsShareTheProcessStore) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 25; ++i) {
        CRegistry reg(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo\\Threads");
        reg.SetValue(CStrAW::printf(u"t%d_%d", t, i), uint32_t(i));
        uint32_t back = 0;
        reg.GetValue(CStrAW::printf(u"t%d_%d", t, i), back);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  CRegistryStore fresh(CRegistryStore::Instance().GetFilePath());
  MyStringList names;
  fresh.EnumValueNames(u"Software\\ZOKA\\Lorimo\\Threads", &names);
  EXPECT_EQ(names.GetListLength(), 100u);
}

TEST(AtomicFileTest, AFailedWriteLeavesTheOldFileWhole) {
  const fs::path dir = testsupport::NewTempDir();
  const fs::path file = dir / "registry.reg";
  WriteFile(file, "old content\n");
  // The child may write at most 4 KiB per file: the big write fails midway.
  const int result = RunInChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    MyString error;
    if (WriteFileAtomically(W(file), std::string(100000, 'x'), &error) != 0) return 1;
    if (error.IsEmpty()) return 2;
    CRegistryStore store(W(file));
    store.SetString(u"Software", u"Big", MyString(std::u16string(100000, u'y')));
    if (store.Flush() != 0) return 3;
    _exit(0);  // skip the store's flush on destruction
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(file), "old content\n");
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++entries;
  EXPECT_EQ(entries, 2u);  // the file and the store's lock file, no temporary left
}

TEST(AtomicFileTest, ReplacingKeepsPermissionsAndFollowsLinks) {
  const fs::path dir = testsupport::NewTempDir();
  const fs::path target = dir / "install.ini";
  WriteFile(target, "old");
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
                  fs::perm_options::replace);
  const fs::path link = dir / "link.ini";
  fs::create_symlink(target, link);
  ASSERT_EQ(WriteFileAtomically(W(link), "new"), 1);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(target), "new");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  EXPECT_EQ(WriteFileAtomically(W(dir), "x"), 0);  // a folder is never replaced
  EXPECT_EQ(WriteFileAtomically(W(dir / "missing" / "a.ini"), "x"), 0);
  std::string bytes;
  EXPECT_EQ(ReadWholeFile(W(dir / "missing.ini"), &bytes), 0);
  EXPECT_EQ(ReadWholeFile(W(target), &bytes, 2), 0);  // larger than allowed
  EXPECT_EQ(ReadWholeFile(W(target), &bytes), 1);
  EXPECT_EQ(bytes, "new");
  const fs::path pipe = dir / "pipe.reg";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(ReadWholeFile(W(pipe), &bytes), 0);  // returns at once, no writer needed
}

TEST(AtomicFileTest, NamesOfOurChoosingAreNeverWrittenThrough) {
  const fs::path dir = testsupport::NewTempDir("shared");
  const fs::path keys = testsupport::NewTempDir("home") / "authorized_keys";
  WriteFile(keys, "ssh-ed25519 mine\n");
  MyString error;

  // A new file: a link is no free name, dangling or not.
  tagATOMICWRITEOPTIONS fresh;
  fresh.nTarget = AT_CREATE_NEW;
  fs::create_symlink(keys, dir / "a_1.jpg");
  fs::create_symlink(keys.parent_path() / "missing", dir / "a_2.jpg");
  EXPECT_EQ(WriteFileAtomicallyEx(W(dir / "a_1.jpg"), "jpeg", fresh, &error), 0);
  EXPECT_FALSE(error.IsEmpty());
  EXPECT_EQ(WriteFileAtomicallyEx(W(dir / "a_2.jpg"), "jpeg", fresh), 0);
  EXPECT_FALSE(fs::exists(keys.parent_path() / "missing"));
  // What turns up at the name while the file is written stays.
  fresh.cancelled = [&] {
    WriteFile(dir / "a_3.jpg", "theirs");
    return false;
  };
  EXPECT_EQ(WriteFileAtomicallyEx(W(dir / "a_3.jpg"), "jpeg", fresh), 0);
  EXPECT_EQ(ReadFile(dir / "a_3.jpg"), "theirs");
  fresh.cancelled = nullptr;
  ASSERT_EQ(WriteFileAtomicallyEx(W(dir / "a_4.jpg"), "jpeg", fresh), 1);
  EXPECT_EQ(ReadFile(dir / "a_4.jpg"), "jpeg");

  // A file of our own: a link at its name is replaced, not followed.
  tagATOMICWRITEOPTIONS own;
  own.nTarget = AT_REPLACE_NAME;
  fs::create_symlink(keys, dir / "wallpaper.png");
  ASSERT_EQ(WriteFileAtomicallyEx(W(dir / "wallpaper.png"), "png", own), 1);
  EXPECT_FALSE(fs::is_symlink(dir / "wallpaper.png"));
  EXPECT_EQ(ReadFile(dir / "wallpaper.png"), "png");

  EXPECT_EQ(ReadFile(keys), "ssh-ed25519 mine\n");
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++entries;
  EXPECT_EQ(entries, 5u);  // no temporary left
}

TEST(AtomicFileTest, TheOpenedFileIsReplacedOnlyWhileItIsStillThere) {
  const fs::path dir = testsupport::NewTempDir("shared");
  const fs::path keys = testsupport::NewTempDir("home") / "authorized_keys";
  WriteFile(keys, "ssh-ed25519 mine\n");
  const fs::path photo = dir / "photo.jpg";
  WriteFile(photo, "old");
  tagATOMICWRITEOPTIONS over;
  std::string bytes;
  ASSERT_EQ(ReadWholeFile(W(photo), &bytes, 100, nullptr, &over.expected), 1);
  tagFILEIDENTITY named;
  ASSERT_EQ(GetFileIdentity(W(photo), &named), 1);
  EXPECT_EQ(named, over.expected);
  const auto plantLink = [&] {
    fs::remove(photo);
    fs::create_symlink(keys, photo);
  };

  // Swapped for a link while the new file was written...
  over.cancelled = [&] {
    plantLink();
    return false;
  };
  MyString error;
  EXPECT_EQ(WriteFileAtomicallyEx(W(photo), "jpeg", over, &error), 0);
  EXPECT_FALSE(error.IsEmpty());
  // ... or before.
  over.cancelled = nullptr;
  EXPECT_EQ(WriteFileAtomicallyEx(W(photo), "jpeg", over), 0);
  EXPECT_EQ(ReadFile(keys), "ssh-ed25519 mine\n");
  EXPECT_TRUE(fs::is_symlink(photo));
  // Gone: nothing is made in its place.
  fs::remove(photo);
  EXPECT_EQ(WriteFileAtomicallyEx(W(photo), "jpeg", over), 0);
  EXPECT_FALSE(fs::exists(photo));

  // The user's own link to the file is followed as before.
  const fs::path real = dir / "real.jpg";
  const fs::path mine = dir / "mine.jpg";
  WriteFile(real, "old");
  fs::create_symlink(real, mine);
  ASSERT_EQ(GetFileIdentity(W(mine), &over.expected), 1);
  ASSERT_EQ(WriteFileAtomicallyEx(W(mine), "turned", over), 1);
  EXPECT_EQ(ReadFile(real), "turned");
  EXPECT_TRUE(fs::is_symlink(mine));
}

}  // namespace
