#pragma once
// The viewer operations that keys, mouse buttons and the wheel reach through
// the input mapping and that have no command id: scrolling, the zooms about
// a pixel, and the drag tools (started on a button press, stopped on its
// release; the viewer follows the mouse in between).
//
// The viewer widget implements CViewerOperations; the main window finds it
// on its viewer. Without it the scroll steps still work on the viewer's
// scroll bars, and the other operations do nothing.

#include "corekit/messages.h"

enum VIEWEROPERATION : int {
  VOP_SCROLL_UP,
  VOP_SCROLL_DOWN,
  VOP_SCROLL_LEFT,
  VOP_SCROLL_RIGHT,
  VOP_ZOOM_IN_PIXEL,
  VOP_ZOOM_OUT_PIXEL,
  VOP_ZOOM_REGION_START,
  VOP_ZOOM_REGION_STOP,
  VOP_HAND_START,
  VOP_HAND_RELEASE,
  VOP_EDIT_REGION_START,
  VOP_EDIT_REGION_STOP,
  VOP_MEASURE_START,
  VOP_MEASURE_STOP,
  VOP_SET_ANCHOR,
  VOP_DYNAMIC_ZOOM_START,
  VOP_DYNAMIC_ZOOM_STOP,
};

class CViewerOperations {
 public:
  virtual ~CViewerOperations() = default;
  // pt: the mouse position in the viewer's client pixels (for keys, where
  // the mouse is). 1 when the operation ran.
  virtual int RunViewerOperation(VIEWEROPERATION operation, const POINT& pt) = 0;
};
