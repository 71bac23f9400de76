// The thumbnails and files views over a real viewer and real files,
// offscreen; the browsing commands in a real main window.
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <mutex>

#include <gtest/gtest.h>

#include "browse/browsing.h"
#include "browse/filesview.h"
#include "browse/listtooltip.h"
#include "browse/thumbnailcache.h"
#include "browse/thumbnailentry.h"
#include "browse/thumbnailsetup.h"
#include "browse/thumbnailsview.h"
#include "corekit/loadslot.h"
#include "corekit/straw.h"
#include "pixwork/listposition.h"
#include "pixwork/options.h"
#include "pixwork/sortsettings.h"
#include "shell/commandids.h"
#include "shell/mainframe.h"
#include "shell/programhooks.h"
#include "shell/settings.h"
#include "testsupport/testsupport.h"
#include "viewer/imageview.h"

namespace fs = std::filesystem;

namespace {

void WriteJpeg(const fs::path& path, int width, int height, QRgb colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  ASSERT_TRUE(image.save(QString::fromStdString(path.string()), "JPG"));
}

class ListViews : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    gdwSortingMode = 0;
    bSortAscending = 1;
    gTO[TO_CACHE_DIRECTORY].dwValue = 0;
    m_dir = testsupport::NewTempDir("listed");
    const char* names[] = {"apple", "banana", "cherry", "date", "elder", "fig"};
    for (int i = 0; i < 6; ++i)
      WriteJpeg(m_dir / (std::string(names[i]) + ".jpg"), 64 + i, 48, qRgb(40 * i, 90, 200));
    m_viewer = new CImageView(&m_window);
    m_window.setCentralWidget(m_viewer);
    m_viewer->SetSettings(&m_settings);
    m_viewer->showMessage = [this](const MyString& text, const MyString&) {
      m_messages.push_back(text.ToUtf8());
    };
    m_window.resize(700, 500);
    m_window.show();
    ASSERT_EQ(m_viewer->OpenFile(Path("cherry.jpg")), 1);
  }
  void TearDown() override { ResetOptionRecords(); }

  MyString Path(const std::string& name) const { return CStrAW::FromPath(m_dir / name); }
  int Current() const { return m_viewer->Stepper().Position().GetCurrent(); }
  bool Idle() {
    return testsupport::WaitFor([this] { return !m_viewer->Stepper().IsLoading(); });
  }
  void Quiet(CListViewActions& actions) {
    actions.showMessage = [this](const MyString& text, const MyString& caption) {
      m_messages.push_back(caption.ToUtf8() + ": " + text.ToUtf8());
    };
  }

  fs::path m_dir;
  CLorimoSettings m_settings;
  QMainWindow m_window;
  CImageView* m_viewer;
  std::vector<std::string> m_messages;
};

TEST_F(ListViews, ThumbnailCellsShowPicturesAndCaptionLinesByEdge) {
  WriteJpeg(m_dir / "zz.jpg", 10, 10, 0);
  testsupport::WriteFile(m_dir / "zz.jpg", "not a picture");  // its cell fails
  m_viewer->OnCommand(IDM_RESCAN);
  CThumbnailsView view(m_viewer, &m_settings);
  view.resize(360, 800);
  view.show();
  EXPECT_EQ(view.State().GetCount(), 7);
  EXPECT_EQ(view.State().GetCurrent(), 2);
  ASSERT_TRUE(testsupport::WaitFor([&] { return view.AllVisibleDrawn(); }));
  const QSize screen = QGuiApplication::primaryScreen()->size();
  EXPECT_EQ(view.PoolSize(), (screen.width() / 100 + 1) * (screen.height() / 100 + 3));

  const QString date = QLocale::c().toString(
      QFileInfo(QString::fromStdString((m_dir / "banana.jpg").string())).lastModified().date(),
      QStringLiteral("MMMM dd',' yyyy"));
  view.SetEdge(150);
  EXPECT_EQ(view.CaptionLines(1), QStringList{QStringLiteral("banana.jpg")});
  view.SetEdge(250);
  EXPECT_EQ(view.CaptionLines(1), (QStringList{QStringLiteral("banana.jpg"), date}));
  view.SetEdge(350);
  EXPECT_EQ(view.CaptionLines(1).value(2), QStringLiteral("65 x 48"));
  EXPECT_EQ(view.CaptionLines(1).size(), 3);
  view.SetEdge(450);
  ASSERT_EQ(view.CaptionLines(1).size(), 4);
  EXPECT_EQ(view.CaptionLines(1)[3],
            QLocale().formattedDataSize(qint64(fs::file_size(m_dir / "banana.jpg"))));
  EXPECT_EQ(m_settings.dwThumbnailsSize, 450u);
  EXPECT_EQ(view.PoolSize(), (screen.width() / 450 + 1) * (screen.height() / 450 + 3));
  // The broken file ends as an error, not as "Loading" forever.
  ASSERT_TRUE(testsupport::WaitFor([&] { return view.AllVisibleDrawn(); }));
  EXPECT_GT(view.Grid().Lanes(), 0);
}

TEST_F(ListViews, ClicksSelectAndOpenAndFindNextNeverWraps) {
  CThumbnailsView view(m_viewer, &m_settings);
  view.resize(360, 800);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  Quiet(view.Actions());
  QWidget* area = view.viewport();

  QTest::mouseClick(area, Qt::LeftButton, {}, view.ItemRect(4).center());
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Current(), 4);
  EXPECT_EQ(m_viewer->Document().GetName().ToUtf8(), "elder.jpg");
  EXPECT_EQ(view.State().GetCurrent(), 4);

  // Ctrl adds and takes out, Shift adds the run from the current item.
  QTest::mouseClick(area, Qt::LeftButton, Qt::ControlModifier, view.ItemRect(0).center());
  EXPECT_EQ(view.State().Selection(), (std::set<int>{0}));
  EXPECT_TRUE(view.Actions().IsCommandEnabled(IDM_LIST_MOVE_SELECTED));
  QTest::mouseClick(area, Qt::LeftButton, Qt::ControlModifier, view.ItemRect(0).center());
  EXPECT_FALSE(view.State().HasSelection());
  EXPECT_FALSE(view.Actions().IsCommandEnabled(IDM_LIST_DELETE_SELECTED));
  EXPECT_EQ(view.Actions().RunCommand(IDM_LIST_MOVE_SELECTED, 1), 0);
  QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier, view.ItemRect(2).center());
  EXPECT_EQ(view.State().Selection(), (std::set<int>{2, 3, 4}));
  EXPECT_EQ(Current(), 4);
  QTest::mouseClick(area, Qt::LeftButton, {}, view.ItemRect(1).center());
  ASSERT_TRUE(Idle());
  EXPECT_FALSE(view.State().HasSelection());
  EXPECT_EQ(Current(), 1);

  // A typed capital jumps to the next name with that letter.
  QTest::keyClick(&view, 'E');
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Current(), 4);

  CFindThumbDialog* find = view.Actions().OpenFindDialog();
  EXPECT_FALSE(find->FindNext()->isEnabled());
  find->FindWhat()->setText(QStringLiteral("A"));
  ASSERT_TRUE(find->FindNext()->isEnabled());
  find->SearchUp()->setChecked(true);
  QTest::mouseClick(find->FindNext(), Qt::LeftButton);  // up from elder: "date"
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Current(), 3);
  find->MatchCase()->setChecked(true);
  QTest::mouseClick(find->FindNext(), Qt::LeftButton);  // no capital A before it
  EXPECT_EQ(Current(), 3);
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0], "Lorimo Thumbnails: Lorimo has finished searching the thumnails files");
  // Down from the last item reports the end at once.
  m_viewer->ShowIndex(5);
  EXPECT_EQ(view.Actions().FindNext(u"a", false, false), 0);
  EXPECT_EQ(Current(), 5);
  EXPECT_EQ(m_messages.size(), 2u);
  find->close();
}

TEST_F(ListViews, RenameInPlaceTakesOnlyEnterAndKeepsTheExtension) {
  auto* view = new CFilesView(m_viewer, &m_settings);
  view->resize(300, 400);
  view->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
  Quiet(view->Actions());
  EXPECT_EQ(view->Model().rowCount(), 6);
  EXPECT_EQ(view->State().GetCurrent(), 2);

  view->StartRename(1);
  ASSERT_TRUE(view->RenameEditor());
  EXPECT_EQ(view->RenameEditor()->text(), QStringLiteral("banana"));
  QTest::keyClicks(view->RenameEditor(), QStringLiteral("../away"));
  QTest::keyClick(view->RenameEditor(), Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_TRUE(fs::exists(m_dir / "banana.jpg"));

  view->StartRename(1);
  view->RenameEditor()->setText(QStringLiteral("a/b"));
  QTest::keyClick(view->RenameEditor(), Qt::Key_Return);
  EXPECT_TRUE(fs::exists(m_dir / "banana.jpg"));
  ASSERT_EQ(m_messages.size(), 1u);  // refused, and told

  view->StartRename(1);
  view->RenameEditor()->setText(QStringLiteral("plantain"));
  QTest::keyClick(view->RenameEditor(), Qt::Key_Return);
  EXPECT_FALSE(fs::exists(m_dir / "banana.jpg"));
  EXPECT_TRUE(fs::exists(m_dir / "plantain.jpg"));
  EXPECT_EQ(view->Model().data(view->Model().index(1), Qt::DisplayRole).toString(),
            QStringLiteral("plantain.jpg"));  // in place: the list is not sorted again

  // The tooltip: the six lines from the file, and a preview made on a worker.
  view->ShowTip(1, QPoint(10, 10));
  const QString tip = BuildItemTooltip(Path("plantain.jpg")).ToQString();
  EXPECT_TRUE(tip.startsWith(QStringLiteral("File name        : plantain.jpg\n")));
  EXPECT_TRUE(tip.contains(QStringLiteral("Dimensions     : 65 X 48 Pixels\n")));
  EXPECT_TRUE(tip.contains(QStringLiteral("Size on disk     : ")));
  EXPECT_TRUE(testsupport::WaitFor([&] { return view->Tooltip().IsPreviewReady(); }));

  // Icons by an extension of 1 to 7 characters only.
  EXPECT_EQ(IconExtension(u"/p/x.JPEG"), u"jpeg");
  EXPECT_TRUE(IconExtension(u"/p/x.abcdefgh").IsEmpty());
  EXPECT_TRUE(IconExtension(u"/p/noext").IsEmpty());

  view->header()->resizeSection(0, 40);  // less than the least: 100 is kept
  delete view;
  EXPECT_EQ(m_settings.dwFilesViewSize, 100u);
}

TEST_F(ListViews, MoveAndDeleteSelectedRescanAndReport) {
  const fs::path data = testsupport::NewTempDir("data");
  const QByteArray savedData = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", data.c_str());
  const fs::path target = testsupport::NewTempDir("target");
  CThumbnailsView view(m_viewer, &m_settings);
  view.resize(360, 800);
  view.show();
  Quiet(view.Actions());
  view.Actions().chooseFolder = [&](const MyString& title) {
    EXPECT_EQ(title, u"Please choose your destination directory");
    return CStrAW::FromPath(target);
  };
  view.Actions().askYesNo = [](const MyString&, const MyString&) { return true; };

  view.State().Click(0, true, false);
  view.State().Click(5, true, false);
  EXPECT_EQ(view.Actions().RunCommand(IDM_LIST_MOVE_SELECTED, 0), 1);
  EXPECT_TRUE(fs::exists(target / "apple.jpg"));
  EXPECT_TRUE(fs::exists(target / "fig.jpg"));
  EXPECT_EQ(m_messages.back(), "Move files: Operation completed successfully !");
  EXPECT_FALSE(view.State().HasSelection());
  EXPECT_EQ(view.State().GetCount(), 4);  // rescanned

  // One of two selected files vanished: it is named, the other is trashed.
  view.State().Click(0, true, false);
  view.State().Click(1, true, false);
  fs::remove(m_dir / "banana.jpg");
  EXPECT_EQ(view.Actions().RunCommand(IDM_LIST_DELETE_SELECTED, 0), 0);
  qputenv("XDG_DATA_HOME", savedData);
  EXPECT_NE(m_messages.back().find("banana.jpg"), std::string::npos);
  EXPECT_TRUE(fs::exists(data / "Trash/files/cherry.jpg"));
  EXPECT_EQ(view.State().GetCount(), 2);
}

TEST(Browsing, DeleteAndRenameImageInTheMainWindow) {
  ResetOptionRecords();
  const fs::path dir = testsupport::NewTempDir("browsed");
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteJpeg(dir / name, 40, 30, qRgb(9, 9, 9));
  const fs::path data = testsupport::NewTempDir("data");
  const QByteArray savedData = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", data.c_str());
  CLorimoSettings settings;
  {
    CMainFrame frame(nullptr, &settings);
    CBrowsing* browsing = InstallBrowsing(frame);
    std::vector<std::string> told;
    browsing->showMessage = [&](const MyString& text, const MyString&) {
      told.push_back(text.ToUtf8());
    };
    browsing->askYesNo = [](const MyString&, const MyString&) { return true; };
    frame.show();
    ASSERT_EQ(frame.OpenImage(CStrAW::FromPath(dir / "b.jpg")), 1);
    // Shown at once; its folder is listed on a worker.
    ASSERT_TRUE(
        testsupport::WaitFor([&] { return frame.Viewer()->Stepper().Position().GetLast() == 2; }));
    QSignalSpy changed(frame.Viewer(), &CImageView::ListChanged);

    EXPECT_EQ(frame.Router().Route(IDM_DELETE_IMAGE), 1);
    EXPECT_FALSE(fs::exists(dir / "b.jpg"));
    EXPECT_TRUE(fs::exists(data / "Trash/files/b.jpg"));
    EXPECT_EQ(frame.Viewer()->Document().GetName().ToUtf8(), "c.jpg");
    EXPECT_GE(changed.count(), 1);
    {
      CListPosition& position = frame.Viewer()->ListPosition();
      std::lock_guard lock(position.GetLock());
      EXPECT_EQ(position.GetList().GetLengthFileList(), 2);
    }

    browsing->askNewName = [](const MyString& name, MyString* typed) {
      EXPECT_EQ(name, u"c");
      *typed = u"..";
      return true;
    };
    EXPECT_EQ(browsing->RenameImage(), 0);
    EXPECT_EQ(told.size(), 1u);
    browsing->askNewName = [](const MyString&, MyString* typed) {
      *typed = u"renamed";
      return true;
    };
    EXPECT_EQ(frame.Router().Route(IDM_RENAME_IMAGE), 1);
    EXPECT_TRUE(fs::exists(dir / "renamed.jpg"));
    EXPECT_EQ(frame.Viewer()->Document().GetName().ToUtf8(), "renamed.jpg");
  }
  qputenv("XDG_DATA_HOME", savedData);
}

}  // namespace

namespace {

// The program makes the thumbnails view with the main window, before the
// thumbnail cache: the view's pictures still go into the cache.
TEST_F(ListViews, AViewMadeBeforeTheCacheStillFillsIt) {
  const tagPROGRAMHOOKS saved = GetProgramHooks();
  gTO[TO_CACHE_DIRECTORY].dwValue = 1;
  gTO[TO_CACHE_SIZE].dwValue = 300;
  WriteJpeg(m_dir / "wide.jpg", 640, 480, qRgb(10, 120, 240));
  m_viewer->OnCommand(IDM_RESCAN);
  auto* view = new CThumbnailsView(m_viewer, &m_settings);
  InstallThumbnailHooks(nullptr);
  GetProgramHooks().initThumbnailCache(true);
  view->ReloadPictures();  // the list shown again prepares the mirror folder
  view->resize(360, 900);
  view->show();
  ASSERT_TRUE(testsupport::WaitFor([&] { return view->AllVisibleDrawn(); }));
  GetThumbnailCache()->WaitIdle();
  tagTHUMBSTAMP stamp;
  ASSERT_TRUE(ReadThumbStamp(Path("wide.jpg"), &stamp));
  EXPECT_FALSE(GetThumbnailCache()->FindCachedThumbnail(Path("wide.jpg"), stamp).IsEmpty());
  // The cache goes at shut-down (the browsing hook stops the views' workers first).
  view->DropWorkers();
  GetProgramHooks().releaseThumbnailCache();
  view->SetEdge(200);
  QApplication::processEvents();
  delete view;
  GetProgramHooks() = saved;
}

}  // namespace
