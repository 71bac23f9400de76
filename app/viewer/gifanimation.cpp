#include "viewer/gifanimation.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

#include "corekit/queuedcall.h"

void CGifPlayback::Start(size_t frameCount, int iterations, int firstDelay) {
  m_nFrames = frameCount;
  m_nIndex = 0;
  m_nCycles = 0;
  m_nIterations = std::max(iterations, 0);
  m_nFirstDelay = std::max(firstDelay, 0);
}

int CGifPlayback::DelayMs(int delay) { return (delay <= 1 ? kMinimumDelay : delay) * 10; }

CGifPlayback::CStep CGifPlayback::Advance(int frameDelay) const {
  CStep step;
  if (m_nFrames == 0) {
    step.bStop = true;
    return step;
  }
  size_t index = m_nIndex + 1;
  int cycles = m_nCycles;
  if (index >= m_nFrames) {
    index = 0;
    ++cycles;
    step.bWrapped = true;
    if (m_nIterations != 0 && m_nIterations < cycles) {
      step.bStop = true;
      step.nFrame = m_nIndex;
      return step;
    }
  }
  step.nFrame = index;
  step.nDelayMs = DelayMs(frameDelay != 0 ? frameDelay : m_nFirstDelay);
  return step;
}

void CGifPlayback::Apply(const CStep& step) {
  if (step.bWrapped) ++m_nCycles;
  // Stopping keeps the index on the frame that stays shown.
  if (!step.bStop) m_nIndex = step.nFrame;
}

CGifAnimation::CGifAnimation(std::function<void(const Magick::Image&)> show, QObject* parent)
    : QObject(parent), m_show(std::move(show)) {
  m_timer.setSingleShot(true);
  connect(&m_timer, &QTimer::timeout, this, &CGifAnimation::Tick);
}

CGifAnimation::~CGifAnimation() { m_timer.stop(); }

void CGifAnimation::Start(std::vector<Magick::Image> frames) {
  if (frames.size() < 2) return;
  int delay;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    Magick::Image& first = frames.front();
    m_playback.Start(frames.size(), int(first.animationIterations()), int(first.animationDelay()));
    m_frames = std::move(frames);
    m_bRunning = true;
    delay = m_playback.FirstDelayMs();
  }
  Arm(delay);
}

void CGifAnimation::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bRunning = false;
    m_frames.clear();
  }
  Arm(-1);
}

bool CGifAnimation::IsRunning() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bRunning;
}

size_t CGifAnimation::GetFrameCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_frames.size();
}

CGifPlayback CGifAnimation::GetPlayback() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_playback;
}

void CGifAnimation::Tick() {
  Magick::Image frame;
  int delay;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bRunning || m_frames.empty()) return;
    const size_t next = m_playback.GetIndex() + 1 < m_frames.size() ? m_playback.GetIndex() + 1 : 0;
    const CGifPlayback::CStep step =
        m_playback.Advance(int(Magick::Image(m_frames[next]).animationDelay()));
    m_playback.Apply(step);
    if (step.bStop) {
      m_bRunning = false;
      return;
    }
    frame = m_frames[step.nFrame];
    delay = step.nDelayMs;
  }
  if (m_show) m_show(frame);
  Arm(delay);
}

void CGifAnimation::Arm(int delayMs) {
  auto arm = [this, delayMs] {
    if (delayMs < 0)
      m_timer.stop();
    else
      m_timer.start(delayMs);
  };
  if (QThread::currentThread() == thread())
    arm();
  else
    QueueCall(this, arm);
}
