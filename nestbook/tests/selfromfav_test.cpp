#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/slidesfile.h"
#include "corekit/straw.h"
#include "nestbook/dlgselfromfav.h"
#include "nestbook/favoritesbrowser.h"
#include "nestbook/favoritesfile.h"
#include "testsupport/testsupport.h"
#include "treehelpers.h"

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

Names EntryNames(const CFavoritesBrowser& browser) {
  Names names;
  for (const CBrowseEntry& entry : browser.GetEntries()) names.push_back(entry.strName.ToUtf8());
  return names;
}

const CBrowseEntry* Entry(const std::vector<CBrowseEntry>& entries, const std::string& name) {
  for (const CBrowseEntry& entry : entries)
    if (entry.strName.ToUtf8() == name) return &entry;
  return nullptr;
}

// Trips (folder) holding the directory "photos" (img10.jpg, img2.JPG,
// notes.txt, show.lrm, sub/deep.png) and the portfolio "best".
struct Favorites {
  Favorites() : top(testsupport::NewTempDir("sel")), root(NewRoot()) {
    fs::create_directories(top / "photos" / "sub");
    for (const char* name : {"img10.jpg", "img2.JPG", "notes.txt", "sub/deep.png"})
      testsupport::WriteFile(top / "photos" / name, "x");
    CSlidesFile slides;
    slides.Append(W(top / "photos" / "img2.JPG"), 0);
    slides.Append(W(top / "elsewhere.png"), 500);
    slides.Save(W(top / "best.lrm"));
    slides.Save(W(top / "photos" / "show.lrm"));
    trips = Add(root.get(), u"Trips", 1);
    photos = Add(trips, nullptr, 2, W(top / "photos").c_str());
    best = Add(trips, nullptr, 8, W(top / "best.lrm").c_str());
    Add(root.get(), nullptr, 2, u"/d/deleted")->bDeleted = 1;
  }
  fs::path top;
  RootPtr root;
  CFavoritesNode *trips, *photos, *best;
};

TEST(CFavoritesBrowserTest, WalksFavoritesFoldersDiskAndPortfolios) {
  Favorites fav;
  CFavoritesBrowser browser(fav.root.get());
  EXPECT_EQ(EntryNames(browser), (Names{"Trips"}));  // the deleted one is hidden
  ASSERT_EQ(browser.Open(browser.GetEntries()[0]), 1);
  EXPECT_EQ(EntryNames(browser), (Names{"photos", "best"}));

  ASSERT_EQ(browser.Open(*Entry(browser.GetEntries(), "photos")), 1);
  EXPECT_EQ(EntryNames(browser), (Names{"sub", "img2.JPG", "img10.jpg", "notes.txt", "show.lrm"}));
  browser.SetExtensions(GetSelFromFavFileTypes()[0].extensions);
  EXPECT_EQ(EntryNames(browser), (Names{"sub", "img2.JPG", "img10.jpg", "show.lrm"}));
  browser.SetExtensions({u"png"});
  ASSERT_EQ(browser.Open(*Entry(browser.GetEntries(), "sub")), 1);
  EXPECT_EQ(EntryNames(browser), (Names{"deep.png"}));
  EXPECT_EQ(browser.GetPlaceName().ToUtf8(), "sub");

  EXPECT_EQ(browser.Up(), 1);
  EXPECT_EQ(browser.GetNode(), fav.photos);
  EXPECT_EQ(browser.GetPlaceName().ToUtf8(), "photos");
  EXPECT_EQ(browser.Up(), 1);
  EXPECT_EQ(browser.GetNode(), fav.trips);
  browser.SetExtensions({});
  ASSERT_EQ(browser.Open(*Entry(browser.GetEntries(), "best")), 1);
  EXPECT_EQ(EntryNames(browser), (Names{"img2.JPG", "elsewhere.png"}));
  EXPECT_EQ(browser.Open(browser.GetEntries()[0]), 0);  // a file is chosen, not entered
  EXPECT_EQ(browser.Up(), 1);
  EXPECT_EQ(browser.Up(), 1);
  EXPECT_EQ(browser.Up(), 0);
}

TEST(CFavoritesBrowserTest, NothingOutsideAFavoriteCanBeEntered) {
  Favorites fav;
  CFavoritesBrowser browser(fav.root.get());
  browser.Open({CBrowseEntry::kDirectory, u"photos", fav.photos->GetPath(), fav.photos});
  EXPECT_EQ(browser.Open({CBrowseEntry::kDirectory, u"top", W(fav.top)}), 0);
  EXPECT_EQ(browser.Open({CBrowseEntry::kDirectory, u"photosx", W(fav.top / "photosx")}), 0);

  const CBrowseEntry sub = browser.Resolve(u"sub");
  EXPECT_EQ(sub.nKind, CBrowseEntry::kDirectory);
  const CBrowseEntry typed = browser.Resolve(u"sub/deep.png");
  EXPECT_EQ(typed.nKind, CBrowseEntry::kFile);
  EXPECT_EQ(typed.strPath, W(fav.top / "photos" / "sub" / "deep.png"));
  EXPECT_TRUE(browser.Resolve(u"missing.jpg").strPath.IsEmpty());
}

TEST(CFavoritesBrowserTest, LookInShowsTheTreeAndTheFoldersBelowAFavorite) {
  Favorites fav;
  CFavoritesBrowser browser(fav.root.get());
  browser.Open({CBrowseEntry::kDirectory, u"photos", fav.photos->GetPath(), fav.photos});
  browser.Open(*Entry(browser.GetEntries(), "sub"));
  std::vector<std::pair<std::string, int>> rows;
  for (const CLookInEntry& entry : browser.GetLookInEntries())
    rows.emplace_back(entry.strName.ToUtf8(), entry.nDepth);
  EXPECT_EQ(rows, (std::vector<std::pair<std::string, int>>{
                      {"Favorites", 0}, {"Trips", 1}, {"photos", 2}, {"sub", 3}, {"best", 2}}));
  ASSERT_EQ(browser.GoTo(browser.GetLookInEntries()[1]), 1);
  EXPECT_EQ(browser.GetNode(), fav.trips);
  EXPECT_TRUE(browser.GetDiskPlace().IsEmpty());
}

TEST(CDlgSelFromFavTest, OffersTheFileTypes) {
  CDlgSelFromFav dialog;
  QComboBox* types = dialog.GetFileTypes();
  ASSERT_EQ(types->count(), 15);
  EXPECT_EQ(types->itemText(0), QStringLiteral("Supported Formats"));
  EXPECT_EQ(types->itemText(1), QStringLiteral("LRM Portfolio Files (*.lrm)"));
  EXPECT_EQ(types->itemText(14), QStringLiteral("Bitmap files (*.bmp)"));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select from Favorites..."));
}

TEST(CDlgSelFromFavTest, OpensAnImageChosenInTheFavorites) {
  Favorites fav;
  ASSERT_EQ(FTSaveDataToFile(fav.root.get(), -1, 0), 1);
  CDlgSelFromFav dialog;
  QTimer::singleShot(0, &dialog, [&] {
    QListWidget* list = dialog.GetList();
    ASSERT_EQ(list->count(), 1);
    emit list->itemActivated(list->item(0));  // Trips
    emit list->itemActivated(list->item(0));  // photos
    EXPECT_EQ(dialog.GetLookIn()->currentText().trimmed(), QStringLiteral("photos"));
    dialog.GetFileName()->setText(QStringLiteral("img10.jpg"));
    dialog.SendCommand(IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.GetPathName(), W(fav.top / "photos" / "img10.jpg"));
}

TEST(CDlgSelFromFavTest, UpAndSelectionFillTheFileName) {
  Favorites fav;
  ASSERT_EQ(FTSaveDataToFile(fav.root.get(), -1, 0), 1);
  CDlgSelFromFav dialog;
  dialog.LoadFavorites();
  QListWidget* list = dialog.GetList();
  emit list->itemActivated(list->item(0));
  emit list->itemActivated(list->item(1));  // the portfolio
  ASSERT_EQ(list->count(), 2);
  list->setCurrentRow(1);
  EXPECT_EQ(dialog.GetFileName()->text(), QStringLiteral("elsewhere.png"));
  dialog.SendCommand(CDlgSelFromFav::IDC_UP);
  EXPECT_EQ(list->count(), 2);  // back in Trips
  EXPECT_EQ(dialog.GetBrowser()->GetNode(), dialog.GetBrowser()->GetLookInEntries()[1].pNode);
}

}  // namespace
