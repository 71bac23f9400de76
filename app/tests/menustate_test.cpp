#include "shell/menustate.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QShortcut>
#include <QTest>
#include <map>
#include <ostream>
#include <set>

#include <gtest/gtest.h>

#include "pixwork/options.h"
#include "shell/commandids.h"
#include "shell/commandrouter.h"
#include "shell/inputmapping.h"
#include "shell/mainframe.h"
#include "shell/mainmenu.h"
#include "shell/programhooks.h"
#include "shell/recentlists.h"
#include "shell/settings.h"
#include "shell/toolviewdocks.h"

namespace {

// A viewer that reports what it is told to.
class CStateViewer : public CCommandTarget {
 public:
  int OnCommand(int id) override {
    ran.push_back(id);
    return 1;
  }
  bool IsCommandEnabled(int id) const override { return !disabled.count(id); }
  bool IsCommandChecked(int id) const override { return checked.count(id) != 0; }

  std::set<int> disabled;
  std::set<int> checked;
  std::vector<int> ran;
};

class MenuState : public ::testing::Test {
 protected:
  MenuState() : state(router, lists, [this] { return bHasImage; }) {
    router.SetTarget(CO_VIEWER, &viewer);
  }
  void TearDown() override { gszExtEdit[0] = 0; }

  CCommandRouter router;
  CStateViewer viewer;
  CRecentLists lists;
  bool bHasImage = false;
  CMenuState state;
};

struct tagRECENTCASE {
  const char* pszName;
  int nFirstId;
};

void PrintTo(const tagRECENTCASE& c, std::ostream* out) { *out << c.pszName; }

class RecentEntries : public MenuState, public ::testing::WithParamInterface<tagRECENTCASE> {};

TEST_P(RecentEntries, TakeTheTextsOfTheirListAndAreDisabledWithoutAnItem) {
  const int first = GetParam().nFirstId;
  const std::vector<int> ids =
      first == IDM_RECENT_PORTFOLIO_1
          ? std::vector<int>{IDM_RECENT_PORTFOLIO_1, IDM_RECENT_PORTFOLIO_2, IDM_RECENT_PORTFOLIO_3,
                             IDM_RECENT_PORTFOLIO_4}
          : std::vector<int>{first, first + 1, first + 2, first + 3};
  if (first == IDM_RECENT_FILE_1) {
    lists.AddRecentFile(u"/pics/b.jpg");
    lists.AddRecentFile(u"/pics/a & b.jpg");
  } else if (first == IDM_RECENT_DIRECTORY_1) {
    lists.AddRecentFolder(u"/pics/b");
    lists.AddRecentFolder(u"/pics/a & b");
  } else {
    lists.SetPortfolioSlot(0, u"/pics/a & b.lrm");
    lists.SetPortfolioSlot(2, u"/pics/b.lrm");
  }
  const tagMENUITEMSTATE s0 = state.Get(ids[0]);
  EXPECT_TRUE(s0.bEnabled);
  EXPECT_TRUE(s0.strText.str().starts_with(u"/pics/a & b"));
  const bool bSlots = first == IDM_RECENT_PORTFOLIO_1;
  const tagMENUITEMSTATE s1 = state.Get(ids[bSlots ? 2 : 1]);
  EXPECT_TRUE(s1.bEnabled);
  EXPECT_TRUE(s1.strText.str().starts_with(u"/pics/b"));
  const tagMENUITEMSTATE empty = state.Get(ids[bSlots ? 1 : 2]);
  EXPECT_FALSE(empty.bEnabled);
  EXPECT_EQ(empty.strText, MyString(CCommandTable::Find(ids[bSlots ? 1 : 2])->pszText));
  EXPECT_FALSE(state.Get(ids[3]).bEnabled);
}

INSTANTIATE_TEST_SUITE_P(Lists, RecentEntries,
                         ::testing::Values(tagRECENTCASE{"Files", IDM_RECENT_FILE_1},
                                           tagRECENTCASE{"Folders", IDM_RECENT_DIRECTORY_1},
                                           tagRECENTCASE{"Portfolios", IDM_RECENT_PORTFOLIO_1}),
                         [](const ::testing::TestParamInfo<tagRECENTCASE>& info) {
                           return info.param.pszName;
                         });

struct tagEDITORCASE {
  bool bHasImage;
  bool bEditorSet;
  bool bViewerAllows;
  bool bEnabled;
};

void PrintTo(const tagEDITORCASE& c, std::ostream* out) {
  *out << c.bHasImage << c.bEditorSet << c.bViewerAllows;
}

class ExternalEditor : public MenuState, public ::testing::WithParamInterface<tagEDITORCASE> {};

TEST_P(ExternalEditor, NeedsAnImageAndAnEditor) {
  bHasImage = GetParam().bHasImage;
  if (GetParam().bEditorSet) SetRecordText(gszExtEdit, u"/usr/bin/gimp", 12);
  if (!GetParam().bViewerAllows) viewer.disabled.insert(IDM_EXTERNAL_EDITOR);
  EXPECT_EQ(state.Get(IDM_EXTERNAL_EDITOR).bEnabled, GetParam().bEnabled);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExternalEditor,
                         ::testing::Values(tagEDITORCASE{true, true, true, true},
                                           tagEDITORCASE{false, true, true, false},
                                           tagEDITORCASE{true, false, true, false},
                                           tagEDITORCASE{true, true, false, false}));

TEST_F(MenuState, ChecksAndGreysAsTheOwnersSay) {
  viewer.checked = {IDM_LOCK_ZOOM_SCROLL, IDM_ALWAYS_ON_TOP};
  viewer.disabled = {IDM_ZOOM_IN};
  EXPECT_TRUE(state.Get(IDM_LOCK_ZOOM_SCROLL).bChecked);
  EXPECT_TRUE(state.Get(IDM_ALWAYS_ON_TOP).bChecked);
  EXPECT_FALSE(state.Get(IDM_AUTOPLAY).bChecked);
  EXPECT_FALSE(state.Get(IDM_ZOOM_IN).bEnabled);
  EXPECT_TRUE(state.Get(IDM_ZOOM_OUT).bEnabled);
  EXPECT_EQ(state.Get(IDM_ZOOM_OUT).strText, MyString(u"Zoom Out"));
  // Parts that are not in the program are greyed.
  EXPECT_FALSE(state.Get(IDM_BATCH).bEnabled);
  CStateViewer batch;
  router.SetTarget(CO_BATCH, &batch);
  EXPECT_TRUE(state.Get(IDM_BATCH).bEnabled);
}

// The menu bar of the real window.

TEST(MainMenu, ShowsEveryEntryOfTheTableInItsMenu) {
  CLorimoSettings settings;
  CMainFrame frame(nullptr, &settings);
  EXPECT_EQ(frame.menuBar()->objectName(), QStringLiteral("LORIMO"));
  std::map<int, QAction*> shown;
  std::function<void(QMenu*, int)> walk = [&](QMenu* menu, int top) {
    for (QAction* action : menu->actions()) {
      if (action->menu()) {
        walk(action->menu(), top);
      } else if (!action->isSeparator()) {
        shown[action->data().toInt()] = action;
        const tagCOMMANDENTRY* entry = CCommandTable::Find(action->data().toInt());
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->nMenu, top) << entry->nId;
      }
    }
  };
  for (int m = 0; m < MM_COUNT; ++m) walk(frame.MainMenu().GetMenu(MAINMENU(m)), m);
  // Commands of keyboard actions are named by the action and its key.
  const std::map<int, MyString> mapped = CInputMapping::MenuLabels(frame.InputBinding());
  for (const tagCOMMANDENTRY& entry : CCommandTable::Entries()) {
    if (entry.nMenu == MM_NONE) continue;
    ASSERT_TRUE(shown.count(entry.nId)) << entry.nId;
    const auto label = mapped.find(entry.nId);
    EXPECT_EQ(
        shown[entry.nId]->text().section(QLatin1Char('\t'), 0, 0),
        (label != mapped.end() ? label->second.ToQString() : QString::fromUtf16(entry.pszText))
            .section(QLatin1Char('\t'), 0, 0));
  }
  EXPECT_EQ(frame.MainMenu().GetAction(IDM_OPEN)->text(), QStringLiteral("&Open ...\tCtrl+O"));
  EXPECT_EQ(frame.MainMenu().GetAction(IDM_UNDO)->text(), QStringLiteral("Undo\tCtrl+Z"));
  EXPECT_EQ(frame.MainMenu().GetAction(IDM_ROTATE_CLOCKWISE)->text(),
            QStringLiteral("Rotate Right\tCharacter: r"));
  EXPECT_EQ(frame.MainMenu().GetAction(IDM_REDO)->text(), QStringLiteral("&Redo"));
  EXPECT_EQ(frame.MainMenu().GetAction(IDM_VIEW_EXIF)->text(), QStringLiteral(" Exif\tCtrl+F5"));
}

TEST(MainMenu, OpeningAMenuStopsAutoplayAndRefreshesItsEntries) {
  CLorimoSettings settings;
  settings.recent.Clear();
  CMainFrame frame(nullptr, &settings);
  int stops = 0;
  GetProgramHooks().stopAutoplay = [&stops] { ++stops; };
  settings.recent.AddRecentFolder(u"/pics/holiday");
  QMenu* file = frame.MainMenu().GetMenu(MM_FILE);
  emit file->aboutToShow();
  GetProgramHooks().stopAutoplay = nullptr;
  EXPECT_EQ(stops, 1);
  QAction* folder = frame.MainMenu().GetAction(IDM_RECENT_DIRECTORY_1);
  EXPECT_EQ(folder->text(), QStringLiteral("/pics/holiday"));
  EXPECT_TRUE(folder->isEnabled());
  EXPECT_FALSE(frame.MainMenu().GetAction(IDM_RECENT_DIRECTORY_1 + 1)->isEnabled());
}

TEST(MainMenu, ChoosingACheckedEntryLeavesTheCheckToItsOwner) {
  CLorimoSettings settings;
  CMainFrame frame(nullptr, &settings);
  QAction* hand = frame.MainMenu().GetAction(IDM_TOOL_HAND);
  hand->trigger();
  EXPECT_TRUE(hand->isChecked());
  EXPECT_EQ(frame.InputBinding().GetMouseTool(), IDM_TOOL_HAND);
  hand->trigger();  // a second click keeps the tool
  EXPECT_TRUE(hand->isChecked());
  EXPECT_FALSE(frame.MainMenu().GetAction(IDM_TOOL_CUSTOM)->isChecked());
  settings.menu.ResetToDefaults();
}

TEST(MainMenu, FavoritesEntriesAreAddedAndReplaced) {
  CLorimoSettings settings;
  CMainFrame frame(nullptr, &settings);
  CStateViewer favorites;
  frame.Router().SetTarget(CO_FAVORITES, &favorites);
  const int first = frame.Router().HandOutFavoritesId();
  const int second = frame.Router().HandOutFavoritesId();
  frame.MainMenu().SetFavoritesEntries(
      {{first, QStringLiteral("Holiday")}, {second, QStringLiteral("Cats")}});
  frame.MainMenu().GetAction(second)->trigger();
  EXPECT_EQ(favorites.ran, std::vector<int>{second});
  frame.MainMenu().SetFavoritesEntries({{first, QStringLiteral("Holiday")}});
  EXPECT_EQ(frame.MainMenu().GetAction(second), nullptr);
  EXPECT_NE(frame.MainMenu().GetAction(first), nullptr);
}

TEST(MainMenu, FavoritesSubMenusAreFilledEachTimeTheyOpen) {
  CLorimoSettings settings;
  CMainFrame frame(nullptr, &settings);
  CStateViewer favorites;
  frame.Router().SetTarget(CO_FAVORITES, &favorites);
  CCommandRouter& router = frame.Router();
  int fills = 0;
  tagFAVORITESMENUENTRY trips{router.HandOutFavoritesId(), QStringLiteral("Trips")};
  trips.fillSubmenu = [&] {
    ++fills;
    tagFAVORITESMENUENTRY alps{router.HandOutFavoritesId(), QStringLiteral("alps"), true};
    alps.fillSubmenu = [&router] {
      return std::vector<tagFAVORITESMENUENTRY>{
          {router.HandOutFavoritesId(), QStringLiteral("day1")}};
    };
    return std::vector<tagFAVORITESMENUENTRY>{
        alps, {router.HandOutFavoritesId(), QStringLiteral("beach")}};
  };
  frame.MainMenu().SetFavoritesEntries({trips});
  QMenu* sub = frame.MainMenu().GetAction(trips.nId)->menu();
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(fills, 0);
  for (int opening = 1; opening <= 2; ++opening) {
    emit sub->aboutToShow();
    EXPECT_EQ(fills, opening);
    ASSERT_EQ(sub->actions().size(), 2);
    EXPECT_TRUE(sub->actions()[0]->isChecked());
    QMenu* nested = sub->actions()[0]->menu();
    ASSERT_NE(nested, nullptr);
    emit nested->aboutToShow();
    ASSERT_EQ(nested->actions().size(), 1);
    EXPECT_EQ(nested->actions()[0]->text(), QStringLiteral("day1"));
  }
  const int beach = sub->actions()[1]->data().toInt();
  sub->actions()[1]->trigger();
  EXPECT_EQ(favorites.ran, std::vector<int>{beach});
  // Rebuilt: the sub-menu goes with its entries.
  QPointer<QMenu> gone(sub);
  frame.MainMenu().SetFavoritesEntries({});
  EXPECT_TRUE(gone.isNull());
  EXPECT_EQ(frame.MainMenu().GetAction(trips.nId), nullptr);
}

TEST(Accelerators, KeysOfTheTableSendTheirCommands) {
  CLorimoSettings settings;
  CMainFrame frame(nullptr, &settings);
  frame.show();
  frame.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  for (const tagACCELERATOR& accelerator : CCommandTable::Accelerators()) {
    QShortcut* shortcut = frame.MainMenu().GetShortcut(accelerator.pszKey);
    ASSERT_NE(shortcut, nullptr) << accelerator.pszKey;
    EXPECT_EQ(shortcut->key(), QKeySequence(QString::fromLatin1(accelerator.pszKey)));
  }
  // Ctrl+F5 shows the Exif view, a second press hides it again.
  const int exif = 5;
  QTest::keyClick(&frame, Qt::Key_F5, Qt::ControlModifier);
  EXPECT_TRUE(frame.ToolViews().IsViewVisible(exif));
  QTest::keyClick(&frame, Qt::Key_F5, Qt::ControlModifier);
  EXPECT_FALSE(frame.ToolViews().IsViewVisible(exif));
  // Ctrl+C with the focus elsewhere runs the mapped Copy (a viewer command).
  CStateViewer viewer;
  frame.Router().SetTarget(CO_VIEWER, &viewer);
  QTest::keyClick(&frame, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(viewer.ran, std::vector<int>{IDM_COPY});
  frame.Router().SetTarget(CO_VIEWER, nullptr);
  settings.menu.ResetToDefaults();
}

}  // namespace
