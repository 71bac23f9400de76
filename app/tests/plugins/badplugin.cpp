// Plug-ins that fail in one way each, chosen by BAD_KIND when built.
#include <stdexcept>
#include <unistd.h>

#include "frameloom/lorimoplugin.h"

#define BAD_CRASH_STATIC 1
#define BAD_CRASH_INIT 2
#define BAD_HANG_INIT 3
#define BAD_CRASH_COMMAND 4
#define BAD_THROW_COMMAND 5
#define BAD_VERSION 6
#define BAD_NULL_INSTANCE 7
#define BAD_NO_INSTANCE_EXPORT 8

namespace {

[[maybe_unused]] __attribute__((no_sanitize("address", "undefined"), noinline)) int Crash() {
  volatile int* nowhere = nullptr;
  *nowhere = 1;
  return *nowhere;
}

class CBadPlugin : public CLorimoPlugin {
 public:
  void ProcessCommand(int) override {
#if BAD_KIND == BAD_CRASH_COMMAND
    Crash();
#elif BAD_KIND == BAD_THROW_COMMAND
    throw std::runtime_error("bad command");
#endif
  }
  void GetPluginInformation(CLorimoPluginInfo* info) override {
    CLorimoPlugin::GetPluginInformation(info);
    const char16_t name[] = u"Bad";
    for (size_t i = 0; i < std::size(name); ++i) info->szName[i] = name[i];
  }
  void RegisterPlugin(HWND frame, HWND content) override {
    CLorimoPlugin::RegisterPlugin(frame, content);
    RegisterNewTool(u"Bad Action");
  }
};

CBadPlugin gPlugin;

#if BAD_KIND == BAD_CRASH_STATIC
const int gCrashed = Crash();
#endif

}  // namespace

extern "C" __attribute__((visibility("default"))) int GetLorimoPluginVersion() {
#if BAD_KIND == BAD_VERSION
  return BAD_VERSION_NUMBER;
#else
  return kLorimoPluginInterfaceVersion;
#endif
}

#if BAD_KIND != BAD_NO_INSTANCE_EXPORT
extern "C" __attribute__((visibility("default"))) CLorimoPlugin* GetPluginInstanceW() {
#if BAD_KIND == BAD_CRASH_INIT
  Crash();
#elif BAD_KIND == BAD_HANG_INIT
  for (;;) pause();
#elif BAD_KIND == BAD_NULL_INSTANCE
  return nullptr;
#endif
  return &gPlugin;
}
#endif
