#pragma once
// The two exports every plug-in library offers, with undecorated names.

class CLorimoPlugin;

// The plug-in interface version the program accepts.
constexpr int kLorimoPluginInterfaceVersion = 1009;

extern "C" {
using PFN_GetLorimoPluginVersion = int (*)();
using PFN_GetPluginInstanceW = CLorimoPlugin* (*)();
}

// Defines both exports for a plug-in library; the instance may be null
// when the library offers no plug-in.
#define LORIMO_PLUGIN_EXPORTS(instanceExpr)                                               \
  extern "C" __attribute__((visibility("default"))) int GetLorimoPluginVersion() {        \
    return kLorimoPluginInterfaceVersion;                                                 \
  }                                                                                       \
  extern "C" __attribute__((visibility("default"))) CLorimoPlugin* GetPluginInstanceW() { \
    return (instanceExpr);                                                                \
  }
