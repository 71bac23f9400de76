#include "viewer/readahead.h"

#include <algorithm>

#include "corekit/platform.h"
#include "viewer/paintweller.h"

bool ReadFileStamp(const MyString& path, tagFILESTAMP* stamp) {
  CFileInfo info;
  if (!GetFileInfo(path, &info) || info.bDirectory) return false;
  if (!GetFileIdentity(path, &stamp->identity)) return false;
  stamp->nSize = info.nSize;
  stamp->nWriteTime = int64_t(info.ftLastWriteTime);
  return true;
}

CReadAhead::CReadAhead(size_t nImages, uint64_t nBudgetBytes)
    : m_nImages(nImages), m_nBudget(nBudgetBytes), m_thread(&CReadAhead::Run, this) {}

CReadAhead::~CReadAhead() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStop = true;
    m_pending.clear();
  }
  m_cancel.Cancel();
  m_wake.notify_all();
  m_thread.join();
}

uint64_t CReadAhead::BytesOf(const tagENTRY& entry) {
  const CImageReadResult& result = entry.result;
  const auto bytes = [](const Magick::Image& image) {
    return uint64_t(image.columns()) * image.rows() * sizeof(Magick::PixelPacket);
  };
  uint64_t total = result.image.isValid() ? bytes(result.image) : 0;
  // The first frame shares the image's pixels.
  for (size_t i = 1; i < result.frames.size(); ++i) total += bytes(result.frames[i]);
  if (result.picture) {
    total += result.picture->Bytes();
    // A display form without conversion is the picture's own pixels.
    if (entry.display.constBits() == result.picture->pPixels.get()) return total;
  }
  return total + uint64_t(entry.display.sizeInBytes());
}

int CReadAhead::RankOf(const tagREADAHEADKEY& key) const {
  if (m_bHasShown && key == m_shown) return -1;
  const auto it = std::find(m_ahead.begin(), m_ahead.end(), key);
  return it == m_ahead.end() ? INT_MAX : int(it - m_ahead.begin());
}

bool CReadAhead::IsHeld(const tagREADAHEADKEY& key) const {
  return std::any_of(m_held.begin(), m_held.end(),
                     [&](const tagENTRY& entry) { return entry.key == key; });
}

void CReadAhead::Trim() {
  m_held.remove_if([&](const tagENTRY& entry) { return RankOf(entry.key) == INT_MAX; });
  m_held.sort([&](const tagENTRY& a, const tagENTRY& b) { return RankOf(a.key) < RankOf(b.key); });
  size_t count = 0;
  uint64_t bytes = 0;
  for (auto it = m_held.begin(); it != m_held.end();) {
    if (RankOf(it->key) < 0) {
      ++it;
      continue;
    }
    if (count + 1 > m_nImages || bytes + it->nBytes > m_nBudget) {
      it = m_held.erase(it);
      continue;
    }
    ++count;
    bytes += it->nBytes;
    ++it;
  }
}

void CReadAhead::Keep(tagENTRY entry) {
  m_held.remove_if([&](const tagENTRY& held) { return held.key == entry.key; });
  m_held.push_back(std::move(entry));
  Trim();
}

void CReadAhead::Want(const tagREADAHEADKEY* shown, const std::vector<tagREADAHEADKEY>& ahead) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bEnabled) return;
    m_bHasShown = shown != nullptr;
    if (shown) m_shown = *shown;
    m_ahead.clear();
    for (const tagREADAHEADKEY& key : ahead)
      if (!(shown && key == *shown) &&
          std::find(m_ahead.begin(), m_ahead.end(), key) == m_ahead.end())
        m_ahead.push_back(key);
    Trim();
    m_pending.clear();
    for (const tagREADAHEADKEY& key : m_ahead)
      if (!IsHeld(key) && !(m_bDecoding && key == m_decoding)) m_pending.push_back(key);
    // A decode for something no longer wanted is given up.
    if (m_bDecoding && RankOf(m_decoding) == INT_MAX) m_cancel.Cancel();
  }
  m_wake.notify_all();
}

void CReadAhead::Remember(const tagREADAHEADKEY& key, const tagFILESTAMP& stamp,
                          const CImageReadResult& result) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_bEnabled) return;
  m_bHasShown = true;
  m_shown = key;
  m_ahead.erase(std::remove(m_ahead.begin(), m_ahead.end(), key), m_ahead.end());
  // A result taken from here stays as it is, with its display form.
  for (const tagENTRY& held : m_held)
    if (held.key == key && ((held.result.image.isValid() && result.image.isValid() &&
                             held.result.image.constImage() == result.image.constImage()) ||
                            (held.result.picture && held.result.picture == result.picture))) {
      Trim();
      return;
    }
  tagENTRY entry;
  entry.key = key;
  entry.stamp = stamp;
  entry.result = result;
  entry.nBytes = BytesOf(entry);
  Keep(std::move(entry));
}

bool CReadAhead::Take(const tagREADAHEADKEY& key, CImageReadResult* result) {
  std::unique_lock<std::mutex> lock(m_mutex);
  const auto it = std::find_if(m_held.begin(), m_held.end(),
                               [&](const tagENTRY& entry) { return entry.key == key; });
  if (it != m_held.end()) {
    tagFILESTAMP now;
    if (ReadFileStamp(key.path, &now) && now == it->stamp) {
      *result = it->result;
      ++m_nHits;
      return true;
    }
    // The file changed since it was read: never show the old pixels.
    m_held.erase(it);
  }
  m_pending.clear();
  if (m_bDecoding) m_cancel.Cancel();
  return false;
}

bool CReadAhead::FindDisplay(const Magick::Image& image, QImage* display) const {
  if (!image.isValid()) return false;
  std::lock_guard<std::mutex> lock(m_mutex);
  for (const tagENTRY& entry : m_held)
    if (!entry.display.isNull() && entry.result.image.isValid() &&
        entry.result.image.constImage() == image.constImage()) {
      *display = entry.display;
      return true;
    }
  return false;
}

bool CReadAhead::FindDisplay(const CPixelPicture* picture, QImage* display) const {
  if (!picture) return false;
  std::lock_guard<std::mutex> lock(m_mutex);
  for (const tagENTRY& entry : m_held)
    if (!entry.display.isNull() && entry.result.picture.get() == picture) {
      *display = entry.display;
      return true;
    }
  return false;
}

CReadAhead::tagENTRY* CReadAhead::EntryOf(const Magick::Image& image,
                                          const CPixelPicture* picture) {
  for (tagENTRY& entry : m_held) {
    if (picture && entry.result.picture.get() == picture) return &entry;
    if (!picture && image.isValid() && entry.result.image.isValid() &&
        entry.result.frames.empty() && entry.result.image.constImage() == image.constImage())
      return &entry;
  }
  return nullptr;
}

void CReadAhead::AttachDisplay(const Magick::Image& image, const QImage& display) {
  if (!image.isValid() || display.isNull()) return;
  std::lock_guard<std::mutex> lock(m_mutex);
  tagENTRY* entry = EntryOf(image, nullptr);
  if (!entry || !entry->display.isNull()) return;
  entry->display = display;
  entry->nBytes = BytesOf(*entry);
  Trim();
}

void CReadAhead::AttachDisplay(const CPixelPicture* picture, const QImage& display) {
  if (!picture || display.isNull()) return;
  std::lock_guard<std::mutex> lock(m_mutex);
  tagENTRY* entry = EntryOf(Magick::Image(), picture);
  if (!entry || !entry->display.isNull()) return;
  entry->display = display;
  entry->nBytes = BytesOf(*entry);
  Trim();
}

void CReadAhead::DropLater(const Magick::Image& image, const QImage& display,
                           std::shared_ptr<const CPixelPicture> picture) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bStop) return;
    m_dropped.push_back(tagDROPPED{image, display, std::move(picture)});
  }
  m_wake.notify_all();
}

void CReadAhead::Clear() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held.clear();
    m_pending.clear();
    m_ahead.clear();
    m_bHasShown = false;
    if (m_bDecoding) m_cancel.Cancel();
  }
  m_wake.notify_all();
}

void CReadAhead::SetEnabled(bool enabled) {
  Clear();
  std::lock_guard<std::mutex> lock(m_mutex);
  m_bEnabled = enabled;
}

size_t CReadAhead::CountHeld() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_held.size();
}

bool CReadAhead::IsBusy() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bDecoding || !m_pending.empty();
}

void CReadAhead::WaitIdle() const {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_wake.wait(lock, [&] { return m_bStop || (!m_bDecoding && m_pending.empty()); });
}

void CReadAhead::Run() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [&] { return m_bStop || !m_pending.empty() || !m_dropped.empty(); });
    if (!m_dropped.empty()) {
      std::vector<tagDROPPED> dropped;
      dropped.swap(m_dropped);
      lock.unlock();
      dropped.clear();
      lock.lock();
      continue;
    }
    if (m_bStop) return;
    tagREADAHEADKEY key = m_pending.front();
    m_pending.erase(m_pending.begin());
    m_bDecoding = true;
    m_decoding = key;
    m_cancel.Reset();
    lock.unlock();

    tagENTRY entry;
    entry.key = key;
    bool ok = ReadFileStamp(key.path, &entry.stamp);
    if (ok) {
      CImageReadRequest request;
      request.path = key.path;
      request.extension = key.extension;
      request.forcedFormat = key.forcedFormat;
      request.sizeHint = key.szHint.cx > 0 && key.szHint.cy > 0 ? &key.szHint : nullptr;
      request.bAllFrames = true;
      request.bUpright = key.bUpright;
      request.progress = &m_cancel;
      request.bPixels = true;
      ok = ReadImageFile(request, &entry.result) == 1 && !m_cancel.IsCancelled();
    }
    // The conversion for the screen is done here too, for an image the
    // viewer shows as it is (no transparency to put over a colour, no frames).
    if (ok && entry.result.picture)
      entry.display = CPaintweller::Picture2QImage(entry.result.picture, key.bColourProfiles);
    else if (ok && !entry.result.image.matte() && entry.result.frames.empty())
      entry.display = CPaintweller::Object2QImage(entry.result.image, key.bColourProfiles);
    if (ok) entry.nBytes = BytesOf(entry);

    lock.lock();
    m_bDecoding = false;
    // Failures are forgotten: a load of the file fails on its own, with its message.
    const bool keep = ok && !m_bStop && RankOf(key) != INT_MAX;
    if (keep) Keep(std::move(entry));
    m_wake.notify_all();
    if (!keep) {
      // Freed while the lock is not held: dropping pixels takes a while.
      lock.unlock();
      entry = tagENTRY();
      lock.lock();
    }
  }
}
