#include "shell/programhooks.h"

#include "corekit/loadslot.h"

tagPROGRAMHOOKS& GetProgramHooks() {
  static tagPROGRAMHOOKS hooks;
  return hooks;
}

CStopEvent& GetPluginsLoadedEvent() {
  static CStopEvent loaded;
  return loaded;
}
