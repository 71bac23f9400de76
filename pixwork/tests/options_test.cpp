#include "pixwork/options.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

std::u16string Name(const char16_t* field, size_t capacity) {
  return std::u16string(field, RecordTextLength(field, capacity));
}

struct FlagCase {
  const VIEWOPTIONS* records;
  int index;
  const char16_t* name;
  int flag;
};

class ViewOptionDefaults : public ::testing::TestWithParam<FlagCase> {};

TEST_P(ViewOptionDefaults, NameAndFlagInPlace) {
  ResetOptionRecords();
  const FlagCase& c = GetParam();
  const VIEWOPTIONS& record = c.records[c.index];
  EXPECT_EQ(Name(record.szName, 100), std::u16string(c.name));
  EXPECT_EQ(record.bFlag, c.flag);
  EXPECT_EQ(record.bExtra, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ViewOptionDefaults,
    ::testing::Values(
        FlagCase{gVO, VO_AI, u"AI", 0}, FlagCase{gVO, VO_AW, u"AW", 1},
        FlagCase{gVO, VO_ENLARGE_AI, u"EnlargeAI", 0}, FlagCase{gVO, VO_SHRINK_AI, u"ShrinkAI", 0},
        FlagCase{gVO, VO_ENLARGE_AW, u"EnalrgeAW", 0}, FlagCase{gVO, VO_SHRINK_AW, u"ShrinkAW", 1},
        FlagCase{gVO, VO_START_FS, u"StartFS", 0}, FlagCase{gVO, VO_ENLARGE_FS, u"EnlargeFS", 0},
        FlagCase{gVO, VO_SHRINK_FS, u"ShrinkFS", 1},
        FlagCase{gVO, VO_CENTER_TO_SCREEN, u"CenterToScreen", 0},
        FlagCase{gVO, VO_ROLL_OVER, u"RollOver", 1},
        FlagCase{gVO, VO_ONE_INSTANCE, u"OneLorimoInstance", 1},
        FlagCase{gVO, VO_SHOW_RGB, u"ShowRGB", 1}, FlagCase{gVO, VO_APPLY_FS, u"ApplyFS", 1},
        FlagCase{gVO, VO_DIALOG_ERRORS, u"DialogErrors", 1},
        FlagCase{gVO, VO_SHOW_CRS_FS, u"ShowCrsFS", 0},
        FlagCase{gVO, VO_RESTORE_FS, u"RestoreFS", 1},
        FlagCase{gVO, VO_DYNAMIC_HELP, u"DynamicHelp", 1},
        FlagCase{gVSO, VSO_SKIP_ON_FAST_VIEW, u"SkipOnFastView", 0},
        FlagCase{gVSO, VSO_SAMPLE_VLI, u"SampleVLI", 0},
        FlagCase{gVSO, VSO_OPEN_FILE_OUT_EXT, u"OpenFileOutExt", 0},
        FlagCase{gVSO, VSO_LINEAR_SCALE, u"LinearScale", 0}));

TEST(OptionRecords, ThumbnailSaveAndBooleanDefaults) {
  ResetOptionRecords();
  const std::u16string thumbNames[] = {u"CacheDirectory", u"CacheSize", u"ThumbQuality",
                                       u"Thumb TTDelay"};
  const uint32_t thumbValues[] = {1, 300, 0, 1};
  for (int i = 0; i < TO_COUNT; ++i) {
    EXPECT_EQ(Name(gTO[i].szName, 100), thumbNames[i]);
    EXPECT_EQ(gTO[i].dwValue, thumbValues[i]);
  }

  const std::u16string saveNames[] = {u"JPG Quality",          u"JPG Lossless Transforms",
                                      u"JPG Trim on Lossless", u"PNG Quality",
                                      u"PNG Interlaced",       u"Save After RorM",
                                      u"Save ARM Append",      u"Keep Orig DateTime",
                                      u"JPG Save Progressive", u"PNG Filter"};
  const int32_t saveValues[] = {75, 1, 0, 3, 1171, -1, 0, 0, 0, 1099};
  for (int i = 0; i < SO_COUNT; ++i) {
    EXPECT_EQ(Name(gSO[i].szName, 100), saveNames[i]);
    EXPECT_EQ(gSO[i].nValue, saveValues[i]) << i;
  }
  EXPECT_EQ(Name(gSO[SO_SAVE_APPEND].szText, 50), u"_modified_by_Lorimo");
  // Radio groups name their buttons; the value is one of them.
  EXPECT_EQ(gSO[SO_PNG_INTERLACED].nFirstID, 1171u);
  EXPECT_EQ(gSO[SO_PNG_INTERLACED].nLastID, 1172u);
  EXPECT_EQ(gSO[SO_SAVE_AFTER_ROTATE].nFirstID, 1061u);
  EXPECT_EQ(gSO[SO_SAVE_AFTER_ROTATE].nLastID, 1064u);
  EXPECT_EQ(gSO[SO_PNG_FILTER].nFirstID, 1099u);
  EXPECT_EQ(gSO[SO_PNG_FILTER].nLastID, 1105u);

  const std::u16string boolNames[] = {u"Fit Sel", u"Crop Sel", u"Sel ZS", u"On Top"};
  const int boolFlags[] = {1, 0, 0, 0};
  for (int i = 0; i < BO_COUNT; ++i) {
    EXPECT_EQ(Name(gBO[i].szName, 100), boolNames[i]);
    EXPECT_EQ(gBO[i].bFlag, boolFlags[i]);
  }
  const std::u16string favNames[] = {u"AutoUppdateFromHDD", u"LoadAllPictures", u"ShowPopup"};
  const int favFlags[] = {0, 0, 1};
  for (int i = 0; i < VFAV_COUNT; ++i) {
    EXPECT_EQ(Name(gVFAV[i].szName, 100), favNames[i]);
    EXPECT_EQ(gVFAV[i].bFlag, favFlags[i]);
  }
  EXPECT_EQ(gszExtEdit[0], u'\0');
}

TEST(OptionRecords, FileAssociationsInTableOrder) {
  ResetOptionRecords();
  const std::u16string extensions[] = {u".bmp", u".jpg", u".jpeg", u".png", u".pgm",
                                       u".pnm", u".ppm", u".tif",  u".jp2", u".gif",
                                       u".hdf", u".dcm", u".psd",  u".j2c"};
  for (int i = 0; i < FA_COUNT; ++i) {
    EXPECT_EQ(std::u16string(gFA[i].pszExtension), extensions[i]);
    std::u16string id = u"Lorimo_";
    for (char16_t c : extensions[i].substr(1))
      id += (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
    EXPECT_EQ(std::u16string(gFA[i].pszProgID), id);
    EXPECT_EQ(std::u16string(gFA[i].pszBackupValue), u"LorimoUndo");
    EXPECT_EQ(gFA[i].nID, IDC_FA_FIRST + uint32_t(i));
    EXPECT_EQ(gFA[i].bAssociated, 0);
  }
}

// A dialog finds its controls by these ids, so no two controls of the
// records may share one.
TEST(OptionRecords, ControlIdsAreDistinct) {
  std::set<uint32_t> ids;
  size_t count = 0;
  auto add = [&](uint32_t id) {
    ids.insert(id);
    ++count;
  };
  for (const auto& r : gVO) add(r.nID);
  for (const auto& r : gVSO) add(r.nID);
  for (const auto& r : gTO) add(r.nID);
  for (const auto& r : gBO) add(r.nID);
  for (const auto& r : gVFAV) add(r.nID);
  for (const auto& r : gFA) add(r.nID);
  add(IDC_VO_DYNAMIC_HELP_DELAY);
  add(IDC_VSO_DEFAULT_EXT);
  EXPECT_EQ(ids.size(), count);
}

TEST(OptionRecords, ResetUndoesEveryChange) {
  gVO[VO_AI].bFlag = 1;
  gVSO[VSO_OPEN_FILE_OUT_EXT].bExtra = 7;
  gTO[TO_CACHE_SIZE].dwValue = 5;
  gSO[SO_SAVE_APPEND].szText[0] = u'X';
  gBO[BO_ON_TOP].bFlag = 1;
  gVFAV[VFAV_SHOW_POPUP].bFlag = 0;
  gFA[3].bAssociated = 1;
  gszExtEdit[0] = u'/';
  ResetOptionRecords();
  EXPECT_EQ(gVO[VO_AI].bFlag, 0);
  EXPECT_EQ(gVSO[VSO_OPEN_FILE_OUT_EXT].bExtra, 0);
  EXPECT_EQ(gTO[TO_CACHE_SIZE].dwValue, 300u);
  EXPECT_EQ(gSO[SO_SAVE_APPEND].szText[0], u'_');
  EXPECT_EQ(gBO[BO_ON_TOP].bFlag, 0);
  EXPECT_EQ(gVFAV[VFAV_SHOW_POPUP].bFlag, 1);
  EXPECT_EQ(gFA[3].bAssociated, 0);
  EXPECT_EQ(gszExtEdit[0], u'\0');
}

TEST(OptionRecords, RecordTextNeverCutShort) {
  char16_t field[5] = u"abcd";
  EXPECT_EQ(SetRecordText(field, u"wxyz", 4), 1);
  EXPECT_EQ(std::u16string(field), u"wxyz");
  // Five characters and the terminator do not fit: the field stays.
  EXPECT_EQ(SetRecordText(field, u"12345", 5), 0);
  EXPECT_EQ(std::u16string(field), u"wxyz");
  EXPECT_EQ(SetRecordText(field, u"", 0), 1);
  EXPECT_EQ(RecordTextLength(field), 0u);
}

}  // namespace
