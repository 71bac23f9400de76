#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a call on the GUI thread, so that a
// desktop session ending or a terminal's Ctrl+C runs the normal shut-down
// (settings saved) instead of killing the program.

#include <functional>

void InstallTerminationHandler(std::function<void()> onTerminate);
