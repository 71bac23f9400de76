#pragma once
// The thumbnail cache of the process: finds entries, queues new ones for one
// writer thread, prepares the mirror folders, empties itself, and keeps
// entries in step with lossless turns and saves. Folders are made 0700 and
// entries 0600: the cache shows what the user's pictures hold.
//
// Any thread, except where noted. The lock covers the queue, the thread
// handle and the emptying; the writer never holds it while it writes.

#include <QImage>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "browse/thumbnailentry.h"
#include "browse/thumbnailnames.h"
#include "corekit/loadslot.h"

class ThumbnailCache {
 public:
  // root: the cache folder (made when missing); stop ends the writer.
  explicit ThumbnailCache(const MyString& root, CStopEvent& stop = GetStopEvent());
  ~ThumbnailCache();
  ThumbnailCache(const ThumbnailCache&) = delete;
  ThumbnailCache& operator=(const ThumbnailCache&) = delete;

  // The cache's copy of the thumbnail options: taken at start and on each
  // apply of the view options (GUI thread), read by the workers.
  void ApplyOptions(bool enabled, int cacheSize, bool highQuality);
  // From gTO, and the format files without an extension are opened as
  // (gVSO's "OpenFileOutExt"), which their entries' names carry.
  void ApplySettings();
  // That format's extension ("" when such files are not opened).
  void SetFormatExtension(const MyString& extension);
  MyString GetFormatExtension() const;
  bool IsEnabled() const { return m_bEnabled; }
  int GetCacheSize() const { return m_nCacheSize; }
  bool IsHighQuality() const { return m_bHighQuality; }
  const CThumbnailNames& Names() const { return m_names; }

  // The entry file for source as it was at stamp by the find rules; empty
  // when there is none.
  MyString FindCachedThumbnail(const MyString& source, const tagTHUMBSTAMP& stamp) const;
  // Reads that entry; 0 when there is none or it is not usable.
  int ReadCachedThumbnail(const MyString& source, const tagTHUMBSTAMP& stamp, QImage* image,
                          void* turboHandle = nullptr) const;

  // Queues an entry of image for source, made from the file at stamp.
  // True when a writer runs or was started (false once stopping).
  bool QueueWrite(QImage image, const MyString& source, const tagTHUMBSTAMP& stamp);

  // Makes the mirror of folder, level by level, never through a link.
  void PrepareMirrorFolder(const MyString& folder);
  // The mirror of every slide's folder of a portfolio file.
  void PreparePortfolioFolders(const MyString& portfolio);

  // Moves the cache's contents aside under the lock and deletes them on a
  // thread of their own; the root stays. True when all was moved aside.
  bool EmptyCache();

  // After a lossless turn of source by code (1 to 5): the entry made for the
  // file as it was before (at before) is decoded, turned as the file's
  // pixels were, and queued for the file as it is now. True when there was
  // one to turn.
  bool TransformCachedThumbnail(const MyString& source, const tagTHUMBSTAMP& before, int code);
  // After image was saved to target: a new entry from it, fitted into the
  // S by S box, when the target's folder is mirrored (the caller leaves
  // out pictures too small to keep).
  bool RefreshAfterSave(const MyString& target, const QImage& image);

  // Waits until the queue is empty and the writer and eraser ended (tests).
  void WaitIdle();
  // Stops the writer after the request in hand (with the stop event set) or
  // once the queue is empty, and joins it and the eraser.
  void Release();

 private:
  struct tagREQUEST {
    QImage image;
    MyString source;
    tagTHUMBSTAMP stamp;
  };
  void WriterLoop();
  void WriteOne(const tagREQUEST& request, void* turboHandle);
  bool StopAsked() const;

  MyString CachePath(const MyString& source, FILETIME64 lastWrite, bool highQuality) const;

  CThumbnailNames m_names;
  CStopEvent& m_stop;
  mutable std::mutex m_formatMutex;
  MyString m_strFormatExtension;
  std::atomic<bool> m_bEnabled{true};
  std::atomic<int> m_nCacheSize{300};
  std::atomic<bool> m_bHighQuality{false};

  mutable std::mutex m_mutex;
  std::condition_variable m_idle;
  std::deque<tagREQUEST> m_queue;
  std::thread m_writer;
  bool m_bWriterRunning = false;
  bool m_bReleased = false;
  std::vector<std::thread> m_erasers;
  int m_nErasing = 0;
};

// The process's cache, or null before InitThumbnailCache / after release.
ThumbnailCache* GetThumbnailCache();
// Makes the process's cache under GetCacheFolder() + "/LorimoCache" and
// takes the options from the settings (GUI thread).
ThumbnailCache* InitThumbnailCache(bool cachingOn);
// Stops and drops the process's cache (shut-down); whatever makes
// thumbnails with it must be gone by then.
void ReleaseThumbnailCache();

// image turned as a file's pixels are by a rotate-and-flip code (1 to 5).
QImage TransformThumbnail(const QImage& image, int code);
// image fitted into box with its aspect kept (never larger than the box on
// either side, at least one pixel); smooth or sampled.
QSize FitSize(int width, int height, int boxWidth, int boxHeight);
