#pragma once
// The crash layer: when the program dies of a fatal signal (SIGSEGV, SIGBUS,
// SIGFPE, SIGILL, SIGABRT), a report folder is written below
// $XDG_CACHE_HOME/ZOKA/Lorimo/crash/, named "report-<time>-<pid>", holding
// "report.txt" (caption, address, signal, process), the files the callback
// adds, and "files.txt" (each added file and its description). The
// program then dies of the same signal.
//
// The signal handler only does async-signal-safe work (all paths are
// prepared by Install); the callback runs in a forked copy of the process,
// with the report folder as its current folder, so a callback that trips
// over the damage cannot hang or take the report with it: it gets a few
// seconds and is stopped after that.

#include <functional>

#include "corekit/mystring.h"

struct tagCRASHREPORT;
using HCRASHREPORT = tagCRASHREPORT*;

class CCrashReporter {
 public:
  // The callback returns 1 when it added what it wanted. reportFolder
  // replaces the default folder (tests). Null when a reporter is already
  // installed or the folder cannot be made.
  static HCRASHREPORT Install(std::function<int()> callback, const MyString& reportAddress,
                              const MyString& caption, const MyString& reportFolder = MyString());
  // Adds a file to the report being assembled (or to every report, when
  // called outside the callback). A relative path is taken from the current
  // folder. 1 when it was added.
  static int AddFile(const MyString& path, const MyString& description);
  // Puts the previous signal handlers back. 1 when handle was installed.
  static int Uninstall(HCRASHREPORT handle);

  // The folder reports go to.
  static MyString GetDefaultReportFolder();
};
