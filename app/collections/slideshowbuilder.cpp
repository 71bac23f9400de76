#include "collections/slideshowbuilder.h"

#include <algorithm>

#include <Magick++.h>

#include "codecs/decodeprogress.h"
#include "codecs/imagereader.h"
#include "corekit/atomicfile.h"

namespace {

// GIF stores a frame's delay in 16 bits.
constexpr int kMaxFrameDelay = 65535;

// Aborts the library at its next report once the build is aborted; while
// writing, passes on its task text and percentage.
class CBuildProgress : public CDecodeProgress {
 public:
  CBuildProgress(const std::atomic<bool>& abort,
                 const std::function<void(int, const std::string&)>& report)
      : m_abort(abort), m_report(report) {}

  bool OnProgress(int64_t, uint64_t) override { return !m_abort; }
  bool OnTaskProgress(const char* text, int64_t done, uint64_t total) override {
    if (m_bWriting && m_report) {
      const std::string task = text ? text : "";
      const int percent = total ? int(std::clamp<int64_t>(done * 100 / int64_t(total), 0, 100)) : 0;
      if (task != m_strTask || percent != m_nPercent) {
        m_report(percent, task != m_strTask ? task : std::string());
        m_strTask = task;
        m_nPercent = percent;
      }
    }
    return !m_abort;
  }
  void SetWriting() { m_bWriting = true; }

 private:
  const std::atomic<bool>& m_abort;
  const std::function<void(int, const std::string&)>& m_report;
  bool m_bWriting = false;
  std::string m_strTask;
  int m_nPercent = -1;
};

}  // namespace

int CSlideshowBuilder::FrameDelay(int32_t delayMs, uint32_t autoplayMs) {
  int64_t ms = delayMs > 0 ? delayMs : int64_t(autoplayMs);
  return int(std::min<int64_t>(std::max<int64_t>(ms, 10) / 10, kMaxFrameDelay));
}

SLIDESHOWRESULT CSlideshowBuilder::Build(const std::vector<CSlide>& slides, uint32_t autoplayMs,
                                         const MyString& output) {
  m_strError.clear();
  m_skipped.clear();
  CBuildProgress progress(m_bAbort, onProgress);
  CThreadDecodeProgress scope(&progress);
  if (onProgress) onProgress(0, "Loading images ...");

  std::vector<Magick::Image> frames;
  frames.reserve(slides.size());
  size_t width = 0, height = 0;
  for (size_t i = 0; i < slides.size(); ++i) {
    if (m_bAbort) return SLIDESHOW_ABORTED;
    Magick::Image image;
    std::string error;
    if (slides[i].strPath.IsEmpty() ||
        !DecodeImageFile(slides[i].strPath, &image, &error, &progress)) {
      if (m_bAbort) return SLIDESHOW_ABORTED;
      m_skipped.push_back(slides[i].strPath);
      continue;
    }
    try {
      image.animationDelay(FrameDelay(slides[i].nDelay, autoplayMs));
      image.gifDisposeMethod(3);
      image.magick("GIF");
      width = std::max<size_t>(width, image.columns());
      height = std::max<size_t>(height, image.rows());
      frames.push_back(std::move(image));
    } catch (const Magick::Exception& e) {
      m_skipped.push_back(slides[i].strPath);
    }
    if (onProgress) onProgress(int(100 * i / slides.size()), std::string());
  }
  if (m_bAbort) return SLIDESHOW_ABORTED;
  if (frames.empty()) {
    m_strError = "None of the images could be read.";
    return SLIDESHOW_FAILED;
  }

  Magick::Blob blob;
  progress.SetWriting();
  try {
    // Every frame at the top left of a screen that holds the largest one.
    for (Magick::Image& frame : frames) frame.page(Magick::Geometry(width, height, 0, 0));
    Magick::writeImages(frames.begin(), frames.end(), &blob, true);
  } catch (const Magick::Warning&) {
    // The frames were written; a warning is no reason to drop them.
  } catch (const Magick::Exception& e) {
    if (m_bAbort) return SLIDESHOW_ABORTED;
    m_strError = e.what();
    return SLIDESHOW_FAILED;
  }
  if (m_bAbort) return SLIDESHOW_ABORTED;
  if (blob.length() == 0) {
    m_strError = "The library wrote no GIF data.";
    return SLIDESHOW_FAILED;
  }
  MyString writeError;
  if (!WriteFileAtomically(output,
                           std::string_view(static_cast<const char*>(blob.data()), blob.length()),
                           &writeError)) {
    m_strError = writeError.ToUtf8();
    return SLIDESHOW_FAILED;
  }
  if (onProgress) onProgress(100, std::string());
  return SLIDESHOW_COMPLETE;
}
