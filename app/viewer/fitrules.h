#pragma once
// The fit rules of the viewer: the zoom factor an image gets in the space
// available to it, and where the main window goes when it adapts to the
// image. Plain numbers in and out; the widget measures and moves windows.

#include "corekit/messages.h"

// What the widget measures for the adapt-to-image rule.
struct tagWINDOWMETRICS {
  RECT rcWorkArea;    // the screen without task bars and docks
  RECT rcWindow;      // the main window's outer rectangle now
  SIZE szFrame;       // outer size minus client area: borders, title, menu bar
  SIZE szPanes;       // what the panes take of the client area, across and down
  SIZE szScrollBars;  // the vertical bar's width (cx), the horizontal bar's height (cy)
};

// Where the widget is to put the main window (restored from maximized
// first). Nothing to do unless bPlace is set.
struct tagFRAMEREQUEST {
  bool bPlace = false;
  RECT rcWindow;  // outer rectangle, inside the work area
  SIZE szClient;  // its client area: panes and viewer
};

// The smallest window the adapt-to-image rule makes, client pixels.
constexpr int kMinAdaptedClient = 450;
// Room left around the image by the adapt-to-image rule.
constexpr int kAdaptedBorder = 4;

// min(available width / image width, available height / image height).
// Sizes below one pixel count as one, so the ratio is always positive.
double FitRatio(SIZE available, SIZE image);

// The factor a rule with these options gives for ratio f: f when both are
// on, f above 1 with only bEnlarge, f below 1 with only bShrink, else 1.0;
// fNeither when neither is on.
float ChooseFitFactor(double f, bool bEnlarge, bool bShrink, float fNeither);

// A length of the image at a factor, in whole screen pixels; never negative
// and never past the int range.
int ZoomedLength(int nLength, float fZoom);

// The space the image may take when the window adapts to it: the work area
// (all of it when centred, else from the window's top-left corner), less the
// frame, the panes and the border.
SIZE AdaptToImageAvailable(const tagWINDOWMETRICS& metrics, bool bCenter);

// The window that shows the zoomed image with the panes and both scroll
// bars: at least kMinAdaptedClient wide and high, plus the border; centred
// on the work area or keeping its top-left corner, and kept inside it.
tagFRAMEREQUEST AdaptToImagePlacement(const tagWINDOWMETRICS& metrics, SIZE zoomedImage,
                                      bool bCenter);

// The window at its present size centred on the work area.
tagFRAMEREQUEST CenteredPlacement(const tagWINDOWMETRICS& metrics);
