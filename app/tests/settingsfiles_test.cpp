// install.ini and the settings export of crash reports.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "corekit/datafile.h"
#include "corekit/registry.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "shell/installfile.h"
#include "shell/settings.h"
#include "shell/settingsexport.h"
#include "testsupport/testsupport.h"

namespace {

TEST(InstallFile, StartImageRoundTripThroughAReadOnlyFile) {
  const auto dir = testsupport::NewTempDir("install");
  const MyString ini = CStrAW::FromPath(dir / "install.ini");
  EXPECT_TRUE(ReadStartImage(ini).IsEmpty());
  testsupport::WriteFile(dir / "install.ini", "[Other]\nKeep=1\n");
  ASSERT_EQ(::chmod((dir / "install.ini").c_str(), 0444), 0);
  ASSERT_EQ(WriteStartImage(ini, u"/pictures/start.png"), 1);
  EXPECT_EQ(ReadStartImage(ini), u"/pictures/start.png");
  CDataFile file(ini);
  EXPECT_EQ(file.GetValue(u"StartImage", u"INST_DEF"), u"/pictures/start.png");
  EXPECT_EQ(file.GetValue(u"Keep", u"Other"), u"1");
  file.SetFileName(MyString());
}

TEST(SettingsExport, SectionsAndKeysInOrder) {
  ResetOptionRecords();
  const auto dir = testsupport::NewTempDir("export");
  CRegistryStore store(CStrAW::FromPath(dir / "registry.reg"));
  CLorimoSettings settings(&store);
  settings.dwAutoPlayMiliseconds = 1500;
  settings.menu.SetFlag(5, CToolViewMenu::kShown);  // Exif shown
  gVO[VO_AI].bFlag = 1;
  gVSO[VSO_LINEAR_SCALE].bFlag = 1;
  const MyString path = CStrAW::FromPath(dir / "LorimoSettings.ini");
  ASSERT_EQ(WriteSettingsExport(settings, path), 1);

  CDataFile file(path);
  file.SetFileName(MyString());
  const MyStringList sections = file.GetSectionNames();
  ASSERT_EQ(sections.GetListLength(), 4u);
  EXPECT_EQ(sections[0], u"SHOW WINDOW");
  EXPECT_EQ(sections[1], u"AUTO PLAY DELAY");
  EXPECT_EQ(sections[2], u"VIEW OPTIONS");
  EXPECT_EQ(sections[3], u"PERFORMANCE OPTIONS");

  const MyStringList shown = file.GetKeyNames(u"SHOW WINDOW");
  ASSERT_EQ(shown.GetListLength(), size_t(CToolViewMenu::kEntryCount));
  EXPECT_EQ(shown[0], u"Tools Option");
  EXPECT_EQ(shown[1], u" Tools\tCtrl+F3");
  EXPECT_EQ(shown[14], u" Search ...");
  EXPECT_EQ(file.GetValue(u"Tools Option", u"SHOW WINDOW"), u"0");
  EXPECT_EQ(file.GetValue(u" Thumbnails\tCtrl+F2", u"SHOW WINDOW"), u"1");
  EXPECT_EQ(file.GetValue(u" Exif\tCtrl+F5", u"SHOW WINDOW"), u"1");
  EXPECT_EQ(file.GetValue(u" IPTC\tCtrl+F9", u"SHOW WINDOW"), u"0");
  EXPECT_EQ(file.GetValue(u"Auto Play Delay", u"AUTO PLAY DELAY"), u"1500ms");

  const MyStringList view = file.GetKeyNames(u"VIEW OPTIONS");
  ASSERT_EQ(view.GetListLength(), size_t(VO_COUNT));
  for (int i = 0; i < VO_COUNT; ++i) EXPECT_EQ(view[size_t(i)], MyString(gVO[i].szName));
  EXPECT_EQ(file.GetValue(u"AI", u"VIEW OPTIONS"), u"1");
  const MyStringList performance = file.GetKeyNames(u"PERFORMANCE OPTIONS");
  ASSERT_EQ(performance.GetListLength(), size_t(VSO_COUNT));
  EXPECT_EQ(performance[3], u"LinearScale");
  EXPECT_EQ(file.GetValue(u"LinearScale", u"PERFORMANCE OPTIONS"), u"1");
  ResetOptionRecords();
}

}  // namespace
