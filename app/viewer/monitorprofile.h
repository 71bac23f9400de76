#pragma once
// The monitor's colour profile as the desktop publishes it: the X server's
// _ICC_PROFILE property on the root window (set by colour managers for the
// first screen), else the profile colord assigns to the first display.
// Embedded profiles are then converted to it instead of to sRGB. GUI thread.

#include <string>

// The profile's bytes into *icc and where they came from into *source. 1
// when the desktop publishes one; 0 when it does not (not on X, no colord).
int ReadMonitorProfile(std::string* icc, std::string* source);

// Reads the monitor's profile once per process and makes it the target of
// the conversions for the screen. A profile LittleCMS cannot use is
// ignored with a warning (sRGB stays the target).
void UseMonitorProfile();
