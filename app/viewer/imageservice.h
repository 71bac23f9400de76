#pragma once
// The program's side of the image service: the requests the libraries
// send to the main window with the registered message
// "Dll2LorimoMessage_V1". Owned by the main window, answered on the GUI
// thread. Buffers and bitmaps handed out belong to the requester (freed
// with FreePixelBuffer / DeleteBitmap32).

#include <QImage>
#include <functional>

#include <Magick++.h>

#include "corekit/dll2lorimo.h"
#include "corekit/messages.h"

class CImageDocument;

class CImageService {
 public:
  // mainWindow and viewerWindow are the handles requests 1 and 2 return;
  // the viewer's document is what requests 9 and 10 read and replace.
  CImageService(HWND mainWindow, HWND viewerWindow, CImageDocument* document);

  // Requests served by other parts of the program once they exist: the
  // acquisition library's transfer dialogs (3 connected, 8 removed) and the
  // thumbnail views (13). Without a handler, 3 and 8 do nothing and 13 draws
  // the thumbnail itself.
  std::function<void(const MyString& device, bool connected)> onDevice;
  std::function<HBITMAP(const MyString& path, const SIZE& size, int16_t option)> onThumbnail;
  // The viewer has redrawn after a pixel replace (10).
  std::function<void()> onImageReplaced;

  // True when msg is the service's message; *result is then its answer.
  bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // One request; the record is the caller's.
  LRESULT Handle(tagDLL2LORIMOMESSAGE* record);

  // A new BGRA bitmap of the image, fitted into fit (when given) without
  // enlarging; null on failure.
  static HBITMAP ImageToBitmap(const Magick::Image& image, const SIZE* fit = nullptr);
  // The thumbnail of request 13: the image fitted into size, centred on a
  // background of the system colour option; null when the file cannot be read.
  static HBITMAP MakeThumbnail(const MyString& path, const SIZE& size, int16_t option);
  // A thumbnail centred as MakeThumbnail's is; null for a null image.
  static HBITMAP CentreThumbnail(const QImage& thumbnail, const SIZE& size, int16_t option);

 private:
  LRESULT ReadImage(const tagDLL2LORIMOMESSAGE& record);
  LRESULT IsLorimoFile(const tagDLL2LORIMOMESSAGE& record);
  LRESULT CopyPixels(tagDLL2LORIMOMESSAGE& record);
  LRESULT ReplacePixels(const tagDLL2LORIMOMESSAGE& record);
  LRESULT GetImageDim(const tagDLL2LORIMOMESSAGE& record);
  LRESULT WriteImage(const tagDLL2LORIMOMESSAGE& record);

  HWND m_hMain;
  HWND m_hViewer;
  CImageDocument* m_pDocument;
};
