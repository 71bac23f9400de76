#pragma once
// Scanning through SANE: the devices, their options, and pages read into
// GraphicsMagick images. A scanner object is used by one thread at a time;
// Cancel may come from any thread. Failures return 0 with the reason in
// GetLastError (SANE's own text for the device's status).

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <Magick++.h>
#include <sane/sane.h>

#include "corekit/mystring.h"

struct tagSANEDEVICE {
  std::string strName;   // "test:0", "epson2:libusb:001:004"
  std::string strLabel;  // vendor model, for people
};

// One option as a dialog shows it.
struct tagSANEOPTION {
  std::string strName;
  std::string strTitle;
  SANE_Value_Type nType = SANE_TYPE_INT;
  SANE_Unit nUnit = SANE_UNIT_NONE;
  std::vector<std::string> choices;  // a string list, else empty
  double dMin = 0, dMax = 0;         // a range, else both 0
  std::string strValue;
  bool bActive = true;
};

// Turns the frames SANE sends into one picture: grey (1 bit, a set bit
// black; 8; 16), RGB (8, 16), three single-colour frames, lines of unknown
// count (-1, a hand scanner), lines padded past their pixels. Sizes are
// checked before anything is allocated.
class CScanAssembler {
 public:
  // Largest side and pixel count accepted.
  static constexpr int kMaxSide = 1 << 16;
  static constexpr uint64_t kMaxPixels = uint64_t(1) << 28;

  // A new frame. 0 (and *error) for parameters that cannot be read or do
  // not fit the frames before.
  int BeginFrame(const SANE_Parameters& parameters, MyString* error);
  // Bytes of the frame, in any pieces. 0 when an unknown-length frame grows
  // past the limits.
  int Add(const uint8_t* data, size_t size, MyString* error);
  // The frame is complete (a part line left over is dropped).
  void EndFrame();
  // The picture of the frames so far. 0 when nothing arrived.
  int Finish(Magick::Image* image, MyString* error) const;
  // 0-100 of the current frame when its length is known, else -1.
  int Percent() const;

 private:
  void DecodeLine(const uint8_t* line);

  SANE_Parameters m_params{};
  int m_nWidth = 0;
  int m_nLines = 0;  // lines of the picture so far
  int m_nFrameLine = 0;
  std::vector<uint16_t> m_samples;  // RGB per pixel
  std::vector<uint8_t> m_partial;   // bytes of an incomplete line
  bool m_bGrey = true;              // only grey frames so far
};

class CSaneScanner {
 public:
  CSaneScanner();
  ~CSaneScanner();
  CSaneScanner(const CSaneScanner&) = delete;
  CSaneScanner& operator=(const CSaneScanner&) = delete;

  // sane_init, counted: each successful Init needs an Exit.
  static int Init(MyString* error = nullptr);
  static void Exit();
  // The devices SANE finds (may take seconds: call it on a worker).
  static int ListDevices(std::vector<tagSANEDEVICE>* devices, MyString* error = nullptr);

  // Opens name; empty: SANE_DEFAULT_DEVICE from the environment, else the
  // first device found.
  int Open(const std::string& name);
  void Close();
  bool IsOpen() const { return m_handle != nullptr; }
  const std::string& GetDeviceName() const { return m_strDevice; }

  std::vector<tagSANEOPTION> GetOptions() const;
  // Sets an option from text ("Color", "300", "yes", "12.5"). 1 or 0.
  int SetOption(const std::string& name, const std::string& value);
  std::string GetOption(const std::string& name) const;
  // The source option names a document feeder.
  bool IsFeeder() const;

  // Reads one page. 1 and *image; -1 when the feeder is empty (no page,
  // no error); 0 on failure or Cancel (GetLastError, GetLastStatus).
  // progress hears 0 as each frame starts, then the percentage read (-1
  // while the length is unknown).
  int ScanPage(Magick::Image* image, const std::function<void(int percent)>& progress = {});
  // Ends a run of pages (after the last one, or to give up).
  void EndScan();
  // Stops a scan in progress; callable from any thread.
  void Cancel();

  const MyString& GetLastError() const { return m_strLastError; }
  SANE_Status GetLastStatus() const { return m_nLastStatus; }

 private:
  int Fail(SANE_Status status, const char* what);
  int FindOption(const std::string& name) const;

  SANE_Handle m_handle = nullptr;
  std::string m_strDevice;
  std::atomic<bool> m_bCancelled{false};
  MyString m_strLastError;
  SANE_Status m_nLastStatus = SANE_STATUS_GOOD;
};
