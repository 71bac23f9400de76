#include "pixwork/sortdir.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <ostream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "pixwork/formats.h"
#include "pixwork/sortsettings.h"
#include "testsupport/testsupport.h"

namespace {

namespace fs = std::filesystem;

constexpr int64_t kBaseTime = 1600000000;

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

void SetTime(const fs::path& file, int64_t seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << file;
}

void MakeFile(const fs::path& file, size_t size, int64_t seconds = kBaseTime) {
  testsupport::WriteFile(file, std::string(size, 'x'));
  SetTime(file, seconds);
}

std::vector<std::string> Names(const SortDir& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.GetLengthFileList(); ++i)
    names.push_back(list.GetEntry(i)->strPath.GetStringTitleExt().ToUtf8());
  return names;
}

// Each case sets the process-wide settings it needs; put them back after.
class SortDirTest : public ::testing::Test {
 protected:
  void TearDown() override {
    gdwSortingMode = 0;
    bSortAscending = 1;
    gbListFilesWithoutExtension = 0;
  }

  std::vector<std::string> List(const fs::path& folder) {
    m_list.InitializeSortDir(W(folder), 100);
    m_list.CreateSortedImageList();
    return Names(m_list);
  }

  SortDir m_list;
};

TEST_F(SortDirTest, FolderWithoutImagesGivesAnEmptyList) {
  const fs::path dir = testsupport::NewTempDir();
  MakeFile(dir / "notes.txt", 3);
  EXPECT_TRUE(List(dir).empty());
  EXPECT_EQ(m_list.GetLengthFileList(), 0);
  EXPECT_TRUE(m_list.GetString(0).IsEmpty());
  ASSERT_EQ(m_list.GetGroupCount(), 1);
  EXPECT_FALSE(m_list.GetInfoBrowse(0)->bHasFiles);
  EXPECT_EQ(m_list.GetInfoBrowse(0)->nFirst, 0);
  EXPECT_EQ(m_list.GetInfoBrowse(0)->nLast, -1);
  EXPECT_EQ(m_list.GetIndex(W(dir / "notes.txt")), -1);
  EXPECT_EQ(m_list.GetIndexFirstLater(u'N', 0), -1);
}

TEST_F(SortDirTest, DirectoryEndsWithOneSlashEitherWay) {
  const fs::path dir = testsupport::NewTempDir();
  const MyString expected = W(dir) + u"/";
  for (const MyString& given : {W(dir), W(dir) + u"/", W(dir) + u"//"}) {
    m_list.InitializeSortDir(given, 10);
    EXPECT_EQ(m_list.GetDirectory(), expected);
    ASSERT_EQ(m_list.GetGroupCount(), 1);
    EXPECT_EQ(m_list.GetInfoBrowse(0)->strName, expected);
  }
  m_list.InitializeSortDir(MyString(u"/"), 10);
  EXPECT_EQ(m_list.GetDirectory(), u"/");
  m_list.InitializeSortDir(W(dir), 10);
  m_list.ClearList();
  EXPECT_EQ(m_list.GetDirectory(), expected) << "ClearList keeps the directory";
  EXPECT_EQ(m_list.GetGroupCount(), 0);
  m_list.RemoveAll();
  EXPECT_TRUE(m_list.GetDirectory().IsEmpty());
}

TEST_F(SortDirTest, ListsSupportedExtensionsInAnyLetterCaseOnce) {
  const fs::path dir = testsupport::NewTempDir();
  for (const char* name : {"a.JPG", "b.jpg", "c.Png", "d.jpeg", "e.PSD", ".hidden.gif", "f.j2c"})
    MakeFile(dir / name, 4);
  for (const char* name : {"g.txt", "h.lrm", "i.LRM", "README", "j.jpg.bak", "k."})
    MakeFile(dir / name, 4);
  fs::create_directory(dir / "album.bmp");  // a folder named like an image is listed
  fs::create_directory(dir / "plain");

  EXPECT_EQ(List(dir), (std::vector<std::string>{".hidden.gif", "a.JPG", "album.bmp", "b.jpg",
                                                 "c.Png", "d.jpeg", "e.PSD", "f.j2c"}));
  const int album = m_list.GetIndex(W(dir / "album.bmp"));
  ASSERT_GE(album, 0);
  EXPECT_EQ(m_list.GetEntry(album)->nSize, 0u);
  EXPECT_TRUE(m_list.GetString(album).IsEmpty()) << "a listed folder hands out no path";
  EXPECT_EQ(m_list.GetString(m_list.GetIndex(W(dir / "a.JPG"))), W(dir / "a.JPG"));
  EXPECT_TRUE(m_list.GetInfoBrowse(0)->bHasFiles);
  EXPECT_EQ(m_list.GetInfoBrowse(0)->nLast, 7);
}

TEST_F(SortDirTest, FilesWithoutExtensionOnlyWithTheOption) {
  const fs::path dir = testsupport::NewTempDir();
  MakeFile(dir / "a.png", 4);
  MakeFile(dir / "README", 4);
  MakeFile(dir / "trailing.", 4);
  fs::create_directory(dir / "plainfolder");
  EXPECT_EQ(List(dir), (std::vector<std::string>{"a.png"}));
  gbListFilesWithoutExtension = 1;
  EXPECT_EQ(List(dir), (std::vector<std::string>{"a.png", "README", "trailing."}));
  gbListFilesWithoutExtension = 2;  // only exactly 1 turns it on
  EXPECT_EQ(List(dir), (std::vector<std::string>{"a.png"}));
}

TEST_F(SortDirTest, ExtensionsRegisteredInTwoLetterCasesListAFileOnce) {
  const fs::path dir = testsupport::NewTempDir();
  MakeFile(dir / "x.heic", 4);
  MakeFile(dir / "y.HeIc", 4);
  EXPECT_TRUE(List(dir).empty());
  RegisterFileExtension(u"heic");
  RegisterFileExtension(u"HEIC");
  EXPECT_EQ(List(dir), (std::vector<std::string>{"x.heic", "y.HeIc"}));
}

TEST_F(SortDirTest, BadEntriesAreSkipped) {
  const fs::path dir = testsupport::NewTempDir();
  const fs::path elsewhere = testsupport::NewTempDir("elsewhere");
  MakeFile(dir / "real.jpg", 7);
  MakeFile(elsewhere / "secret.jpg", 9);
  fs::create_directory(elsewhere / "folder.jpg");
  fs::create_symlink("real.jpg", dir / "inside.jpg");
  fs::create_symlink(elsewhere / "secret.jpg", dir / "outside.jpg");
  fs::create_symlink("../" + elsewhere.filename().string() + "/secret.jpg", dir / "upward.jpg");
  fs::create_symlink(elsewhere / "folder.jpg", dir / "outfolder.jpg");
  fs::create_symlink("gone.jpg", dir / "broken.jpg");
  fs::create_symlink("loop.jpg", dir / "loop.jpg");
  ASSERT_EQ(mkfifo((dir / "pipe.jpg").c_str(), 0600), 0);
  const fs::path badName = dir / std::string("bad\xff\xfe.jpg");
  const int fd = open(badName.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  close(fd);

  EXPECT_EQ(List(dir), (std::vector<std::string>{"inside.jpg", "real.jpg"}));
  EXPECT_EQ(m_list.GetEntry(0)->nSize, 7u) << "a link inside the folder shows its target";
}

// A large folder is stat-ed in parts on several threads: every entry must
// still get its own size and time, and bad entries anywhere are skipped.
TEST_F(SortDirTest, LargeFolderKeepsEachFilesOwnFacts) {
  const fs::path dir = testsupport::NewTempDir();
  constexpr int kFiles = 4500;
  for (int i = 0; i < kFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "p%05d.jpg", i);
    const int fd = open((dir / name).c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    const timespec times[2] = {{kBaseTime + i, 0}, {kBaseTime + i, 0}};
    ASSERT_EQ(ftruncate(fd, off_t(i % 61)), 0);
    ASSERT_EQ(futimens(fd, times), 0);
    close(fd);
  }
  ASSERT_EQ(mkfifo((dir / "p02250x.jpg").c_str(), 0600), 0);
  fs::create_symlink("p04499.jpg", dir / "p00000x.jpg");
  const std::vector<std::string> names = List(dir);
  ASSERT_EQ(names.size(), size_t(kFiles + 1));
  for (int i = 0, at = 0; i < kFiles; ++i, ++at) {
    if (i == 1) ++at;  // the link sorts after p00000.jpg
    const CFileEntry* entry = m_list.GetEntry(at);
    ASSERT_EQ(entry->nSize, uint64_t(i % 61)) << names[size_t(at)];
    ASSERT_EQ(entry->ftLastWriteTime, FileTimeFromUnix(kBaseTime + i, 0)) << names[size_t(at)];
  }
  EXPECT_EQ(names[1], "p00000x.jpg");
  EXPECT_EQ(m_list.GetEntry(1)->nSize, uint64_t(4499 % 61)) << "a link shows its target";
}

// With facts later a by-name list is made from the names alone; the facts
// are filled in afterwards by path, and an order that needs them reads them.
TEST_F(SortDirTest, FactsLaterListsByNameFirstAndFillsByPath) {
  const fs::path dir = testsupport::NewTempDir();
  MakeFile(dir / "b.jpg", 5, kBaseTime + 20);
  MakeFile(dir / "a.jpg", 9, kBaseTime + 10);
  MakeFile(dir / "c.jpg", 0, kBaseTime + 30);
  fs::create_symlink("b.jpg", dir / "link.jpg");
  m_list.SetFactsLater(true);
  EXPECT_EQ(List(dir), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg", "link.jpg"}));
  EXPECT_TRUE(m_list.GetEntry(0)->bFactsPending);
  EXPECT_FALSE(m_list.GetEntry(3)->bFactsPending) << "a link is checked while listing";
  EXPECT_EQ(m_list.GetEntry(3)->nSize, 5u);
  // Waiting entries are not taken for empty files.
  EXPECT_EQ(m_list.GetString(2), W(dir / "c.jpg"));

  const std::vector<MyString> paths = m_list.PendingFactsPaths();
  ASSERT_EQ(paths.size(), 3u);
  fs::remove(dir / "b.jpg");
  const std::vector<tagFILEFACTS> facts = ReadFileFacts(paths);
  EXPECT_EQ(m_list.FillPendingFacts(paths, facts), 3);
  EXPECT_EQ(m_list.GetEntry(0)->nSize, 9u);
  EXPECT_EQ(m_list.GetEntry(0)->ftLastWriteTime, FileTimeFromUnix(kBaseTime + 10, 0));
  EXPECT_TRUE(m_list.PendingFactsPaths().empty());
  // Gone and empty files count as empty once their facts are in.
  EXPECT_TRUE(m_list.GetString(1).IsEmpty());
  EXPECT_TRUE(m_list.GetString(2).IsEmpty());

  gdwSortingMode = 3;
  MakeFile(dir / "b.jpg", 5, kBaseTime + 20);
  EXPECT_EQ(List(dir), (std::vector<std::string>{"a.jpg", "b.jpg", "link.jpg", "c.jpg"}));
  EXPECT_TRUE(m_list.PendingFactsPaths().empty()) << "the date order reads the facts";
}

TEST_F(SortDirTest, FolderThatCannotBeReadListsNothing) {
  const fs::path dir = testsupport::NewTempDir();
  EXPECT_TRUE(List(dir / "missing").empty());
  MakeFile(dir / "file.jpg", 3);
  EXPECT_TRUE(List(dir / "file.jpg").empty()) << "a file is not a folder";
  m_list.InitializeSortDir(MyString(), 100);
  m_list.CreateSortedImageList();
  EXPECT_EQ(m_list.GetLengthFileList(), 0);
  m_list.RemoveAll();
  m_list.CreateSortedImageList();  // no group, no directory
  EXPECT_EQ(m_list.GetLengthFileList(), 0);
}

struct SortCase {
  uint32_t nMode;
  int32_t bAscending;
  std::vector<std::string> expected;
};

void PrintTo(const SortCase& c, std::ostream* os) {
  *os << "mode " << c.nMode << (c.bAscending ? " ascending" : " descending");
}

class SortModeTest : public SortDirTest, public ::testing::WithParamInterface<SortCase> {};

TEST_P(SortModeTest, OrdersByTheKeyThenByName) {
  const fs::path dir = testsupport::NewTempDir();
  MakeFile(dir / "b.png", 30, kBaseTime + 1);
  MakeFile(dir / "A.jpg", 10, kBaseTime + 3);
  MakeFile(dir / "c.JPG", 20, kBaseTime + 2);
  MakeFile(dir / "d.gif", 40, kBaseTime + 0);
  MakeFile(dir / "img10.bmp", 5, kBaseTime + 5);
  MakeFile(dir / "img9.bmp", 50, kBaseTime + 4);
  gdwSortingMode = GetParam().nMode;
  bSortAscending = GetParam().bAscending;
  EXPECT_EQ(List(dir), GetParam().expected);
}

std::vector<std::string> Reversed(std::vector<std::string> v) {
  std::reverse(v.begin(), v.end());
  return v;
}

const std::vector<std::string> kByName = {"A.jpg", "b.png",    "c.JPG",
                                          "d.gif", "img9.bmp", "img10.bmp"};
const std::vector<std::string> kByExtension = {"img9.bmp", "img10.bmp", "d.gif",
                                               "A.jpg",    "c.JPG",     "b.png"};
const std::vector<std::string> kBySize = {"img10.bmp", "A.jpg", "c.JPG",
                                          "b.png",     "d.gif", "img9.bmp"};
const std::vector<std::string> kByDate = {"d.gif", "b.png",    "c.JPG",
                                          "A.jpg", "img9.bmp", "img10.bmp"};

INSTANTIATE_TEST_SUITE_P(
    SortDirTest, SortModeTest,
    ::testing::Values(SortCase{0, 1, kByName}, SortCase{0, 0, Reversed(kByName)},
                      SortCase{1, 1, kByExtension}, SortCase{1, 0, Reversed(kByExtension)},
                      SortCase{2, 1, kBySize}, SortCase{2, 0, Reversed(kBySize)},
                      SortCase{3, 1, kByDate}, SortCase{3, 0, Reversed(kByDate)},
                      SortCase{7, 1, kByName}, SortCase{0xFFFFFFFF, 0, Reversed(kByName)}));

TEST_F(SortDirTest, ExtensionKeyIgnoresLetterCaseAndPutsNoExtensionLast) {
  const fs::path dir = testsupport::NewTempDir();
  for (const char* name : {"a.JPG", "b.jpg", "NOEXT", "c.bmp", "also"}) MakeFile(dir / name, 4);
  CFileEntry upper{W(dir / "a.JPG")}, lower{W(dir / "b.jpg")}, none{W(dir / "NOEXT")};
  EXPECT_EQ(CompareSortKeys(upper, lower, 1), 0);
  EXPECT_GT(CompareSortKeys(none, upper, 1), 0);
  EXPECT_LT(CompareSortKeys(upper, none, 1), 0);
  EXPECT_EQ(CompareSortKeys(none, none, 1), 0);

  gbListFilesWithoutExtension = 1;
  gdwSortingMode = 1;
  EXPECT_EQ(List(dir), (std::vector<std::string>{"c.bmp", "a.JPG", "b.jpg", "also", "NOEXT"}));
  bSortAscending = 0;
  EXPECT_EQ(List(dir), (std::vector<std::string>{"NOEXT", "also", "b.jpg", "a.JPG", "c.bmp"}));
}

TEST_F(SortDirTest, SizeSortUsesTheWholeSize) {
  const fs::path dir = testsupport::NewTempDir();
  MakeFile(dir / "small.jpg", 2);
  MakeFile(dir / "big.jpg", 0);
  MakeFile(dir / "four.jpg", 0);
  // Sparse files: no disk space taken. 4 GiB + 1 byte must not sort as 1.
  ASSERT_EQ(truncate((dir / "big.jpg").c_str(), off_t((uint64_t(4) << 30) + 1)), 0);
  ASSERT_EQ(truncate((dir / "four.jpg").c_str(), off_t(uint64_t(4) << 30)), 0);
  gdwSortingMode = 2;
  EXPECT_EQ(List(dir), (std::vector<std::string>{"small.jpg", "four.jpg", "big.jpg"}));
  EXPECT_EQ(m_list.GetEntry(2)->nSize, (uint64_t(4) << 30) + 1);
  // A file of exactly 4 GiB is not empty: its path is handed out.
  EXPECT_EQ(m_list.GetString(1), W(dir / "four.jpg"));
  EXPECT_EQ(m_list.DeleteFileW(1), 1);
}

// Whatever the folder, every neighbour pair respects the mode's key and
// descending is the exact reverse of ascending.
TEST_F(SortDirTest, RandomFolderIsOrderedInEveryMode) {
  const fs::path dir = testsupport::NewTempDir();
  std::mt19937 rng(7);
  const char* extensions[] = {"jpg", "JPG", "png", "Gif", "bmp", "tif", "JPEG"};
  for (int i = 0; i < 300; ++i) {
    const std::string name = (rng() % 2 ? "IMG_" : "img ") + std::to_string(rng() % 120) + "_" +
                             std::to_string(i) + "." + extensions[rng() % 7];
    MakeFile(dir / name, rng() % 20, kBaseTime + int64_t(rng() % 15));
  }
  for (uint32_t mode = 0; mode < 4; ++mode) {
    gdwSortingMode = mode;
    bSortAscending = 1;
    const std::vector<std::string> ascending = List(dir);
    ASSERT_EQ(ascending.size(), 300u);
    for (int i = 0; i + 1 < m_list.GetLengthFileList(); ++i) {
      const CFileEntry& a = *m_list.GetEntry(i);
      const CFileEntry& b = *m_list.GetEntry(i + 1);
      const int key = CompareSortKeys(a, b, mode);
      ASSERT_LE(key, 0) << mode << ": " << a.strPath.ToUtf8() << " / " << b.strPath.ToUtf8();
      if (key == 0) {
        ASSERT_LT(a.strPath.Compare(b.strPath), 0) << mode;
      }
    }
    bSortAscending = 0;
    EXPECT_EQ(List(dir), Reversed(ascending)) << mode;
  }
}

// The name order is MyString::Compare's, whatever the names: letter case in
// and beyond ASCII, runs of digits with leading zeros, and names that
// differ only in case or zeros.
TEST_F(SortDirTest, NameOrderIsCompareOrder) {
  const fs::path dir = testsupport::NewTempDir();
  const char16_t alphabet[] =
      u"aBzZ0001239 -_.\u00e9\u00c9\u00df\u03a3\u03c3\u03c2\u212a"
      u"k\u4e2d";
  std::mt19937 rng(11);
  MyStringList expected;
  for (int i = 0; i < 400; ++i) {
    std::u16string name;
    const size_t length = 1 + rng() % 8;
    for (size_t k = 0; k < length; ++k) name += alphabet[rng() % (std::size(alphabet) - 1)];
    const MyString path = W(dir) + u"/" + MyString(name + u".jpg");
    if (fs::exists(CStrAW::ToPath(path))) continue;
    MakeFile(CStrAW::ToPath(path), 1);
    expected.Append(path);
  }
  expected.tSortList();
  List(dir);
  ASSERT_EQ(size_t(m_list.GetLengthFileList()), expected.GetListLength());
  for (int i = 0; i < m_list.GetLengthFileList(); ++i)
    ASSERT_EQ(m_list.GetEntry(i)->strPath, expected[size_t(i)]) << i;
}

// Entries pushed from other folders sort with the scanned ones by full path.
TEST_F(SortDirTest, PushedEntriesSortWithTheScannedOnes) {
  const fs::path parent = testsupport::NewTempDir();
  for (const char* name : {"img2/b.jpg", "img10/a.jpg", "img2/a.jpg", "Img02/c.jpg", "img1.jpg"})
    MakeFile(parent / name, 1);
  m_list.InitializeSortDir(W(parent / "img10"), 100);
  for (const char* name : {"img2/b.jpg", "Img02/c.jpg", "img2/a.jpg", "img1.jpg"})
    m_list.PushImage(W(parent / name));
  m_list.CreateSortedImageList();
  std::vector<std::string> paths;
  for (int i = 0; i < m_list.GetLengthFileList(); ++i)
    paths.push_back(m_list.GetEntry(i)->strPath.Mid(W(parent).GetLength() + 1).ToUtf8());
  EXPECT_EQ(paths, (std::vector<std::string>{"img1.jpg", "img2/a.jpg", "img2/b.jpg", "Img02/c.jpg",
                                             "img10/a.jpg"}));
}

struct LetterCase {
  char16_t ch;
  int nStart;
  int nExpected;
};

void PrintTo(const LetterCase& c, std::ostream* os) {
  *os << "U+" << std::hex << unsigned(c.ch) << std::dec << " from " << c.nStart;
}

class FirstLaterTest : public ::testing::TestWithParam<LetterCase> {};

TEST_P(FirstLaterTest, SearchesOnFromStartThenWraps) {
  // Unsorted on purpose: pushed in this order.
  static const char* const names[] = {"apple.jpg", "Banana.jpg", "cherry.jpg",     "blue.jpg",
                                      "1st.jpg",   "_x.jpg",     "\xc3\xa9lan.jpg"};
  const fs::path dir = testsupport::NewTempDir();
  SortDir list;
  list.InitializeSortDir(W(dir), 100);
  for (const char* name : names) {
    MakeFile(dir / name, 1);
    list.PushImage(W(dir / name));
  }
  ASSERT_EQ(list.GetLengthFileList(), 7);
  EXPECT_EQ(list.GetIndexFirstLater(GetParam().ch, GetParam().nStart), GetParam().nExpected);
}

INSTANTIATE_TEST_SUITE_P(
    SortDirTest, FirstLaterTest,
    ::testing::Values(LetterCase{u'B', 0, 1}, LetterCase{u'b', 0, 1}, LetterCase{u'B', 2, 3},
                      LetterCase{u'B', 4, 1},   // wraps to the front
                      LetterCase{u'B', 7, 1},   // start = count: the whole list from 0
                      LetterCase{u'A', 1, 0},   // the start entry's predecessors come last
                      LetterCase{u'Z', 0, -1},  // from 0: once, no wrap
                      LetterCase{u'Z', 3, -1}, LetterCase{u'1', 0, 4}, LetterCase{u'_', 2, 5},
                      LetterCase{u'C', -5, 2},  // a negative start searches from 0
                      LetterCase{u'\u00e9', 0, 6},
                      LetterCase{u'\u00c9', 0, -1},  // only a to z are upper-cased
                      LetterCase{u'A', 99, 0}));     // beyond the end: the whole list

TEST(SortDirEmptyTest, FirstLaterOnEmptyListIsMinusOne) {
  SortDir list;
  EXPECT_EQ(list.GetIndexFirstLater(u'A', 0), -1);
  EXPECT_EQ(list.GetIndexFirstLater(u'A', 3), -1);
  EXPECT_EQ(list.GetIndex(MyString(u"/x.jpg")), -1);
  EXPECT_EQ(list.GetInfoBrowse(0), nullptr);
  EXPECT_EQ(list.GetInfoBrowse(-1), nullptr);
  EXPECT_EQ(list.Remove(0), 0);
  EXPECT_EQ(list.DeleteFileW(0), 0);
  EXPECT_EQ(list.DeleteFileW(-1), 0);
  EXPECT_TRUE(list.GetString(-1).IsEmpty());
}

TEST_F(SortDirTest, PushImageKeepsOrderAndSkipsWhatCannotBeRead) {
  const fs::path dir = testsupport::NewTempDir();
  MakeFile(dir / "z.jpg", 3, kBaseTime + 9);
  MakeFile(dir / "a.jpg", 0);
  m_list.InitializeSortDir(W(dir) + u".lrm", 100);
  m_list.PushImage(W(dir / "z.jpg"));
  m_list.PushImage(W(dir / "missing.jpg"));
  m_list.PushImage(MyString());
  m_list.PushFile(std::make_unique<MyString>(W(dir / "a.jpg")));
  m_list.PushFile(nullptr);
  EXPECT_EQ(Names(m_list), (std::vector<std::string>{"z.jpg", "a.jpg"}));
  EXPECT_EQ(m_list.GetEntry(0)->nSize, 3u);
  EXPECT_EQ(m_list.GetEntry(0)->ftLastWriteTime, FileTimeFromUnix(kBaseTime + 9, 0));
  EXPECT_TRUE(m_list.GetString(1).IsEmpty()) << "an empty file hands out no path";
  EXPECT_EQ(m_list.DeleteFileW(1), 0) << "and cannot be deleted from the list";
  EXPECT_EQ(m_list.DeleteFileW(0), 1);
  EXPECT_TRUE(fs::exists(dir / "z.jpg")) << "the file itself stays";
  EXPECT_EQ(Names(m_list), (std::vector<std::string>{"a.jpg"}));
}

class SortDirGroupTest : public SortDirTest {
 protected:
  // Two folders of 3 and 2 images appended as two groups.
  void SetUp() override {
    m_first = testsupport::NewTempDir("first");
    m_second = testsupport::NewTempDir("second");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) MakeFile(m_first / name, 5);
    for (const char* name : {"d.png", "e.png"}) MakeFile(m_second / name, 5);
    for (const fs::path& folder : {m_first, m_second}) {
      SortDir source;
      source.InitializeSortDir(W(folder), 10);
      source.CreateSortedImageList();
      m_list.Append(source.GetEntries(), source.GetDirectory());
    }
  }

  fs::path m_first, m_second;
};

TEST_F(SortDirGroupTest, AppendedGroupsFollowEachOther) {
  ASSERT_EQ(m_list.GetGroupCount(), 2);
  EXPECT_EQ(Names(m_list), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg", "d.png", "e.png"}));
  const CInfoBrowse* second = m_list.GetInfoBrowse(1);
  EXPECT_EQ(second->strName, W(m_second) + u"/");
  EXPECT_EQ(second->nFirst, 3);
  EXPECT_EQ(second->nLast, 4);
  EXPECT_TRUE(second->bHasFiles);
}

TEST_F(SortDirGroupTest, RemovingTheFirstGroupMovesTheNextDown) {
  EXPECT_EQ(m_list.Remove(0), 1);
  EXPECT_EQ(Names(m_list), (std::vector<std::string>{"d.png", "e.png"}));
  ASSERT_EQ(m_list.GetGroupCount(), 1);
  EXPECT_EQ(m_list.GetInfoBrowse(0)->nFirst, 0);
  EXPECT_EQ(m_list.GetInfoBrowse(0)->nLast, 1);
  EXPECT_EQ(m_list.Remove(1), 0);
  EXPECT_EQ(m_list.Remove(-1), 0);
}

TEST_F(SortDirGroupTest, AppendReadsTheFilesAgain) {
  SortDir source;
  source.InitializeSortDir(W(m_first), 10);
  source.CreateSortedImageList();
  fs::remove(m_first / "b.jpg");
  std::vector<CFileEntry*> entries = source.GetEntries();
  entries.insert(entries.begin(), nullptr);
  m_list.Append(entries, MyString(u"third"));
  EXPECT_EQ(m_list.GetLengthFileList(), 7) << "the vanished file is left out";
  const CInfoBrowse* third = m_list.GetInfoBrowse(2);
  EXPECT_EQ(third->nFirst, 5);
  EXPECT_EQ(third->nLast, 6);
  // The source list still owns its entries.
  EXPECT_EQ(source.GetLengthFileList(), 3);

  m_list.Append(std::vector<CFileEntry*>{nullptr}, MyString(u"nothing"));
  EXPECT_FALSE(m_list.GetInfoBrowse(3)->bHasFiles);
  EXPECT_EQ(m_list.Remove(3), 1);
  EXPECT_EQ(m_list.GetLengthFileList(), 7);
}

TEST_F(SortDirGroupTest, CallerMadeGroupEndsAtTheListsEnd) {
  auto group = std::make_unique<CInfoBrowse>();
  group->strName = u"/some/portfolio.lrm";
  group->nFirst = 3;
  group->bHasFiles = true;
  m_list.Append(std::move(group));
  m_list.Append(std::unique_ptr<CInfoBrowse>());  // ignored
  ASSERT_EQ(m_list.GetGroupCount(), 3);
  EXPECT_EQ(m_list.GetInfoBrowse(2)->nLast, 4);
}

TEST_F(SortDirGroupTest, GroupPointingPastTheListRemovesOnlyRealEntries) {
  auto group = std::make_unique<CInfoBrowse>();
  group->nFirst = 4;
  group->bHasFiles = true;
  m_list.Append(std::move(group));
  m_list.GetInfoBrowse(2)->nLast = 40;
  EXPECT_EQ(m_list.Remove(2), 1);
  EXPECT_EQ(Names(m_list), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg", "d.png"}));
}

TEST_F(SortDirTest, RenameFileTellsItsThreeOutcomesApart) {
  const fs::path dir = testsupport::NewTempDir();
  for (const char* name : {"a.jpg", "c.jpg", "e.jpg"}) MakeFile(dir / name, 6);
  List(dir);

  // Moved and renamed in place: the name order is not restored.
  EXPECT_EQ(m_list.RenameFile(W(dir / "a.jpg"), W(dir / "z.jpg")), 1);
  EXPECT_TRUE(fs::exists(dir / "z.jpg"));
  EXPECT_EQ(Names(m_list), (std::vector<std::string>{"z.jpg", "c.jpg", "e.jpg"}));
  EXPECT_EQ(m_list.GetEntry(0)->nSize, 6u);

  // Moved, but not listed.
  MakeFile(dir / "unlisted.txt", 1);
  EXPECT_EQ(m_list.RenameFile(W(dir / "unlisted.txt"), W(dir / "other.txt")), -1);
  EXPECT_TRUE(fs::exists(dir / "other.txt"));

  // Refused: the source is missing, or the target exists (nothing overwritten).
  EXPECT_EQ(m_list.RenameFile(W(dir / "missing.jpg"), W(dir / "b.jpg")), 0);
  EXPECT_EQ(m_list.RenameFile(W(dir / "c.jpg"), W(dir / "e.jpg")), 0);
  EXPECT_TRUE(fs::exists(dir / "c.jpg"));
  EXPECT_EQ(fs::file_size(dir / "e.jpg"), 6u);
  EXPECT_EQ(Names(m_list), (std::vector<std::string>{"z.jpg", "c.jpg", "e.jpg"}));
  EXPECT_EQ(m_list.RenameFile(MyString(), W(dir / "x.jpg")), 0);
}

}  // namespace
