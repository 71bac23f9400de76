#include "collections/batchheadless.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <unordered_set>

#include "codecs/imagelibrary.h"
#include "collections/batchsettings.h"
#include "corekit/datafile.h"
#include "corekit/slidesfile.h"
#include "pixwork/sortdir.h"

namespace {

std::atomic<CBatchRun*> g_run{nullptr};
volatile std::sig_atomic_t g_bStopAsked = 0;

extern "C" void OnStopSignal(int) {
  g_bStopAsked = 1;
  if (CBatchRun* run = g_run.load()) run->Stop();
}

void Print(std::FILE* stream, const MyString& text) {
  std::fputs((text.ToUtf8() + "\n").c_str(), stream);
  std::fflush(stream);
}

MyString Num(size_t n) { return MyString::FromUtf8(std::to_string(n)); }

// The images a folder holds, in the viewer's order.
void AddFolder(const MyString& folder, MyStringList* sources) {
  SortDir dir;
  dir.InitializeSortDir(folder);
  dir.CreateSortedImageList();
  for (int i = 0; i < dir.GetLengthFileList(); ++i) {
    const MyString path = dir.GetString(i);
    if (!path.IsEmpty()) sources->Append(path);
  }
}

}  // namespace

bool IsHeadlessBatch(int argc, char** argv) {
  return argc >= 2 && std::string_view(argv[1]) == "--batch";
}

int RunHeadlessBatch(int argc, char** argv) {
  if (argc < 4) {
    Print(stderr, u"Usage: lorimo --batch <settings file> <files, folders, .lrm ...>");
    return kBatchCannotRun;
  }
  const MyString settingsPath = MyString::FromUtf8(argv[2]);
  CDataFile file;
  if (!file.Load(settingsPath)) {
    Print(stderr, u"The settings file " + settingsPath + u" cannot be read.");
    return kBatchCannotRun;
  }
  tagBATCHSETTINGS settings;
  MyString error;
  if (!ReadBatchSettings(file, &settings, &error)) {
    Print(stderr, settingsPath + u": " + error);
    return kBatchCannotRun;
  }
  if (BatchKind(settings) == BK_NOTHING) {
    Print(stderr, u"The settings neither rename, convert, resize nor rotate: nothing to do.");
    return kBatchCannotRun;
  }
  if (settings.destination.IsEmpty()) {
    Print(stderr, u"The settings name no destination folder (\"Destination\").");
    return kBatchCannotRun;
  }

  // Images and folders in the order given, then the portfolios' slides, as
  // the page's "Add" does; a file given twice is taken once.
  MyStringList sources, slides;
  std::unordered_set<MyString, MyStringHash> seen;
  const auto add = [&seen](MyStringList* list, const MyString& path) {
    if (seen.insert(path).second)
      list->Append(path);
    else
      Print(stderr, u"Given twice, taken once: " + path);
  };
  for (int i = 3; i < argc; ++i) {
    // Logs and lines name each file by its full path, as the page does.
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(argv[i], ec).lexically_normal();
    const MyString arg = MyString::FromUtf8(ec ? std::string(argv[i]) : full.string());
    if (std::filesystem::is_directory(argv[i], ec)) {
      MyStringList found;
      AddFolder(arg, &found);
      for (const MyString& path : found) add(&sources, path);
    } else if (arg.GetStringExtension().EqualsNoCase(u".lrm")) {
      CSlidesFile portfolio;
      if (!portfolio.Load(arg)) {
        Print(stderr, u"The portfolio " + arg + u" cannot be read.");
        return kBatchCannotRun;
      }
      for (const CSlide& slide : portfolio.GetSlides())
        if (!slide.strPath.IsEmpty()) add(&slides, slide.strPath);
    } else {
      add(&sources, arg);
    }
  }
  for (const MyString& path : slides) sources.Append(path);
  if (sources.GetListLength() == 0) {
    Print(stderr, u"No pictures to work on.");
    return kBatchCannotRun;
  }

  InitializeImageLibrary();
  CBatchRun run(settings, sources);
  run.onRecord = [](const tagBATCHRECORD& r, size_t n) {
    const MyString head = Num(r.k) + u"/" + Num(n) + u" " + r.source;
    if (r.bDone)
      Print(stdout, head + u" -> " + r.target);
    else
      Print(stdout, head + u" -> " + r.target + u": " + r.reason);
  };
  g_run = &run;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  struct sigaction oldInt {
  }, oldTerm{};
  sigaction(SIGINT, &action, &oldInt);
  sigaction(SIGTERM, &action, &oldTerm);
  // On a file-size limit a write should fail and be logged, not end us.
  std::signal(SIGXFSZ, SIG_IGN);
  if (g_bStopAsked) run.Stop();
  const tagBATCHSUMMARY summary = run.Run();
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  g_run = nullptr;

  if (!summary.error.IsEmpty()) {
    Print(stderr, summary.error);
    return kBatchCannotRun;
  }
  MyString line = Num(summary.nDone) + u" of " + Num(summary.nFiles) + u" done, " +
                  Num(summary.nFailed) + u" failed";
  const size_t notRun = summary.nFiles - summary.nDone - summary.nFailed;
  if (notRun) line += u", " + Num(notRun) + u" not begun (stopped)";
  line += u". Log: " + summary.logPath;
  Print(stdout, line);
  if (summary.bLogFailed)
    Print(stderr, u"The log " + summary.logPath + u" could not be written to the end.");
  const bool bAll = summary.nDone == summary.nFiles && !summary.bLogFailed;
  return bAll ? kBatchAllDone : kBatchSomeFailed;
}
