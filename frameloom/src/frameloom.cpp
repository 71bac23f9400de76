// The movie maker. Its plug-in object arrives with the movie-maker work; until
// then the library tells the host that it offers no plug-in.
#include "frameloom/pluginexports.h"

LORIMO_PLUGIN_EXPORTS(nullptr)
