#pragma once
// CImageStepper: the viewer's walk through its folder or portfolio. It
// keeps the list and the position (CListPosition, under the list lock),
// moves the position for Next, Previous, First and Last, and loads the
// image at the new position: at once on the GUI thread, or on a worker
// that skips the positions passed while it was busy. Every load comes back
// through onLoaded on the GUI thread, newest request last; a result older
// than one already handed over is dropped. No widgets.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "corekit/messages.h"
#include "corekit/mystring.h"
#include "corekit/slidesfile.h"
#include "pixwork/listposition.h"
#include "viewer/imagedocument.h"

enum STEPCOMMAND : int { SC_NEXT, SC_PREVIOUS, SC_FIRST, SC_LAST };

// What a step did.
enum STEPRESULT : int {
  SR_AT_END = -1,      // Next at the last image without roll-over: nothing moved, autoplay stops
  SR_UNMOVED = 0,      // nothing moved (Previous at the first without roll-over, an empty list)
  SR_SHOWN = 1,        // moved; loaded on this thread and handed over already
  SR_LOADING = 2,      // moved; a worker loads it and hands it over later
  SR_CANCELLED = 3,    // the save question was cancelled: the step was undone
  SR_HANDED_OVER = 4,  // the favorites pane opened another folder instead
};

// The settings a step reads, taken on the GUI thread.
struct tagSTEPOPTIONS {
  bool bRollOver = true;
  bool bSkipOnFastView = false;
  bool bAutoplay = false;
  int bReport = 1;    // LoadImage's report flag for viewer loads
  SIZE szSizeHint{};  // "Downsample reading large images": the client size; 0 x 0 for none
};

class CImageStepper : public QObject {
  Q_OBJECT
 public:
  explicit CImageStepper(QObject* parent = nullptr);
  // Ends a running load (cancelled) and waits for the worker.
  ~CImageStepper() override;

  // The viewer window loads are aimed at (progress strip, animation).
  void SetTarget(HWND viewer) { m_hTarget = viewer; }
  // Once an image is shown, the next one in the direction of the last step
  // and the one just left are decoded ahead there (null: no read-ahead).
  void SetReadAhead(CReadAhead* ahead) { m_pReadAhead = ahead; }

  // Asked on the GUI thread before a load replaces the shown image; false
  // cancels the step (the position goes back). Null: go on.
  std::function<bool()> askToSave;
  // Next at the last image (or without one) and Previous at the first, while
  // autoplay is off: true when the favorites pane opened another folder.
  std::function<bool(bool bForward)> handOver;
  // Every load that is not superseded, on the GUI thread.
  std::function<void(const tagLOADEDIMAGE&)> onLoaded;
  // A list made on the worker has replaced the list, or was sorted again
  // (GUI thread). True when the current entry was loaded anew: a folder
  // was opened, or the shown file was gone.
  std::function<void(bool bReloaded)> onListSwapped;
  // The sizes and times of a list shown without them were filled in (GUI
  // thread); the order is unchanged.
  std::function<void()> onFactsRead;

  // With it on, OpenFile shows the file at once, alone, and OpenFolder
  // returns at once; the folder is listed on a worker and swapped in under
  // the list lock, the shown image staying current.
  void SetListOnWorker(bool bOn) { m_bListOnWorker = bOn; }
  // Whether a folder is being listed, or the taken dates of the list are
  // being read, on the worker.
  bool IsListing() const;

  CListPosition& Position() { return m_position; }
  const CListPosition& Position() const { return m_position; }
  // The portfolio being shown, empty while a folder is listed.
  const MyString& GetPortfolioPath() const { return m_strPortfolio; }
  // Its slides' delays, one per listed entry (0: the autoplay setting).
  const std::vector<int32_t>& GetPortfolioDelays() const { return m_delays; }
  // Whether a worker load is running.
  bool IsLoading() const;

  // A file is opened: its folder is listed, the file becomes current (the
  // first entry when it is not listed) and the file itself is loaded here.
  // 1 when it loaded; 0 when it failed or the save question was cancelled
  // (then nothing changed).
  int OpenFile(const MyString& path, const tagSTEPOPTIONS& options);
  // Lists the folder and loads its first image here. 1 when an image
  // loaded; 0 for a folder without images (the list is then empty and
  // nothing is loaded), a failed load, or a cancelled save question.
  // Listing on the worker: 1 once the listing started (the list is empty
  // until onListSwapped; the first image is loaded then), 0 when cancelled.
  int OpenFolder(const MyString& folder, const tagSTEPOPTIONS& options);
  // Lists the portfolio's slides that have a path, keeps their delays, and
  // loads the first. -1 when the file cannot be read (nothing changed);
  // otherwise as OpenFolder.
  int OpenPortfolio(const MyString& path, const tagSTEPOPTIONS& options);

  // Moves the position and loads: Next and Previous here unless
  // bSkipOnFastView or bAutoplay, First and Last always on the worker.
  int Step(STEPCOMMAND command, const tagSTEPOPTIONS& options);
  // Makes index current and loads it here (a chosen thumbnail). 0 for an
  // index outside the list.
  int ShowIndex(int index, const tagSTEPOPTIONS& options);

  // Lists the folder (or reads the portfolio) again, for "Rescan" or new
  // sort settings. The shown image stays current when it is still listed;
  // otherwise the position keeps its number, cut to the new list, and the
  // image there is loaded here. 1 when the list has entries, 0 when it came
  // out empty, -1 when no image is open.
  // With bOnWorker while listing on the worker is on, a folder is listed
  // there instead: 2 at once, and the list is swapped in later as after
  // OpenFile (a shown file that is gone gives way to what holds its place).
  int Rescan(const tagSTEPOPTIONS& options, bool bOnWorker = false);

  // Empties the list (nothing is loaded).
  void Clear();

  // Combined browsing: a folder's images, or a portfolio's slides with their
  // delays, appended as a group of their own. The shown image stays; with
  // none shown, the group's first entry is loaded here. A folder still being
  // listed on the worker takes the group once it is swapped in. 1 when
  // added (or waiting), 0 for a portfolio that cannot be read.
  int AddGroup(const MyString& path, bool bPortfolio, const tagSTEPOPTIONS& options);
  // The groups whose folder or portfolio is not among paths leave the list
  // (nothing when paths is empty). When the shown image went with them,
  // what follows them is loaded here. Returns how many groups went.
  int KeepGroups(const std::vector<MyString>& paths, const tagSTEPOPTIONS& options);
  // A folder changed on disk while the list holds several groups: the
  // folder groups at or below folder are listed again in their places, the
  // shown image staying current (what holds its place is loaded when it
  // went). Returns how many groups were listed again.
  int RelistGroups(const MyString& folder, const tagSTEPOPTIONS& options);
  // Dropped files: the list is the files, in that order, and the first is
  // loaded here. As OpenFolder otherwise.
  int OpenFiles(const std::vector<MyString>& files, const tagSTEPOPTIONS& options);

 private:
  // Loads the current entry on this thread and hands it over. 1 loaded.
  int LoadHere(const tagSTEPOPTIONS& options);
  int LoadPathHere(const MyString& path, int index, const tagSTEPOPTIONS& options);
  void LoadOnWorker(const tagSTEPOPTIONS& options);
  void WorkerLoop();
  // Reads the current entry and loads it (any thread).
  tagLOADEDIMAGE LoadCurrent(uint64_t request, const SIZE& hint, int bReport);
  void Deliver(const tagLOADEDIMAGE& loaded);
  void ReadAheadFrom(const tagLOADEDIMAGE& loaded);
  void ForgetShown();
  bool AskToSave();
  void ReadPortfolioDelays(const std::vector<CSlide>& slides);
  void AppendSlideDelays(const std::vector<CSlide>& slides, int first);
  // Lists folder on the lister thread; a newer listing or list change
  // drops what an older one brings back.
  void ListOnWorker(const MyString& folder, bool bShowFirst);
  void ListerLoop();
  void SwapIn(std::shared_ptr<SortDir> list, uint64_t generation);
  // Sort mode 4 orders by dates read on the worker: once they are in, the
  // list is sorted again, the shown image staying current.
  void DateOnWorker();
  // Sizes and times of a list shown without them (GUI thread).
  void FillFacts(const std::vector<MyString>& paths, const std::vector<tagFILEFACTS>& facts,
                 uint64_t generation);
  void ApplyDates(const std::vector<std::pair<MyString, FILETIME64>>& dates, uint64_t generation);
  // The shown image stays current after the list changed around it.
  // bLoad: the current entry is loaded anew.
  void AfterListChanged(bool bLoad);
  // Any list change the GUI thread makes outdates a running listing.
  void DropListing() { ++m_nListGeneration; }
  // Appends a group now (GUI thread, list lock taken here).
  void AppendGroup(const MyString& path, bool bPortfolio, const std::vector<CSlide>& slides);
  // A new list is opened: groups waiting for the old one are dropped.
  void ForgetPendingGroups();

  HWND m_hTarget = nullptr;
  CReadAhead* m_pReadAhead = nullptr;
  // The options of the newest load and what was shown before (GUI thread).
  tagSTEPOPTIONS m_lastOptions;
  int m_nShownIndex = -1;
  MyString m_strShownPath;
  bool m_bForward = true;
  CListPosition m_position;
  MyString m_strPortfolio;
  std::vector<int32_t> m_delays;
  // Groups added while a folder is listed on the worker (GUI thread).
  struct tagPENDINGGROUP {
    MyString strPath;
    bool bPortfolio;
    std::vector<CSlide> slides;
  };
  std::vector<tagPENDINGGROUP> m_pending;
  bool m_bAwaitingFolder = false;

  // Requests are numbered; the newest one handed over wins.
  std::atomic<uint64_t> m_nRequest{0};
  uint64_t m_nDelivered = 0;  // GUI thread

  mutable std::mutex m_workerMutex;  // guards the fields below
  std::thread m_worker;
  bool m_bWorkerBusy = false;
  bool m_bStop = false;
  uint64_t m_nWanted = 0;  // the newest request the worker is to load
  SIZE m_szWorkerHint{};
  int m_bWorkerReport = 1;

  bool m_bListOnWorker = false;
  uint64_t m_nListGeneration = 0;    // GUI thread
  bool m_bShowFirstOnSwap = false;   // GUI thread
  mutable std::mutex m_listerMutex;  // guards the fields below
  std::thread m_lister;
  bool m_bListerBusy = false;  // the lister thread runs
  bool m_bListing = false;     // a list is wanted and not yet queued
  bool m_bListerStop = false;
  MyString m_strListFolder;  // empty: date the current list
  uint64_t m_nListWanted = 0;
};
