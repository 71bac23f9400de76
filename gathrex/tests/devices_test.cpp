#include "gathrex/devices.h"

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "gathrex/eventcallback.h"

TEST(GathrexDevices, CameraAndDeviceLayersAreReachable) {
  EXPECT_EQ(GathrexLibraryVersion().ToUtf8().rfind("libgphoto2 2.", 0), 0u);
  EXPECT_EQ(GathrexDeviceEventsAvailable(), 1);
}

TEST(GathrexDevices, OnlyCamerasArrivingOrLeavingAreAnnounced) {
  std::map<std::string, std::string> properties{
      {"ID_GPHOTO2", "1"}, {"BUSNUM", "001"}, {"DEVNUM", "012"}};
  auto lookup = [&properties](const char* name) -> const char* {
    auto it = properties.find(name);
    return it == properties.end() ? nullptr : it->second.c_str();
  };
  MyString port;
  EXPECT_EQ(ClassifyCameraEvent("add", lookup, &port), CAMERA_EVENT_ARRIVED);
  EXPECT_EQ(port, u"usb:001,012");
  EXPECT_EQ(ClassifyCameraEvent("remove", lookup, &port), CAMERA_EVENT_REMOVED);
  EXPECT_EQ(ClassifyCameraEvent("change", lookup, &port), CAMERA_EVENT_NONE);
  EXPECT_EQ(ClassifyCameraEvent(nullptr, lookup, &port), CAMERA_EVENT_NONE);
  properties["DEVNUM"] = "12x";
  EXPECT_EQ(ClassifyCameraEvent("add", lookup, &port), CAMERA_EVENT_NONE);
  properties["DEVNUM"] = "12";
  properties.erase("ID_GPHOTO2");  // a stick, a keyboard
  EXPECT_EQ(ClassifyCameraEvent("add", lookup, &port), CAMERA_EVENT_NONE);
}
