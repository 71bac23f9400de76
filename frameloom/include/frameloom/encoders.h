#pragma once
// The video encoders and containers of the movie maker that this machine's
// FFmpeg offers.
#include <string>
#include <vector>

// Names of the encoders, among those the movie maker can use, that exist.
std::vector<std::string> AvailableMovieEncoders();
