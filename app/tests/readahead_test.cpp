// Stepping through a folder with images decoded ahead: a hit shows the
// prepared image, a changed file is read afresh, a turn of direction finds
// the image just left, and a broken file stays silent until stepped to.
#include "viewer/readahead.h"

#include <QApplication>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "shell/commandids.h"
#include "testsupport/testsupport.h"
#include "viewer/imagedocument.h"
#include "viewer/imageio.h"
#include "viewer/imageview.h"

namespace fs = std::filesystem;

namespace {

void WriteJpeg(const fs::path& path, const char* color, size_t width = 64) {
  InitializeImageLibrary();
  Magick::Image image(Magick::Geometry(width, 48), Magick::Color(color));
  image.quality(95);
  image.write(path.string());
}

class ReadAhead : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    gVO[VO_ROLL_OVER].bFlag = 1;
    m_dir = testsupport::NewTempDir();
    const char* colors[] = {"red", "lime", "blue", "yellow"};
    for (int i = 0; i < 4; ++i) WriteJpeg(m_dir / ("p" + std::to_string(i) + ".jpg"), colors[i]);
    SetImageMessageSink([this](HWND, const MyString& text, const MyString&) {
      m_messages.push_back(text.ToQString().toStdString());
    });
    m_view = std::make_unique<CImageView>();
    m_view->resize(400, 300);
  }
  void TearDown() override {
    m_view.reset();
    SetImageMessageSink(nullptr);
  }
  CReadAhead& Ahead() { return *m_view->Document().GetReadAhead(); }
  // The shown image's colour at its centre, each channel on or off.
  std::string ShownColor() {
    const Magick::Image& image = m_view->Document().GetImage();
    const Magick::ColorRGB c = image.pixelColor(image.columns() / 2, image.rows() / 2);
    auto on = [](double v) { return v > 0.5 ? std::string("255") : std::string("0"); };
    return on(c.red()) + "," + on(c.green()) + "," + on(c.blue());
  }
  std::string Name() { return m_view->Document().GetName().ToQString().toStdString(); }
  void Step(int command) {
    m_view->OnCommand(command);
    Ahead().WaitIdle();
  }

  fs::path m_dir;
  std::unique_ptr<CImageView> m_view;
  std::vector<std::string> m_messages;
};

TEST_F(ReadAhead, StepsTakeTheImagesPreparedAndTurningBackFindsTheOneJustLeft) {
  ASSERT_EQ(m_view->OpenFile(CStrAW::FromPath(m_dir / "p1.jpg")), 1);
  Ahead().WaitIdle();
  EXPECT_EQ(Ahead().CountHits(), 0u);
  Step(IDM_NEXT_IMAGE);
  EXPECT_EQ(Name(), "p2.jpg");
  EXPECT_EQ(ShownColor(), "0,0,255");
  EXPECT_EQ(Ahead().CountHits(), 1u);
  // Turning back: p1 was kept as the image just left.
  Step(IDM_PREVIOUS_IMAGE);
  EXPECT_EQ(Name(), "p1.jpg");
  EXPECT_EQ(Ahead().CountHits(), 2u);
  // The direction is now backwards: p0, then round to p3.
  Step(IDM_PREVIOUS_IMAGE);
  Step(IDM_PREVIOUS_IMAGE);
  EXPECT_EQ(Name(), "p3.jpg");
  EXPECT_EQ(ShownColor(), "255,255,0");
  EXPECT_EQ(Ahead().CountHits(), 4u);
  // The shown image and at most two more are held.
  EXPECT_LE(Ahead().CountHeld(), 3u);
  EXPECT_TRUE(m_messages.empty());
}

TEST_F(ReadAhead, AFileChangedAfterItWasReadAheadIsReadAfresh) {
  ASSERT_EQ(m_view->OpenFile(CStrAW::FromPath(m_dir / "p0.jpg")), 1);
  Ahead().WaitIdle();
  // Same size and name, other pixels, a later time.
  fs::remove(m_dir / "p1.jpg");
  WriteJpeg(m_dir / "p1.jpg", "white", 80);
  Step(IDM_NEXT_IMAGE);
  EXPECT_EQ(Name(), "p1.jpg");
  EXPECT_EQ(ShownColor(), "255,255,255");
  EXPECT_EQ(m_view->Document().GetImage().columns(), 80u);
  EXPECT_EQ(Ahead().CountHits(), 0u);
}

TEST_F(ReadAhead, ABrokenFileIsSilentUntilSteppedToThenFailsAsAlways) {
  {
    std::ofstream broken(m_dir / "p1.jpg", std::ios::binary | std::ios::trunc);
    broken << "\xFF\xD8\xFF\xE0 not a picture";
  }
  ASSERT_EQ(m_view->OpenFile(CStrAW::FromPath(m_dir / "p0.jpg")), 1);
  Ahead().WaitIdle();
  EXPECT_TRUE(m_messages.empty());
  Step(IDM_NEXT_IMAGE);
  EXPECT_FALSE(m_view->Document().HasImage());
  EXPECT_FALSE(GetLastLoadError().IsEmpty());
  EXPECT_TRUE(m_messages.empty());
  EXPECT_EQ(Ahead().CountHits(), 0u);
  // Stepping on from the failed one works as before.
  Step(IDM_NEXT_IMAGE);
  EXPECT_EQ(Name(), "p2.jpg");
}

TEST(ReadAheadBudget, KeepsTheMostWantedWithinItsCountAndBytes) {
  const fs::path dir = testsupport::NewTempDir();
  std::vector<tagREADAHEADKEY> keys;
  for (int i = 0; i < 3; ++i) {
    const fs::path path = dir / ("b" + std::to_string(i) + ".jpg");
    WriteJpeg(path, "gray", 100);
    tagREADAHEADKEY key;
    ASSERT_TRUE(ViewerReadAheadKey(CStrAW::FromPath(path), nullptr, &key));
    keys.push_back(key);
  }
  // 100 x 48 pixels of 8 bytes, and 4 for the screen: room for two.
  CReadAhead ahead(5, 2 * 100 * 48 * 12);
  ahead.Want(nullptr, keys);
  ahead.WaitIdle();
  EXPECT_EQ(ahead.CountHeld(), 2u);
  CImageReadResult result;
  EXPECT_TRUE(ahead.Take(keys[0], &result));
  EXPECT_EQ(result.image.columns(), 100u);
  EXPECT_FALSE(ahead.Take(keys[2], &result));
  // Another size hint is another read.
  tagREADAHEADKEY hinted = keys[0];
  hinted.szHint = SIZE{10, 10};
  EXPECT_FALSE(ahead.Take(hinted, &result));
  ahead.Want(nullptr, {});
  EXPECT_EQ(ahead.CountHeld(), 0u);
}

}  // namespace
