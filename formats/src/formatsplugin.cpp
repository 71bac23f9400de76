// The formats plug-in: today's photo formats for the program's loader,
// thumbnails and Save As, through the codec role of the plug-in kit.
// HEIC, HEIF and AVIF (libheif), WebP (libwebp), JPEG XL (libjxl) and
// camera RAW (LibRaw).
#include <QGuiApplication>
#include <QScreen>
#include <atomic>
#include <string>

#include "corekit/registry.h"
#include "corekit/straw.h"
#include "formatread.h"
#include "frameloom/lorimoplugin.h"

namespace {

// The program's options, as it stored them when it last ended.
constexpr char16_t kProgramKey[] = u"Software\\ZOKA\\Lorimo";

const char16_t* const kExtensions[] = {u"HEIC", u"HEIF", u"AVIF", u"WEBP", u"JXL", u"DNG",
                                       u"CR2",  u"CR3",  u"NEF",  u"NRW",  u"ARW", u"SR2",
                                       u"ORF",  u"RW2",  u"RAF",  u"PEF",  u"SRW", u"3FR",
                                       u"ERF",  u"KDC",  u"MRW",  u"RWL",  u"IIQ", u"X3F"};

// Why the calling thread's last read or write failed.
thread_local std::u16string tLastError;

std::u16string ExtensionOf(const std::u16string& path) {
  const size_t slash = path.find_last_of(u'/');
  const size_t dot = path.find_last_of(u'.');
  if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash)) return {};
  return path.substr(dot + 1);
}

class CFormatsPlugin : public CLorimoPlugin {
 public:
  void ProcessCommand(int) override {}

  void GetPluginInformation(CLorimoPluginInfo* info) override {
    CLorimoPlugin::GetPluginInformation(info);
    LorimoCopyText(info->szName, u"Formats");
    LorimoCopyText(
        info->szDescription,
        u"HEIC, HEIF, AVIF, WebP, JPEG XL and camera RAW pictures: reading, thumbnails, and "
        u"writing WebP and JPEG XL");
    LorimoCopyText(info->szDeveloper, u"Lorimo");
  }

  void RegisterPlugin(HWND frame, HWND content) override {
    CLorimoPlugin::RegisterPlugin(frame, content);
    CRegistry key(HKEY_CURRENT_USER, kProgramKey, false);
    uint32_t upright = 1, quality = 75;
    if (key.IsOpen()) {
      key.GetValue(u"ShowUpright", upright);
      key.GetValue(u"JPG Quality", quality);
    }
    m_bUpright = upright != 0;
    m_nQuality = int(std::min<uint32_t>(quality, 100));
    // The screen is what a picture without a box is shown on.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
      if (QScreen* screen = app->primaryScreen()) {
        const QSize size = screen->size() * screen->devicePixelRatio();
        m_screen = SIZE{size.width(), size.height()};
      }
    RegisterAsCodec();
  }

  void GetReadableFileTypes(std::vector<const char16_t*>* types) override {
    if (!types) return;
    for (const char16_t* extension : kExtensions) types->push_back(extension);
  }

  HBITMAP ReadImageFromDisk(const char16_t* file, SIZE* size) override {
    if (!file) return nullptr;
    tagFORMATREAD read;
    read.bUpright = m_bUpright;
    read.szView = size && size->cx > 0 && size->cy > 0 ? *size : m_screen;
    return Read(file, read);
  }

  HBITMAP ProvideThumbnailForFile(const char16_t* file, SIZE* size) override {
    if (!file || !size || size->cx <= 0 || size->cy <= 0) return nullptr;
    tagFORMATREAD read;
    read.bUpright = m_bUpright;
    read.bThumbnail = true;
    read.szView = *size;
    HBITMAP bitmap = FitBitmap(Read(file, read), *size);
    if (bitmap) *size = SIZE{bitmap->nWidth, bitmap->nHeight};
    return bitmap;
  }

  int WriteImageToDisk(const char16_t* file, HBITMAP bitmap) override {
    if (!file || !bitmap) return 0;
    const std::string path = CStrAW::w_toA(MyString(file));
    const FORMATKIND kind = KindOfFormatExtension(ExtensionOf(file));
    std::string error = "This format cannot be written";
    bool written = false;
    try {
      if (kind == FK_WEBP) written = WriteWebp(path, *bitmap, m_nQuality, &error);
      // Quality 100 asks for every pixel kept.
      if (kind == FK_JXL) written = WriteJxl(path, *bitmap, m_nQuality >= 100, m_nQuality, &error);
    } catch (const std::exception& e) {
      error = std::string("Unable to Allocate Memory: ") + e.what();
    }
    tLastError = written ? std::u16string() : std::u16string(CStrAW::a_toW(error).c_str());
    return written ? 1 : 0;
  }

 private:
  HBITMAP Read(const char16_t* file, const tagFORMATREAD& read) {
    std::string error;
    HBITMAP bitmap = nullptr;
    // Nothing is thrown across to the program: memory running out is a
    // failure like any other.
    try {
      bitmap = ReadFormatFile(CStrAW::w_toA(MyString(file)), ExtensionOf(file), read, &error);
    } catch (const std::exception& e) {
      error = std::string("Unable to Allocate Memory: ") + e.what();
    }
    tLastError = bitmap ? std::u16string() : std::u16string(CStrAW::a_toW(error).c_str());
    return bitmap;
  }

  std::atomic<bool> m_bUpright{true};
  int m_nQuality = 75;
  SIZE m_screen{1920, 1080};
};

CFormatsPlugin gPlugin;

}  // namespace

LORIMO_PLUGIN_EXPORTS(&gPlugin)

extern "C" __attribute__((visibility("default"))) const char16_t* GetLorimoCodecError() {
  return tLastError.c_str();
}
