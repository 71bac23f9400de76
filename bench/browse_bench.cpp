// Opening a file in the middle of a folder of small JPEGs, offscreen: the
// time until the image is shown and every visible thumbnail cell is drawn,
// beside `ls -1` of the same folder (median of the runs, warm cache). A
// heartbeat on the GUI thread prints the longest stall over the open, the
// fill, a scroll through the whole grid and a change of the sort order.
// The folder is made under /tmp and removed at the end; LORIMO_BENCH_DIR
// names one made by an earlier run (img-NNNNNN.jpg), used and kept.
//
//   bench_browse [files] [runs]
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QMainWindow>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "benchtiming.h"
#include "browse/thumbnailsview.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "pixwork/sortsettings.h"
#include "shell/commandids.h"
#include "shell/settings.h"
#include "viewer/imageview.h"

namespace fs = std::filesystem;

namespace {

// The longest time the GUI thread left its 1 ms timer waiting.
class CHeartbeat {
 public:
  CHeartbeat() {
    m_timer.setInterval(1);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      const qint64 now = m_clock.nsecsElapsed();
      m_nLongest = std::max(m_nLongest, now - m_nLast);
      m_nLast = now;
    });
  }
  void Start() {
    m_nLongest = 0;
    m_clock.start();
    // From the start: work done before the first tick counts too.
    m_nLast = m_clock.nsecsElapsed();
    m_timer.start();
  }
  double LongestMs() const { return double(m_nLongest) / 1e6; }

 private:
  QTimer m_timer;
  QElapsedTimer m_clock;
  qint64 m_nLast = 0;
  qint64 m_nLongest = 0;
};

void MakeFolder(const fs::path& folder, int count) {
  std::printf("making %d JPEGs of 96 x 72 in %s ...\n", count, folder.c_str());
  QImage picture(96, 72, QImage::Format_RGB32);
  for (int y = 0; y < 72; ++y)
    for (int x = 0; x < 96; ++x) picture.setPixel(x, y, qRgb(x * 2, y * 3, 128));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "JPG", 85);
  fs::create_directories(folder);
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "img-%06d.jpg", i);
    std::ofstream(folder / name, std::ios::binary).write(bytes.constData(), bytes.size());
  }
}

void WaitUntil(const std::function<bool()>& done) {
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

// The folder's list is swapped in: nothing left on the worker.
bool Listed(const CImageView& viewer, int files) {
  return !viewer.Stepper().IsListing() && viewer.Stepper().Position().GetLast() == files - 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int files = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  const char* given = std::getenv("LORIMO_BENCH_DIR");
  const bool made = !(given && *given);
  const fs::path folder =
      made ? fs::path("/tmp") / ("lorimo-browse-bench-" + std::to_string(getpid())) : given;
  if (made)
    MakeFolder(folder, files);
  else
    files = int(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  char middle[32];
  std::snprintf(middle, sizeof middle, "img-%06d.jpg", files / 2);
  const MyString path = CStrAW::FromPath(folder / middle);

  gdwSortingMode = 0;
  bSortAscending = 1;
  gTO[TO_CACHE_DIRECTORY].dwValue = 0;
  CLorimoSettings settings;
  settings.dwThumbnailsSize = 100;
  QMainWindow window;
  auto* split = new QSplitter(Qt::Vertical, &window);
  auto* viewer = new CImageView(split);
  viewer->SetSettings(&settings);
  // As the program runs it: folders listed on a worker.
  viewer->ListFoldersOnWorker(true);
  viewer->showMessage = [](const MyString& text, const MyString&) {
    std::fprintf(stderr, "%s\n", text.ToUtf8().c_str());
  };
  auto* thumbnails = new CThumbnailsView(viewer, &settings, split);
  split->addWidget(viewer);
  split->addWidget(thumbnails);
  window.setCentralWidget(split);
  window.resize(1280, 900);
  split->setSizes({500, 400});
  window.show();
  QCoreApplication::processEvents();

  // Warm the file-system cache once.
  std::system(("ls -1 " + folder.string() + " > /dev/null").c_str());
  const double ls = MedianMs(runs, [&] {
    return std::system(("ls -1 " + folder.string() + " > /dev/null").c_str()) == 0;
  });

  CHeartbeat heartbeat;
  heartbeat.Start();
  std::vector<double> shownAt, listedAt;
  const double open = MedianMs(runs, [&] {
    QElapsedTimer clock;
    clock.start();
    if (!viewer->OpenFile(path)) return false;
    viewer->repaint();
    shownAt.push_back(double(clock.nsecsElapsed()) / 1e6);
    WaitUntil([&] { return Listed(*viewer, files); });
    listedAt.push_back(double(clock.nsecsElapsed()) / 1e6);
    // Drawn around the opened file once the whole folder is in.
    WaitUntil([&] { return thumbnails->AllVisibleDrawn(); });
    return true;
  });
  std::sort(shownAt.begin(), shownAt.end());
  std::sort(listedAt.begin(), listedAt.end());
  const double openStall = heartbeat.LongestMs();

  // A scroll through the whole grid, a page at a time, each page drawn.
  heartbeat.Start();
  QElapsedTimer scrollClock;
  scrollClock.start();
  QScrollBar* bar = thumbnails->Grid().IsWide() ? thumbnails->horizontalScrollBar()
                                                : thumbnails->verticalScrollBar();
  int pages = 0;
  for (int at = 0; at <= bar->maximum(); at += bar->pageStep(), ++pages) {
    bar->setValue(at);
    thumbnails->viewport()->repaint();
    QCoreApplication::processEvents();
  }
  const double scrollMs = double(scrollClock.nsecsElapsed()) / 1e6;
  const double scrollStall = heartbeat.LongestMs();

  heartbeat.Start();
  QElapsedTimer sortClock;
  sortClock.start();
  gdwSortingMode = 3;
  viewer->OnCommand(IDM_SORT_DATE);
  WaitUntil([&] { return Listed(*viewer, files) && thumbnails->AllVisibleDrawn(); });
  const double sortMs = double(sortClock.nsecsElapsed()) / 1e6;
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  const double sortStall = heartbeat.LongestMs();

  std::printf("files %d, runs %d, thumbnail edge %d, cells on view %d\n", files, runs,
              thumbnails->GetEdge(), [&] {
                const auto range =
                    thumbnails->Grid().VisibleRange(bar->value(), thumbnails->viewport()->size());
                return range.second - range.first;
              }());
  std::printf("open in the middle to image and visible cells drawn: %9.1f ms (median)\n", open);
  std::printf("  of which image shown %.1f ms, folder listed %.1f ms (medians)\n",
              shownAt[shownAt.size() / 2], listedAt[listedAt.size() / 2]);
  std::printf("ls -1 of the folder:                                %9.1f ms (median)\n", ls);
  std::printf("ratio:                                              %9.2f x (target <= 1.5)\n",
              open / ls);
  std::printf("scroll through the grid (%d pages):               %9.1f ms\n", pages, scrollMs);
  std::printf("sort change to date, visible cells drawn:          %9.1f ms\n", sortMs);
  std::printf("longest GUI stall: open+fill %.1f ms, scroll %.1f ms, sort %.1f ms (target <= 50)\n",
              openStall, scrollStall, sortStall);
  delete thumbnails;
  std::error_code error;
  if (made) fs::remove_all(folder, error);
  return 0;
}
