#pragma once
// Helpers for the project's tests: the per-process scratch folder made by the
// shared test main, fixture paths, and waiting on the Qt event loop.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace testsupport {

// Scratch folder of this test process; HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME
// and XDG_RUNTIME_DIR point below it. Removed when the process ends.
std::filesystem::path ScratchDir();

// A fresh empty folder below ScratchDir().
std::filesystem::path NewTempDir(const std::string& stem = "t");

// The repository's source folder and a path below it.
std::filesystem::path SourceDir();
std::filesystem::path SourcePath(const std::string& relative);

// Folder holding the built programs and libraries.
std::filesystem::path BinaryDir();

// Runs the Qt event loop until pred() holds or the timeout passes.
bool WaitFor(const std::function<bool()>& pred,
             std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Writes bytes to a file, creating parent folders.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

}  // namespace testsupport
