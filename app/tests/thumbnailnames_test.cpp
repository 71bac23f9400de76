#include "browse/thumbnailnames.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

// 2004-07-15 09:05:37 UTC.
constexpr FILETIME64 kJuly2004 = 116444736000000000ull + 1089882337ull * 10000000u;

struct NameCase {
  const char16_t* pszFile;
  FILETIME64 ftTime;
  bool bHighQuality;
  const char16_t* pszFormat;
  const char16_t* pszName;
};

class ThumbnailNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ThumbnailNameTest, NameOfFile) {
  const NameCase& c = GetParam();
  EXPECT_EQ(CThumbnailNames::FileName(c.pszFile, c.ftTime, c.bHighQuality, c.pszFormat).ToUtf8(),
            MyString(c.pszName).ToUtf8());
}

INSTANTIATE_TEST_SUITE_P(
    Names, ThumbnailNameTest,
    ::testing::Values(
        NameCase{u"IMG_0012.jpg", kJuly2004, false, u"", u"IMG_0012(2004715953)jpg.JPEG"},
        NameCase{u"IMG_0012.jpg", kJuly2004, true, u"", u"IMG_0012(2004715953)jpg_hq.JPEG"},
        // Seconds 37 and 30 share a ten-second span; 40 does not.
        NameCase{u"IMG_0012.jpg", kJuly2004 - 70000000, false, u"",
                 u"IMG_0012(2004715953)jpg.JPEG"},
        NameCase{u"IMG_0012.jpg", kJuly2004 + 30000000, false, u"",
                 u"IMG_0012(2004715954)jpg.JPEG"},
        NameCase{u"photo.png", kJuly2004, false, u"", u"photo(2004715953)png.JPEG"},
        NameCase{u"a.b.TIF[0]", kJuly2004, false, u"", u"a.b(2004715953)TIF.JPEG"},
        NameCase{u"scan.0tif0", kJuly2004, false, u"", u"scan(2004715953)tif.JPEG"},
        NameCase{u"noext", kJuly2004, false, u"", u"noext(2004715953)TMP.JPEG"},
        NameCase{u"noext.TMP", kJuly2004, false, u"", u"noext(2004715953)TMP.JPEG"},
        NameCase{u"noext", kJuly2004, false, u"jpg", u"noext(2004715953)JPGTMP.JPEG"},
        NameCase{u".hidden", kJuly2004, true, u"", u".hidden(2004715953)TMP_hq.JPEG"},
        // 1999-12-31 23:59:59: no padding anywhere.
        NameCase{u"x.gif", 116444736000000000ull + 946684799ull * 10000000u, false, u"",
                 u"x(1999123123595)gif.JPEG"}));

struct FindCase {
  bool bHighQuality;
  bool bHighExists;
  bool bNormalExists;
  const char* pszFound;  // "hq", "normal" or ""
};

class ThumbnailFindTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(ThumbnailFindTest, FindRules) {
  const FindCase& c = GetParam();
  const MyString high = u"/c/A(2004715953)jpg_hq.JPEG";
  const MyString normal = u"/c/A(2004715953)jpg.JPEG";
  std::set<std::u16string> present;
  if (c.bHighExists) present.insert(high.str());
  if (c.bNormalExists) present.insert(normal.str());
  const MyString found = CThumbnailNames::Find(
      high, c.bHighQuality, [&](const MyString& path) { return present.count(path.str()) != 0; });
  const std::string expected = c.pszFound;
  EXPECT_EQ(found.ToUtf8(), expected == "hq"       ? high.ToUtf8()
                            : expected == "normal" ? normal.ToUtf8()
                                                   : std::string());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ThumbnailFindTest,
    ::testing::Values(FindCase{true, true, true, "hq"}, FindCase{true, false, true, ""},
                      FindCase{true, false, false, ""}, FindCase{false, true, true, "hq"},
                      FindCase{false, true, false, "hq"}, FindCase{false, false, true, "normal"},
                      FindCase{false, false, false, ""}));

TEST(ThumbnailMirror, InsideTheRootByPathNotByText) {
  const CThumbnailNames names(u"/home/ann/.cache/ZOKA/Lorimo/LorimoCache/");
  EXPECT_EQ(names.MirrorFolder(u"/home/ann/Photos").ToUtf8(),
            "/home/ann/.cache/ZOKA/Lorimo/LorimoCache/home/ann/Photos");
  EXPECT_EQ(names.MirrorFolder(u"/").ToUtf8(), "/home/ann/.cache/ZOKA/Lorimo/LorimoCache");
  // A user folder that only mentions the cache's name is mirrored.
  EXPECT_FALSE(names.MirrorFolder(u"/home/ann/LorimoCache backup").IsEmpty());
  EXPECT_FALSE(names.MirrorFolder(u"/home/ann/.cache/ZOKA/Lorimo/LorimoCache2").IsEmpty());
  EXPECT_TRUE(names.MirrorFolder(u"/home/ann/.cache/ZOKA/Lorimo/LorimoCache").IsEmpty());
  EXPECT_TRUE(names.MirrorFolder(u"/home/ann/.cache/ZOKA/Lorimo/LorimoCache/home").IsEmpty());
  EXPECT_TRUE(names.MirrorFolder(u"relative/folder").IsEmpty());
  EXPECT_EQ(names.CachePath(u"/p/IMG_0012.jpg", kJuly2004, false).ToUtf8(),
            "/home/ann/.cache/ZOKA/Lorimo/LorimoCache/p/IMG_0012(2004715953)jpg.JPEG");
}

}  // namespace
