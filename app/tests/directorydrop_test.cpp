// Files dropped on a directories node, in the real main window: a plain
// drop moves them there (the viewer's list loses them), Ctrl copies, and
// files that cannot go are named.
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>

#include <gtest/gtest.h>

#include "browse/directoriesview.h"
#include "browse/treepanes.h"
#include "corekit/platform.h"
#include "corekit/straw.h"
#include "shell/mainframe.h"
#include "shell/settings.h"
#include "shell/toolviewdocks.h"
#include "testsupport/testsupport.h"
#include "viewer/imageview.h"

namespace fs = std::filesystem;
using testsupport::WaitFor;

namespace {

constexpr auto kPatience = std::chrono::seconds(20);

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

// Drags the files over the node and drops them, as a file manager would.
bool DropOn(CDirectoriesView& view, QTreeWidgetItem* item, const std::vector<fs::path>& files,
            Qt::KeyboardModifiers modifiers) {
  view.scrollToItem(item);
  const QPoint at = view.visualItemRect(item).center();
  QMimeData data;
  QList<QUrl> urls;
  for (const fs::path& file : files) urls.append(QUrl::fromLocalFile(QString::fromStdString(file)));
  data.setUrls(urls);
  const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
  QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, modifiers);
  QCoreApplication::sendEvent(view.viewport(), &enter);
  if (!enter.isAccepted()) return false;
  QDragMoveEvent move(at, actions, &data, Qt::LeftButton, modifiers);
  QCoreApplication::sendEvent(view.viewport(), &move);
  if (!move.isAccepted()) return false;
  QDropEvent drop(at, actions, &data, Qt::LeftButton, modifiers);
  QCoreApplication::sendEvent(view.viewport(), &drop);
  return drop.isAccepted();
}

int ListLength(CImageView& viewer) {
  std::lock_guard lock(viewer.ListPosition().GetLock());
  return viewer.ListPosition().GetList().GetLengthFileList();
}

}  // namespace

TEST(DirectoryDrop, MovesOrCopiesDroppedFilesIntoTheNodeAndRescansTheViewer) {
  const fs::path home = CStrAW::ToPath(GetHomeFolder());
  const fs::path src = home / "drop-src";
  const fs::path dest = home / "drop-dest";
  fs::create_directories(src);
  fs::create_directories(dest);
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
    fs::copy_file(testsupport::SourcePath("samples/sky.jpg"), src / name);
  fs::copy_file(testsupport::SourcePath("samples/sky.jpg"), dest / "b.jpg");

  {
    CLorimoSettings settings;
    CMainFrame frame(nullptr, &settings);
    InstallTreePanes(frame);
    const int directories = 8;
    frame.ToolViews().ShowToolView(directories);
    auto* view = qobject_cast<CDirectoriesView*>(frame.ToolViews().GetDock(directories)->widget());
    ASSERT_NE(view, nullptr);
    frame.show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(WaitFor([&] { return view->IsFilled(); }, kPatience));
    std::vector<std::pair<MyString, MyString>> messages;
    view->showMessage = [&](const MyString& text, const MyString& caption) {
      messages.emplace_back(text, caption);
    };

    ASSERT_EQ(frame.OpenImage(W(src / "a.jpg")), 1);
    ASSERT_TRUE(WaitFor([&] { return ListLength(*frame.Viewer()) == 3; }, kPatience));
    ASSERT_EQ(view->SelectFolder(W(dest)), 1);
    QTreeWidgetItem* target = view->FindItem(W(dest));
    ASSERT_NE(target, nullptr);

    // A plain drop moves; the name taken there gets a number.
    ASSERT_TRUE(DropOn(*view, target, {src / "b.jpg"}, Qt::NoModifier));
    EXPECT_FALSE(fs::exists(src / "b.jpg"));
    EXPECT_TRUE(fs::exists(dest / "b.jpg"));
    EXPECT_TRUE(fs::exists(dest / "b (2).jpg"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, u"Operation completed successfully !");
    // The viewer's folder lost a file: its list was read again.
    EXPECT_EQ(ListLength(*frame.Viewer()), 2);
    EXPECT_EQ(frame.Viewer()->ListPosition().GetCurrentPath(), W(src / "a.jpg"));

    // Ctrl copies: the source stays.
    ASSERT_TRUE(DropOn(*view, target, {src / "c.jpg"}, Qt::ControlModifier));
    EXPECT_TRUE(fs::exists(src / "c.jpg"));
    EXPECT_TRUE(fs::exists(dest / "c.jpg"));
    EXPECT_EQ(ListLength(*frame.Viewer()), 2);

    // Folders and empty space take no drop.
    EXPECT_FALSE(DropOn(*view, target, {dest}, Qt::NoModifier));

    // A file gone before the drop is named; the others still move.
    messages.clear();
    EXPECT_EQ(view->DropFiles({W(src / "gone.jpg"), W(src / "c.jpg")}, W(dest), false), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].first.ToUtf8().find("gone.jpg"), std::string::npos);
    EXPECT_FALSE(fs::exists(src / "c.jpg"));
    EXPECT_TRUE(fs::exists(dest / "c (2).jpg"));
    EXPECT_EQ(ListLength(*frame.Viewer()), 1);
  }
  fs::remove_all(src);
  fs::remove_all(dest);
}
