#include "browse/treepanes.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <filesystem>

#include <gtest/gtest.h>

#include "browse/directoriesview.h"
#include "browse/folderwatcher.h"
#include "browse/searchview.h"
#include "corekit/platform.h"
#include "corekit/straw.h"
#include "pixwork/formats.h"
#include "shell/commandids.h"
#include "shell/mainframe.h"
#include "shell/programhooks.h"
#include "shell/settings.h"
#include "shell/toolviewdocks.h"
#include "shell/toolviewmenu.h"
#include "testsupport/testsupport.h"
#include "viewer/imagedocument.h"
#include "viewer/imageview.h"

namespace fs = std::filesystem;
using testsupport::WaitFor;

namespace {

constexpr auto kPatience = std::chrono::seconds(20);

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

// Listed for the directories slot (the thread may not watch it yet).
bool Watched(const CFolderWatcher& watcher, const fs::path& path) {
  for (const tagWATCHITEM& item : watcher.GetItems())
    if (item.strPath == W(path)) return item.dwStates[2] == CFolderWatcher::kWatching;
  return false;
}

}  // namespace

TEST(DirectoriesView, FollowsTheDiskWatchesWhatIsOpenAndOpensWhatTheUserPicks) {
  const fs::path home = CStrAW::ToPath(GetHomeFolder());
  const fs::path pics = home / "pics";
  fs::create_directories(pics / "a" / "deep");
  fs::create_directories(pics / "b");
  fs::create_directories(pics / std::string("bad\xff"));  // not UTF-8: left out
  fs::create_directories(pics / ".hidden");
  testsupport::WriteFile(pics / "show.lrm", "x");

  CFolderWatcher watcher;
  CDirectoriesView view(nullptr, nullptr, nullptr, &watcher);
  QSignalSpy chosen(&view, &CDirectoriesView::FolderChosen);
  EXPECT_EQ(view.SelectFolder(W(pics / "a")), 0);  // before the fill: done after it
  ASSERT_TRUE(WaitFor([&] { return view.IsFilled(); }, kPatience));
  EXPECT_EQ(CDirectoriesView::ItemPath(view.topLevelItem(0)), W(home));
  EXPECT_TRUE(view.FindItem(u"/"));

  // The program's selection opens nothing, and opens the way to the node.
  ASSERT_TRUE(view.currentItem());
  EXPECT_EQ(CDirectoriesView::ItemPath(view.currentItem()), W(pics / "a"));
  EXPECT_EQ(chosen.count(), 0);
  QTreeWidgetItem* picsItem = view.FindItem(W(pics));
  ASSERT_TRUE(picsItem);
  EXPECT_TRUE(picsItem->isExpanded());
  ASSERT_EQ(picsItem->childCount(), 2);  // a, b
  EXPECT_TRUE(watcher.IsRunning());
  EXPECT_TRUE(Watched(watcher, pics));
  EXPECT_TRUE(Watched(watcher, home));

  // Folders made and removed outside the program show up and go.
  ASSERT_TRUE(WaitFor([&] { return watcher.IsWatched(W(pics)); }, kPatience));
  fs::create_directory(pics / "c");
  EXPECT_TRUE(WaitFor([&] { return view.FindItem(W(pics / "c")) != nullptr; }, kPatience));
  view.FindItem(W(pics / "a"))->setExpanded(true);
  ASSERT_TRUE(WaitFor([&] { return watcher.IsWatched(W(pics / "a")); }, kPatience));
  fs::remove_all(pics / "b");
  EXPECT_TRUE(WaitFor([&] { return view.FindItem(W(pics / "b")) == nullptr; }, kPatience));
  // The open node survived the refresh of its parent, and stays watched.
  EXPECT_TRUE(view.FindItem(W(pics / "a"))->isExpanded());

  // Collapsing takes the whole branch out of the watcher.
  picsItem = view.FindItem(W(pics));
  picsItem->setExpanded(false);
  EXPECT_FALSE(Watched(watcher, pics));
  EXPECT_FALSE(Watched(watcher, pics / "a"));
  EXPECT_TRUE(Watched(watcher, home));

  // The user's pick opens the folder.
  view.setCurrentItem(view.FindItem(W(pics / "c")));
  ASSERT_EQ(chosen.count(), 1);
  EXPECT_EQ(chosen[0][0].toString(), QString::fromStdString((pics / "c").string()));

  // Renames: no names that move the folder; a good one follows on disk.
  MyString error;
  QTreeWidgetItem* a = view.FindItem(W(pics / "a"));
  for (const char16_t* bad : {u"", u".", u"..", u"x/y", u"c"})
    EXPECT_EQ(view.RenameItem(a, bad, &error), 0) << MyString(bad).ToUtf8();
  EXPECT_TRUE(fs::is_directory(pics / "a"));
  EXPECT_EQ(view.RenameItem(a, u"renamed", &error), 1) << error.ToUtf8();
  EXPECT_TRUE(fs::is_directory(pics / "renamed" / "deep"));
  EXPECT_EQ(view.FindItem(W(pics / "renamed")), a);
  EXPECT_EQ(view.RenameItem(view.topLevelItem(0), u"x", &error), 0);  // a root

  EXPECT_EQ(
      BuildDirectoryTooltip(u"pics", W(pics), CountFolderContents(W(pics))).ToUtf8(),
      "Name:  pics\nPath:  " + pics.string() + "\nContents:\n   3 folders\n   1 portfolio files");

  // A watched folder that vanishes leaves the tree and the watcher.
  view.FindItem(W(pics))->setExpanded(true);
  ASSERT_TRUE(WaitFor([&] { return watcher.IsWatched(W(pics)); }, kPatience));
  fs::remove_all(pics);
  EXPECT_TRUE(WaitFor([&] { return view.FindItem(W(pics)) == nullptr; }, kPatience));
  EXPECT_TRUE(WaitFor([&] { return !Watched(watcher, pics); }, kPatience));
}

TEST(SearchView, SearchesOnItsThreadAndSortsByColumn) {
  const fs::path top = testsupport::NewTempDir("searchview");
  testsupport::WriteFile(top / "b.jpg", "x");
  testsupport::WriteFile(top / "sub" / "a.png", "x");
  testsupport::WriteFile(top / "notes.txt", "x");

  CSearchView view(nullptr);
  view.resize(500, 400);
  view.show();
  // The type list: all types, then each image extension and the portfolio.
  std::vector<MyString> types = GetSupportedExtensions();
  EXPECT_EQ(view.TypeBox()->count(), int(types.size()) + 2);
  EXPECT_EQ(view.TypeBox()->itemText(0), QStringLiteral("All Lorimo supported types"));
  EXPECT_FALSE(view.StopButton()->isEnabled());

  view.LookInBox()->SetFolder(W(top));
  QSignalSpy finished(&view, &CSearchView::SearchFinished);
  view.SearchButton()->click();
  EXPECT_FALSE(view.SearchButton()->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }, kPatience));
  EXPECT_TRUE(view.SearchButton()->isEnabled());
  EXPECT_FALSE(view.StopButton()->isEnabled());
  ASSERT_EQ(view.Results()->topLevelItemCount(), 3);  // b.jpg, sub, sub/a.png

  view.Results()->header()->sectionClicked(0);  // by name: the folder first
  EXPECT_EQ(view.Results()->topLevelItem(0)->text(0), QStringLiteral("sub"));
  EXPECT_EQ(view.Results()->topLevelItem(1)->text(0), QStringLiteral("a.png"));
  EXPECT_EQ(view.Results()->topLevelItem(2)->text(0), QStringLiteral("b.jpg"));
  EXPECT_EQ(view.Results()->topLevelItem(2)->text(1), QString::fromStdString(top.string()));
  EXPECT_FALSE(view.Results()->topLevelItem(2)->text(2).isEmpty());
  EXPECT_FALSE(view.Results()->topLevelItem(2)->text(3).isEmpty());
  ASSERT_TRUE(WaitFor([&] { return view.Results()->width() > 100; }, kPatience));
  EXPECT_EQ(view.Results()->columnWidth(1), view.Results()->viewport()->width() * 2 / 5);

  view.TextBox()->setText(QStringLiteral("b"));
  view.SearchButton()->click();
  ASSERT_TRUE(WaitFor([&] { return finished.count() == 2; }, kPatience));
  ASSERT_EQ(view.Results()->topLevelItemCount(), 2);  // b.jpg and "sub" (holds a.png)
}

TEST(TreePanes, FillTheirDocksAndFollowTheViewer) {
  const fs::path home = CStrAW::ToPath(GetHomeFolder());
  const fs::path trip = home / "trip";
  fs::create_directories(trip / "day");
  fs::copy_file(testsupport::SourcePath("samples/sky.jpg"), trip / "sky.jpg");
  fs::copy_file(testsupport::SourcePath("samples/sky.jpg"), trip / "day" / "sky2.jpg");

  tagPROGRAMHOOKS& hooks = GetProgramHooks();
  const auto saved = hooks.showFolderInPanes;
  MyStringList told;
  hooks.showFolderInPanes = [&told](const MyString& folder) { told.Append(folder); };
  {
    CLorimoSettings settings;
    CMainFrame frame(nullptr, &settings);
    InstallTreePanes(frame);
    const int directories = 8, search = 14;
    ASSERT_EQ(CToolViewMenu::Entries()[directories].nCommand, uint32_t(IDM_VIEW_DIRECTORIES));
    ASSERT_EQ(CToolViewMenu::Entries()[search].nCommand, uint32_t(IDM_VIEW_SEARCH));
    frame.ToolViews().ShowToolView(directories);
    frame.ToolViews().ShowToolView(search);
    auto* view = qobject_cast<CDirectoriesView*>(frame.ToolViews().GetDock(directories)->widget());
    ASSERT_NE(view, nullptr);
    EXPECT_NE(qobject_cast<CSearchView*>(frame.ToolViews().GetDock(search)->widget()), nullptr);
    ASSERT_TRUE(WaitFor([&] { return view->IsFilled(); }, kPatience));

    // The viewer opens an image: the earlier hook and the tree both follow.
    ASSERT_EQ(frame.OpenImage(W(trip / "sky.jpg")), 1);
    ASSERT_EQ(told.GetListLength(), 1u);
    EXPECT_EQ(told[0], W(trip));
    ASSERT_TRUE(view->currentItem());
    EXPECT_EQ(CDirectoriesView::ItemPath(view->currentItem()), W(trip));

    // The user picks a folder: the viewer shows its images.
    view->currentItem()->setExpanded(true);
    ASSERT_NE(view->FindItem(W(trip / "day")), nullptr);
    view->setCurrentItem(view->FindItem(W(trip / "day")));
    EXPECT_EQ(told.GetListLength(), 2u);
    EXPECT_TRUE(WaitFor(
        [&] { return frame.Viewer()->Document().GetPath() == W(trip / "day" / "sky2.jpg"); },
        kPatience))
        << frame.Viewer()->Document().GetPath().ToUtf8();

    // Renaming the folder of the viewer's list opens the list again there.
    MyString error;
    ASSERT_EQ(view->RenameItem(view->currentItem(), u"later", &error), 1) << error.ToUtf8();
    EXPECT_TRUE(WaitFor(
        [&] { return frame.Viewer()->Document().GetPath() == W(trip / "later" / "sky2.jpg"); },
        kPatience))
        << frame.Viewer()->Document().GetPath().ToUtf8();
  }
  hooks.showFolderInPanes = saved;
}
