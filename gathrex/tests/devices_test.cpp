#include "gathrex/devices.h"

#include <gtest/gtest.h>

TEST(GathrexDevices, CameraAndDeviceLayersAreReachable) {
  EXPECT_EQ(GathrexLibraryVersion().ToUtf8().rfind("libgphoto2 2.", 0), 0u);
  EXPECT_EQ(GathrexDeviceEventsAvailable(), 1);
}
