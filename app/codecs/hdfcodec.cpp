#include "codecs/hdfcodec.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <hdf.h>
#include <mutex>
#include <unistd.h>
#include <vector>

#include "codecs/imagelibrary.h"
#include "corekit/atomicfile.h"
#include "corekit/platform.h"
#include "corekit/straw.h"

namespace {

std::mutex& HdfLock() {
  static std::mutex lock;
  return lock;
}

int Fail(std::string* error, const char* why) {
  if (error) *error = why;
  return 0;
}

// The raster found in a file: 24-bit (pixel interlaced) or 8-bit.
struct CRasterInfo {
  int32 nWidth = 0;
  int32 nHeight = 0;
  bool b24 = false;
  bool bPalette = false;
};

// Under the lock. Restarts the interfaces so that the first raster of the
// file is found whatever was read before; the image must then be read
// without another restart.
int FindRaster(const std::string& file, CRasterInfo* info, std::string* error) {
  if (access(file.c_str(), R_OK) != 0) return Fail(error, "cannot open the file");
  intn interlace = 0;
  DF24restart();
  if (DF24getdims(file.c_str(), &info->nWidth, &info->nHeight, &interlace) == SUCCEED) {
    info->b24 = true;
  } else {
    int palette = 0;
    DFR8restart();
    if (DFR8getdims(file.c_str(), &info->nWidth, &info->nHeight, &palette) != SUCCEED)
      return Fail(error, "no raster image in the HDF file");
    info->bPalette = palette != 0;
  }
  if (info->nWidth <= 0 || info->nHeight <= 0 ||
      int64_t(info->nWidth) * info->nHeight > kMaxImagePixels)
    return Fail(error, "bad raster size");
  return 1;
}

}  // namespace

int PingHdfRaster(const MyString& path, size_t* width, size_t* height, std::string* error) {
  std::lock_guard<std::mutex> lock(HdfLock());
  CRasterInfo info;
  if (!FindRaster(CStrAW::w_toA(path), &info, error)) return 0;
  *width = size_t(info.nWidth);
  *height = size_t(info.nHeight);
  return 1;
}

int ReadHdfRaster(const MyString& path, Magick::Image* image, std::string* error) {
  std::lock_guard<std::mutex> lock(HdfLock());
  const std::string file = CStrAW::w_toA(path);
  CRasterInfo info;
  if (!FindRaster(file, &info, error)) return 0;
  const size_t count = size_t(info.nWidth) * size_t(info.nHeight);
  std::vector<uint8_t> rgb;
  try {
    rgb.resize(count * 3);
    if (info.b24) {
      // Straight after FindRaster's dimensions: a restart here would lose them.
      DF24reqil(DFIL_PIXEL);
      if (DF24getimage(file.c_str(), rgb.data(), info.nWidth, info.nHeight) != SUCCEED)
        return Fail(error, "cannot read the 24-bit raster");
    } else {
      std::vector<uint8_t> indexes(count);
      uint8_t palette[768] = {};
      if (DFR8getimage(file.c_str(), indexes.data(), info.nWidth, info.nHeight, palette) != SUCCEED)
        return Fail(error, "cannot read the 8-bit raster");
      for (size_t i = 0; i < count; ++i) {
        const uint8_t v = indexes[i];
        for (int c = 0; c < 3; ++c) rgb[i * 3 + c] = info.bPalette ? palette[v * 3 + c] : v;
      }
    }
    *image = Magick::Image(size_t(info.nWidth), size_t(info.nHeight), "RGB", Magick::CharPixel,
                           rgb.data());
  } catch (const std::bad_alloc&) {
    return Fail(error, "out of memory");
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return 0;
  }
  return 1;
}

int WriteHdfRaster(const Magick::Image& source, std::string* bytes, std::string* error) {
  const size_t width = source.columns(), height = source.rows();
  if (width == 0 || height == 0) return Fail(error, "empty image");
  std::vector<uint8_t> rgb(width * height * 3);
  try {
    Magick::Image copy = source;
    copy.write(0, 0, width, height, "RGB", Magick::CharPixel, rgb.data());
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return 0;
  }
  // The library only writes to a named file: one in a private temporary
  // folder (no other user can put a link in its place), read back and removed.
  std::string folder = CStrAW::w_toA(GetTempFolder()) + "/lorimo-hdf-XXXXXX";
  if (!mkdtemp(folder.data())) return Fail(error, "cannot make a temporary folder");
  const std::string file = folder + "/image.hdf";
  int ok;
  {
    std::lock_guard<std::mutex> lock(HdfLock());
    DF24setil(DFIL_PIXEL);
    ok = DF24putimage(file.c_str(), rgb.data(), int32(width), int32(height)) == SUCCEED;
  }
  if (ok) ok = ReadWholeFile(CStrAW::a_toW(file), bytes, size_t(1) << 31);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return ok ? 1 : Fail(error, "cannot write the HDF raster");
}
