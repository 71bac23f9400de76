#pragma once
// CMovieMaker: the movie maker's work without windows: the frame list and
// its thinning, composing a frame (replication into quadrants with flips),
// the validation pass and the render pass into a CMovieWriter. Images are
// read through the functions given (the program's requests 1 and 5 in the
// plug-in), so the logic runs the same in tests. Render runs on a worker;
// Stop may be called from any thread.

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "corekit/bitmap.h"
#include "corekit/messages.h"
#include "corekit/mystring.h"
#include "frameloom/moviewriter.h"

struct tagFRAMEENTRY {
  MyString strFile;
  int nDurationMs = 1000;
  int nOffsetMs = 0;  // the duration's offset from the delay
};

// Flip bits of a quadrant's combos.
constexpr int kFlipNone = 2;
constexpr int kFlipUpDown = 4;
constexpr int kFlipLeftRight = 8;

enum QUADRANT : int { Q_UL, Q_UR, Q_LL, Q_LR, Q_COUNT };

struct tagMOVIESETTINGS {
  int nDelayMs = 1000;
  bool bReplicate[Q_COUNT] = {};
  int nFlags[Q_COUNT] = {kFlipNone, kFlipNone, kFlipNone, kFlipNone};
  bool bAllowDifferentDimensions = false;
  int nMpegQuality = 75;
  // Draws the annotation on a composed frame (the dialog's text tool); on
  // the render thread.
  std::function<void(tagLORIMOBITMAP* frame)> annotate;
};

// What Render reports back.
enum RENDERRESULT : int {
  RR_DONE,
  RR_STOPPED,
  RR_TIMING_ERROR,  // "Frame timing error !"
  RR_SIZE_ERROR,    // "Only frames having the same dimensions are allowed!"
  RR_LOAD_ERROR,    // a frame could not be read (text in the error)
  RR_WRITE_ERROR,   // the writer failed (text in the error)
};

// What to do about a frame that cannot be loaded (the Abort/Retry/Ignore box).
enum LOADCHOICE : int { LC_ABORT, LC_RETRY, LC_IGNORE };

class CMovieMaker {
 public:
  // Reads a file as a new bitmap (null and *error on failure).
  using ReadBitmap = std::function<HBITMAP(const MyString& file, MyString* error)>;
  // The size from the header; false when it cannot be read.
  using ReadSize = std::function<bool(const MyString& file, SIZE* size)>;
  using AskLoadError = std::function<LOADCHOICE(const MyString& file, const MyString& error)>;

  CMovieMaker(ReadBitmap read, ReadSize size) : m_read(std::move(read)), m_size(std::move(size)) {}

  // Thinning: "Half pictures" drops entries 0, 2, 4, ... (floor(n / 2) of
  // them); Resample(n) keeps the first of every group of n. n < 1 refused.
  static void HalfPictures(std::vector<tagFRAMEENTRY>& frames);
  static bool Resample(std::vector<tagFRAMEENTRY>& frames, int n);

  // The composed frame of source (a new bitmap; null for no memory).
  static HBITMAP ComposeFrame(const tagLORIMOBITMAP* source, const tagMOVIESETTINGS& settings);
  // The bitmap fitted (both sides) and centred into width x height.
  static HBITMAP FitInto(const tagLORIMOBITMAP* source, int width, int height);

  // The validation pass: the movie size (of the first frame, composed) and
  // the frame period. RR_DONE or the error.
  int Validate(const std::vector<tagFRAMEENTRY>& frames, const tagMOVIESETTINGS& settings,
               SIZE* movieSize, int* periodMs, MyString* error) const;
  // Validation, then every frame into a movie at path. progress gets 0-100.
  int Render(const MyString& path, tagMOVIEFORMAT format, const std::vector<tagFRAMEENTRY>& frames,
             const tagMOVIESETTINGS& settings, const AskLoadError& ask,
             const std::function<void(int)>& progress, MyString* error);
  void Stop() { m_bStop = true; }
  bool IsStopped() const { return m_bStop; }

 private:
  ReadBitmap m_read;
  ReadSize m_size;
  std::atomic<bool> m_bStop{false};
};
