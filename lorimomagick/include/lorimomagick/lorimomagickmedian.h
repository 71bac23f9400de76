#pragma once
// A median filter that gives the same pixels as the image library's own
// (a square window of 2 * ceil(radius) + 1 pixels a side, each of red,
// green, blue and, with a matte, opacity ranked on its own, the edge pixels
// repeated beyond the border), but slides a histogram along each row instead
// of ranking every window anew, so large radii stay fast.

#include <Magick++.h>

// Filters the image in place. 1 when done; 0 when cancelled through the
// progress monitor or without memory (the image is then unchanged).
// Radii beyond 100 filter as 100.
int LorimoMedianFilter(Magick::Image& image, double radius);
