#include "pixwork/formats.h"

#include <iterator>
#include <string>

#include <gtest/gtest.h>

// Registered extensions live for the whole process. CTest runs every case in
// its own process; when the program is run whole, the cases that register
// come after those that expect the built-in tables only.

namespace {

std::string Visible(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c == u'\0' ? '|' : char(c);
  return out;
}

constexpr char16_t kExpectedOpenFilter[] =
    u"Supported Formats \0"
    u"*.BMP;*.JPG;*.JPEG;*.PNG;*.PGM;*.PNM;*.PPM;*.TIF;*.JP2;*.J2C;*.GIF;*.HDF;*.PSD;*.LRM;\0"
    u"BMP Files (*.BMP)\0*.BMP\0"
    u"JPG Files (*.JPG)\0*.JPG\0"
    u"JPEG Files (*.JPEG)\0*.JPEG\0"
    u"PNG Files (*.PNG)\0*.PNG\0"
    u"PGM Files (*.PGM)\0*.PGM\0"
    u"PNM Files (*.PNM)\0*.PNM\0"
    u"PPM Files (*.PPM)\0*.PPM\0"
    u"TIF Files (*.TIF)\0*.TIF\0"
    u"JP2 Files (*.JP2)\0*.JP2\0"
    u"J2C Files (*.J2C)\0*.J2C\0"
    u"GIF Files (*.GIF)\0*.GIF\0"
    u"HDF Files (*.HDF)\0*.HDF\0"
    u"Photoshop Files (*.PSD)\0*.PSD\0"
    u"LRM Portfolio Files (*.LRM)\0*.LRM\0"
    u"All Files (*.*)\0*.*\0";

constexpr char16_t kExpectedOpenFilterWithoutLRM[] =
    u"Supported Formats \0"
    u"*.BMP;*.JPG;*.JPEG;*.PNG;*.PGM;*.PNM;*.PPM;*.TIF;*.JP2;*.J2C;*.GIF;*.HDF;*.PSD;\0"
    u"BMP Files (*.BMP)\0*.BMP\0"
    u"JPG Files (*.JPG)\0*.JPG\0"
    u"JPEG Files (*.JPEG)\0*.JPEG\0"
    u"PNG Files (*.PNG)\0*.PNG\0"
    u"PGM Files (*.PGM)\0*.PGM\0"
    u"PNM Files (*.PNM)\0*.PNM\0"
    u"PPM Files (*.PPM)\0*.PPM\0"
    u"TIF Files (*.TIF)\0*.TIF\0"
    u"JP2 Files (*.JP2)\0*.JP2\0"
    u"J2C Files (*.J2C)\0*.J2C\0"
    u"GIF Files (*.GIF)\0*.GIF\0"
    u"HDF Files (*.HDF)\0*.HDF\0"
    u"Photoshop Files (*.PSD)\0*.PSD\0";

// The literal's own terminator is the closing empty part.
std::u16string_view WithClosingPart(const char16_t* text, size_t arraySize) {
  return std::u16string_view(text, arraySize);
}

TEST(FormatTablesTest, OpenFiltersByteForByte) {
  EXPECT_EQ(Visible(GetOpenFilter().str()),
            Visible(WithClosingPart(kExpectedOpenFilter, std::size(kExpectedOpenFilter))));
  EXPECT_EQ(GetOpenFilter().str(),
            WithClosingPart(kExpectedOpenFilter, std::size(kExpectedOpenFilter)));
  EXPECT_EQ(
      GetOpenFilterWithoutLRM().str(),
      WithClosingPart(kExpectedOpenFilterWithoutLRM, std::size(kExpectedOpenFilterWithoutLRM)));
  // Released texts come back the same.
  FreeOpenFilterBuffers();
  EXPECT_EQ(GetOpenFilter().str(),
            WithClosingPart(kExpectedOpenFilter, std::size(kExpectedOpenFilter)));
}

TEST(FormatTablesTest, SupportedFilesAreTheStaticRowsButThePortfolio) {
  ASSERT_EQ(szSupportedFilesFilter.size(), 13u);
  for (int i = 0; i < 13; ++i)
    EXPECT_EQ(szSupportedFilesFilter[size_t(i)], szStaticOpenFileFilter[i].pszExtension) << i;
  EXPECT_EQ(MyString(szStaticOpenFileFilter[kPortfolioFilterRow].pszExtension), u"LRM");
  EXPECT_EQ(GetSupportedExtensions(), szSupportedFilesFilter);
}

TEST(FormatTablesTest, SaveFilterMatchesTheWritableExtensions) {
  const std::u16string_view text(szSaveFilter, std::size(szSaveFilter));
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), std::u16string_view(u"\0\0", 2));

  const std::vector<FILTERPART> parts = SplitFilterText(text);
  const char16_t* const lower[] = {u"bmp", u"jpg", u"jpeg", u"png", u"pgm", u"pnm",
                                   u"ppm", u"tif", u"jp2",  u"gif", u"hdf"};
  ASSERT_EQ(parts.size(), 11u);
  for (size_t i = 0; i < 11; ++i) {
    ASSERT_NE(szSaveFilter2[i], nullptr);
    const MyString ext(szSaveFilter2[i]);
    EXPECT_EQ(parts[i].strLabel, ext + u" Files (*." + ext + u")");
    EXPECT_EQ(parts[i].strPattern, MyString(u"*.") + lower[i]);
  }
  EXPECT_EQ(szSaveFilter2[11], nullptr);
  // Nothing that cannot be written: no J2C, PSD or portfolio.
  for (size_t i = 0; szSaveFilter2[i]; ++i) {
    const MyString ext(szSaveFilter2[i]);
    EXPECT_FALSE(ext == u"J2C" || ext == u"PSD" || ext == u"LRM") << ext.ToUtf8();
  }
}

TEST(FormatTablesTest, SplitFilterTextStopsAtTheEmptyPart) {
  const char16_t text[] = u"A (*.a)\0*.a\0\0B (*.b)\0*.b\0";
  const auto parts = SplitFilterText(std::u16string_view(text, std::size(text)));
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].strLabel, u"A (*.a)");
  // A label whose pattern is missing is dropped; text without NULs is one part.
  EXPECT_TRUE(SplitFilterText(u"Only a label").empty());
  EXPECT_TRUE(SplitFilterText(std::u16string_view()).empty());
}

class RejectedExtensionTest : public ::testing::TestWithParam<const char16_t*> {};

TEST_P(RejectedExtensionTest, LeavesTheTablesAlone) {
  const MyString before = GetOpenFilter();
  const size_t registered = sPluginSupportedExtensions.size();
  EXPECT_EQ(RegisterFileExtension(GetParam()), 0);
  EXPECT_EQ(sPluginSupportedExtensions.size(), registered);
  EXPECT_EQ(GetOpenFilter(), before);
}

INSTANTIATE_TEST_SUITE_P(FormatTablesTest, RejectedExtensionTest,
                         ::testing::Values(u"PNG", u"LRM", u"BMP", u"", u".WEBP", u"WE;BP", u"WE*",
                                           u"W?", u"A/B", u"A\\B", u"A\tB"));

TEST(FormatTablesTest, RegisteredExtensionsComeAfterTheStaticRows) {
  ASSERT_EQ(RegisterFileExtension(u"WEBP"), 1);
  EXPECT_EQ(RegisterFileExtension(u"WEBP"), 0) << "a second registration keeps one copy";
  // The test for a known extension is exact: another letter case is new.
  ASSERT_EQ(RegisterFileExtension(u"png"), 1);

  ASSERT_EQ(sPluginSupportedExtensions.size(), 2u);
  EXPECT_EQ(sPluginSupportedExtensions[0], u"WEBP");
  ASSERT_EQ(szSupportedFilesFilter.size(), 15u);
  EXPECT_EQ(szSupportedFilesFilter[13], u"WEBP");
  EXPECT_EQ(szSupportedFilesFilter[14], u"png");

  const auto parts = SplitFilterText(GetOpenFilter().str());
  ASSERT_EQ(parts.size(), 1u + 14u + 2u + 1u);
  EXPECT_EQ(parts[0].strPattern.ToUtf8(),
            "*.BMP;*.JPG;*.JPEG;*.PNG;*.PGM;*.PNM;*.PPM;*.TIF;*.JP2;*.J2C;*.GIF;*.HDF;*.PSD;*.LRM;"
            "*.WEBP;*.png;");
  EXPECT_EQ(parts[14].strLabel, u"LRM Portfolio Files (*.LRM)");
  EXPECT_EQ(parts[15].strLabel, u"WEBP Files (*.WEBP)");
  EXPECT_EQ(parts[15].strPattern, u"*.WEBP");
  EXPECT_EQ(parts[16].strLabel, u"png Files (*.png)");
  EXPECT_EQ(parts[17].strLabel, u"All Files (*.*)");
  EXPECT_EQ(parts[17].strPattern, u"*.*");

  const auto withoutPortfolio = SplitFilterText(GetOpenFilterWithoutLRM().str());
  ASSERT_EQ(withoutPortfolio.size(), 1u + 13u + 2u);
  EXPECT_EQ(withoutPortfolio[13].strLabel, u"Photoshop Files (*.PSD)");
  EXPECT_EQ(withoutPortfolio[14].strLabel, u"WEBP Files (*.WEBP)");
  EXPECT_EQ(withoutPortfolio[15].strLabel, u"png Files (*.png)");
  const std::u16string text = GetOpenFilterWithoutLRM().str();
  EXPECT_EQ(text.substr(text.size() - 2), std::u16string_view(u"\0\0", 2));
}

}  // namespace
