#include <QLabel>
#include <QPushButton>
#include <QtGlobal>
#include <string>

#include <gtest/gtest.h>

#include "corekit_ui/uiutil.h"
#include "shell/aboutdialog.h"
#include "shell/versioncheck.h"

namespace {

std::string VersionOf(const std::vector<tagLIBRARYVERSION>& versions, const char16_t* name) {
  for (const tagLIBRARYVERSION& library : versions)
    if (library.strName == name) return library.strVersion.ToUtf8();
  return "(missing)";
}

TEST(AboutLibraries, EachPartReportsARealVersion) {
  const auto versions = CollectLibraryVersions();
  ASSERT_EQ(versions.size(), 6u);
  EXPECT_NE(VersionOf(versions, u"Image engine").find("GraphicsMagick"), std::string::npos);
  EXPECT_NE(VersionOf(versions, u"Pixwork").find("libzip"), std::string::npos);
  EXPECT_EQ(VersionOf(versions, u"Gathrex").rfind("libgphoto2 ", 0), 0u);
  EXPECT_EQ(VersionOf(versions, u"Qt"), qVersion());
  // Plain version numbers: a build that lost them shows "unknown".
  for (const char16_t* name : {u"Exiv2", u"TurboJPEG"})
    EXPECT_EQ(ParseVersionNumber(MyString::FromUtf8(VersionOf(versions, name)), nullptr), 1)
        << MyString(name).ToUtf8() << ": " << VersionOf(versions, name);
}

TEST(AboutLibraries, FormatsOneLinePerLibrary) {
  EXPECT_EQ(FormatLibraryVersions({{u"Qt", u"6.4.2"}, {u"Exiv2", u"0.27.6"}}),
            u"Qt: 6.4.2\nExiv2: 0.27.6");
  EXPECT_EQ(FormatLibraryVersions({}), u"");
}

TEST(AboutDialog, ShowsTheVersionAndTheLibraries) {
  CDlgAbout dialog;
  ASSERT_EQ(dialog.DoModeless(), 1);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Lorimo"));
  bool versionShown = false;
  for (const QLabel* label : dialog.findChildren<QLabel*>())
    versionShown |= label->text().contains(GetVersionInformation().ToQString());
  EXPECT_TRUE(versionShown);
  EXPECT_EQ(dialog.GetLibraryText(), FormatLibraryVersions(CollectLibraryVersions()).ToQString());
  dialog.EndDialog(IDOK);
}

TEST(AboutDialog, InstalledPluginsWaitsForThePluginHost) {
  CDlgAbout dialog;
  ASSERT_EQ(dialog.DoModeless(), 1);
  QPushButton* button = dialog.GetInstalledPluginsButton();
  EXPECT_EQ(button->text(), QStringLiteral("Installed Plugins..."));
  EXPECT_FALSE(button->isEnabled());

  int shown = 0;
  dialog.SetInstalledPluginsHandler([&shown] { ++shown; });
  EXPECT_TRUE(button->isEnabled());
  button->click();
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(dialog.IsOpen());

  dialog.SetInstalledPluginsHandler({});
  EXPECT_FALSE(button->isEnabled());
  dialog.EndDialog(IDOK);
}

}  // namespace
