#include "frameloom/lorimoplugin.h"

#include <cstdarg>
#include <cstring>

namespace {

// One plug-in object per library: its windows and last error live here.
// Internal linkage and hidden visibility keep each library's own copy even
// when another module carries the kit too.
HWND gFrameWindow = nullptr;
HWND gContentWindow = nullptr;
std::u16string gLastError;

void CopyText(char16_t* target, size_t capacity, const char16_t* text) {
  size_t n = 0;
  for (; text[n] && n + 1 < capacity; ++n) target[n] = text[n];
  target[n] = 0;
}

UINT PluginMessage() {
  static const UINT id = RegisterWindowMessage(kLorimoPluginMessageName);
  return id;
}

}  // namespace

void CLorimoPlugin::RegisterPlugin(HWND hFrame, HWND hContent) {
  gFrameWindow = hFrame;
  gContentWindow = hContent;
}

void CLorimoPlugin::GetPluginInformation(CLorimoPluginInfo* pInfo) {
  if (!pInfo) return;
  CopyText(pInfo->szName, std::size(pInfo->szName), u"Not specified");
  CopyText(pInfo->szDescription, std::size(pInfo->szDescription), u"Not specified");
  CopyText(pInfo->szDeveloper, std::size(pInfo->szDeveloper), u"Not specified");
  CopyText(pInfo->szSupportPhone, std::size(pInfo->szSupportPhone), u"Not specified");
}

int CLorimoPlugin::Shutdown() { return 0; }
void CLorimoPlugin::GetReadableFileTypes(std::vector<const char16_t*>*) {}
HBITMAP CLorimoPlugin::ReadImageFromDisk(const char16_t*, SIZE*) { return nullptr; }
int CLorimoPlugin::WriteImageToDisk(const char16_t*, HBITMAP) { return 0; }
int CLorimoPlugin::GetToolBoxBtnState(int) { return 0; }
int CLorimoPlugin::GetToolViewBtnState(int) { return 0; }
unsigned long CLorimoPlugin::GetNotifyMask() { return 0; }
void CLorimoPlugin::OnLorimoNotification(unsigned long, uintptr_t, intptr_t) {}
HBITMAP CLorimoPlugin::ProvideThumbnailForFile(const char16_t*, SIZE*) { return nullptr; }

HWND CLorimoPlugin::GetLorimoFrameWindow() const { return gFrameWindow; }
HWND CLorimoPlugin::GetLorimoContentWindow() const { return gContentWindow; }
const char16_t* CLorimoPlugin::GetLastErrorMessage() const { return gLastError.c_str(); }

intptr_t CLorimoPlugin::SendRequest(tagLORIMOPLUGINREQUEST& request) {
  if (request.nRequest < 0 || request.nRequest > LPR_LAST) return -1;
  request.pPlugin = this;
  return SendMessage(gFrameWindow, PluginMessage(), reinterpret_cast<WPARAM>(&request), 0);
}

namespace {

tagLORIMOPLUGINREQUEST Request(LORIMOREQUEST code, uintptr_t p0 = 0, uintptr_t p1 = 0,
                               uintptr_t p2 = 0, uintptr_t p3 = 0) {
  tagLORIMOPLUGINREQUEST request;
  request.nRequest = code;
  request.aParam[0] = p0;
  request.aParam[1] = p1;
  request.aParam[2] = p2;
  request.aParam[3] = p3;
  return request;
}

template <typename T>
uintptr_t P(T* pointer) {
  return reinterpret_cast<uintptr_t>(pointer);
}

// Failed reads answer with the address of the program's error text; small
// results are codes. No address is that low.
void KeepReadError(intptr_t result) {
  if (result == 0)
    gLastError = u"Lorimo did not answer.";
  else if (result == LORIMO_ERR_BADARG)
    gLastError = u"Bad argument.";
  else if (uintptr_t(result) < 0x10000)
    gLastError = u"The request failed.";
  else
    gLastError = reinterpret_cast<const char16_t*>(result);
}

// The buffers made here are exactly CLorimoImageBuffer; the destructor is
// non-virtual by the exchanged layout.
void DeleteBuffer(CLorimoImageBuffer* buffer) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdelete-non-virtual-dtor"
  delete buffer;
#pragma GCC diagnostic pop
}

}  // namespace

intptr_t CLorimoPlugin::RegisterNewTool(const char16_t* name) {
  auto request = Request(LPR_REGISTER_NEW_TOOL, P(name));
  return SendRequest(request);
}

HBITMAP CLorimoPlugin::ReadImage(const char16_t* file) {
  HBITMAP bitmap = nullptr;
  auto request = Request(LPR_READ_IMAGE, P(file), P(&bitmap));
  const intptr_t result = SendRequest(request);
  if (result == 1 && bitmap) return bitmap;
  DeleteBitmap32(bitmap);
  KeepReadError(result);
  return nullptr;
}

intptr_t CLorimoPlugin::WriteImage(const char16_t* file, SIZE size, const uint8_t* rgbaPixels) {
  auto request = Request(LPR_WRITE_IMAGE, P(file), P(&size), P(rgbaPixels));
  return SendRequest(request);
}

intptr_t CLorimoPlugin::FlipFlopImage(HBITMAP* bitmap, int flip, int flop) {
  auto request =
      Request(LPR_FLIP_FLOP_IMAGE, P(bitmap), uintptr_t(flip != 0), uintptr_t(flop != 0));
  return SendRequest(request);
}

intptr_t CLorimoPlugin::GetSupportedFileList(std::vector<std::u16string>& extensions) {
  auto request = Request(LPR_GET_SUPPORTED_FILE_LIST, P(&extensions));
  return SendRequest(request);
}

intptr_t CLorimoPlugin::GetDimensions(const char16_t* file, SIZE* size) {
  auto request = Request(LPR_GET_DIMENSIONS, P(file), P(size));
  return SendRequest(request);
}

HBITMAP CLorimoPlugin::RescaleBitmap(HBITMAP bitmap, int width, int height) {
  HBITMAP result = nullptr;
  auto request = Request(LPR_RESCALE_BITMAP, P(bitmap), uintptr_t(intptr_t(width)),
                         uintptr_t(intptr_t(height)), P(&result));
  if (SendRequest(request) != 1) {
    DeleteBitmap32(result);
    return nullptr;
  }
  return result;
}

intptr_t CLorimoPlugin::CreateMPEG(const char16_t* file, const std::vector<LORIMO_FRAME*>& frames,
                                   int quality) {
  // The program reads an array of frames, not the plug-in's vector.
  std::vector<LORIMO_FRAME> copied;
  copied.reserve(frames.size());
  for (const LORIMO_FRAME* frame : frames) copied.push_back(frame ? *frame : LORIMO_FRAME{});
  auto request = Request(LPR_CREATE_MPEG, P(file), P(copied.data()), copied.size(),
                         uintptr_t(intptr_t(quality)));
  return SendRequest(request);
}

intptr_t CLorimoPlugin::RegisterNewToolboxButton(_stToolboxButton* button) {
  auto request = Request(LPR_REGISTER_TOOLBOX_BUTTON, P(button));
  return SendRequest(request);
}

intptr_t CLorimoPlugin::UnregisterToolboxButton(int nCommandID) {
  auto request = Request(LPR_UNREGISTER_TOOLBOX_BUTTON, uintptr_t(intptr_t(nCommandID)));
  return SendRequest(request);
}

intptr_t CLorimoPlugin::RegisterNewDockWindow(_stDockWindow* dock) {
  auto request = Request(LPR_REGISTER_DOCK_WINDOW, P(dock));
  return SendRequest(request);
}

intptr_t CLorimoPlugin::RefreshToolboxButtonsState() {
  auto request = Request(LPR_REFRESH_BUTTONS, 0);
  return SendRequest(request);
}

intptr_t CLorimoPlugin::RefreshToolviewButtonsState() {
  auto request = Request(LPR_REFRESH_BUTTONS, 1);
  return SendRequest(request);
}

unsigned long CLorimoPlugin::GetSortingMode() {
  auto request = Request(LPR_GET_SORTING_MODE);
  return static_cast<unsigned long>(SendRequest(request));
}

intptr_t CLorimoPlugin::RegisterAsCodec() {
  auto request = Request(LPR_REGISTER_AS_CODEC);
  return SendRequest(request);
}

intptr_t CLorimoPlugin::SelectToolboxButton(int nCommandID) {
  auto request = Request(LPR_SELECT_TOOLBOX_BUTTON, uintptr_t(intptr_t(nCommandID)));
  return SendRequest(request);
}

intptr_t CLorimoPlugin::SaveDockPosition() {
  auto request = Request(LPR_SAVE_DOCK_POSITION);
  return SendRequest(request);
}

intptr_t CLorimoPlugin::BeginAsyncRegistration() {
  auto request = Request(LPR_ASYNC_REGISTRATION, 0);
  return SendRequest(request);
}

intptr_t CLorimoPlugin::EndAsyncRegistration() {
  auto request = Request(LPR_ASYNC_REGISTRATION, 1);
  return SendRequest(request);
}

CLorimoImageBuffer* CLorimoPlugin::ReadImageBuffer(const char16_t* file) {
  auto* buffer = new CLorimoImageBuffer;
  auto request = Request(LPR_READ_IMAGE_BUFFER, P(buffer), P(file));
  const intptr_t result = SendRequest(request);
  if (result == 1) return buffer;
  DeleteBuffer(buffer);
  KeepReadError(result);
  return nullptr;
}

intptr_t CLorimoPlugin::DisplayImageBuffer(CLorimoImageBuffer* buffer) {
  auto request = Request(LPR_DISPLAY_IMAGE_BUFFER, P(buffer));
  return SendRequest(request);
}

CLorimoImageBuffer* CLorimoPlugin::TransferImageBuffer() {
  auto* buffer = new CLorimoImageBuffer;
  auto request = Request(LPR_TRANSFER_IMAGE_BUFFER, P(buffer));
  if (SendRequest(request) == 1) return buffer;
  DeleteBuffer(buffer);
  return nullptr;
}

intptr_t CLorimoPlugin::RegisterNewFilter(CLorimoPluginFilter* filter) {
  if (filter) filter->m_pPlugin = this;
  auto request = Request(LPR_REGISTER_NEW_FILTER, P(filter));
  return SendRequest(request);
}

CLorimoPluginFilter::CLorimoPluginFilter(const char16_t* name, unsigned int templateID)
    : m_strName(name ? name : u""), m_nTemplateID(templateID) {}

unsigned long CLorimoPluginFilter::ApplyLorimoStockFilter(LORIMOSTOCKFILTER id,
                                                          CLorimoImageBuffer* buffer, ...) {
  if (id < 0 || id >= LSF_COUNT) return static_cast<unsigned long>(-1);
  tagLORIMOSTOCKFILTERPARAMS params;
  params.nFilter = id;
  params.nShape = kStockFilterShapes[id];
  params.pBuffer = buffer;
  if (params.nShape == kStockShapeNotAvailable) return LORIMO_ERR_NOTAVAILABLE;

  // How many 32-bit values, then doubles, each shape carries.
  static constexpr int kInts[20] = {3, 1, 0, 1, 0, 0, 0, 0, 2, 0, 0, 1, 0, 0, 1, 1, 3, 0, 0, 0};
  static constexpr int kDoubles[20] = {0, 0, 2, 0, 1, 0, 2, 1, 0, 2, 2, 0, 1, 2, 0, 0, 0, 2, 1, 0};
  va_list args;
  va_start(args, buffer);
  if (params.nShape == 5) {
    // A flag, then one double when it is set, else three.
    params.nValues[0] = va_arg(args, int);
    params.nValueCount = 1;
    params.nDoubleCount = params.nValues[0] ? 1 : 3;
  } else {
    params.nValueCount = kInts[params.nShape];
    params.nDoubleCount = kDoubles[params.nShape];
    for (int i = 0; i < params.nValueCount; ++i) params.nValues[i] = va_arg(args, int);
  }
  for (int i = 0; i < params.nDoubleCount; ++i) params.dValues[i] = va_arg(args, double);
  va_end(args);

  if (!m_pPlugin) return 0;
  auto request = Request(LPR_APPLY_STOCK_FILTER, P(&params));
  return static_cast<unsigned long>(m_pPlugin->SendRequest(request));
}
