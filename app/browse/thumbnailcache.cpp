#include "browse/thumbnailcache.h"

#include <QTransform>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include "corekit/atomicfile.h"
#include "corekit/slidesfile.h"
#include "corekit/straw.h"
#include "pixwork/formats.h"
#include "pixwork/options.h"

namespace {

// Entries moved aside by an emptying wait here for their eraser; a name no
// mirror folder can have (mirrors start with the levels of an absolute path).
constexpr char kErasePrefix[] = ".erasing-";

struct CTurboDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};

std::mutex gCacheMutex;
std::unique_ptr<ThumbnailCache> gCache;

bool FileExists(const MyString& path) {
  struct stat st {};
  return ::lstat(CStrAW::ToPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Makes one folder level below an existing one (0700); false when the name
// is taken by anything but a real folder (a link is never followed).
bool MakeLevel(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0) return true;
  if (errno != EEXIST) return false;
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string RandomName() {
  std::random_device device;
  return kErasePrefix + std::to_string(device()) + std::to_string(device());
}

}  // namespace

QSize FitSize(int width, int height, int boxWidth, int boxHeight) {
  if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0) return QSize();
  int64_t w, h;
  if (height < width) {
    w = boxWidth;
    h = int64_t(boxWidth) * height / width;
  } else {
    h = boxHeight;
    w = int64_t(width) * boxHeight / height;
  }
  // A box that is not square: the other side decides when it is the tighter one.
  if (h > boxHeight) {
    h = boxHeight;
    w = int64_t(width) * boxHeight / height;
  } else if (w > boxWidth) {
    w = boxWidth;
    h = int64_t(boxWidth) * height / width;
  }
  return QSize(int(std::max<int64_t>(w, 1)), int(std::max<int64_t>(h, 1)));
}

QImage TransformThumbnail(const QImage& image, int code) {
  switch (code) {
    case 1:
      return image.transformed(QTransform().rotate(90));
    case 2:
      return image.transformed(QTransform().rotate(180));
    case 3:
      return image.transformed(QTransform().rotate(270));
    case 4:
      return image.mirrored(true, false);
    case 5:
      return image.mirrored(false, true);
    case 6:  // transpose: a quarter turn, then left-right
      return image.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 7:  // transverse
      return image.transformed(QTransform().rotate(270)).mirrored(true, false);
    default:
      return image;
  }
}

ThumbnailCache::ThumbnailCache(const MyString& root, CStopEvent& stop)
    : m_names(root), m_stop(stop) {
  std::error_code error;
  std::filesystem::create_directories(CStrAW::ToPath(m_names.GetRoot()), error);
  ::chmod(CStrAW::ToPath(m_names.GetRoot()).c_str(), 0700);
}

ThumbnailCache::~ThumbnailCache() { Release(); }

void ThumbnailCache::ApplyOptions(bool enabled, int cacheSize, bool highQuality) {
  m_bEnabled = enabled;
  m_nCacheSize = std::clamp(cacheSize, 100, 300);
  m_bHighQuality = highQuality;
}

void ThumbnailCache::ApplySettings() {
  ApplyOptions(gTO[TO_CACHE_DIRECTORY].dwValue != 0, int(gTO[TO_CACHE_SIZE].dwValue),
               gTO[TO_THUMB_QUALITY].dwValue != 0);
  const VIEWOPTIONS& option = gVSO[VSO_OPEN_FILE_OUT_EXT];
  const std::vector<MyString> supported = GetSupportedExtensions();
  SetFormatExtension(option.bFlag == 1 && option.bExtra < supported.size()
                         ? supported[option.bExtra]
                         : MyString());
}

void ThumbnailCache::SetFormatExtension(const MyString& extension) {
  std::lock_guard<std::mutex> lock(m_formatMutex);
  m_strFormatExtension = extension;
}

MyString ThumbnailCache::GetFormatExtension() const {
  std::lock_guard<std::mutex> lock(m_formatMutex);
  return m_strFormatExtension;
}

MyString ThumbnailCache::CachePath(const MyString& source, FILETIME64 lastWrite,
                                   bool highQuality) const {
  return m_names.CachePath(source, lastWrite, highQuality, GetFormatExtension());
}

MyString ThumbnailCache::FindCachedThumbnail(const MyString& source,
                                             const tagTHUMBSTAMP& stamp) const {
  return CThumbnailNames::Find(CachePath(source, stamp.ftLastWrite, true), m_bHighQuality,
                               FileExists);
}

int ThumbnailCache::ReadCachedThumbnail(const MyString& source, const tagTHUMBSTAMP& stamp,
                                        QImage* image, void* turboHandle) const {
  const MyString path = FindCachedThumbnail(source, stamp);
  return !path.IsEmpty() && ReadThumbnailEntry(path, stamp, image, turboHandle);
}

bool ThumbnailCache::StopAsked() const { return m_stop.IsSet(); }

bool ThumbnailCache::QueueWrite(QImage image, const MyString& source, const tagTHUMBSTAMP& stamp) {
  if (image.isNull() || StopAsked()) return false;
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_bReleased) return false;
  m_queue.push_back(tagREQUEST{std::move(image), source, stamp});
  if (!m_bWriterRunning) {
    // The last writer has marked itself ended and only has to return.
    if (m_writer.joinable()) m_writer.join();
    m_bWriterRunning = true;
    m_writer = std::thread(&ThumbnailCache::WriterLoop, this);
  }
  return true;
}

void ThumbnailCache::WriterLoop() {
  std::unique_ptr<void, CTurboDeleter> turbo(tjInitCompress());
  for (;;) {
    tagREQUEST request;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_queue.empty() || StopAsked()) {
        // What is left is dropped: the program is closing.
        m_queue.clear();
        m_bWriterRunning = false;
        m_idle.notify_all();
        return;
      }
      request = std::move(m_queue.front());
      m_queue.pop_front();
    }
    if (turbo) WriteOne(request, turbo.get());
  }
}

void ThumbnailCache::WriteOne(const tagREQUEST& request, void* turboHandle) {
  MyString source = request.source;
  if (source.GetLength() > 3 && source.str().ends_with(u"[0]")) source.tShaveLastChar(3);
  // A file changed since its decode would get the old picture under its new name.
  tagTHUMBSTAMP now;
  if (!ReadThumbStamp(source, &now) || !(now == request.stamp)) return;
  const bool highQuality = m_bHighQuality;
  const MyString path = CachePath(source, now.ftLastWrite, highQuality);
  if (path.IsEmpty()) return;
  const std::string bytes = EncodeThumbnailEntry(request.image, now, turboHandle);
  if (bytes.empty()) return;
  tagATOMICWRITEOPTIONS options;
  options.nTarget = AT_REPLACE_NAME;
  options.bNoFlush = true;
  options.bPrivate = true;
  // A missing mirror folder or a name too long for the file system: no entry.
  if (!WriteFileAtomicallyEx(path, bytes, options)) return;
  if (highQuality) {
    const MyString normal = CachePath(source, now.ftLastWrite, false);
    ::unlink(CStrAW::ToPath(normal).c_str());
  }
}

void ThumbnailCache::PrepareMirrorFolder(const MyString& folder) {
  const MyString mirror = m_names.MirrorFolder(folder);
  if (mirror.IsEmpty()) return;
  const std::string root = CStrAW::ToPath(m_names.GetRoot());
  const std::string full = CStrAW::ToPath(mirror);
  std::string level = root;
  size_t pos = root.size();
  while (pos < full.size()) {
    size_t next = full.find('/', pos + 1);
    if (next == std::string::npos) next = full.size();
    level = full.substr(0, next);
    if (next > pos + 1 && !MakeLevel(level)) return;
    pos = next;
  }
}

void ThumbnailCache::PreparePortfolioFolders(const MyString& portfolio) {
  CSlidesFile slides;
  if (!slides.Load(portfolio)) return;
  MyString previous;
  for (const CSlide& slide : slides.GetSlides()) {
    if (slide.strPath.IsEmpty()) continue;
    const MyString folder = slide.strPath.GetStringPath();
    if (folder == previous) continue;
    previous = folder;
    PrepareMirrorFolder(folder);
  }
}

bool ThumbnailCache::EmptyCache() {
  const std::string root = CStrAW::ToPath(m_names.GetRoot());
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_bReleased) return false;
  const int rootFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (rootFd < 0) return false;
  const std::string aside = RandomName();
  if (::mkdirat(rootFd, aside.c_str(), 0700) != 0) {
    ::close(rootFd);
    return false;
  }
  bool allMoved = true;
  std::error_code error;
  std::vector<std::string> names;
  std::filesystem::directory_iterator it(root, error), end;
  for (; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name != aside) names.push_back(name);
  }
  if (error) allMoved = false;
  const std::string asideDir = aside + "/";
  for (const std::string& name : names) {
    // A rename moves a link as a link: nothing it points to is touched.
    if (::renameat(rootFd, name.c_str(), rootFd, (asideDir + name).c_str()) != 0) allMoved = false;
  }
  ::close(rootFd);
  ++m_nErasing;
  const std::filesystem::path doomed = std::filesystem::path(root) / aside;
  m_erasers.emplace_back([this, doomed] {
    std::error_code ignored;
    // remove_all deletes links themselves, never what they lead to.
    std::filesystem::remove_all(doomed, ignored);
    std::lock_guard<std::mutex> done(m_mutex);
    --m_nErasing;
    m_idle.notify_all();
  });
  return allMoved;
}

bool ThumbnailCache::TransformCachedThumbnail(const MyString& source, const tagTHUMBSTAMP& before,
                                              int code) {
  const MyString old = FindCachedThumbnail(source, before);
  if (old.IsEmpty()) return false;
  QImage image;
  const bool read = ReadThumbnailEntry(old, before, &image);
  // The old entry describes a file that no longer exists.
  ::unlink(CStrAW::ToPath(old).c_str());
  if (!read) return false;
  tagTHUMBSTAMP now;
  if (!ReadThumbStamp(source, &now)) return false;
  return QueueWrite(TransformThumbnail(image, code), source, now);
}

bool ThumbnailCache::RefreshAfterSave(const MyString& target, const QImage& image) {
  if (!m_bEnabled || image.isNull()) return false;
  const MyString mirror = m_names.MirrorFolder(target.GetStringPath());
  struct stat st {};
  if (mirror.IsEmpty() || ::lstat(CStrAW::ToPath(mirror).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return false;
  tagTHUMBSTAMP now;
  if (!ReadThumbStamp(target, &now)) return false;
  const int side = m_nCacheSize;
  const QSize fit = FitSize(image.width(), image.height(), side, side);
  return QueueWrite(image.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), target,
                    now);
}

void ThumbnailCache::WaitIdle() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_idle.wait(lock, [this] { return !m_bWriterRunning && m_nErasing == 0; });
}

void ThumbnailCache::Release() {
  std::thread writer;
  std::vector<std::thread> erasers;
  {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_bReleased = true;
    writer = std::move(m_writer);
    erasers = std::move(m_erasers);
  }
  if (writer.joinable()) writer.join();
  for (std::thread& eraser : erasers)
    if (eraser.joinable()) eraser.join();
}

ThumbnailCache* GetThumbnailCache() {
  std::lock_guard<std::mutex> lock(gCacheMutex);
  return gCache.get();
}

ThumbnailCache* InitThumbnailCache(bool cachingOn) {
  std::lock_guard<std::mutex> lock(gCacheMutex);
  if (!gCache) gCache = std::make_unique<ThumbnailCache>(GetCacheFolder() + u"/LorimoCache");
  gCache->ApplySettings();
  gCache->ApplyOptions(cachingOn, gCache->GetCacheSize(), gCache->IsHighQuality());
  return gCache.get();
}

void ReleaseThumbnailCache() {
  std::unique_ptr<ThumbnailCache> cache;
  {
    std::lock_guard<std::mutex> lock(gCacheMutex);
    cache = std::move(gCache);
  }
  if (cache) cache->Release();
}
