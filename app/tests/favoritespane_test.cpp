// The favorites pane offscreen on a real favorites file: moves and their
// refusals, expansion from disk, clicks that open, the "Load error"
// removal, the empty-list panel, and saving that waits for the lock.
#include "collections/favoritespane.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTreeWidget>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "collections/favoritesdialogs.h"
#include "corekit/filelock.h"
#include "corekit/straw.h"
#include "nestbook/favoritesfile.h"
#include "nestbook/threadupdate.h"
#include "nestbook/tvt.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

CFavoritesNode* Add(CFavoritesNode* parent, const char16_t* name, int32_t type,
                    const MyString& path = MyString()) {
  const auto it =
      parent->CreateChildNodeSorted(path.IsEmpty() ? nullptr : path.c_str(), name, type);
  if (it == parent->vChildren.end()) return nullptr;
  (*it)->bUserAdded = 1;
  return *it;
}

CFavoritesNode* Child(CFavoritesNode* parent, const char16_t* name) {
  for (CFavoritesNode* child : parent->vChildren)
    if (child && !child->bDeleted && child->GetName() == MyString(name)) return child;
  return nullptr;
}

class FavoritesPane : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testsupport::NewTempDir("favpane");
    fs::create_directories(dir / "alps" / "day1");
    fs::create_directories(dir / "beach");
    file = dir / "FAVORITES.TXT";
    std::unique_ptr<CFavoritesNode> root(CFavoritesNode::CreateRoot());
    CFavoritesNode* trips = Add(root.get(), u"Trips", FAV_TYPE_FOLDER);
    Add(trips, u"alps", FAV_TYPE_DIRECTORY, W(dir / "alps"));
    Add(trips, u"Inner", FAV_TYPE_FOLDER);
    Add(root.get(), u"beach", FAV_TYPE_DIRECTORY, W(dir / "beach"));
    Add(root.get(), u"show", FAV_TYPE_PORTFOLIO, W(dir / "missing.lrm"));
    ASSERT_EQ(FTSaveDataToFile(root.get(), -1, 0, W(file)), 1);
  }

  std::unique_ptr<CFavoritesPane> Open() {
    auto pane = std::make_unique<CFavoritesPane>(nullptr, W(file));
    pane->showError = [this](const MyString& text, const MyString& caption) {
      errors.push_back(caption.ToQString() + QStringLiteral(": ") + text.ToQString());
    };
    pane->askYesNo = [this](const MyString& text, const MyString& caption) {
      questions.push_back(caption.ToQString() + QStringLiteral(": ") + text.ToQString());
      return true;
    };
    pane->openFolder = [this](const MyString& path) {
      opened.push_back(path.ToQString());
      return 0;  // as for a folder without images
    };
    pane->openPortfolio = [this](const MyString& path) {
      opened.push_back(path.ToQString());
      return 0;  // the file is missing
    };
    EXPECT_TRUE(pane->WaitLoaded());
    return pane;
  }

  fs::path dir, file;
  QStringList errors, questions, opened;
};

}  // namespace

TEST_F(FavoritesPane, MovesRefusesAndKeepsTheResultAcrossSaveAndReload) {
  auto pane = Open();
  CFavoritesNode* root = pane->Root();
  CFavoritesNode* trips = Child(root, u"Trips");
  CFavoritesNode* inner = Child(trips, u"Inner");
  CFavoritesNode* beach = Child(root, u"beach");
  ASSERT_TRUE(trips && inner && beach);
  EXPECT_FALSE(pane->IsEmptyPanelShown());
  EXPECT_EQ(pane->Tree()->topLevelItemCount(), 3);

  // Expanding a favorite directory lists its subfolders from disk.
  QTreeWidgetItem* tripsItem = pane->ItemOf(trips);
  tripsItem->setExpanded(true);
  QTreeWidgetItem* alpsItem = pane->ItemOf(Child(trips, u"alps"));
  ASSERT_NE(alpsItem, nullptr);
  alpsItem->setExpanded(true);
  ASSERT_EQ(alpsItem->childCount(), 1);
  EXPECT_EQ(alpsItem->child(0)->text(0), QStringLiteral("day1"));

  EXPECT_EQ(pane->MoveNode(trips, inner), EFavoritesMove::kIntoOwnSubtree);
  EXPECT_EQ(pane->MoveNode(inner, inner), EFavoritesMove::kOntoItself);
  EXPECT_EQ(pane->MoveNode(inner, trips), EFavoritesMove::kAlreadyThere);
  EXPECT_EQ(pane->MoveNode(beach, beach), EFavoritesMove::kIgnored);  // not a folder
  ASSERT_EQ(errors.size(), 3);
  EXPECT_TRUE(errors[0].startsWith("Error Moving...: Can't move item. The destination folder is"));
  EXPECT_TRUE(errors[1].contains("is the same as the source folder"));
  EXPECT_TRUE(errors[2].contains("It is already in that folder"));
  EXPECT_EQ(Child(trips, u"Inner"), inner);

  // A selected favorite keeps its selection while it moves.
  pane->ClickItem(pane->ItemOf(beach), Qt::ControlModifier);
  ASSERT_EQ(pane->Browsing().GetCount(), 1);
  EXPECT_EQ(pane->MoveNode(beach, inner), EFavoritesMove::kMoved);
  EXPECT_EQ(Child(root, u"beach"), nullptr);
  EXPECT_EQ(Child(inner, u"beach"), beach);
  EXPECT_EQ(pane->Browsing().GetCurrentNode(), beach);
  QTreeWidgetItem* moved = pane->ItemOf(beach);
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(TVTGetItemData(moved->parent()), inner);
  EXPECT_EQ(pane->Tree()->topLevelItemCount(), 2);
  pane.reset();  // saves

  auto again = Open();
  CFavoritesNode* innerAgain = Child(Child(again->Root(), u"Trips"), u"Inner");
  ASSERT_NE(innerAgain, nullptr);
  CFavoritesNode* beachAgain = Child(innerAgain, u"beach");
  ASSERT_NE(beachAgain, nullptr);
  EXPECT_EQ(beachAgain->nSelection, 1);
  EXPECT_EQ(again->Browsing().GetCurrentNode(), beachAgain);
  EXPECT_EQ(Child(again->Root(), u"beach"), nullptr);
  // The expanded nodes are shown expanded again.
  QTreeWidgetItem* alpsAgain = again->ItemOf(Child(Child(again->Root(), u"Trips"), u"alps"));
  ASSERT_NE(alpsAgain, nullptr);
  EXPECT_TRUE(alpsAgain->isExpanded());
}

TEST_F(FavoritesPane, ClicksOpenAndTheLastRemovalShowsTheEmptyPanel) {
  auto pane = Open();
  CFavoritesNode* root = pane->Root();
  // A folder that exists but shows no images is not offered for removal.
  pane->ClickItem(pane->ItemOf(Child(root, u"beach")), Qt::NoModifier);
  EXPECT_EQ(opened, QStringList{W(dir / "beach").ToQString()});
  EXPECT_TRUE(questions.isEmpty());
  // A portfolio that cannot be loaded is, and Yes removes it.
  pane->ClickItem(pane->ItemOf(Child(root, u"show")), Qt::NoModifier);
  ASSERT_EQ(questions.size(), 1);
  EXPECT_TRUE(questions[0].startsWith("Load error: "));
  EXPECT_TRUE(questions[0].endsWith("Do you want to remove it from your favorites list ?"));
  EXPECT_EQ(Child(root, u"show"), nullptr);
  EXPECT_EQ(pane->Browsing().GetCount(), 0);

  EXPECT_EQ(pane->RemoveItem(pane->ItemOf(Child(root, u"beach"))), 1);
  EXPECT_FALSE(pane->IsEmptyPanelShown());
  EXPECT_EQ(pane->RemoveItem(pane->ItemOf(Child(root, u"Trips"))), 1);
  EXPECT_TRUE(pane->IsEmptyPanelShown());
  EXPECT_EQ(pane->Save(), 1);
  pane.reset();
  EXPECT_TRUE(Open()->IsEmptyPanelShown());
}

TEST_F(FavoritesPane, SavingWaitsWhileAnotherProcessHoldsTheFavoritesLock) {
  auto pane = Open();
  pane->RemoveItem(pane->ItemOf(Child(pane->Root(), u"show")));
  const std::string before = testsupport::ReadFile(file);
  const fs::path started = dir / "started";
  QProcess holder;
  holder.start(
      QStringLiteral("flock"),
      {GetFavoritesLock().GetPath().ToQString(), QStringLiteral("-c"),
       QStringLiteral("touch '%1'; sleep 1").arg(QString::fromStdString(started.string()))});
  ASSERT_TRUE(testsupport::WaitFor([&] { return fs::exists(started); }, std::chrono::seconds(10)));
  std::atomic<int> saved{-1};
  std::thread saver([&] { saved = pane->Save(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(saved, -1);
  EXPECT_EQ(testsupport::ReadFile(file), before);
  ASSERT_TRUE(holder.waitForFinished(10000));
  saver.join();
  EXPECT_EQ(saved, 1);
  EXPECT_NE(testsupport::ReadFile(file), before);
  pane.reset();
  EXPECT_EQ(Child(Open()->Root(), u"show"), nullptr);
}

TEST_F(FavoritesPane, FolderChangesOnDiskReachTheExpandedTree) {
  auto pane = std::make_unique<CFavoritesPane>(nullptr, W(file));
  pane->autoUpdate = [] { return true; };
  ASSERT_TRUE(pane->WaitLoaded());
  ASSERT_NE(pane->Updates(), nullptr);
  EXPECT_TRUE(testsupport::WaitFor([&] { return pane->Updates()->GetWatchedCount() == 2; },
                                   std::chrono::seconds(10)));
  CFavoritesNode* trips = Child(pane->Root(), u"Trips");
  pane->ItemOf(trips)->setExpanded(true);
  QTreeWidgetItem* alps = pane->ItemOf(Child(trips, u"alps"));
  alps->setExpanded(true);
  ASSERT_EQ(alps->childCount(), 1);
  // Told as the folder watcher tells its favorites slot.
  fs::create_directories(dir / "alps" / "day2");
  pane->OnFolderChanged(W(dir / "alps"));
  ASSERT_EQ(alps->childCount(), 2);
  EXPECT_EQ(alps->child(1)->text(0), QStringLiteral("day2"));
  fs::remove(dir / "alps" / "day1");
  pane->OnFolderChanged(W(dir / "alps"));
  ASSERT_EQ(alps->childCount(), 1);
  EXPECT_EQ(alps->child(0)->text(0), QStringLiteral("day2"));
}

TEST_F(FavoritesPane, AddDialogAndManagerChangeTheTreeThePaneAndTheFile) {
  fs::create_directories(dir / "sea");
  fs::create_directories(dir / "lake");
  auto pane = Open();
  CFavoritesNode* root = pane->Root();
  CFavoritesNode* trips = Child(root, u"Trips");
  CFavoritesNode* beach = Child(root, u"beach");
  pane->Tree()->setCurrentItem(pane->ItemOf(trips));
  {
    // Starts in the folder of the pane's item; the new folder is made there.
    CDlgAddFavorites add(pane.get(), FAV_TYPE_DIRECTORY);
    EXPECT_EQ(add.ChosenFolder(), trips);
    EXPECT_EQ(add.CreateFolder(MyString(u"  ")), nullptr);
    CFavoritesNode* water = add.CreateFolder(MyString(u"Water"));
    ASSERT_NE(water, nullptr);
    EXPECT_EQ(water->pParent, trips);
    EXPECT_EQ(add.ChosenFolder(), water);
    add.SetPaths({W(dir / "sea"), W(dir / "lake")});
    EXPECT_EQ(
        add.GetPathText(),
        QStringLiteral("'%1' '%2' ").arg(W(dir / "sea").ToQString(), W(dir / "lake").ToQString()));
    add.SendCommand(IDOK);
    EXPECT_EQ(add.GetDialogResult(), IDOK);
    QTreeWidgetItem* waterItem = pane->ItemOf(water);
    ASSERT_NE(waterItem, nullptr);
    EXPECT_TRUE(waterItem->isExpanded());
    ASSERT_EQ(waterItem->childCount(), 2);
    EXPECT_EQ(waterItem->child(0)->text(0), QStringLiteral("lake"));
  }

  ASSERT_EQ(pane->RenameItem(pane->ItemOf(beach), MyString(u"Sand")), 1);
  CDlgFavoritesManager manager(pane.get());
  // The arrows reorder the user's order, and the pane's items with it;
  // never past a sibling of another type.
  CFavoritesNode* water = Child(trips, u"Water");
  manager.Select(water);
  ASSERT_EQ(manager.Selected(), water);
  manager.SendCommand(IDC_FAV_UP);
  EXPECT_EQ(pane->ItemOf(trips)->child(0)->text(0), QStringLiteral("Water"));
  EXPECT_EQ(manager.Selected(), water);
  manager.SendCommand(IDC_FAV_UP);
  EXPECT_EQ(pane->ItemOf(trips)->child(0)->text(0), QStringLiteral("Water"));
  manager.SendCommand(IDC_FAV_DOWN);
  manager.SendCommand(IDC_FAV_DOWN);
  EXPECT_EQ(pane->ItemOf(trips)->child(1)->text(0), QStringLiteral("Water"));
  EXPECT_EQ(pane->ItemOf(trips)->child(2)->text(0), QStringLiteral("alps"));
  CFavoritesNode* show = Child(root, u"show");
  manager.SendCommand(IDC_FAV_RESTORE_ALL);
  EXPECT_EQ(pane->ItemOf(beach)->text(0), QStringLiteral("beach"));
  EXPECT_EQ(pane->ItemOf(show)->text(0), QStringLiteral("missing"));
  // Move to... keeps the drag rules.
  CFavoritesNode* inner = Child(trips, u"Inner");
  manager.Select(inner);
  EXPECT_EQ(manager.MoveTo(trips), 0);
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].contains("It is already in that folder"));
  manager.Select(beach);
  EXPECT_EQ(manager.MoveTo(inner), 1);
  EXPECT_EQ(beach->pParent, inner);
  EXPECT_EQ(manager.Selected(), beach);
  manager.Select(show);
  manager.SendCommand(IDC_FAV_REMOVE);
  EXPECT_EQ(Child(root, u"missing"), nullptr);
  EXPECT_EQ(pane->Tree()->topLevelItemCount(), 1);
  pane.reset();

  auto again = Open();
  CFavoritesNode* tripsAgain = Child(again->Root(), u"Trips");
  ASSERT_NE(tripsAgain, nullptr);
  CFavoritesNode* waterAgain = Child(tripsAgain, u"Water");
  ASSERT_NE(waterAgain, nullptr);
  EXPECT_NE(Child(waterAgain, u"sea"), nullptr);
  EXPECT_NE(Child(Child(tripsAgain, u"Inner"), u"beach"), nullptr);
  EXPECT_EQ(again->Root()->vChildren.size(), 1u);
}

TEST_F(FavoritesPane, TheWatcherThreadDeliversFolderChangesToTheTree) {
  fs::create_directories(dir / "alps" / "day1" / "morning");
  auto pane = std::make_unique<CFavoritesPane>(nullptr, W(file));
  pane->autoUpdate = [] { return true; };
  ASSERT_TRUE(pane->WaitLoaded());
  ASSERT_TRUE(testsupport::WaitFor([&] { return pane->Updates()->GetWatchedCount() == 2; },
                                   std::chrono::seconds(10)));
  CFavoritesNode* trips = Child(pane->Root(), u"Trips");
  pane->ItemOf(trips)->setExpanded(true);
  QTreeWidgetItem* alps = pane->ItemOf(Child(trips, u"alps"));
  alps->setExpanded(true);
  QTreeWidgetItem* day1 = alps->child(0);
  day1->setExpanded(true);
  ASSERT_EQ(day1->childCount(), 1);
  const auto pumpUntil = [](const std::function<bool()>& done) {
    return testsupport::WaitFor(
        [&] {
          QCoreApplication::processEvents();
          return done();
        },
        std::chrono::seconds(10));
  };
  // Nobody calls OnFolderChanged here: only the watcher's thread tells.
  fs::create_directories(dir / "alps" / "day2");
  ASSERT_TRUE(pumpUntil([&] { return alps->childCount() == 2; }));
  EXPECT_EQ(alps->child(1)->text(0), QStringLiteral("day2"));
  // A change a level deeper reaches the expanded item there.
  fs::create_directories(dir / "alps" / "day1" / "evening");
  ASSERT_TRUE(pumpUntil([&] { return day1->childCount() == 2; }));
  // A selected subfolder removed on disk leaves the browsing list.
  QTreeWidgetItem* evening = day1->child(0);
  ASSERT_EQ(evening->text(0), QStringLiteral("evening"));
  pane->ClickItem(evening, Qt::ControlModifier);
  ASSERT_EQ(pane->Browsing().GetCount(), 1);
  fs::remove(dir / "alps" / "day1" / "evening");
  ASSERT_TRUE(pumpUntil([&] { return day1->childCount() == 1; }));
  EXPECT_EQ(pane->Browsing().GetCount(), 0);
  EXPECT_EQ(pane->Browsing().GetCurrentNode(), nullptr);
}
