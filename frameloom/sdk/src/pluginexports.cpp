#include "frameloom/pluginexports.h"

static_assert(kLorimoPluginInterfaceVersion == 1009);
