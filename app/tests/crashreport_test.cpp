#include "shell/crashreport.h"

#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

class CrashReport : public ::testing::TestWithParam<int> {};

// The crash happens in a child, so the test itself survives it.
TEST_P(CrashReport, FatalSignalLeavesAReportWithTheAddedFiles) {
  const int signal = GetParam();
  const fs::path folder = testsupport::NewTempDir("crash");
  const fs::path layout = testsupport::NewTempDir("cfg") / "lorimo.layout";
  testsupport::WriteFile(layout, "ZOKA Layout File");

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    HCRASHREPORT handle = CCrashReporter::Install(
        [layout] {
          std::ofstream("LorimoSettings.ini") << "[SHOW WINDOW]\n";
          CCrashReporter::AddFile(u"LorimoSettings.ini", u"Lorimo's current settings");
          CCrashReporter::AddFile(CStrAW::FromPath(layout), u"Lorimo's current layout");
          CCrashReporter::AddFile(u"/nonexistent/file", u"missing");
          return 1;
        },
        u"mailto:crash@example.org", u"Test crash", CStrAW::FromPath(folder));
    if (!handle) _exit(3);
    raise(signal);
    _exit(4);  // not reached
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit code " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), signal);

  std::vector<fs::path> reports;
  for (const auto& entry : fs::directory_iterator(folder)) reports.push_back(entry.path());
  ASSERT_EQ(reports.size(), 1u);
  const fs::path report = reports[0];
  EXPECT_EQ(report.filename().string().rfind("report-", 0), 0u);
  const std::string text = testsupport::ReadFile(report / "report.txt");
  EXPECT_NE(text.find("Caption: Test crash\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Address: mailto:crash@example.org\n"), std::string::npos);
  EXPECT_NE(text.find("Signal: " + std::to_string(signal) + "\n"), std::string::npos);
  EXPECT_EQ(testsupport::ReadFile(report / "LorimoSettings.ini"), "[SHOW WINDOW]\n");
  EXPECT_EQ(testsupport::ReadFile(report / "lorimo.layout"), "ZOKA Layout File");
  const std::string files = testsupport::ReadFile(report / "files.txt");
  EXPECT_NE(files.find("LorimoSettings.ini\tLorimo's current settings\n"), std::string::npos)
      << files;
  EXPECT_NE(files.find("lorimo.layout\tLorimo's current layout\n"), std::string::npos);
  EXPECT_NE(files.find("file\tmissing\t(missing)\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Signals, CrashReport, ::testing::Values(SIGSEGV, SIGABRT, SIGFPE));

// A callback that hangs does not keep the program from dying.
TEST(CrashReporter, HangingCallbackIsStopped) {
  const fs::path folder = testsupport::NewTempDir("crash");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CCrashReporter::Install(
        [] {
          for (;;) pause();
          return 1;
        },
        u"", u"Hang", CStrAW::FromPath(folder));
    raise(SIGBUS);
    _exit(4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGBUS);
}

TEST(CrashReporter, InstallOnceAndUninstallRestores) {
  const fs::path folder = testsupport::NewTempDir("crash");
  struct sigaction before {};
  sigaction(SIGSEGV, nullptr, &before);
  HCRASHREPORT handle =
      CCrashReporter::Install([] { return 1; }, u"", u"", CStrAW::FromPath(folder));
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(CCrashReporter::Install([] { return 1; }, u"", u"", CStrAW::FromPath(folder)), nullptr);
  EXPECT_EQ(CCrashReporter::Uninstall(handle), 1);
  struct sigaction after {};
  sigaction(SIGSEGV, nullptr, &after);
  EXPECT_EQ(after.sa_sigaction, before.sa_sigaction);
  EXPECT_EQ(CCrashReporter::Uninstall(handle), 0);
}

}  // namespace
