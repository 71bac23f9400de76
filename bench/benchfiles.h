#pragma once
// Test sets shared by the benchmarks that work on many photos.

#include <filesystem>
#include <string>
#include <vector>

// count copies of base in folder, named IMG_1000.jpg and on; copies there
// already are kept, so a second run makes nothing.
inline std::vector<std::filesystem::path> MakeSet(const std::filesystem::path& folder,
                                                  const std::filesystem::path& base, int count) {
  std::filesystem::create_directories(folder);
  std::vector<std::filesystem::path> files;
  for (int i = 0; i < count; ++i) {
    const std::filesystem::path path = folder / ("IMG_" + std::to_string(1000 + i) + ".jpg");
    if (!std::filesystem::exists(path)) std::filesystem::copy_file(base, path);
    files.push_back(path);
  }
  return files;
}
