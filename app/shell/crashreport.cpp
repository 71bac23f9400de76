#include "shell/crashreport.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "corekit/platform.h"
#include "corekit/straw.h"

struct tagCRASHREPORT {
  std::function<int()> callback;
  std::string folder;  // the crash folder, prepared for the handler
  std::string header;  // first lines of report.txt
  struct sigaction previous[5];
  std::vector<char> altStack;
  stack_t previousStack{};
};

namespace {

constexpr int kSignals[5] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kCallbackSeconds = 3;

tagCRASHREPORT* gReport = nullptr;
volatile sig_atomic_t gInHandler = 0;

struct tagADDEDFILE {
  MyString strPath;
  MyString strDescription;
};
std::vector<tagADDEDFILE>& AddedFiles() {
  static std::vector<tagADDEDFILE> files;
  return files;
}

// --- Async-signal-safe helpers: fixed buffers, no allocation ---

struct SafeText {
  char data[4096];
  size_t length = 0;

  void Add(const char* text) {
    while (*text && length + 1 < sizeof data) data[length++] = *text++;
    data[length] = '\0';
  }
  void AddNumber(long long value) {
    char digits[24];
    int n = 0;
    const bool negative = value < 0;
    unsigned long long u = negative ? 0ull - (unsigned long long)value : (unsigned long long)value;
    do {
      digits[n++] = char('0' + u % 10);
      u /= 10;
    } while (u && n < 23);
    if (negative) digits[n++] = '-';
    char out[24];
    for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
    out[n] = '\0';
    Add(out);
  }
};

void WriteAll(int fd, const char* data, size_t length) {
  while (length) {
    const ssize_t n = ::write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    length -= size_t(n);
  }
}

// Runs in the forked copy: the callback, then the added files are copied in.
[[noreturn]] void AssembleReport(const char* folder) {
  if (::chdir(folder) != 0) ::_exit(1);
  const int result = gReport->callback ? gReport->callback() : 0;
  std::string list;
  for (const tagADDEDFILE& file : AddedFiles()) {
    const std::filesystem::path source = CStrAW::ToPath(file.strPath);
    std::error_code ec;
    const std::filesystem::path target = source.filename();
    if (!std::filesystem::equivalent(source, target, ec))
      std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing,
                                 ec);
    list += target.string() + '\t' + CStrAW::w_toA(file.strDescription) +
            (std::filesystem::exists(target, ec) ? "" : "\t(missing)") + '\n';
  }
  const int fd = ::open("files.txt", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd >= 0) {
    WriteAll(fd, list.data(), list.size());
    ::close(fd);
  }
  ::_exit(result == 1 ? 0 : 2);
}

void OnFatalSignal(int signal, siginfo_t*, void*) {
  if (gInHandler || !gReport) {
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  gInHandler = 1;

  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  SafeText folder;
  folder.Add(gReport->folder.c_str());
  folder.Add("/report-");
  folder.AddNumber(now.tv_sec);
  folder.Add("-");
  folder.AddNumber(::getpid());
  if (::mkdir(folder.data, 0700) == 0 || errno == EEXIST) {
    SafeText reportPath;
    reportPath.Add(folder.data);
    reportPath.Add("/report.txt");
    const int fd = ::open(reportPath.data, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
      SafeText body;
      body.Add(gReport->header.c_str());
      body.Add("Signal: ");
      body.AddNumber(signal);
      body.Add("\nProcess: ");
      body.AddNumber(::getpid());
      body.Add("\n");
      WriteAll(fd, body.data, body.length);
      ::close(fd);
    }
    const pid_t child = ::_Fork();
    if (child == 0) AssembleReport(folder.data);
    if (child > 0) {
      const timespec step{0, 50 * 1000 * 1000};
      int status = 0;
      pid_t done = 0;
      for (int waited = 0; waited < kCallbackSeconds * 20; ++waited) {
        done = ::waitpid(child, &status, WNOHANG);
        if (done != 0) break;
        ::nanosleep(&step, nullptr);
      }
      if (done == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
      }
    }
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

MyString CCrashReporter::GetDefaultReportFolder() { return GetCacheFolder() + u"/crash"; }

HCRASHREPORT CCrashReporter::Install(std::function<int()> callback, const MyString& reportAddress,
                                     const MyString& caption, const MyString& reportFolder) {
  if (gReport) return nullptr;
  const MyString folder = reportFolder.IsEmpty() ? GetDefaultReportFolder() : reportFolder;
  std::error_code ec;
  std::filesystem::create_directories(CStrAW::ToPath(folder), ec);
  if (!std::filesystem::is_directory(CStrAW::ToPath(folder), ec)) return nullptr;

  auto* report = new tagCRASHREPORT;
  report->callback = std::move(callback);
  report->folder = CStrAW::w_toA(folder);
  report->header =
      "Caption: " + CStrAW::w_toA(caption) + "\nAddress: " + CStrAW::w_toA(reportAddress) + "\n";
  // Its own stack, so a stack overflow can still be reported.
  report->altStack.resize(size_t(SIGSTKSZ) * 4);
  stack_t stack{};
  stack.ss_sp = report->altStack.data();
  stack.ss_size = report->altStack.size();
  ::sigaltstack(&stack, &report->previousStack);

  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  gReport = report;
  for (int i = 0; i < 5; ++i) ::sigaction(kSignals[i], &action, &report->previous[i]);
  return report;
}

int CCrashReporter::AddFile(const MyString& path, const MyString& description) {
  if (path.IsEmpty()) return 0;
  AddedFiles().push_back({path, description});
  return 1;
}

int CCrashReporter::Uninstall(HCRASHREPORT handle) {
  if (!handle || handle != gReport) return 0;
  for (int i = 0; i < 5; ++i) ::sigaction(kSignals[i], &handle->previous[i], nullptr);
  ::sigaltstack(&handle->previousStack, nullptr);
  gReport = nullptr;
  AddedFiles().clear();
  delete handle;
  return 1;
}
