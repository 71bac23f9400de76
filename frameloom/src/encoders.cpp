#include "frameloom/encoders.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

std::vector<std::string> AvailableMovieEncoders() {
  std::vector<std::string> found;
  for (const char* name : {"mpeg4", "msmpeg4v2", "mjpeg", "wmv2", "mpeg1video"})
    if (avcodec_find_encoder_by_name(name)) found.emplace_back(name);
  return found;
}
