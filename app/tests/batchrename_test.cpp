// The batch renaming rule on the examples the page documents: the padding
// width from the batch's last number (and the example box's own), numbering
// switched off, cuts that eat the whole title, conversion extensions.
#include "collections/batchrename.h"

#include <gtest/gtest.h>

namespace {

struct RenameCase {
  const char* label;
  tagRENCONV numbers;
  const char16_t* preName;
  const char16_t* postName;
  bool bAppendEnd;
  const char16_t* source;
  size_t index;
  size_t count;
  const char16_t* extension;
  const char16_t* expectedName;
  const char16_t* expectedExample;  // of the same index
};

class BatchRenameRule : public ::testing::TestWithParam<RenameCase> {};

TEST_P(BatchRenameRule, NameAndExample) {
  const RenameCase& c = GetParam();
  tagRENAMERULE rule;
  rule.numbers = c.numbers;
  rule.preName = c.preName;
  rule.postName = c.postName;
  rule.bAppendEnd = c.bAppendEnd;
  const CBatchRename rename(rule);
  EXPECT_EQ(rename.NewName(c.source, c.index, c.count, c.extension).ToUtf8(),
            MyString(c.expectedName).ToUtf8());
  EXPECT_EQ(rename.ExampleName(c.source, c.index).ToUtf8(), MyString(c.expectedExample).ToUtf8());
}

const RenameCase kCases[] = {
    // Twelve photos from Rome: width 2 because the last number is 12.
    {"RomeEnd",
     {4, 0, 1, 1},
     u"Rome-",
     u"",
     true,
     u"/p/IMG_0001.jpg",
     0,
     12,
     u"",
     u"0001Rome-01.jpg",
     u"0001Rome-1.jpg"},
    {"RomeFront",
     {4, 0, 1, 1},
     u"Rome-",
     u"",
     false,
     u"/p/IMG_0001.jpg",
     0,
     12,
     u"",
     u"Rome-010001.jpg",
     u"Rome-10001.jpg"},
    {"RomeLast",
     {4, 0, 1, 1},
     u"Rome-",
     u"",
     true,
     u"/p/IMG_0012.jpg",
     11,
     12,
     u"",
     u"0012Rome-12.jpg",
     u"0012Rome-12.jpg"},
    // Start 8 over three files: 08, 09, 10; the example pads the same.
    {"Start8Of3", {0, 0, 8, 1}, u"", u"", false, u"/p/a.png", 0, 3, u"", u"08a.png", u"08a.png"},
    {"Start8Of3Third",
     {0, 0, 8, 1},
     u"",
     u"",
     false,
     u"/p/c.png",
     2,
     3,
     u"",
     u"10c.png",
     u"10c.png"},
    // Two files stop at 9, but the example box still pads to two digits.
    {"Start8Of2", {0, 0, 8, 1}, u"", u"", false, u"/p/b.png", 1, 2, u"", u"9b.png", u"09b.png"},
    // No number: the texts still apply, the increment does not.
    {"NoNumber",
     {0, 0, -1, 5},
     u"x-",
     u"-y",
     true,
     u"/p/pic.tif",
     3,
     9,
     u"",
     u"picx--y.tif",
     u"picx--y.tif"},
    // Cuts past the title leave only the added text.
    {"CutsPastTitle",
     {5, 5, 1, 1},
     u"n",
     u"",
     true,
     u"/p/abc.jpg",
     0,
     1,
     u"",
     u"n1.jpg",
     u"n1.jpg"},
    // A step below 1 counts as 1; a conversion gives its own extension.
    {"ZeroStepConverted",
     {0, 1, 0, 0},
     u"",
     u"_",
     true,
     u"/p/shot1.jpg",
     2,
     3,
     u".PNG",
     u"shot2_.PNG",
     u"shot2_.jpg"},
};

INSTANTIATE_TEST_SUITE_P(Examples, BatchRenameRule, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
