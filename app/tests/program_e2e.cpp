// Starts the real program, as a user would, with a fresh configuration.
#include <QProcess>
#include <csignal>

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

namespace {

TEST(Program, StartsOnASampleAndQuitsCleanlyOnTerminate) {
  QProcess lorimo;
  lorimo.setProcessChannelMode(QProcess::ForwardedChannels);
  lorimo.start(QStringLiteral(LORIMO_PROGRAM),
               {QString::fromStdString(testsupport::SourcePath("samples/sky.jpg").string())});
  ASSERT_TRUE(lorimo.waitForStarted(10000));
  // Give it time to build its window and decode, then ask it to quit.
  ASSERT_FALSE(lorimo.waitForFinished(1500)) << "the program ended on its own";
  ::kill(pid_t(lorimo.processId()), SIGTERM);
  ASSERT_TRUE(lorimo.waitForFinished(20000));
  EXPECT_EQ(lorimo.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(lorimo.exitCode(), 0);
}

}  // namespace
