#pragma once
// Calls into plug-in code run under this guard, on the GUI thread: a C++
// exception or a fatal signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT)
// inside the call ends the call instead of the program. The user is then
// asked "Plugin failure!": Yes hands the failure on to the crash handling
// (the crash report, and the program ends), No abandons the call. Outside a
// guarded call, fatal signals go to the crash reporter as before.

#include <functional>

#include "corekit/mystring.h"

class CPluginGuard {
 public:
  // The question after a failure; true ends the program. Tests answer it.
  using FailureQuestion = std::function<bool(const MyString& pluginName)>;
  static void SetFailureQuestion(FailureQuestion question);

  // Runs call; true when it returned normally, false when it failed and the
  // user chose to go on. Guards nest (a request may call another plug-in).
  static bool Run(const MyString& pluginName, const std::function<void()>& call);

  // The question's text for a plug-in.
  static MyString FailureText(const MyString& pluginName);
};
