#include "shell/settings.h"

#include <string>

#include <gtest/gtest.h>

#include "corekit/registry.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "pixwork/sortsettings.h"
#include "testsupport/testsupport.h"

namespace {

// Each test gets its own store file and starts from the defaults.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = testsupport::NewTempDir("settings");
    m_file = m_dir / "registry.reg";
    m_store = std::make_unique<CRegistryStore>(CStrAW::FromPath(m_file));
    m_settings = std::make_unique<CLorimoSettings>(m_store.get());
    m_settings->ResetToDefaults();
  }
  void TearDown() override { CLorimoSettings(m_store.get()).ResetToDefaults(); }

  // Writes a store file by hand, as another program (or damage) left it.
  void WriteStore(const std::string& rootValues, const std::string& more = std::string()) {
    testsupport::WriteFile(m_file,
                           "Windows Registry Editor Version 5.00\n\n"
                           "[HKEY_CURRENT_USER\\Software\\ZOKA\\Lorimo]\n" +
                               rootValues + "\n" + more);
    m_store->Refresh();
  }
  void Reload() {
    m_settings->ResetToDefaults();
    m_store = std::make_unique<CRegistryStore>(CStrAW::FromPath(m_file));
    m_settings = std::make_unique<CLorimoSettings>(m_store.get());
    m_settings->Load();
    m_settings->LoadMenuFlags();
  }
  std::string StoreText() { return testsupport::ReadFile(m_file); }

  std::filesystem::path m_dir;
  std::filesystem::path m_file;
  std::unique_ptr<CRegistryStore> m_store;
  std::unique_ptr<CLorimoSettings> m_settings;
};

TEST_F(SettingsTest, EmptyStoreGivesTheDefaults) {
  m_settings->Load();
  EXPECT_EQ(m_settings->dwDefaultImage, uint32_t(STARTUP_SCREEN));
  EXPECT_EQ(m_settings->dwAutoPlayMiliseconds, 1000u);
  EXPECT_TRUE(m_settings->strLastLoadedImage.IsEmpty());
  EXPECT_EQ(gdwSortingMode, 0u);
  EXPECT_EQ(bSortAscending, 1);
  EXPECT_EQ(gVO[VO_AW].bFlag, 1);
  EXPECT_EQ(gVO[VO_ONE_INSTANCE].bFlag, 1);
  EXPECT_EQ(gVO[VO_DYNAMIC_HELP].bFlag, 1);
  EXPECT_EQ(gTO[TO_CACHE_SIZE].dwValue, 300u);
  EXPECT_EQ(gSO[SO_SAVE_AFTER_ROTATE].nValue, -1);
  EXPECT_EQ(m_settings->renConv.iNUMInc, 1);
  EXPECT_TRUE(m_settings->recent.GetRecentFiles().empty());
  EXPECT_FALSE(std::filesystem::exists(m_file)) << "loading never writes";
}

TEST_F(SettingsTest, SaveWritesTheVersionFirstAndEveryKey) {
  ASSERT_EQ(m_settings->Save(), 1);
  const std::string text = StoreText();
  const size_t root = text.find("[HKEY_CURRENT_USER\\Software\\ZOKA\\Lorimo]\n");
  ASSERT_NE(root, std::string::npos);
  EXPECT_EQ(text.compare(root + 41, 31, "\"LorimoVersion\"=dword:00000002\n"), 0) << text;
  for (const char* key : {"\\RenConv]", "\\Mapping]", "\\Menu]", "\\MRU]"})
    EXPECT_NE(text.find(key), std::string::npos) << key;
  EXPECT_NE(text.find("\"EnalrgeAW\"=dword:00000000"), std::string::npos);
  EXPECT_NE(text.find("\"Tools Option\"=dword:00000434"), std::string::npos);
  EXPECT_NE(text.find("\" Tools\\tCtrl+F3\"=dword:00000000"), std::string::npos);
  EXPECT_NE(text.find("\"iNUMInc\"=dword:00000001"), std::string::npos);
  // The suffix went out as a number first and ends as text.
  EXPECT_NE(text.find("\"Save ARM Append\"=\"_modified_by_Lorimo\""), std::string::npos);
  EXPECT_EQ(text.find("\"Save ARM Append\"=dword"), std::string::npos);
}

TEST_F(SettingsTest, EveryValueSurvivesASaveAndALoad) {
  const auto image = m_dir / "last.png";
  testsupport::WriteFile(image, "x");
  const MyString last = CStrAW::FromPath(image);
  m_settings->dwDefaultImage = STARTUP_LAST_IMAGE;
  m_settings->dwAutoPlayMiliseconds = 2500;
  m_settings->strLastLoadedImage = last;
  m_settings->dwPreviewRename = 0;
  m_settings->dwPreviewSlide = 0;
  m_settings->dwFilesViewSize = 180;
  m_settings->dwThumbnailsSize = 120;
  m_settings->renConv = {3, 2, -1, 5};
  m_settings->recent.AddRecentFile(last);
  m_settings->recent.AddRecentFolder(u"/pictures/a");
  m_settings->recent.SetPortfolioSlot(2, u"/pictures/show.lrm");
  m_settings->menu.SetFlag(0, 1072);
  m_settings->menu.SetFlag(5, CToolViewMenu::kShown);
  m_settings->mapping.Set(0, 7);
  SetRecordText(gszExtEdit, u"/usr/bin/gimp", 13);
  gdwSortingMode = 3;
  bSortAscending = 0;
  for (VIEWOPTIONS& record : gVO) record.bFlag = uint8_t(!record.bFlag);
  gVO[VO_DYNAMIC_HELP].bExtra = 8;
  for (VIEWOPTIONS& record : gVSO) record.bFlag = 1;
  gVSO[VSO_OPEN_FILE_OUT_EXT].bExtra = 4;
  gTO[TO_CACHE_DIRECTORY].dwValue = 0;
  gTO[TO_CACHE_SIZE].dwValue = 150;
  gTO[TO_THUMB_QUALITY].dwValue = 1;
  gTO[TO_TOOLTIP_DELAY].dwValue = 7;
  const int32_t saveValues[SO_COUNT] = {90, 0, 1, 9, 1172, 1063, 0, 1, 1, 1104};
  for (int i = 0; i < SO_COUNT; ++i) gSO[i].nValue = saveValues[i];
  SetRecordText(gSO[SO_SAVE_APPEND].szText, u"_turned", 7);
  for (tagBOOL_OPTIONS& record : gBO) record.bFlag = uint8_t(!record.bFlag);
  for (tagBOOL_OPTIONS& record : gVFAV) record.bFlag = uint8_t(!record.bFlag);
  ASSERT_EQ(m_settings->Save(), 1);

  // What was saved, kept aside, then everything back to the defaults.
  VIEWOPTIONS vo[VO_COUNT], vso[VSO_COUNT];
  THUMBOPTIONS to[TO_COUNT];
  SAVEOPTIONS so[SO_COUNT];
  tagBOOL_OPTIONS bo[BO_COUNT], fav[VFAV_COUNT];
  std::copy(std::begin(gVO), std::end(gVO), vo);
  std::copy(std::begin(gVSO), std::end(gVSO), vso);
  std::copy(std::begin(gTO), std::end(gTO), to);
  std::copy(std::begin(gSO), std::end(gSO), so);
  std::copy(std::begin(gBO), std::end(gBO), bo);
  std::copy(std::begin(gVFAV), std::end(gVFAV), fav);
  Reload();

  EXPECT_EQ(m_settings->dwDefaultImage, uint32_t(STARTUP_LAST_IMAGE));
  EXPECT_EQ(m_settings->dwAutoPlayMiliseconds, 2500u);
  EXPECT_EQ(m_settings->strLastLoadedImage, last);
  EXPECT_EQ(m_settings->dwPreviewRename, 0u);
  EXPECT_EQ(m_settings->dwPreviewSlide, 0u);
  EXPECT_EQ(m_settings->dwFilesViewSize, 180u);
  EXPECT_EQ(m_settings->dwThumbnailsSize, 120u);
  EXPECT_EQ(m_settings->renConv.iCutF, 3);
  EXPECT_EQ(m_settings->renConv.iCutB, 2);
  EXPECT_EQ(m_settings->renConv.iNUMStart, -1);
  EXPECT_EQ(m_settings->renConv.iNUMInc, 5);
  ASSERT_EQ(m_settings->recent.GetRecentFiles().size(), 1u);
  EXPECT_EQ(m_settings->recent.GetRecentFiles()[0], last);
  ASSERT_EQ(m_settings->recent.GetRecentFolders().size(), 1u);
  EXPECT_EQ(m_settings->recent.GetPortfolioSlot(2), u"/pictures/show.lrm");
  EXPECT_EQ(m_settings->menu.GetMouseTool(), 1072u);
  EXPECT_TRUE(m_settings->menu.IsShown(5));
  EXPECT_EQ(m_settings->mapping.Get(0).value_or(99), 7u);
  EXPECT_FALSE(m_settings->mapping.Get(1).has_value());
  EXPECT_EQ(MyString(gszExtEdit), u"/usr/bin/gimp");
  EXPECT_EQ(gdwSortingMode, 3u);
  EXPECT_EQ(bSortAscending, 0);
  for (int i = 0; i < VO_COUNT; ++i) {
    EXPECT_EQ(gVO[i].bFlag, vo[i].bFlag) << i;
    EXPECT_EQ(gVO[i].bExtra, vo[i].bExtra) << i;
  }
  for (int i = 0; i < VSO_COUNT; ++i) {
    EXPECT_EQ(gVSO[i].bFlag, vso[i].bFlag) << i;
    EXPECT_EQ(gVSO[i].bExtra, vso[i].bExtra) << i;
  }
  EXPECT_EQ(gbListFilesWithoutExtension, 1);
  for (int i = 0; i < TO_COUNT; ++i) EXPECT_EQ(gTO[i].dwValue, to[i].dwValue) << i;
  for (int i = 0; i < SO_COUNT; ++i) EXPECT_EQ(gSO[i].nValue, so[i].nValue) << i;
  EXPECT_EQ(MyString(gSO[SO_SAVE_APPEND].szText), u"_turned");
  for (int i = 0; i < BO_COUNT; ++i) EXPECT_EQ(gBO[i].bFlag, bo[i].bFlag) << i;
  for (int i = 0; i < VFAV_COUNT; ++i) EXPECT_EQ(gVFAV[i].bFlag, fav[i].bFlag) << i;
}

// One stored value and what the load makes of it.
struct StoredValueCase {
  const char* name;
  std::string line;
  std::function<bool(const CLorimoSettings&)> loaded;
};

void PrintTo(const StoredValueCase& c, std::ostream* os) { *os << c.name; }

class StoredValueTest : public SettingsTest,
                        public ::testing::WithParamInterface<StoredValueCase> {};

TEST_P(StoredValueTest, LoadsAsTheRulesSay) {
  WriteStore(GetParam().line + "\n");
  m_settings->Load();
  EXPECT_TRUE(GetParam().loaded(*m_settings)) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, StoredValueTest,
    ::testing::Values(
        // An unreadable sort mode sorts by name, whatever was set before.
        StoredValueCase{"SortModeText", "\"SortMode\"=\"date\"",
                        [](const CLorimoSettings& s) { return gdwSortingMode == 0; }},
        StoredValueCase{"SortModeOutOfRange", "\"SortMode\"=dword:00000007",
                        [](const CLorimoSettings& s) { return gdwSortingMode == 0; }},
        StoredValueCase{"SortModeDate", "\"SortMode\"=dword:00000003",
                        [](const CLorimoSettings& s) { return gdwSortingMode == 3; }},
        // Performance options are on only for exactly 1.
        StoredValueCase{"PerformanceTwo", "\"LinearScale\"=dword:00000002",
                        [](const CLorimoSettings& s) { return gVSO[VSO_LINEAR_SCALE].bFlag == 0; }},
        StoredValueCase{"PerformanceOne", "\"SampleVLI\"=dword:00000001",
                        [](const CLorimoSettings& s) { return gVSO[VSO_SAMPLE_VLI].bFlag == 1; }},
        StoredValueCase{
            "PerformanceAllBits", "\"SkipOnFastView\"=dword:ffffffff",
            [](const CLorimoSettings& s) { return gVSO[VSO_SKIP_ON_FAST_VIEW].bFlag == 0; }},
        // Select-region and favorites options are on for anything but 0.
        StoredValueCase{"BoolNonZero", "\"Crop Sel\"=dword:00000005",
                        [](const CLorimoSettings& s) { return gBO[BO_CROP_SEL].bFlag == 1; }},
        StoredValueCase{"BoolZero", "\"Fit Sel\"=dword:00000000",
                        [](const CLorimoSettings& s) { return gBO[BO_FIT_SEL].bFlag == 0; }},
        StoredValueCase{
            "FavoritesNonZero", "\"LoadAllPictures\"=dword:00000100",
            [](const CLorimoSettings& s) { return gVFAV[VFAV_LOAD_ALL_PICTURES].bFlag == 1; }},
        // The help flag in the low byte, the delay index in the second.
        StoredValueCase{"DynamicHelpPacked", "\"DynamicHelp\"=dword:00000500",
                        [](const CLorimoSettings& s) {
                          return gVO[VO_DYNAMIC_HELP].bFlag == 0 &&
                                 gVO[VO_DYNAMIC_HELP].bExtra == 5;
                        }},
        StoredValueCase{"DynamicHelpBadIndex", "\"DynamicHelp\"=dword:00000900",
                        [](const CLorimoSettings& s) {
                          return gVO[VO_DYNAMIC_HELP].bFlag == 1 &&
                                 gVO[VO_DYNAMIC_HELP].bExtra == 0;
                        }},
        // Only the low byte of DefaultExt is the index.
        StoredValueCase{"DefaultExtLowByte", "\"DefaultExt\"=dword:12345603",
                        [](const CLorimoSettings& s) {
                          return gVSO[VSO_OPEN_FILE_OUT_EXT].bExtra == 3 &&
                                 gVSO[VSO_OPEN_FILE_OUT_EXT].bFlag == 0;
                        }},
        StoredValueCase{
            "DefaultExtNone", "\"DefaultExt\"=dword:000000ff",
            [](const CLorimoSettings& s) { return gVSO[VSO_OPEN_FILE_OUT_EXT].bExtra == 255; }},
        // A suffix that fits the record comes back whole.
        StoredValueCase{
            "SuffixThirtyCharacters", "\"Save ARM Append\"=\"_abcdefghijklmnopqrstuvwxyz123\"",
            [](const CLorimoSettings& s) {
              return MyString(gSO[SO_SAVE_APPEND].szText) == u"_abcdefghijklmnopqrstuvwxyz123";
            }},
        // One longer than the record keeps the default rather than being cut.
        StoredValueCase{"SuffixTooLong", "\"Save ARM Append\"=\"" + std::string(50, 'x') + "\"",
                        [](const CLorimoSettings& s) {
                          return MyString(gSO[SO_SAVE_APPEND].szText) == u"_modified_by_Lorimo";
                        }},
        StoredValueCase{"SuffixAsNumber", "\"Save ARM Append\"=dword:00000001",
                        [](const CLorimoSettings& s) {
                          return MyString(gSO[SO_SAVE_APPEND].szText) == u"_modified_by_Lorimo";
                        }},
        // Wrong types, out-of-range numbers and garbage keep the defaults.
        StoredValueCase{"StartupChoiceOutOfRange", "\"DefaultImage\"=dword:00000004",
                        [](const CLorimoSettings& s) { return s.dwDefaultImage == 3; }},
        StoredValueCase{"AutoplayAsText", "\"AutoPlayMiliseconds\"=\"fast\"",
                        [](const CLorimoSettings& s) { return s.dwAutoPlayMiliseconds == 1000; }},
        StoredValueCase{"AutoplayZero", "\"AutoPlayMiliseconds\"=dword:00000000",
                        [](const CLorimoSettings& s) { return s.dwAutoPlayMiliseconds == 1000; }},
        StoredValueCase{"ViewFlagTwo", "\"RollOver\"=dword:00000002",
                        [](const CLorimoSettings& s) { return gVO[VO_ROLL_OVER].bFlag == 1; }},
        StoredValueCase{"ViewFlagAsText", "\"ShowRGB\"=\"no\"",
                        [](const CLorimoSettings& s) { return gVO[VO_SHOW_RGB].bFlag == 1; }},
        StoredValueCase{"JpegQualityOutOfRange", "\"JPG Quality\"=dword:00000065",
                        [](const CLorimoSettings& s) { return gSO[SO_JPG_QUALITY].nValue == 75; }},
        StoredValueCase{"PngFilterNotAButton", "\"PNG Filter\"=dword:0000044f",
                        [](const CLorimoSettings& s) { return gSO[SO_PNG_FILTER].nValue == 1099; }},
        StoredValueCase{
            "RotateSaveChoice", "\"Save After RorM\"=dword:00000426",
            [](const CLorimoSettings& s) { return gSO[SO_SAVE_AFTER_ROTATE].nValue == 1062; }},
        StoredValueCase{"CacheSizeTooSmall", "\"CacheSize\"=dword:00000032",
                        [](const CLorimoSettings& s) { return gTO[TO_CACHE_SIZE].dwValue == 300; }},
        StoredValueCase{"EditorWithControlCharacters", "\"ExternEditor\"=\"/bin/x\\n\"",
                        [](const CLorimoSettings& s) { return gszExtEdit[0] == 0; }},
        // "AI" and "AW" are one radio group: both on is not a state.
        StoredValueCase{"AdaptToImage", "\"AI\"=dword:00000001\n\"AW\"=dword:00000000",
                        [](const CLorimoSettings& s) {
                          return gVO[VO_AI].bFlag == 1 && gVO[VO_AW].bFlag == 0;
                        }},
        StoredValueCase{"BothFitRules", "\"AI\"=dword:00000001",
                        [](const CLorimoSettings& s) {
                          return gVO[VO_AI].bFlag == 0 && gVO[VO_AW].bFlag == 1;
                        }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

TEST_F(SettingsTest, OneInstanceOptionIsReadAlone) {
  WriteStore("\"OneLorimoInstance\"=dword:00000000\n\"RollOver\"=dword:00000000\n");
  m_settings->LoadOneInstanceOption();
  EXPECT_EQ(gVO[VO_ONE_INSTANCE].bFlag, 0);
  EXPECT_EQ(gVO[VO_ROLL_OVER].bFlag, 1);
}

TEST_F(SettingsTest, SelfStoredValuesReachTheStoreAtOnce) {
  ASSERT_EQ(m_settings->StoreAutoPlayDelay(4000), 1);
  ASSERT_EQ(m_settings->StoreThumbnailsSize(140), 1);
  const std::string text = StoreText();
  EXPECT_NE(text.find("\"AutoPlayMiliseconds\"=dword:00000fa0"), std::string::npos);
  EXPECT_NE(text.find("\"Thumbnails\"=dword:0000008c"), std::string::npos);
  EXPECT_EQ(text.find("LorimoVersion"), std::string::npos) << "no full save happened";
  Reload();
  EXPECT_EQ(m_settings->dwAutoPlayMiliseconds, 4000u);
  EXPECT_EQ(m_settings->dwThumbnailsSize, 140u);
}

TEST_F(SettingsTest, AStoreThatCannotBeWrittenSaysWhy) {
  // A file where the store's folder should be.
  testsupport::WriteFile(m_dir / "blocked", "not a folder");
  CRegistryStore blocked(CStrAW::FromPath(m_dir / "blocked" / "registry.reg"));
  CLorimoSettings settings(&blocked);
  settings.dwDefaultImage = STARTUP_BLANK;
  EXPECT_EQ(settings.Save(), 0);
  EXPECT_FALSE(settings.GetLastError().IsEmpty());
  EXPECT_EQ(settings.dwDefaultImage, uint32_t(STARTUP_BLANK));
}

TEST_F(SettingsTest, DamagedStoreLoadsWhatIsReadable) {
  WriteStore(
      "\"SortDir\"=dword:0000000\x01zz\ngarbage line without quotes\n"
      "\"DefaultImage\"=dword:00000000\n\"LastLoadedImage\"=\"/a.jpg\n"
      "\"PreviewSlide\"=dword:00000000\n");
  m_settings->Load();
  EXPECT_EQ(bSortAscending, 1);
  EXPECT_EQ(m_settings->dwDefaultImage, uint32_t(STARTUP_BLANK));
  EXPECT_TRUE(m_settings->strLastLoadedImage.IsEmpty());
  EXPECT_EQ(m_settings->dwPreviewSlide, 0u);
}

}  // namespace
