#include "browse/searchthread.h"

#include <QDate>
#include <QDateTime>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <sys/stat.h>
#include <time.h>

#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

const std::vector<MyString> kTypes = {u"JPG", u"PNG", u"LRM"};

void Touch(const fs::path& path, const QDateTime& when) {
  const timespec times[2] = {{when.toSecsSinceEpoch(), 0},
                             {when.toSecsSinceEpoch(), long(when.time().msec()) * 1000000}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// What a search finds, as paths relative to the top ("dir/" for folders).
std::set<std::string> Find(const fs::path& top, tagSEARCHQUERY query) {
  query.strFolder = CStrAW::FromPath(top);
  query.types = kTypes;
  std::atomic<bool> stop{false};
  std::set<std::string> found;
  CSearchThread::Search(query, stop, [&](const tagSEARCHRESULT& row) {
    EXPECT_EQ(row.strPath.GetStringTitleExt(), row.strName);
    std::string relative = CStrAW::ToPath(row.strPath).lexically_relative(top).string();
    if (row.bFolder) {
      EXPECT_EQ(row.strFolder, row.strPath);
      relative += '/';
    } else {
      EXPECT_EQ(row.strFolder, row.strPath.GetStringPath());
    }
    EXPECT_TRUE(found.insert(relative).second) << relative;
  });
  return found;
}

// Local time in a zone far from UTC, so that a date compared unconverted
// shows.
class ScopedZone {
 public:
  explicit ScopedZone(const char* zone) {
    if (const char* old = getenv("TZ")) m_old = old, m_bHad = true;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedZone() {
    if (m_bHad)
      setenv("TZ", m_old.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::string m_old;
  bool m_bHad = false;
};

}  // namespace

TEST(SearchThread, FindsImagesAndImageFoldersByName) {
  const fs::path top = testsupport::NewTempDir("search");
  testsupport::WriteFile(top / "a.jpg", "x");
  testsupport::WriteFile(top / "b.PNG", "x");
  testsupport::WriteFile(top / "notes.txt", "x");
  testsupport::WriteFile(top / "[x].jpg", "x");
  testsupport::WriteFile(top / "x.jpg", "x");
  testsupport::WriteFile(top / "show.lrm", "x");
  testsupport::WriteFile(top / "pics" / "c.jpg", "x");
  testsupport::WriteFile(top / "nothing" / "readme.txt", "x");  // no image: not listed
  testsupport::WriteFile(top / "nothing" / "sub" / "d.jpg", "x");
  testsupport::WriteFile(top / std::string("bad\xff.jpg"), "x");
  testsupport::WriteFile(top / std::string("bad\xfe") / "e.jpg", "x");
  fs::create_directory_symlink(top, top / "pics" / "loop");  // never followed
  fs::create_symlink(top / "a.jpg", top / "pics" / "link.jpg");

  EXPECT_EQ(Find(top, {}), (std::set<std::string>{"a.jpg", "b.PNG", "[x].jpg", "x.jpg", "show.lrm",
                                                  "pics/", "pics/c.jpg", "pics/link.jpg",
                                                  "nothing/sub/", "nothing/sub/d.jpg"}));

  tagSEARCHQUERY query;
  query.strText = u"[x]";  // a bracket is a plain character
  EXPECT_EQ(Find(top, query), (std::set<std::string>{"[x].jpg"}));
  query.strText = u"I";  // letter case is ignored; "nothing" holds no image
  EXPECT_EQ(Find(top, query), (std::set<std::string>{"pics/", "pics/link.jpg"}));
  query.strText = u"?";
  query.nType = 1;  // PNG only
  EXPECT_EQ(Find(top, query), (std::set<std::string>{"b.PNG"}));
  query.strText = u"*s";  // a typed star keeps its meaning: "*s*"
  query.nType = -1;
  EXPECT_EQ(Find(top, query), (std::set<std::string>{"pics/", "show.lrm", "nothing/sub/"}));

  EXPECT_TRUE(MatchWildcard(u"*.JPG", u"a.b.jpg"));
  EXPECT_FALSE(MatchWildcard(u"a?c", u"ac"));
  EXPECT_TRUE(MatchWildcard(u"a*b*c", u"axxbyyc"));
  EXPECT_FALSE(MatchWildcard(u"[ab]", u"a"));
}

TEST(SearchThread, DatesCoverWholeLocalDays) {
  const ScopedZone zone("America/St_Johns");  // UTC-3:30 or -2:30
  const fs::path top = testsupport::NewTempDir("dates");
  const QDate first(2021, 3, 10), last(2021, 3, 11);
  auto at = [](const QDate& day, int h, int m, int s, int ms = 0) {
    return QDateTime(day, QTime(h, m, s, ms));
  };
  testsupport::WriteFile(top / "start.jpg", "x");
  Touch(top / "start.jpg", at(first, 0, 0, 0));
  testsupport::WriteFile(top / "end.jpg", "x");
  Touch(top / "end.jpg", at(last, 23, 59, 59, 900));
  testsupport::WriteFile(top / "before.jpg", "x");
  Touch(top / "before.jpg", at(first.addDays(-1), 23, 59, 59));
  testsupport::WriteFile(top / "after.jpg", "x");
  Touch(top / "after.jpg", at(last.addDays(1), 0, 0, 0));
  // A folder outside the range is not listed, yet searched.
  testsupport::WriteFile(top / "old" / "inside.jpg", "x");
  Touch(top / "old" / "inside.jpg", at(last, 12, 0, 0));
  Touch(top / "old", at(first.addDays(-30), 12, 0, 0));
  Touch(top, at(first.addDays(-30), 12, 0, 0));

  tagSEARCHQUERY query;
  query.bByDate = true;
  GetSearchDayRange(last, first, &query.tFrom, &query.tTo);  // either order
  EXPECT_EQ(Find(top, query), (std::set<std::string>{"start.jpg", "end.jpg", "old/inside.jpg"}));
}

TEST(SearchThread, StopsOnRequestAndSortsItsRows) {
  const fs::path top = testsupport::NewTempDir("stop");
  for (int i = 0; i < 20; ++i) testsupport::WriteFile(top / std::to_string(i) / "p.jpg", "x");

  CSearchThread search;
  tagSEARCHQUERY query;
  query.strFolder = CStrAW::FromPath(top);
  query.types = kTypes;
  std::mutex mutex;
  std::vector<tagSEARCHRESULT> rows;
  std::atomic<bool> done{false};
  ASSERT_EQ(search.Start(
                query,
                [&](const tagSEARCHRESULT& row) {
                  std::lock_guard<std::mutex> lock(mutex);
                  rows.push_back(row);
                  // One search at a time.
                  if (rows.size() == 1) EXPECT_EQ(search.Start(query, {}, {}), 0);
                  if (rows.size() == 3) search.Stop();
                },
                [&] { done = true; }),
            1);
  search.Wait();
  EXPECT_TRUE(done);
  EXPECT_FALSE(search.IsRunning());
  EXPECT_EQ(rows.size(), 3u);

  // The whole tree, then the column orders.
  rows.clear();
  ASSERT_EQ(search.Start(
                query,
                [&](const tagSEARCHRESULT& row) {
                  std::lock_guard<std::mutex> lock(mutex);
                  rows.push_back(row);
                },
                nullptr),
            1);
  search.Wait();
  ASSERT_EQ(rows.size(), 40u);
  SortSearchResults(&rows, SearchColumn::Name);
  EXPECT_TRUE(rows.front().bFolder);
  EXPECT_FALSE(rows[20].bFolder);
  for (size_t i = 1; i < 20; ++i)
    EXPECT_LT(MyString::FoldCase(rows[i - 1].strPath.str()),
              MyString::FoldCase(rows[i].strPath.str()));
  const std::vector<tagSEARCHRESULT> once = rows;
  SortSearchResults(&rows, SearchColumn::Name);
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].strPath, once[i].strPath);
  SortSearchResults(&rows, SearchColumn::Type);
  EXPECT_TRUE(rows.front().bFolder);
  EXPECT_FALSE(rows.back().strType.IsEmpty());
  SortSearchResults(&rows, SearchColumn::Modified);
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_LE(rows[i - 1].tModified, rows[i].tModified);
}
