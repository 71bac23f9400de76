// The movie maker's path on 30 JPEG stills of 1280 x 720 shown 40 ms each:
// read (GraphicsMagick into a BGRA bitmap, as the program's read request
// does), compose, encode and mux, per encoder, beside
// "ffmpeg -i still%02d.jpg -c:v <codec>" at the same quantiser in the same
// run. Prints frames per second and the ratio (ours / ffmpeg).
//
//   bench_frameloom_movie [folder] [runs]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <Magick++.h>

#include "benchtiming.h"
#include "corekit/bitmap.h"
#include "corekit/straw.h"
#include "frameloom/moviemaker.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFrames = 30;
constexpr int kQuality = 75;  // our quantiser 9

std::vector<fs::path> MakeStills(const fs::path& folder) {
  std::vector<fs::path> stills;
  for (int i = 0; i < kFrames; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "still%02d.jpg", i);
    const fs::path path = folder / name;
    stills.push_back(path);
    if (fs::exists(path)) continue;
    Magick::Image image(Magick::Geometry(320, 180), Magick::Color(i % 2 ? "skyblue" : "orange"));
    image.addNoise(Magick::GaussianNoise);
    image.scale(Magick::Geometry("1280x720!"));
    image.blur(0, 1.0);
    image.quality(90);
    image.write(path.string());
  }
  return stills;
}

HBITMAP ReadBitmap(const MyString& file, MyString* error) {
  try {
    Magick::Image image(file.ToUtf8());
    HBITMAP bitmap = CreateBitmap32(int(image.columns()), int(image.rows()));
    if (bitmap)
      image.write(0, 0, image.columns(), image.rows(), "BGRA", Magick::CharPixel, bitmap->pPixels);
    return bitmap;
  } catch (const std::exception& e) {
    *error = CStrAW::a_toW(e.what());
    return nullptr;
  }
}

bool ReadSize(const MyString& file, SIZE* size) {
  try {
    Magick::Image image;
    image.ping(file.ToUtf8());
    *size = SIZE{int(image.columns()), int(image.rows())};
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  Magick::InitializeMagick(argv[0]);
  const fs::path folder =
      argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "frameloom-bench";
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  fs::create_directories(folder);
  const std::vector<fs::path> stills = MakeStills(folder);
  std::vector<tagFRAMEENTRY> frames;
  for (const fs::path& still : stills) frames.push_back({CStrAW::FromPath(still), 40, 0});

  struct tagCODEC {
    MOVIEKIND kind;
    const char* name;
    const char* extension;
  };
  const tagCODEC codecs[] = {{MK_AVI, "mjpeg", "avi"},
                             {MK_AVI, "mpeg4", "avi"},
                             {MK_WMV, "wmv2", "wmv"},
                             {MK_MPEG, "mpeg1video", "mpg"}};
  const int quantiser = 2 + (100 - kQuality) * 29 / 100;
  std::printf("%-12s %10s %10s %7s\n", "codec", "ours fps", "ffmpeg fps", "ratio");
  for (const tagCODEC& codec : codecs) {
    const fs::path ours = folder / (std::string("ours.") + codec.extension);
    const fs::path theirs = folder / (std::string("ffmpeg.") + codec.extension);
    const double oursMs = MedianMs(runs, [&] {
      CMovieMaker maker(ReadBitmap, ReadSize);
      tagMOVIEFORMAT format;
      format.nKind = codec.kind;
      format.strCodec = codec.name;
      tagMOVIESETTINGS settings;
      settings.nDelayMs = 40;
      settings.nMpegQuality = kQuality;
      MyString error;
      const int result =
          maker.Render(CStrAW::FromPath(ours), format, frames, settings, nullptr, nullptr, &error);
      if (result != RR_DONE) std::fprintf(stderr, "%s\n", error.ToUtf8().c_str());
      return result == RR_DONE;
    });
    const std::string command = "ffmpeg -v error -y -framerate 25 -i '" +
                                (folder / "still%02d.jpg").string() + "' -c:v " + codec.name +
                                " -q:v " + std::to_string(quantiser) + " -pix_fmt " +
                                (std::string(codec.name) == "mjpeg" ? "yuvj420p" : "yuv420p") +
                                " '" + theirs.string() + "'";
    const double theirsMs = MedianMs(runs, [&] { return std::system(command.c_str()) == 0; });
    const double oursFps = kFrames * 1000.0 / oursMs, theirsFps = kFrames * 1000.0 / theirsMs;
    std::printf("%-12s %10.1f %10.1f %7.2f\n", codec.name, oursFps, theirsFps, oursFps / theirsFps);
  }
  return 0;
}
