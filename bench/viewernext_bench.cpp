// Next Image to the image drawn, in the viewer widget over a folder of
// 24-megapixel photo-like JPEGs, with and without "Downsample reading large
// images" (the size hint is the viewer's size), each beside the bare
// LoadImage decode of the same files at the same hint. The folder is made
// under /tmp and removed at the end.
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
#include <unistd.h>
#include <vector>

#include <Magick++.h>

#include "benchtiming.h"
#include "codecs/imagelibrary.h"
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
  Magick::Image base(Magick::Geometry(600, 400), Magick::Color("skyblue"));
  base.addNoise(Magick::GaussianNoise);
  base.blur(0, 3);
  base.scale(Magick::Geometry("6000x4000!"));
  base.addNoise(Magick::GaussianNoise);
  base.blur(0, 1.2);
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
        result.nWidth = view.Document().GetImage().columns();
        result.nHeight = view.Document().GetImage().rows();
        return view.Document().HasImage();
      },
      bReadAhead ? dwell : nullptr);
  result.nHits = ahead.CountHits() - hitsBefore;
  ahead.SetEnabled(false);
  const SIZE hint{view.width(), view.height()};
  size_t next = 0;
  result.fBareDecode = MedianMs(runs, [&] {
    Magick::Image image;
    return LoadImage(nullptr, files[next++ % files.size()], &image, 0, bSample ? &hint : nullptr) ==
           1;
  });
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
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
      for (const auto& c : cases) {
        const CResult r = Measure(view, files, runs, c.bSample, c.bWorker, c.bReadAhead);
        const double ratio = r.fNextToDrawn / r.fBareDecode;
        if (c.bSample && !c.bWorker) sampledRatio = ratio;
        if (c.bReadAhead) aheadMs = r.fNextToDrawn;
        std::printf("%-34s %14.1f %14.1f %8.2f %8zux%zu", c.name, r.fNextToDrawn, r.fBareDecode,
                    ratio, r.nWidth, r.nHeight);
        if (c.bReadAhead) std::printf("  %zu of %d steps read ahead", r.nHits, runs);
        std::printf("\n");
      }
      std::printf("SampleVLI Next->drawn / bare hinted decode: %.2f (target <= 1.20)\n",
                  sampledRatio);
      std::printf("Next->drawn after a dwell, read ahead: %.1f ms (target <= 30)\n", aheadMs);
    }
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return status;
}
