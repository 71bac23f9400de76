#pragma once
// The thumbnail workers of a view: two threads that make the thumbnails of
// the cells on screen, nearest the current item first. Handing over a new
// set of cells replaces the ones still waiting, so images scrolled past
// are never decoded, and cancels a decode whose cell left the set. Results
// reach the GUI thread as numbered images; one superseded by a newer
// request for its cell is dropped.
//
// Made, fed and destroyed on the GUI thread.

#include <QImage>
#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "corekit/messages.h"
#include "corekit/mystring.h"

class CThumbnailMaker;
class ThumbnailCache;

struct tagTHUMBCELL {
  int nIndex = 0;  // the item's position in the view's list
  MyString path;
  SIZE box{0, 0};
  bool bAllowCache = true;
};

class CThumbnailWorkers : public QObject {
  Q_OBJECT

 public:
  // cache: null for none; threads: how many workers (two for a view).
  explicit CThumbnailWorkers(ThumbnailCache* cache, int threads = 2, QObject* parent = nullptr);
  ~CThumbnailWorkers() override;

  // Every maker gets this before it starts (upright turning, plug-ins).
  void ConfigureMakers(const std::function<void(CThumbnailMaker&)>& configure);

  // The cells on screen now; those nearest current go first. Replaces the
  // cells still waiting and cancels running ones that are not among them.
  void SetCells(std::vector<tagTHUMBCELL> cells, int current);
  // Drops every waiting cell and cancels the running ones.
  void Clear();
  // Requests neither done nor dropped yet (tests).
  int Pending() const;
  // How many decodes were started, for the views' statistics and tests.
  uint64_t Started() const;

 signals:
  // number: the request's number; image is null when none could be made.
  void ThumbnailReady(uint64_t number, int index, const QImage& image);

 private:
  struct tagJOB {
    tagTHUMBCELL cell;
    uint64_t nNumber = 0;
  };
  struct tagWORKER;
  void Run(tagWORKER* worker);
  void Deliver(uint64_t number, int index, QImage image);
  static bool SameCell(const tagTHUMBCELL& a, const tagTHUMBCELL& b);

  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<tagJOB> m_pending;
  std::vector<std::unique_ptr<tagWORKER>> m_workers;
  // The latest request number of every cell index (GUI thread's view).
  std::map<int, uint64_t> m_latest;
  uint64_t m_nNextNumber = 1;
  uint64_t m_nStarted = 0;
  int m_nRunning = 0;
  bool m_bQuit = false;
};
