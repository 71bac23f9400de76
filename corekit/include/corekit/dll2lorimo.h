#pragma once
// The image service: how a library asks the program for an image, its size,
// a resized copy, a file-type test, an acquisition or a folder display. Each
// request fills a record and sends the registered message
// "Dll2LorimoMessage_V1" to the main window with the record's address as
// wParam (lParam 0); the message result is the request's result. Requests
// may come from any thread: the program answers on its GUI thread while the
// caller waits.

#include <cstdint>

#include "corekit/bitmap.h"
#include "corekit/messages.h"
#include "corekit/mystring.h"

constexpr char16_t kDll2LorimoMessageName[] = u"Dll2LorimoMessage_V1";

enum Dll2LorimoRequest : int32_t {
  DLL2LORIMO_GET_MAIN_WINDOW = 1,
  DLL2LORIMO_GET_VIEWER_WINDOW = 2,
  DLL2LORIMO_ACQUIRE_USING_WIA = 3,
  DLL2LORIMO_DISPLAY_DIRECTORY_IMAGES = 4,
  DLL2LORIMO_READ_IMAGE = 6,
  DLL2LORIMO_IS_LORIMO_FILE = 7,
  DLL2LORIMO_WIA_DEVICE_REMOVED = 8,
  DLL2LORIMO_COPY_PIXELS = 9,
  DLL2LORIMO_REPLACE_PIXELS = 10,
  DLL2LORIMO_GET_IMAGE_DIM = 11,
  DLL2LORIMO_WRITE_IMAGE = 12,
  DLL2LORIMO_THUMBNAIL = 13,
};

// The request record, fields in their historical order. It lives on the
// caller's stack for the duration of the send; pointers in it are the
// caller's. Null pointers mean "not given".
struct tagDLL2LORIMOMESSAGE {
  int32_t nRequest = 0;                 // a Dll2LorimoRequest
  const SIZE* pInputSize = nullptr;     // requested size (size hint)
  SIZE* pOutputSize = nullptr;          // size filled in, or target size
  const char16_t* pszDevice = nullptr;  // device id of an acquisition
  const char16_t* pszPath2 = nullptr;   // second path (write target)
  const char16_t* pszPath = nullptr;    // the file or folder
  uint8_t* pPixels = nullptr;           // BGRA pixels in or out
  int16_t nParam = 0;                   // resize filter or thumbnail option
};

// The sending side. State is process-wide: the program calls LorimoInit once
// its main window exists, and every library then uses the same window.
// Without a main window every request returns 0.
class CDll2LorimoMessage {
 public:
  static void LorimoInit(HWND mainWindow);
  static HWND GetLorimoWindow();
  // The message id of "Dll2LorimoMessage_V1".
  static UINT GetMessageId();

  // Requests 1 and 2: the program's main and viewer windows, or null.
  static HWND GetMainWindow();
  static HWND GetViewerWindow();
  // Request 3: a camera or card was connected (empty device: open the manual
  // transfer dialog). Request 8: the device is gone.
  static void AcquireUsingWIA(const MyString& device);
  static void WIADeviceRemoved(const MyString& device);
  // Request 4: the viewer shows the images of the folder.
  static void DisplayDirectoryImages(const MyString& folder);
  // Request 6: the image read as a bitmap, scaled for requestedSize when one
  // is given; fileSize, when given, receives the file's own size. The caller
  // frees the result with DeleteBitmap32. Null on failure.
  static HBITMAP ReadImage(const MyString& path, const SIZE* requestedSize = nullptr,
                           SIZE* fileSize = nullptr);
  // Request 7: 1 when the program can read files with this path's extension.
  static int IsLorimoFile(const MyString& path);
  // Request 9: BGRA pixels of the file, or of the viewer's image when path is
  // empty; size receives width and height. Freed with FreePixelBuffer.
  static uint8_t* CopyPixels(const MyString& path, SIZE* size);
  // Request 10: the BGRA pixels (size.cx x size.cy) become the viewer's image.
  static int ReplacePixels(const uint8_t* pixels, const SIZE& size);
  // Request 11: 1 and the file's size from its header only, else 0.
  static int GetImageDim(const MyString& path, SIZE* size);
  // Request 12: loads source, resizes it to newSize when one is given (with
  // resize filter filter unless it is -1) and saves it as target (format by
  // extension). 1 when saved.
  static int WriteImage(const MyString& source, const MyString& target,
                        const SIZE* newSize = nullptr, int16_t filter = -1);
  // Request 13: a size.cx x size.cy bitmap with the file's thumbnail, drawn
  // with option (background colour); freed with DeleteBitmap32. Null on failure.
  static HBITMAP GetThumbnail(const MyString& path, const SIZE& size, int16_t option);

  // Sends a filled record to the main window; 0 without one.
  static LRESULT Send(tagDLL2LORIMOMESSAGE* record);
};
