#include "testsupport/testsupport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace testsupport {

std::filesystem::path gScratch;  // set by the test main

std::filesystem::path ScratchDir() { return gScratch; }

std::filesystem::path NewTempDir(const std::string& stem) {
  static int counter = 0;
  for (;;) {
    auto dir = gScratch / (stem + std::to_string(++counter));
    if (std::filesystem::create_directories(dir)) return dir;
  }
}

std::filesystem::path SourceDir() {
  const char* env = std::getenv("LORIMO_SOURCE_DIR");
  return env ? std::filesystem::path(env) : std::filesystem::current_path();
}

std::filesystem::path SourcePath(const std::string& relative) { return SourceDir() / relative; }

std::filesystem::path BinaryDir() {
  const char* env = std::getenv("LORIMO_BINARY_DIR");
  return env ? std::filesystem::path(env) / "bin" : std::filesystem::current_path();
}

bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    if (QCoreApplication::instance())
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace testsupport
