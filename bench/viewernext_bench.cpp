// Next Image to the image drawn, in the viewer widget over a folder of
// 24-megapixel photo-like JPEGs, with and without "Downsample reading large
// images" (the size hint is the viewer's size), each beside the bare
// LoadImage decode of the same files at the same hint, and beside djpeg
// decoding one of them in full. Then the peak memory of a viewer process
// showing one photo, with and without the next one read ahead, beside
// `gm convert photo.jpg null:`. The folder is made under /tmp and removed
// at the end.
//
//   bench_viewernext [files] [runs]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <Magick++.h>

#include "benchfiles.h"
#include "benchtiming.h"
#include "codecs/imagelibrary.h"
#include "codecs/jpegpixels.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "shell/commandids.h"
#include "viewer/imageio.h"
#include "viewer/imageview.h"
#include "viewer/readahead.h"

namespace fs = std::filesystem;

namespace {

constexpr int kViewerWidth = 1920;
constexpr int kViewerHeight = 1080;

// 6000 x 4000 with the detail of a photograph: noise at full size,
// softened as a lens would; each file a little different.
void MakePhotos(const fs::path& folder, int count) {
  std::printf("making %d photos of 6000 x 4000 in %s ...\n", count, folder.c_str());
  Magick::Image base = PhotoLikeImage(6000, 4000);
  for (int i = 0; i < count; ++i) {
    Magick::Image photo = base;
    photo.modulate(100.0 - 5.0 * i, 100.0, 100.0);
    photo.quality(90);
    char name[32];
    std::snprintf(name, sizeof name, "photo-%02d.jpg", i);
    photo.write((folder / name).string());
  }
}

struct CResult {
  double fNextToDrawn;
  double fBareDecode;
  size_t nWidth;
  size_t nHeight;
  size_t nHits;
};

CResult Measure(CImageView& view, const std::vector<MyString>& files, int runs, bool bSample,
                bool bWorker, bool bReadAhead) {
  gVSO[VSO_SAMPLE_VLI].bFlag = bSample ? 1 : 0;
  gVSO[VSO_SKIP_ON_FAST_VIEW].bFlag = bWorker ? 1 : 0;
  CReadAhead& ahead = *view.Document().GetReadAhead();
  ahead.SetEnabled(bReadAhead);
  const size_t hitsBefore = ahead.CountHits();
  CResult result{};
  // With read-ahead the user dwells on each image longer than one decode.
  const std::function<void()> dwell = [&] { ahead.WaitIdle(); };
  result.fNextToDrawn = MedianMs(
      runs,
      [&] {
        const MyString before = view.Document().GetPath();
        view.OnCommand(IDM_NEXT_IMAGE);
        // On the worker the image arrives through the event loop.
        while (view.Document().GetPath() == before)
          QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        view.repaint();
        // The size as shown: asking for the image would make the 16-bit one.
        result.nWidth = ImageColumns(view.Document().GetData());
        result.nHeight = ImageRows(view.Document().GetData());
        return view.Document().HasImage();
      },
      bReadAhead ? dwell : nullptr);
  result.nHits = ahead.CountHits() - hitsBefore;
  ahead.SetEnabled(false);
  const SIZE hint{view.width(), view.height()};
  size_t next = 0;
  result.fBareDecode = MedianMs(runs, [&] {
    // The decode as the viewer asks for it: a photo as 8-bit pixels.
    Magick::Image image;
    std::shared_ptr<const CPixelPicture> picture;
    return LoadImage(nullptr, files[next++ % files.size()], &image, 0, bSample ? &hint : nullptr,
                     &picture) == 1;
  });
  return result;
}

// The peak resident memory of a command run to its end, in kB (0 when it
// failed). Linux carries the peak of the memory a process replaces at exec
// into its own, so the command runs as the grandchild of this benchmark: a
// fresh child starts it with fork and exec and reports its peak.
long PeakKbOf(const std::vector<std::string>& command) {
  std::string line = "'" + fs::read_symlink("/proc/self/exe").string() + "' --peak-of";
  for (const std::string& arg : command) line += " '" + arg + "'";
  std::FILE* pipe = popen(line.c_str(), "r");
  if (!pipe) return 0;
  long kb = 0;
  if (std::fscanf(pipe, "%ld", &kb) != 1) kb = 0;
  return pclose(pipe) == 0 ? kb : 0;
}

// The child of PeakKbOf: runs the command and prints its peak in kB.
int PrintPeakOf(char** command) {
  std::fflush(stdout);
  const pid_t child = fork();
  if (child < 0) return 1;
  if (child == 0) {
    execvp(command[0], command);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return 1;
  std::printf("%ld\n", usage.ru_maxrss);
  return 0;
}

// The grandchild of PeakKbOf: a viewer of the folder's first photo ("one"), the
// same with the next photo read ahead ("ahead"), or no photo ("none": what
// the program holds without one).
int ViewOnly(const fs::path& folder, const std::string& what) {
  ResetOptionRecords();
  CImageView view;
  view.resize(kViewerWidth, kViewerHeight);
  view.show();
  CReadAhead& ahead = *view.Document().GetReadAhead();
  ahead.SetEnabled(what == "ahead");
  if (what == "none") {
    QCoreApplication::processEvents();
    return 0;
  }
  if (!view.ShowFolder(CStrAW::FromPath(folder))) return 1;
  view.repaint();
  ahead.WaitIdle();
  QCoreApplication::processEvents();
  if (what == "ahead" && ahead.CountHeld() < 2) return 1;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "--peak-of") return PrintPeakOf(argv + 2);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc == 4 && std::string(argv[1]) == "--view-only") {
    InitializeImageLibrary();
    return ViewOnly(argv[2], argv[3]);
  }
  InitializeImageLibrary();
  const int count = argc > 1 ? std::max(2, std::atoi(argv[1])) : 4;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3 * count;

  const fs::path folder =
      fs::temp_directory_path() / ("lorimo-bench-viewer-" + std::to_string(getpid()));
  fs::create_directories(folder);
  MakePhotos(folder, count);
  std::vector<MyString> files;
  for (const auto& entry : fs::directory_iterator(folder))
    files.push_back(CStrAW::FromPath(entry.path()));
  std::sort(files.begin(), files.end());

  ResetOptionRecords();
  int status = 0;
  {
    CImageView view;
    view.resize(kViewerWidth, kViewerHeight);
    view.show();
    if (!view.ShowFolder(CStrAW::FromPath(folder))) {
      std::fprintf(stderr, "the viewer cannot show %s\n", folder.c_str());
      status = 1;
    } else {
      std::printf("viewer %d x %d, %zu files, median of %d steps\n", view.width(), view.height(),
                  files.size(), runs);
      std::printf("%-34s %14s %14s %8s %14s\n", "", "Next->drawn ms", "bare decode ms", "ratio",
                  "decoded size");
      const struct {
        const char* name;
        bool bSample, bWorker, bReadAhead;
      } cases[] = {{"full size, GUI thread", false, false, false},
                   {"SampleVLI, GUI thread", true, false, false},
                   {"SampleVLI, worker (fast viewing)", true, true, false},
                   {"full size, read ahead after dwell", false, false, true}};
      double sampledRatio = 0;
      double aheadMs = 0;
      double fullMs = 0;
      for (const auto& c : cases) {
        const CResult r = Measure(view, files, runs, c.bSample, c.bWorker, c.bReadAhead);
        const double ratio = r.fNextToDrawn / r.fBareDecode;
        if (c.bSample && !c.bWorker) sampledRatio = ratio;
        if (c.bReadAhead) aheadMs = r.fNextToDrawn;
        if (!c.bSample && !c.bReadAhead) fullMs = r.fNextToDrawn;
        std::printf("%-34s %14.1f %14.1f %8.2f %8zux%zu", c.name, r.fNextToDrawn, r.fBareDecode,
                    ratio, r.nWidth, r.nHeight);
        if (c.bReadAhead) std::printf("  %zu of %d steps read ahead", r.nHits, runs);
        std::printf("\n");
      }
      std::printf("SampleVLI Next->drawn / bare hinted decode: %.2f (target <= 1.20)\n",
                  sampledRatio);
      std::printf("Next->drawn after a dwell, read ahead: %.1f ms (target <= 30)\n", aheadMs);
      const std::string quoted = "'" + CStrAW::w_toA(files[0]) + "'";
      const double djpeg = MedianMs(
          runs, [&] { return std::system(("djpeg -outfile /dev/null " + quoted).c_str()) == 0; });
      std::printf("djpeg, full (reference): %.1f ms\n", djpeg);
      std::printf("Next->drawn full size, no read-ahead / djpeg full: %.2f (target <= 1.50)\n",
                  fullMs / djpeg);
      // Each figure from a process of its own, so that nothing measured
      // before counts.
      const std::string self = fs::read_symlink("/proc/self/exe").string();
      const long none = PeakKbOf({self, "--view-only", folder.string(), "none"});
      const long one = PeakKbOf({self, "--view-only", folder.string(), "one"});
      const long withNext = PeakKbOf({self, "--view-only", folder.string(), "ahead"});
      const long gm = PeakKbOf({"gm", "convert", CStrAW::w_toA(files[0]), "null:"});
      if (!none || !one || !withNext || !gm) {
        std::fprintf(stderr, "a memory measurement failed\n");
        status = 1;
      } else {
        std::printf("%-44s %10s %10s\n", "peak memory", "MB", "/ gm");
        std::printf("%-44s %10.1f\n", "gm convert photo.jpg null:", gm / 1024.0);
        std::printf("%-44s %10.1f\n", "viewer without a photo", none / 1024.0);
        std::printf("%-44s %10.1f %10.2f (target <= 1.00)\n", "viewer showing one photo",
                    one / 1024.0, double(one) / gm);
        std::printf("%-44s %10.1f %10.2f (target <= 1.50)\n", "viewer, next photo read ahead",
                    withNext / 1024.0, double(withNext) / gm);
      }
    }
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return status;
}
