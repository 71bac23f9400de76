// Picture transfer: the automatic transfer of camera-size JPEGs from a
// camera (libgphoto2's directory camera) and from a card, each file written,
// flushed, read back and compared, beside `cp -r` of the same folder in the
// same run; then the manual dialog's 100 x 100 thumbnails (the image
// service's read at a size hint) beside `gm mogrify -size 200x200
// -thumbnail 100x100` of the same files.
//
//   bench_transfer [files] [runs]      (300 files by default)
#include <QCoreApplication>
#include <QDate>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <Magick++.h>

#include "benchtiming.h"
#include "corekit/bitmap.h"
#include "corekit/straw.h"
#include "gathrex/cameradevice.h"
#include "gathrex/transferengine.h"
#include "viewer/imageio.h"
#include "viewer/imageservice.h"

namespace fs = std::filesystem;

namespace {

// A 4000 x 3000 photograph-like JPEG at quality 92 (about 4 MB), copied
// under count names in two folders of the card.
fs::path MakeCard(const fs::path& root, int count) {
  const fs::path card = root / "card";
  if (fs::exists(card / "DCIM") &&
      std::distance(fs::recursive_directory_iterator(card), {}) >= count + 2)
    return card;
  fs::remove_all(card);
  fs::create_directories(card / "DCIM/100CANON");
  fs::create_directories(card / "DCIM/101CANON");
  std::printf("making %d pictures in %s ...\n", count, card.c_str());
  Magick::Image image(Magick::Geometry(400, 300), Magick::Color("skyblue"));
  image.addNoise(Magick::GaussianNoise);
  image.blur(0, 3);
  image.scale(Magick::Geometry("4000x3000!"));
  image.addNoise(Magick::GaussianNoise);
  image.quality(92);
  image.magick("JPEG");
  const fs::path first = card / "DCIM/100CANON/IMG_0000.JPG";
  image.write(first.string());
  for (int i = 1; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%04d.JPG", i);
    fs::copy_file(first, card / (i % 2 ? "DCIM/101CANON" : "DCIM/100CANON") / name);
  }
  return card;
}

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Magick::InitializeMagick(argv[0]);
  const int count = argc > 1 ? std::atoi(argv[1]) : 300;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  const fs::path root = fs::temp_directory_path() / "lorimo-transfer-bench";
  const fs::path card = MakeCard(root, count);
  const fs::path out = root / "out";
  auto fresh = [&out] {
    fs::remove_all(out);
    fs::create_directories(out);
    return true;
  };
  // Warm the page cache so every contender reads from memory.
  Run("cat '" + card.string() + "'/DCIM/*/* > /dev/null");

  const double cp = MedianMs(runs, [&] {
    fresh();
    return Run("cp -r '" + card.string() + "' '" + (out / "copy").string() + "' && sync -f '" +
               out.string() + "'");
  });
  const double cardMs = MedianMs(runs, [&] {
    fresh();
    MyString folder;
    if (!MakeDatedFolder(CStrAW::FromPath(out), QDate::currentDate(), &folder)) return false;
    CTransferEngine engine(folder);
    const MyStringList files =
        CollectPictures(CStrAW::FromPath(card), [](const MyString&) { return true; });
    return engine.TransferFiles(files) == files.GetListLength();
  });
  const double cameraMs = MedianMs(runs, [&] {
    fresh();
    MyString folder;
    if (!MakeDatedFolder(CStrAW::FromPath(out), QDate::currentDate(), &folder)) return false;
    CCameraDevice camera;
    std::vector<tagCAMERAFILE> files;
    if (!camera.Open(MyString::FromUtf8("disk:" + card.string())) || !camera.ListFiles(&files))
      return false;
    CTransferEngine engine(folder);
    return engine.TransferCameraFiles(&camera, files) == files.size();
  });
  std::printf(
      "transfer of %d JPEGs (verified, flushed): card %.0f ms, camera %.0f ms; "
      "cp -r + sync %.0f ms; ratios %.2f and %.2f\n",
      count, cardMs, cameraMs, cp, cardMs / cp, cameraMs / cp);

  // The manual list's thumbnails.
  const int thumbs = std::min(count, 40);
  const MyStringList files =
      CollectPictures(CStrAW::FromPath(card), [](const MyString&) { return true; });
  const double ours = MedianMs(runs, [&] {
    const SIZE want{100, 100};
    for (int i = 0; i < thumbs; ++i) {
      Magick::Image image;
      if (!LoadImage(nullptr, files[i], &image, 0, &want)) return false;
      DeleteBitmap32(CImageService::ImageToBitmap(image, &want));
    }
    return true;
  });
  std::string list;
  for (int i = 0; i < thumbs; ++i)
    list += " '" + fs::relative(files[i].ToUtf8(), card).string() + "'";
  const double gm = MedianMs(runs, [&] {
    fresh();
    return Run("cd '" + card.string() + "' && gm mogrify -output-directory '" + out.string() +
               "' -create-directories -size 200x200 -thumbnail 100x100" + list);
  });
  std::printf("%d list thumbnails: %.0f ms; gm mogrify %.0f ms; ratio %.2f\n", thumbs, ours, gm,
              ours / gm);
  fs::remove_all(out);
  return 0;
}
