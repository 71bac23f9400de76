// The keyboard-map file: written, read back, and read when written by hand.
#include <filesystem>

#include <gtest/gtest.h>

#include "corekit/datafile.h"
#include "corekit/straw.h"
#include "shell/keyboardmapfile.h"
#include "testsupport/testsupport.h"

namespace {

KeyMapRows Numbered() {
  KeyMapRows rows;
  for (int i = 0; i < CMappingValues::kEventCount; ++i) {
    const uint32_t count = CMappingValues::ActionCount(CMappingValues::Events()[size_t(i)].nGroup);
    rows[size_t(i)] = {uint32_t(i) % count, uint32_t(i * 7 + 3) % count};
  }
  return rows;
}

TEST(KeyboardMapFile, RoundTripThroughARealFile) {
  const auto dir = testsupport::NewTempDir("keymap");
  const MyString path = CStrAW::FromPath(dir / "mine.lkb");
  KeyMapRows rows = Numbered();
  rows[27] = {31, 28};  // "Ctrl+L" edited to Undo but not applied yet
  rows[32] = {1, 20};   // "Left Button Down" edited to Hand
  ASSERT_EQ(CKeyboardMapFile::Write(path, rows), 1);
  const std::string written = testsupport::ReadFile(dir / "mine.lkb");

  KeyMapRows back{};
  ASSERT_EQ(CKeyboardMapFile::Read(path, back), 1);
  EXPECT_EQ(back, rows);
  // Reading leaves the file exactly as it was.
  EXPECT_EQ(testsupport::ReadFile(dir / "mine.lkb"), written);

  CDataFile file(path);
  file.SetFileName(MyString());
  const MyStringList sections = file.GetSectionNames();
  ASSERT_EQ(sections.GetListLength(), 4u);
  EXPECT_EQ(sections[0], u"Lorimo");
  EXPECT_EQ(sections[3], u"Help-Roller Actions");
  EXPECT_TRUE(file.GetSectionComment(u"Lorimo").IsEmpty());
  const MyStringList keys = file.GetKeyNames(u"Lorimo");
  ASSERT_EQ(keys.GetListLength(), size_t(CMappingValues::kEventCount));
  EXPECT_EQ(keys[0], u"\"Page Down\"");
  EXPECT_EQ(keys[36], u"\"Roller Up\"");
  EXPECT_EQ(file.GetValue(u"\"Page Down\"", u"Lorimo"), u"0,3,32");
  EXPECT_EQ(file.GetValue(u"\"Ctrl+L\"", u"Lorimo"), u"31,28,59");
  EXPECT_EQ(file.GetValue(u"\"Center Button Down\"", u"Lorimo"), u"3,24,5");
  EXPECT_EQ(file.GetValue(u"\"Roller Up\"", u"Lorimo"), u"4,15,0");
  EXPECT_EQ(file.GetKeyComment(u"\"Page Down\"", u"Lorimo"), u"keyboard");
  EXPECT_EQ(file.GetKeyComment(u"\"Left Button Down\"", u"Lorimo"), u"mouse");
  EXPECT_EQ(file.GetKeyComment(u"\"Roller Down\"", u"Lorimo"), u"roller");
  EXPECT_TRUE(file.GetKeyComment(u"\"Page Up\"", u"Lorimo").IsEmpty());
  EXPECT_EQ(file.GetKeyNames(u"Help-Key Actions").GetListLength(), 34u);
  EXPECT_EQ(file.GetValue(u"33", u"Help-Key Actions"), u"Maximize View");
  EXPECT_EQ(file.GetKeyNames(u"Help-Mouse Actions").GetListLength(), 31u);
  EXPECT_EQ(file.GetValue(u"26", u"Help-Mouse Actions"), u"Hand Release");
  EXPECT_EQ(file.GetKeyNames(u"Help-Roller Actions").GetListLength(), 16u);
  EXPECT_EQ(file.GetValue(u"9", u"Help-Roller Actions"), u"Rotate to the Right");

  // A save that cannot happen says so and leaves what is there whole.
  MyString error;
  EXPECT_EQ(CKeyboardMapFile::Write(CStrAW::FromPath(dir / "mine.lkb" / "under.lkb"), KeyMapRows{},
                                    &error),
            0);
  EXPECT_FALSE(error.IsEmpty());
  EXPECT_EQ(testsupport::ReadFile(dir / "mine.lkb"), written);
}

TEST(KeyboardMapFile, HandWrittenFileChangesOnlyWhatItMeans) {
  const auto dir = testsupport::NewTempDir("keymap");
  const std::string text =
      "[Lorimo]\n"
      "\"Page Down\"=5\n"     // no comma
      "\"Page Up\"=x,y,33\n"  // not numbers
      "\"Home\"=\n"           // empty
      "\"End\"=34,-1,41\n"    // outside the keyboard table
      "\"Enter\"= 19 , 22\n"  // no release slot, blanks
      "\"Left Button Down\"=30,31,3\n"
      "\"roller up\"=15,99999999999999999999,0\n"
      "\"Ctrl+M\"=7,2\n"
      "\"Ctrl+M\"=9,9,9\n"    // a repeated key keeps its first value
      "Arrow Down=6,6,34\n";  // unquoted: not the event's key
  testsupport::WriteFile(dir / "hand.lkb", text);

  KeyMapRows rows;
  for (tagKEYMAPROW& row : rows) row = {2, 2};
  ASSERT_EQ(CKeyboardMapFile::Read(CStrAW::FromPath(dir / "hand.lkb"), rows), 1);
  KeyMapRows expected;
  for (tagKEYMAPROW& row : expected) row = {2, 2};
  expected[16] = {19, 22};  // Enter
  expected[31] = {7, 2};    // Ctrl+M
  expected[32] = {30, 2};   // Left Button Down: 31 is past the mouse table
  expected[36] = {15, 2};   // Roller Up: the huge number is ignored
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(testsupport::ReadFile(dir / "hand.lkb"), text);

  MyString error;
  EXPECT_EQ(CKeyboardMapFile::Read(CStrAW::FromPath(dir / "missing.lkb"), rows, &error), 0);
  EXPECT_FALSE(error.IsEmpty());
  EXPECT_EQ(rows, expected);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.lkb"));
}

}  // namespace
