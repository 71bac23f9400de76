#pragma once
// What the camera layer can reach on this machine.
#include "corekit/mystring.h"

// "libgphoto2 <version>".
MyString GathrexLibraryVersion();
// 1 when the device manager (udev) can be reached for connect events.
int GathrexDeviceEventsAvailable();
