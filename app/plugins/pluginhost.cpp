#include "plugins/pluginhost.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QStatusBar>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <mutex>

#include "codecs/imagelibrary.h"
#include "corekit/loadslot.h"
#include "corekit/queuedcall.h"
#include "corekit/registry.h"
#include "corekit/straw.h"
#include "corekit_ui/uiutil.h"
#include "frameloom/moviewriter.h"
#include "pixwork/formats.h"
#include "pixwork/sortsettings.h"
#include "plugins/pluginguard.h"
#include "process/filtercatalogue.h"
#include "shell/mainframe.h"
#include "shell/mainmenu.h"
#include "shell/programhooks.h"
#include "shell/settings.h"
#include "shell/toolbox.h"
#include "shell/toolviewdocks.h"
#include "viewer/imagedocument.h"
#include "viewer/imageio.h"
#include "viewer/imageservice.h"
#include "viewer/imageview.h"

namespace {

CPluginHost* gHookOwner = nullptr;

// The thumbnail workers ask the plug-ins from their own threads, and may
// still run while the host goes: they reach it only under this lock.
std::mutex gThumbnailMutex;
CPluginHost* gThumbnailHost = nullptr;

QImage PluginThumbnail(const MyString& path, const SIZE& box) {
  std::lock_guard<std::mutex> lock(gThumbnailMutex);
  if (!gThumbnailHost) return QImage();
  HBITMAP bitmap = gThumbnailHost->ProvideThumbnail(path, box);
  if (!bitmap) return QImage();
  // Plug-ins rarely fill the alpha byte: the picture is taken as opaque.
  const QImage image = QImage(bitmap->pPixels, bitmap->nWidth, bitmap->nHeight, bitmap->nStride,
                              QImage::Format_RGB32)
                           .copy();
  DeleteBitmap32(bitmap);
  return image;
}

int PluginWrite(const MyString& path, const tagLORIMOBITMAP& bitmap, MyString* error) {
  std::lock_guard<std::mutex> lock(gThumbnailMutex);
  return gThumbnailHost ? gThumbnailHost->WriteWithPlugins(path, bitmap, error) : -1;
}

bool IsGuiThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

// Fixed text arrays a plug-in filled: an unterminated one is cut.
template <size_t N>
void Terminate(char16_t (&text)[N]) {
  text[N - 1] = 0;
}

MyString WithoutDot(const char16_t* extension) {
  MyString text(extension ? extension : u"");
  while (!text.IsEmpty() && text[0] == u'.') text = text.Mid(1);
  return text;
}

QImage ImageOfBitmap(HBITMAP bitmap) { return bitmap ? BitmapToQImage(bitmap) : QImage(); }

bool ValidBitmap(const tagLORIMOBITMAP* bitmap) {
  return bitmap && bitmap->pPixels && bitmap->nWidth > 0 && bitmap->nHeight > 0 &&
         bitmap->nStride >= bitmap->nWidth * 4;
}

// Fills a buffer's fields from an image: top-down RGBA made with new[].
bool FillBuffer(const Magick::Image& image, CLorimoImageBuffer* buffer) {
  const size_t width = image.columns(), height = image.rows();
  if (!width || !height || !BitmapBytes(int64_t(width), int64_t(height))) return false;
  auto* pixels = new (std::nothrow) uint8_t[width * height * 4];
  if (!pixels) return false;
  try {
    Magick::Image copy(image);
    copy.write(0, 0, width, height, "RGBA", Magick::CharPixel, pixels);
    delete[] buffer->m_data.pPixels;
    buffer->m_data.pPixels = pixels;
    buffer->m_data.nWidth = uint32_t(width);
    buffer->m_data.nHeight = uint32_t(height);
    buffer->m_data.bValid = 1;
    buffer->m_data.bGrayScale = image.type() == Magick::GrayscaleType ||
                                image.type() == Magick::GrayscaleMatteType ||
                                image.type() == Magick::BilevelType;
    buffer->m_data.bModified = 0;
    return true;
  } catch (const std::exception&) {
    delete[] pixels;
    return false;
  }
}

template <typename T>
T* Param(const tagLORIMOPLUGINREQUEST& request, int n) {
  return reinterpret_cast<T*>(request.aParam[n]);
}

// Request 7: the movie extensions go to the movie writer (the image library
// has no MPEG writer here), other formats become an image list.
int WriteFrames(const MyString& path, const LORIMO_FRAME* frames, size_t count, int quality,
                MyString* error) {
  for (size_t i = 0; i < count; ++i)
    if (!ValidBitmap(frames[i].hBitmap) || frames[i].hBitmap->nWidth != frames[0].hBitmap->nWidth ||
        frames[i].hBitmap->nHeight != frames[0].hBitmap->nHeight) {
      *error = u"A frame cannot be turned into an image.";
      return 0;
    }
  const MyString extension = path.GetStringExtension().ToLower();
  const bool mpeg = extension == u".mpg" || extension == u".mpeg";
  if (mpeg || extension == u".avi" || extension == u".wmv") {
    tagMOVIEFORMAT format;
    format.nKind = mpeg ? MK_MPEG : extension == u".avi" ? MK_AVI : MK_WMV;
    const std::vector<std::string> codecs = CMovieWriter::AvailableCodecs(format.nKind);
    if (codecs.empty()) {
      *error = u"The required video codec is not available.";
      return 0;
    }
    format.strCodec = codecs.front();
    format.nWidth = frames[0].hBitmap->nWidth;
    format.nHeight = frames[0].hBitmap->nHeight;
    uint32_t period = 0;
    for (size_t i = 0; i < count; ++i)
      if (frames[i].dwDuration && (!period || frames[i].dwDuration < period))
        period = frames[i].dwDuration;
    format.nPeriodMs = period ? int(period) : 1000;
    format.nQuality = quality;
    CMovieWriter writer;
    std::string text;
    bool ok = writer.Open(path, format, &text);
    for (size_t i = 0; ok && i < count; ++i)
      ok = writer.WriteFrame(frames[i].hBitmap->pPixels, frames[i].hBitmap->nStride,
                             int(frames[i].dwDuration), &text);
    if (ok) ok = writer.Close(&text);
    if (!ok) *error = CStrAW::a_toW(text);
    return ok ? 1 : 0;
  }
  try {
    std::vector<Magick::Image> images;
    for (size_t i = 0; i < count; ++i) {
      const tagLORIMOBITMAP* bitmap = frames[i].hBitmap;
      std::vector<uint8_t> packed(size_t(bitmap->nWidth) * size_t(bitmap->nHeight) * 4);
      for (int32_t y = 0; y < bitmap->nHeight; ++y)
        std::memcpy(packed.data() + size_t(y) * size_t(bitmap->nWidth) * 4,
                    bitmap->pPixels + size_t(y) * size_t(bitmap->nStride),
                    size_t(bitmap->nWidth) * 4);
      Magick::Image image(size_t(bitmap->nWidth), size_t(bitmap->nHeight), "BGRA",
                          Magick::CharPixel, packed.data());
      image.animationDelay(frames[i].dwDuration / 10);
      image.gifDisposeMethod(3);
      image.quality(size_t(std::clamp(quality, 0, 100)));
      images.push_back(image);
    }
    Magick::writeImages(images.begin(), images.end(), path.ToUtf8());
    return 1;
  } catch (const std::exception& e) {
    *error = CStrAW::a_toW(e.what());
    return 0;
  }
}

}  // namespace

bool ImageFromRgba(const uint8_t* pixels, uint32_t width, uint32_t height, Magick::Image* image) {
  if (!pixels || !BitmapBytes(width, height)) return false;
  try {
    *image = Magick::Image(width, height, "RGBA", Magick::CharPixel, pixels);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

CPluginHost::CPluginHost(CMainFrame* frame)
    : m_pFrame(frame), m_nMessage(RegisterWindowMessage(kLorimoPluginMessageName)) {
  gHookOwner = this;
  {
    std::lock_guard<std::mutex> lock(gThumbnailMutex);
    gThumbnailHost = this;
  }
  GetProgramHooks().pluginThumbnail = PluginThumbnail;
  GetProgramHooks().pluginWrite = PluginWrite;
  GetProgramHooks().loadPlugins = [this] { Load(ProgramFolder()); };
  GetProgramHooks().releasePlugins = [this] { Release(); };
  frame->PluginCommands().SetInstalledPluginsHandler([this] { ShowInstalledPlugins(m_pFrame); });
  m_writeMovie = WriteFrames;
  frame->Viewer()->installEventFilter(this);
  CImageDocument& document = frame->Viewer()->Document();
  document.SetPluginHandlers(
      [this](const MyString& path) { NotifyOpening(path); },
      [this](const MyString& path, Magick::Image* image, const SIZE* hint, MyString* reason) {
        return OfferToPlugins(path, image, hint, reason);
      });
}

CPluginHost::~CPluginHost() {
  if (m_probe.joinable()) m_probe.join();
  m_pFrame->Viewer()->Document().SetPluginHandlers(nullptr, nullptr);
  m_pFrame->PluginCommands().SetInstalledPluginsHandler(nullptr);
  {
    std::lock_guard<std::mutex> lock(gThumbnailMutex);
    if (gThumbnailHost == this) gThumbnailHost = nullptr;
  }
  if (gHookOwner == this) {
    GetProgramHooks().pluginThumbnail = nullptr;
    GetProgramHooks().pluginWrite = nullptr;
    GetProgramHooks().loadPlugins = nullptr;
    GetProgramHooks().releasePlugins = nullptr;
    gHookOwner = nullptr;
  }
}

MyString CPluginHost::ProgramFolder() {
  return MyString::FromQString(QCoreApplication::applicationDirPath());
}

void CPluginHost::Load(const MyString& folder) {
  if (m_bProbing || m_bLoading) return;
  GetPluginsLoadedEvent().Reset();
  m_refused.clear();
  m_bProbing = true;
  m_bLoadStarted = true;
  const MyString probe =
      ProgramFolder() + u"/" + MyString::FromQString(QString::fromLatin1(kPluginProbeName));
  const int timeout = m_nProbeTimeoutMs;
  const std::vector<MyString> files = FindPluginFiles(folder);
  m_probe = std::thread([this, probe, files, timeout] {
    std::vector<tagPROBERESULT> results;
    for (const MyString& file : files) {
      if (GetStopEvent().IsSet()) break;
      results.push_back(ProbePluginFile(probe, file, timeout));
    }
    {
      std::lock_guard<std::mutex> lock(m_probeMutex);
      m_probed = std::move(results);
    }
    QueueCall(this, [this] { FinishLoading(); });
  });
}

void CPluginHost::FinishLoading() {
  if (!m_bProbing) return;
  if (m_probe.joinable()) m_probe.join();
  m_bProbing = false;
  m_bLoading = true;
  std::vector<tagPROBERESULT> probed;
  {
    std::lock_guard<std::mutex> lock(m_probeMutex);
    probed = std::move(m_probed);
  }
  for (const tagPROBERESULT& probe : probed) {
    if (probe.nResult != PR_OK) {
      m_refused.push_back(probe);
      continue;
    }
    LoadOne(probe);
  }
  m_bLoading = false;
  if (!m_refused.empty() && m_pFrame->statusBar()) {
    const tagPROBERESULT& first = m_refused.front();
    m_pFrame->statusBar()->showMessage(
        (MyString(u"Plug-in ") + first.strPath + u" was not loaded: " + first.strReason)
            .ToQString());
  }
  UpdateMenus();
  UpdateToolbox();
  CheckLoaded();
  emit Loaded();
}

void CPluginHost::LoadOne(const tagPROBERESULT& probe) {
  tagPROBERESULT refused = probe;
  void* library = dlopen(CStrAW::w_toA(probe.strPath).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    refused.strReason = ProbeReasonText(PR_NOT_LOADABLE, CStrAW::a_toW(dlerror()));
    m_refused.push_back(refused);
    return;
  }
  // The same library under another name (a link): it is loaded once.
  for (const auto& record : m_records)
    if (record->hLibrary == library) {
      dlclose(library);
      refused.strReason = u"The library is loaded already as " + record->strPath + u".";
      m_refused.push_back(refused);
      return;
    }
  auto record = std::make_unique<tagRECORD>();
  record->hLibrary = library;
  record->strPath = probe.strPath;
  std::memset(&record->info, 0, sizeof record->info);
  auto version =
      reinterpret_cast<PFN_GetLorimoPluginVersion>(dlsym(library, "GetLorimoPluginVersion"));
  auto instance = reinterpret_cast<PFN_GetPluginInstanceW>(dlsym(library, "GetPluginInstanceW"));
  int found = 0;
  CLorimoPlugin* plugin = nullptr;
  const bool ran = version && instance && Guard(*record, [&] {
                     found = version();
                     if (found == kLorimoPluginInterfaceVersion) plugin = instance();
                   });
  if (!ran || found != kLorimoPluginInterfaceVersion || !plugin) {
    // Not closed: code of a library that may have run stays mapped.
    refused.strReason =
        !ran ? ProbeReasonText(PR_CRASHED, u"in the program")
             : ProbeReasonText(
                   found != kLorimoPluginInterfaceVersion ? PR_WRONG_VERSION : PR_NULL_INSTANCE,
                   MyString::FromQString(QString::number(found)));
    m_refused.push_back(refused);
    return;
  }
  record->pPlugin = plugin;
  record->makePanel =
      reinterpret_cast<PFN_CreateLorimoFilterPanel>(dlsym(library, kCreateFilterPanelExport));
  record->getIcon = reinterpret_cast<PFN_GetLorimoPluginIcon>(dlsym(library, kPluginIconExport));
  record->codecError = reinterpret_cast<PFN_GetLorimoCodecError>(dlsym(library, kCodecErrorExport));
  record->info.dwReserved = 0;
  tagRECORD& kept = *record;
  Guard(kept, [&] { plugin->GetPluginInformation(&kept.info); });
  Terminate(kept.info.szName);
  Terminate(kept.info.szDescription);
  Terminate(kept.info.szDeveloper);
  Terminate(kept.info.szWebAddress);
  Terminate(kept.info.szSupportPhone);
  m_records.push_back(std::move(record));
  {
    std::lock_guard<std::mutex> lock(m_codecMutex);
    m_thumbnailers.push_back(plugin);
  }
  Guard(kept, [&] {
    plugin->RegisterPlugin(m_pFrame->GetSafeHwnd(), m_pFrame->Viewer()->GetSafeHwnd());
  });
}

void CPluginHost::CheckLoaded() {
  if (!m_bProbing && !m_bLoading && m_nAsync == 0) GetPluginsLoadedEvent().Set();
}

void CPluginHost::Release() {
  if (m_probe.joinable()) m_probe.join();
  m_bProbing = false;
  if (m_bReleased) return;
  m_bReleased = true;
  for (const auto& record : m_records) {
    CLorimoPlugin* plugin = record->pPlugin;
    Guard(*record, [plugin] { plugin->Shutdown(); });
  }
  // The docks hold the plug-ins' widgets: they go now, while the
  // libraries are there.
  for (tagDOCK& dock : m_docks) delete dock.dock.data();
  m_docks.clear();
  std::lock_guard<std::mutex> lock(m_codecMutex);
  m_codecs.clear();
  m_thumbnailers.clear();
}

bool CPluginHost::Guard(const tagRECORD& record, const std::function<void()>& call) {
  MyString name = record.Name();
  if (name.IsEmpty()) name = record.strPath.GetStringTitleExt();
  return CPluginGuard::Run(name, call);
}

CPluginHost::tagRECORD* CPluginHost::Find(const CLorimoPlugin* plugin) const {
  for (const auto& record : m_records)
    if (plugin && record->pPlugin == plugin) return record.get();
  return nullptr;
}

CPluginHost::tagRECORD* CPluginHost::OwnerOfButton(int id) const {
  for (const auto& record : m_records)
    if (record->buttons.count(id)) return record.get();
  return nullptr;
}

int CPluginHost::NewCommandId() {
  if (m_nNextCommand > kLastPluginCommand) return 0;
  return m_nNextCommand++;
}

bool CPluginHost::HandleMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT* result) {
  if (!m_nMessage || msg != m_nMessage) return false;
  *result = Handle(reinterpret_cast<tagLORIMOPLUGINREQUEST*>(wParam));
  return true;
}

LRESULT CPluginHost::ReadFailure(const MyString& text) {
  m_strLastError = text.IsEmpty() ? MyString(u"Unknown error") : text;
  return reinterpret_cast<LRESULT>(m_strLastError.c_str());
}

LRESULT CPluginHost::Handle(tagLORIMOPLUGINREQUEST* request) {
  if (!request) return LORIMO_ERR_BADARG;
  tagRECORD* record = Find(request->pPlugin);
  if (!record || request->nRequest < 0 || request->nRequest > LPR_LAST) return -1;
  const tagLORIMOPLUGINREQUEST& r = *request;
  switch (request->nRequest) {
    case LPR_REGISTER_NEW_TOOL:
      return RegisterTool(*record, Param<const char16_t>(r, 0));
    case LPR_READ_IMAGE:
      return ReadImage(r);
    case LPR_WRITE_IMAGE:
      return WriteImage(r);
    case LPR_FLIP_FLOP_IMAGE:
      return FlipFlop(r);
    case LPR_GET_SUPPORTED_FILE_LIST: {
      auto* list = Param<std::vector<std::u16string>>(r, 0);
      if (!list) return LORIMO_ERR_BADARG;
      for (const FILTERFILEEXTRY& row : szStaticOpenFileFilter) list->push_back(row.pszExtension);
      return kStaticOpenFileFilterCount;
    }
    case LPR_GET_DIMENSIONS: {
      auto* file = Param<const char16_t>(r, 0);
      auto* size = Param<SIZE>(r, 1);
      if (!file || !size) return LORIMO_ERR_BADARG;
      return ReadImageHeader(MyString(file), size) ? 1 : LORIMO_ERR_BADARG;
    }
    case LPR_RESCALE_BITMAP:
      return Rescale(r);
    case LPR_CREATE_MPEG:
      return CreateMovie(r);
    case LPR_REGISTER_TOOLBOX_BUTTON:
      return RegisterButton(*record, Param<const _stToolboxButton>(r, 0));
    case LPR_UNREGISTER_TOOLBOX_BUTTON: {
      const int id = int(intptr_t(r.aParam[0]));
      if (!record->buttons.erase(id)) return LORIMO_ERR_BADARG;
      m_pFrame->PluginCommands().RemoveCommand(id);
      std::erase(record->commands, id);
      UpdateToolbox();
      return 1;
    }
    case LPR_REGISTER_DOCK_WINDOW:
      return RegisterDock(*record, Param<const _stDockWindow>(r, 0));
    case LPR_REFRESH_BUTTONS:
      UpdateToolbox();
      return 1;
    case LPR_GET_SORTING_MODE:
      return LRESULT(gdwSortingMode);
    case LPR_REGISTER_AS_CODEC:
      return RegisterCodec(*record);
    case LPR_SELECT_TOOLBOX_BUTTON: {
      const int id = int(intptr_t(r.aParam[0]));
      if (!record->buttons.count(id)) return LORIMO_ERR_BADARG;
      if (!record->buttons[id].nState) RunButton(*record, id);
      return 1;
    }
    case LPR_SAVE_DOCK_POSITION:
      return 0;
    case LPR_ASYNC_REGISTRATION:
      if (r.aParam[0] == 0) {
        ++m_nAsync;
        GetPluginsLoadedEvent().Reset();
      } else if (m_nAsync > 0) {
        --m_nAsync;
        CheckLoaded();
      }
      return 1;
    case LPR_READ_IMAGE_BUFFER:
      return ReadBuffer(r);
    case LPR_DISPLAY_IMAGE_BUFFER:
      return DisplayBuffer(Param<CLorimoImageBuffer>(r, 0));
    case LPR_TRANSFER_IMAGE_BUFFER:
      return TransferBuffer(Param<CLorimoImageBuffer>(r, 0));
    case LPR_REGISTER_NEW_FILTER:
      return RegisterFilter(*record, Param<CLorimoPluginFilter>(r, 0));
    case LPR_APPLY_STOCK_FILTER:
      return ApplyStockFilter(Param<tagLORIMOSTOCKFILTERPARAMS>(r, 0));
  }
  return -1;
}

LRESULT CPluginHost::RegisterTool(tagRECORD& record, const char16_t* name) {
  if (!name || !name[0]) return LORIMO_ERR_BADARG;
  const int id = NewCommandId();
  if (!id) return 0;
  CLorimoPlugin* plugin = record.pPlugin;
  tagRECORD* owner = &record;
  const int added = m_pFrame->PluginCommands().AddCommand(id, [this, owner, plugin, id] {
    Guard(*owner, [plugin, id] { plugin->ProcessCommand(id); });
  });
  if (!added) return 0;
  record.commands.push_back(id);
  m_toolNames[id] = MyString(name) + u" (Plugin)";
  if (!m_bLoading) UpdateMenus();
  return id;
}

void CPluginHost::UpdateMenus() {
  std::vector<tagFAVORITESMENUENTRY> tools, views;
  for (const auto& [id, text] : m_toolNames) tools.push_back({id, text.ToQString()});
  for (const tagDOCK& dock : m_docks)
    views.push_back({dock.nId, (dock.strName + u" (Plugin)").ToQString()});
  m_pFrame->MainMenu().SetPluginEntries(MM_TOOLS, tools);
  m_pFrame->MainMenu().SetPluginEntries(MM_VIEW, views);
}

LRESULT CPluginHost::ReadImage(const tagLORIMOPLUGINREQUEST& request) {
  auto* file = Param<const char16_t>(request, 0);
  auto* result = Param<HBITMAP>(request, 1);
  if (!file || !result) return LORIMO_ERR_BADARG;
  Magick::Image image;
  if (!LoadImage(nullptr, MyString(file), &image, 0)) return ReadFailure(GetLastLoadError());
  *result = CImageService::ImageToBitmap(image);
  if (!*result) return ReadFailure(u"Unable to Allocate Memory");
  return 1;
}

LRESULT CPluginHost::WriteImage(const tagLORIMOPLUGINREQUEST& request) {
  auto* file = Param<const char16_t>(request, 0);
  auto* size = Param<const SIZE>(request, 1);
  auto* pixels = Param<const uint8_t>(request, 2);
  if (!file || !size || !pixels || size->cx <= 0 || size->cy <= 0) return LORIMO_ERR_BADARG;
  Magick::Image image;
  if (!ImageFromRgba(pixels, uint32_t(size->cx), uint32_t(size->cy), &image))
    return LORIMO_ERR_BADARG;
  // Saved or not used to give 0 alike; a failure is told now.
  if (!SaveImage(nullptr, MyString(file), image)) {
    ReadFailure(u"Unable to save " + MyString(file));
    return LORIMO_ERR_BADARG;
  }
  return 0;
}

LRESULT CPluginHost::FlipFlop(const tagLORIMOPLUGINREQUEST& request) {
  auto* slot = Param<HBITMAP>(request, 0);
  if (!slot || !ValidBitmap(*slot)) return LORIMO_ERR_BADARG;
  const bool flip = request.aParam[1] != 0, flop = request.aParam[2] != 0;
  HBITMAP source = *slot;
  HBITMAP copy = CreateBitmap32(source->nWidth, source->nHeight);
  if (!copy) return 0;
  for (int32_t y = 0; y < source->nHeight; ++y) {
    const auto* from = reinterpret_cast<const uint32_t*>(
        source->pPixels + size_t(flip ? source->nHeight - 1 - y : y) * size_t(source->nStride));
    auto* to = reinterpret_cast<uint32_t*>(copy->pPixels + size_t(y) * size_t(copy->nStride));
    if (flop)
      std::reverse_copy(from, from + source->nWidth, to);
    else
      std::copy(from, from + source->nWidth, to);
  }
  DeleteBitmap32(source);
  *slot = copy;
  return 1;
}

LRESULT CPluginHost::Rescale(const tagLORIMOPLUGINREQUEST& request) {
  auto* source = Param<const tagLORIMOBITMAP>(request, 0);
  const intptr_t width = intptr_t(request.aParam[1]), height = intptr_t(request.aParam[2]);
  auto* result = Param<HBITMAP>(request, 3);
  if (!ValidBitmap(source) || !result || !BitmapBytes(width, height)) return LORIMO_ERR_BADARG;
  const QImage scaled = BitmapToQImage(source).scaled(
      int(width), int(height), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  *result = QImageToBitmap(scaled);
  return *result ? 1 : 0;
}

LRESULT CPluginHost::CreateMovie(const tagLORIMOPLUGINREQUEST& request) {
  auto* file = Param<const char16_t>(request, 0);
  auto* frames = Param<const LORIMO_FRAME>(request, 1);
  if (!file || !frames || !request.aParam[2]) return 0;
  if (!m_writeMovie) {
    ReadFailure(u"The required video codec is not available.");
    return 0;
  }
  MyString error;
  const int written = m_writeMovie(MyString(file), frames, size_t(request.aParam[2]),
                                   int(intptr_t(request.aParam[3])), &error);
  if (!written) ReadFailure(error);
  return written ? 1 : 0;
}

LRESULT CPluginHost::RegisterButton(tagRECORD& record, const _stToolboxButton* button) {
  if (!button) return LORIMO_ERR_BADARG;
  const int id = NewCommandId();
  if (!id) return 0;
  tagBUTTON kept;
  kept.nId = id;
  kept.strText = button->pszText ? QString::fromUtf16(button->pszText) : QString();
  const HBITMAP images[4] = {button->hNormal, button->hHot, button->hSelected, button->hDisabled};
  for (int i = 0; i < 4; ++i)
    if (ValidBitmap(images[i])) kept.images[i] = ImageOfBitmap(images[i]);
  kept.bImageTool = button->bImageTool != 0;
  tagRECORD* owner = &record;
  if (!m_pFrame->PluginCommands().AddCommand(id, [this, owner, id] { RunButton(*owner, id); }))
    return 0;
  record.buttons[id] = kept;
  record.commands.push_back(id);
  if (!m_bLoading) UpdateToolbox();
  return id;
}

void CPluginHost::RunButton(tagRECORD& record, int id) {
  const auto found = record.buttons.find(id);
  if (found == record.buttons.end()) return;
  const int state = found->second.nState ? 0 : 1;
  Notify(LN_TOOLBOX_BUTTON, uintptr_t(state), intptr_t(id));
  CLorimoPlugin* plugin = record.pPlugin;
  Guard(record, [plugin, id] { plugin->ProcessCommand(id); });
  UpdateToolbox();
}

void CPluginHost::UpdateToolbox() { RefreshToolbox(); }

void CPluginHost::RefreshToolbox(CToolbox* toolbox) {
  if (!toolbox) toolbox = m_pFrame->findChild<CToolbox*>();
  if (!toolbox) return;
  std::vector<CToolbox::tagPLUGINBUTTON> faces;
  for (const auto& record : m_records)
    for (const auto& [id, button] : record->buttons) {
      CToolbox::tagPLUGINBUTTON face;
      face.nId = id;
      face.strText = button.strText;
      const QImage& image =
          button.nState && !button.images[2].isNull() ? button.images[2] : button.images[0];
      if (!image.isNull()) face.icon = QIcon(QPixmap::fromImage(image));
      face.bSelected = button.nState != 0;
      faces.push_back(face);
    }
  toolbox->SetPluginButtons(faces);
}

void CPluginHost::Notify(unsigned long type, uintptr_t text, intptr_t data) {
  if (type == LN_TOOLBOX_BUTTON) {
    m_bToolActive = false;
    const int id = int(data);
    if (tagRECORD* owner = OwnerOfButton(id)) owner->buttons[id].nState = text != 0;
    for (const auto& record : m_records)
      for (const auto& [buttonId, button] : record->buttons)
        if (button.nState) m_bToolActive = true;
    // Ahead of the viewer's own input filter, which keeps some releases.
    if (m_bToolActive) {
      m_pFrame->Viewer()->removeEventFilter(this);
      m_pFrame->Viewer()->installEventFilter(this);
    }
  }
  const bool imageTools = type == LN_LBUTTON_DOWN || type == LN_LBUTTON_UP;
  if (imageTools && !m_bToolActive) return;
  for (const auto& record : m_records) {
    if (imageTools) {
      bool wants = false;
      for (const auto& [id, button] : record->buttons)
        if (button.nState && button.bImageTool) wants = true;
      if (!wants) continue;
    }
    CLorimoPlugin* plugin = record->pPlugin;
    Guard(*record, [plugin, type, text, data] { plugin->OnLorimoNotification(type, text, data); });
  }
}

bool CPluginHost::eventFilter(QObject* watched, QEvent* event) {
  const bool press = event->type() == QEvent::MouseButtonPress;
  if (m_bToolActive && watched == m_pFrame->Viewer() &&
      (press || event->type() == QEvent::MouseButtonRelease)) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QRect image = m_pFrame->Viewer()->ImageRect();
    // A release ends a press made in the image, wherever it happens.
    const bool inImage = press ? image.contains(mouse->position().toPoint()) : m_bPressedInImage;
    if (mouse->button() == Qt::LeftButton && inImage) {
      m_bPressedInImage = press;
      const RECT rect{image.left(), image.top(), image.right() + 1, image.bottom() + 1};
      Notify(press ? LN_LBUTTON_DOWN : LN_LBUTTON_UP, 0, reinterpret_cast<intptr_t>(&rect));
    }
  }
  return QObject::eventFilter(watched, event);
}

void CPluginHost::NotifyOpening(const MyString& path) {
  if (IsGuiThread()) {
    Notify(LN_FILE_OPENING, reinterpret_cast<uintptr_t>(path.c_str()), 0);
    return;
  }
  QPointer<CPluginHost> self(this);
  QueueCall(this, [self, path] {
    if (self) self->Notify(LN_FILE_OPENING, reinterpret_cast<uintptr_t>(path.c_str()), 0);
  });
}

LRESULT CPluginHost::RegisterDock(tagRECORD& record, const _stDockWindow* window) {
  if (!window || !window->pszName || !window->pszName[0]) return LORIMO_ERR_BADARG;
  const int id = NewCommandId();
  if (!id) return 0;
  tagDOCK dock;
  dock.nId = id;
  dock.strName = window->pszName;
  dock.nLeft = window->nLeft;
  dock.nTop = window->nTop;
  dock.nWidth = window->nWidth;
  dock.nHeight = window->nHeight;
  dock.hWnd = window->hWnd;
  const size_t index = m_docks.size();
  if (!m_pFrame->PluginCommands().AddCommand(id, [this, index] { ToggleDock(index); })) return 0;
  record.docks.push_back(id);
  m_docks.push_back(dock);
  if (!m_bLoading) UpdateMenus();
  uint32_t closed = 0;
  {
    CRegistry key(HKEY_CURRENT_USER, kLorimoKey, false);
    if (key.SetSubKey(u"WinPos", false)) key.GetValue(u"PluginWindowClosed", closed);
  }
  if (!closed) ShowDock(m_docks.back(), true);
  return id;
}

void CPluginHost::ToggleDock(size_t index) {
  if (index >= m_docks.size()) return;
  tagDOCK& dock = m_docks[index];
  const bool open = dock.dock && dock.dock->isVisible();
  if (!open && m_pFrame->ToolViews().IsViewerAlone()) return;
  ShowDock(dock, !open);
  CRegistry key(HKEY_CURRENT_USER, kLorimoKey, true);
  if (key.SetSubKey(u"WinPos")) key.SetValue(u"PluginWindowClosed", uint32_t(open ? 1 : 0));
}

void CPluginHost::ShowDock(tagDOCK& dock, bool show) {
  if (!show) {
    if (dock.dock) dock.dock->hide();
    return;
  }
  if (!dock.dock) {
    auto* widget = qobject_cast<QWidget*>(GetReceiverObject(dock.hWnd));
    auto* made = new CToolViewDock(dock.strName.ToQString(), m_pFrame);
    made->setObjectName(QStringLiteral("PluginDock%1").arg(dock.nId));
    if (widget) made->setWidget(widget);
    m_pFrame->addDockWidget(Qt::RightDockWidgetArea, made);
    if (dock.nWidth > 0 && dock.nHeight > 0) {
      made->setFloating(true);
      made->setGeometry(dock.nLeft, dock.nTop, dock.nWidth, dock.nHeight);
    }
    connect(made, &CToolViewDock::Closed, this, [] {
      CRegistry key(HKEY_CURRENT_USER, kLorimoKey, true);
      if (key.SetSubKey(u"WinPos")) key.SetValue(u"PluginWindowClosed", uint32_t(1));
    });
    dock.dock = made;
  }
  dock.dock->show();
}

LRESULT CPluginHost::RegisterCodec(tagRECORD& record) {
  std::vector<const char16_t*> types;
  CLorimoPlugin* plugin = record.pPlugin;
  if (!Guard(record, [plugin, &types] { plugin->GetReadableFileTypes(&types); })) return 0;
  tagCODEC codec;
  codec.pRecord = &record;
  codec.lock = std::make_shared<std::mutex>();
  for (const char16_t* type : types) {
    const MyString extension = WithoutDot(type);
    if (extension.IsEmpty()) continue;
    codec.extensions.push_back(extension);
    RegisterFileExtension(extension);
  }
  std::lock_guard<std::mutex> lock(m_codecMutex);
  for (tagCODEC& existing : m_codecs)
    if (existing.pRecord == &record) {
      existing.extensions = codec.extensions;
      return 1;
    }
  m_codecs.push_back(std::move(codec));
  return 1;
}

int CPluginHost::OfferToPlugins(const MyString& path, Magick::Image* image, const SIZE* sizeHint,
                                MyString* reason) {
  if (IsGuiThread()) {
    FinishLoading();
  } else if (m_bLoadStarted) {
    // Without a load there is nothing to wait for.
    while (!GetPluginsLoadedEvent().IsSet() && !GetStopEvent().IsSet())
      GetPluginsLoadedEvent().Wait(50);
  }
  const MyString extension = WithoutDot(path.GetStringExtension().c_str());
  // Phones and web sites save HEIF and WebP under JPEG names: the bytes
  // count as much as the name.
  const MyString content = ExtensionOfContent(SniffImageFile(path));
  if (extension.IsEmpty() && content.IsEmpty()) return 0;
  std::vector<std::pair<tagRECORD*, std::shared_ptr<std::mutex>>> readers;
  {
    std::lock_guard<std::mutex> lock(m_codecMutex);
    for (const tagCODEC& codec : m_codecs)
      for (const MyString& known : codec.extensions)
        if ((!extension.IsEmpty() && known.EqualsNoCase(extension)) ||
            (!content.IsEmpty() && known.EqualsNoCase(content))) {
          readers.emplace_back(codec.pRecord, codec.lock);
          break;
        }
  }
  for (auto& [record, mutex] : readers) {
    CLorimoPlugin* plugin = record->pPlugin;
    HBITMAP bitmap = nullptr;
    {
      std::lock_guard<std::mutex> lock(*mutex);
      SIZE size = sizeHint ? *sizeHint : SIZE{};
      try {
        bitmap = plugin->ReadImageFromDisk(path.c_str(), &size);
        if (!bitmap && reason && reason->IsEmpty() && record->codecError)
          if (const char16_t* text = record->codecError()) *reason = MyString(text);
      } catch (...) {
        bitmap = nullptr;
      }
    }
    if (!bitmap) continue;
    const bool usable = ValidBitmap(bitmap);
    bool made = false;
    if (usable) {
      try {
        // Rows may be padded: the pixels go row by row into a packed block.
        const size_t count = size_t(bitmap->nWidth) * size_t(bitmap->nHeight);
        std::vector<uint8_t> packed(count * 4);
        for (int32_t y = 0; y < bitmap->nHeight; ++y)
          std::memcpy(packed.data() + size_t(y) * size_t(bitmap->nWidth) * 4,
                      bitmap->pPixels + size_t(y) * size_t(bitmap->nStride),
                      size_t(bitmap->nWidth) * 4);
        // Most plug-ins leave the alpha byte 0, which means nothing: only a
        // plug-in that filled it (not all 0, not all 255) gives alpha.
        bool anySet = false, anyBelowFull = false;
        for (size_t i = 0; i < count && !(anySet && anyBelowFull); ++i) {
          anySet = anySet || packed[i * 4 + 3] != 0;
          anyBelowFull = anyBelowFull || packed[i * 4 + 3] != 255;
        }
        const bool alpha = anySet && anyBelowFull;
        *image = Magick::Image(size_t(bitmap->nWidth), size_t(bitmap->nHeight),
                               alpha ? "BGRA" : "BGRP", Magick::CharPixel, packed.data());
        made = true;
      } catch (const std::exception&) {
        made = false;
      }
    }
    DeleteBitmap32(bitmap);
    if (made) return 1;
  }
  return 0;
}

int CPluginHost::WriteWithPlugins(const MyString& path, const tagLORIMOBITMAP& bitmap,
                                  MyString* error) {
  const MyString extension = WithoutDot(path.GetStringExtension().c_str());
  if (extension.IsEmpty()) return -1;
  tagRECORD* writer = nullptr;
  std::shared_ptr<std::mutex> mutex;
  {
    std::lock_guard<std::mutex> lock(m_codecMutex);
    for (const tagCODEC& codec : m_codecs)
      for (const MyString& known : codec.extensions)
        if (!writer && known.EqualsNoCase(extension)) {
          writer = codec.pRecord;
          mutex = codec.lock;
        }
  }
  if (!writer) return -1;
  std::lock_guard<std::mutex> lock(*mutex);
  int written = 0;
  // The plug-in gets a bitmap of its own, as every bitmap handed over.
  HBITMAP copy = CopyBitmap32(&bitmap);
  try {
    written = copy ? writer->pPlugin->WriteImageToDisk(path.c_str(), copy) : 0;
  } catch (...) {
    written = 0;
  }
  DeleteBitmap32(copy);
  if (written) return 1;
  if (writer->codecError)
    if (const char16_t* text = writer->codecError(); text && text[0]) *error = MyString(text);
  if (error->IsEmpty()) *error = writer->Name() + u" could not write " + path + u".";
  return 0;
}

HBITMAP CPluginHost::ProvideThumbnail(const MyString& path, const SIZE& size) {
  std::vector<CLorimoPlugin*> plugins;
  {
    std::lock_guard<std::mutex> lock(m_codecMutex);
    plugins = m_thumbnailers;
  }
  for (CLorimoPlugin* plugin : plugins) {
    SIZE wanted = size;
    HBITMAP bitmap = nullptr;
    try {
      bitmap = plugin->ProvideThumbnailForFile(path.c_str(), &wanted);
    } catch (...) {
      bitmap = nullptr;
    }
    if (ValidBitmap(bitmap)) return bitmap;
    DeleteBitmap32(bitmap);
  }
  return nullptr;
}

LRESULT CPluginHost::ReadBuffer(const tagLORIMOPLUGINREQUEST& request) {
  auto* buffer = Param<CLorimoImageBuffer>(request, 0);
  auto* file = Param<const char16_t>(request, 1);
  if (!buffer || !file) return LORIMO_ERR_BADARG;
  Magick::Image image;
  if (!LoadImage(nullptr, MyString(file), &image, 0)) return ReadFailure(GetLastLoadError());
  if (!FillBuffer(image, buffer)) return ReadFailure(u"Unable to Allocate Memory");
  return 1;
}

LRESULT CPluginHost::DisplayBuffer(CLorimoImageBuffer* buffer) {
  if (!buffer || !buffer->m_data.pPixels) return LORIMO_ERR_BADARG;
  Magick::Image image;
  if (!ImageFromRgba(buffer->m_data.pPixels, buffer->m_data.nWidth, buffer->m_data.nHeight, &image))
    return LORIMO_ERR_BADARG;
  CImageDocument& document = m_pFrame->Viewer()->Document();
  document.ReplaceImage(image);
  document.SetModified(buffer->m_data.bModified != 0);
  m_pFrame->Viewer()->update();
  return 1;
}

LRESULT CPluginHost::TransferBuffer(CLorimoImageBuffer* buffer) {
  if (!buffer) return LORIMO_ERR_BADARG;
  const CImageDocument& document = m_pFrame->Viewer()->Document();
  if (!document.HasImage()) return LORIMO_ERR_NOIMAGE;
  return FillBuffer(document.GetImage(), buffer) ? 1 : LORIMO_ERR_BADARG;
}

LRESULT CPluginHost::RegisterFilter(tagRECORD& record, CLorimoPluginFilter* filter) {
  if (!filter) return LORIMO_ERR_BADARG;
  tagFILTERENTRY entry;
  const char16_t* name = nullptr;
  const char16_t* description = nullptr;
  unsigned int templateId = 0;
  if (!Guard(record, [&] {
        name = filter->GetFilterName();
        description = filter->GetFilterDescription();
        templateId = filter->GetFilterDlgTemplateID();
      }))
    return 0;
  if (!name || !name[0]) return LORIMO_ERR_BADARG;
  entry.pszName = name;
  entry.pszDescription = description;
  // The panel the plug-in makes for its template; its handle goes to
  // ApplyFilter.
  auto panel = std::make_shared<QPointer<QWidget>>();
  tagRECORD* owner = &record;
  if (record.makePanel) {
    PFN_CreateLorimoFilterPanel make = record.makePanel;
    entry.makePanel = [this, owner, make, templateId, panel](QWidget* parent) -> QWidget* {
      QWidget* made = nullptr;
      Guard(*owner, [&] { made = make(templateId, parent); });
      *panel = made;
      return made;
    };
  }
  entry.operation = [this, owner, filter, panel](Magick::Image& image, const tagFILTERARGS&) {
    CLorimoImageBuffer* buffer = filter->GetWorkingImageBuffer();
    if (!buffer || !FillBuffer(image, buffer)) return int(FR_NOTHING);
    HWND hwnd = nullptr;
    if (QWidget* widget = panel->data()) {
      hwnd = GetReceiverHandle(widget);
      if (!hwnd) hwnd = CreateMessageReceiver(widget, [](HWND, UINT, WPARAM, LPARAM) { return 0; });
    }
    int applied = 0;
    if (!Guard(*owner, [&] { applied = filter->ApplyFilter(hwnd); }) || !applied)
      return int(FR_NOTHING);
    Magick::Image result;
    if (!buffer->m_data.bValid || !ImageFromRgba(buffer->m_data.pPixels, buffer->m_data.nWidth,
                                                 buffer->m_data.nHeight, &result))
      return int(FR_NOTHING);
    image = result;
    return int(FR_DONE);
  };
  GetFilterCatalogue().AddExternalFilter(std::move(entry));
  return 1;
}

LRESULT CPluginHost::ApplyStockFilter(tagLORIMOSTOCKFILTERPARAMS* params) {
  if (!params || !params->pBuffer) return LORIMO_ERR_BADARG;
  if (params->nFilter < 0 || params->nFilter >= LSF_COUNT) return LORIMO_ERR_BADARG;
  if (kStockFilterShapes[params->nFilter] == kStockShapeNotAvailable)
    return LORIMO_ERR_NOTAVAILABLE;
  const CFilterCatalogue& catalogue = GetFilterCatalogue();
  const tagFILTERENTRY* entry = catalogue.StockFilter(params->nFilter);
  if (!entry) return LORIMO_ERR_NOTAVAILABLE;

  CLorimoImageBuffer* buffer = params->pBuffer;
  Magick::Image image;
  if (buffer->m_data.bValid && buffer->m_data.pPixels) {
    if (!ImageFromRgba(buffer->m_data.pPixels, buffer->m_data.nWidth, buffer->m_data.nHeight,
                       &image))
      return LORIMO_ERR_BADARG;
  } else {
    const CImageDocument& document = m_pFrame->Viewer()->Document();
    if (!document.HasImage()) return LORIMO_ERR_NOIMAGE;
    image = document.GetImage();
  }
  // The values in panel order; a filter whose only input is a list takes
  // its first 32-bit value as the choice, Gamma its flag (set: one value
  // for all channels).
  tagFILTERARGS args = CFilterCatalogue::DefaultArgs(*entry);
  std::vector<double> values;
  int first = 0;
  const int ints = std::clamp(params->nValueCount, 0, 3);
  const int doubles = std::clamp(params->nDoubleCount, 0, 3);
  if (params->nShape == 5) {
    args.nChoice = params->nValues[0] ? 0 : 1;
    first = 1;
  } else if (entry->params.empty() && !entry->choices.empty() && ints > 0) {
    args.nChoice = params->nValues[0];
    first = 1;
  }
  for (int i = first; i < ints; ++i) values.push_back(params->nValues[i]);
  for (int i = 0; i < doubles; ++i) values.push_back(params->dValues[i]);
  for (size_t i = 0; i < values.size() && i < args.dValues.size(); ++i) args.dValues[i] = values[i];

  std::string error;
  const int result = catalogue.ApplyStockFilter(params->nFilter, args, image, &error);
  if (result != FR_DONE) return LORIMO_ERR_NOTAVAILABLE;
  if (!FillBuffer(image, buffer)) return LORIMO_ERR_BADARG;
  buffer->m_data.bModified = 1;
  return 1;
}
