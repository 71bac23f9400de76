#include "browse/fileoperations.h"

#include <QByteArray>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

TEST(FileOperations, RenameRulesKeepTheFileInItsFolder) {
  MyString path;
  for (const char16_t* bad : {u"", u".", u"..", u"../x", u"a/b", u"/etc/passwd"})
    EXPECT_EQ(MakeRenamePath(u"/p/holiday.jpg", bad, &path), 0) << MyString(bad).ToUtf8();
  EXPECT_TRUE(path.IsEmpty());
  ASSERT_EQ(MakeRenamePath(u"/p/holiday.jpg", u"beach", &path), 1);
  EXPECT_EQ(path, u"/p/beach.jpg");  // the old extension stays
  ASSERT_EQ(MakeRenamePath(u"/p/holiday.jpg", u"beach.png", &path), 1);
  EXPECT_EQ(path, u"/p/beach.png");
  ASSERT_EQ(MakeRenamePath(u"/p/noext", u"x", &path), 1);
  EXPECT_EQ(path, u"/p/x");
}

TEST(FileOperations, MoveAndCopyNeverReplaceAndNameWhatFailed) {
  const fs::path from = testsupport::NewTempDir("from");
  const fs::path to = testsupport::NewTempDir("to");
  testsupport::WriteFile(from / "a.jpg", "new a");
  testsupport::WriteFile(from / "b.jpg", "b");
  testsupport::WriteFile(to / "a.jpg", "old a");
  testsupport::WriteFile(to / "a (2).jpg", "old a2");
  const fs::path stamp = from / "b.jpg";
  const auto oldTime = fs::last_write_time(stamp) - std::chrono::hours(48);
  fs::last_write_time(stamp, oldTime);

  CFileOperations operations;
  const tagFILEOPRESULT copied =
      operations.Copy({W(from / "a.jpg"), W(from / "b.jpg"), W(from / "gone.jpg")}, W(to));
  ASSERT_EQ(copied.failed.size(), 1u);
  EXPECT_EQ(copied.failed[0], W(from / "gone.jpg"));
  EXPECT_FALSE(copied.AnyGone());
  EXPECT_EQ(testsupport::ReadFile(to / "a.jpg"), "old a");
  EXPECT_EQ(testsupport::ReadFile(to / "a (2).jpg"), "old a2");
  EXPECT_EQ(testsupport::ReadFile(to / "a (3).jpg"), "new a");
  EXPECT_EQ(fs::last_write_time(to / "b.jpg"), oldTime);
  EXPECT_TRUE(fs::exists(from / "a.jpg"));
  const MyString report = CFileOperations::ReportText(copied);
  EXPECT_NE(report.str().find(u"gone.jpg"), std::u16string::npos);
  EXPECT_EQ(CFileOperations::ReportCaption(copied), u"Copy files");

  // Moving: b collides with the copy made above; a file onto its own folder stays.
  const tagFILEOPRESULT moved =
      operations.Move({W(from / "b.jpg"), W(to / "a.jpg"), W(from)}, W(to));
  ASSERT_EQ(moved.failed.size(), 1u);  // a folder is not moved
  EXPECT_EQ(moved.failed[0], W(from));
  ASSERT_EQ(moved.done.size(), 2u);
  EXPECT_EQ(moved.done[0].second, W(to / "b (2).jpg"));
  EXPECT_EQ(moved.done[1].second, W(to / "a.jpg"));
  EXPECT_TRUE(moved.AnyGone());
  EXPECT_FALSE(fs::exists(from / "b.jpg"));
  EXPECT_EQ(testsupport::ReadFile(to / "b (2).jpg"), "b");
  EXPECT_EQ(testsupport::ReadFile(to / "a.jpg"), "old a");

  const tagFILEOPRESULT all = operations.Copy({W(from / "a.jpg")}, W(to));
  EXPECT_TRUE(all.Succeeded());
  EXPECT_EQ(CFileOperations::ReportText(all), u"Operation completed successfully !");

  // An unwritable destination fails every file and leaves the sources.
  const fs::path locked = testsupport::NewTempDir("locked");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  if (access(locked.c_str(), W_OK) != 0) {  // root writes anyway
    const tagFILEOPRESULT refused = operations.Move({W(from / "a.jpg")}, W(locked));
    EXPECT_EQ(refused.failed.size(), 1u);
    EXPECT_TRUE(fs::exists(from / "a.jpg"));
  }
  fs::permissions(locked, fs::perms::owner_all);
}

TEST(FileOperations, TrashGoesToTheUsersTrashFolder) {
  const fs::path data = testsupport::NewTempDir("data");
  const QByteArray savedData = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", data.c_str());
  const fs::path photos = testsupport::NewTempDir("trashme");
  testsupport::WriteFile(photos / "x.jpg", "x");
  testsupport::WriteFile(photos / "y.jpg", "y");

  const tagFILEOPRESULT result = CFileOperations().Trash(
      {W(photos / "x.jpg"), W(photos / "missing.jpg"), W(photos / "y.jpg")});
  qputenv("XDG_DATA_HOME", savedData);
  EXPECT_EQ(result.done.size(), 2u);
  ASSERT_EQ(result.failed.size(), 1u);
  EXPECT_EQ(result.failed[0], W(photos / "missing.jpg"));
  EXPECT_FALSE(fs::exists(photos / "x.jpg"));
  EXPECT_EQ(testsupport::ReadFile(data / "Trash/files/x.jpg"), "x");
  EXPECT_TRUE(fs::exists(data / "Trash/info/y.jpg.trashinfo"));
  EXPECT_EQ(CFileOperations::ReportCaption(result), u"Delete files");
}

}  // namespace
