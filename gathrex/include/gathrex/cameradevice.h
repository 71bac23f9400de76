#pragma once
// A camera reached through libgphoto2: its files listed depth first, read
// into memory, their previews, and deleting. One thread at a time may use an
// object (libgphoto2's camera is not thread-safe); it may move between
// threads. A stop flag, when given, cancels a running read between blocks.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "corekit/mystring.h"

struct _Camera;
struct _GPContext;

// One file on the camera.
struct tagCAMERAFILE {
  MyString strFolder;  // "/store_00010001/DCIM/100CANON"
  MyString strName;    // as the camera names it
  int64_t nSize = -1;  // bytes, -1 when not known
  int64_t nTime = 0;   // seconds since 1970 (UTC), 0 when not known
  int nWidth = 0;      // 0 when not known
  int nHeight = 0;
};

// A connected camera as libgphoto2 sees it.
struct tagCAMERAPORT {
  MyString strModel;  // "Canon EOS 80D"
  MyString strPort;   // "usb:001,005"
};

class CCameraDevice {
 public:
  CCameraDevice();
  ~CCameraDevice();
  CCameraDevice(const CCameraDevice&) = delete;
  CCameraDevice& operator=(const CCameraDevice&) = delete;

  // Opens the camera on port ("usb:001,005", or "disk:<folder>" which serves
  // a folder as a camera). An empty model is looked up among the connected
  // cameras ("Directory Browse" for a disk port). 1 or 0 (GetLastError).
  int Open(const MyString& port, const MyString& model = {});
  void Close();
  bool IsOpen() const { return m_camera != nullptr; }

  // Every file, depth first through the folders. 1 or 0.
  int ListFiles(std::vector<tagCAMERAFILE>* files, const std::atomic<bool>* stop = nullptr);
  // The whole file, or its preview (a small JPEG) when preview is set.
  int ReadFile(const tagCAMERAFILE& file, std::string* data, bool preview = false,
               const std::atomic<bool>* stop = nullptr);
  int DeleteFile(const tagCAMERAFILE& file);

  const MyString& GetLastError() const { return m_strLastError; }
  // The last Open failed before reaching the device: libgphoto2 itself (its
  // drivers, its port list) could not be used.
  bool IsLibraryFailure() const { return m_bLibraryFailure; }

  // The cameras connected now (libgphoto2's autodetection). -1 when it fails.
  static int Autodetect(std::vector<tagCAMERAPORT>* cameras);

 private:
  int Fail(const char* what, int result);
  int ListFolder(const std::string& folder, std::vector<tagCAMERAFILE>* files,
                 const std::atomic<bool>* stop, int depth);

  _Camera* m_camera = nullptr;
  _GPContext* m_context = nullptr;
  const std::atomic<bool>* m_stop = nullptr;
  MyString m_strLastError;
  bool m_bLibraryFailure = false;
};
