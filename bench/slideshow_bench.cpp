// The slideshow builder on a portfolio of 50 photo-like 800 x 600 JPEGs,
// 250 ms each, beside "gm convert -delay 25 -dispose Previous" of the same
// files into the same kind of GIF (both with GraphicsMagick's default
// dither), in the same run. Prints the median times and their ratio.
//
//   bench_slideshow [runs]
#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <Magick++.h>

#include "benchtiming.h"
#include "codecs/imagelibrary.h"
#include "collections/slideshowbuilder.h"
#include "corekit/slidesfile.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSlides = 50;
constexpr int kDelayMs = 250;

// Smooth colour areas with fine grain, as photographs have; each file a
// little different so that the frames differ.
std::vector<fs::path> MakeSlides(const fs::path& folder) {
  fs::create_directories(folder);
  std::vector<fs::path> files;
  Magick::Image base(Magick::Geometry(200, 150), Magick::Color("skyblue"));
  base.addNoise(Magick::GaussianNoise);
  base.blur(0, 2);
  base.scale(Magick::Geometry("800x600!"));
  for (int i = 0; i < kSlides; ++i) {
    const fs::path path = folder / ("slide_" + std::to_string(100 + i) + ".jpg");
    files.push_back(path);
    if (fs::exists(path)) continue;
    Magick::Image image = base;
    image.modulate(100, 100, 60 + i * 2);  // hue turns from slide to slide
    image.roll(i * 13, i * 7);
    image.addNoise(Magick::GaussianNoise);
    image.quality(90);
    image.write(path.string());
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  InitializeImageLibrary();
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const fs::path folder = fs::temp_directory_path() / "lorimo-bench-slideshow";
  std::printf("making %d slides in %s ...\n", kSlides, folder.c_str());
  const std::vector<fs::path> files = MakeSlides(folder);

  CSlidesFile portfolio;
  for (const fs::path& file : files) portfolio.Append(MyString::FromUtf8(file.string()), kDelayMs);
  portfolio.Save(MyString::FromUtf8((folder / "bench.lrm").string()));
  CSlidesFile reread;
  reread.Load(MyString::FromUtf8((folder / "bench.lrm").string()));

  const fs::path ours = folder / "ours.gif";
  const double oursMs = MedianMs(runs, [&] {
    CSlideshowBuilder builder;
    return builder.Build(reread.GetSlides(), 1000, MyString::FromUtf8(ours.string())) ==
           SLIDESHOW_COMPLETE;
  });

  const fs::path theirs = folder / "gm.gif";
  QStringList arguments{"convert", "-delay", "25", "-dispose", "Previous"};
  for (const fs::path& file : files) arguments << QString::fromStdString(file.string());
  arguments << QString::fromStdString(theirs.string());
  const double gmMs = MedianMs(runs, [&] {
    QProcess gm;
    gm.start("gm", arguments);
    return gm.waitForFinished(-1) && gm.exitStatus() == QProcess::NormalExit && gm.exitCode() == 0;
  });

  std::printf("slideshow builder, %d slides of 800 x 600: %.0f ms (%lld bytes)\n", kSlides, oursMs,
              static_cast<long long>(fs::file_size(ours)));
  std::printf("gm convert -delay 25 -dispose Previous:   %.0f ms (%lld bytes)\n", gmMs,
              static_cast<long long>(fs::file_size(theirs)));
  std::printf("ratio builder / gm convert: %.2f (target <= 1.2)\n", gmMs > 0 ? oursMs / gmMs : 0);
  return 0;
}
