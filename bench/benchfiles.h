#pragma once
// Test sets shared by the benchmarks that work on many photos.

#include <filesystem>
#include <string>
#include <vector>

#include <Magick++.h>

// A picture of width x height with a photo's grain and soft detail (noise
// at full size, softened as a lens would), for the JPEGs the benchmarks
// work on.
inline Magick::Image PhotoLikeImage(size_t width = 4000, size_t height = 3000) {
  Magick::Image image(Magick::Geometry(width / 10, height / 10), Magick::Color("skyblue"));
  image.addNoise(Magick::GaussianNoise);
  image.blur(0, 3);
  image.scale(Magick::Geometry(std::to_string(width) + "x" + std::to_string(height) + "!"));
  image.addNoise(Magick::GaussianNoise);
  image.blur(0, 1.2);
  return image;
}

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
