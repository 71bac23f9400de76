#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <Magick++.h>
#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "testsupport/testsupport.h"
#include "viewer/edit/edittools.h"
#include "viewer/edit/editundo.h"
#include "viewer/edit/rotatename.h"

namespace fs = std::filesystem;

namespace {

const bool gbMagickReady = [] {
  Magick::InitializeMagick(nullptr);
  return true;
}();

// --- Undo and redo ---

struct UNDORECORD {
  Magick::Image image;
  std::unique_ptr<Magick::Image> pUndoImage;
  bool bModified = false;
  bool bUndoAvailable = false;
  bool bRedoAvailable = false;
};

Magick::Image Filled(const char* colour) {
  return Magick::Image(Magick::Geometry(4, 3), Magick::Color(colour));
}

std::string ColourOf(const Magick::Image& image) {
  if (!image.isValid()) return "none";
  const Magick::Color colour = image.pixelColor(0, 0);
  if (colour == Magick::Color("red")) return "red";
  if (colour == Magick::Color("green")) return "green";
  if (colour == Magick::Color("blue")) return "blue";
  return "other";
}

// A step of a sequence and the state it leaves: the image's colour, the
// undo image's colour, and the flags.
struct UNDOSTEP {
  const char* pszAction;  // "edit:<colour>", "undo", "redo", "discard"
  int nResult;            // of undo / redo; -1 for the others
  const char* pszImage;
  const char* pszUndoImage;
  bool bUndo;
  bool bRedo;
  bool bModified;
};

struct UNDOSEQUENCE {
  const char* pszName;
  std::vector<UNDOSTEP> steps;
};

void PrintTo(const UNDOSEQUENCE& c, std::ostream* os) { *os << c.pszName; }

class EditUndoSequenceTest : public ::testing::TestWithParam<UNDOSEQUENCE> {};

TEST_P(EditUndoSequenceTest, StateAfterEachStep) {
  UNDORECORD record;
  record.image = Filled("red");
  CEditUndo undo(record.image, record.pUndoImage, record.bUndoAvailable, record.bRedoAvailable,
                 record.bModified);
  for (const UNDOSTEP& step : GetParam().steps) {
    SCOPED_TRACE(step.pszAction);
    const std::string action = step.pszAction;
    int result = -1;
    if (action.rfind("edit:", 0) == 0)
      EXPECT_EQ(undo.CommitEdit(Filled(action.substr(5).c_str())), 1);
    else if (action == "undo")
      result = undo.Undo();
    else if (action == "redo")
      result = undo.Redo();
    else if (action == "discard")
      undo.Discard();
    EXPECT_EQ(result, step.nResult);
    EXPECT_EQ(ColourOf(record.image), step.pszImage);
    EXPECT_EQ(record.pUndoImage ? ColourOf(*record.pUndoImage) : "none", step.pszUndoImage);
    EXPECT_EQ(record.bUndoAvailable, step.bUndo);
    EXPECT_EQ(record.bRedoAvailable, step.bRedo);
    EXPECT_FALSE(record.bUndoAvailable && record.bRedoAvailable);
    EXPECT_EQ(undo.CanUndo(), step.bUndo);
    EXPECT_EQ(undo.CanRedo(), step.bRedo);
    EXPECT_EQ(record.bModified, step.bModified);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, EditUndoSequenceTest,
    ::testing::Values(UNDOSEQUENCE{"NothingToUndoAtFirst",
                                   {{"undo", 0, "red", "none", false, false, false},
                                    {"redo", 0, "red", "none", false, false, false}}},
                      UNDOSEQUENCE{"UndoTwiceDoesNothingTheSecondTime",
                                   {{"edit:green", -1, "green", "red", true, false, true},
                                    {"undo", 1, "red", "green", false, true, true},
                                    {"undo", 0, "red", "green", false, true, true},
                                    {"redo", 1, "green", "red", true, false, true},
                                    {"redo", 0, "green", "red", true, false, true}}},
                      UNDOSEQUENCE{"OneLevelDeep",
                                   {{"edit:green", -1, "green", "red", true, false, true},
                                    {"edit:blue", -1, "blue", "green", true, false, true},
                                    {"undo", 1, "green", "blue", false, true, true},
                                    {"undo", 0, "green", "blue", false, true, true}}},
                      UNDOSEQUENCE{"AnEditAfterUndoDropsTheRedo",
                                   {{"edit:green", -1, "green", "red", true, false, true},
                                    {"undo", 1, "red", "green", false, true, true},
                                    {"edit:blue", -1, "blue", "red", true, false, true},
                                    {"redo", 0, "blue", "red", true, false, true}}},
                      UNDOSEQUENCE{"DiscardForgetsEverythingButTheImage",
                                   {{"edit:green", -1, "green", "red", true, false, true},
                                    {"undo", 1, "red", "green", false, true, true},
                                    {"discard", -1, "red", "none", false, false, true},
                                    {"redo", 0, "red", "none", false, false, true}}}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST(EditUndoTest, NoUndoImageWithoutAValidImage) {
  UNDORECORD record;
  CEditUndo undo(record.image, record.pUndoImage, record.bUndoAvailable, record.bRedoAvailable,
                 record.bModified);
  EXPECT_EQ(undo.SaveUndoState(), 1);
  EXPECT_FALSE(record.pUndoImage);
  EXPECT_FALSE(record.bUndoAvailable);
  EXPECT_EQ(undo.CommitEdit(Filled("green")), 1);
  EXPECT_FALSE(undo.CanUndo());
  EXPECT_TRUE(record.bModified);
}

TEST(EditUndoTest, TheUndoImageIsACopyOfItsOwn) {
  UNDORECORD record;
  record.image = Filled("red");
  CEditUndo undo(record.image, record.pUndoImage, record.bUndoAvailable, record.bRedoAvailable,
                 record.bModified);
  ASSERT_EQ(undo.SaveUndoState(), 1);
  // Changed through the library's C interface, past Magick++'s sharing.
  MagickLib::NegateImage(record.image.image(), 0);
  EXPECT_EQ(ColourOf(record.image), "other");
  EXPECT_EQ(ColourOf(*record.pUndoImage), "red");
}

// --- The selection in image pixels ---

struct SELECTIONCASE {
  const char* pszName;
  tagSELECTIONWINDOW selection;
  SIZE image;
  int nResult;
  tagIMAGESELECTION expected;
};

void PrintTo(const SELECTIONCASE& c, std::ostream* os) { *os << c.pszName; }

class SelectionTest : public ::testing::TestWithParam<SELECTIONCASE> {};

TEST_P(SelectionTest, ConvertedTruncatedAndClipped) {
  const SELECTIONCASE& c = GetParam();
  tagIMAGESELECTION result{-7, -7, -7, -7};
  ASSERT_EQ(SelectionToImagePixels(c.selection, c.image, &result), c.nResult);
  if (!c.nResult) return;
  EXPECT_EQ(result.x, c.expected.x);
  EXPECT_EQ(result.y, c.expected.y);
  EXPECT_EQ(result.nWidth, c.expected.nWidth);
  EXPECT_EQ(result.nHeight, c.expected.nHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectionTest,
    ::testing::Values(
        SELECTIONCASE{
            "ActualSize", {{10, 20}, {2, 3}, {50, 40}, 1.0}, {200, 100}, 1, {12, 23, 50, 40}},
        // (10 + 2) / 3 = 4, (20 + 3) / 3 = 7.67, 50 / 3 = 16.67, 40 / 3 = 13.3: truncated.
        SELECTIONCASE{"ZoomedIn", {{10, 20}, {2, 3}, {50, 40}, 3.0}, {200, 100}, 1, {4, 7, 16, 13}},
        // Doubled, and cut at the bottom: 40 + 80 > 100.
        SELECTIONCASE{
            "ZoomedOut", {{10, 20}, {0, 0}, {50, 40}, 0.5}, {200, 100}, 1, {20, 40, 100, 60}},
        SELECTIONCASE{"CutAtTheRightAndBottom",
                      {{150, 80}, {0, 0}, {100, 100}, 1.0},
                      {200, 100},
                      1,
                      {150, 80, 50, 20}},
        SELECTIONCASE{"LeftOfTheImageLosesWhatIsOutside",
                      {{-30, -5}, {0, 0}, {50, 40}, 1.0},
                      {200, 100},
                      1,
                      {0, 0, 20, 35}},
        // -7 / 2 truncates to -3, not -4.
        SELECTIONCASE{"NegativeTruncatesTowardsZero",
                      {{-7, 0}, {0, 0}, {20, 20}, 2.0},
                      {200, 100},
                      1,
                      {0, 0, 7, 10}},
        SELECTIONCASE{"RightOfTheImage", {{200, 0}, {0, 0}, {10, 10}, 1.0}, {200, 100}, 0, {}},
        SELECTIONCASE{"BelowTheImage", {{0, 100}, {0, 0}, {10, 10}, 1.0}, {200, 100}, 0, {}},
        SELECTIONCASE{"WhollyLeftOfTheImage", {{-30, 0}, {0, 0}, {20, 10}, 1.0}, {200, 100}, 0, {}},
        SELECTIONCASE{"LessThanAPixel", {{0, 0}, {0, 0}, {6, 6}, 20.0}, {200, 100}, 0, {}},
        SELECTIONCASE{"NoFactor", {{0, 0}, {0, 0}, {6, 6}, 0.0}, {200, 100}, 0, {}},
        SELECTIONCASE{"NoImage", {{0, 0}, {0, 0}, {6, 6}, 1.0}, {0, 0}, 0, {}}),
    [](const auto& info) { return std::string(info.param.pszName); });

// --- The rotation tool's angle and the measure text ---

struct ANGLECASE {
  int dx;
  int dy;
  const char* pszText;
};

void PrintTo(const ANGLECASE& c, std::ostream* os) { *os << "(" << c.dx << ", " << c.dy << ")"; }

class RotationAngleTest : public ::testing::TestWithParam<ANGLECASE> {};

TEST_P(RotationAngleTest, ClockwiseFromUp) {
  const ANGLECASE& c = GetParam();
  const double angle = RotationAngleFromDrag(c.dx, c.dy);
  EXPECT_GE(angle, 0.0);
  EXPECT_LT(angle, 360.0);
  EXPECT_EQ(FormatRotationAngle(angle).ToUtf8(), c.pszText);
}

INSTANTIATE_TEST_SUITE_P(Quadrants, RotationAngleTest,
                         ::testing::Values(ANGLECASE{0, -10, "0.00"}, ANGLECASE{10, -10, "45.00"},
                                           ANGLECASE{10, 0, "90.00"}, ANGLECASE{10, 10, "135.00"},
                                           ANGLECASE{0, 10, "180.00"}, ANGLECASE{-10, 10, "225.00"},
                                           ANGLECASE{-10, 0, "270.00"},
                                           ANGLECASE{-10, -10, "315.00"},
                                           ANGLECASE{1, -1000, "0.06"},
                                           ANGLECASE{-1, -1000, "359.94"},
                                           ANGLECASE{1000, 1, "90.06"}, ANGLECASE{3, -4, "36.87"},
                                           ANGLECASE{0, 0, "0.00"}));

TEST(MeasureTextTest, WidthHeightAndLength) {
  EXPECT_EQ(MeasureText(3, 4).ToUtf8(), "W:3, H:4, L:5.00");
  EXPECT_EQ(MeasureText(-3, 0).ToUtf8(), "W:-3, H:0, L:3.00");
  EXPECT_EQ(MeasureText(0, 0).ToUtf8(), "W:0, H:0, L:0.00");
  EXPECT_EQ(MeasureText(1, 1).ToUtf8(), "W:1, H:1, L:1.41");
  EXPECT_EQ(MeasureText(40000, 40000).ToUtf8(), "W:40000, H:40000, L:56568.54");
}

// --- The name of a rotated copy ---

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

const MyString kSuffix = u"_modified_by_Lorimo";

TEST(RotatedFileNameTest, RepeatedRotationsCountUp) {
  const fs::path dir = testsupport::NewTempDir();
  testsupport::WriteFile(dir / "a.jpg", "x");
  MyString name;
  ASSERT_EQ(MakeRotatedFileName(W(dir / "a.jpg"), kSuffix, &name), 1);
  EXPECT_EQ(name, W(dir / "a_modified_by_Lorimo_1.jpg"));
  testsupport::WriteFile(CStrAW::ToPath(name), "1");

  // Rotating the copy gives the next number, not a double suffix.
  ASSERT_EQ(MakeRotatedFileName(name, kSuffix, &name), 1);
  EXPECT_EQ(name, W(dir / "a_modified_by_Lorimo_2.jpg"));
  testsupport::WriteFile(CStrAW::ToPath(name), "2");

  // The original again: the first free number.
  ASSERT_EQ(MakeRotatedFileName(W(dir / "a.jpg"), kSuffix, &name), 1);
  EXPECT_EQ(name, W(dir / "a_modified_by_Lorimo_3.jpg"));

  // A gap is filled.
  fs::remove(dir / "a_modified_by_Lorimo_1.jpg");
  ASSERT_EQ(MakeRotatedFileName(W(dir / "a_modified_by_Lorimo_2.jpg"), kSuffix, &name), 1);
  EXPECT_EQ(name, W(dir / "a_modified_by_Lorimo_1.jpg"));
}

struct NAMECASE {
  const char* pszSource;  // in the test folder
  const char* pszSuffix;
  const char* pszExpected;
};

void PrintTo(const NAMECASE& c, std::ostream* os) { *os << c.pszSource << " + " << c.pszSuffix; }

class RotatedFileNameCaseTest : public ::testing::TestWithParam<NAMECASE> {};

TEST_P(RotatedFileNameCaseTest, TitleSuffixAndNumber) {
  const NAMECASE& c = GetParam();
  const fs::path dir = testsupport::NewTempDir();
  testsupport::WriteFile(dir / c.pszSource, "x");
  MyString name;
  ASSERT_EQ(MakeRotatedFileName(W(dir / c.pszSource), MyString::FromUtf8(c.pszSuffix), &name), 1);
  EXPECT_EQ(name, W(dir / c.pszExpected));
  EXPECT_NE(name, W(dir / c.pszSource));
}

INSTANTIATE_TEST_SUITE_P(
    Names, RotatedFileNameCaseTest,
    ::testing::Values(NAMECASE{"photo.JPG", "_modified_by_Lorimo",
                               "photo_modified_by_Lorimo_1.JPG"},
                      NAMECASE{"a_modified_by_Lorimo_17.jpg", "_modified_by_Lorimo",
                               "a_modified_by_Lorimo_1.jpg"},
                      // The suffix followed by something else than a number stays.
                      NAMECASE{"a_modified_by_Lorimo_1x.png", "_modified_by_Lorimo",
                               "a_modified_by_Lorimo_1x_modified_by_Lorimo_1.png"},
                      NAMECASE{"a_modified_by_Lorimo_.png", "_modified_by_Lorimo",
                               "a_modified_by_Lorimo__modified_by_Lorimo_1.png"},
                      NAMECASE{"a_modified_by_Lorimo.png", "_modified_by_Lorimo",
                               "a_modified_by_Lorimo_modified_by_Lorimo_1.png"},
                      NAMECASE{"x_r_1_r_2.tif", "_r", "x_r_1_r_1.tif"},
                      // The title equals the stripped form: its own name comes next and
                      // is passed over.
                      NAMECASE{"_r_1.gif", "_r", "_r_2.gif"},
                      NAMECASE{"noextension", "_r", "noextension_r_1"},
                      NAMECASE{"two.dots.jpeg", "_r", "two.dots_r_1.jpeg"},
                      NAMECASE{"a.jpg", "", "a_1.jpg"}, NAMECASE{"a_5.jpg", "", "a_1.jpg"}));

TEST(RotatedFileNameTest, ADanglingLinkIsNotAFreeName) {
  const fs::path dir = testsupport::NewTempDir();
  testsupport::WriteFile(dir / "a.jpg", "x");
  fs::create_symlink(dir / "elsewhere.jpg", dir / "a_r_1.jpg");
  MyString name;
  ASSERT_EQ(MakeRotatedFileName(W(dir / "a.jpg"), u"_r", &name), 1);
  EXPECT_EQ(name, W(dir / "a_r_2.jpg"));
}

TEST(RotatedFileNameTest, RefusesOnStopAndSuffixesThatLeaveTheFolder) {
  const fs::path dir = testsupport::NewTempDir();
  testsupport::WriteFile(dir / "a.jpg", "x");
  MyString name = u"unchanged";
  CStopEvent stop;
  stop.Set();
  EXPECT_EQ(MakeRotatedFileName(W(dir / "a.jpg"), kSuffix, &name, stop), 0);
  EXPECT_EQ(name, u"unchanged");
  EXPECT_EQ(MakeRotatedFileName(W(dir / "a.jpg"), u"/../b", &name), 0);
  EXPECT_EQ(MakeRotatedFileName(MyString(), kSuffix, &name), 0);
  EXPECT_EQ(name, u"unchanged");
}

}  // namespace
