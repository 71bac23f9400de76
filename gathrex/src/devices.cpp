#include "gathrex/devices.h"

#include <libudev.h>

#include <gphoto2/gphoto2-version.h>

#include "corekit/straw.h"

MyString GathrexLibraryVersion() {
  const char** v = gp_library_version(GP_VERSION_SHORT);
  return CStrAW::a_toW(std::string("libgphoto2 ") + (v && v[0] ? v[0] : "?"));
}

int GathrexDeviceEventsAvailable() {
  udev* context = udev_new();
  if (!context) return 0;
  udev_unref(context);
  return 1;
}
