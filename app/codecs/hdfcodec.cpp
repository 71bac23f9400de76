#include "codecs/hdfcodec.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <hdf.h>
#include <mutex>
#include <poll.h>
#include <sys/wait.h>
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

int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The raster found in a file: 24-bit (pixel interlaced) or 8-bit.
struct CRasterInfo {
  int32 nWidth = 0;
  int32 nHeight = 0;
  bool b24 = false;
  bool bPalette = false;
};

// In the reading child. Restarts the interfaces so that the first raster of the
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

namespace {

// What a read in the child process found.
struct CRasterRead {
  CRasterInfo info;
  std::string error;
  std::vector<uint8_t> rgb;  // width * height * 3 when pixels were asked for
};

std::atomic<int> gDeadlineMs{kHdfReadDeadlineMs};

// In the child. 1 when the raster (and its pixels) were read.
int ReadRaster(const std::string& file, bool pixels, CRasterRead* read) {
  CRasterInfo& info = read->info;
  if (!FindRaster(file, &info, &read->error)) return 0;
  if (!pixels) return 1;
  const size_t count = size_t(info.nWidth) * size_t(info.nHeight);
  try {
    read->rgb.resize(count * 3);
    if (info.b24) {
      // Straight after FindRaster's dimensions: a restart here would lose them.
      DF24reqil(DFIL_PIXEL);
      if (DF24getimage(file.c_str(), read->rgb.data(), info.nWidth, info.nHeight) != SUCCEED)
        return Fail(&read->error, "cannot read the 24-bit raster");
    } else {
      std::vector<uint8_t> indexes(count);
      uint8_t palette[768] = {};
      if (DFR8getimage(file.c_str(), indexes.data(), info.nWidth, info.nHeight, palette) != SUCCEED)
        return Fail(&read->error, "cannot read the 8-bit raster");
      for (size_t i = 0; i < count; ++i) {
        const uint8_t v = indexes[i];
        for (int c = 0; c < 3; ++c) read->rgb[i * 3 + c] = info.bPalette ? palette[v * 3 + c] : v;
      }
    }
  } catch (const std::bad_alloc&) {
    return Fail(&read->error, "out of memory");
  }
  return 1;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= size_t(n);
  }
  return true;
}

// Reads exactly size bytes before the deadline (steady milliseconds).
bool ReadAll(int fd, void* data, size_t size, int64_t deadline) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    const int64_t left = deadline - SteadyMilliseconds();
    if (left <= 0) return false;
    pollfd poll{fd, POLLIN, 0};
    const int ready = ::poll(&poll, 1, int(std::min<int64_t>(left, 1000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    const ssize_t n = ::read(fd, p, size);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    p += n;
    size -= size_t(n);
  }
  return true;
}

// The HDF4 library loops for ever or crashes on some damaged files, and
// the files come from anywhere: each read runs in a child process that is
// stopped at the deadline, so such a file costs a failed load, never the
// program. The child answers: ok, width, height, 24-bit, palette, the
// error's length and text, then the pixels.
int ReadIsolated(const std::string& file, bool pixels, CRasterRead* read) {
  if (access(file.c_str(), R_OK) != 0) return Fail(&read->error, "cannot open the file");
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return Fail(&read->error, "cannot start the HDF reader");
  pid_t child;
  {
    // No other thread is inside the library while its state is copied.
    std::lock_guard<std::mutex> lock(HdfLock());
    child = ::fork();
  }
  if (child == 0) {
    ::close(fds[0]);
    const int ok = ReadRaster(file, pixels, read);
    const int32_t header[6] = {ok,
                               read->info.nWidth,
                               read->info.nHeight,
                               read->info.b24,
                               read->info.bPalette,
                               int32_t(read->error.size())};
    const bool sent = WriteAll(fds[1], header, sizeof header) &&
                      WriteAll(fds[1], read->error.data(), read->error.size()) &&
                      (!ok || WriteAll(fds[1], read->rgb.data(), read->rgb.size()));
    ::_exit(sent ? 0 : 1);
  }
  ::close(fds[1]);
  if (child < 0) {
    ::close(fds[0]);
    return Fail(&read->error, "cannot start the HDF reader");
  }
  const int64_t deadline = SteadyMilliseconds() + gDeadlineMs.load();
  int32_t header[6] = {};
  int ok = 0;
  if (ReadAll(fds[0], header, sizeof header, deadline) && header[5] >= 0 && header[5] < 4096) {
    read->error.resize(size_t(header[5]));
    if (ReadAll(fds[0], read->error.data(), read->error.size(), deadline)) {
      read->info.nWidth = header[1];
      read->info.nHeight = header[2];
      read->info.b24 = header[3] != 0;
      read->info.bPalette = header[4] != 0;
      ok = header[0] == 1 && read->info.nWidth > 0 && read->info.nHeight > 0 &&
           int64_t(read->info.nWidth) * read->info.nHeight <= kMaxImagePixels;
      if (ok && pixels) {
        try {
          read->rgb.resize(size_t(read->info.nWidth) * size_t(read->info.nHeight) * 3);
          ok = ReadAll(fds[0], read->rgb.data(), read->rgb.size(), deadline);
        } catch (const std::bad_alloc&) {
          ok = 0;
        }
      }
      if (!ok && read->error.empty()) read->error = "the HDF file cannot be read";
    }
  } else {
    read->error = SteadyMilliseconds() >= deadline ? "the HDF file takes too long to read"
                                                   : "the HDF file cannot be read";
  }
  ::close(fds[0]);
  ::kill(child, SIGKILL);
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  return ok;
}

}  // namespace

void SetHdfReadDeadline(int milliseconds) { gDeadlineMs = milliseconds; }

int PingHdfRaster(const MyString& path, size_t* width, size_t* height, std::string* error) {
  CRasterRead read;
  if (!ReadIsolated(CStrAW::w_toA(path), false, &read)) return Fail(error, read.error.c_str());
  *width = size_t(read.info.nWidth);
  *height = size_t(read.info.nHeight);
  return 1;
}

int ReadHdfRaster(const MyString& path, Magick::Image* image, std::string* error) {
  CRasterRead read;
  if (!ReadIsolated(CStrAW::w_toA(path), true, &read)) return Fail(error, read.error.c_str());
  try {
    *image = Magick::Image(size_t(read.info.nWidth), size_t(read.info.nHeight), "RGB",
                           Magick::CharPixel, read.rgb.data());
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
