#include "frameloom/moviemaker.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "corekit/straw.h"

namespace {

uint32_t Pixel(const tagLORIMOBITMAP* bitmap, int x, int y) {
  uint32_t value;
  std::memcpy(&value, bitmap->pPixels + size_t(y) * size_t(bitmap->nStride) + size_t(x) * 4, 4);
  return value;
}

void SetPixel(tagLORIMOBITMAP* bitmap, int x, int y, uint32_t value) {
  std::memcpy(bitmap->pPixels + size_t(y) * size_t(bitmap->nStride) + size_t(x) * 4, &value, 4);
}

SIZE ComposedSize(int width, int height, const tagMOVIESETTINGS& s) {
  const bool left = s.bReplicate[Q_UL] || s.bReplicate[Q_LL];
  const bool right = s.bReplicate[Q_UR] || s.bReplicate[Q_LR];
  const bool top = s.bReplicate[Q_UL] || s.bReplicate[Q_UR];
  const bool bottom = s.bReplicate[Q_LL] || s.bReplicate[Q_LR];
  return SIZE{left && right ? 2 * width : width, top && bottom ? 2 * height : height};
}

}  // namespace

void CMovieMaker::HalfPictures(std::vector<tagFRAMEENTRY>& frames) {
  // floor(n / 2) entries go, those at 0, 2, 4, ...: an odd list keeps its last.
  const size_t removed = frames.size() / 2;
  std::vector<tagFRAMEENTRY> kept;
  for (size_t i = 0; i < frames.size(); ++i)
    if (i % 2 == 1 || i / 2 >= removed) kept.push_back(frames[i]);
  frames = std::move(kept);
}

bool CMovieMaker::Resample(std::vector<tagFRAMEENTRY>& frames, int n) {
  if (n < 1) return false;
  std::vector<tagFRAMEENTRY> kept;
  for (size_t i = 0; i < frames.size(); i += size_t(n)) kept.push_back(frames[i]);
  frames = std::move(kept);
  return true;
}

HBITMAP CMovieMaker::ComposeFrame(const tagLORIMOBITMAP* source, const tagMOVIESETTINGS& settings) {
  if (!source || !source->pPixels) return nullptr;
  const int w = source->nWidth, h = source->nHeight;
  const SIZE size = ComposedSize(w, h, settings);
  HBITMAP out = CreateBitmap32(size.cx, size.cy);
  if (!out) return nullptr;
  // Row by row: whole rows copied, flopped rows reversed.
  auto draw = [&](int left, int top, int flags) {
    const bool upDown = flags & kFlipUpDown, leftRight = flags & kFlipLeftRight;
    for (int y = 0; y < h; ++y) {
      const auto* from = reinterpret_cast<const uint32_t*>(
          source->pPixels + size_t(upDown ? h - 1 - y : y) * size_t(source->nStride));
      auto* to =
          reinterpret_cast<uint32_t*>(out->pPixels + size_t(top + y) * size_t(out->nStride)) + left;
      if (leftRight)
        std::reverse_copy(from, from + w, to);
      else
        std::memcpy(to, from, size_t(w) * 4);
    }
  };
  const bool* on = settings.bReplicate;
  if (!on[Q_UL] && !on[Q_UR] && !on[Q_LL] && !on[Q_LR]) {
    draw(0, 0, 0);
    return out;
  }
  const int x = on[Q_UL] || on[Q_LL] ? w : 0;
  const int y = on[Q_UL] || on[Q_UR] ? h : 0;
  if (on[Q_UL]) draw(0, 0, settings.nFlags[Q_UL]);
  if (on[Q_UR]) draw(x, 0, settings.nFlags[Q_UR]);
  if (on[Q_LL]) draw(0, y, settings.nFlags[Q_LL]);
  if (on[Q_LR]) draw(x, y, settings.nFlags[Q_LR]);
  return out;
}

HBITMAP CMovieMaker::FitInto(const tagLORIMOBITMAP* source, int width, int height) {
  HBITMAP out = CreateBitmap32(width, height);
  if (!out || !source || source->nWidth <= 0 || source->nHeight <= 0) return out;
  // Both sides fit: the smaller scale of the two, never enlarged.
  const double scale =
      std::min({1.0, double(width) / source->nWidth, double(height) / source->nHeight});
  const int scaledWidth = std::max(1, int(std::lround(source->nWidth * scale)));
  const int scaledHeight = std::max(1, int(std::lround(source->nHeight * scale)));
  const int left = (width - scaledWidth) / 2, top = (height - scaledHeight) / 2;
  for (int y = 0; y < scaledHeight; ++y)
    for (int x = 0; x < scaledWidth; ++x) {
      const int sx = std::min(source->nWidth - 1, int(x / scale));
      const int sy = std::min(source->nHeight - 1, int(y / scale));
      SetPixel(out, left + x, top + y, Pixel(source, sx, sy));
    }
  return out;
}

int CMovieMaker::Validate(const std::vector<tagFRAMEENTRY>& frames,
                          const tagMOVIESETTINGS& settings, SIZE* movieSize, int* periodMs,
                          MyString* error) const {
  SIZE first{};
  int period = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    const tagFRAMEENTRY& frame = frames[i];
    if (frame.nDurationMs < 1 && settings.nDelayMs == 0) {
      *error = u"Frame timing error !";
      return RR_TIMING_ERROR;
    }
    SIZE size{};
    if (!m_size(frame.strFile, &size) || size.cx <= 0 || size.cy <= 0) {
      // Reported as the render pass reports it.
      *error = u"An error occured while loading " + frame.strFile;
      return RR_LOAD_ERROR;
    }
    if (i == 0)
      first = size;
    else if ((size.cx != first.cx || size.cy != first.cy) && !settings.bAllowDifferentDimensions) {
      *error = u"Only frames having the same dimensions are allowed!";
      return RR_SIZE_ERROR;
    }
    if (frame.nDurationMs > 0 && (!period || frame.nDurationMs < period))
      period = frame.nDurationMs;
  }
  if (frames.empty()) {
    *error = u"Frame timing error !";
    return RR_TIMING_ERROR;
  }
  *movieSize = ComposedSize(first.cx, first.cy, settings);
  *periodMs = period ? period : std::max(1, settings.nDelayMs);
  return RR_DONE;
}

int CMovieMaker::Render(const MyString& path, tagMOVIEFORMAT format,
                        const std::vector<tagFRAMEENTRY>& frames, const tagMOVIESETTINGS& settings,
                        const AskLoadError& ask, const std::function<void(int)>& progress,
                        MyString* error) {
  SIZE movie{};
  int period = 0;
  const int valid = Validate(frames, settings, &movie, &period, error);
  if (valid != RR_DONE) return valid;
  // The frame before composing: the first frame's size.
  SIZE source{};
  m_size(frames[0].strFile, &source);
  format.nWidth = movie.cx;
  format.nHeight = movie.cy;
  format.nPeriodMs = period;
  format.nQuality = settings.nMpegQuality;
  CMovieWriter writer;
  std::string text;
  if (!writer.Open(path, format, &text)) {
    *error = CStrAW::a_toW(text);
    return RR_WRITE_ERROR;
  }
  for (size_t i = 0; i < frames.size(); ++i) {
    if (m_bStop) return RR_STOPPED;  // the writer drops the movie
    const tagFRAMEENTRY& frame = frames[i];
    HBITMAP bitmap = nullptr;
    for (;;) {
      MyString readError;
      bitmap = m_read(frame.strFile, &readError);
      if (bitmap || m_bStop) break;
      const LOADCHOICE choice = ask ? ask(frame.strFile, readError) : LC_ABORT;
      if (choice == LC_RETRY) continue;
      if (choice == LC_ABORT) {
        *error = u"An error occured while loading " + frame.strFile + u"\n" + readError;
        return RR_LOAD_ERROR;
      }
      break;  // ignored: the frame is skipped
    }
    if (m_bStop) {
      DeleteBitmap32(bitmap);
      return RR_STOPPED;
    }
    if (!bitmap) continue;
    if (bitmap->nWidth != source.cx || bitmap->nHeight != source.cy) {
      HBITMAP fitted = FitInto(bitmap, source.cx, source.cy);
      DeleteBitmap32(bitmap);
      bitmap = fitted;
    }
    HBITMAP composed = ComposeFrame(bitmap, settings);
    DeleteBitmap32(bitmap);
    if (composed && settings.annotate) settings.annotate(composed);
    const int duration = frame.nDurationMs > 0 ? frame.nDurationMs : settings.nDelayMs;
    const bool written =
        composed && writer.WriteFrame(composed->pPixels, composed->nStride, duration, &text);
    DeleteBitmap32(composed);
    if (!written) {
      *error = u"Error occured while rendering video !";
      return RR_WRITE_ERROR;
    }
    if (progress) progress(int((i + 1) * 100 / frames.size()));
  }
  if (m_bStop) return RR_STOPPED;
  if (!writer.Close(&text)) {
    *error = u"Error occured while rendering video !";
    return RR_WRITE_ERROR;
  }
  return RR_DONE;
}
