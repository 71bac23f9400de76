#pragma once
// "lorimo --batch <settings> <files, folders, .lrm ...>": the batch page's
// run without a display, for servers and scripts. Reads the settings file
// (writes none), prints each file's fate and a summary, and writes the same
// logs as the page. SIGINT and SIGTERM stop it after the files in hand.

// Exit codes.
enum : int {
  kBatchAllDone = 0,
  kBatchSomeFailed = 1,  // some files failed or were skipped, or it was stopped
  kBatchCannotRun = 2,   // bad arguments or settings, destination not writable
};

// Whether the command line asks for a headless batch run.
bool IsHeadlessBatch(int argc, char** argv);

// Runs it (a QCoreApplication may exist; no widgets are made).
int RunHeadlessBatch(int argc, char** argv);
