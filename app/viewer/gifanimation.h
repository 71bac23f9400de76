#pragma once
// Animated GIF playback in the viewer: the coalesced frames under their own
// lock, the frame index, the completed cycles and the file's iteration
// count. CGifPlayback is the rule (no timer, testable); CGifAnimation runs
// it on a timer of the GUI thread and hands each frame to the document.

#include <QObject>
#include <QTimer>
#include <functional>
#include <mutex>
#include <vector>

#include <Magick++.h>

// The frame sequence and its counters. Delays are in hundredths of a
// second, as GIF files store them.
class CGifPlayback {
 public:
  // What a delay of 0 or 1 hundredth becomes: such a timer would fire
  // without pause and take the GUI thread. Browsers show these frames for
  // 1/10 s as well.
  static constexpr int kMinimumDelay = 10;

  struct CStep {
    bool bStop = false;     // the iterations are done: the shown frame stays
    bool bWrapped = false;  // a cycle was completed
    size_t nFrame = 0;      // the frame to show
    int nDelayMs = 0;       // the time until the next step
  };

  // Index and cycles to 0; iterations and delay from the first frame.
  void Start(size_t frameCount, int iterations, int firstDelay);
  // The next step: advance, wrap (one more cycle), stop when the iteration
  // count is not 0 and smaller than the cycles; delay of the frame, or of
  // the first frame when its own is 0.
  CStep Advance(int frameDelay) const;
  void Apply(const CStep& step);
  // The delay before the first step, in milliseconds.
  int FirstDelayMs() const { return DelayMs(m_nFirstDelay); }

  size_t GetIndex() const { return m_nIndex; }
  int GetCycles() const { return m_nCycles; }
  int GetIterations() const { return m_nIterations; }
  size_t GetFrameCount() const { return m_nFrames; }
  static int DelayMs(int delay);

 private:
  size_t m_nFrames = 0;
  size_t m_nIndex = 0;
  int m_nCycles = 0;
  int m_nIterations = 0;
  int m_nFirstDelay = 0;
};

class CGifAnimation : public QObject {
  Q_OBJECT
 public:
  // show receives each frame to put into the document and redraw.
  explicit CGifAnimation(std::function<void(const Magick::Image&)> show, QObject* parent = nullptr);
  ~CGifAnimation() override;

  // Takes the frames (at least two) and starts the timer. Any thread: the
  // timer is armed on the GUI thread.
  void Start(std::vector<Magick::Image> frames);
  // Stops and empties the frame list. Any thread.
  void Stop();
  bool IsRunning() const;
  size_t GetFrameCount() const;
  CGifPlayback GetPlayback() const;

  // One timer tick (public for tests that step without waiting).
  void Tick();

 private:
  void Arm(int delayMs);

  std::function<void(const Magick::Image&)> m_show;
  mutable std::mutex m_mutex;  // guards the frame list and the playback
  std::vector<Magick::Image> m_frames;
  CGifPlayback m_playback;
  bool m_bRunning = false;
  QTimer m_timer;
};
