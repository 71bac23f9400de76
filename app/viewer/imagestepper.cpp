#include "viewer/imagestepper.h"

#include <QDir>
#include <QStringList>
#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "corekit/queuedcall.h"
#include "pixwork/sortsettings.h"

using ListGuard = std::lock_guard<std::recursive_mutex>;

CImageStepper::CImageStepper(QObject* parent) : QObject(parent) {}

CImageStepper::~CImageStepper() {
  {
    std::lock_guard<std::mutex> lock(m_workerMutex);
    m_bStop = true;
  }
  {
    std::lock_guard<std::mutex> lock(m_listerMutex);
    m_bListerStop = true;
  }
  if (m_worker.joinable()) m_worker.join();
  if (m_lister.joinable()) m_lister.join();
}

bool CImageStepper::IsLoading() const {
  std::lock_guard<std::mutex> lock(m_workerMutex);
  return m_bWorkerBusy;
}

bool CImageStepper::IsListing() const {
  std::lock_guard<std::mutex> lock(m_listerMutex);
  return m_bListing;
}

void CImageStepper::ListOnWorker(const MyString& folder, bool bShowFirst) {
  m_bShowFirstOnSwap = bShowFirst;
  if (!folder.IsEmpty()) m_bAwaitingFolder = true;
  const uint64_t generation = ++m_nListGeneration;
  std::lock_guard<std::mutex> lock(m_listerMutex);
  m_strListFolder = folder;
  m_nListWanted = generation;
  m_bListing = true;
  // A busy lister takes the newest folder when it is done.
  if (m_bListerBusy || m_bListerStop) return;
  if (m_lister.joinable()) m_lister.join();  // it has finished
  m_bListerBusy = true;
  m_lister = std::thread(&CImageStepper::ListerLoop, this);
}

void CImageStepper::ListerLoop() {
  for (;;) {
    MyString folder;
    uint64_t generation;
    {
      std::lock_guard<std::mutex> lock(m_listerMutex);
      if (m_bListerStop) {
        m_bListerBusy = false;
        return;
      }
      folder = m_strListFolder;
      generation = m_nListWanted;
    }
    const bool bByTaken = gdwSortingMode == kSortByExifDate;
    std::shared_ptr<SortDir> list;
    std::vector<std::pair<MyString, FILETIME64>> dates;
    if (!folder.IsEmpty()) {
      // Listed and sorted without the list lock: steps and draws go on.
      list = std::make_shared<SortDir>();
      list->InitializeSortDir(folder, 100);
      // Sizes and times come after the list is shown, when the order allows.
      list->SetFactsLater(true);
      list->CreateSortedImageList();
      if (bByTaken) {
        list->ReadTakenDates();
        list->SortAgain();
      }
    } else {
      {
        ListGuard guard(m_position.GetLock());
        for (const CFileEntry* entry : m_position.GetList().GetEntries())
          dates.emplace_back(entry->strPath, 0);
      }
      for (auto& [path, taken] : dates) ReadExifDate(path, &taken);
    }
    // Taken before the list is handed over: the GUI thread takes its entries.
    std::vector<MyString> pending;
    if (list) pending = list->PendingFactsPaths();
    {
      std::lock_guard<std::mutex> lock(m_listerMutex);
      if (m_bListerStop) {
        m_bListerBusy = false;
        return;
      }
      if (m_nListWanted != generation) continue;
      // Handed over under the lister mutex: IsListing turns false only
      // once the result is queued.
      if (list)
        QueueCall(this, [this, list, generation] { SwapIn(list, generation); });
      else
        QueueCall(this,
                  [this, dates = std::move(dates), generation] { ApplyDates(dates, generation); });
      m_bListing = false;
      if (pending.empty()) {
        m_bListerBusy = false;
        return;
      }
    }
    std::vector<tagFILEFACTS> facts = ReadFileFacts(pending, [this, generation] {
      std::lock_guard<std::mutex> lock(m_listerMutex);
      return m_bListerStop || m_nListWanted != generation;
    });
    std::lock_guard<std::mutex> lock(m_listerMutex);
    if (m_bListerStop) {
      m_bListerBusy = false;
      return;
    }
    // A newer folder is wanted meanwhile: these facts are of no use.
    if (m_nListWanted != generation) continue;
    QueueCall(this, [this, pending = std::move(pending), facts = std::move(facts), generation] {
      FillFacts(pending, facts, generation);
    });
    m_bListerBusy = false;
    return;
  }
}

void CImageStepper::FillFacts(const std::vector<MyString>& paths,
                              const std::vector<tagFILEFACTS>& facts, uint64_t generation) {
  if (generation != m_nListGeneration) return;
  {
    ListGuard guard(m_position.GetLock());
    m_position.GetList().FillPendingFacts(paths, facts);
  }
  if (onFactsRead) onFactsRead();
}

void CImageStepper::SwapIn(std::shared_ptr<SortDir> list, uint64_t generation) {
  if (generation != m_nListGeneration) return;
  const bool bShowFirst = m_bShowFirstOnSwap;
  bool bKept;
  {
    ListGuard guard(m_position.GetLock());
    const MyString keep = bShowFirst ? MyString() : m_position.GetCurrentPath();
    bKept = m_position.AdoptFolderList(*list, keep);
  }
  // The old list goes with the last reference, here.
  list.reset();
  m_bAwaitingFolder = false;
  std::vector<tagPENDINGGROUP> pending;
  pending.swap(m_pending);
  for (const tagPENDINGGROUP& group : pending)
    AppendGroup(group.strPath, group.bPortfolio, group.slides);
  // A shown file gone meanwhile gives way to what holds its place.
  AfterListChanged(bShowFirst || !bKept);
}

void CImageStepper::AfterListChanged(bool bLoad) {
  int index;
  MyString path;
  {
    ListGuard guard(m_position.GetLock());
    index = m_position.GetCurrent();
    path = m_position.GetCurrentPath();
  }
  if (bLoad) {
    if (m_position.HasImage()) LoadHere(m_lastOptions);
  } else if (!path.IsEmpty() && path == m_strShownPath) {
    // The shown image has new neighbours: aim the read-ahead at them.
    tagLOADEDIMAGE shown;
    shown.bLoaded = true;
    shown.nIndex = index;
    shown.strPath = path;
    m_nShownIndex = index;
    ReadAheadFrom(shown);
  }
  if (onListSwapped) onListSwapped(bLoad);
}

void CImageStepper::DateOnWorker() {
  if (gdwSortingMode != kSortByExifDate || !m_strPortfolio.IsEmpty() || !m_position.HasImage())
    return;
  ListOnWorker(MyString(), false);
}

void CImageStepper::ApplyDates(const std::vector<std::pair<MyString, FILETIME64>>& dates,
                               uint64_t generation) {
  if (generation != m_nListGeneration || gdwSortingMode != kSortByExifDate) return;
  {
    ListGuard guard(m_position.GetLock());
    // Groups added since (the favorites pane) keep their own order.
    if (m_position.GetList().GetGroupCount() > 1) return;
    // Matched by path: the list may have lost an entry since.
    std::unordered_map<std::u16string, FILETIME64> byPath;
    byPath.reserve(dates.size());
    for (const auto& [path, taken] : dates) byPath.emplace(path.str(), taken);
    SortDir& list = m_position.GetList();
    const MyString current = m_position.GetCurrentPath();
    for (CFileEntry* entry : list.GetEntries()) {
      const auto it = byPath.find(entry->strPath.str());
      if (it != byPath.end()) entry->ftTaken = it->second;
    }
    list.SortAgain();
    const int index = list.GetIndex(current);
    if (index >= 0) m_position.SetCurrent(index);
  }
  AfterListChanged(false);
}

bool CImageStepper::AskToSave() { return !askToSave || askToSave(); }

void CImageStepper::ReadPortfolioDelays(const std::vector<CSlide>& slides) {
  ListGuard guard(m_position.GetLock());
  m_delays.clear();
  AppendSlideDelays(slides, 0);
}

// The list left out empty paths and files that could not be read: the
// slides and the entries from first on are walked in order, so that each
// entry gets the delay of its own slide. Called under the list lock.
void CImageStepper::AppendSlideDelays(const std::vector<CSlide>& slides, int first) {
  const SortDir& list = m_position.GetList();
  int entry = first;
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
  ForgetPendingGroups();
  m_strPortfolio = MyString();
  m_delays.clear();
  if (m_bListOnWorker) {
    // Shown before its folder is listed; the list follows.
    m_position.OpenSingleFile(path);
    const int result = LoadPathHere(path, 0, options);
    ListOnWorker(path.GetStringPath(), false);
    return result;
  }
  DropListing();
  int index;
  {
    ListGuard guard(m_position.GetLock());
    m_position.OpenFile(path);
    index = m_position.GetCurrent();
  }
  const int result = LoadPathHere(path, index, options);
  DateOnWorker();
  return result;
}

int CImageStepper::OpenFolder(const MyString& folder, const tagSTEPOPTIONS& options) {
  if (!AskToSave()) return 0;
  ForgetPendingGroups();
  m_strPortfolio = MyString();
  m_delays.clear();
  if (m_bListOnWorker) {
    m_lastOptions = options;
    // Empty until the listing comes back; what a worker still loads is
    // out of date.
    m_position.Clear();
    m_nDelivered = ++m_nRequest;
    ForgetShown();
    ListOnWorker(folder, true);
    return 1;
  }
  DropListing();
  m_position.OpenFolder(folder);
  if (!m_position.HasImage()) {
    // Nothing to show: whatever a worker still loads is out of date.
    m_nDelivered = ++m_nRequest;
    ForgetShown();
    return 0;
  }
  const int result = LoadHere(options);
  DateOnWorker();
  return result;
}

int CImageStepper::OpenPortfolio(const MyString& path, const tagSTEPOPTIONS& options) {
  CSlidesFile portfolio;
  if (!portfolio.Load(path)) return -1;
  if (!AskToSave()) return 0;
  DropListing();
  ForgetPendingGroups();
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

int CImageStepper::Rescan(const tagSTEPOPTIONS& options, bool bOnWorker) {
  if (bOnWorker && m_bListOnWorker && m_strPortfolio.IsEmpty() && m_position.HasImage()) {
    m_lastOptions = options;
    MyString folder;
    {
      ListGuard guard(m_position.GetLock());
      folder = m_position.GetList().GetDirectory();
    }
    ListOnWorker(folder, false);
    return 2;
  }
  // Listed here and now: a listing still running is older.
  DropListing();
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
        DateOnWorker();
        return 1;
      }
    }
  }
  if (result == 0) m_nDelivered = ++m_nRequest;
  // The shown file is gone: show what now holds its place.
  if (result == 1) LoadHere(options);
  DateOnWorker();
  return result;
}

void CImageStepper::Clear() {
  DropListing();
  ForgetPendingGroups();
  m_position.Clear();
  m_strPortfolio = MyString();
  m_delays.clear();
  m_nDelivered = ++m_nRequest;
  ForgetShown();
}

void CImageStepper::ForgetPendingGroups() {
  m_pending.clear();
  m_bAwaitingFolder = false;
}

void CImageStepper::AppendGroup(const MyString& path, bool bPortfolio,
                                const std::vector<CSlide>& slides) {
  ListGuard guard(m_position.GetLock());
  const int before = m_position.GetList().GetLengthFileList();
  const bool bShow = !m_position.HasImage();
  if (bPortfolio) {
    std::vector<MyString> paths;
    for (const CSlide& slide : slides) paths.push_back(slide.strPath);
    m_position.AddPortfolioGroup(path, paths, bShow);
  } else {
    m_position.AddFolderGroup(path, bShow);
  }
  // One delay per entry once any group has its own.
  if (!bPortfolio && m_delays.empty()) return;
  m_delays.resize(size_t(before), 0);
  AppendSlideDelays(slides, before);
}

int CImageStepper::AddGroup(const MyString& path, bool bPortfolio, const tagSTEPOPTIONS& options) {
  std::vector<CSlide> slides;
  if (bPortfolio) {
    CSlidesFile portfolio;
    if (!portfolio.Load(path)) return 0;
    slides = portfolio.GetSlides();
  }
  if (m_bAwaitingFolder) {
    m_pending.push_back({path, bPortfolio, std::move(slides)});
    return 1;
  }
  const bool bHadImage = m_position.HasImage();
  AppendGroup(path, bPortfolio, slides);
  if (!bHadImage && m_position.HasImage()) {
    LoadHere(options);
    if (onListSwapped) onListSwapped(true);
  } else {
    // The shown image keeps its place; its neighbours may be new.
    m_lastOptions = options;
    AfterListChanged(false);
  }
  return 1;
}

int CImageStepper::KeepGroups(const std::vector<MyString>& paths, const tagSTEPOPTIONS& options) {
  if (paths.empty()) return 0;
  QStringList keep;
  for (const MyString& path : paths) keep.push_back(QDir::cleanPath(path.ToQString()));
  // Waiting groups follow the same rule.
  std::erase_if(m_pending, [&keep](const tagPENDINGGROUP& group) {
    return !keep.contains(QDir::cleanPath(group.strPath.ToQString()));
  });
  int removed = 0;
  bool bShownGone = false;
  {
    ListGuard guard(m_position.GetLock());
    const MyString shown = m_position.GetCurrentPath();
    SortDir& list = m_position.GetList();
    for (int group = list.GetGroupCount() - 1; group >= 0; --group) {
      const CInfoBrowse* info = list.GetInfoBrowse(group);
      if (!info || keep.contains(QDir::cleanPath(info->strName.ToQString()))) continue;
      int first = 0, last = -1;
      const bool bFiles = list.GetGroupFileRange(group, &first, &last);
      if (!m_position.RemoveGroup(group)) continue;
      if (bFiles && size_t(first) < m_delays.size())
        m_delays.erase(m_delays.begin() + first,
                       m_delays.begin() + std::min<size_t>(size_t(last) + 1, m_delays.size()));
      ++removed;
    }
    bShownGone = removed > 0 && !(m_position.GetCurrentPath() == shown);
  }
  if (!removed) return 0;
  m_lastOptions = options;
  if (bShownGone && m_position.GetLast() < 0) {
    // Nothing left to show.
    m_nDelivered = ++m_nRequest;
    ForgetShown();
    if (onListSwapped) onListSwapped(true);
  } else {
    AfterListChanged(bShownGone);
  }
  return removed;
}

int CImageStepper::RelistGroups(const MyString& folder, const tagSTEPOPTIONS& options) {
  // A listing on its way replaces the list anyway.
  if (m_bAwaitingFolder) return 0;
  const QString root = QDir::cleanPath(folder.ToQString());
  struct tagGROUP {
    MyString strName;
    bool bRelist;
    std::vector<MyString> paths;
    std::vector<int32_t> delays;  // one per path, while the list has delays
  };
  std::vector<tagGROUP> groups;
  MyString shown;
  int relisted = 0;
  {
    ListGuard guard(m_position.GetLock());
    const SortDir& list = m_position.GetList();
    if (list.GetGroupCount() < 2) return 0;
    shown = m_position.GetCurrentPath();
    for (int group = 0; group < list.GetGroupCount(); ++group) {
      const CInfoBrowse* info = list.GetInfoBrowse(group);
      if (!info) continue;
      const QString name = info->strName.ToQString();
      const QString path = QDir::cleanPath(name);
      // Folder groups end in a slash; portfolios keep their slides.
      const bool relist = name.endsWith(QLatin1Char('/')) &&
                          (path == root || path.startsWith(root + QLatin1Char('/')));
      groups.push_back({info->strName, relist, {}, {}});
      relisted += relist ? 1 : 0;
      int first = 0, last = -1;
      if (relist || !list.GetGroupFileRange(group, &first, &last)) continue;
      for (int i = first; i <= last; ++i) {
        const MyString& entry = list.GetEntry(i)->strPath;
        groups.back().paths.push_back(entry);
        if (size_t(i) < m_delays.size()) groups.back().delays.push_back(m_delays[size_t(i)]);
      }
    }
  }
  if (!relisted) return 0;
  // Listed without the list lock; only this thread changes the list.
  SortDir fresh;
  for (const tagGROUP& group : groups) {
    SortDir source;
    if (group.bRelist) {
      source.InitializeSortDir(group.strName, 10);
      source.CreateSortedImageList();
    } else {
      for (const MyString& path : group.paths) source.PushImage(path);
    }
    fresh.Append(source.GetEntries(), group.strName);
  }
  const bool bHadDelays = !m_delays.empty();
  bool bKept;
  {
    ListGuard guard(m_position.GetLock());
    bKept = m_position.AdoptFolderList(fresh, shown);
    m_delays.clear();
    const SortDir& list = m_position.GetList();
    // Each group's entries take their own delays in order; a file gone
    // meanwhile is skipped in both.
    for (size_t group = 0; bHadDelays && group < groups.size(); ++group) {
      int first = 0, last = -1;
      if (!list.GetGroupFileRange(int(group), &first, &last)) continue;
      m_delays.resize(size_t(first), 0);
      const tagGROUP& old = groups[group];
      size_t slide = 0;
      for (int i = first; i <= last; ++i) {
        while (slide < old.delays.size() && !(old.paths[slide] == list.GetEntry(i)->strPath))
          ++slide;
        m_delays.push_back(slide < old.delays.size() ? old.delays[slide++] : 0);
      }
    }
    if (bHadDelays) m_delays.resize(size_t(list.GetLengthFileList()), 0);
  }
  m_lastOptions = options;
  AfterListChanged(!bKept);
  return relisted;
}

int CImageStepper::OpenFiles(const std::vector<MyString>& files, const tagSTEPOPTIONS& options) {
  if (!AskToSave()) return 0;
  DropListing();
  ForgetPendingGroups();
  m_strPortfolio = MyString();
  m_delays.clear();
  {
    ListGuard guard(m_position.GetLock());
    m_position.Clear();
    m_position.AddPortfolioGroup(MyString(), files, true);
  }
  if (!m_position.HasImage()) {
    m_nDelivered = ++m_nRequest;
    ForgetShown();
    return 0;
  }
  return LoadHere(options);
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
