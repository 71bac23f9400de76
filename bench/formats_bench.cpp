// The formats plug-in's readers on 12-megapixel sources made here, each
// beside the reference tool doing the same work on the same file:
//  - HEIC decode beside heif-convert to Y4M (this libheif writes no PPM;
//    Y4M is its cheapest output: the decoded YUV planes, unconverted);
//  - WebP decode beside dwebp -ppm;
//  - a RAW (DNG) shown from its embedded full-size preview beside djpeg of
//    that preview, extracted;
//  - RAW thumbnails (160 x 160 box) from the files' embedded pictures, per
//    second, on two workers.
// The tools start a process and write a PPM; our figure includes reading
// the file and, for RAW, LibRaw parsing it.
//
//   bench_formats [runs]
#include <QImage>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <turbojpeg.h>
#include <vector>

#include "../formats/tests/dngwriter.h"
#include "benchtiming.h"
#include "formatread.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

// A photo-like picture: smooth light with fine detail.
std::vector<uint8_t> Photo() {
  std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
  uint32_t seed = 12345;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = int(seed >> 28) - 8;
      uint8_t* p = &rgb[(size_t(y) * kWidth + x) * 3];
      p[0] = uint8_t(std::clamp(60 + x * 150 / kWidth + noise, 0, 255));
      p[1] = uint8_t(std::clamp(90 + y * 120 / kHeight + noise, 0, 255));
      p[2] = uint8_t(std::clamp(180 - x * 60 / kWidth + noise, 0, 255));
    }
  return rgb;
}

std::string Jpeg(const std::vector<uint8_t>& rgb, int width, int height) {
  tjhandle tj = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  tjCompress2(tj, rgb.data(), width, width * 3, height, TJPF_RGB, &out, &size, TJSAMP_420, 90, 0);
  std::string jpeg(reinterpret_cast<const char*>(out), size);
  tjFree(out);
  tjDestroy(tj);
  return jpeg;
}

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

bool Run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool Read(const fs::path& path, const tagFORMATREAD& read) {
  std::string error;
  const std::string name = path.string();
  const std::u16string extension = path.extension().u16string().substr(1);
  HBITMAP bitmap = ReadFormatFile(name, extension, read, &error);
  if (!bitmap) std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
  DeleteBitmap32(bitmap);
  return bitmap != nullptr;
}

void Report(const char* what, double ours, double theirs, const char* tool) {
  std::printf("%-34s %8.1f ms   %-26s %8.1f ms   ratio %.2f\n", what, ours, tool, theirs,
              ours / theirs);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const fs::path folder = fs::temp_directory_path() / "lorimo-bench-formats";
  fs::create_directories(folder);
  std::printf("making 12-megapixel sources in %s ...\n", folder.c_str());
  const std::vector<uint8_t> photo = Photo();
  const std::string jpeg = Jpeg(photo, kWidth, kHeight);
  const fs::path png = folder / "photo.png";
  QImage(photo.data(), kWidth, kHeight, kWidth * 3, QImage::Format_RGB888).save(png.c_str());
  const fs::path heic = folder / "photo.heic", webp = folder / "photo.webp";
  const fs::path preview = folder / "preview.jpg", ppm = folder / "out.ppm";
  const fs::path y4m = folder / "out.y4m";
  if (!Run("heif-enc -q 85 " + png.string() + " -o " + heic.string()) ||
      !Run("cwebp -q 85 " + png.string() + " -o " + webp.string())) {
    std::fprintf(stderr, "heif-enc or cwebp failed\n");
    return 1;
  }
  Write(preview, jpeg);
  // Camera files hold a full-size preview and a 160 x 120 thumbnail beside
  // the sensor data.
  std::vector<uint8_t> small(160 * 120 * 3);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x)
      for (int c = 0; c < 3; ++c)
        small[(size_t(y) * 160 + x) * 3 + c] =
            photo[(size_t(y * kHeight / 120) * kWidth + size_t(x * kWidth / 160)) * 3 + c];
  const std::string thumbnail = Jpeg(small, 160, 120);
  std::vector<fs::path> raws;
  for (int i = 0; i < 4; ++i) {
    raws.push_back(folder / ("camera" + std::to_string(i) + ".dng"));
    Write(raws.back(), dngwriter::MakeLinearDng(photo, kWidth, kHeight, jpeg, kWidth, kHeight, 1,
                                                thumbnail, 160, 120));
  }
  std::printf("median of %d runs\n", runs);

  tagFORMATREAD read;
  read.szView = SIZE{1920, 1080};
  Report(
      "HEIC decode", MedianMs(runs, [&] { return Read(heic, read); }),
      MedianMs(runs,
               [&] { return Run("heif-convert --quiet " + heic.string() + " " + y4m.string()); }),
      "heif-convert to Y4M");
  Report("WebP decode", MedianMs(runs, [&] { return Read(webp, read); }),
         MedianMs(runs, [&] { return Run("dwebp -ppm " + webp.string() + " -o " + ppm.string()); }),
         "dwebp -ppm");
  Report("RAW shown from its preview", MedianMs(runs, [&] { return Read(raws[0], read); }),
         MedianMs(runs,
                  [&] { return Run("djpeg -outfile " + ppm.string() + " " + preview.string()); }),
         "djpeg of the preview");

  // Thumbnails: two workers take files from a shared count.
  tagFORMATREAD thumb;
  thumb.bThumbnail = true;
  thumb.szView = SIZE{160, 160};
  const int count = 2000;
  std::atomic<int> next{0}, failed{0};
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  for (int w = 0; w < 2; ++w)
    workers.emplace_back([&] {
      for (int i; (i = next++) < count;)
        if (!Read(raws[size_t(i) % raws.size()], thumb)) ++failed;
    });
  for (std::thread& worker : workers) worker.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("RAW thumbnails from previews, two workers: %.0f per second (%d files, %d failed)\n",
              count / seconds, count, failed.load());
  fs::remove_all(folder);
  return failed ? 1 : 0;
}
