#include "testhelpers.h"

#include <mutex>

#include "rowrunner.h"

namespace lorimotest {

namespace {

// GraphicsMagick is set up once for the whole test program.
const bool gbMagickReady = [] {
  Magick::InitializeMagick(nullptr);
  return true;
}();

std::mutex gMonitorLock;
std::vector<CMonitorScope::Call> gCalls;
std::function<bool(size_t)> gGoOn;

MagickPassFail RecordingMonitor(const char* text, const MagickLib::magick_int64_t quantum,
                                const MagickLib::magick_uint64_t span, MagickLib::ExceptionInfo*) {
  std::lock_guard<std::mutex> lock(gMonitorLock);
  if (text == nullptr || text[0] != '\0') return MagickPass;  // not ours
  gCalls.push_back({quantum, span});
  return gGoOn(gCalls.size() - 1) ? MagickPass : MagickFail;
}

}  // namespace

CLorimoMagickFloat MakePlanes(uint32_t cols, uint32_t rows, unsigned short planes,
                              const std::function<float(int, int, int)>& value) {
  CLorimoMagickFloat image(cols, rows, planes);
  for (int p = 0; p < planes; ++p) {
    float* plane = image.Plane(p);
    for (uint32_t y = 0; y < rows; ++y)
      for (uint32_t x = 0; x < cols; ++x) plane[y * cols + x] = value(p, int(y), int(x));
  }
  return image;
}

float At(const CLorimoMagickFloat& image, int p, int y, int x) {
  return image.Plane(p)[size_t(y) * image.cols() + x];
}

Magick::Image MakeImage(unsigned cols, unsigned rows,
                        const std::function<uint32_t(int, int)>& colour) {
  (void)gbMagickReady;
  Magick::Image image(Magick::Geometry(cols, rows), Magick::Color(0, 0, 0));
  image.modifyImage();
  image.type(Magick::TrueColorType);
  Magick::PixelPacket* pixels = image.setPixels(0, 0, cols, rows);
  for (unsigned y = 0; y < rows; ++y)
    for (unsigned x = 0; x < cols; ++x) {
      const uint32_t c = colour(int(x), int(y));
      Magick::PixelPacket& p = pixels[y * cols + x];
      p.red = Magick::Quantum(257 * ((c >> 16) & 0xFF));
      p.green = Magick::Quantum(257 * ((c >> 8) & 0xFF));
      p.blue = Magick::Quantum(257 * (c & 0xFF));
      p.opacity = 0;
    }
  image.syncPixels();
  return image;
}

CMonitorScope::CMonitorScope(std::function<bool(size_t)> goOn) {
  (void)gbMagickReady;
  std::lock_guard<std::mutex> lock(gMonitorLock);
  gCalls.clear();
  gGoOn = std::move(goOn);
  MagickLib::SetMonitorHandler(RecordingMonitor);
}

CMonitorScope::~CMonitorScope() {
  MagickLib::SetMonitorHandler(nullptr);
  std::lock_guard<std::mutex> lock(gMonitorLock);
  gGoOn = nullptr;
}

const std::vector<CMonitorScope::Call>& CMonitorScope::Calls() const { return gCalls; }

CWorkerLimitScope::CWorkerLimitScope(unsigned limit) : m_nPrevious(SetWorkerLimit(limit)) {}
CWorkerLimitScope::~CWorkerLimitScope() { SetWorkerLimit(m_nPrevious); }

}  // namespace lorimotest
