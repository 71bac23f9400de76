#include <dlfcn.h>

#include <gtest/gtest.h>

TEST(FrameloomPlugin, ExportsTheInterfaceVersion) {
  void* lib = dlopen(FRAMELOOM_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto version = reinterpret_cast<int (*)()>(dlsym(lib, "GetLorimoPluginVersion"));
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version(), 1009);
  EXPECT_NE(dlsym(lib, "GetPluginInstanceW"), nullptr);
  // Plug-ins stay loaded for the life of the program; so here.
}
