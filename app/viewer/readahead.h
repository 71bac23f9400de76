#pragma once
// CReadAhead: decodes the images the viewer is likely to show next on a
// thread of its own, through the codec layer, and keeps them within a
// budget, so that stepping to one shows it without a decode. The viewer's
// load takes a finished result by its key; a decode still running for it is
// cancelled and the load reads the file itself, so a load never waits. A
// result is only handed out while its file is the one it was read from
// (same inode, size and time) and it was read with the same settings.
// Failed decodes are forgotten: the load then fails as it always does.
// Want and Remember on the GUI thread; Take on the loading thread.

#include <QImage>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "codecs/decodeprogress.h"
#include "codecs/imagereader.h"
#include "corekit/atomicfile.h"
#include "corekit/mystring.h"

// What a read was asked with; a result serves only a load asking the same.
struct tagREADAHEADKEY {
  MyString path;
  MyString extension;
  std::string forcedFormat;
  SIZE szHint{};  // 0 x 0: full size
  bool bUpright = false;
  bool bColourProfiles = false;  // the display form is converted by the embedded profile
  bool operator==(const tagREADAHEADKEY& other) const {
    return path == other.path && extension == other.extension &&
           forcedFormat == other.forcedFormat && szHint.cx == other.szHint.cx &&
           szHint.cy == other.szHint.cy && bUpright == other.bUpright &&
           bColourProfiles == other.bColourProfiles;
  }
};

// The file a read began on. Any change of it throws the result away.
struct tagFILESTAMP {
  tagFILEIDENTITY identity;
  uint64_t nSize = 0;
  int64_t nWriteTime = 0;
  bool operator==(const tagFILESTAMP&) const = default;
};
// False when the path leads to no regular file.
bool ReadFileStamp(const MyString& path, tagFILESTAMP* stamp);

class CReadAhead {
 public:
  // At most nImages results, together at most nBudgetBytes.
  explicit CReadAhead(size_t nImages = 2, uint64_t nBudgetBytes = 512ull << 20);
  ~CReadAhead();
  CReadAhead(const CReadAhead&) = delete;
  CReadAhead& operator=(const CReadAhead&) = delete;

  // The image shown (null: none) and the ones wanted next, most wanted
  // first: results for other keys are dropped, missing ones are decoded in
  // this order. The shown image's result shares its pixels with the
  // viewer's and is kept outside the budget, so that it is at hand once the
  // user has stepped on and comes back.
  void Want(const tagREADAHEADKEY* shown, const std::vector<tagREADAHEADKEY>& ahead);
  // The result the viewer's load read itself (or took) becomes the shown one.
  void Remember(const tagREADAHEADKEY& key, const tagFILESTAMP& stamp,
                const CImageReadResult& result);
  // The finished result for key while its file is unchanged (it stays
  // kept). Otherwise false, and any decode running or waiting is given up:
  // the load reads the file now and should have the processors.
  bool Take(const tagREADAHEADKEY& key, CImageReadResult* result);
  // The display form made ahead from exactly these pixels (an image taken
  // from here and not changed since); false when there is none.
  bool FindDisplay(const Magick::Image& image, QImage* display) const;
  bool FindDisplay(const CPixelPicture* picture, QImage* display) const;
  // The display form the viewer made for an image it took or remembered
  // here, kept with it for a step back.
  void AttachDisplay(const Magick::Image& image, const QImage& display);
  void AttachDisplay(const CPixelPicture* picture, const QImage& display);
  // Lets go of an image the viewer no longer shows on the read-ahead
  // thread: freeing a large picture takes a while.
  void DropLater(const Magick::Image& image, const QImage& display,
                 std::shared_ptr<const CPixelPicture> picture = nullptr);
  // Drops everything and stops the decode in hand.
  void Clear();
  // Off: nothing is read ahead or kept (benchmarks compare with and without).
  void SetEnabled(bool enabled);

  // For tests and benchmarks: finished results held, loads served by one,
  // and whether a decode runs or waits.
  size_t CountHeld() const;
  size_t CountHits() const { return m_nHits; }
  bool IsBusy() const;
  // Waits until nothing is decoding or waiting (tests, benchmarks).
  void WaitIdle() const;

 private:
  struct tagENTRY {
    tagREADAHEADKEY key;
    tagFILESTAMP stamp;
    CImageReadResult result;
    QImage display;  // made ahead for an opaque still image
    uint64_t nBytes = 0;
  };

  void Run();
  // Under m_mutex: adds a decoded entry and keeps what fits, most wanted first.
  void Keep(tagENTRY entry);
  void Trim();
  bool IsHeld(const tagREADAHEADKEY& key) const;
  int RankOf(
      const tagREADAHEADKEY& key) const;  // -1 shown, else place in m_ahead; INT_MAX unwanted
  static uint64_t BytesOf(const tagENTRY& entry);
  // Under m_mutex: the entry holding exactly these pixels (null: none).
  tagENTRY* EntryOf(const Magick::Image& image, const CPixelPicture* picture);

  const size_t m_nImages;
  const uint64_t m_nBudget;
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_wake;
  std::list<tagENTRY> m_held;
  std::vector<tagREADAHEADKEY> m_pending;  // still to decode, in order
  bool m_bHasShown = false;
  tagREADAHEADKEY m_shown;
  std::vector<tagREADAHEADKEY> m_ahead;  // the last Want
  struct tagDROPPED {
    Magick::Image image;
    QImage display;
    std::shared_ptr<const CPixelPicture> picture;
  };
  std::vector<tagDROPPED> m_dropped;
  bool m_bDecoding = false;
  tagREADAHEADKEY m_decoding;  // while m_bDecoding
  bool m_bStop = false;
  bool m_bEnabled = true;
  std::atomic<size_t> m_nHits{0};
  CDecodeCancel m_cancel;
  std::thread m_thread;
};
