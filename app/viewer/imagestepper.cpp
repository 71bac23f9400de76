#include "viewer/imagestepper.h"

#include <mutex>

#include "corekit/queuedcall.h"

using ListGuard = std::lock_guard<std::recursive_mutex>;

CImageStepper::CImageStepper(QObject* parent) : QObject(parent) {}

CImageStepper::~CImageStepper() {
  {
    std::lock_guard<std::mutex> lock(m_workerMutex);
    m_bStop = true;
  }
  if (m_worker.joinable()) m_worker.join();
}

bool CImageStepper::IsLoading() const {
  std::lock_guard<std::mutex> lock(m_workerMutex);
  return m_bWorkerBusy;
}

bool CImageStepper::AskToSave() { return !askToSave || askToSave(); }

void CImageStepper::ReadPortfolioDelays(const std::vector<CSlide>& slides) {
  ListGuard guard(m_position.GetLock());
  const SortDir& list = m_position.GetList();
  m_delays.clear();
  // The list left out empty paths and files that could not be read: walk
  // both in order so that each entry gets the delay of its own slide.
  int entry = 0;
  for (const CSlide& slide : slides) {
    if (slide.strPath.IsEmpty()) continue;
    const CFileEntry* listed = list.GetEntry(entry);
    if (!listed || !(listed->strPath == slide.strPath)) continue;
    m_delays.push_back(slide.nDelay);
    ++entry;
  }
  m_delays.resize(size_t(list.GetLengthFileList()), 0);
}

int CImageStepper::OpenFile(const MyString& path, const tagSTEPOPTIONS& options) {
  if (!AskToSave()) return 0;
  m_strPortfolio = MyString();
  m_delays.clear();
  int index;
  {
    ListGuard guard(m_position.GetLock());
    m_position.OpenFile(path);
    index = m_position.GetCurrent();
  }
  return LoadPathHere(path, index, options);
}

int CImageStepper::OpenFolder(const MyString& folder, const tagSTEPOPTIONS& options) {
  if (!AskToSave()) return 0;
  m_strPortfolio = MyString();
  m_delays.clear();
  m_position.OpenFolder(folder);
  if (!m_position.HasImage()) {
    // Nothing to show: whatever a worker still loads is out of date.
    m_nDelivered = ++m_nRequest;
    ForgetShown();
    return 0;
  }
  return LoadHere(options);
}

int CImageStepper::OpenPortfolio(const MyString& path, const tagSTEPOPTIONS& options) {
  CSlidesFile portfolio;
  if (!portfolio.Load(path)) return -1;
  if (!AskToSave()) return 0;
  std::vector<MyString> slides;
  for (const CSlide& slide : portfolio.GetSlides()) slides.push_back(slide.strPath);
  m_position.OpenPortfolio(path, slides);
  m_strPortfolio = path;
  ReadPortfolioDelays(portfolio.GetSlides());
  if (!m_position.HasImage()) {
    m_nDelivered = ++m_nRequest;
    ForgetShown();
    return 0;
  }
  return LoadHere(options);
}

int CImageStepper::Step(STEPCOMMAND command, const tagSTEPOPTIONS& options) {
  // The favorites pane may take Next at the end and Previous at the start.
  if (handOver && !options.bAutoplay && (command == SC_NEXT || command == SC_PREVIOUS)) {
    bool atEnd;
    {
      ListGuard guard(m_position.GetLock());
      const int current = m_position.GetCurrent();
      atEnd = command == SC_NEXT ? !m_position.HasImage() || current >= m_position.GetLast()
                                 : m_position.HasImage() && current <= 0;
    }
    if (atEnd && handOver(command == SC_NEXT)) return SR_HANDED_OVER;
  }

  int old;
  int moved = 0;
  {
    ListGuard guard(m_position.GetLock());
    old = m_position.GetCurrent();
    switch (command) {
      case SC_NEXT:
        moved = m_position.Next(options.bRollOver);
        break;
      case SC_PREVIOUS:
        moved = m_position.Previous(options.bRollOver);
        break;
      case SC_FIRST:
        moved = m_position.First() ? 1 : 0;
        break;
      case SC_LAST:
        moved = m_position.Last() ? 1 : 0;
        break;
    }
  }
  if (moved < 0) return SR_AT_END;
  if (moved == 0) return SR_UNMOVED;
  if (!AskToSave()) {
    m_position.SetCurrent(old);
    return SR_CANCELLED;
  }
  const bool bWorker =
      command == SC_FIRST || command == SC_LAST || options.bSkipOnFastView || options.bAutoplay;
  if (bWorker) {
    LoadOnWorker(options);
    return SR_LOADING;
  }
  LoadHere(options);
  return SR_SHOWN;
}

int CImageStepper::ShowIndex(int index, const tagSTEPOPTIONS& options) {
  if (index < 0 || index > m_position.GetLast()) return 0;
  if (!AskToSave()) return 0;
  if (!m_position.SetCurrent(index)) return 0;
  return LoadHere(options);
}

int CImageStepper::Rescan(const tagSTEPOPTIONS& options) {
  int result;
  {
    ListGuard guard(m_position.GetLock());
    const MyString shown = m_position.GetCurrentPath();
    result = m_position.Rescan();
    if (result == 1 && !m_strPortfolio.IsEmpty()) {
      CSlidesFile portfolio;
      portfolio.Load(m_strPortfolio);
      ReadPortfolioDelays(portfolio.GetSlides());
    }
    if (result == 1 && !shown.IsEmpty()) {
      const int index = m_position.GetList().GetIndex(shown);
      if (index >= 0) {
        m_position.SetCurrent(index);
        return 1;
      }
    }
  }
  if (result == 0) m_nDelivered = ++m_nRequest;
  // The shown file is gone: show what now holds its place.
  if (result == 1) LoadHere(options);
  return result;
}

void CImageStepper::Clear() {
  m_position.Clear();
  m_strPortfolio = MyString();
  m_delays.clear();
  m_nDelivered = ++m_nRequest;
  ForgetShown();
}

void CImageStepper::ForgetShown() {
  if (m_pReadAhead) m_pReadAhead->Want(nullptr, {});
  m_nShownIndex = -1;
  m_strShownPath = MyString();
}

int CImageStepper::LoadHere(const tagSTEPOPTIONS& options) {
  int index;
  MyString path;
  {
    ListGuard guard(m_position.GetLock());
    index = m_position.GetCurrent();
    path = m_position.GetCurrentPath();
  }
  return LoadPathHere(path, index, options);
}

int CImageStepper::LoadPathHere(const MyString& path, int index, const tagSTEPOPTIONS& options) {
  m_lastOptions = options;
  tagLOADEDIMAGE loaded;
  loaded.nRequest = ++m_nRequest;
  loaded.nIndex = index;
  loaded.strPath = path;
  // From here on, what a worker brings back is older than this.
  m_nDelivered = std::max(m_nDelivered, loaded.nRequest - 1);
  if (path.IsEmpty()) {
    loaded.bSkipped = true;
  } else {
    const SIZE* hint =
        options.szSizeHint.cx > 0 && options.szSizeHint.cy > 0 ? &options.szSizeHint : nullptr;
    LoadViewerImage(m_hTarget, path, options.bReport, hint, &loaded);
  }
  Deliver(loaded);
  return loaded.bLoaded ? 1 : 0;
}

void CImageStepper::LoadOnWorker(const tagSTEPOPTIONS& options) {
  m_lastOptions = options;
  const uint64_t request = ++m_nRequest;
  std::lock_guard<std::mutex> lock(m_workerMutex);
  m_nWanted = request;
  m_szWorkerHint = options.szSizeHint;
  m_bWorkerReport = options.bReport;
  // A busy worker takes the newest position when it is done.
  if (m_bWorkerBusy || m_bStop) return;
  if (m_worker.joinable()) m_worker.join();  // it has finished
  m_bWorkerBusy = true;
  m_worker = std::thread(&CImageStepper::WorkerLoop, this);
}

void CImageStepper::WorkerLoop() {
  for (;;) {
    uint64_t request;
    SIZE hint;
    int report;
    {
      std::lock_guard<std::mutex> lock(m_workerMutex);
      if (m_bStop) {
        m_bWorkerBusy = false;
        return;
      }
      request = m_nWanted;
      hint = m_szWorkerHint;
      report = m_bWorkerReport;
    }
    tagLOADEDIMAGE loaded = LoadCurrent(request, hint, report);
    QueueCall(this, [this, loaded] { Deliver(loaded); });
    std::lock_guard<std::mutex> lock(m_workerMutex);
    if (m_bStop || m_nWanted == request) {
      m_bWorkerBusy = false;
      return;
    }
  }
}

tagLOADEDIMAGE CImageStepper::LoadCurrent(uint64_t request, const SIZE& hint, int bReport) {
  tagLOADEDIMAGE loaded;
  loaded.nRequest = request;
  {
    ListGuard guard(m_position.GetLock());
    loaded.nIndex = m_position.GetCurrent();
    loaded.strPath = m_position.GetCurrentPath();
  }
  if (loaded.strPath.IsEmpty()) {
    loaded.bSkipped = true;
    return loaded;
  }
  const SIZE* pHint = hint.cx > 0 && hint.cy > 0 ? &hint : nullptr;
  LoadViewerImage(m_hTarget, loaded.strPath, bReport, pHint, &loaded);
  return loaded;
}

void CImageStepper::Deliver(const tagLOADEDIMAGE& loaded) {
  if (loaded.nRequest <= m_nDelivered) return;
  m_nDelivered = loaded.nRequest;
  if (onLoaded) onLoaded(loaded);
  ReadAheadFrom(loaded);
}

void CImageStepper::ReadAheadFrom(const tagLOADEDIMAGE& loaded) {
  if (!m_pReadAhead || loaded.bSkipped) return;
  if (!loaded.bLoaded) {
    ForgetShown();
    return;
  }
  MyString next;
  {
    ListGuard guard(m_position.GetLock());
    const int last = m_position.GetLast();
    // The direction of the step that led here; a jump keeps the last one.
    if (m_nShownIndex >= 0 && loaded.nIndex >= 0 && loaded.nIndex != m_nShownIndex) {
      if (m_nShownIndex == last && loaded.nIndex == 0 && last > 1)
        m_bForward = true;
      else if (m_nShownIndex == 0 && loaded.nIndex == last && last > 1)
        m_bForward = false;
      else
        m_bForward = loaded.nIndex > m_nShownIndex;
    }
    int index = loaded.nIndex + (m_bForward ? 1 : -1);
    if (index > last) index = m_lastOptions.bRollOver ? 0 : -1;
    if (index < 0 && !m_bForward) index = m_lastOptions.bRollOver ? last : -1;
    if (index >= 0 && index != loaded.nIndex)
      if (const CFileEntry* entry = m_position.GetList().GetEntry(index)) next = entry->strPath;
  }
  const SIZE& size = m_lastOptions.szSizeHint;
  const SIZE* hint = size.cx > 0 && size.cy > 0 ? &size : nullptr;
  tagREADAHEADKEY shown;
  const bool bShown = ViewerReadAheadKey(loaded.strPath, hint, &shown);
  std::vector<tagREADAHEADKEY> ahead;
  for (const MyString& path : {next, m_strShownPath}) {
    tagREADAHEADKEY key;
    if (!path.IsEmpty() && !(path == loaded.strPath) && ViewerReadAheadKey(path, hint, &key))
      ahead.push_back(key);
  }
  m_pReadAhead->Want(bShown ? &shown : nullptr, ahead);
  m_nShownIndex = loaded.nIndex;
  m_strShownPath = loaded.strPath;
}
