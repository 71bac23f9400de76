#include <QCoreApplication>
#include <QToolBar>
#include <QToolButton>
#include <ostream>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/registry.h"
#include "corekit/straw.h"
#include "shell/commandids.h"
#include "shell/mainframe.h"
#include "shell/navigationbar.h"
#include "shell/settings.h"
#include "shell/toolbox.h"
#include "shell/toolviewcommands.h"
#include "shell/toolviewdocks.h"
#include "testsupport/testsupport.h"

namespace {

class CFakeHost : public CToolViewHost {
 public:
  void ShowToolView(int entry) override { shown.push_back(entry); }
  void HideToolView(int entry) override { hidden.push_back(entry); }
  bool IsViewerAlone() const override { return bViewerAlone; }
  bool IsToolViewEnabled(int entry) const override { return !disabled.count(entry); }

  std::vector<int> shown;
  std::vector<int> hidden;
  bool bViewerAlone = false;
  std::set<int> disabled;
};

int EntryNamed(const char16_t* prefix) {
  const auto& entries = CToolViewMenu::Entries();
  for (int i = 0; i < CToolViewMenu::kEntryCount; ++i)
    if (MyString(entries[size_t(i)].pszMenuText).str().starts_with(prefix)) return i;
  return -1;
}

struct tagTOGGLECASE {
  int nId;
  const char16_t* pszEntry;
};

void PrintTo(const tagTOGGLECASE& c, std::ostream* out) { *out << c.nId; }

class ToolViewToggle : public ::testing::TestWithParam<tagTOGGLECASE> {};

TEST_P(ToolViewToggle, FlipsTheFlagAndTheViewOfItsEntry) {
  CToolViewMenu flags;
  CFakeHost host;
  CToolViewCommands commands(flags, host);
  const int entry = EntryNamed(GetParam().pszEntry);
  ASSERT_GT(entry, 0);
  ASSERT_EQ(CToolViewCommands::EntryForCommand(GetParam().nId), entry);
  const bool wasShown = flags.IsShown(entry);

  ASSERT_EQ(commands.OnCommand(GetParam().nId), 1);
  EXPECT_EQ(flags.IsShown(entry), !wasShown);
  EXPECT_EQ(commands.IsCommandChecked(GetParam().nId), !wasShown);
  EXPECT_EQ(wasShown ? host.hidden : host.shown, std::vector<int>{entry});

  ASSERT_EQ(commands.OnCommand(GetParam().nId), 1);
  EXPECT_EQ(flags.IsShown(entry), wasShown);
  EXPECT_EQ(host.shown.size() + host.hidden.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    MenuEntriesAndKeys, ToolViewToggle,
    ::testing::Values(
        tagTOGGLECASE{IDM_VIEW_TOOLBOX, u" Tools"}, tagTOGGLECASE{IDM_VIEW_THUMBNAILS, u" Thumb"},
        tagTOGGLECASE{IDM_VIEW_NAVIGATION, u" Navigation"},
        tagTOGGLECASE{IDM_VIEW_FAVORITES, u" Favorites"}, tagTOGGLECASE{IDM_VIEW_EXIF, u" Exif"},
        tagTOGGLECASE{IDM_VIEW_CHANNELS, u" Channels"},
        tagTOGGLECASE{IDM_VIEW_PROCESS, u" Process"}, tagTOGGLECASE{IDM_PROCESS, u" Process"},
        tagTOGGLECASE{IDM_VIEW_DIRECTORIES, u" Directories"},
        tagTOGGLECASE{IDM_VIEW_IPTC, u" IPTC"}, tagTOGGLECASE{IDM_VIEW_FILES, u" Files"},
        tagTOGGLECASE{IDM_VIEW_NAVIGATOR, u" Navigator"},
        tagTOGGLECASE{IDM_VIEW_HISTOGRAM, u" Histogram"},
        tagTOGGLECASE{IDM_VIEW_INFORMATION, u" Information"},
        tagTOGGLECASE{IDM_VIEW_SEARCH, u" Search"},
        // Ctrl+F1 ... Ctrl+F12
        tagTOGGLECASE{IDM_KEY_NAVIGATION, u" Navigation"},
        tagTOGGLECASE{IDM_KEY_THUMBNAILS, u" Thumbnails"},
        tagTOGGLECASE{IDM_KEY_TOOLBOX, u" Tools"}, tagTOGGLECASE{IDM_KEY_FAVORITES, u" Favorites"},
        tagTOGGLECASE{IDM_KEY_EXIF, u" Exif"}, tagTOGGLECASE{IDM_KEY_CHANNELS, u" Channels"},
        tagTOGGLECASE{IDM_KEY_PROCESS, u" Process"},
        tagTOGGLECASE{IDM_KEY_DIRECTORIES, u" Directories"}, tagTOGGLECASE{IDM_KEY_IPTC, u" IPTC"},
        tagTOGGLECASE{IDM_KEY_FILES, u" Files"}, tagTOGGLECASE{IDM_KEY_NAVIGATOR, u" Navigator"},
        tagTOGGLECASE{IDM_KEY_HISTOGRAM, u" Histogram"}),
    [](const ::testing::TestParamInfo<tagTOGGLECASE>& info) {
      return "Id" + std::to_string(info.param.nId);
    });

TEST(ToolViewCommands, NothingTogglesWhileTheViewerIsAlone) {
  CToolViewMenu flags;
  CFakeHost host;
  host.bViewerAlone = true;
  CToolViewCommands commands(flags, host);
  for (int id : {IDM_VIEW_EXIF, IDM_KEY_NAVIGATION, IDM_PROCESS}) {
    EXPECT_EQ(commands.OnCommand(id), 1);
    EXPECT_FALSE(commands.IsCommandEnabled(id));
  }
  EXPECT_TRUE(host.shown.empty());
  EXPECT_TRUE(host.hidden.empty());
  CToolViewMenu defaults;
  for (int i = 0; i < CToolViewMenu::kEntryCount; ++i)
    EXPECT_EQ(flags.GetFlag(i), defaults.GetFlag(i));
}

TEST(ToolViewCommands, KeysToggleThumbnailsProcessAndFilesOnlyWhenTheirEntriesAreEnabled) {
  CToolViewMenu flags;
  CFakeHost host;
  CToolViewCommands commands(flags, host);
  for (int id : {IDM_VIEW_THUMBNAILS, IDM_VIEW_PROCESS, IDM_VIEW_FILES, IDM_VIEW_EXIF})
    host.disabled.insert(CToolViewCommands::EntryForCommand(id));
  for (int id : {IDM_KEY_THUMBNAILS, IDM_KEY_PROCESS, IDM_KEY_FILES}) {
    const int entry = CToolViewCommands::EntryForCommand(id);
    const uint32_t before = flags.GetFlag(entry);
    EXPECT_EQ(commands.OnCommand(id), 1);
    EXPECT_EQ(flags.GetFlag(entry), before) << id;
  }
  // The other keys do not ask.
  EXPECT_EQ(commands.OnCommand(IDM_KEY_EXIF), 1);
  EXPECT_TRUE(flags.IsShown(CToolViewCommands::EntryForCommand(IDM_VIEW_EXIF)));
}

TEST(ToolViewCommands, StartUpShowsTheStoredViewsInMenuOrderAndAClosedViewIsHidden) {
  CToolViewMenu flags;
  CFakeHost host;
  CToolViewCommands commands(flags, host);
  commands.ShowStoredViews();
  std::vector<int> expected;
  for (int i = 1; i < CToolViewMenu::kEntryCount; ++i)
    if (CToolViewMenu::Entries()[size_t(i)].dwDefault == CToolViewMenu::kShown)
      expected.push_back(i);
  EXPECT_EQ(host.shown, expected);

  commands.OnToolViewClosed(expected.front());
  EXPECT_FALSE(flags.IsShown(expected.front()));
  commands.OnToolViewClosed(CToolViewMenu::kMouseToolEntry);
  EXPECT_EQ(flags.GetMouseTool(), 1076u) << "the mouse tool is not a view";
}

// The real windows.

class CStoreFile {
 public:
  CStoreFile() : m_path(testsupport::NewTempDir() / "registry.reg") {}
  std::unique_ptr<CRegistryStore> Open() const {
    return std::make_unique<CRegistryStore>(CStrAW::FromPath(m_path));
  }

 private:
  std::filesystem::path m_path;
};

TEST(ToolViewDocks, TheDefaultViewsOpenWithTheWindowAndTheOthersWaitUntilAsked) {
  CStoreFile file;
  auto store = file.Open();
  CLorimoSettings settings(store.get());
  CMainFrame frame(nullptr, &settings);
  frame.show();
  CToolViewDocks& docks = frame.ToolViews();
  for (int i = 1; i < CToolViewMenu::kEntryCount; ++i) {
    const bool shown = CToolViewMenu::Entries()[size_t(i)].dwDefault == CToolViewMenu::kShown;
    EXPECT_EQ(docks.IsViewVisible(i), shown) << i;
    if (i != 3) {
      EXPECT_EQ(docks.GetDock(i) != nullptr, shown) << i;
    }
  }
  EXPECT_EQ(docks.GetViewWindow(3), static_cast<QWidget*>(frame.NavigationBar()));
  EXPECT_EQ(docks.GetDock(EntryNamed(u" Favorites"))->windowTitle(), QStringLiteral("Favorites"));
}

TEST(ToolViewDocks, ViewsOnOneSideShareItAsTabsSoTheWindowKeepsItsSize) {
  CLorimoSettings settings;
  CMainFrame frame(nullptr, &settings);
  // Every view open at once, as a user may leave them.
  for (int i = 1; i < CToolViewMenu::kEntryCount; ++i)
    if (i != 3) frame.ToolViews().ShowToolView(i);
  const int favorites = EntryNamed(u" Favorites");
  const int directories = EntryNamed(u" Directories");
  EXPECT_TRUE(frame.tabifiedDockWidgets(frame.ToolViews().GetDock(favorites))
                  .contains(frame.ToolViews().GetDock(directories)));
  // A stored placement of 670 x 410 comes back as it was.
  frame.setGeometry(30, 40, 670, 410);
  frame.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(frame.geometry().size(), QSize(670, 410));
}

TEST(ToolViewDocks, TogglesPersistTheirFlags) {
  CStoreFile file;
  {
    auto store = file.Open();
    CLorimoSettings settings(store.get());
    CMainFrame frame(nullptr, &settings);
    frame.show();
    const int exif = EntryNamed(u" Exif");
    const int favorites = EntryNamed(u" Favorites");
    EXPECT_EQ(frame.SendCommand(IDM_KEY_EXIF), 1);
    EXPECT_TRUE(frame.ToolViews().IsViewVisible(exif));
    EXPECT_EQ(frame.SendCommand(IDM_VIEW_FAVORITES), 1);
    EXPECT_FALSE(frame.ToolViews().IsViewVisible(favorites));
    EXPECT_EQ(frame.SendCommand(IDM_KEY_NAVIGATION), 1);
    EXPECT_FALSE(frame.NavigationBar()->isVisible());
    // The user closes the navigator with its close button.
    frame.ToolViews().GetDock(EntryNamed(u" Navigator"))->close();
    EXPECT_EQ(frame.SendCommand(IDM_TOOL_HAND), 1);
    ASSERT_EQ(settings.Save(), 1) << settings.GetLastError().ToUtf8();
  }
  auto store = file.Open();
  CRegistry menu(HKEY_CURRENT_USER, MyString(kLorimoKey) + u"\\Menu", false, store.get());
  auto flag = [&menu](const char16_t* name) {
    uint32_t value = 99;
    menu.GetValue(name, value);
    return value;
  };
  EXPECT_EQ(flag(u" Exif\tCtrl+F5"), 0u);
  EXPECT_EQ(flag(u" Favorites\tCtrl+F4"), 1u);
  EXPECT_EQ(flag(u" Navigation\tCtrl+F1"), 1u);
  EXPECT_EQ(flag(u" Navigator\tCtrl+F11"), 1u);
  EXPECT_EQ(flag(u"Tools Option"), uint32_t(IDM_TOOL_HAND));

  // The next window opens what was stored, with the stored tool.
  CLorimoSettings settings(store.get());
  CMainFrame frame(nullptr, &settings);
  frame.show();
  EXPECT_TRUE(frame.ToolViews().IsViewVisible(EntryNamed(u" Exif")));
  EXPECT_FALSE(frame.ToolViews().IsViewVisible(EntryNamed(u" Favorites")));
  EXPECT_FALSE(frame.NavigationBar()->isVisible());
  EXPECT_EQ(frame.InputBinding().GetMouseTool(), IDM_TOOL_HAND);
  EXPECT_TRUE(frame.Router().IsCommandChecked(IDM_TOOL_HAND));
  EXPECT_FALSE(frame.Router().IsCommandChecked(IDM_TOOL_CUSTOM));
}

TEST(ToolViewDocks, HiddenPanesComeBackAsTheyWere) {
  CLorimoSettings settings;
  CMainFrame frame(nullptr, &settings);
  frame.show();
  const int exif = EntryNamed(u" Exif");
  const int favorites = EntryNamed(u" Favorites");
  frame.SetPanesHidden(true);
  EXPECT_FALSE(frame.ToolViews().IsViewVisible(favorites));
  EXPECT_FALSE(frame.NavigationBar()->isVisible());
  frame.SetPanesHidden(false);
  EXPECT_TRUE(frame.ToolViews().IsViewVisible(favorites));
  EXPECT_TRUE(frame.NavigationBar()->isVisible());
  EXPECT_FALSE(frame.ToolViews().IsViewVisible(exif));
}

TEST(ToolViewDocks, ALaterPartFillsAViewThatIsAlreadyOpen) {
  CLorimoSettings settings;
  CMainFrame frame(nullptr, &settings);
  const int favorites = EntryNamed(u" Favorites");
  CToolViewDock* dock = frame.ToolViews().GetDock(favorites);
  ASSERT_NE(dock, nullptr);
  QWidget* content = nullptr;
  frame.ToolViews().SetContentFactory(favorites, [&content](QWidget* parent) {
    content = new QWidget(parent);
    return content;
  });
  EXPECT_EQ(dock->widget(), content);
}

}  // namespace

namespace {

TEST(Toolbox, ButtonsSendTheirCommandsAndShowTheOwnersState) {
  CLorimoSettings settings;
  CMainFrame frame(nullptr, &settings);
  auto* toolbox = qobject_cast<CToolbox*>(frame.ToolViews().GetDock(1)->widget());
  ASSERT_NE(toolbox, nullptr);
  for (int id : CToolbox::Commands()) ASSERT_NE(toolbox->GetButton(id), nullptr) << id;

  toolbox->GetButton(IDM_TOOL_HAND)->click();
  EXPECT_EQ(frame.InputBinding().GetMouseTool(), IDM_TOOL_HAND);
  EXPECT_TRUE(toolbox->GetButton(IDM_TOOL_HAND)->isChecked());
  EXPECT_FALSE(toolbox->GetButton(IDM_TOOL_CUSTOM)->isChecked());

  class CViewer : public CCommandTarget {
   public:
    int OnCommand(int id) override {
      ran.push_back(id);
      bLocked = id == IDM_LOCK_ZOOM_SCROLL ? !bLocked : bLocked;
      return 1;
    }
    bool IsCommandChecked(int id) const override { return id == IDM_LOCK_ZOOM_SCROLL && bLocked; }
    bool IsCommandEnabled(int id) const override { return id != IDM_ZOOM_IN; }
    std::vector<int> ran;
    bool bLocked = false;
  } viewer;
  frame.Router().SetTarget(CO_VIEWER, &viewer);
  toolbox->Refresh();
  EXPECT_FALSE(toolbox->GetButton(IDM_ZOOM_IN)->isEnabled());
  toolbox->GetButton(IDM_NEXT_IMAGE)->click();
  toolbox->GetButton(IDM_LOCK_ZOOM_SCROLL)->click();
  EXPECT_EQ(viewer.ran, (std::vector<int>{IDM_NEXT_IMAGE, IDM_LOCK_ZOOM_SCROLL}));
  EXPECT_TRUE(toolbox->GetButton(IDM_LOCK_ZOOM_SCROLL)->isChecked());
  // A click does not press a button its owner leaves up.
  toolbox->GetButton(IDM_ACTUAL_SIZE)->click();
  EXPECT_FALSE(toolbox->GetButton(IDM_ACTUAL_SIZE)->isChecked());
  frame.Router().SetTarget(CO_VIEWER, nullptr);
  settings.menu.ResetToDefaults();
}

}  // namespace
