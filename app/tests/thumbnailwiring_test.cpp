#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <filesystem>
#include <turbojpeg.h>

#include <gtest/gtest.h>

#include "browse/thumbnailcache.h"
#include "browse/thumbnailmaker.h"
#include "browse/thumbnailoptionspage.h"
#include "browse/thumbnailsetup.h"
#include "codecs/losslessjpeg.h"
#include "corekit/bitmap.h"
#include "corekit/straw.h"
#include "corekit_ui/uiutil.h"
#include "pixwork/options.h"
#include "shell/programhooks.h"
#include "testsupport/testsupport.h"
#include "viewer/imageservice.h"

namespace fs = std::filesystem;

namespace {

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

void WriteJpeg(const fs::path& path, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixel(
          x, y, qRgb(x * 255 / width, y * 255 / height, x < width / 3 && y < height / 4 ? 255 : 0));
  tjhandle handle = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  ASSERT_EQ(tjCompress2(handle, image.constBits(), width, int(image.bytesPerLine()), height,
                        TJPF_BGRX, &jpeg, &size, TJSAMP_420, 92, 0),
            0);
  testsupport::WriteFile(path, std::string(reinterpret_cast<const char*>(jpeg), size));
  tjFree(jpeg);
  tjDestroy(handle);
}

class ThumbnailWiringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetStopEvent().Reset();
    saved = GetProgramHooks();
    for (int i = 0; i < TO_COUNT; ++i) savedOptions[i] = gTO[i].dwValue;
    gTO[TO_CACHE_DIRECTORY].dwValue = 1;
    gTO[TO_CACHE_SIZE].dwValue = 300;
    gTO[TO_THUMB_QUALITY].dwValue = 1;  // the picture itself, no embedded preview
    InstallThumbnailHooks(nullptr);
    GetProgramHooks().initThumbnailCache(true);
    photos = testsupport::NewTempDir("photos");
    GetThumbnailCache()->PrepareMirrorFolder(W(photos));
  }
  void TearDown() override {
    GetProgramHooks().releaseThumbnailCache();
    GetProgramHooks() = saved;
    for (int i = 0; i < TO_COUNT; ++i) gTO[i].dwValue = savedOptions[i];
  }
  QImage Entry(const fs::path& path) {
    tagTHUMBSTAMP stamp;
    QImage entry;
    GetThumbnailCache()->WaitIdle();
    if (ReadThumbStamp(W(path), &stamp))
      GetThumbnailCache()->ReadCachedThumbnail(W(path), stamp, &entry);
    return entry;
  }

  tagPROGRAMHOOKS saved;
  uint32_t savedOptions[TO_COUNT];
  fs::path photos;
};

TEST_F(ThumbnailWiringTest, LosslessTurnTurnsTheEntryLikeTheFile) {
  // Sides that are not whole 16-pixel blocks: a lossless turn of the
  // entry itself would leave an unturned strip.
  const fs::path path = photos / "odd.jpg";
  WriteJpeg(path, 1210, 810);
  CThumbnailMaker maker(GetThumbnailCache());
  CThumbnailOwner owner;
  SIZE box{100, 100};
  ASSERT_FALSE(maker.MakeThumbnail(owner, W(path), &box, true).isNull());
  ASSERT_EQ(Entry(path).size(), QSize(300, 200));

  CFileInfo before;
  ASSERT_TRUE(GetFileInfo(W(path), &before));
  CLosslessJpeg transform;
  ASSERT_TRUE(transform.Transform(W(path), W(path), LT_ROTATE90, false));
  GetProgramHooks().rotateCachedThumbnail(W(path), LT_ROTATE90, before);
  const QImage turned = Entry(path);
  ASSERT_EQ(turned.size(), QSize(200, 300));

  // Against the turned file decoded afresh.
  CThumbnailMaker fresh(nullptr);
  SIZE full{300, 300};
  const QImage decoded = fresh.MakeThumbnail(owner, W(path), &full, false);
  ASSERT_EQ(decoded.size(), turned.size());
  double difference = 0;
  for (int y = 0; y < turned.height(); y += 7)
    for (int x = 0; x < turned.width(); x += 7)
      difference += std::abs(qRed(turned.pixel(x, y)) - qRed(decoded.pixel(x, y))) +
                    std::abs(qBlue(turned.pixel(x, y)) - qBlue(decoded.pixel(x, y)));
  EXPECT_LT(difference / ((turned.height() / 7 + 1) * (turned.width() / 7 + 1)), 25.0);
}

TEST_F(ThumbnailWiringTest, SavedImageGetsAFreshEntryAndTheServiceCentres) {
  const fs::path path = photos / "saved.jpg";
  WriteJpeg(path, 800, 400);
  Magick::Image image(Magick::Geometry(800, 400), Magick::Color("red"));
  RefreshCachedThumbnail(W(path), image);
  const QImage entry = Entry(path);
  ASSERT_EQ(entry.size(), QSize(300, 150));
  EXPECT_GT(qRed(entry.pixel(150, 75)), 200);
  // Too small to keep.
  const fs::path small = photos / "small.jpg";
  WriteJpeg(small, 200, 100);
  RefreshCachedThumbnail(W(small), Magick::Image(Magick::Geometry(200, 100), Magick::Color("red")));
  EXPECT_TRUE(Entry(small).isNull());

  // Request 13: the cached thumbnail centred in the asked size.
  CImageService service(nullptr, nullptr, nullptr);
  InstallThumbnailHooks(&service);
  SIZE size{120, 120};
  tagDLL2LORIMOMESSAGE record;
  record.nRequest = DLL2LORIMO_THUMBNAIL;
  const MyString wide = W(path);
  record.pszPath = wide.c_str();
  record.pOutputSize = &size;
  record.nParam = 5;
  HBITMAP bitmap = reinterpret_cast<HBITMAP>(service.Handle(&record));
  ASSERT_NE(bitmap, nullptr);
  const QImage centred = BitmapToQImage(bitmap);
  DeleteBitmap32(bitmap);
  ASSERT_EQ(centred.size(), QSize(120, 120));
  EXPECT_GT(qRed(centred.pixel(60, 60)), 200);              // the red entry, not the file
  EXPECT_NE(centred.pixel(60, 10), centred.pixel(60, 60));  // background above it
}

TEST_F(ThumbnailWiringTest, OptionsPageRulesAndApply) {
  gTO[TO_THUMB_QUALITY].dwValue = 0;
  gTO[TO_CACHE_SIZE].dwValue = 150;
  gTO[TO_TOOLTIP_DELAY].dwValue = 3;
  std::unique_ptr<COptionsPage> page(GetProgramHooks().makeThumbnailOptionsPage(nullptr));
  auto* thumbs = static_cast<CThumbnailOptionsPage*>(page.get());
  auto* use = qobject_cast<QCheckBox*>(page->GetControl(IDC_TO_CACHE_DIRECTORY));
  auto* slider = qobject_cast<QSlider*>(page->GetControl(IDC_TO_CACHE_SIZE));
  auto* sizeBox = qobject_cast<QLineEdit*>(page->GetControl(IDC_TO_CACHE_SIZE_BOX));
  auto* quality = qobject_cast<QCheckBox*>(page->GetControl(IDC_TO_THUMB_QUALITY));
  auto* tips = qobject_cast<QCheckBox*>(page->GetControl(IDC_TO_SHOW_TOOLTIPS));
  auto* delay = qobject_cast<QLineEdit*>(page->GetControl(IDC_TO_TOOLTIP_DELAY));
  ASSERT_TRUE(use && slider && sizeBox && quality && tips && delay);
  EXPECT_EQ(slider->value(), 150);
  EXPECT_EQ(sizeBox->text(), "150");
  EXPECT_TRUE(slider->isEnabled());
  slider->setValue(220);
  EXPECT_EQ(sizeBox->text(), "220");
  quality->setChecked(true);
  EXPECT_EQ(slider->value(), 300);
  EXPECT_FALSE(slider->isEnabled());
  quality->setChecked(false);
  EXPECT_TRUE(slider->isEnabled());
  use->setChecked(false);
  EXPECT_FALSE(slider->isEnabled());
  use->setChecked(true);

  EXPECT_EQ(delay->text(), "3");
  tips->setChecked(false);
  EXPECT_EQ(delay->text(), "0");
  EXPECT_TRUE(delay->isReadOnly());
  tips->setChecked(true);
  EXPECT_EQ(delay->text(), "1");
  EXPECT_FALSE(delay->isReadOnly());
  delay->clear();
  QTest::keyClicks(delay, "25");
  EXPECT_EQ(delay->text(), "10");
  delay->clear();
  QTest::keyClicks(delay, "0");
  emit delay->editingFinished();
  EXPECT_EQ(delay->text(), "1");
  QTest::keyClicks(delay, "\b7");

  // Erasing asks first; No leaves the cache alone.
  const fs::path path = photos / "kept.jpg";
  WriteJpeg(path, 600, 400);
  RefreshCachedThumbnail(W(path), Magick::Image(Magick::Geometry(600, 400), Magick::Color("red")));
  ASSERT_FALSE(Entry(path).isNull());
  thumbs->SetConfirmFunction([] { return false; });
  QTest::mouseClick(page->GetControl(IDC_TO_ERASE_CACHE), Qt::LeftButton);
  EXPECT_FALSE(Entry(path).isNull());
  thumbs->SetConfirmFunction([] { return true; });
  QTest::mouseClick(page->GetControl(IDC_TO_ERASE_CACHE), Qt::LeftButton);
  EXPECT_TRUE(thumbs->GetEraseResult());
  EXPECT_TRUE(Entry(path).isNull());

  QSignalSpy delays(&ThumbnailViewSignals(), &CThumbnailViewSignals::TooltipDelayChanged);
  slider->setValue(180);
  use->setChecked(false);
  page->Apply();
  EXPECT_EQ(gTO[TO_CACHE_DIRECTORY].dwValue, 0u);
  EXPECT_EQ(gTO[TO_CACHE_SIZE].dwValue, 180u);
  EXPECT_EQ(gTO[TO_THUMB_QUALITY].dwValue, 0u);
  EXPECT_EQ(gTO[TO_TOOLTIP_DELAY].dwValue, 7u);
  ASSERT_EQ(delays.count(), 1);
  EXPECT_EQ(delays.at(0).at(0).toInt(), 7);
  EXPECT_FALSE(GetThumbnailCache()->IsEnabled());
  EXPECT_EQ(GetThumbnailCache()->GetCacheSize(), 180);
}

}  // namespace
