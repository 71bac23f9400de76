#pragma once
// The main window as the fit rules see it: measured for the adapt-to-image
// rule, placed where that rule asks, and kept above other windows for
// "Always on top".

#include "corekit/messages.h"
#include "viewer/fitrules.h"

class QWidget;

// The work area of frame's screen, frame's outer rectangle, its frame and
// menu bar, what its panes take beside and above viewer (none when viewer
// is the frame itself), and the scroll bars' thickness.
tagWINDOWMETRICS MeasureFrameWindow(const QWidget* frame, const QWidget* viewer, SIZE scrollBars);

// Moves and sizes frame to the requested outer rectangle, restored from
// maximized first. Nothing unless the request says to place it.
void PlaceFrameWindow(QWidget* frame, const tagFRAMEREQUEST& request);

// Makes frame a topmost window or a normal one; a shown window stays shown.
void SetFrameOnTop(QWidget* frame, bool bOnTop);
