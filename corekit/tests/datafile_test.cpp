#include "corekit/datafile.h"

#include <climits>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "corekit/slidesfile.h"
#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

std::string Join(const MyStringList& list) {
  std::string joined;
  for (const MyString& s : list) joined += s.ToUtf8() + "|";
  return joined;
}

TEST(CDataFileTest, RoundTripKeepsOrderValuesAndComments) {
  const fs::path path = testsupport::NewTempDir() / "LorimoSettings.ini";
  {
    CDataFile file(W(path));
    file.CreateSection(u"", u"Lorimo settings\nexported for a report");
    file.CreateKey(u"Version", u"2", u"", u"");
    file.CreateSection(u"SHOW WINDOW", u"");
    file.CreateKey(u" Tools\tCtrl+F3", u"1", u"", u"SHOW WINDOW");
    file.CreateKey(u"\"Page Down\"", u"3,3,0", u"keyboard", u"SHOW WINDOW");
    file.CreateSection(u"AUTO PLAY DELAY", u"milliseconds\n\nafter a blank comment line");
    file.SetValue(u"Auto Play Delay", u"1000ms", u"", u"AUTO PLAY DELAY");
    file.SetInt(u"Count", -12, u"", u"SHOW WINDOW");
    file.SetClosingComment(u"end");
    ASSERT_TRUE(file.IsDirty());
  }  // written when released
  const std::string text = ReadFile(path);
  CDataFile file;
  ASSERT_EQ(file.Load(W(path)), 1);
  EXPECT_FALSE(file.IsDirty());
  EXPECT_EQ(Join(file.GetSectionNames()), "|SHOW WINDOW|AUTO PLAY DELAY|");
  EXPECT_EQ(Join(file.GetKeyNames(u"show window")), " Tools\tCtrl+F3|\"Page Down\"|Count|");
  EXPECT_EQ(file.GetSectionComment(u""), u"Lorimo settings\nexported for a report");
  EXPECT_EQ(file.GetSectionComment(u"AUTO PLAY DELAY"),
            u"milliseconds\n\nafter a blank comment line");
  EXPECT_EQ(file.GetKeyComment(u"\"page down\"", u"SHOW WINDOW"), u"keyboard");
  EXPECT_EQ(file.GetValue(u" Tools\tCtrl+F3", u"SHOW WINDOW"), u"1");
  EXPECT_EQ(file.GetInt(u"Count", u"SHOW WINDOW"), -12);
  EXPECT_EQ(file.GetString(u"Version"), u"2");
  EXPECT_EQ(file.GetClosingComment(), u"end");
  EXPECT_EQ(file.ToText(), text);
  EXPECT_NE(text.find("; keyboard\n\"Page Down\"=3,3,0\n"), std::string::npos) << text;
}

class CDataFileEscapeTest : public ::testing::TestWithParam<std::u16string> {};

TEST_P(CDataFileEscapeTest, AnyNameOrValueSurvivesTheText) {
  const MyString text(GetParam());
  CDataFile written;
  ASSERT_EQ(written.SetValue(text.IsEmpty() ? MyString(u"k") : text, text, u"", text), 1);
  ASSERT_EQ(written.SetValue(u"after", u"x", u"", text), 1);
  CDataFile read;
  read.LoadFromText(written.ToText());
  EXPECT_EQ(Join(read.GetKeyNames(text)), Join(written.GetKeyNames(text))) << written.ToText();
  EXPECT_EQ(read.GetValue(text.IsEmpty() ? MyString(u"k") : text, text), text) << written.ToText();
  EXPECT_EQ(read.GetValue(u"after", text), u"x") << written.ToText();
}

INSTANTIATE_TEST_SUITE_P(Texts, CDataFileEscapeTest,
                         ::testing::Values(u"", u"plain", u" lead and trail ", u"a=b=c",
                                           u"[not a section]", u"; not a comment", u"# nor this",
                                           u"C:\\new\\table\\", u"\\n literally", u"two\nlines\r\n",
                                           u"\ttab\x01\x7f", u"Grüße 日本 \xD83D\xDCF7",
                                           u"\"quoted\"", u"ends with ]", u"\\s\\x41"));

struct ReadCase {
  const char* name;
  std::string text;
  const char16_t* section;
  const char16_t* key;
  std::optional<std::u16string> expected;  // none: the key must be missing
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class CDataFileReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(CDataFileReadTest, HandWrittenAndDamagedTextReadsSensibly) {
  const ReadCase& c = GetParam();
  CDataFile file;
  file.LoadFromText(c.text);
  if (c.expected) {
    EXPECT_TRUE(file.HasKey(c.key, c.section));
    EXPECT_EQ(file.GetValue(c.key, c.section).str(), *c.expected);
  } else {
    EXPECT_FALSE(file.HasKey(c.key, c.section));
  }
  // Whatever was read survives writing and reading again unchanged.
  CDataFile again;
  again.LoadFromText(file.ToText());
  EXPECT_EQ(again.ToText(), file.ToText());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CDataFileReadTest,
    ::testing::Values(
        ReadCase{"blanks", "  [ INST_DEF ]  \n\t StartImage =  /a b.jpg \t\n", u"inst_def",
                 u"startimage", u"/a b.jpg"},
        ReadCase{"crlf_bom", "\xEF\xBB\xBF[S]\r\nk=v\r\n", u"S", u"k", u"v"},
        ReadCase{"outside_section", "k=top\n[S]\nk=in\n", u"", u"K", u"top"},
        ReadCase{"first_duplicate_wins", "[S]\nk=1\nK=2\n", u"S", u"k", u"1"},
        ReadCase{"section_continues", "[S]\na=1\n[T]\n[s]\nb=2\n", u"S", u"b", u"2"},
        ReadCase{"unclosed_header", "[Slides\nHowMany=3\n", u"Slides", u"HowMany", u"3"},
        ReadCase{"no_equals_skipped", "[S]\njunk line\nk=v\n", u"S", u"junk line", std::nullopt},
        ReadCase{"empty_key_skipped", "[S]\n=v\nk=v\n", u"S", u"", std::nullopt},
        ReadCase{"value_with_semicolon", "[S]\nk=a ; b # c\n", u"S", u"k", u"a ; b # c"},
        ReadCase{"comment_lines", "[S]\n; k=1\n# k=2\nk=3\n", u"S", u"k", u"3"},
        ReadCase{"unknown_escape_kept", "[S]\nk=D:\\Photos\\x.jpg\\\n", u"S", u"k",
                 u"D:\\Photos\\x.jpg\\"},
        ReadCase{"invalid_utf8",
                 "[S]\nk=a\xff\xfe"
                 "b\n",
                 u"S", u"k",
                 u"a\xFFFD\xFFFD"
                 "b"},
        ReadCase{"nul_bytes", std::string("[S]\nk=a\0b\n\0\n", 12), u"S", u"k",
                 std::u16string(u"a\0b", 3)},
        ReadCase{"empty_value", "[S]\nk=\n", u"S", u"k", u""}),
    [](const auto& info) { return std::string(info.param.name); });

class CDataFileIntTest : public ::testing::TestWithParam<std::pair<const char16_t*, int32_t>> {};

TEST_P(CDataFileIntTest, GetIntReadsTheLeadingDecimal) {
  CDataFile file;
  file.SetValue(u"n", GetParam().first);
  EXPECT_EQ(file.GetInt(u"n"), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Numbers, CDataFileIntTest,
                         ::testing::Values(std::pair{u"42", 42}, std::pair{u"  -7", -7},
                                           std::pair{u"+3", 3}, std::pair{u"1000ms", 1000},
                                           std::pair{u"abc", 0}, std::pair{u"", 0},
                                           std::pair{u"-", 0}, std::pair{u"0x1F", 0},
                                           std::pair{u"99999999999", INT32_MAX},
                                           std::pair{u"-2147483648", INT32_MIN},
                                           std::pair{u"-99999999999999999999", INT32_MIN}));

TEST(CDataFileTest, WritesBackOnlyWhatChangedAndHasAName) {
  const fs::path dir = testsupport::NewTempDir();
  const fs::path path = dir / "install.ini";
  {
    CDataFile install(W(path));  // missing: nothing to read, but the name is kept
    EXPECT_EQ(install.GetValue(u"StartImage", u"INST_DEF"), u"");
    install.SetValue(u"StartImage", u"/home/ann/a.jpg", u"", u"INST_DEF");
  }
  ASSERT_TRUE(fs::exists(path));
  {
    CDataFile unchanged(W(path));
    unchanged.SetValue(u"StartImage", u"/home/ann/a.jpg", u"", u"INST_DEF");  // same value
    EXPECT_FALSE(unchanged.IsDirty());
    fs::remove(path);
  }
  EXPECT_FALSE(fs::exists(path));  // nothing changed, nothing written
  {
    CDataFile noName;
    noName.SetValue(u"k", u"v");
    EXPECT_EQ(noName.Save(), 0);
    EXPECT_FALSE(noName.GetLastError().IsEmpty());
  }
  CDataFile missing;
  EXPECT_EQ(missing.Load(W(dir / "nothing.ini")), 0);
  EXPECT_EQ(missing.Load(W(dir)), 0);  // a folder
  missing.SetFileName(MyString());     // keep the folder out of the destructor's way
}

TEST(CDataFileTest, NamesMatchWithoutCaseAndKeepTheFirstSpelling) {
  CDataFile file;
  file.SetValue(u"HowMany", u"1", u"", u"Slides");
  file.SetValue(u"HOWMANY", u"2", u"", u"SLIDES");
  file.SetKeyComment(u"howmany", u"count", u"slides");
  EXPECT_EQ(file.ToText(), "[Slides]\n; count\nHowMany=2\n");
  EXPECT_EQ(file.SetKeyComment(u"missing", u"x", u"Slides"), 0);
  EXPECT_EQ(file.SetValue(u"", u"x"), 0);
  EXPECT_EQ(file.DeleteKey(u"HOWmany", u"slides"), 1);
  EXPECT_EQ(file.GetKeyNames(u"Slides").GetListLength(), 0u);
  EXPECT_EQ(file.DeleteSection(u"SLIDES"), 1);
  EXPECT_FALSE(file.HasSection(u"Slides"));
}

// --- Portfolio files ---

TEST(CSlidesFileTest, SavedSlidesLoadBackInOrder) {
  const fs::path path = testsupport::NewTempDir() / "trip.lrm";
  CSlidesFile slides;
  slides.Append(u"/home/ann/Fotos/Grüße.jpg", 0);
  slides.Append(u"/home/ann/Fotos/b = c; d.png", 2500);
  slides.Append(u" /odd\nname.gif ", -1);
  ASSERT_EQ(slides.Save(W(path)), 1);
  const std::string text = ReadFile(path);
  EXPECT_EQ(text.rfind("[Slides]\nHowMany=3\nFile0=/home/ann/Fotos/Grüße.jpg\nTime0=0\n", 0), 0u)
      << text;

  CSlidesFile loaded;
  ASSERT_EQ(loaded.Load(W(path)), 1);
  ASSERT_EQ(loaded.GetCount(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(loaded.GetSlides()[i].strPath, slides.GetSlides()[i].strPath);
    EXPECT_EQ(loaded.GetSlides()[i].nDelay, slides.GetSlides()[i].nDelay);
  }
  CSlidesFile fewer;
  fewer.Append(u"/only.jpg", 1);
  ASSERT_EQ(fewer.Save(W(path)), 1);  // a new file, not a merge with the old one
  ASSERT_EQ(loaded.Load(W(path)), 1);
  EXPECT_EQ(loaded.GetCount(), 1u);
  EXPECT_EQ(ReadFile(path).find("File1"), std::string::npos);
}

struct SlidesCase {
  const char* name;
  std::string text;
  std::vector<std::pair<const char16_t*, int32_t>> expected;
};

void PrintTo(const SlidesCase& c, std::ostream* os) { *os << c.name; }

class CSlidesFileReadTest : public ::testing::TestWithParam<SlidesCase> {};

TEST_P(CSlidesFileReadTest, ReadsHowManySlidesWithinWhatThFileHolds) {
  CDataFile file;
  file.LoadFromText(GetParam().text);
  CSlidesFile slides;
  ASSERT_EQ(slides.Load(file), 1);
  ASSERT_EQ(slides.GetCount(), GetParam().expected.size());
  for (size_t i = 0; i < slides.GetCount(); ++i) {
    EXPECT_EQ(slides.GetSlides()[i].strPath, GetParam().expected[i].first) << i;
    EXPECT_EQ(slides.GetSlides()[i].nDelay, GetParam().expected[i].second) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CSlidesFileReadTest,
    ::testing::Values(
        SlidesCase{"missing_file_key",
                   "[Slides]\nHowMany=3\nFile0=/a.jpg\nTime0=5\nFile2=/c.jpg\nTime1=7\n",
                   {{u"/a.jpg", 5}, {u"", 7}, {u"/c.jpg", 0}}},
        SlidesCase{"fewer_than_present", "[Slides]\nHowMany=1\nFile0=/a\nFile1=/b\n", {{u"/a", 0}}},
        SlidesCase{"negative_count", "[Slides]\nHowMany=-5\nFile0=/a\n", {}},
        SlidesCase{"garbage_count", "[Slides]\nHowMany=many\nFile0=/a\n", {}},
        SlidesCase{"huge_count_cut",
                   "[Slides]\nHowMany=2147483647\nFile0=/a\nTime3=9\n",
                   {{u"/a", 0}, {u"", 0}, {u"", 0}, {u"", 9}}},
        SlidesCase{"huge_key_number",
                   "[Slides]\nHowMany=2000000000\nFile1999999999=/x\nTime7=5\n",
                   {{u"", 5}, {u"/x", 0}}},  // holes dropped instead of two billion slides
        SlidesCase{"leading_zero_key", "[Slides]\nHowMany=9\nFile007=/x\n", {}},
        SlidesCase{"no_section", "HowMany=1\nFile0=/a\n", {}},
        SlidesCase{"case_of_keys", "[slides]\nhowmany=1\nFILE0=/a\ntime0=3\n", {{u"/a", 3}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CSlidesFileTest, DroppedFilesAppendedThroughADataFileAreWrittenOnRelease) {
  const fs::path path = testsupport::NewTempDir() / "five.lrm";
  CSlidesFile five;
  for (int i = 0; i < 5; ++i) five.Append(CStrAW::printf(u"/img%d.jpg", i), 100);
  ASSERT_EQ(five.Save(W(path)), 1);
  {
    CDataFile file(W(path));
    int32_t h = file.GetInt(u"HowMany", u"Slides");
    for (const char16_t* dropped : {u"/new1.jpg", u"/new2.jpg"}) {
      file.SetValue(CStrAW::printf(u"File%d", h), dropped, u"", u"Slides");
      file.SetInt(CStrAW::printf(u"Time%d", h), 0, u"", u"Slides");
      ++h;
    }
    file.SetInt(u"HowMany", h, u"", u"Slides");
  }
  CSlidesFile seven;
  ASSERT_EQ(seven.Load(W(path)), 1);
  ASSERT_EQ(seven.GetCount(), 7u);
  EXPECT_EQ(seven.GetSlides()[5].strPath, u"/new1.jpg");
  EXPECT_EQ(seven.GetSlides()[6].strPath, u"/new2.jpg");
  EXPECT_EQ(seven.GetSlides()[6].nDelay, 0);

  CSlidesFile none;
  EXPECT_EQ(none.Load(W(path.parent_path() / "missing.lrm")), 0);
  EXPECT_FALSE(none.GetLastError().IsEmpty());
  EXPECT_EQ(none.Save(W(path.parent_path() / "no" / "such" / "folder.lrm")), 0);
}

}  // namespace
