// Thumbnails per second of camera-like 12-megapixel JPEGs (4:2:0, quality
// 92, EXIF), box 100 and cache size 300 from an empty cache, timed until
// every entry is written, on a warm page cache: one worker and two,
// beside vipsthumbnail and GraphicsMagick's mogrify doing the same work on
// one thread. Then the same with embedded previews, and cache hits.
//
//   bench_thumbnail [files] [runs]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <turbojpeg.h>
#include <vector>

#include <Magick++.h>
#include <exiv2/exiv2.hpp>

#include "benchfiles.h"
#include "benchtiming.h"
#include "browse/thumbnailcache.h"
#include "browse/thumbnailworkers.h"
#include "codecs/imagelibrary.h"
#include "corekit/atomicfile.h"
#include "corekit/loadslot.h"
#include "corekit/straw.h"

namespace fs = std::filesystem;

namespace {

constexpr int kBox = 100;
constexpr int kCacheSize = 300;

// 4000 x 3000 with the detail of a photograph, EXIF as a camera writes it,
// and when asked an embedded 160 x 120 thumbnail.
fs::path MakePhoto(const fs::path& folder, bool preview) {
  const fs::path path = folder / (preview ? "base-preview.jpg" : "base.jpg");
  if (fs::exists(path)) return path;
  std::printf("making %s ...\n", path.c_str());
  Magick::Image image = PhotoLikeImage();
  // 4:2:0 at quality 92, as cameras write.
  std::vector<unsigned char> pixels(size_t(4000) * 3000 * 4);
  image.write(0, 0, 4000, 3000, "BGRA", Magick::CharPixel, pixels.data());
  tjhandle turbo = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  tjCompress2(turbo, pixels.data(), 4000, 0, 3000, TJPF_BGRX, &jpeg, &size, TJSAMP_420, 92, 0);
  {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::fwrite(jpeg, 1, size, out);
    std::fclose(out);
  }
  tjFree(jpeg);
  tjDestroy(turbo);
  auto file = Exiv2::ImageFactory::open(path.string());
  file->readMetadata();
  file->exifData()["Exif.Image.Make"] = "Lorimo bench camera";
  file->exifData()["Exif.Image.Orientation"] = uint16_t(1);
  file->exifData()["Exif.Photo.DateTimeOriginal"] = "2024:05:06 07:08:09";
  if (preview) {
    Magick::Image small = image;
    small.scale(Magick::Geometry("160x120!"));
    small.magick("JPEG");
    Magick::Blob blob;
    small.write(&blob);
    Exiv2::ExifThumb(file->exifData())
        .setJpegThumbnail(static_cast<const Exiv2::byte*>(blob.data()), blob.length());
  }
  file->writeMetadata();
  return path;
}

// Our thumbnails of files with this many workers, into a fresh cache.
bool RunOurs(const std::vector<fs::path>& files, int threads, const fs::path& root, bool keep) {
  if (!keep) fs::remove_all(root);
  ThumbnailCache cache(CStrAW::FromPath(root));
  cache.ApplyOptions(true, kCacheSize, false);
  cache.PrepareMirrorFolder(CStrAW::FromPath(files.front().parent_path()));
  CThumbnailWorkers workers(&cache, threads);
  std::vector<tagTHUMBCELL> cells;
  for (size_t i = 0; i < files.size(); ++i)
    cells.push_back(tagTHUMBCELL{int(i), CStrAW::FromPath(files[i]), SIZE{kBox, kBox}, true});
  workers.SetCells(cells, 0);
  // Looked at rarely: a waking poller takes the processor from the workers.
  while (workers.Pending() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  cache.WaitIdle();
  QCoreApplication::removePostedEvents(&workers);
  return true;
}

bool RunTool(const QString& program, QStringList arguments, const char* variable,
             const fs::path& folder, const fs::path& out) {
  fs::remove_all(out);
  fs::create_directories(out);
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(variable, "1");
  process.setProcessEnvironment(environment);
  // mogrify keeps a relative path's folders below its output folder.
  process.setWorkingDirectory(QString::fromStdString(folder.string()));
  process.start(program, arguments);
  return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

QStringList Names(const std::vector<fs::path>& files) {
  QStringList names;
  for (const fs::path& file : files) names << QString::fromStdString(file.filename().string());
  return names;
}

double PerSecond(size_t count, double ms) { return ms > 0 ? count * 1000.0 / ms : 0; }

// Processor time used so far by this process, and by its ended children, in
// milliseconds: on a shared machine wall time also measures the others.
double OwnCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
         usage.ru_stime.tv_usec / 1e3;
}
double ChildrenCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
         usage.ru_stime.tv_usec / 1e3;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  InitializeImageLibrary();
  const int count = argc > 1 ? std::max(4, std::atoi(argv[1])) : 24;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const fs::path folder = fs::temp_directory_path() / "lorimo-bench-thumbs";
  fs::create_directories(folder);
  const std::vector<fs::path> plain = MakeSet(folder / "plain", MakePhoto(folder, false), count);
  const std::vector<fs::path> previews =
      MakeSet(folder / "previews", MakePhoto(folder, true), count);
  const fs::path root = folder / "cache";
  std::printf("%d files of 4000 x 3000 (%.1f MB each), box %d, cache size %d, median of %d runs\n",
              count, double(fs::file_size(plain.front())) / 1e6, kBox, kCacheSize, runs);

  // Warm the page cache.
  for (const fs::path& file : plain) {
    std::string bytes;
    ReadWholeFile(CStrAW::FromPath(file), &bytes, size_t(1) << 30);
  }
  RunOurs(plain, 2, root, false);

  double cpu = OwnCpuMs();
  const double one = MedianMs(runs, [&] { return RunOurs(plain, 1, root, false); });
  const double oursCpu = (OwnCpuMs() - cpu) / (runs * plain.size());
  const double two = MedianMs(runs, [&] { return RunOurs(plain, 2, root, false); });
  const fs::path out = folder / "peer-out";
  QStringList vipsArguments = Names(plain);
  vipsArguments << "-s" << QString::number(kCacheSize) << "-o"
                << QString::fromStdString((out / "%s.jpg").string());
  cpu = ChildrenCpuMs();
  const double vips = MedianMs(runs, [&] {
    return RunTool("vipsthumbnail", vipsArguments, "VIPS_CONCURRENCY", plain.front().parent_path(),
                   out);
  });
  QStringList gmArguments = {"mogrify", "-output-directory", QString::fromStdString(out.string()),
                             "-size",   "300x300",           "-thumbnail",
                             "300x300"};
  gmArguments << Names(plain);
  const double vipsCpu = (ChildrenCpuMs() - cpu) / (runs * plain.size());
  cpu = ChildrenCpuMs();
  const double gm = MedianMs(runs, [&] {
    return RunTool("gm", gmArguments, "OMP_NUM_THREADS", plain.front().parent_path(), out);
  });
  const double gmCpu = (ChildrenCpuMs() - cpu) / (runs * plain.size());
  const double preview = MedianMs(runs, [&] { return RunOurs(previews, 2, root, false); });
  RunOurs(plain, 2, root, false);
  const double hits = MedianMs(runs, [&] { return RunOurs(plain, 2, root, true); });

  const double ours1 = PerSecond(plain.size(), one), ours2 = PerSecond(plain.size(), two);
  const double vipsRate = PerSecond(plain.size(), vips), gmRate = PerSecond(plain.size(), gm);
  std::printf("without previews, one worker:  %8.1f thumbnails/s\n", ours1);
  std::printf("without previews, two workers: %8.1f thumbnails/s\n", ours2);
  std::printf("vipsthumbnail -s 300 (1 thread): %6.1f thumbnails/s\n", vipsRate);
  std::printf("gm mogrify -thumbnail (1 thread): %5.1f thumbnails/s\n", gmRate);
  std::printf("with previews, two workers:    %8.1f thumbnails/s\n",
              PerSecond(previews.size(), preview));
  std::printf("cache hits, two workers:       %8.1f thumbnails/s\n", PerSecond(plain.size(), hits));
  std::printf(
      "ratios: one worker / vips %.2f (target 1.25), one worker / gm %.2f (target 1.0), "
      "two / one %.2f (target 1.8)\n",
      vipsRate > 0 ? ours1 / vipsRate : 0, gmRate > 0 ? ours1 / gmRate : 0,
      ours1 > 0 ? ours2 / ours1 : 0);
  std::printf("processor time per thumbnail, one thread: ours %.1f ms, vips %.1f ms, gm %.1f ms\n",
              oursCpu, vipsCpu, gmCpu);
  return 0;
}
