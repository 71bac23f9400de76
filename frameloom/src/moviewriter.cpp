#include "frameloom/moviewriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "corekit/straw.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

const char* ContainerOf(MOVIEKIND kind) {
  switch (kind) {
    case MK_AVI:
      return "avi";
    case MK_WMV:
      return "asf";
    default:
      return "mpeg";
  }
}

}  // namespace

CMovieWriter::~CMovieWriter() { Abort(); }

std::vector<std::string> CMovieWriter::AvailableCodecs(MOVIEKIND kind) {
  std::vector<std::string> names;
  std::vector<const char*> wanted;
  if (kind == MK_AVI) wanted = {"mjpeg", "mpeg4", "msmpeg4v2"};
  if (kind == MK_WMV) wanted = {"wmv2"};
  if (kind == MK_MPEG) wanted = {"mpeg1video"};
  if (!av_guess_format(ContainerOf(kind), nullptr, nullptr)) return names;
  for (const char* name : wanted)
    if (avcodec_find_encoder_by_name(name)) names.emplace_back(name);
  return names;
}

int CMovieWriter::MaxSide(const std::string& codec) {
  if (codec == "mpeg1video") return 4095;
  if (codec == "mjpeg") return 65535;
  if (codec == "mpeg4") return 8191;
  return 4095;  // the MS-MPEG-4 and WMV encoders
}

bool CMovieWriter::Open(const MyString& path, const tagMOVIEFORMAT& format, std::string* error) {
  Abort();
  m_format = format;
  if (format.nKind == MK_WMV) m_format.strCodec = "wmv2";
  if (format.nKind == MK_MPEG) m_format.strCodec = "mpeg1video";
  if (format.nWidth <= 0 || format.nHeight <= 0) return Fail(error, "The movie has no frame size.");
  const int maxSide = MaxSide(m_format.strCodec);
  if (format.nWidth > maxSide || format.nHeight > maxSide)
    return Fail(error, "The frames are too large for this encoder (at most " +
                           std::to_string(maxSide) + " pixels a side).");
  const AVCodec* codec = avcodec_find_encoder_by_name(m_format.strCodec.c_str());
  const AVOutputFormat* container = av_guess_format(ContainerOf(format.nKind), nullptr, nullptr);
  if (!codec || !container) return Fail(error, "The required video codec is not available.");

  m_strTarget = CStrAW::w_toA(path);
  // Beside the target, so the rename stays on one file system.
  const size_t slash = m_strTarget.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : m_strTarget.substr(0, slash);
  const std::string name = slash == std::string::npos ? m_strTarget : m_strTarget.substr(slash + 1);
  m_strTemp = folder + "/." + name + "." + std::to_string(getpid()) + ".part";

  if (avformat_alloc_output_context2(&m_pFormat, container, nullptr, m_strTemp.c_str()) < 0)
    return Fail(error, "Unable to Initialize Writing");
  m_pStream = avformat_new_stream(m_pFormat, nullptr);
  m_pCodec = avcodec_alloc_context3(codec);
  m_pFrame = av_frame_alloc();
  m_pPacket = av_packet_alloc();
  if (!m_pStream || !m_pCodec || !m_pFrame || !m_pPacket) {
    Free();
    return Fail(error, "Unable to Allocate Memory");
  }
  // 4:2:0 wants even sides: odd ones are padded with black.
  m_nCodedWidth = (format.nWidth + 1) & ~1;
  m_nCodedHeight = (format.nHeight + 1) & ~1;
  m_pCodec->width = m_nCodedWidth;
  m_pCodec->height = m_nCodedHeight;
  m_pCodec->pix_fmt = m_format.strCodec == "mjpeg" ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
  if (format.nKind == MK_MPEG) {
    m_pCodec->time_base = AVRational{1, 1000 / kMpegFrameMs};
    m_pCodec->framerate = AVRational{1000 / kMpegFrameMs, 1};
  } else {
    // One tick per period: a 300 ms period is 300 ms, not a rounded rate.
    const int period = std::max(1, format.nPeriodMs);
    m_pCodec->time_base = AVRational{period, 1000};
    m_pCodec->framerate = AVRational{1000, period};
  }
  m_pCodec->gop_size = 12;
  // The quality as a fixed quantiser: 100 gives 2, 0 gives 31.
  const int quality = std::clamp(format.nQuality, 0, 100);
  const int quantiser = 2 + (100 - quality) * 29 / 100;
  m_pCodec->flags |= AV_CODEC_FLAG_QSCALE;
  m_pCodec->global_quality = FF_QP2LAMBDA * quantiser;
  if (m_pFormat->oformat->flags & AVFMT_GLOBALHEADER)
    m_pCodec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int result = avcodec_open2(m_pCodec, codec, nullptr);
  if (result < 0) {
    Free();
    return Fail(error, "The required video codec is not available. (" + AvError(result) + ")");
  }
  avcodec_parameters_from_context(m_pStream->codecpar, m_pCodec);
  m_pStream->time_base = m_pCodec->time_base;
  // Containers without stream titles (ASF) carry it as the movie's.
  av_dict_set(&m_pStream->metadata, "title", "Lorimo Video Stream", 0);
  av_dict_set(&m_pFormat->metadata, "title", "Lorimo Video Stream", 0);

  m_pFrame->format = m_pCodec->pix_fmt;
  m_pFrame->width = m_nCodedWidth;
  m_pFrame->height = m_nCodedHeight;
  if (av_frame_get_buffer(m_pFrame, 0) < 0) {
    Free();
    return Fail(error, "Unable to Allocate Memory");
  }
  m_pScale =
      sws_getContext(m_nCodedWidth, m_nCodedHeight, AV_PIX_FMT_BGRA, m_nCodedWidth, m_nCodedHeight,
                     m_pCodec->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!m_pScale) {
    Free();
    return Fail(error, "Unable to Allocate Memory");
  }
  if ((result = avio_open(&m_pFormat->pb, m_strTemp.c_str(), AVIO_FLAG_WRITE)) < 0) {
    Free();
    return Fail(error, "Unable to Initialize Writing (" + AvError(result) + ")");
  }
  if ((result = avformat_write_header(m_pFormat, nullptr)) < 0) {
    Abort();
    return Fail(error, "Unable to Initialize Writing (" + AvError(result) + ")");
  }
  m_bHeaderWritten = true;
  m_padded.assign(size_t(m_nCodedWidth) * size_t(m_nCodedHeight) * 4, 0);
  for (size_t i = 3; i < m_padded.size(); i += 4) m_padded[i] = 255;
  return true;
}

bool CMovieWriter::WriteFrame(const uint8_t* bgra, int stride, int durationMs, std::string* error) {
  if (!m_bHeaderWritten || !bgra) return Fail(error, "Unable to Write Frame");
  for (int y = 0; y < m_format.nHeight; ++y)
    std::memcpy(m_padded.data() + size_t(y) * size_t(m_nCodedWidth) * 4,
                bgra + size_t(y) * size_t(stride), size_t(m_format.nWidth) * 4);
  if (av_frame_make_writable(m_pFrame) < 0) return Fail(error, "Unable to Lock Buffer");
  const uint8_t* source[1] = {m_padded.data()};
  const int sourceStride[1] = {m_nCodedWidth * 4};
  sws_scale(m_pScale, source, sourceStride, 0, m_nCodedHeight, m_pFrame->data, m_pFrame->linesize);

  int64_t copies;
  if (m_format.nKind == MK_MPEG) {
    m_nMovieMs += std::max(0, durationMs);
    const int64_t due = (m_nMovieMs + kMpegFrameMs / 2) / kMpegFrameMs;
    copies = std::max<int64_t>(1, due - m_nFrames);
  } else {
    copies = std::max(1, durationMs / std::max(1, m_format.nPeriodMs));
  }
  for (int64_t n = 0; n < copies; ++n) {
    m_pFrame->pts = m_nFrames++;
    if (!Encode(m_pFrame, error)) return false;
  }
  return true;
}

bool CMovieWriter::Encode(AVFrame* frame, std::string* error) {
  int result = avcodec_send_frame(m_pCodec, frame);
  if (result < 0) return Fail(error, "Unable to Write Frame (" + AvError(result) + ")");
  for (;;) {
    result = avcodec_receive_packet(m_pCodec, m_pPacket);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
    if (result < 0) return Fail(error, "Unable to Write Frame (" + AvError(result) + ")");
    av_packet_rescale_ts(m_pPacket, m_pCodec->time_base, m_pStream->time_base);
    m_pPacket->stream_index = m_pStream->index;
    result = av_interleaved_write_frame(m_pFormat, m_pPacket);
    if (result < 0) return Fail(error, "Unable to Write Frame (" + AvError(result) + ")");
  }
}

bool CMovieWriter::Close(std::string* error) {
  if (!m_bHeaderWritten) return Fail(error, "Unable to Write Frame");
  if (!Encode(nullptr, error)) {
    Abort();
    return false;
  }
  int result = av_write_trailer(m_pFormat);
  avio_flush(m_pFormat->pb);
  // A full disk shows here at the latest.
  const int ioError = m_pFormat->pb->error;
  const int closed = avio_closep(&m_pFormat->pb);
  if (result < 0 || ioError < 0 || closed < 0) {
    Abort();
    return Fail(error, "Error occured while rendering video ! (" +
                           AvError(result < 0    ? result
                                   : ioError < 0 ? ioError
                                                 : closed) +
                           ")");
  }
  Free();
  if (std::rename(m_strTemp.c_str(), m_strTarget.c_str()) != 0) {
    std::remove(m_strTemp.c_str());
    m_strTemp.clear();
    return Fail(error, "Unable to Initialize Writing (the movie could not be put in place)");
  }
  m_strTemp.clear();
  return true;
}

void CMovieWriter::Abort() {
  if (m_pFormat && m_pFormat->pb) avio_closep(&m_pFormat->pb);
  Free();
  if (!m_strTemp.empty()) std::remove(m_strTemp.c_str());
  m_strTemp.clear();
}

void CMovieWriter::Free() {
  if (m_pScale) sws_freeContext(m_pScale);
  m_pScale = nullptr;
  av_frame_free(&m_pFrame);
  av_packet_free(&m_pPacket);
  avcodec_free_context(&m_pCodec);
  if (m_pFormat) avformat_free_context(m_pFormat);
  m_pFormat = nullptr;
  m_pStream = nullptr;
  m_bHeaderWritten = false;
}
