// The batch run with two workers on photo-like 12-megapixel JPEGs, to PNG
// and shrunk to a 1600-pixel bound as JPEG, beside two GraphicsMagick
// mogrify processes on half the files each doing the same work, one thread
// each. Prints the throughput ratio (ours / mogrify's; the target is 0.9
// or more). Arguments: the number of pictures (default 16; the full
// measurement uses 200) and the runs per figure (default 1).
#include <QCoreApplication>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <Magick++.h>

#include "benchfiles.h"
#include "benchtiming.h"
#include "codecs/imagelibrary.h"
#include "collections/batchrun.h"

namespace fs = std::filesystem;

namespace {

fs::path MakePhoto(const fs::path& folder) {
  const fs::path path = folder / "base.jpg";
  if (fs::exists(path)) return path;
  std::printf("making %s ...\n", path.c_str());
  Magick::Image image = PhotoLikeImage();
  image.quality(92);
  image.write(path.string());
  return path;
}

void Fresh(const fs::path& out) {
  fs::remove_all(out);
  fs::create_directories(out);
}

bool RunOurs(const std::vector<fs::path>& files, const tagBATCHSETTINGS& settings) {
  MyStringList sources;
  for (const fs::path& f : files) sources.Append(MyString::FromUtf8(f.string()));
  const tagBATCHSUMMARY summary = CBatchRun(settings, sources).Run();
  return summary.error.IsEmpty() && summary.nDone == files.size();
}

// Two mogrify processes at once, on the two halves of the files.
bool RunMogrify(const std::vector<fs::path>& files, const QStringList& options,
                const fs::path& out) {
  QProcess processes[2];
  for (int half = 0; half < 2; ++half) {
    QStringList arguments = {"mogrify", "-output-directory", QString::fromStdString(out.string())};
    arguments << options;
    for (size_t i = half; i < files.size(); i += 2)
      arguments << QString::fromStdString(files[i].filename().string());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("OMP_NUM_THREADS", "1");
    processes[half].setProcessEnvironment(environment);
    processes[half].setWorkingDirectory(QString::fromStdString(files[0].parent_path().string()));
    processes[half].start("gm", arguments);
  }
  bool bOk = true;
  for (QProcess& p : processes)
    bOk =
        p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 && bOk;
  return bOk;
}

}  // namespace

int main(int argc, char** argv) {
  // One GraphicsMagick thread per worker, as each mogrify gets.
  setenv("OMP_NUM_THREADS", "1", 1);
  QCoreApplication app(argc, argv);
  Magick::InitializeMagick(argv[0]);
  InitializeImageLibrary();
  const int count = argc > 1 ? std::max(2, std::atoi(argv[1])) : 16;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
  const fs::path folder = fs::temp_directory_path() / "lorimo-batch-bench";
  fs::create_directories(folder);
  const std::vector<fs::path> files = MakeSet(folder / "photos", MakePhoto(folder), count);
  const fs::path out = folder / "out";

  tagBATCHSETTINGS png;
  png.bConvert = true;
  png.format = u"PNG";
  png.destination = MyString::FromUtf8(out.string());
  png.nWorkers = 2;
  tagBATCHSETTINGS shrink = png;
  shrink.format = u"JPG";
  shrink.bResize = true;
  shrink.resize.bShrink = true;
  shrink.resize.dwWidth = 1600;
  shrink.resize.dwHeight = 1600;
  shrink.resize.nFilter = kDefaultResizeFilter;

  const struct {
    const char* name;
    const tagBATCHSETTINGS* settings;
    QStringList options;
  } cases[] = {
      {"to PNG", &png, {"-format", "png"}},
      {"1600 bound as JPEG",
       &shrink,
       {"-filter", "Lanczos", "-resize", "1600x1600>", "-quality", "75", "-format", "jpg"}},
  };
  for (const auto& c : cases) {
    const double ours = MedianMs(
        runs, [&] { return RunOurs(files, *c.settings); }, [&] { Fresh(out); });
    const double gm = MedianMs(
        runs, [&] { return RunMogrify(files, c.options, out); }, [&] { Fresh(out); });
    std::printf(
        "%-20s %4d files: batch %8.0f ms (%.2f/s), 2 x gm mogrify %8.0f ms (%.2f/s), "
        "ratio %.2f\n",
        c.name, count, ours, count * 1000.0 / ours, gm, count * 1000.0 / gm, gm / ours);
  }
  fs::remove_all(out);
  return 0;
}
