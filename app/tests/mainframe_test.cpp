#include "shell/mainframe.h"

#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "testsupport/testsupport.h"
#include "viewer/imageview.h"

namespace {

MyString Sample(const char* name) {
  return CStrAW::FromPath(testsupport::SourcePath(std::string("samples/") + name));
}

TEST(MainFrame, TitleAndEmptyViewer) {
  CMainFrame frame;
  EXPECT_EQ(frame.windowTitle(), QStringLiteral("ZOKA Lorimo"));
  EXPECT_TRUE(frame.Viewer()->Image().isNull());
  EXPECT_TRUE(frame.Viewer()->ImageRect().isEmpty());
}

TEST(MainFrame, ShowsSampleImagesCentredAndFitted) {
  CMainFrame frame;
  frame.resize(400, 300);
  frame.show();
  ASSERT_EQ(frame.OpenImage(Sample("sky.jpg")), 1);
  const QImage& image = frame.Viewer()->Image();
  EXPECT_EQ(image.width(), 640);
  EXPECT_EQ(image.height(), 480);
  const QRect drawn = frame.Viewer()->ImageRect();
  const QRect area = frame.Viewer()->rect();
  EXPECT_LE(drawn.width(), area.width());
  EXPECT_LE(drawn.height(), area.height());
  EXPECT_NEAR(drawn.center().x(), area.center().x(), 1);
  EXPECT_NEAR(double(drawn.width()) / drawn.height(), 640.0 / 480.0, 0.02);
}

TEST(MainFrame, UnreadableFileLeavesTheViewerEmpty) {
  const auto dir = testsupport::NewTempDir();
  testsupport::WriteFile(dir / "broken.png", "not a png at all");
  CMainFrame frame;
  EXPECT_EQ(frame.OpenImage(CStrAW::FromPath(dir / "broken.png")), 0);
  EXPECT_TRUE(frame.Viewer()->Image().isNull());
}

}  // namespace
