#include "corekit/mystring.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
  const char16_t* path;
  const char16_t* folder;
  const char16_t* title;
  const char16_t* titleExt;
  const char16_t* ext;
};

class PathParts : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathParts, SplitsFolderNameAndExtension) {
  const PathCase& c = GetParam();
  const MyString s(c.path);
  EXPECT_EQ(s.GetStringPath(), MyString(c.folder));
  EXPECT_EQ(s.GetStringTitle(), MyString(c.title));
  EXPECT_EQ(s.GetStringTitleExt(), MyString(c.titleExt));
  EXPECT_EQ(s.GetStringExtension(), MyString(c.ext));
}

INSTANTIATE_TEST_SUITE_P(
    OddNames, PathParts,
    ::testing::Values(PathCase{u"/home/ann/pic.jpg", u"/home/ann", u"pic", u"pic.jpg", u".jpg"},
                      PathCase{u"/home/ann/README", u"/home/ann", u"README", u"README", u""},
                      PathCase{u"/photos.2020/scan", u"/photos.2020", u"scan", u"scan", u""},
                      PathCase{u"/a.b/c.d.tar.gz", u"/a.b", u"c.d.tar", u"c.d.tar.gz", u".gz"},
                      PathCase{u"/home/ann/.hidden", u"/home/ann", u".hidden", u".hidden", u""},
                      PathCase{u"/home/ann/.x.png", u"/home/ann", u".x", u".x.png", u".png"},
                      PathCase{u"/home/ann/dir/", u"/home/ann/dir", u"", u"", u""},
                      PathCase{u"/pic.PNG", u"/", u"pic", u"pic.PNG", u".PNG"},
                      PathCase{u"pic.lrm", u"", u"pic", u"pic.lrm", u".lrm"},
                      PathCase{u"/a/trailing.", u"/a", u"trailing", u"trailing.", u"."},
                      PathCase{u"", u"", u"", u"", u""}));

TEST(MyStringTest, SetExtensionReplacesAddsAndRemoves) {
  MyString s(u"/a.b/pic.jpeg");
  s.tSetStringExtension(u".png");
  EXPECT_EQ(s, MyString(u"/a.b/pic.png"));
  s.tSetStringExtension(u"bmp");
  EXPECT_EQ(s, MyString(u"/a.b/pic.bmp"));
  s.tSetStringExtension(u"");
  EXPECT_EQ(s, MyString(u"/a.b/pic"));
  s.tSetStringExtension(u".tif");  // a dot in the folder is not an extension
  EXPECT_EQ(s, MyString(u"/a.b/pic.tif"));
}

TEST(MyStringTest, ShaveDropsCharactersAndStopsAtEmpty) {
  MyString s(u"/folder/");
  s.tShaveLastChar(1);
  EXPECT_EQ(s, MyString(u"/folder"));
  s.tShaveFirstChar(2);
  EXPECT_EQ(s, MyString(u"older"));
  s.tShaveLastChar(100);
  EXPECT_TRUE(s.IsEmpty());
  s.tShaveFirstChar(3);
  EXPECT_TRUE(s.IsEmpty());
}

TEST(MyStringTest, CompareOrdersNamesAsUsersReadThem) {
  EXPECT_LT(MyString(u"img2.jpg").Compare(u"img10.jpg"), 0);
  EXPECT_LT(MyString(u"apple").Compare(u"Banana"), 0);
  EXPECT_GT(MyString(u"Zebra").Compare(u"apple"), 0);
  EXPECT_LT(MyString(u"a").Compare(u"ab"), 0);
  EXPECT_EQ(MyString(u"same").Compare(u"same"), 0);
  // Equal to the eye but different strings never compare equal, and the
  // order is antisymmetric.
  const MyString upper(u"Photo.JPG"), lower(u"photo.jpg");
  EXPECT_NE(upper.Compare(lower), 0);
  EXPECT_EQ(upper.Compare(lower), -lower.Compare(upper));
  EXPECT_NE(MyString(u"x01").Compare(u"x1"), 0);
  // Numbers longer than any machine integer still compare by value.
  EXPECT_LT(MyString(u"n99999999999999999999999").Compare(u"n100000000000000000000000"), 0);
  EXPECT_TRUE(MyString(u"IMG.Jpg").EqualsNoCase(u"img.jPG"));
  EXPECT_FALSE(MyString(u"img.jpg").EqualsNoCase(u"img.jpeg"));
  EXPECT_TRUE(MyString(u"ÄRGER").EqualsNoCase(u"ärger"));
}

TEST(MyStringTest, OperatorsAndErase) {
  MyString s(u"ab");
  s += u"cd";
  s += u'e';
  EXPECT_EQ(s + u"f", MyString(u"abcdef"));
  EXPECT_EQ(u"z" + s, MyString(u"zabcde"));
  s[0] = u'A';
  EXPECT_EQ(s, MyString(u"Abcde"));
  s.erase(1, 2);
  EXPECT_EQ(s, MyString(u"Ade"));
  s.erase(10);  // past the end: nothing happens
  EXPECT_EQ(s, MyString(u"Ade"));
}

TEST(MyStringListTest, ConvertFromMOFNSplitsFolderAndNames) {
  const char16_t multi[] = u"/home/ann\0a.jpg\0b.png\0\0";
  MyStringList list;
  EXPECT_EQ(list.ConvertFromMOFN(multi, sizeof multi / sizeof(char16_t) - 1), 2);
  ASSERT_EQ(list.GetListLength(), 2u);
  EXPECT_EQ(list[0], MyString(u"/home/ann/a.jpg"));
  EXPECT_EQ(list[1], MyString(u"/home/ann/b.png"));

  const char16_t single[] = u"/home/ann/one.gif\0\0";
  MyStringList one;
  EXPECT_EQ(one.ConvertFromMOFN(single, sizeof single / sizeof(char16_t) - 1), 1);
  EXPECT_EQ(one[0], MyString(u"/home/ann/one.gif"));

  const char16_t root[] = u"/\0x.bmp\0y.bmp";  // no final NUL: the count ends it
  MyStringList fromRoot;
  EXPECT_EQ(fromRoot.ConvertFromMOFN(root, sizeof root / sizeof(char16_t) - 1), 2);
  EXPECT_EQ(fromRoot[1], MyString(u"/y.bmp"));

  MyStringList none;
  EXPECT_EQ(none.ConvertFromMOFN(u"", 0), 0);
}

TEST(MyStringListTest, ConvertToSFOAndSort) {
  MyStringList list;
  list.Append(MyString(u"/b10"));
  list.Append(MyString(u"/B2"));
  list.Append(MyString(u"/a"));
  list.tSortList();
  EXPECT_EQ(list[0], MyString(u"/a"));
  EXPECT_EQ(list[1], MyString(u"/B2"));
  EXPECT_EQ(list[2], MyString(u"/b10"));
  const MyString sfo = list.ConvertToSFO();
  EXPECT_EQ(sfo.str(), std::u16string(u"/a\0/B2\0/b10\0\0", 13));
  list.ReleaseListMemory();
  EXPECT_EQ(list.GetListLength(), 0u);
}

}  // namespace
