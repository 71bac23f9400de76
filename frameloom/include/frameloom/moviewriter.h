#pragma once
// CMovieWriter: writes 32-bit top-down BGRA frames as a movie with FFmpeg:
// AVI (MJPEG, MPEG-4 or MS-MPEG-4 v2), WMV (wmv2 in ASF) or MPEG (mpeg1video
// in an MPEG program stream). The movie is written to a temporary file
// beside the target and renamed over it only when Close succeeds, so a
// stopped or failed movie leaves the target as it was. Any one thread.

#include <cstdint>
#include <string>
#include <vector>

#include "corekit/mystring.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

enum MOVIEKIND : int { MK_AVI, MK_WMV, MK_MPEG };

struct tagMOVIEFORMAT {
  MOVIEKIND nKind = MK_AVI;
  // The encoder: "mjpeg", "mpeg4" or "msmpeg4v2" for AVI; WMV and MPEG
  // have theirs.
  std::string strCodec = "mjpeg";
  int nWidth = 0;
  int nHeight = 0;
  // AVI and WMV: every frame lasts nPeriodMs (the time base). MPEG plays at
  // 25 frames a second and repeats frames to their durations.
  int nPeriodMs = 1000;
  int nQuality = 75;  // 0 (smallest) to 100 (best)
};

class CMovieWriter {
 public:
  CMovieWriter() = default;
  ~CMovieWriter();
  CMovieWriter(const CMovieWriter&) = delete;
  CMovieWriter& operator=(const CMovieWriter&) = delete;

  // The encoders of a kind that this FFmpeg has, best first.
  static std::vector<std::string> AvailableCodecs(MOVIEKIND kind);
  // Largest side an encoder takes.
  static int MaxSide(const std::string& codec);
  static constexpr int kMpegFrameMs = 40;

  // Starts the movie; false with *error when it cannot be made (no encoder,
  // a size past the encoder's limit, the folder not writable).
  bool Open(const MyString& path, const tagMOVIEFORMAT& format, std::string* error);
  // Appends a frame of the movie's size (stride bytes from row to row) that
  // lasts durationMs: AVI/WMV write it durationMs / period times (at least
  // once), MPEG as many 40 ms frames as keep the movie on time.
  bool WriteFrame(const uint8_t* bgra, int stride, int durationMs, std::string* error);
  // Ends the movie and puts it in place.
  bool Close(std::string* error);
  // Drops the movie; the target keeps what it held.
  void Abort();

  int64_t FramesWritten() const { return m_nFrames; }

 private:
  bool Encode(AVFrame* frame, std::string* error);
  void Free();

  std::string m_strTarget;
  std::string m_strTemp;
  tagMOVIEFORMAT m_format;
  AVFormatContext* m_pFormat = nullptr;
  AVCodecContext* m_pCodec = nullptr;
  AVStream* m_pStream = nullptr;
  AVFrame* m_pFrame = nullptr;
  AVPacket* m_pPacket = nullptr;
  SwsContext* m_pScale = nullptr;
  int m_nCodedWidth = 0, m_nCodedHeight = 0;
  int64_t m_nFrames = 0;
  int64_t m_nMovieMs = 0;  // MPEG: the time the frames so far should last
  std::vector<uint8_t> m_padded;
  bool m_bHeaderWritten = false;
};
