#pragma once
// CPluginHost: finds the "*.LPL" files beside the program, tries each in the
// helper process, loads the ones it accepts, answers their requests
// ("LORIMO_PLUGIN_MESSAGE_2004" to the main window) and routes commands,
// notifications, codec reads and thumbnails to them. Plug-ins live until the
// program ends (Shutdown at exit; the libraries stay loaded).
//
// GUI thread, but for OfferToPlugins and ProvideThumbnail, which loading
// threads call; they use only the codec table, under its lock.

#include <QImage>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <Magick++.h>

#include "corekit/messages.h"
#include "corekit/mystring.h"
#include "frameloom/lorimoplugin.h"
#include "plugins/pluginprobing.h"

class CMainFrame;
class CToolbox;
class CToolViewDock;
class QWidget;

// Plug-in command ids: clear of the program's own (below 4000), of
// 54078-54080 (results) and of the favorites entries (60000 up).
inline constexpr int kFirstPluginCommand = 50000;
inline constexpr int kLastPluginCommand = 54077;

class CPluginHost : public QObject {
  Q_OBJECT
 public:
  // A toolbox button of a plug-in.
  struct tagBUTTON {
    int nId = 0;
    QString strText;
    QImage images[4];  // normal, hot, selected, disabled
    bool bImageTool = false;
    int nState = 0;  // selected
  };
  // A dock window of a plug-in.
  struct tagDOCK {
    int nId = 0;
    MyString strName;
    int nLeft = 0, nTop = 0, nWidth = 0, nHeight = 0;
    HWND hWnd = nullptr;
    QPointer<CToolViewDock> dock;
  };
  struct tagRECORD {
    void* hLibrary = nullptr;
    CLorimoPlugin* pPlugin = nullptr;
    MyString strPath;
    CLorimoPluginInfo info{};
    std::vector<int> commands;
    std::map<int, tagBUTTON> buttons;
    std::vector<int> docks;
    PFN_CreateLorimoFilterPanel makePanel = nullptr;
    PFN_GetLorimoPluginIcon getIcon = nullptr;
    PFN_GetLorimoCodecError codecError = nullptr;
    MyString Name() const { return MyString(info.szName); }
  };

  // frame: the main window whose menus, toolbox, docks and document the
  // plug-ins reach. Sets the program's loadPlugins and releasePlugins.
  explicit CPluginHost(CMainFrame* frame);
  ~CPluginHost() override;

  // The program folder's plug-ins: tried on a worker, then loaded on the
  // GUI thread; GetPluginsLoadedEvent() is set once they are loaded and no
  // registration is open.
  void Load(const MyString& folder);
  // Waits for the trial and loads now (GUI thread; a load on the GUI thread
  // that needs a codec cannot wait for the event loop).
  void FinishLoading();
  // A plug-in that does not finish starting within this is stopped.
  void SetProbeTimeout(int ms) { m_nProbeTimeoutMs = ms; }
  // Shutdown() for every plug-in, in load order.
  void Release();

  // True when msg is the plug-in message; *result then holds the answer.
  bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
  LRESULT Handle(tagLORIMOPLUGINREQUEST* request);

  // Sends a notification as the plug-ins expect it (toolbox selection
  // changes, image mouse presses only to image tools, the rest to all).
  void Notify(unsigned long type, uintptr_t text, intptr_t data);
  // A loading thread's file is about to be read: told on the GUI thread.
  void NotifyOpening(const MyString& path);
  // A file the codec layer could not read, offered to the codec plug-ins
  // that declared its extension, in load order. 1 when one read it.
  // A file whose bytes are of a kind a plug-in declared (a HEIF or WebP
  // named ".jpg") is offered as that kind too. On failure *reason (when
  // given) is the first reason a plug-in gave.
  int OfferToPlugins(const MyString& path, Magick::Image* image, const SIZE* sizeHint,
                     MyString* reason = nullptr);
  // Writes through the first codec plug-in that declared the path's
  // extension: 1 written, 0 failed with *error, -1 none declared it.
  int WriteWithPlugins(const MyString& path, const tagLORIMOBITMAP& bitmap, MyString* error);
  // A thumbnail from the first plug-in that gives one; null when none does.
  HBITMAP ProvideThumbnail(const MyString& path, const SIZE& size);

  const std::vector<std::unique_ptr<tagRECORD>>& Records() const { return m_records; }
  // The files refused at the last load, with their reasons.
  const std::vector<tagPROBERESULT>& Refused() const { return m_refused; }
  const std::vector<tagDOCK>& Docks() const { return m_docks; }
  bool IsPluginToolActive() const { return m_bToolActive; }
  int GetOpenRegistrations() const { return m_nAsync; }

  // Writes a movie for request 7; 1 when written, else 0 and *error.
  using MovieWriter = std::function<int(const MyString& path, const LORIMO_FRAME* frames,
                                        size_t count, int quality, MyString* error)>;
  void SetMovieWriter(MovieWriter writer) { m_writeMovie = std::move(writer); }

  // Gives toolbox (null: the main window's) the plug-ins' buttons.
  void RefreshToolbox(CToolbox* toolbox = nullptr);

  // The "Installed Plugins" dialog.
  void ShowInstalledPlugins(QWidget* parent);

  // Where the program looks for plug-ins and the helper.
  static MyString ProgramFolder();

 signals:
  // The files were tried and the accepted ones loaded.
  void Loaded();

 protected:
  // Left presses and releases in the viewer's image, for the image tools.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LoadOne(const tagPROBERESULT& probe);
  void CheckLoaded();
  tagRECORD* Find(const CLorimoPlugin* plugin) const;
  tagRECORD* OwnerOfButton(int id) const;
  bool Guard(const tagRECORD& record, const std::function<void()>& call);
  int NewCommandId();
  void UpdateMenus();
  void UpdateToolbox();
  void RunButton(tagRECORD& record, int id);
  void ToggleDock(size_t index);
  void ShowDock(tagDOCK& dock, bool show);
  LRESULT ReadFailure(const MyString& text);

  // The requests.
  LRESULT RegisterTool(tagRECORD& record, const char16_t* name);
  LRESULT ReadImage(const tagLORIMOPLUGINREQUEST& request);
  LRESULT WriteImage(const tagLORIMOPLUGINREQUEST& request);
  LRESULT FlipFlop(const tagLORIMOPLUGINREQUEST& request);
  LRESULT Rescale(const tagLORIMOPLUGINREQUEST& request);
  LRESULT CreateMovie(const tagLORIMOPLUGINREQUEST& request);
  LRESULT RegisterButton(tagRECORD& record, const _stToolboxButton* button);
  LRESULT RegisterDock(tagRECORD& record, const _stDockWindow* dock);
  LRESULT RegisterCodec(tagRECORD& record);
  LRESULT ReadBuffer(const tagLORIMOPLUGINREQUEST& request);
  LRESULT DisplayBuffer(CLorimoImageBuffer* buffer);
  LRESULT TransferBuffer(CLorimoImageBuffer* buffer);
  LRESULT RegisterFilter(tagRECORD& record, CLorimoPluginFilter* filter);
  LRESULT ApplyStockFilter(tagLORIMOSTOCKFILTERPARAMS* params);

  CMainFrame* m_pFrame;
  UINT m_nMessage;
  std::vector<std::unique_ptr<tagRECORD>> m_records;
  std::vector<tagPROBERESULT> m_refused;
  std::vector<tagDOCK> m_docks;
  int m_nNextCommand = kFirstPluginCommand;
  int m_nAsync = 0;
  bool m_bToolActive = false;
  bool m_bReleased = false;
  bool m_bPressedInImage = false;
  MyString m_strLastError;              // the text a failed read points to
  std::map<int, MyString> m_toolNames;  // the Tools entries by command id
  MovieWriter m_writeMovie;

  // The trial on its worker.
  std::thread m_probe;
  std::mutex m_probeMutex;
  std::vector<tagPROBERESULT> m_probed;
  bool m_bProbing = false;
  std::atomic<bool> m_bLoadStarted{false};
  int m_nProbeTimeoutMs = 5000;
  bool m_bLoading = false;

  // Codec plug-ins, read by loading threads.
  struct tagCODEC {
    tagRECORD* pRecord;
    std::vector<MyString> extensions;  // without the dot
    std::shared_ptr<std::mutex> lock;  // one read at a time per codec
  };
  mutable std::mutex m_codecMutex;
  std::vector<tagCODEC> m_codecs;
  std::vector<CLorimoPlugin*> m_thumbnailers;
};

// Builds an image from top-down RGBA bytes; false for a bad size.
bool ImageFromRgba(const uint8_t* pixels, uint32_t width, uint32_t height, Magick::Image* image);
