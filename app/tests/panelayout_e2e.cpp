// The real program keeps its pane layout across a restart: the shipped
// default is taken when there is no layout, and what it placed is written
// back at exit.
#include <QProcess>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

namespace {

void PutInt(std::string& out, int32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(char(uint8_t(uint32_t(value) >> (8 * i))));
}

int32_t IntAt(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | uint8_t(bytes[at + size_t(i)]);
  return int32_t(value);
}

// A layout whose only pane is the navigator (3169) tucked into the left bar.
std::string NavigatorTuckedLeft() {
  std::string out("ZOKA Layout File");
  PutInt(out, 400);
  PutInt(out, 0);  // no root panes
  PutInt(out, 1);  // left bar
  for (int32_t field :
       {3169, 0, 0, 250, 250, 300, 300, 50, 250, 4444, 4444, 4444, 0, 1, 0x10000, 0xF0000})
    PutInt(out, field);
  for (int bar = 0; bar < 3; ++bar) PutInt(out, 0);
  return out;
}

void RunOnce() {
  QProcess lorimo;
  lorimo.setProcessChannelMode(QProcess::ForwardedChannels);
  lorimo.start(QStringLiteral(LORIMO_PROGRAM),
               {QString::fromStdString(testsupport::SourcePath("samples/sky.jpg").string())});
  ASSERT_TRUE(lorimo.waitForStarted(10000));
  ASSERT_FALSE(lorimo.waitForFinished(2000)) << "the program ended on its own";
  ::kill(pid_t(lorimo.processId()), SIGTERM);
  ASSERT_TRUE(lorimo.waitForFinished(20000));
  EXPECT_EQ(lorimo.exitCode(), 0);
}

TEST(PaneLayout, TheDefaultIsTakenAndWhatItPlacedComesBackAfterARestart) {
  const std::filesystem::path folder =
      std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "ZOKA" / "Lorimo";
  const std::filesystem::path layout = folder / "lorimo.layout";
  testsupport::WriteFile(folder / "lorimo.layout.default", NavigatorTuckedLeft());
  std::filesystem::permissions(folder / "lorimo.layout.default",
                               std::filesystem::perms::owner_read);
  ASSERT_FALSE(std::filesystem::exists(layout));

  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    RunOnce();
    const std::string bytes = testsupport::ReadFile(layout);
    ASSERT_GT(bytes.size(), 24u + 4 + 64 + 12);
    ASSERT_EQ(bytes.compare(0, 16, "ZOKA Layout File"), 0);
    // Written by the program, not the copied default: the other views and
    // the navigation toolbar are root panes.
    EXPECT_GE(IntAt(bytes, 20), 2);
    // The bar lists close the file: the left one holds the navigator,
    // the others are empty.
    const size_t left = bytes.size() - 12 - 64 - 4;
    EXPECT_EQ(IntAt(bytes, left), 1);
    EXPECT_EQ(IntAt(bytes, left + 4), 3169);
    EXPECT_EQ(IntAt(bytes, left + 4 + 56), 0x10000);
    EXPECT_EQ(bytes.substr(bytes.size() - 12), std::string(12, '\0'));
  }
  // The default was only read.
  EXPECT_EQ(testsupport::ReadFile(folder / "lorimo.layout.default"), NavigatorTuckedLeft());
  EXPECT_EQ(std::filesystem::status(folder / "lorimo.layout.default").permissions(),
            std::filesystem::perms::owner_read);
}

}  // namespace
