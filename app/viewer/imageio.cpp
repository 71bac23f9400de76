#include "viewer/imageio.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "corekit/atomicfile.h"
#include "corekit/loadslot.h"
#include "corekit/platform.h"
#include "corekit/straw.h"
#include "corekit_ui/uiutil.h"
#include "pixwork/formats.h"
#include "pixwork/options.h"
#include "viewer/hdfcodec.h"
#include "viewer/imagelibrary.h"
#include "viewer/jp2codec.h"
#include "viewer/jpegscaled.h"
#include "viewer/progressmonitor.h"
#include "viewer/psdimage.h"

namespace {

struct CTargets {
  std::mutex mutex;
  std::unordered_map<HWND, CLoadTarget*> byWindow;
};

CTargets& Targets() {
  static CTargets* targets = new CTargets;
  return *targets;
}

CLoadTarget* FindLoadTarget(HWND window) {
  if (!window) return nullptr;
  std::lock_guard<std::mutex> lock(Targets().mutex);
  auto it = Targets().byWindow.find(window);
  return it == Targets().byWindow.end() ? nullptr : it->second;
}

bool AnyAutoplayRunning() {
  std::lock_guard<std::mutex> lock(Targets().mutex);
  for (const auto& [window, target] : Targets().byWindow)
    if (target->IsAutoplayRunning()) return true;
  return false;
}

std::mutex gErrorMutex;
MyString gLastLoadError;

std::mutex gSinkMutex;
ImageMessageSink gSink;

void ShowImageMessage(HWND owner, const MyString& text, const MyString& caption) {
  ImageMessageSink sink;
  {
    std::lock_guard<std::mutex> lock(gSinkMutex);
    sink = gSink;
  }
  if (sink) {
    sink(owner, text, caption);
    return;
  }
  QCoreApplication* app = QCoreApplication::instance();
  if (!qobject_cast<QApplication*>(app)) return;
  auto show = [owner, text, caption] {
    QMessageBox box(QMessageBox::Warning, caption.ToQString(), text.ToQString(), QMessageBox::Ok,
                    WidgetFromHwnd(owner));
    box.exec();
  };
  if (QThread::currentThread() == app->thread())
    show();
  else
    QMetaObject::invokeMethod(app, show, Qt::BlockingQueuedConnection);
}

bool ShowErrorsOption() { return gVO[VO_DIALOG_ERRORS].bFlag == 0; }

// Holds the load slot for a scope; a thread that already holds it (a load
// started again from within a load's message pump) does not wait for
// itself, it fails.
thread_local bool tbHoldsSlot = false;

class CSlotHold {
 public:
  CSlotHold() {
    if (tbHoldsSlot || GetStopEvent().IsSet()) return;
    m_bHeld = GetLoadSlot().Acquire() == 1;
    tbHoldsSlot = m_bHeld;
  }
  ~CSlotHold() { Release(); }
  void Release() {
    if (!m_bHeld) return;
    m_bHeld = false;
    tbHoldsSlot = false;
    GetLoadSlot().Release();
  }
  bool IsHeld() const { return m_bHeld; }

 private:
  bool m_bHeld = false;
};

// One read by the reading rules; warnings are collected, errors thrown.
class CImageReader {
 public:
  CImageReader(const MyString& path, const MyString& extension, const std::string& forcedFormat,
               const SIZE* sizeHint, CLoadTarget* viewer)
      : m_path(path),
        m_extension(extension),
        m_forced(forcedFormat),
        m_pHint(sizeHint),
        m_pViewer(viewer) {}

  // 1 and the image; 0 with the reason in error (our own coders); GraphicsMagick errors throw.
  int Read(Magick::Image* image, std::string* error) {
    const IMAGEKIND sniffed = SniffImageFile(m_path);
    const IMAGEKIND named = KindOfExtension(m_extension);
    // Our own coders go by content first, then by name.
    IMAGEKIND own = IK_UNKNOWN;
    for (IMAGEKIND kind : {sniffed, named})
      if (own == IK_UNKNOWN &&
          (kind == IK_PSD || kind == IK_JP2 || kind == IK_J2K || kind == IK_HDF))
        own = kind;
    if (named == IK_GIF || sniffed == IK_GIF) return ReadGif(image);
    if (own == IK_PSD) return ReadPhotoshopImage(m_path, image, m_pHint, error);
    if (own == IK_JP2 || own == IK_J2K) return ReadJpeg2000(m_path, image, error);
    if (own == IK_HDF) return ReadHdfRaster(m_path, image, error);
    if (named == IK_TIFF) return Call([&] { image->read(ReadName() + "[0]"); });
    if (HasHint() && sniffed == IK_JPEG) {
      std::string warning;
      if (ReadJpegScaled(m_path, *m_pHint, image, &warning)) {
        if (!warning.empty()) m_warnings.push_back(warning);
        return 1;
      }
    }
    return Call([&] {
      Magick::Image read;
      ApplyDecoderLimits(read);
      if (HasHint()) read.size(Magick::Geometry(size_t(m_pHint->cx), size_t(m_pHint->cy)));
      try {
        read.read(ReadName());
      } catch (const Magick::Warning&) {
        *image = read;
        throw;
      }
      *image = read;
    });
  }

  const std::vector<std::string>& Warnings() const { return m_warnings; }

 private:
  bool HasHint() const { return m_pHint && m_pHint->cx > 0 && m_pHint->cy > 0; }
  std::string ReadName() const {
    return (m_forced.empty() ? "" : m_forced + ":") + MagickPath(m_path);
  }

  // Runs a GraphicsMagick call; a warning is kept and the call counts as done.
  template <typename F>
  int Call(F&& f) {
    try {
      f();
    } catch (const Magick::Warning& warning) {
      m_warnings.push_back(warning.what());
    }
    return 1;
  }

  int ReadGif(Magick::Image* image) {
    if (m_pViewer) {
      std::vector<Magick::Image> frames;
      Call([&] { Magick::readImages(&frames, ReadName()); });
      if (frames.size() >= 2) {
        std::vector<Magick::Image> coalesced;
        Call([&] { Magick::coalesceImages(&coalesced, frames.begin(), frames.end()); });
        if (coalesced.empty()) throw Magick::ErrorCorruptImage("cannot coalesce the frames");
        *image = coalesced.front();
        m_pViewer->StartAnimation(std::move(coalesced));
        return 1;
      }
      if (frames.size() == 1) {
        *image = frames.front();
        return 1;
      }
    }
    return Call([&] {
      Magick::Image read;
      try {
        read.read(ReadName() + "[0]");
      } catch (const Magick::Warning&) {
        *image = read;
        throw;
      }
      *image = read;
    });
  }

  MyString m_path;
  MyString m_extension;
  std::string m_forced;
  const SIZE* m_pHint;
  CLoadTarget* m_pViewer;
  std::vector<std::string> m_warnings;
};

// Made from pixels, not by a coder, so that a cancelled decode's monitor
// cannot abort it too.
Magick::Image BlackImage() {
  const uint8_t black[10 * 10 * 3] = {};
  return Magick::Image(10, 10, "RGB", Magick::CharPixel, black);
}

// The extension to read by (without dot): the file's own, or for a file
// without one the chosen format. Empty when such a file may not be opened.
MyString ReadingExtension(const MyString& path, std::string* forcedFormat) {
  MyString extension = path.GetStringExtension();
  if (!extension.IsEmpty()) return extension.Mid(1);
  const VIEWOPTIONS& option = gVSO[VSO_OPEN_FILE_OUT_EXT];
  if (option.bFlag != 1 || option.bExtra == kNoDefaultExtension) return MyString();
  const std::vector<MyString> supported = GetSupportedExtensions();
  if (option.bExtra >= supported.size()) return MyString();
  extension = supported[option.bExtra];
  const IMAGEKIND kind = KindOfExtension(extension);
  if (kind != IK_PSD && kind != IK_JP2 && kind != IK_J2K && kind != IK_HDF)
    *forcedFormat = MagickFormatOfExtension(extension);
  return extension;
}

}  // namespace

void RegisterLoadTarget(HWND window, CLoadTarget* target) {
  if (!window) return;
  std::lock_guard<std::mutex> lock(Targets().mutex);
  Targets().byWindow[window] = target;
}

void UnregisterLoadTarget(HWND window) {
  std::lock_guard<std::mutex> lock(Targets().mutex);
  Targets().byWindow.erase(window);
}

MyString GetLastLoadError() {
  std::lock_guard<std::mutex> lock(gErrorMutex);
  return gLastLoadError;
}

void SetImageMessageSink(ImageMessageSink sink) {
  std::lock_guard<std::mutex> lock(gSinkMutex);
  gSink = std::move(sink);
}

Magick::Color TransparencyColor(const Magick::Color& background) {
  auto offGrid = [](Magick::Quantum q) -> Magick::Quantum {
    if (MaxRGB < 65535 || q % 257 != 0) return q;
    return q == MaxRGB ? Magick::Quantum(q - 1) : Magick::Quantum(q + 1);
  };
  return Magick::Color(offGrid(background.redQuantum()), offGrid(background.greenQuantum()),
                       offGrid(background.blueQuantum()));
}

int LoadImage(HWND target, const MyString& path, Magick::Image* out, int bReport,
              const SIZE* sizeHint) {
  CFileInfo info;
  if (!out || path.IsEmpty() || !GetFileInfo(path, &info) || info.bDirectory) return 0;
  InitializeImageLibrary();
  CLoadTarget* viewer = FindLoadTarget(target);
  CProgressMonitor* monitor = viewer ? viewer->GetProgressMonitor() : nullptr;
  if (monitor) {
    // A load started from the pump of a running one cannot wait for it.
    if (monitor->IsRunningOnThisThread()) {
      monitor->Cancel();
      return 0;
    }
    monitor->CancelAndWait();
  }

  CSlotHold slot;
  if (!slot.IsHeld()) return 0;
  if (viewer) viewer->NotifyPluginsOpening(path);

  std::string forced;
  const MyString extension = ReadingExtension(path, &forced);
  if (extension.IsEmpty()) return 0;

  if (monitor) monitor->Begin();
  if (viewer) viewer->StopAnimation();
  Magick::Image image;
  MyString message;
  MyString shortText;
  bool failed = false;
  CImageReader reader(path, extension, forced, sizeHint, viewer);
  try {
    std::string error;
    if (!reader.Read(&image, &error)) {
      failed = true;
      shortText = CStrAW::a_toW(error);
    }
  } catch (const Magick::Exception& e) {
    failed = true;
    shortText = CStrAW::a_toW(e.what());
  } catch (...) {
    failed = true;
    shortText = u"Unknown error";
    message = u"Unhandled exception loading " + path + u" !";
  }
  MyString warnings;
  for (const std::string& warning : reader.Warnings())
    warnings += u"Decoder warning loading " + path + u"! \n" + CStrAW::a_toW(warning);
  if (failed && message.IsEmpty()) message = u"Decoder error loading " + path + u" !\n" + shortText;
  message = warnings + (warnings.IsEmpty() || message.IsEmpty() ? u"" : u"\n") + message;

  const bool cancelled = CProgressMonitor::IsClosing() || (monitor && monitor->IsCancelled());
  // The decode is over: what follows must not be aborted by its Cancel.
  if (monitor) monitor->End();
  if (cancelled) {
    image = BlackImage();
    failed = true;
    shortText = u"Cancelled";
  }
  if (failed && viewer && !cancelled && viewer->OfferToPlugins(path, &image, sizeHint))
    failed = false;
  if (!failed) {
    try {
      image.colorSpace(Magick::RGBColorspace);
    } catch (const std::exception& e) {
      failed = true;
      shortText = CStrAW::a_toW(e.what());
      message += u"Decoder error loading " + path + u" !\n" + shortText;
    }
  }
  if (failed) {
    std::lock_guard<std::mutex> lock(gErrorMutex);
    gLastLoadError = shortText;
  }
  if (failed && !cancelled && bReport && !AnyAutoplayRunning()) {
    slot.Release();
    if (ShowErrorsOption()) ShowImageMessage(target, message, u"Lorimo: LoadImage() function");
    return 0;
  }
  if (!failed || cancelled) *out = image;
  slot.Release();
  if (viewer && !CProgressMonitor::IsClosing()) {
    bool transparent = false;
    Magick::Color color;
    if (!failed && out->matte()) {
      transparent = true;
      color = TransparencyColor(out->backgroundColor());
      try {
        Magick::Image composed(Magick::Geometry(out->columns(), out->rows()), color);
        composed.composite(*out, 0, 0, Magick::AtopCompositeOp);
        composed.matte(false);
        // An 8-bit file stays 8-bit when it is saved again.
        composed.depth(out->depth());
        *out = composed;
      } catch (const std::exception&) {
        transparent = false;
      }
    }
    viewer->OnLoadFinished(!failed, transparent, color);
  }
  return failed ? 0 : 1;
}

// The quality a JPEG is written at: the one chosen for this image (the
// format options put it on the image), else the "JPG Quality" setting.
// An image nobody chose for carries the library's default.
static unsigned JpegWriteQuality(const Magick::Image& image) {
  static const unsigned libraryDefault = Magick::Image().quality();
  if (image.quality() != libraryDefault) return image.quality();
  return unsigned(std::clamp(gSO[SO_JPG_QUALITY].nValue, 0, 100));
}

bool SaveImage(HWND owner, const MyString& path, const Magick::Image& image) {
  InitializeImageLibrary();
  std::string bytes;
  MyString error;
  try {
    Magick::Image copy = image;
    Magick::Color color;
    if (CLoadTarget* viewer = FindLoadTarget(owner); viewer && viewer->GetTransparency(&color)) {
      copy.transparent(color);
    }
    const MyString extension =
        path.GetStringExtension().Mid(path.GetStringExtension().IsEmpty() ? 0 : 1);
    const IMAGEKIND kind = KindOfExtension(extension);
    std::string codecError;
    if (kind == IK_JP2) {
      if (!WriteJpeg2000(copy, &bytes, &codecError)) error = CStrAW::a_toW(codecError);
    } else if (kind == IK_HDF) {
      if (!WriteHdfRaster(copy, &bytes, &codecError)) error = CStrAW::a_toW(codecError);
    } else {
      if (!extension.IsEmpty()) copy.magick(MagickFormatOfExtension(extension));
      if (kind == IK_JPEG) copy.quality(JpegWriteQuality(copy));
      Magick::Blob blob;
      try {
        copy.write(&blob);
      } catch (const Magick::Warning&) {
        // The file was written; what the warning says does not make it wrong.
      }
      if (blob.length() == 0) throw Magick::ErrorBlob("nothing was written");
      bytes.assign(static_cast<const char*>(blob.data()), blob.length());
    }
  } catch (const std::exception& e) {
    error = CStrAW::a_toW(e.what());
  }
  if (error.IsEmpty() && !WriteFileAtomically(path, bytes, &error) && error.IsEmpty())
    error = u"The file could not be written.";
  if (error.IsEmpty()) return true;
  if (!AnyAutoplayRunning() && ShowErrorsOption())
    ShowImageMessage(owner, error, u"Lorimo: SaveImage() function");
  return false;
}

int ReadImageHeader(const MyString& path, SIZE* size) {
  if (!size || path.IsEmpty()) return 0;
  InitializeImageLibrary();
  std::string forced;
  const MyString extension = ReadingExtension(path, &forced);
  if (extension.IsEmpty()) return 0;
  const IMAGEKIND sniffed = SniffImageFile(path);
  const IMAGEKIND named = KindOfExtension(extension);
  size_t width = 0, height = 0;
  std::string error;
  int ok = 0;
  auto is = [&](IMAGEKIND kind) {
    return sniffed == kind || (sniffed == IK_UNKNOWN && named == kind);
  };
  if (is(IK_PSD)) {
    ok = PingPhotoshopImage(path, &width, &height);
  } else if (is(IK_JP2) || is(IK_J2K)) {
    ok = PingJpeg2000(path, &width, &height, &error);
  } else if (is(IK_HDF)) {
    ok = PingHdfRaster(path, &width, &height, &error);
  } else {
    try {
      Magick::Image image;
      try {
        image.ping((forced.empty() ? "" : forced + ":") + MagickPath(path) +
                   (named == IK_GIF || named == IK_TIFF || sniffed == IK_GIF ? "[0]" : ""));
      } catch (const Magick::Warning&) {
      }
      width = image.columns();
      height = image.rows();
      ok = width > 0 && height > 0;
    } catch (const std::exception&) {
      ok = 0;
    }
  }
  if (!ok || width > size_t(INT32_MAX) || height > size_t(INT32_MAX)) return 0;
  size->cx = int32_t(width);
  size->cy = int32_t(height);
  return 1;
}
