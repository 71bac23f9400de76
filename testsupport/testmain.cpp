// Test main shared by the Qt-using test programs. Every test process gets its
// own scratch folder as HOME and XDG folders, so no test sees the user's
// settings or another test's files.
#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace testsupport {
extern std::filesystem::path gScratch;
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);

  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "lorimo-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 2;
  testsupport::gScratch = pattern;
  const fs::path scratch = pattern;
  for (const char* sub : {"home", "config", "cache", "runtime"})
    fs::create_directories(scratch / sub);
  fs::permissions(scratch / "runtime", fs::perms::owner_all, fs::perm_options::replace);
  setenv("HOME", (scratch / "home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (scratch / "cache").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (scratch / "runtime").c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);

  int result;
  {
    QApplication app(argc, argv);
    result = RUN_ALL_TESTS();
  }
  if (!std::getenv("LORIMO_KEEP_SCRATCH")) {
    std::error_code ec;
    fs::remove_all(scratch, ec);
  }
  return result;
}
