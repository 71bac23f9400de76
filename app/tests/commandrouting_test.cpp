#include <QStatusBar>
#include <map>
#include <ostream>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "pixwork/sortsettings.h"
#include "shell/commandids.h"
#include "shell/commandrouter.h"
#include "shell/commandtable.h"
#include "shell/mainframe.h"
#include "shell/plugincommands.h"
#include "shell/settings.h"
#include "testsupport/testsupport.h"
#include "viewer/imageview.h"

namespace {

// Takes every command and remembers it.
class CRecorder : public CCommandTarget {
 public:
  explicit CRecorder(int answer = 1) : m_nAnswer(answer) {}
  int OnCommand(int id) override {
    ids.push_back(id);
    return m_nAnswer;
  }
  std::vector<int> ids;

 private:
  int m_nAnswer;
};

struct tagOWNERCASE {
  int nId;
  COMMANDOWNER nOwner;
};

void PrintTo(const tagOWNERCASE& c, std::ostream* out) { *out << c.nId; }

// Who carries out each command: written from the documented command table,
// not from ours.
const std::vector<tagOWNERCASE>& DocumentedOwners() {
  static const std::vector<tagOWNERCASE> owners = [] {
    std::vector<tagOWNERCASE> list;
    auto add = [&list](std::initializer_list<int> ids, COMMANDOWNER owner) {
      for (int id : ids) list.push_back({id, owner});
    };
    add({1,    7,    11,   29,   30,   3010, 3072, 3180, 3059, 3060,
         3061, 3062, 3064, 3065, 3066, 3067, 3113, 3116, 3117, 3118},
        CO_FRAME);
    add({200,  225,  232,  354,  3087, 3119, 3134, 3179, 3137, 3159, 3166, 3169, 3171, 3176,
         3185, 3000, 3001, 3002, 3011, 3088, 3102, 3155, 3163, 3160, 3167, 3172, 3173},
        CO_TOOL_VIEWS);
    add({1070, 1071, 1072, 1073, 1074, 1075, 1076}, CO_MOUSE_TOOLS);
    add({3030, 3031, 3040, 3039, 3192, 3038, 3037}, CO_SORT);
    add({2000, 2001, 2002, 2003, 2004, 3140, 3141, 3150, 3013, 3026, 3045, 3004}, CO_INPUT_KEYS);
    add({2,   234, 3181, 3076, 3077, 300, 3191, 298,  227,  226, 228, 3104,
         13,  14,  15,   3122, 18,   17,  3050, 3024, 195,  196, 194, 197,
         190, 191, 193,  3015, 3042, 357, 3146, 9,    3051, 3124},
        CO_VIEWER);
    add({350, 351, 361, 352, 3046, 3047, 3055, 3145, 3128}, CO_FAVORITES);
    add({4, 5, 10}, CO_BROWSE);
    add({6}, CO_BATCH);
    add({3018}, CO_PORTFOLIOS);
    add({3082, 3084}, CO_EMAIL);
    add({363, 364}, CO_SCANNER);
    add({3127}, CO_CAMERA);
    add({3}, CO_SAVE_OPTIONS);
    add({27}, CO_INPUT_MAPPING);
    return list;
  }();
  return owners;
}

// A router with a recorder for every owner.
class CRecordingRouter {
 public:
  CRecordingRouter() {
    for (int owner = 0; owner < CO_COUNT; ++owner) {
      recorders[owner] = std::make_unique<CRecorder>();
      router.SetTarget(COMMANDOWNER(owner), recorders[owner].get());
    }
  }
  // Who got the id.
  std::set<COMMANDOWNER> Receivers(int id) const {
    std::set<COMMANDOWNER> receivers;
    for (const auto& [owner, recorder] : recorders)
      for (int got : recorder->ids)
        if (got == id) receivers.insert(COMMANDOWNER(owner));
    return receivers;
  }

  CCommandRouter router;
  std::map<int, std::unique_ptr<CRecorder>> recorders;
};

class CommandRouting : public ::testing::TestWithParam<tagOWNERCASE> {};

TEST_P(CommandRouting, ReachesItsDocumentedOwnerOnly) {
  CRecordingRouter routing;
  COMMANDOWNER by = CO_NONE;
  ASSERT_EQ(routing.router.Route(GetParam().nId, &by), 1);
  EXPECT_EQ(by, GetParam().nOwner);
  EXPECT_EQ(routing.Receivers(GetParam().nId), std::set<COMMANDOWNER>{GetParam().nOwner});
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, CommandRouting, ::testing::ValuesIn(DocumentedOwners()),
                         [](const ::testing::TestParamInfo<tagOWNERCASE>& info) {
                           return "Id" + std::to_string(info.param.nId);
                         });

TEST(CommandTable, HoldsEveryDocumentedCommandOnceAndNothingElse) {
  std::multiset<int> inTable;
  for (const tagCOMMANDENTRY& entry : CCommandTable::Entries()) inTable.insert(entry.nId);
  std::multiset<int> documented;
  for (const tagOWNERCASE& c : DocumentedOwners()) documented.insert(c.nId);
  EXPECT_EQ(inTable, documented);
}

TEST(CommandTable, EveryAcceleratorSendsACommandOfTheTable) {
  std::set<std::string> keys;
  for (const tagACCELERATOR& accelerator : CCommandTable::Accelerators()) {
    EXPECT_NE(CCommandTable::Find(accelerator.nId), nullptr) << accelerator.pszKey;
    EXPECT_TRUE(keys.insert(accelerator.pszKey).second) << accelerator.pszKey << " twice";
  }
  EXPECT_EQ(CCommandTable::AcceleratorCommand("Ctrl+O"), IDM_OPEN);
  EXPECT_EQ(CCommandTable::AcceleratorCommand("F1"), IDM_HELP);
  EXPECT_EQ(CCommandTable::AcceleratorCommand("Ctrl+F1"), IDM_KEY_NAVIGATION);
  EXPECT_EQ(CCommandTable::AcceleratorCommand("Ctrl+F12"), IDM_KEY_HISTOGRAM);
  EXPECT_EQ(CCommandTable::AcceleratorCommand("Ctrl+C"), IDM_KEY_CTRL_C);
  EXPECT_EQ(CCommandTable::AcceleratorCommand("Alt+Right"), IDM_KEY_ALT_RIGHT);
}

TEST(CommandRouter, APartNotInTheProgramPassesItsCommandsToTheViewerThenThePlugins) {
  CRecorder viewer(0);
  CRecorder plugins(0);
  CCommandRouter router;
  router.SetTarget(CO_VIEWER, &viewer);
  router.SetTarget(CO_PLUGINS, &plugins);
  COMMANDOWNER by = CO_FRAME;
  EXPECT_EQ(router.Route(IDM_ADD_FAVORITE_DIRECTORY, &by), 0);
  EXPECT_EQ(by, CO_NONE);
  EXPECT_EQ(viewer.ids, std::vector<int>{IDM_ADD_FAVORITE_DIRECTORY});
  EXPECT_EQ(plugins.ids, std::vector<int>{IDM_ADD_FAVORITE_DIRECTORY});
  // A command whose part is missing is greyed.
  EXPECT_FALSE(router.IsCommandEnabled(IDM_ADD_FAVORITE_DIRECTORY));

  CRecorder pluginsTaking(1);
  router.SetTarget(CO_PLUGINS, &pluginsTaking);
  EXPECT_EQ(router.Route(45000, &by), 1);
  EXPECT_EQ(by, CO_PLUGINS);
}

TEST(CommandRouter, TheWindowsOwnAnswerIsFinal) {
  CRecorder frame(0);
  CRecorder viewer(1);
  CCommandRouter router;
  router.SetTarget(CO_FRAME, &frame);
  router.SetTarget(CO_VIEWER, &viewer);
  COMMANDOWNER by = CO_FRAME;
  EXPECT_EQ(router.Route(IDM_RECENT_FILE_1 + 3, &by), 0);
  EXPECT_EQ(by, CO_NONE);
  EXPECT_TRUE(viewer.ids.empty());
}

TEST(CommandRouter, APartThatDoesNotKnowAnIdLetsTheViewerTry) {
  CRecorder favorites(0);
  CRecorder viewer(1);
  CCommandRouter router;
  router.SetTarget(CO_FAVORITES, &favorites);
  router.SetTarget(CO_VIEWER, &viewer);
  COMMANDOWNER by = CO_NONE;
  EXPECT_EQ(router.Route(IDM_UPDATE_FAVORITES, &by), 1);
  EXPECT_EQ(by, CO_VIEWER);
}

TEST(CommandRouter, FavoritesEntriesAreTheIdsHandedOut) {
  CRecordingRouter routing;
  CCommandRouter& router = routing.router;
  COMMANDOWNER by = CO_NONE;
  router.Route(IDM_FIRST_FAVORITES_ENTRY, &by);
  EXPECT_EQ(by, CO_VIEWER) << "nothing handed out yet";

  EXPECT_EQ(router.HandOutFavoritesId(), 60000);
  EXPECT_EQ(router.HandOutFavoritesId(), 60001);
  router.Route(60000, &by);
  EXPECT_EQ(by, CO_FAVORITES);
  router.Route(60001, &by);
  EXPECT_EQ(by, CO_FAVORITES);
  router.Route(60002, &by);
  EXPECT_EQ(by, CO_VIEWER);

  router.ResetFavoritesIds();
  EXPECT_FALSE(router.IsFavoritesEntry(60000));
  EXPECT_EQ(router.HandOutFavoritesId(), 60000);
}

struct tagSORTCASE {
  int nId;
  uint32_t dwMode;
  int32_t bAscending;
};

class SortCommands : public ::testing::TestWithParam<tagSORTCASE> {
 protected:
  void SetUp() override {
    gdwSortingMode = 2;
    bSortAscending = 1;
  }
  void TearDown() override {
    gdwSortingMode = 0;
    bSortAscending = 1;
  }
};

TEST_P(SortCommands, SetTheSortSettingsThenTheViewerSortsAgain) {
  CRecorder viewer;
  CSortCommands sort(&viewer);
  ASSERT_EQ(sort.OnCommand(GetParam().nId), 1);
  EXPECT_EQ(gdwSortingMode, GetParam().dwMode);
  EXPECT_EQ(bSortAscending, GetParam().bAscending);
  EXPECT_EQ(viewer.ids, std::vector<int>{GetParam().nId});
  EXPECT_TRUE(sort.IsCommandChecked(GetParam().nId));
  // Exactly one mode and one direction are checked.
  int modes = 0;
  for (int id :
       {IDM_SORT_NAME, IDM_SORT_EXTENSION, IDM_SORT_SIZE, IDM_SORT_DATE, IDM_SORT_EXIF_DATE})
    modes += sort.IsCommandChecked(id);
  EXPECT_EQ(modes, 1);
  EXPECT_NE(sort.IsCommandChecked(IDM_SORT_ASCENDING), sort.IsCommandChecked(IDM_SORT_DESCENDING));
}

INSTANTIATE_TEST_SUITE_P(ByNameExtensionSizeDateAndDirection, SortCommands,
                         ::testing::Values(tagSORTCASE{IDM_SORT_NAME, 0, 1},
                                           tagSORTCASE{IDM_SORT_EXTENSION, 1, 1},
                                           tagSORTCASE{IDM_SORT_SIZE, 2, 1},
                                           tagSORTCASE{IDM_SORT_DATE, 3, 1},
                                           tagSORTCASE{IDM_SORT_EXIF_DATE, 4, 1},
                                           tagSORTCASE{IDM_SORT_DESCENDING, 2, 0}));

TEST(PluginCommands, AnswerOnlyTheIdsThePluginHostAdded) {
  CPluginCommands plugins;
  EXPECT_EQ(plugins.OnCommand(41000), 0);
  int runs = 0;
  ASSERT_EQ(plugins.AddCommand(41000, [&runs] { ++runs; }), 1);
  EXPECT_EQ(plugins.AddCommand(41000, [] {}), 0) << "an id is given once";
  EXPECT_EQ(plugins.AddCommand(41001, {}), 0);
  EXPECT_EQ(plugins.OnCommand(41000), 1);
  EXPECT_EQ(runs, 1);
  // A handler may take its own command away.
  ASSERT_EQ(plugins.AddCommand(41002, [&plugins] { plugins.RemoveCommand(41002); }), 1);
  EXPECT_EQ(plugins.OnCommand(41002), 1);
  EXPECT_EQ(plugins.OnCommand(41002), 0);
}

// The real main window.

MyString Sample(const char* name) {
  return CStrAW::FromPath(testsupport::SourcePath(std::string("samples/") + name));
}

TEST(MainFrameRouting, SendsTheCommandsOfMissingPartsOnToTheViewerAndSaysSo) {
  CLorimoSettings settings;
  CMainFrame frame(nullptr, &settings);
  CRecorder viewer(0);
  frame.Router().SetTarget(CO_VIEWER, &viewer);
  EXPECT_EQ(frame.SendCommand(IDM_BATCH), 0);
  EXPECT_EQ(viewer.ids, std::vector<int>{IDM_BATCH});
  EXPECT_EQ(frame.statusBar()->currentMessage(),
            QStringLiteral("This command is not available in this version."));

  // A plug-in's menu command.
  int runs = 0;
  frame.PluginCommands().AddCommand(41000, [&runs] { ++runs; });
  EXPECT_EQ(frame.SendCommand(41000), 1);
  EXPECT_EQ(runs, 1);
}

TEST(MainFrameRouting, DocumentCommandsReachTheRealViewer) {
  CLorimoSettings settings;
  CMainFrame frame(nullptr, &settings);
  frame.resize(400, 300);
  frame.show();
  ASSERT_EQ(frame.OpenImage(Sample("sky.jpg")), 1);
  EXPECT_EQ(frame.SendCommand(IDM_ACTUAL_SIZE), 1);
  EXPECT_TRUE(frame.Viewer()->IsCommandChecked(IDM_ACTUAL_SIZE));
}

TEST(MainFrameRouting, CloseAsksTheWindowToClose) {
  CLorimoSettings settings;
  CMainFrame frame(nullptr, &settings);
  frame.show();
  int closing = 0;
  QObject::connect(&frame, &CMainFrame::Closing, [&closing] { ++closing; });
  EXPECT_EQ(frame.SendCommand(IDM_CLOSE), 1);
  EXPECT_EQ(closing, 1);
  EXPECT_FALSE(frame.isVisible());
}

TEST(MainFrameRouting, SortByReachesTheSettings) {
  CLorimoSettings settings;
  CMainFrame frame(nullptr, &settings);
  EXPECT_EQ(frame.SendCommand(IDM_SORT_DATE), 1);
  EXPECT_EQ(gdwSortingMode, 3u);
  EXPECT_EQ(frame.SendCommand(IDM_SORT_DESCENDING), 1);
  EXPECT_EQ(bSortAscending, 0);
  gdwSortingMode = 0;
  bSortAscending = 1;
}

}  // namespace
