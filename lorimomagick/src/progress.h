#pragma once
// Progress of the long row loops through GraphicsMagick's monitor, so that
// the viewer's one monitor handler shows (and can cancel) every operation.

#include <cstdint>

// Reports (quantum, span) with the text ""; false when the handler asks to stop.
bool ReportProgress(int64_t quantum, uint64_t span);
