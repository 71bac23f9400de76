#pragma once
// The plug-in kit: the classes a plug-in builds on and the records it
// exchanges with the program. A plug-in derives from CLorimoPlugin, hands
// one instance out through LORIMO_PLUGIN_EXPORTS and calls the program back
// with the protected request members, which send the registered message
// "LORIMO_PLUGIN_MESSAGE_2004" to the program's main window with a
// tagLORIMOPLUGINREQUEST as wParam (lParam 0). Requests are synchronous and
// run on the program's GUI thread; send them from a thread that may block.
//
// Every record field that can hold a pointer is pointer-sized, so nothing is
// cut on 64-bit systems. Wide text is UTF-16; bitmaps are corekit's 32-bit
// top-down BGRA bitmaps; image buffers are top-down RGBA.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "corekit/bitmap.h"
#include "corekit/messages.h"
#include "frameloom/pluginexports.h"

class CLorimoPlugin;
class CLorimoPluginFilter;
class CLorimoImageBuffer;
class QWidget;

constexpr char16_t kLorimoPluginMessageName[] = u"LORIMO_PLUGIN_MESSAGE_2004";

// Copies text into one of the fixed text fields below, cut to fit and
// always ended by 0.
template <size_t N>
void LorimoCopyText(char16_t (&target)[N], const char16_t* text) {
  size_t n = 0;
  for (; text && text[n] && n + 1 < N; ++n) target[n] = text[n];
  target[n] = 0;
}

// The program's own result codes.
constexpr intptr_t LORIMO_ERR_BADARG = 54078;        // bad argument or unreadable file
constexpr intptr_t LORIMO_ERR_NOTAVAILABLE = 54079;  // stock filter not available, not ready
constexpr intptr_t LORIMO_ERR_NOIMAGE = 54080;       // no current image

// Notifications (OnLorimoNotification's type). Others may come; ignore them.
enum LORIMONOTIFY : unsigned long {
  LN_FILE_OPENING = 1,     // text: the path about to be read; data 0
  LN_LBUTTON_DOWN = 8,     // data: const RECT* of the image on screen; to image tools only
  LN_TOOLBOX_BUTTON = 16,  // text: the new state (0 or 1); data: the button's command id
  LN_LBUTTON_UP = 32,      // as LN_LBUTTON_DOWN
};

enum LORIMOREQUEST : intptr_t {
  LPR_REGISTER_NEW_TOOL = 0,
  LPR_READ_IMAGE = 1,
  LPR_WRITE_IMAGE = 2,
  LPR_FLIP_FLOP_IMAGE = 3,
  LPR_GET_SUPPORTED_FILE_LIST = 4,
  LPR_GET_DIMENSIONS = 5,
  LPR_RESCALE_BITMAP = 6,
  LPR_CREATE_MPEG = 7,
  LPR_REGISTER_TOOLBOX_BUTTON = 8,
  LPR_UNREGISTER_TOOLBOX_BUTTON = 9,
  LPR_REGISTER_DOCK_WINDOW = 10,
  LPR_REFRESH_BUTTONS = 11,
  LPR_GET_SORTING_MODE = 12,
  LPR_REGISTER_AS_CODEC = 13,
  LPR_SELECT_TOOLBOX_BUTTON = 14,
  LPR_SAVE_DOCK_POSITION = 15,
  LPR_ASYNC_REGISTRATION = 16,
  LPR_READ_IMAGE_BUFFER = 17,
  LPR_DISPLAY_IMAGE_BUFFER = 18,
  LPR_TRANSFER_IMAGE_BUFFER = 19,
  LPR_REGISTER_NEW_FILTER = 20,
  LPR_APPLY_STOCK_FILTER = 21,
  LPR_LAST = LPR_APPLY_STOCK_FILTER,
};

// The request record. It lives on the plug-in's stack for the duration of
// the send and starts zeroed. aParam per code (unlisted slots stay 0):
//   0  [0] const char16_t* name
//   1  [0] const char16_t* file, [1] HBITMAP* result
//   2  [0] const char16_t* file, [1] const SIZE*, [2] const uint8_t* RGBA pixels
//   3  [0] HBITMAP* bitmap (replaced), [1] flip top-bottom, [2] flop left-right
//   4  [0] std::vector<std::u16string>*
//   5  [0] const char16_t* file, [1] SIZE* result
//   6  [0] HBITMAP source, [1] width, [2] height, [3] HBITMAP* result
//   7  [0] const char16_t* file, [1] const LORIMO_FRAME* frames, [2] count, [3] quality
//   8  [0] _stToolboxButton*          9, 14  [0] command id
//   10 [0] _stDockWindow*              11, 16 [0] 0 or 1
//   17 [0] CLorimoImageBuffer*, [1] const char16_t* file
//   18, 19 [0] CLorimoImageBuffer*
//   20 [0] CLorimoPluginFilter*        21 [0] tagLORIMOSTOCKFILTERPARAMS*
// Read failures (1, 17) return the address of the program's error text,
// which the plug-in copies; success returns 1.
struct tagLORIMOPLUGINREQUEST {
  intptr_t nRequest = 0;
  CLorimoPlugin* pPlugin = nullptr;
  uintptr_t aParam[4] = {};
};
static_assert(offsetof(tagLORIMOPLUGINREQUEST, nRequest) == 0);
static_assert(offsetof(tagLORIMOPLUGINREQUEST, pPlugin) == sizeof(void*));
static_assert(offsetof(tagLORIMOPLUGINREQUEST, aParam) == 2 * sizeof(void*));
static_assert(sizeof(tagLORIMOPLUGINREQUEST) == 6 * sizeof(void*));

// What "Installed Plugins" shows; NUL-terminated UTF-16 in fixed arrays.
struct CLorimoPluginInfo {
  char16_t szName[100];
  char16_t szDescription[200];
  uint32_t dwReserved;  // the program sets 0 before asking
  char16_t szDeveloper[100];
  char16_t szWebAddress[100];
  char16_t szSupportPhone[100];
};
static_assert(offsetof(CLorimoPluginInfo, szDescription) == 200);
static_assert(offsetof(CLorimoPluginInfo, dwReserved) == 600);
static_assert(offsetof(CLorimoPluginInfo, szDeveloper) == 604);
static_assert(offsetof(CLorimoPluginInfo, szWebAddress) == 804);
static_assert(offsetof(CLorimoPluginInfo, szSupportPhone) == 1004);
static_assert(sizeof(CLorimoPluginInfo) == 1204);

// One frame of a movie (request 7): the bitmap stays the caller's.
struct LORIMO_FRAME {
  HBITMAP hBitmap = nullptr;
  uint32_t dwDuration = 0;  // milliseconds
};
static_assert(offsetof(LORIMO_FRAME, dwDuration) == sizeof(void*));
static_assert(sizeof(LORIMO_FRAME) == 2 * sizeof(void*));

// A toolbox button (request 8). The bitmaps stay the plug-in's.
struct _stToolboxButton {
  uintptr_t dwReserved1 = 0;  // not read
  uintptr_t dwReserved2 = 0;  // not read
  HBITMAP hNormal = nullptr;
  HBITMAP hHot = nullptr;
  HBITMAP hSelected = nullptr;
  HBITMAP hDisabled = nullptr;
  const char16_t* pszText = nullptr;
  intptr_t bImageTool = 0;  // the plug-in wants mouse presses in the image while selected
};
static_assert(offsetof(_stToolboxButton, hNormal) == 2 * sizeof(void*));
static_assert(offsetof(_stToolboxButton, pszText) == 6 * sizeof(void*));
static_assert(sizeof(_stToolboxButton) == 8 * sizeof(void*));

// A dock window (request 10). hWnd is the receiver handle
// (CreateMessageReceiver) of the plug-in's widget, which the dock holds.
struct _stDockWindow {
  const char16_t* pszName = nullptr;
  int32_t nLeft = 0;
  int32_t nTop = 0;
  int32_t nWidth = 0;
  int32_t nHeight = 0;
  uintptr_t dwReserved[3] = {};  // not read
  HWND hWnd = nullptr;
};
static_assert(offsetof(_stDockWindow, nLeft) == sizeof(void*));
static_assert(offsetof(_stDockWindow, dwReserved) == sizeof(void*) + 16);
static_assert(offsetof(_stDockWindow, hWnd) == 4 * sizeof(void*) + 16);

// The program's stock filters, in its catalogue order.
enum LORIMOSTOCKFILTER : int32_t {
  LSF_ADAPTIVE_THRESHOLD = 0,
  LSF_ADD_NOISE,
  LSF_BLUR,
  LSF_CHARCOAL,
  LSF_CONTRAST,
  LSF_EDGE,
  LSF_EMBOSS,
  LSF_GAMMA,
  LSF_GAUSSIAN_BLUR,
  LSF_IMPLODE,
  LSF_MEDIAN_FILTER,
  LSF_OIL_PAINT,
  LSF_ROLL,
  LSF_SHADE,
  LSF_SHARPEN,
  LSF_SHEAR,
  LSF_SOLARIZE,
  LSF_SPREAD,
  LSF_SWIRL,
  LSF_WAVE,
  LSF_COLORIZE,
  LSF_CYCLE_COLORMAP,
  LSF_MATTE_FLOODFILL,
  LSF_NEGATE,
  LSF_OPACITY,
  LSF_OPAQUE,
  LSF_RAISE,
  LSF_SEGMENT,
  LSF_THRESHOLD,
  LSF_TRANSPARENT,
  LSF_ENHANCE,
  LSF_EQUALIZE,
  LSF_COUNT
};
static_assert(LSF_COUNT == 32);

// The parameter shape of each stock filter; kStockShapeNotAvailable: the
// program has no form of it for plug-ins.
constexpr int kStockShapeNotAvailable = 20;
constexpr int kStockFilterShapes[LSF_COUNT] = {0,  1,  2,  2,  3,  4,  2,  5,  6,  7,  4,
                                               4,  8,  9,  2,  10, 7,  11, 12, 13, 20, 14,
                                               20, 15, 14, 20, 16, 17, 18, 20, 19, 19};

// Request 21's record: the values of the variable arguments in the slots of
// their shape: 32-bit values in nValues, doubles in dValues, in the order
// given. Shape 5 (Gamma) puts its flag in nValues[0].
struct tagLORIMOSTOCKFILTERPARAMS {
  int32_t nFilter = 0;  // a LORIMOSTOCKFILTER
  int32_t nShape = 0;
  CLorimoImageBuffer* pBuffer = nullptr;
  int32_t nValues[3] = {};
  int32_t nValueCount = 0;
  double dValues[3] = {};
  int32_t nDoubleCount = 0;
};

// A 32-bit image shared by program and plug-in: top row first, bytes
// R, G, B, A. Owns its pixels (new[] / delete[]). The destructor is not
// virtual: delete a buffer through its own type.
class CLorimoImageBuffer {
 public:
  CLorimoImageBuffer() = default;
  ~CLorimoImageBuffer() { delete[] m_data.pPixels; }
  CLorimoImageBuffer(const CLorimoImageBuffer&) = delete;
  CLorimoImageBuffer& operator=(const CLorimoImageBuffer&) = delete;

  virtual void Width(unsigned int width) { m_data.nWidth = width; }
  virtual unsigned int Width() { return m_data.nWidth; }
  virtual void Height(unsigned int height) { m_data.nHeight = height; }
  virtual unsigned int Height() { return m_data.nHeight; }
  virtual void Valid(int valid) { m_data.bValid = valid; }
  virtual int Valid() { return m_data.bValid; }
  virtual void GrayScale(int gray) { m_data.bGrayScale = gray; }
  virtual int GrayScale() { return m_data.bGrayScale; }
  virtual int IsModified() { return m_data.bModified; }
  virtual uint8_t* GetPixels() { return m_data.pPixels; }
  virtual void Modify() { m_data.bModified = 1; }

  // The fields, in their exchanged order. The program fills them directly;
  // pixels it puts here are made with new[].
  struct tagDATA {
    uint8_t* pPixels = nullptr;
    uint32_t dwUnused = 0;
    uint32_t nWidth = 0;
    uint32_t nHeight = 0;
    int32_t bValid = 0;
    int32_t bGrayScale = 0;
    int32_t bModified = 0;
  };
  tagDATA m_data;
};
static_assert(offsetof(CLorimoImageBuffer::tagDATA, dwUnused) == sizeof(void*));
static_assert(offsetof(CLorimoImageBuffer::tagDATA, nWidth) == sizeof(void*) + 4);
static_assert(offsetof(CLorimoImageBuffer::tagDATA, bModified) == sizeof(void*) + 20);
static_assert(sizeof(CLorimoImageBuffer) == sizeof(void*) + sizeof(CLorimoImageBuffer::tagDATA));

// The plug-in object. The library owns it; the program never deletes it.
class CLorimoPlugin {
 public:
  // Slots in this order.
  virtual void ProcessCommand(int nCommandID) = 0;
  // Keeps both windows for the requests.
  virtual void RegisterPlugin(HWND hFrame, HWND hContent);
  // "Not specified" in name, description, developer and support phone.
  virtual void GetPluginInformation(CLorimoPluginInfo* pInfo);
  virtual int Shutdown();
  // Extensions, with or without the dot, read by ReadImageFromDisk.
  virtual void GetReadableFileTypes(std::vector<const char16_t*>* pTypes);
  // A new bitmap the program then owns; null when the file cannot be read.
  virtual HBITMAP ReadImageFromDisk(const char16_t* file, SIZE* size);
  // Writes the bitmap (it stays the program's) to file; 1 when written.
  virtual int WriteImageToDisk(const char16_t* file, HBITMAP bitmap);
  virtual int GetToolBoxBtnState(int nCommandID);
  virtual int GetToolViewBtnState(int nCommandID);
  virtual unsigned long GetNotifyMask();
  // type, then a text pointer and a data pointer (both pointer-sized).
  virtual void OnLorimoNotification(unsigned long type, uintptr_t text, intptr_t data);
  virtual HBITMAP ProvideThumbnailForFile(const char16_t* file, SIZE* size);

  HWND GetLorimoFrameWindow() const;
  HWND GetLorimoContentWindow() const;
  // The program's text of the last failed read; empty at first.
  const char16_t* GetLastErrorMessage() const;

 protected:
  ~CLorimoPlugin() = default;

  // The requests; see tagLORIMOPLUGINREQUEST. Each returns the program's
  // result (0 when the program is not there).
  intptr_t RegisterNewTool(const char16_t* name);
  // Null on failure, with the program's text in GetLastErrorMessage.
  HBITMAP ReadImage(const char16_t* file);
  intptr_t WriteImage(const char16_t* file, SIZE size, const uint8_t* rgbaPixels);
  // Replaces *bitmap by a flipped (top-bottom) and/or flopped copy.
  intptr_t FlipFlopImage(HBITMAP* bitmap, int flip, int flop);
  intptr_t GetSupportedFileList(std::vector<std::u16string>& extensions);
  intptr_t GetDimensions(const char16_t* file, SIZE* size);
  // A new bitmap, or null.
  HBITMAP RescaleBitmap(HBITMAP bitmap, int width, int height);
  // 1 when the movie was written.
  intptr_t CreateMPEG(const char16_t* file, const std::vector<LORIMO_FRAME*>& frames, int quality);
  intptr_t RegisterNewToolboxButton(_stToolboxButton* button);
  intptr_t UnregisterToolboxButton(int nCommandID);
  intptr_t RegisterNewDockWindow(_stDockWindow* dock);
  intptr_t RefreshToolboxButtonsState();
  intptr_t RefreshToolviewButtonsState();
  unsigned long GetSortingMode();
  intptr_t RegisterAsCodec();
  intptr_t SelectToolboxButton(int nCommandID);
  intptr_t SaveDockPosition();
  intptr_t BeginAsyncRegistration();
  intptr_t EndAsyncRegistration();
  // A new buffer (delete it), or null with the text in GetLastErrorMessage.
  CLorimoImageBuffer* ReadImageBuffer(const char16_t* file);
  intptr_t DisplayImageBuffer(CLorimoImageBuffer* buffer);
  // A new buffer with the current image, or null (no image).
  CLorimoImageBuffer* TransferImageBuffer();
  intptr_t RegisterNewFilter(CLorimoPluginFilter* filter);

  // Sends a filled record; codes above 21 are refused unsent (-1).
  intptr_t SendRequest(tagLORIMOPLUGINREQUEST& request);

  friend class CLorimoPluginFilter;
};

// A filter the plug-in adds to the program's process view (request 20).
class CLorimoPluginFilter {
 public:
  CLorimoPluginFilter(const char16_t* name, unsigned int templateID);

  // Runs on the working buffer, reading its settings from panel (the
  // receiver handle of the panel the plug-in made). Non-zero: success.
  virtual int ApplyFilter(HWND panel) = 0;
  virtual const char16_t* GetFilterDescription() { return m_strDescription.c_str(); }
  virtual const char16_t* GetFilterName() { return m_strName.c_str(); }
  virtual unsigned int GetFilterDlgTemplateID() { return m_nTemplateID; }
  virtual CLorimoImageBuffer* GetWorkingImageBuffer() { return &m_buffer; }

  void SetFilterDescription(const char16_t* description) {
    m_strDescription = description ? description : u"";
  }

  CLorimoPlugin* m_pPlugin = nullptr;  // set by RegisterNewFilter

 protected:
  ~CLorimoPluginFilter() = default;

  // Request 21: runs the program's filter id on buffer (the current image
  // when the buffer is not valid) with the arguments of its shape (int for
  // 32-bit values, double for doubles). 54079 for a filter the program does
  // not offer, unsent; -1 for an id past the table.
  unsigned long ApplyLorimoStockFilter(LORIMOSTOCKFILTER id, CLorimoImageBuffer* buffer, ...);

  CLorimoImageBuffer m_buffer;
  std::u16string m_strName;
  std::u16string m_strDescription;
  unsigned int m_nTemplateID = 0;
};

// The optional exports for what a plug-in's resources held elsewhere:
// a filter's panel for a template id, parented to parent (its receiver
// handle goes to ApplyFilter), and the plug-in's 32 x 32 icon as a bitmap
// the program then owns. Looked up with dlsym; either may be missing.
// A codec plug-in may also tell why the calling thread's last
// ReadImageFromDisk or WriteImageToDisk failed (empty text: no reason);
// the program shows it in its load failure.
extern "C" {
using PFN_CreateLorimoFilterPanel = QWidget* (*)(unsigned int templateID, QWidget* parent);
using PFN_GetLorimoPluginIcon = HBITMAP (*)();
using PFN_GetLorimoCodecError = const char16_t* (*)();
}
constexpr char kCreateFilterPanelExport[] = "CreateLorimoFilterPanel";
constexpr char kPluginIconExport[] = "GetLorimoPluginIcon";
constexpr char kCodecErrorExport[] = "GetLorimoCodecError";
