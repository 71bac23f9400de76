#include "corekit/dll2lorimo.h"

#include <atomic>

namespace {

std::atomic<HWND> gLorimoWindow{nullptr};

// Null for an empty text, so the program sees "not given".
const char16_t* OrNull(const MyString& text) { return text.IsEmpty() ? nullptr : text.c_str(); }

LRESULT SendRequest(int32_t request, tagDLL2LORIMOMESSAGE& record) {
  record.nRequest = request;
  return CDll2LorimoMessage::Send(&record);
}

}  // namespace

void CDll2LorimoMessage::LorimoInit(HWND mainWindow) {
  GetMessageId();
  gLorimoWindow = mainWindow;
}

HWND CDll2LorimoMessage::GetLorimoWindow() { return gLorimoWindow; }

UINT CDll2LorimoMessage::GetMessageId() {
  static const UINT id = RegisterWindowMessage(kDll2LorimoMessageName);
  return id;
}

LRESULT CDll2LorimoMessage::Send(tagDLL2LORIMOMESSAGE* record) {
  const HWND window = gLorimoWindow;
  if (!record || !window) return 0;
  return SendMessage(window, GetMessageId(), reinterpret_cast<WPARAM>(record), 0);
}

HWND CDll2LorimoMessage::GetMainWindow() {
  tagDLL2LORIMOMESSAGE record;
  return reinterpret_cast<HWND>(SendRequest(DLL2LORIMO_GET_MAIN_WINDOW, record));
}

HWND CDll2LorimoMessage::GetViewerWindow() {
  tagDLL2LORIMOMESSAGE record;
  return reinterpret_cast<HWND>(SendRequest(DLL2LORIMO_GET_VIEWER_WINDOW, record));
}

void CDll2LorimoMessage::AcquireUsingWIA(const MyString& device) {
  tagDLL2LORIMOMESSAGE record;
  record.pszDevice = OrNull(device);
  SendRequest(DLL2LORIMO_ACQUIRE_USING_WIA, record);
}

void CDll2LorimoMessage::WIADeviceRemoved(const MyString& device) {
  tagDLL2LORIMOMESSAGE record;
  record.pszDevice = OrNull(device);
  SendRequest(DLL2LORIMO_WIA_DEVICE_REMOVED, record);
}

void CDll2LorimoMessage::DisplayDirectoryImages(const MyString& folder) {
  tagDLL2LORIMOMESSAGE record;
  record.pszPath = folder.c_str();
  SendRequest(DLL2LORIMO_DISPLAY_DIRECTORY_IMAGES, record);
}

HBITMAP CDll2LorimoMessage::ReadImage(const MyString& path, const SIZE* requestedSize,
                                      SIZE* fileSize) {
  if (path.IsEmpty()) return nullptr;
  tagDLL2LORIMOMESSAGE record;
  record.pszPath = path.c_str();
  record.pInputSize = requestedSize;
  record.pOutputSize = fileSize;
  return reinterpret_cast<HBITMAP>(SendRequest(DLL2LORIMO_READ_IMAGE, record));
}

int CDll2LorimoMessage::IsLorimoFile(const MyString& path) {
  if (path.IsEmpty()) return 0;
  tagDLL2LORIMOMESSAGE record;
  record.pszPath = path.c_str();
  return SendRequest(DLL2LORIMO_IS_LORIMO_FILE, record) ? 1 : 0;
}

uint8_t* CDll2LorimoMessage::CopyPixels(const MyString& path, SIZE* size) {
  if (!size) return nullptr;
  tagDLL2LORIMOMESSAGE record;
  record.pszPath = OrNull(path);
  record.pOutputSize = size;
  return reinterpret_cast<uint8_t*>(SendRequest(DLL2LORIMO_COPY_PIXELS, record));
}

int CDll2LorimoMessage::ReplacePixels(const uint8_t* pixels, const SIZE& size) {
  if (!pixels || BitmapBytes(size.cx, size.cy) == 0) return 0;
  SIZE outputSize = size;
  tagDLL2LORIMOMESSAGE record;
  // The program only reads the buffer.
  record.pPixels = const_cast<uint8_t*>(pixels);
  record.pOutputSize = &outputSize;
  // The program answers 0 for this request; reaching it is the success.
  if (!IsWindow(gLorimoWindow)) return 0;
  SendRequest(DLL2LORIMO_REPLACE_PIXELS, record);
  return 1;
}

int CDll2LorimoMessage::GetImageDim(const MyString& path, SIZE* size) {
  if (path.IsEmpty() || !size) return 0;
  tagDLL2LORIMOMESSAGE record;
  record.pszPath = path.c_str();
  record.pOutputSize = size;
  return SendRequest(DLL2LORIMO_GET_IMAGE_DIM, record) ? 1 : 0;
}

int CDll2LorimoMessage::WriteImage(const MyString& source, const MyString& target,
                                   const SIZE* newSize, int16_t filter) {
  if (source.IsEmpty() || target.IsEmpty()) return 0;
  SIZE size;
  tagDLL2LORIMOMESSAGE record;
  record.pszPath = source.c_str();
  record.pszPath2 = target.c_str();
  if (newSize) {
    size = *newSize;
    record.pOutputSize = &size;
  }
  record.nParam = filter;
  return SendRequest(DLL2LORIMO_WRITE_IMAGE, record) ? 1 : 0;
}

HBITMAP CDll2LorimoMessage::GetThumbnail(const MyString& path, const SIZE& size, int16_t option) {
  if (path.IsEmpty()) return nullptr;
  SIZE outputSize = size;
  tagDLL2LORIMOMESSAGE record;
  record.pszPath = path.c_str();
  record.pOutputSize = &outputSize;
  record.nParam = option;
  return reinterpret_cast<HBITMAP>(SendRequest(DLL2LORIMO_THUMBNAIL, record));
}
