#include "browse/thumbnailworkers.h"

#include <QMetaObject>
#include <algorithm>
#include <cstdlib>

#include "browse/thumbnailmaker.h"
#include "corekit/queuedcall.h"

struct CThumbnailWorkers::tagWORKER {
  explicit tagWORKER(ThumbnailCache* cache) : maker(cache) {}
  CThumbnailMaker maker;
  CThumbnailOwner owner;
  std::thread thread;
  bool bBusy = false;
  // Its cell left: the result is not wanted whatever the maker gives back.
  bool bDropped = false;
  tagJOB job;
};

CThumbnailWorkers::CThumbnailWorkers(ThumbnailCache* cache, int threads, QObject* parent)
    : QObject(parent) {
  for (int i = 0; i < std::max(threads, 1); ++i)
    m_workers.push_back(std::make_unique<tagWORKER>(cache));
  for (auto& worker : m_workers)
    worker->thread = std::thread(&CThumbnailWorkers::Run, this, worker.get());
}

CThumbnailWorkers::~CThumbnailWorkers() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bQuit = true;
    m_pending.clear();
    for (auto& worker : m_workers)
      if (worker->bBusy) worker->owner.cancel.Cancel();
  }
  m_wake.notify_all();
  for (auto& worker : m_workers) worker->thread.join();
}

void CThumbnailWorkers::ConfigureMakers(const std::function<void(CThumbnailMaker&)>& configure) {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (auto& worker : m_workers) configure(worker->maker);
}

bool CThumbnailWorkers::SameCell(const tagTHUMBCELL& a, const tagTHUMBCELL& b) {
  return a.nIndex == b.nIndex && a.path == b.path && a.box.cx == b.box.cx && a.box.cy == b.box.cy &&
         a.bAllowCache == b.bAllowCache;
}

void CThumbnailWorkers::SetCells(std::vector<tagTHUMBCELL> cells, int current) {
  std::stable_sort(cells.begin(), cells.end(), [current](const auto& a, const auto& b) {
    return std::abs(int64_t(a.nIndex) - current) < std::abs(int64_t(b.nIndex) - current);
  });
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::deque<tagJOB> pending;
    for (tagTHUMBCELL& cell : cells) {
      // A cell already being made keeps its request, and so does one that waits.
      bool running = false;
      for (auto& worker : m_workers)
        if (worker->bBusy && SameCell(worker->job.cell, cell)) running = true;
      if (running) continue;
      uint64_t number = 0;
      for (const tagJOB& job : m_pending)
        if (SameCell(job.cell, cell)) number = job.nNumber;
      if (!number) {
        number = m_nNextNumber++;
        m_latest[cell.nIndex] = number;
      }
      pending.push_back(tagJOB{std::move(cell), number});
    }
    // A decode whose cell left the screen ends early.
    for (auto& worker : m_workers) {
      if (!worker->bBusy) continue;
      bool wanted = false;
      for (const tagTHUMBCELL& cell : cells)
        if (SameCell(worker->job.cell, cell)) wanted = true;
      if (!wanted) {
        worker->bDropped = true;
        worker->owner.cancel.Cancel();
      }
    }
    m_pending = std::move(pending);
  }
  m_wake.notify_all();
}

void CThumbnailWorkers::Clear() { SetCells({}, 0); }

int CThumbnailWorkers::Pending() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return int(m_pending.size()) + m_nRunning;
}

uint64_t CThumbnailWorkers::Started() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nStarted;
}

void CThumbnailWorkers::Run(tagWORKER* worker) {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [this] { return m_bQuit || !m_pending.empty(); });
    if (m_bQuit) return;
    worker->job = std::move(m_pending.front());
    m_pending.pop_front();
    worker->bBusy = true;
    worker->bDropped = false;
    worker->owner.cancel.Reset();
    ++m_nRunning;
    ++m_nStarted;
    const tagJOB job = worker->job;
    lock.unlock();
    SIZE box = job.cell.box;
    QImage image =
        worker->maker.MakeThumbnail(worker->owner, job.cell.path, &box, job.cell.bAllowCache);
    lock.lock();
    const bool cancelled = worker->bDropped;
    worker->owner.cancel.Reset();
    worker->bBusy = false;
    --m_nRunning;
    if (!cancelled && !m_bQuit) {
      // Queued to the GUI thread; dropped with this object if it is gone by then.
      QueueCall(this, [this, number = job.nNumber, index = job.cell.nIndex,
                       image = std::move(image)] { Deliver(number, index, image); });
    }
  }
}

void CThumbnailWorkers::Deliver(uint64_t number, int index, QImage image) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto latest = m_latest.find(index);
    if (latest == m_latest.end() || latest->second != number) return;
    m_latest.erase(latest);
  }
  emit ThumbnailReady(number, index, image);
}
