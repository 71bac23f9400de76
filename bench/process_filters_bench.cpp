// Every effect of the process view's catalogue on one photo-like MIFF of 12
// megapixels, file to file (read, filter, write), beside
// `gm convert in.miff <option> out.miff` doing the same in the same run,
// with the ratio of the two, and the time of the effect's preview (the
// downscaled copy and the filter on it). Each figure is the median of three
// runs (one when a run takes over five seconds). The files go to a folder
// under /tmp that is removed at the end.
//
//   bench_process_filters [width height [effect]]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include <Magick++.h>

#include "codecs/imagelibrary.h"
#include "corekit/straw.h"
#include "process/filtercatalogue.h"

namespace fs = std::filesystem;

namespace {

double Ms(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

void MakePhoto(const fs::path& path, unsigned width, unsigned height) {
  std::printf("making a photo-like %u x %u MIFF ...\n", width, height);
  Magick::Image base(Magick::Geometry(width / 10, height / 10), Magick::Color("skyblue"));
  base.addNoise(Magick::GaussianNoise);
  base.blur(0, 3);
  Magick::Geometry size(width, height);
  size.aspect(true);
  base.scale(size);
  base.addNoise(Magick::GaussianNoise);
  base.blur(0, 1.2);
  base.write(path.string());
}

// The median of three runs; one run when it takes over five seconds.
double Timed(const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(Ms(start));
    if (times[0] > 5000) return times[0];
  }
  std::sort(times.begin(), times.end());
  return times[1];
}

struct tagBENCHCASE {
  const char16_t* name;
  tagFILTERARGS args;
  std::string peer;  // gm convert options; empty: no peer
};

tagFILTERARGS Values(std::array<double, 4> values, int choice = 0, bool check = false) {
  tagFILTERARGS args;
  args.dValues = values;
  args.nChoice = choice;
  args.bCheck = check;
  return args;
}

}  // namespace

int main(int argc, char** argv) {
  InitializeImageLibrary();
  const unsigned width = argc > 2 ? unsigned(std::atoi(argv[1])) : 4000;
  const unsigned height = argc > 2 ? unsigned(std::atoi(argv[2])) : 3000;
  const fs::path dir = fs::path("/tmp") / ("lorimo-process-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path in = dir / "in.miff";
  const fs::path out = dir / "out.miff";
  const fs::path peerOut = dir / "peer.miff";
  MakePhoto(in, width, height);
  const std::string q = std::to_string(MaxRGB / 255.0);
  const auto level = [](double v) { return std::to_string(long(std::lround(v * MaxRGB / 255.0))); };

  tagFILTERARGS colorize = Values({30, 40, 50, 0}, 0, true);
  colorize.colors[0] = Magick::Color("blue");
  tagFILTERARGS opaque;
  opaque.colors = {Magick::Color("red"), Magick::Color("green")};
  tagFILTERARGS fill = Values({128, 10, 10, 0}, 2);
  fill.colors[0] = Magick::Color("skyblue");
  tagFILTERARGS redEye;
  redEye.nRegionX = int(width / 3), redEye.nRegionY = int(height / 3);
  redEye.nRegionWidth = int(width / 3), redEye.nRegionHeight = int(height / 3);
  const std::vector<tagBENCHCASE> cases = {
      {u"Adaptive Threshold", Values({3, 3, 10}), "-lat 3x3+" + level(10)},
      {u"Add Noise", Values({}), "+noise Gaussian"},
      {u"Blur", Values({0, 2}), "-blur 0x2"},
      {u"Charcoal", Values({1, 1}), "-charcoal 1"},
      {u"Contrast", Values({1}), "-contrast"},
      {u"Edge", Values({0}), "-edge 0"},
      {u"Emboss", Values({1, 1}), "-emboss 1"},
      {u"Gamma", Values({1.8}), "-gamma 1.8"},
      {u"Gaussian Blur", Values({3, 1}), "-gaussian 3x1"},
      {u"Implode", Values({0.5}), "-implode 0.5"},
      {u"Median Filter", Values({3}), "-median 3"},
      {u"Oil Paint", Values({3}), "-paint 3"},
      {u"Roll", Values({30, 7}), "-roll +30+7"},
      {u"Shade", Values({30, 45}), "-shade 30x45"},
      {u"Sharpen", Values({0, 1}), "-sharpen 0x1"},
      {u"Shear", Values({20, 10}), "-shear 20x10"},
      {u"Solarize", Values({50}), "-solarize 50"},
      {u"Spread", Values({3}), "-spread 3"},
      {u"Swirl", Values({90}), "-swirl 90"},
      {u"Wave", Values({4, 20}), "-wave 4x20"},
      {u"Colorize", colorize, "-fill blue -colorize 30/40/50"},
      {u"Cycle Colormap", Values({3}), "-cycle 3"},
      {u"Matte Floodfill", fill, ""},
      {u"Negate", Values({}), "-negate"},
      {u"Opacity", Values({50}), ""},
      {u"Opaque", opaque, "-fill green -opaque red"},
      {u"Raise", Values({5, 6}), "-raise 5x6"},
      {u"Segment", Values({1, 1.5}), "-segment 1x1.5"},
      {u"Threshold", Values({128}), "-threshold " + level(128)},
      {u"Transparent", opaque, "-transparent red"},
      {u"Enhance", Values({}), "-enhance"},
      {u"Equalize", Values({}), "-equalize"},
      {u"White Balance", Values({3000}), ""},
      {u"Red Eye", redEye, ""},
      {u"AQua2 Enlarge", Values({200, 200}), "-resize 200%"},
  };

  const CFilterCatalogue& catalogue = GetFilterCatalogue();
  std::printf("%-20s %10s %10s %7s %10s\n", "effect", "ours ms", "gm ms", "ratio", "preview ms");
  const std::string only = argc > 3 ? argv[3] : "";
  for (const tagBENCHCASE& c : cases) {
    if (!only.empty() && CStrAW::w_toA(c.name) != only) continue;
    const tagFILTERENTRY& entry = catalogue.Entry(catalogue.Find(c.name));
    double ours = 0, peer = -1, preview = 0;
    try {
      int result = FR_DONE;
      ours = Timed([&] {
        Magick::Image image;
        image.read(in.string());
        result = CFilterCatalogue::Apply(entry, image, c.args);
        image.write(out.string());
      });
      if (result != FR_DONE) std::printf("  (%s gave %d)\n", CStrAW::w_toA(c.name).c_str(), result);

      Magick::Image source;
      source.read(in.string());
      const auto start = std::chrono::steady_clock::now();
      double scale = 1;
      Magick::Image small = CFilterCatalogue::PreviewSource(source, &scale);
      CFilterCatalogue::Apply(entry, small, CFilterCatalogue::PreviewArgs(entry, c.args, scale));
      preview = Ms(start);
    } catch (const std::exception& e) {
      std::printf("  %s failed: %s\n", CStrAW::w_toA(c.name).c_str(), e.what());
    }
    if (!c.peer.empty()) {
      const std::string command =
          "gm convert " + in.string() + " " + c.peer + " " + peerOut.string();
      bool ok = true;
      peer = Timed([&] { ok = ok && std::system(command.c_str()) == 0; });
      if (!ok) peer = -1;
    }
    if (peer > 0)
      std::printf("%-20s %10.0f %10.0f %7.2f %10.0f\n", CStrAW::w_toA(c.name).c_str(), ours, peer,
                  ours / peer, preview);
    else
      std::printf("%-20s %10.0f %10s %7s %10.0f\n", CStrAW::w_toA(c.name).c_str(), ours, "-", "-",
                  preview);
    std::fflush(stdout);
  }
  fs::remove_all(dir);
  return 0;
}
