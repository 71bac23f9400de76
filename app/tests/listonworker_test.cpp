// Folders listed on the stepper's worker: an opened file shows before its
// large folder is listed, the list is swapped in with the file still
// current, and a newer open or a list change drops an older listing.
#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "pixwork/sortsettings.h"
#include "testsupport/testsupport.h"
#include "viewer/imagestepper.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 4000;

std::string Name(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "img-%05d.png", i);
  return name;
}

// A folder of kFiles copies of one small PNG.
void MakeFolder(const fs::path& folder) {
  InitializeImageLibrary();
  Magick::Image image(Magick::Geometry(6, 4), Magick::Color("blue"));
  image.write((folder / Name(0)).string());
  for (int i = 1; i < kFiles; ++i) fs::copy_file(folder / Name(0), folder / Name(i));
}

class ListOnWorker : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_big = new fs::path(testsupport::NewTempDir("big"));
    MakeFolder(*s_big);
  }
  static void TearDownTestSuite() {
    fs::remove_all(*s_big);
    delete s_big;
  }
  void SetUp() override {
    ResetOptionRecords();
    gdwSortingMode = 0;
    bSortAscending = 1;
    m_stepper.SetListOnWorker(true);
    m_stepper.onLoaded = [this](const tagLOADEDIMAGE& loaded) { m_loads.push_back(loaded); };
    m_stepper.onListSwapped = [this](bool bFolder) { m_swaps.push_back(bFolder); };
  }
  void TearDown() override {
    gdwSortingMode = 0;
    bSortAscending = 1;
  }
  // Until the lister is done and what it queued has run.
  bool Settle() {
    const bool done = testsupport::WaitFor([&] { return !m_stepper.IsListing(); });
    QCoreApplication::processEvents();
    return done;
  }
  MyString Big(int i) const { return CStrAW::FromPath(*s_big / Name(i)); }
  int Count() const {
    std::lock_guard lock(m_stepper.Position().GetLock());
    return m_stepper.Position().GetList().GetLengthFileList();
  }

  static fs::path* s_big;
  CImageStepper m_stepper;
  std::vector<tagLOADEDIMAGE> m_loads;
  std::vector<bool> m_swaps;
  tagSTEPOPTIONS m_options;
};
fs::path* ListOnWorker::s_big = nullptr;

// By name the folder is swapped in from its names alone; sizes and times
// come in after, with the order kept.
TEST_F(ListOnWorker, SizesAndTimesComeInAfterTheListIsShown) {
  int factsRead = 0;
  m_stepper.onFactsRead = [&] { ++factsRead; };
  ASSERT_EQ(m_stepper.OpenFile(Big(7), m_options), 1);
  ASSERT_TRUE(Settle());
  ASSERT_EQ(Count(), kFiles);
  ASSERT_TRUE(testsupport::WaitFor([&] {
    QCoreApplication::processEvents();
    return factsRead == 1;
  }));
  const uint64_t size = fs::file_size(*s_big / Name(0));
  std::lock_guard lock(m_stepper.Position().GetLock());
  const SortDir& list = m_stepper.Position().GetList();
  EXPECT_TRUE(list.PendingFactsPaths().empty());
  for (int i : {0, kFiles / 2, kFiles - 1}) {
    EXPECT_EQ(list.GetEntry(i)->strPath, Big(i));
    EXPECT_EQ(list.GetEntry(i)->nSize, size);
    EXPECT_GT(list.GetEntry(i)->ftLastWriteTime, 0u);
  }
  EXPECT_EQ(m_stepper.Position().GetCurrent(), 7);
}

TEST_F(ListOnWorker, OpenedFileShowsFirstThenItsFolderIsSwappedInAroundIt) {
  const MyString middle = Big(kFiles / 2);
  ASSERT_EQ(m_stepper.OpenFile(middle, m_options), 1);
  // Shown at once, alone in its folder.
  ASSERT_EQ(m_loads.size(), 1u);
  EXPECT_TRUE(m_loads[0].bLoaded);
  EXPECT_EQ(m_loads[0].strPath, middle);
  EXPECT_TRUE(m_swaps.empty());
  EXPECT_EQ(m_stepper.Position().GetCurrentPath(), middle);
  EXPECT_EQ(Count(), 1);

  ASSERT_TRUE(Settle());
  ASSERT_EQ(m_swaps, std::vector<bool>{false});
  EXPECT_EQ(Count(), kFiles);
  EXPECT_EQ(m_stepper.Position().GetLast(), kFiles - 1);
  EXPECT_EQ(m_stepper.Position().GetCurrent(), kFiles / 2);
  EXPECT_EQ(m_stepper.Position().GetCurrentPath(), middle);
  // The swap loads nothing again; the steps walk the whole folder now.
  EXPECT_EQ(m_loads.size(), 1u);
  EXPECT_EQ(m_stepper.Step(SC_NEXT, m_options), SR_SHOWN);
  EXPECT_EQ(m_loads.back().strPath, Big(kFiles / 2 + 1));

  // A new order is sorted on the worker: the old one stays until the swap,
  // and the shown file keeps its place in the mirror.
  bSortAscending = 0;
  ASSERT_EQ(m_stepper.Rescan(m_options, true), 2);
  EXPECT_EQ(m_stepper.Position().GetCurrent(), kFiles / 2 + 1);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(m_stepper.Position().GetCurrent(), kFiles - 1 - (kFiles / 2 + 1));
  EXPECT_EQ(m_stepper.Position().GetCurrentPath(), Big(kFiles / 2 + 1));
  EXPECT_EQ(m_loads.size(), 2u);

  // The opened file is gone: once listed, what holds its place is shown.
  m_swaps.clear();
  const fs::path aside = testsupport::NewTempDir("aside") / Name(10);
  fs::rename(*s_big / Name(10), aside);
  EXPECT_EQ(m_stepper.OpenFile(Big(10), m_options), 0);
  ASSERT_TRUE(Settle());
  fs::rename(aside, *s_big / Name(10));
  EXPECT_EQ(m_swaps, std::vector<bool>{true});
  EXPECT_EQ(Count(), kFiles - 1);
  EXPECT_EQ(m_stepper.Position().GetCurrent(), 0);
  EXPECT_EQ(m_loads.back().strPath, Big(kFiles - 1));
}

TEST_F(ListOnWorker, NewerOpensAndListChangesDropAnOlderListing) {
  const fs::path small = testsupport::NewTempDir("small");
  for (const char* name : {"a.png", "b.png", "c.png"})
    fs::copy_file(*s_big / Name(0), small / name);
  const MyString b = CStrAW::FromPath(small / "b.png");

  // The big folder is still being listed when the small one is opened.
  ASSERT_EQ(m_stepper.OpenFile(Big(7), m_options), 1);
  ASSERT_EQ(m_stepper.OpenFile(b, m_options), 1);
  ASSERT_TRUE(Settle());
  ASSERT_EQ(m_swaps.size(), 1u);
  EXPECT_EQ(Count(), 3);
  EXPECT_EQ(m_stepper.Position().GetCurrentPath(), b);

  // Emptied while listing: the listing must not bring the folder back.
  m_swaps.clear();
  ASSERT_EQ(m_stepper.OpenFile(Big(7), m_options), 1);
  m_stepper.Clear();
  ASSERT_TRUE(Settle());
  EXPECT_TRUE(m_swaps.empty());
  EXPECT_EQ(Count(), 0);
  EXPECT_FALSE(m_stepper.Position().HasImage());

  // A rescan lists at once; the older listing is dropped too.
  ASSERT_EQ(m_stepper.OpenFile(b, m_options), 1);
  EXPECT_EQ(m_stepper.Rescan(m_options), 1);
  EXPECT_EQ(Count(), 3);
  ASSERT_TRUE(Settle());
  EXPECT_TRUE(m_swaps.empty());
  EXPECT_EQ(m_stepper.Position().GetCurrentPath(), b);
  fs::remove_all(small);
}

TEST_F(ListOnWorker, FolderOpensWithItsFirstImageOnceListed) {
  ASSERT_EQ(m_stepper.OpenFolder(CStrAW::FromPath(*s_big), m_options), 1);
  EXPECT_TRUE(m_loads.empty());
  EXPECT_EQ(m_stepper.Position().GetLast(), -1);
  ASSERT_TRUE(Settle());
  ASSERT_EQ(m_swaps, std::vector<bool>{true});
  EXPECT_EQ(Count(), kFiles);
  ASSERT_EQ(m_loads.size(), 1u);
  EXPECT_EQ(m_loads[0].strPath, Big(0));
  EXPECT_EQ(m_loads[0].nIndex, 0);

  // A folder without images: swapped in empty, nothing loaded.
  const fs::path empty = testsupport::NewTempDir("empty");
  std::ofstream(empty / "notes.txt") << "x";
  m_loads.clear();
  m_swaps.clear();
  ASSERT_EQ(m_stepper.OpenFolder(CStrAW::FromPath(empty), m_options), 1);
  ASSERT_TRUE(Settle());
  ASSERT_EQ(m_swaps, std::vector<bool>{true});
  EXPECT_FALSE(m_stepper.Position().HasImage());
  EXPECT_TRUE(m_loads.empty());
  fs::remove_all(empty);
}

TEST_F(ListOnWorker, StepperGoesAwayWhileListing) {
  auto stepper = std::make_unique<CImageStepper>();
  stepper->SetListOnWorker(true);
  bool swapped = false;
  stepper->onListSwapped = [&](bool) { swapped = true; };
  ASSERT_EQ(stepper->OpenFolder(CStrAW::FromPath(*s_big), m_options), 1);
  stepper.reset();
  QCoreApplication::processEvents();
  EXPECT_FALSE(swapped);
}

}  // namespace
