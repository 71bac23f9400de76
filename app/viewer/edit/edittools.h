#pragma once
// The arithmetic of the viewer's edit tools, free of widgets: the selection
// window turned into image pixels, the angle the rotation tool reads from a
// drag, and the text of the measure tool.

#include "corekit/messages.h"
#include "corekit/mystring.h"

// The selection window as the viewer places it.
struct tagSELECTIONWINDOW {
  POINT ptTopLeft;       // its outer top-left corner, in client pixels from the image's corner
  SIZE szFrame;          // the width of its frame across and down
  SIZE szClient;         // its inner size
  double fFactor = 1.0;  // the zoom it was drawn at
};

// A rectangle of image pixels.
struct tagIMAGESELECTION {
  int x = 0;
  int y = 0;
  int nWidth = 0;
  int nHeight = 0;
};

// The part of an image of size image that the selection covers: the inner
// corner divided by the factor and the inner size divided by it, each
// truncated; cut to the image on every side. 1 and *result, or 0 when the
// selection lies off the image or covers less than a pixel (no selection).
int SelectionToImagePixels(const tagSELECTIONWINDOW& selection, SIZE image,
                           tagIMAGESELECTION* result);

// The direction of a drag by (dx, dy) in degrees clockwise from up, 0 to
// below 360; screen y grows downwards. A drag that has not moved gives 0.
double RotationAngleFromDrag(int dx, int dy);
// The angle as the rotation panel shows it ("%.2f").
MyString FormatRotationAngle(double degrees);

// The measure tool's label for a line from one image pixel to another that
// is dx across and dy down: "W:%d, H:%d, L:%0.2f".
MyString MeasureText(int dx, int dy);
