#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <filesystem>
#include <ostream>

#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "shell/addressplaces.h"
#include "shell/commandids.h"
#include "shell/mainframe.h"
#include "shell/navigationbar.h"
#include "shell/recentlists.h"
#include "shell/settings.h"
#include "testsupport/testsupport.h"
#include "viewer/imageview.h"

namespace fs = std::filesystem;

namespace {

std::vector<MyString> Paths(const std::vector<tagADDRESSENTRY>& entries) {
  std::vector<MyString> paths;
  for (const tagADDRESSENTRY& entry : entries) paths.push_back(entry.strPath);
  return paths;
}

TEST(AddressList, PlacesThenRecentFoldersThenPortfolioSlots) {
  CRecentLists lists;
  lists.AddRecentFolder(u"/pics/old");
  lists.AddRecentFolder(u"/pics/new");
  lists.SetPortfolioSlot(1, u"/pics/b.lrm");
  lists.SetPortfolioSlot(3, u"/pics/d.lrm");
  MyStringList volumes;
  volumes.Append(u"/media/ann/CARD");
  const auto places = CAddressList::FileSystemPlaces(u"/home/ann", u"/home/ann/Desktop", volumes);
  const auto entries = CAddressList::Build(places, lists);
  EXPECT_EQ(Paths(entries),
            (std::vector<MyString>{u"/home/ann/Desktop", u"/home/ann", u"/", u"/media/ann/CARD",
                                   u"/pics/new", u"/pics/old", u"/pics/b.lrm", u"/pics/d.lrm"}));
  EXPECT_EQ(entries[0].strText, MyString(u"Desktop"));
  EXPECT_EQ(entries[3].strText, MyString(u"CARD"));
  EXPECT_EQ(entries[4].nKind, AK_FOLDER);
  EXPECT_EQ(entries[7].nKind, AK_PORTFOLIO);
}

TEST(AddressList, ADesktopThatIsTheHomeFolderIsListedOnce) {
  const auto places = CAddressList::FileSystemPlaces(u"/home/ann", u"/home/ann", MyStringList());
  EXPECT_EQ(Paths(places), (std::vector<MyString>{u"/home/ann", u"/"}));
}

struct tagCHOOSECASE {
  const char* pszName;
  tagADDRESSENTRY entry;
  ADDRESSACTION nAction;
  std::vector<MyString> folders;  // afterwards
  MyString firstSlot;
};

void PrintTo(const tagCHOOSECASE& c, std::ostream* out) { *out << c.pszName; }

class AddressChoice : public ::testing::TestWithParam<tagCHOOSECASE> {};

TEST_P(AddressChoice, AsksTheViewerAndMovesTheEntryToTheHeadOfItsList) {
  CRecentLists lists;
  for (const char16_t* folder : {u"/c", u"/b", u"/a"}) lists.AddRecentFolder(folder);
  lists.SetPortfolioSlot(0, u"/x.lrm");
  lists.SetPortfolioSlot(1, u"/y.lrm");
  EXPECT_EQ(CAddressList::Choose(GetParam().entry, lists), GetParam().nAction);
  EXPECT_EQ(lists.GetRecentFolders(), GetParam().folders);
  EXPECT_EQ(lists.GetPortfolioSlot(0), GetParam().firstSlot);
}

INSTANTIATE_TEST_SUITE_P(Entries, AddressChoice,
                         ::testing::Values(tagCHOOSECASE{"RecentFolder",
                                                         {AK_FOLDER, u"/b", u"/b"},
                                                         AA_SHOW_FOLDER,
                                                         {u"/b", u"/a", u"/c"},
                                                         u"/x.lrm"},
                                           tagCHOOSECASE{"Place",
                                                         {AK_PLACE, u"Home", u"/home/ann"},
                                                         AA_SHOW_FOLDER,
                                                         {u"/home/ann", u"/a", u"/b", u"/c"},
                                                         u"/x.lrm"},
                                           tagCHOOSECASE{"Portfolio",
                                                         {AK_PORTFOLIO, u"/y.lrm", u"/y.lrm"},
                                                         AA_OPEN_PORTFOLIO,
                                                         {u"/a", u"/b", u"/c"},
                                                         u"/y.lrm"},
                                           tagCHOOSECASE{"TypedImage",
                                                         {AK_IMAGE, u"/a/p.jpg", u"/a/p.jpg"},
                                                         AA_OPEN_IMAGE,
                                                         {u"/a", u"/b", u"/c"},
                                                         u"/x.lrm"}),
                         [](const ::testing::TestParamInfo<tagCHOOSECASE>& info) {
                           return info.param.pszName;
                         });

TEST(AddressList, ATypedAddressNamesAnExistingFolderPortfolioOrFile) {
  const fs::path dir = testsupport::NewTempDir("typed");
  testsupport::WriteFile(dir / "show.LRM", "");
  testsupport::WriteFile(dir / "p.jpg", "x");
  const MyString folder = CStrAW::FromPath(dir);
  tagADDRESSENTRY entry;
  ASSERT_EQ(CAddressList::Resolve(u"  " + folder + u"/ ", &entry), 1);
  EXPECT_EQ(entry, (tagADDRESSENTRY{AK_FOLDER, folder, folder}));
  ASSERT_EQ(CAddressList::Resolve(folder + u"/show.LRM", &entry), 1);
  EXPECT_EQ(entry.nKind, AK_PORTFOLIO);
  ASSERT_EQ(CAddressList::Resolve(folder + u"/p.jpg", &entry), 1);
  EXPECT_EQ(entry.nKind, AK_IMAGE);
  ASSERT_EQ(CAddressList::Resolve(u"/", &entry), 1);
  EXPECT_EQ(entry.strPath, MyString(u"/"));
  EXPECT_EQ(CAddressList::Resolve(folder + u"/missing", &entry), 0);
  EXPECT_EQ(CAddressList::Resolve(u"relative/path", &entry), 0);
  EXPECT_EQ(CAddressList::Resolve(u"", &entry), 0);
}

// The address bar of the real window.

class AddressBar : public ::testing::Test {
 protected:
  AddressBar() : frame(nullptr, &settings) {
    settings.recent.Clear();
    frame.resize(800, 500);
    frame.show();
  }
  ~AddressBar() override { settings.recent.Clear(); }

  CLorimoSettings settings;
  CMainFrame frame;
};

TEST_F(AddressBar, ChoosingARecentFolderShowsItsImagesAndPutsItFirst) {
  const fs::path pictures = testsupport::NewTempDir("pictures");
  fs::copy_file(testsupport::SourcePath("samples/tiles.png"), pictures / "tiles.png");
  const MyString folder = CStrAW::FromPath(pictures);
  settings.recent.AddRecentFolder(folder);
  settings.recent.AddRecentFolder(u"/");
  CNavigationBar* bar = frame.NavigationBar();
  bar->Refresh();
  const auto& entries = bar->GetEntries();
  int index = -1;
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].nKind == AK_FOLDER && entries[i].strPath == folder) index = int(i);
  ASSERT_GE(index, 0);
  EXPECT_EQ(bar->AddressBox()->count(), int(entries.size()));

  bar->ChooseEntry(index);
  EXPECT_TRUE(frame.Viewer()->Document().HasImage());
  EXPECT_EQ(frame.Viewer()->Document().GetName(), MyString(u"tiles.png"));
  EXPECT_EQ(settings.recent.GetRecentFolders().front(), folder);
  EXPECT_EQ(bar->GetAddress(), folder);
}

TEST_F(AddressBar, ATypedPathOpensWhatItNames) {
  CNavigationBar* bar = frame.NavigationBar();
  const QString image =
      QString::fromStdString(testsupport::SourcePath("samples/stripes.bmp").string());
  bar->AddressEdit()->setText(image);
  emit bar->AddressEdit()->returnPressed();
  EXPECT_EQ(frame.Viewer()->Document().GetName(), MyString(u"stripes.bmp"));

  bar->AddressEdit()->setText(QStringLiteral("/no/such/place"));
  emit bar->AddressEdit()->returnPressed();
  EXPECT_TRUE(frame.statusBar()->currentMessage().contains(QStringLiteral("/no/such/place")));
}

TEST_F(AddressBar, CopyAndPasteKeysActOnTheAddressWhileItHasTheFocus) {
  frame.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  QLineEdit* edit = frame.NavigationBar()->AddressEdit();
  edit->setFocus();
  ASSERT_TRUE(edit->hasFocus());
  edit->setText(QStringLiteral("/pics/summer"));
  edit->deselect();
  QApplication::clipboard()->clear();
  EXPECT_EQ(frame.SendCommand(IDM_KEY_CTRL_C), 1);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("/pics/summer"));

  QApplication::clipboard()->setText(QStringLiteral("/winter"));
  edit->setText(QString());
  EXPECT_EQ(frame.SendCommand(IDM_KEY_CTRL_V), 1);
  EXPECT_EQ(edit->text(), QStringLiteral("/winter"));
}

}  // namespace
