#include "viewer/imageio.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "codecs/imagelibrary.h"
#include "codecs/imagereader.h"
#include "codecs/imagewriter.h"
#include "codecs/jpegpixels.h"
#include "corekit/loadslot.h"
#include "corekit/platform.h"
#include "corekit/queuedcall.h"
#include "corekit/straw.h"
#include "corekit_ui/uiutil.h"
#include "pixwork/formats.h"
#include "pixwork/options.h"
#include "shell/programhooks.h"
#include "viewer/progressmonitor.h"

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
    QueueCall(app, show, Qt::BlockingQueuedConnection);
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

// 1 when a codec plug-in wrote the picture, 0 when it failed, -1 when no
// plug-in takes the extension (or it is one the program writes itself).
int WriteWithPlugin(const MyString& path, const Magick::Image& image, MyString* error) {
  const auto& write = GetProgramHooks().pluginWrite;
  const MyString extension = ExtensionOf(path);
  if (!write || extension.IsEmpty()) return -1;
  for (const char16_t* const* own = szSaveFilter2; *own; ++own)
    if (extension.EqualsNoCase(*own)) return -1;
  std::unique_ptr<tagLORIMOBITMAP, void (*)(HBITMAP)> bitmap(
      CreateBitmap32(int32_t(image.columns()), int32_t(image.rows())), DeleteBitmap32);
  if (!bitmap) {
    *error = u"Unable to Allocate Memory";
    return 0;
  }
  try {
    ExportBgraPixels(image, 0, image.rows(), bitmap->pPixels);
  } catch (const std::exception& e) {
    *error = CStrAW::a_toW(e.what());
    return 0;
  }
  return write(path, *bitmap, error);
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

int LoadImage(HWND target, const MyString& path, Magick::Image* out, int bReport,
              const SIZE* sizeHint, std::shared_ptr<const CPixelPicture>* picture) {
  if (picture) picture->reset();
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
  CImageReadRequest request;
  request.path = path;
  request.extension = extension;
  request.forcedFormat = forced;
  request.sizeHint = sizeHint;
  request.bAllFrames = viewer != nullptr;
  request.bUpright = viewer != nullptr && gVO[VO_UPRIGHT].bFlag != 0;
  request.bPixels = picture != nullptr;
  CImageReadResult result;
  // A result decoded ahead is taken as if read now: what follows (messages,
  // animation, transparency) is the same.
  CReadAhead* ahead = viewer ? viewer->GetReadAhead() : nullptr;
  tagREADAHEADKEY key;
  tagFILESTAMP stamp;
  if (ahead) {
    ViewerReadAheadKey(path, sizeHint, &key);
    // Read before the file is: a change while it is read makes it stale.
    if (!ReadFileStamp(path, &stamp)) ahead = nullptr;
  }
  bool failed = !(ahead && ahead->Take(key, &result)) && !ReadImageFile(request, &result);
  Magick::Image image = result.image;
  std::shared_ptr<const CPixelPicture> pixels = failed ? nullptr : result.picture;
  // Pixels read ahead for a caller that wants the image.
  if (pixels && !picture) {
    std::string error;
    if (!MakeImageFromPixels(*pixels, &image, &error)) {
      failed = true;
      result.error = error;
    }
    pixels.reset();
  }
  if (viewer && !result.frames.empty()) {
    // The image shares its pixels with the first frame, which the GUI thread
    // may draw while this thread goes on with the image: one image must
    // not be read by two threads, so it takes its own copy.
    image.modifyImage();
    viewer->StartAnimation(std::move(result.frames));
  }
  MyString shortText = failed ? CStrAW::a_toW(result.error) : MyString();
  MyString message;
  if (result.bUnexpected) message = u"Unhandled exception loading " + path + u" !";
  MyString warnings;
  for (const std::string& warning : result.warnings)
    warnings += u"Decoder warning loading " + path + u"! \n" + CStrAW::a_toW(warning);
  if (failed && message.IsEmpty()) message = u"Decoder error loading " + path + u" !\n" + shortText;
  message = warnings + (warnings.IsEmpty() || message.IsEmpty() ? u"" : u"\n") + message;

  const bool cancelled = CProgressMonitor::IsClosing() || (monitor && monitor->IsCancelled());
  // The decode is over: what follows must not be aborted by its Cancel.
  if (monitor) monitor->End();
  if (ahead && !failed && !cancelled) ahead->Remember(key, stamp, result);
  if (cancelled) {
    pixels.reset();
    image = BlackImage();
    failed = true;
    shortText = u"Cancelled";
  }
  // The codec layer gives RGB; an image a plug-in read may still need it.
  MyString pluginReason;
  if (failed && viewer && !cancelled &&
      viewer->OfferToPlugins(path, &image, sizeHint, &pluginReason)) {
    failed = false;
    try {
      image.colorSpace(Magick::RGBColorspace);
    } catch (const std::exception& e) {
      failed = true;
      shortText = CStrAW::a_toW(e.what());
      message += u"Decoder error loading " + path + u" !\n" + shortText;
    }
  } else if (failed && !cancelled && !pluginReason.IsEmpty()) {
    // The plug-in that takes such files knows better why this one failed.
    shortText = pluginReason;
    message += u"\nDecoder error loading " + path + u" !\n" + pluginReason;
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
  if (picture) *picture = pixels;
  slot.Release();
  if (viewer && !CProgressMonitor::IsClosing()) {
    Magick::Color color;
    const bool transparent = !failed && !pixels && FlattenOverTransparencyColor(out, &color);
    viewer->OnLoadFinished(!failed, transparent, color, request.bUpright ? result.nOrientation : 0);
  }
  return failed ? 0 : 1;
}

bool SaveImage(HWND owner, const MyString& path, const Magick::Image& image,
               const tagIMAGEWRITE& write, bool reportAlways) {
  InitializeImageLibrary();
  MyString error;
  Magick::Image copy = image;
  Magick::Color color;
  if (CLoadTarget* viewer = FindLoadTarget(owner); viewer && viewer->GetTransparency(&color)) {
    try {
      copy.transparent(color);
    } catch (const std::exception& e) {
      error = CStrAW::a_toW(e.what());
    }
  }
  const unsigned quality = unsigned(std::clamp(gSO[SO_JPG_QUALITY].nValue, 0, 100));
  // Formats of the codec plug-ins (WebP, JPEG XL) are written by them.
  const int byPlugin = error.IsEmpty() ? WriteWithPlugin(path, copy, &error) : 0;
  if (byPlugin == 1) return true;
  if (byPlugin == -1 && error.IsEmpty() && WriteImageFile(path, copy, quality, &error, write))
    return true;
  if (!AnyAutoplayRunning() && (reportAlways || ShowErrorsOption()))
    ShowImageMessage(owner, error, u"Lorimo: SaveImage() function");
  return false;
}

bool ViewerReadAheadKey(const MyString& path, const SIZE* sizeHint, tagREADAHEADKEY* key) {
  std::string forced;
  const MyString extension = ReadingExtension(path, &forced);
  if (extension.IsEmpty()) return false;
  key->path = path;
  key->extension = extension;
  key->forcedFormat = forced;
  key->szHint = sizeHint && sizeHint->cx > 0 && sizeHint->cy > 0 ? *sizeHint : SIZE{};
  key->bUpright = gVO[VO_UPRIGHT].bFlag != 0;
  key->bColourProfiles = gVO[VO_COLOUR_PROFILES].bFlag != 0;
  return true;
}

int ReadImageHeader(const MyString& path, SIZE* size) {
  if (!size || path.IsEmpty()) return 0;
  std::string forced;
  const MyString extension = ReadingExtension(path, &forced);
  if (extension.IsEmpty()) return 0;
  return PingImageFile(path, extension, forced, size);
}
