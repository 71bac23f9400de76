// Sorting by when the pictures were taken: real JPEGs with EXIF dates
// written by Exiv2, dates read on the stepper's worker and the list sorted
// again once around the shown image.
#include <QCoreApplication>
#include <QDateTime>
#include <QTimeZone>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include "browse/exifdate.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "pixwork/sortdir.h"
#include "pixwork/sortsettings.h"
#include "testsupport/testsupport.h"
#include "viewer/imagestepper.h"

namespace fs = std::filesystem;

namespace {

// Writes the dates; a null when leaves the file without EXIF.
void Stamp(const fs::path& path, const char* when, const char* subSeconds = nullptr,
           const char* offset = nullptr) {
  auto image = Exiv2::ImageFactory::open(path.string());
  image->readMetadata();
  Exiv2::ExifData& exif = image->exifData();
  // Nothing the sample brought along counts.
  exif.clear();
  if (!when) {
    image->writeMetadata();
    return;
  }
  exif["Exif.Photo.DateTimeOriginal"] = std::string(when);
  if (subSeconds) exif["Exif.Photo.SubSecTimeOriginal"] = std::string(subSeconds);
  if (offset) exif["Exif.Photo.OffsetTimeOriginal"] = std::string(offset);
  image->writeMetadata();
}

void Touch(const fs::path& path, int year) {
  const QDateTime when(QDate(year, 6, 1), QTime(12, 0), QTimeZone::utc());
  fs::last_write_time(
      path, fs::file_time_type::clock::now() +
                std::chrono::seconds(when.toSecsSinceEpoch() - QDateTime::currentSecsSinceEpoch()));
}

class ExifDateSort : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    gdwSortingMode = kSortByExifDate;
    bSortAscending = 1;
    RegisterExifDateReader();
    m_dir = testsupport::NewTempDir("taken");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg"})
      fs::copy_file(testsupport::SourcePath("samples/sky.jpg"), m_dir / name);
    Stamp(m_dir / "a.jpg", "2020:01:01 10:00:00", "5");
    Stamp(m_dir / "b.jpg", "2020:01:01 10:00:00", "25");  // a quarter: before a
    Stamp(m_dir / "e.jpg", "2020:03:01 08:00:00");
    Stamp(m_dir / "f.jpg", "2020:03:01 08:00:00");  // same time: by name
    Stamp(m_dir / "c.jpg", nullptr);
    Stamp(m_dir / "d.jpg", nullptr);
    // The last writes, oldest first; c and d have no date, so theirs (2006
    // and 2003) sort them before the pictures taken in 2020.
    const char* names[] = {"f.jpg", "e.jpg", "d.jpg", "b.jpg", "a.jpg", "c.jpg"};
    for (int i = 0; i < 6; ++i) Touch(m_dir / names[i], 2001 + i);
    m_stepper.onListSwapped = [this](bool) { ++m_nSwaps; };
  }
  void TearDown() override {
    gdwSortingMode = 0;
    bSortAscending = 1;
    fs::remove_all(m_dir);
  }
  std::vector<std::string> Order() const {
    std::vector<std::string> names;
    std::lock_guard lock(m_stepper.Position().GetLock());
    for (const CFileEntry* entry : m_stepper.Position().GetList().GetEntries())
      names.push_back(entry->strPath.GetStringTitleExt().ToUtf8());
    return names;
  }
  bool Settle() {
    const bool done = testsupport::WaitFor([&] { return !m_stepper.IsListing(); });
    QCoreApplication::processEvents();
    return done;
  }
  MyString Path(const char* name) const { return CStrAW::FromPath(m_dir / name); }

  fs::path m_dir;
  CImageStepper m_stepper;
  tagSTEPOPTIONS m_options;
  int m_nSwaps = 0;
};

const std::vector<std::string> kTakenOrder{"d.jpg", "c.jpg", "b.jpg", "a.jpg", "e.jpg", "f.jpg"};

TEST_F(ExifDateSort, ListedByLastWriteThenSortedOnceByTakenDateKeepingTheShownImage) {
  ASSERT_EQ(m_stepper.OpenFile(Path("a.jpg"), m_options), 1);
  // Listed at once by the last writes; the dates come from the worker.
  EXPECT_EQ(Order(),
            (std::vector<std::string>{"f.jpg", "e.jpg", "d.jpg", "b.jpg", "a.jpg", "c.jpg"}));
  EXPECT_EQ(m_stepper.Position().GetCurrent(), 4);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(m_nSwaps, 1);
  EXPECT_EQ(Order(), kTakenOrder);
  EXPECT_EQ(m_stepper.Position().GetCurrentPath(), Path("a.jpg"));
  EXPECT_EQ(m_stepper.Position().GetCurrent(), 3);

  // Descending is the exact reverse; a rescan dates again.
  bSortAscending = 0;
  ASSERT_EQ(m_stepper.Rescan(m_options), 1);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Order(), std::vector<std::string>(kTakenOrder.rbegin(), kTakenOrder.rend()));
  EXPECT_EQ(m_stepper.Position().GetCurrentPath(), Path("a.jpg"));

  // Another order chosen before the dates came: they are not applied.
  bSortAscending = 1;
  const int swaps = m_nSwaps;
  ASSERT_EQ(m_stepper.OpenFile(Path("c.jpg"), m_options), 1);
  gdwSortingMode = 0;
  ASSERT_TRUE(Settle());
  EXPECT_EQ(m_nSwaps, swaps);
  EXPECT_EQ(Order(),
            (std::vector<std::string>{"f.jpg", "e.jpg", "d.jpg", "b.jpg", "a.jpg", "c.jpg"}));
}

TEST_F(ExifDateSort, FolderListedOnTheWorkerComesInTakenOrder) {
  m_stepper.SetListOnWorker(true);
  ASSERT_EQ(m_stepper.OpenFile(Path("e.jpg"), m_options), 1);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(m_nSwaps, 1);
  EXPECT_EQ(Order(), kTakenOrder);
  EXPECT_EQ(m_stepper.Position().GetCurrentPath(), Path("e.jpg"));
  EXPECT_EQ(m_stepper.Position().GetCurrent(), 4);
}

TEST_F(ExifDateSort, TakenTimeUsesTheStoredOffsetAndTheSubSeconds) {
  FILETIME64 local = 0, utc = 0, east = 0, none = 0;
  ASSERT_TRUE(ReadExifTakenTime(Path("e.jpg"), &local));
  Stamp(m_dir / "e.jpg", "2020:03:01 08:00:00", "1234567", "+00:00");
  Stamp(m_dir / "f.jpg", "2020:03:01 08:00:00", nullptr, "+02:00");
  ASSERT_TRUE(ReadExifTakenTime(Path("e.jpg"), &utc));
  ASSERT_TRUE(ReadExifTakenTime(Path("f.jpg"), &east));
  const QDateTime when(QDate(2020, 3, 1), QTime(8, 0), QTimeZone::utc());
  const uint64_t kTicks = 10000000;  // per second
  EXPECT_EQ(utc, FileTimeFromUnix(when.toSecsSinceEpoch(), 123456700));
  EXPECT_EQ(east + 2 * 3600 * kTicks, FileTimeFromUnix(when.toSecsSinceEpoch(), 0));
  // Without an offset the local zone counts.
  const QDateTime asLocal(QDate(2020, 3, 1), QTime(8, 0));
  EXPECT_EQ(local, FileTimeFromUnix(asLocal.toSecsSinceEpoch(), 0));
  // No EXIF, and no image at all.
  EXPECT_FALSE(ReadExifTakenTime(Path("c.jpg"), &none));
  EXPECT_EQ(none, 0u);
  EXPECT_FALSE(ReadExifTakenTime(Path("missing.jpg"), &none));
}

}  // namespace
