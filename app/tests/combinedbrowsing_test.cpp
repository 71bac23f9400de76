// Several favorites in one list: folders and portfolios appended as groups
// while the first folder is still listed on the worker, groups of
// deselected favorites leaving with the delays kept in step, and dropped
// files becoming the list in drop order.
#include <QCoreApplication>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "corekit/slidesfile.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "pixwork/sortsettings.h"
#include "testsupport/testsupport.h"
#include "viewer/imagestepper.h"

namespace fs = std::filesystem;

namespace {

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

class CombinedBrowsing : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    gdwSortingMode = 0;
    bSortAscending = 1;
    InitializeImageLibrary();
    dir = testsupport::NewTempDir("combined");
    for (const char* folder : {"a", "b", "c"}) fs::create_directories(dir / folder);
    Magick::Image image(Magick::Geometry(6, 4), Magick::Color("blue"));
    for (const char* name :
         {"a/1.png", "a/2.png", "a/3.png", "b/1.png", "b/2.png", "c/1.png", "c/2.png"})
      image.write((dir / name).string());
    CSlidesFile show;
    show.Append(W(dir / "c/2.png"), 300);
    show.Append(MyString(), 50);  // an empty path is left out
    show.Append(W(dir / "c/1.png"), 0);
    ASSERT_TRUE(show.Save(W(dir / "show.lrm")));
    stepper.SetListOnWorker(true);
    stepper.onLoaded = [this](const tagLOADEDIMAGE& loaded) {
      if (loaded.bLoaded) loads.push_back(loaded.strPath.ToQString());
    };
    stepper.onListSwapped = [this](bool) { ++swaps; };
  }

  std::vector<std::string> Names() {
    std::lock_guard lock(stepper.Position().GetLock());
    std::vector<std::string> names;
    for (const CFileEntry* entry : stepper.Position().GetList().GetEntries())
      names.push_back(
          fs::relative(fs::path(entry->strPath.ToQString().toStdString()), dir).string());
    return names;
  }
  bool Settle() {
    const bool done = testsupport::WaitFor([&] { return !stepper.IsListing(); });
    QCoreApplication::processEvents();
    return done;
  }

  fs::path dir;
  CImageStepper stepper;
  tagSTEPOPTIONS options;
  QStringList loads;
  int swaps = 0;
};

}  // namespace

TEST_F(CombinedBrowsing, GroupsJoinAListedFolderAndLeaveWithTheirDelays) {
  ASSERT_EQ(stepper.OpenFolder(W(dir / "a"), options), 1);
  // Added before the folder's listing is back: they wait for it.
  EXPECT_EQ(stepper.AddGroup(W(dir / "b"), false, options), 1);
  EXPECT_EQ(stepper.AddGroup(W(dir / "show.lrm"), true, options), 1);
  EXPECT_EQ(stepper.AddGroup(W(dir / "none.lrm"), true, options), 0);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Names(), (std::vector<std::string>{"a/1.png", "a/2.png", "a/3.png", "b/1.png",
                                               "b/2.png", "c/2.png", "c/1.png"}));
  EXPECT_EQ(stepper.Position().GetList().GetGroupCount(), 3);
  EXPECT_EQ(stepper.GetPortfolioDelays(), (std::vector<int32_t>{0, 0, 0, 0, 0, 300, 0}));
  ASSERT_EQ(loads.size(), 1);
  EXPECT_TRUE(loads.back().endsWith("a/1.png"));

  // The shown image's group goes: what followed it is shown.
  ASSERT_EQ(stepper.ShowIndex(4, options), 1);
  EXPECT_EQ(stepper.KeepGroups({W(dir / "a"), W(dir / "show.lrm")}, options), 1);
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"a/1.png", "a/2.png", "a/3.png", "c/2.png", "c/1.png"}));
  EXPECT_EQ(stepper.GetPortfolioDelays(), (std::vector<int32_t>{0, 0, 0, 300, 0}));
  EXPECT_EQ(stepper.Position().GetCurrent(), 3);
  EXPECT_TRUE(loads.back().endsWith("c/2.png"));

  // A group before the shown image goes: the image stays, nothing reloads.
  const int loaded = int(loads.size());
  ASSERT_EQ(stepper.ShowIndex(4, options), 1);
  EXPECT_EQ(stepper.KeepGroups({W(dir / "show.lrm")}, options), 1);
  EXPECT_EQ(stepper.Position().GetCurrent(), 1);
  EXPECT_EQ(stepper.Position().GetCurrentPath().ToQString(), W(dir / "c/1.png").ToQString());
  EXPECT_EQ(int(loads.size()), loaded + 1);
  EXPECT_EQ(stepper.GetPortfolioDelays(), (std::vector<int32_t>{300, 0}));
  EXPECT_EQ(stepper.KeepGroups({}, options), 0);

  // Without a shown image, an added group's first entry is shown.
  stepper.Clear();
  EXPECT_EQ(stepper.AddGroup(W(dir / "b"), false, options), 1);
  EXPECT_EQ(stepper.Position().GetCurrentPath().ToQString(), W(dir / "b/1.png").ToQString());
  EXPECT_TRUE(loads.back().endsWith("b/1.png"));
  EXPECT_GT(swaps, 0);
}

TEST_F(CombinedBrowsing, AChangedFolderIsListedAgainInItsPlaceKeepingTheShownImage) {
  ASSERT_EQ(stepper.OpenFolder(W(dir / "a"), options), 1);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(stepper.RelistGroups(W(dir / "a"), options), 0);  // one group: the viewer's own
  ASSERT_EQ(stepper.AddGroup(W(dir / "b"), false, options), 1);
  ASSERT_EQ(stepper.AddGroup(W(dir / "show.lrm"), true, options), 1);
  ASSERT_EQ(stepper.ShowIndex(4, options), 1);  // b/2.png
  const int loaded = int(loads.size());
  fs::copy_file(dir / "b/1.png", dir / "b/0.png");
  fs::remove(dir / "a/3.png");
  // The portfolio is no folder: its slides stay as they are.
  EXPECT_EQ(stepper.RelistGroups(W(dir / "c"), options), 0);
  EXPECT_EQ(stepper.RelistGroups(W(dir / "b"), options), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a/1.png", "a/2.png", "b/0.png", "b/1.png",
                                               "b/2.png", "c/2.png", "c/1.png"}));
  EXPECT_EQ(stepper.Position().GetList().GetGroupCount(), 3);
  EXPECT_EQ(stepper.Position().GetCurrentPath().ToQString(), W(dir / "b/2.png").ToQString());
  EXPECT_EQ(stepper.GetPortfolioDelays(), (std::vector<int32_t>{0, 0, 0, 0, 0, 300, 0}));
  EXPECT_EQ(int(loads.size()), loaded);
  // The shown file gone with its folder's change: what holds its place shows.
  fs::remove(dir / "b/2.png");
  EXPECT_EQ(stepper.RelistGroups(W(dir), options), 2);  // a and b lie below
  EXPECT_EQ(stepper.Position().GetCurrentPath().ToQString(), W(dir / "c/2.png").ToQString());
  EXPECT_TRUE(loads.back().endsWith("c/2.png"));
}

TEST_F(CombinedBrowsing, DroppedFilesAreTheListInDropOrder) {
  ASSERT_EQ(
      stepper.OpenFiles({W(dir / "c/2.png"), W(dir / "gone.png"), W(dir / "a/1.png")}, options), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"c/2.png", "a/1.png"}));
  EXPECT_TRUE(loads.back().endsWith("c/2.png"));
  EXPECT_TRUE(stepper.GetPortfolioPath().IsEmpty());
  EXPECT_EQ(stepper.OpenFiles({W(dir / "gone.png")}, options), 0);
  EXPECT_EQ(stepper.Position().GetLast(), -1);
}
