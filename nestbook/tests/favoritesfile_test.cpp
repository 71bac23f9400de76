#include "nestbook/favoritesfile.h"

#include <atomic>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/filelock.h"
#include "corekit/straw.h"
#include "nestbook/nestbook.h"
#include "testsupport/testsupport.h"
#include "treehelpers.h"

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

constexpr char kExample[] =
    "1:0:0:1:1:1:0:1:Trips\r\n"
    "\r\n"
    "2:1:0:0:1:1:0:1:Alps 2004\r\n"
    "D:\\Photos\\Alps 2004\r\n"
    "8:0:0:0:2:2:0:1:Best of\r\n"
    "D:\\Portfolios\\Best of.lrm\r\n"
    "-3:-1\r\n"
    "-4:0\r\n";

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }
fs::path FavoritesFile() { return CStrAW::ToPath(NestbookFavoritesPath()); }

// Owns the root the reader makes.
struct Loaded {
  Loaded() = default;
  ~Loaded() { delete data.pRoot; }
  tagFAVORITESDATA data;
  CFavoritesNode* root() const { return data.pRoot; }
};

void LoadText(const std::string& text, Loaded* loaded) {
  delete loaded->data.pRoot;
  loaded->data.pRoot = CFavoritesNode::CreateRoot();
  std::istringstream stream(text);
  FTLoadDataFromStream(stream, &loaded->data);
}

std::string SaveText(const Loaded& loaded) {
  std::ostringstream out;
  FTSaveDataToStream(out, loaded.root(), loaded.data.nBrowseIndex, loaded.data.nImageIndex);
  return out.str();
}

// Every stored field of two trees, in pre-order.
void ExpectSameStoredFields(const CFavoritesNode* a, const CFavoritesNode* b) {
  ASSERT_EQ(a->vChildren.size(), b->vChildren.size()) << Utf8(a);
  for (size_t i = 0; i < a->vChildren.size(); ++i) {
    const CFavoritesNode* x = a->vChildren[i];
    const CFavoritesNode* y = b->vChildren[i];
    EXPECT_EQ(x->nType, y->nType);
    EXPECT_EQ(x->nLevel, y->nLevel);
    EXPECT_EQ(x->nSelection, y->nSelection);
    EXPECT_EQ(x->bExpanded, y->bExpanded);
    EXPECT_EQ(x->nSortIndex, y->nSortIndex);
    EXPECT_EQ(x->nPosIndex, y->nPosIndex);
    EXPECT_EQ(x->bDeleted, y->bDeleted);
    EXPECT_EQ(x->bUserAdded, y->bUserAdded);
    EXPECT_EQ(x->GetName(), y->GetName());
    EXPECT_EQ(x->GetPath(), y->GetPath());
    ExpectSameStoredFields(x, y);
  }
}

TEST(FavoritesFileTest, TheExampleFileReadsAndWritesByteForByte) {
  testsupport::WriteFile(FavoritesFile(), kExample);
  Loaded loaded;
  loaded.data.nImageIndex = 99;
  ASSERT_EQ(FTLoadDataUnderLock(&loaded.data), 1);
  EXPECT_EQ(loaded.data.nBrowseIndex, -1);
  EXPECT_EQ(loaded.data.nImageIndex, 0);
  EXPECT_EQ(Sequence(loaded.root()), (Names{"Trips", "Best of"}));
  const CFavoritesNode* trips = loaded.root()->vChildren[0];
  EXPECT_EQ(trips->pszPath, nullptr);
  EXPECT_EQ(trips->bExpanded, 1);
  ASSERT_EQ(Sequence(trips), (Names{"Alps 2004"}));
  const CFavoritesNode* alps = trips->vChildren[0];
  EXPECT_EQ(alps->nLevel, 1);
  EXPECT_EQ(alps->GetPath().ToUtf8(), "D:\\Photos\\Alps 2004");
  EXPECT_EQ(alps->bValid, 0);  // no such folder here
  EXPECT_EQ(loaded.root()->vChildren[1]->nType, FAV_TYPE_PORTFOLIO);

  fs::remove(FavoritesFile());
  ASSERT_EQ(FTSaveDataToFile(loaded.root(), -1, 0), 1);
  EXPECT_EQ(testsupport::ReadFile(FavoritesFile()), kExample);
}

TEST(FavoritesFileTest, SavingAndLoadingKeepsEveryStoredField) {
  const fs::path top = testsupport::NewTempDir("fav");
  fs::create_directories(top / "Été 2004" / "day 1");
  const RootPtr root = NewRoot();
  CFavoritesNode* folder = Add(root.get(), u"東京 trips", 1);
  Add(folder, u"Empty", 1);
  CFavoritesNode* summer = Add(folder, nullptr, 2, W(top / "Été 2004").c_str());
  summer->OpenFolder(1);
  summer->bExpanded = 1;
  summer->nSelection = 2;
  summer->vChildren[0]->bDeleted = 1;
  Add(root.get(), nullptr, 8, u"/p/Ünïcode 🎞.lrm")->nSelection = 1;
  Add(root.get(), nullptr, 8, u"/p/b.lrm");
  root->MoveNodeDown(root->vChildren[1]);
  const fs::path file = top / "FAVORITES.TXT";

  ASSERT_EQ(FTSaveDataToFile(root.get(), 3, 17, W(file)), 1);
  const std::string text = testsupport::ReadFile(file);
  EXPECT_NE(text.find("1:0:0:0:1:1:0:1:東京 trips\r\n\r\n"), std::string::npos);

  Loaded loaded;
  ASSERT_EQ(FTLoadDataFromFile(&loaded.data, W(file)), 1);
  ExpectSameStoredFields(root.get(), loaded.root());
  EXPECT_EQ(loaded.data.nBrowseIndex, 3);
  EXPECT_EQ(loaded.data.nImageIndex, 17);
  EXPECT_EQ(loaded.data.nMaxSelection, 2);
  const CFavoritesNode* read = loaded.root()->vChildren[0]->vChildren[1];
  EXPECT_EQ(read->bValid, 1);
  EXPECT_EQ(read->bHasChildren, 1);
  EXPECT_EQ(read->vChildren[0]->bCustomName, 0);
  EXPECT_EQ(SaveText(loaded), text);
}

struct LevelCase {
  const char* what;
  std::string text;
  Names top;
  Names below;  // children of the first top-level node
};
void PrintTo(const LevelCase& c, std::ostream* os) { *os << c.what; }

class ImpossibleLevelTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(ImpossibleLevelTest, RecordsArePlacedAsTheReaderWalks) {
  Loaded loaded;
  LoadText(GetParam().text, &loaded);
  EXPECT_EQ(Sequence(loaded.root()), GetParam().top);
  if (!GetParam().top.empty()) {
    EXPECT_EQ(Sequence(loaded.root()->vChildren[0]), GetParam().below);
  }
  EXPECT_TRUE(TreeIsSound(loaded.root()));
}

INSTANTIATE_TEST_SUITE_P(
    Levels, ImpossibleLevelTest,
    ::testing::Values(LevelCase{"FirstRecordAtLevel1",
                                "1:1:0:0:1:1:0:1:A\r\n\r\n1:0:0:0:1:1:0:1:B\r\n\r\n",
                                {},
                                {}},
                      LevelCase{"Level3AfterLevel1",
                                "1:0:0:0:1:1:0:1:A\r\n\r\n1:1:0:0:1:1:0:1:B\r\n\r\n"
                                "1:3:0:0:1:1:0:1:C\r\n\r\n1:0:0:0:2:2:0:1:D\r\n\r\n",
                                {"A", "D"},
                                {"B"}},
                      LevelCase{"NegativeLevel",
                                "1:0:0:0:1:1:0:1:A\r\n\r\n1:-5:0:0:2:2:0:1:B\r\n\r\n",
                                {"A", "B"},
                                {}}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(FavoritesFileTest, ALevel3RecordSitsOneLevelDownOnly) {
  Loaded loaded;
  LoadText("1:0:0:0:1:1:0:1:A\r\n\r\n1:1:0:0:1:1:0:1:B\r\n\r\n1:3:0:0:1:1:0:1:C\r\n\r\n", &loaded);
  const CFavoritesNode* c = loaded.root()->vChildren[0]->vChildren[0]->vChildren[0];
  EXPECT_EQ(Utf8(c), "C");
  EXPECT_EQ(c->nLevel, 2);  // its real depth
}

struct DamageCase {
  const char* what;
  std::string text;
  Names loaded;
  int damaged;
};
void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.what; }

class DamagedFileTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedFileTest, KeepsEveryRecordBeforeTheDamage) {
  const fs::path file = testsupport::NewTempDir("damage") / "FAVORITES.TXT";
  testsupport::WriteFile(file, GetParam().text);
  Loaded loaded;
  loaded.data.nBrowseIndex = 5;
  EXPECT_EQ(FTLoadDataFromFile(&loaded.data, W(file)), GetParam().damaged ? 0 : 1);
  EXPECT_EQ(Sequence(loaded.root()), GetParam().loaded);
  EXPECT_EQ(loaded.data.bDamaged, GetParam().damaged);
  EXPECT_TRUE(TreeIsSound(loaded.root()));
  // The user's file survives the next save, beside it.
  const fs::path copy = file.string() + ".damaged";
  EXPECT_EQ(fs::exists(copy), GetParam().damaged == 1);
  if (GetParam().damaged) {
    EXPECT_EQ(testsupport::ReadFile(copy), GetParam().text);
  }
}

const std::string kAB = "1:0:0:0:1:1:0:1:A\r\n\r\n1:0:0:0:2:2:0:1:B\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Damage, DamagedFileTest,
    ::testing::Values(
        DamageCase{"NotANumber",
                   kAB + "1:0:x:0:3:3:0:1:C\r\n\r\n1:0:0:0:4:4:0:1:D\r\n\r\n",
                   {"A", "B"},
                   1},
        DamageCase{"CutInARecord", kAB + "2:0:0:0:3:3:0:1:C\r\n", {"A", "B"}, 1},
        DamageCase{"CutInTheNumbers", kAB + "1:0:0:0:3", {"A", "B"}, 1},
        DamageCase{"Garbage", "\x01\xff garbage\r\n", {}, 1},
        DamageCase{"NumberTooLarge", kAB + "1:99999999999:0:0:3:3:0:1:C\r\n\r\n", {"A", "B"}, 1},
        // An empty name is skipped and the reading goes on; the gap it
        // leaves in the positions is closed.
        DamageCase{"EmptyName", "1:0:0:0:1:1:0:1:\r\n\r\n1:0:0:0:2:2:0:1:B\r\n\r\n", {"B"}, 1},
        DamageCase{
            "NothingAfterMinus4", kAB + "-3:1\r\n-4:2\r\n1:0:0:0:3:3:0:1:C\r\n\r\n", {"A", "B"}, 0},
        DamageCase{"NoIndexRecords", kAB, {"A", "B"}, 0},
        DamageCase{"LastLineWithoutLineEnd", "1:0:0:0:1:1:0:1:A\r\n", {"A"}, 0},
        DamageCase{"ByteOrderMark", "\xEF\xBB\xBF" + kAB, {"A", "B"}, 0},
        DamageCase{"LinuxLineEnds", "1:0:0:0:1:1:0:1:A\n\n1:0:0:0:2:2:0:1:B\n\n", {"A", "B"}, 0}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(FavoritesFileTest, IndexRecordsAreReadOrLeftAlone) {
  Loaded loaded;
  loaded.data.nBrowseIndex = 5;
  loaded.data.nImageIndex = 6;
  LoadText(kAB, &loaded);
  EXPECT_EQ(loaded.data.nBrowseIndex, 5);
  EXPECT_EQ(loaded.data.nImageIndex, 6);
  LoadText("-3:2\r\n-4:-7\r\n", &loaded);
  EXPECT_EQ(loaded.data.nBrowseIndex, 2);
  EXPECT_EQ(loaded.data.nImageIndex, -7);
}

TEST(FavoritesFileTest, NamesAndPathsOfAnyLengthAreKeptWhole) {
  const std::string longName(400, 'n');
  const std::string longPath = "/" + std::string(600, 'p') + "/é";
  const std::string text = "1:0:0:0:1:1:0:1:" + longName + "\r\n\r\n2:0:0:0:2:2:0:1:dir\r\n" +
                           longPath + "\r\n8:0:0:0:3:3:0:1:last\r\n/p/last.lrm\r\n-3:0\r\n-4:0\r\n";
  Loaded loaded;
  LoadText(text, &loaded);
  ASSERT_EQ(Sequence(loaded.root()), (Names{longName, "dir", "last"}));
  EXPECT_EQ(loaded.root()->vChildren[1]->GetPath().ToUtf8(), longPath);
  EXPECT_EQ(SaveText(loaded), text);
}

TEST(FavoritesFileTest, AMissingFileGivesTheBareRoot) {
  Loaded loaded;
  loaded.data.pRoot = CFavoritesNode::CreateRoot();
  Add(loaded.root(), u"old", 1);
  EXPECT_EQ(FTLoadDataFromFile(&loaded.data, W(testsupport::ScratchDir() / "none.txt")), 1);
  EXPECT_TRUE(loaded.root()->vChildren.empty());
  EXPECT_EQ(Utf8(loaded.root()), "Favorites");
}

TEST(FavoritesFileTest, AFileThatCannotBeReadIsNeverSavedOver) {
  std::vector<std::string> messages;
  NestbookSetMessageFct([&](const MyString& text) { messages.push_back(text.ToUtf8()); });
  const fs::path folder = testsupport::NewTempDir("unreadable");
  const fs::path file = folder / "FAVORITES.TXT";
  testsupport::WriteFile(file, kExample);
  fs::resize_file(file, (size_t(64) << 20) + 1);  // over the limit, also for root

  Loaded loaded;
  EXPECT_EQ(FTLoadDataFromFile(&loaded.data, W(file)), 0);
  EXPECT_EQ(loaded.data.bUnreadable, 1);
  EXPECT_TRUE(loaded.root()->vChildren.empty());
  EXPECT_EQ(messages.size(), 1u);
  Add(loaded.root(), u"Added meanwhile", 1);
  // The trouble passed (as too many open files would): the tree still
  // lacks what the file holds.
  fs::resize_file(file, sizeof kExample - 1);
  EXPECT_EQ(FTSaveDataToFile(loaded.root(), -1, 0, W(file)), 0);
  EXPECT_EQ(testsupport::ReadFile(file), kExample);
  EXPECT_EQ(messages.size(), 2u);

  // Read whole, it is saved again as usual.
  EXPECT_EQ(FTLoadDataFromFile(&loaded.data, W(file)), 1);
  EXPECT_EQ(loaded.data.bUnreadable, 0);
  EXPECT_EQ(FTSaveDataToFile(loaded.root(), -1, 0, W(file)), 1);
  EXPECT_EQ(testsupport::ReadFile(file), kExample);

  // A folder in the file's place is there, not missing.
  fs::create_directories(folder / "folder" / "FAVORITES.TXT" / "inside");
  EXPECT_EQ(FTLoadDataFromFile(&loaded.data, W(folder / "folder" / "FAVORITES.TXT")), 0);
  EXPECT_EQ(loaded.data.bUnreadable, 1);

  // A damaged file whose copy cannot be kept is not saved over either.
  const std::string damaged = kAB + "1:0:x:0:3:3:0:1:C\r\n\r\n";
  testsupport::WriteFile(file, damaged);
  fs::create_directories(folder / "FAVORITES.TXT.damaged" / "inside");
  EXPECT_EQ(FTLoadDataFromFile(&loaded.data, W(file)), 0);
  EXPECT_EQ(Sequence(loaded.root()), (Names{"A", "B"}));
  EXPECT_EQ(FTSaveDataToFile(loaded.root(), -1, 0, W(file)), 0);
  EXPECT_EQ(testsupport::ReadFile(file), damaged);
  NestbookSetMessageFct(nullptr);
}

TEST(FavoritesFileTest, ALineBreakInAPathCannotShiftTheRecordsAfterIt) {
  const RootPtr root = NewRoot();
  Add(root.get(), nullptr, 2, u"/d/two\nlines");
  Add(root.get(), u"Name\nwith a break", 1);
  Add(root.get(), nullptr, 8, u"/p/after.lrm");
  std::ostringstream out;
  FTSaveDataToStream(out, root.get(), -1, 0);
  Loaded loaded;
  LoadText(out.str(), &loaded);
  EXPECT_EQ(Sequence(loaded.root()), (Names{"Name with a break", "after"}));
  EXPECT_EQ(loaded.data.bDamaged, 0);
  EXPECT_TRUE(TreeIsSound(loaded.root()));
}

TEST(FavoritesFileTest, SaveReplacesTheFileWholeOrNotAtAll) {
  const fs::path folder = testsupport::NewTempDir("save");
  const fs::path file = folder / "FAVORITES.TXT";
  testsupport::WriteFile(file, kExample);
  const RootPtr root = NewRoot();
  Add(root.get(), u"New", 1);
  ASSERT_EQ(FTSaveDataToFile(root.get(), -1, 0, W(file)), 1);
  EXPECT_EQ(testsupport::ReadFile(file), "1:0:0:0:1:1:0:1:New\r\n\r\n-3:-1\r\n-4:0\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

  fs::create_directory(folder / "blocked");  // a folder where the file should be
  EXPECT_EQ(FTSaveDataToFile(root.get(), -1, 0, W(folder / "blocked")), 0);
  EXPECT_TRUE(fs::is_directory(folder / "blocked"));
  EXPECT_EQ(FTSaveDataToFile(nullptr, -1, 0, W(file)), 0);
  EXPECT_EQ(FTSaveDataToFile(root.get(), -1, 0, MyString()), 0);
}

TEST(FavoritesFileTest, SaveWaitsForTheFavoritesLock) {
  const fs::path file = testsupport::NewTempDir("lock") / "FAVORITES.TXT";
  const RootPtr root = NewRoot();
  Add(root.get(), u"A", 1);
  std::atomic<int> phase{0};
  std::thread holder([&] {
    CFileLockGuard lock(GetFavoritesLock());
    phase = 1;
    while (phase != 2) std::this_thread::yield();
  });
  while (phase != 1) std::this_thread::yield();
  std::atomic<bool> saved{false};
  std::thread saver([&] { saved = FTSaveDataToFile(root.get(), -1, 0, W(file)) == 1; });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(saved);
  EXPECT_FALSE(fs::exists(file));
  phase = 2;
  holder.join();
  saver.join();
  EXPECT_TRUE(saved);
}

TEST(FavoritesFileTest, SaveItemWritesTheSubtreeAtItsDepth) {
  const RootPtr root = NewRoot();
  CFavoritesNode* a = Add(root.get(), u"A", 1);
  CFavoritesNode* b = Add(a, u"B", 1);
  Add(b, u"C", 1);
  b->nLevel = 7;  // a stale level must not reach the file
  std::ostringstream out;
  FTSaveItemToFile(out, b);
  EXPECT_EQ(out.str(), "1:1:0:0:1:1:0:1:B\r\n\r\n1:2:0:0:1:1:0:1:C\r\n\r\n");
}

}  // namespace
