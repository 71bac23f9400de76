#include "viewer/monitorprofile.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QFile>
#include <QGuiApplication>
#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <qguiapplication_platform.h>
#include <type_traits>

#include "codecs/colourprofile.h"
#include "codecs/librarylog.h"

namespace {

// No monitor profile is anywhere near this large; a bigger property is
// not one.
constexpr uint32_t kMaxProfileBytes = 64u << 20;

// The few libxcb calls needed, taken from the libxcb that Qt's X platform
// plugin has loaded already: the program neither links X nor loads it
// where Qt does not run on X.
struct CXcb {
  struct Cookie {
    unsigned int sequence;
  };
  struct AtomReply {
    uint8_t response_type, pad0;
    uint16_t sequence;
    uint32_t length;
    uint32_t atom;
  };
  struct PropertyReply {
    uint8_t response_type, format;
    uint16_t sequence;
    uint32_t length, type, bytes_after, value_len;
    uint8_t pad0[12];
  };
  struct Screen {
    uint32_t root;
  };
  struct ScreenIterator {
    Screen* data;
    int rem, index;
  };
  Cookie (*internAtom)(void*, uint8_t, uint16_t, const char*) = nullptr;
  AtomReply* (*internAtomReply)(void*, Cookie, void**) = nullptr;
  Cookie (*getProperty)(void*, uint8_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) = nullptr;
  PropertyReply* (*getPropertyReply)(void*, Cookie, void**) = nullptr;
  void* (*propertyValue)(const PropertyReply*) = nullptr;
  int (*propertyValueLength)(const PropertyReply*) = nullptr;
  const void* (*getSetup)(void*) = nullptr;
  ScreenIterator (*rootsIterator)(const void*) = nullptr;

  bool Load() {
    void* library = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_NOLOAD);
    if (!library) return false;
    auto take = [library](auto& function, const char* name) {
      function =
          reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
      return function != nullptr;
    };
    return take(internAtom, "xcb_intern_atom") && take(internAtomReply, "xcb_intern_atom_reply") &&
           take(getProperty, "xcb_get_property") &&
           take(getPropertyReply, "xcb_get_property_reply") &&
           take(propertyValue, "xcb_get_property_value") &&
           take(propertyValueLength, "xcb_get_property_value_length") &&
           take(getSetup, "xcb_get_setup") && take(rootsIterator, "xcb_setup_roots_iterator");
  }
};

int ReadXProfile(std::string* icc) {
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  void* connection = x11 ? static_cast<void*>(x11->connection()) : nullptr;
  CXcb xcb;
  if (!connection || !xcb.Load()) return 0;
  const char name[] = "_ICC_PROFILE";
  CXcb::AtomReply* atom = xcb.internAtomReply(
      connection, xcb.internAtom(connection, 1, uint16_t(sizeof name - 1), name), nullptr);
  if (!atom) return 0;
  const uint32_t property = atom->atom;
  std::free(atom);
  if (property == 0) return 0;
  const CXcb::ScreenIterator roots = xcb.rootsIterator(xcb.getSetup(connection));
  if (roots.rem <= 0 || !roots.data) return 0;
  // Any type, the whole value (counted in 32-bit units).
  CXcb::PropertyReply* reply = xcb.getPropertyReply(
      connection,
      xcb.getProperty(connection, 0, roots.data->root, property, 0, 0, kMaxProfileBytes / 4),
      nullptr);
  if (!reply) return 0;
  int ok = 0;
  const int length = xcb.propertyValueLength(reply);
  if (reply->format == 8 && length > 0 && reply->bytes_after == 0) {
    icc->assign(static_cast<const char*>(xcb.propertyValue(reply)), size_t(length));
    ok = 1;
  }
  std::free(reply);
  return ok;
}

int ReadColordProfile(std::string* icc, std::string* source) {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) return 0;
  const QString service = QStringLiteral("org.freedesktop.ColorManager");
  QDBusInterface manager(service, QStringLiteral("/org/freedesktop/ColorManager"), service, bus);
  if (!manager.isValid()) return 0;
  QDBusReply<QList<QDBusObjectPath>> devices =
      manager.call(QStringLiteral("GetDevicesByKind"), QStringLiteral("display"));
  if (!devices.isValid() || devices.value().isEmpty()) return 0;
  QDBusInterface device(service, devices.value().first().path(),
                        service + QStringLiteral(".Device"), bus);
  const auto profiles = qdbus_cast<QList<QDBusObjectPath>>(device.property("Profiles"));
  if (profiles.isEmpty()) return 0;
  QDBusInterface profile(service, profiles.first().path(), service + QStringLiteral(".Profile"),
                         bus);
  const QString filename = profile.property("Filename").toString();
  QFile file(filename);
  if (filename.isEmpty() || file.size() > kMaxProfileBytes || !file.open(QIODevice::ReadOnly))
    return 0;
  const QByteArray bytes = file.readAll();
  if (bytes.isEmpty()) return 0;
  icc->assign(bytes.constData(), size_t(bytes.size()));
  *source = "colord (" + filename.toStdString() + ")";
  return 1;
}

}  // namespace

int ReadMonitorProfile(std::string* icc, std::string* source) {
  if (ReadXProfile(icc)) {
    *source = "the X server";
    return 1;
  }
  return ReadColordProfile(icc, source);
}

void UseMonitorProfile() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::string icc, source, warning;
    if (!ReadMonitorProfile(&icc, &source)) return;
    if (!SetDisplayProfile(icc, &warning))
      ReportLibraryWarning("The monitor profile from " + source + " is ignored: " + warning);
  });
}
