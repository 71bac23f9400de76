// lorimo-pluginprobe FILE: tries a plug-in library the way the program
// loads it (dlopen, both exports, the version, the instance) in a process of
// its own, so that a library that crashes or hangs there costs nothing but
// this process. Prints one line and exits with a PROBERESULT code
// (plugins/pluginprobing.h); a crash or a hang is seen by the caller.
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace {

[[noreturn]] void Finish(int code, const char* text) {
  std::printf("%s\n", text ? text : "");
  std::fflush(stdout);
  // No exit handlers: the library is left as it is.
  _exit(code);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) Finish(6, "usage: lorimo-pluginprobe FILE");
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!library) Finish(2, dlerror());
  auto version = reinterpret_cast<int (*)()>(dlsym(library, "GetLorimoPluginVersion"));
  auto instance = reinterpret_cast<void* (*)()>(dlsym(library, "GetPluginInstanceW"));
  if (!version || !instance) Finish(3, !version ? "GetLorimoPluginVersion" : "GetPluginInstanceW");
  const int found = version();
  if (found != 1009) {
    char text[32];
    std::snprintf(text, sizeof text, "%d", found);
    Finish(4, text);
  }
  if (!instance()) Finish(5, "");
  Finish(0, "");
}
