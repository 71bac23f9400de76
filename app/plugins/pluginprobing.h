#pragma once
// Finding the plug-in files and trying each in the helper process
// lorimo-pluginprobe before the program loads it. No widgets; the probe runs
// on any thread.

#include <vector>

#include "corekit/mystring.h"

// The helper's exit codes.
enum PROBERESULT : int {
  PR_OK = 0,
  PR_NOT_LOADABLE = 2,   // no shared object, or it cannot be linked
  PR_NO_EXPORT = 3,      // the missing export's name follows
  PR_WRONG_VERSION = 4,  // the version found follows
  PR_NULL_INSTANCE = 5,
  PR_USAGE = 6,
  PR_CRASHED = 100,   // the library died in its start-up code
  PR_HUNG = 101,      // stopped after the time allowed
  PR_NO_PROBE = 102,  // the helper could not be run
};

struct tagPROBERESULT {
  MyString strPath;
  int nResult = PR_NO_PROBE;
  MyString strReason;  // empty when accepted
};

// The name of the helper, found beside the program.
inline constexpr char kPluginProbeName[] = "lorimo-pluginprobe";

// Every "*.LPL" (any letter case) of folder that is not a folder itself, by
// absolute path, sorted by name.
std::vector<MyString> FindPluginFiles(const MyString& folder);

// Runs the helper on path, stopping it after timeoutMs.
tagPROBERESULT ProbePluginFile(const MyString& probe, const MyString& path, int timeoutMs);

// What the user is told for a refused file.
MyString ProbeReasonText(int result, const MyString& detail);
