// JPEG decode speed of LoadImage on a 24-megapixel photo-like file: the
// whole picture (as the 16-bit image, and as the 8-bit pixels the viewer
// holds while it only shows a photo), and with a 1920 x 1080 size hint (the viewer's "Downsample
// reading large images" and the thumbnail builders), each beside djpeg
// doing the same work (full, and -scale 1/4) on the same file.
//
//   bench_jpegdecode [file.jpg] [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <Magick++.h>

#include "benchfiles.h"
#include "benchtiming.h"
#include "codecs/imagelibrary.h"
#include "codecs/jpegpixels.h"
#include "corekit/straw.h"
#include "viewer/imageio.h"

namespace fs = std::filesystem;

namespace {

// 6000 x 4000 with the detail of a photograph (about 5 MB at quality 90,
// 4:2:0): noise at full size, softened as a lens would.
fs::path MakePhoto(const fs::path& folder) {
  const fs::path path = folder / "photo-24mp.jpg";
  if (fs::exists(path)) return path;
  std::printf("making %s ...\n", path.c_str());
  Magick::Image image = PhotoLikeImage(6000, 4000);
  image.quality(90);
  image.write(path.string());
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  InitializeImageLibrary();
  const fs::path folder = fs::temp_directory_path() / "lorimo-bench";
  fs::create_directories(folder);
  const fs::path file = argc > 1 && argv[1][0] ? fs::path(argv[1]) : MakePhoto(folder);
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  const MyString path = CStrAW::FromPath(file);

  SIZE size{};
  ReadImageHeader(path, &size);
  std::printf("file: %s (%d x %d, %.1f MB), median of %d runs\n", file.c_str(), size.cx, size.cy,
              double(fs::file_size(file)) / 1e6, runs);

  size_t hintedWidth = 0, hintedHeight = 0;
  const double full = MedianMs(runs, [&] {
    Magick::Image image;
    return LoadImage(nullptr, path, &image, 0) == 1;
  });
  const double pixels = MedianMs(runs, [&] {
    Magick::Image image;
    std::shared_ptr<const CPixelPicture> picture;
    return LoadImage(nullptr, path, &image, 0, nullptr, &picture) == 1 && picture;
  });
  const SIZE hint{1920, 1080};
  const double hinted = MedianMs(runs, [&] {
    Magick::Image image;
    const bool ok = LoadImage(nullptr, path, &image, 0, &hint) == 1;
    hintedWidth = image.columns();
    hintedHeight = image.rows();
    return ok;
  });
  const std::string quoted = "'" + file.string() + "'";
  const double djpegFull = MedianMs(
      runs, [&] { return std::system(("djpeg -outfile /dev/null " + quoted).c_str()) == 0; });
  const double djpegQuarter = MedianMs(runs, [&] {
    return std::system(("djpeg -scale 1/4 -outfile /dev/null " + quoted).c_str()) == 0;
  });

  std::printf("%-36s %10s\n", "decode", "ms");
  std::printf("%-36s %10.1f\n", "LoadImage, full, 16-bit image", full);
  std::printf("%-36s %10.1f\n", "LoadImage, full, 8-bit (viewer)", pixels);
  std::printf("%-36s %10.1f\n", "djpeg, full (reference)", djpegFull);
  std::printf("LoadImage, hint 1920x1080 -> %zux%-6zu %10.1f\n", hintedWidth, hintedHeight, hinted);
  std::printf("%-36s %10.1f\n", "djpeg -scale 1/4 (reference)", djpegQuarter);
  std::printf("hinted / djpeg -scale 1/4: %.2f (target <= 1.30)\n", hinted / djpegQuarter);
  std::printf("full 16-bit / djpeg full: %.2f\n", full / djpegFull);
  std::printf("full 8-bit (viewer) / djpeg full: %.2f (target <= 1.30)\n", pixels / djpegFull);
  return 0;
}
