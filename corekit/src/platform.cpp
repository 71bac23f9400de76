#include "corekit/platform.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "corekit/straw.h"

namespace fs = std::filesystem;

namespace {

MyString EnvFolder(const char* name, const char* fallbackBelowHome) {
  const char* value = std::getenv(name);
  if (value && *value == '/') return CStrAW::a_toW(value);
  return GetHomeFolder() + u"/" + CStrAW::a_toW(fallbackBelowHome);
}

MyString Ensure(const MyString& folder) {
  std::error_code ec;
  fs::create_directories(CStrAW::ToPath(folder), ec);
  return folder;
}

}  // namespace

MyString GetHomeFolder() {
  const char* home = std::getenv("HOME");
  return CStrAW::a_toW(home && *home ? home : "/");
}

MyString GetConfigFolder() {
  return Ensure(EnvFolder("XDG_CONFIG_HOME", ".config") + u"/ZOKA/Lorimo");
}

MyString GetCacheFolder() {
  return Ensure(EnvFolder("XDG_CACHE_HOME", ".cache") + u"/ZOKA/Lorimo");
}

MyString GetDesktopFolder() { return GetHomeFolder() + u"/Desktop"; }

MyString GetTempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return CStrAW::a_toW(tmp && *tmp == '/' ? tmp : "/tmp");
}

MyString GetExecutableFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? MyString(u".") : CStrAW::FromPath(exe.parent_path());
}
