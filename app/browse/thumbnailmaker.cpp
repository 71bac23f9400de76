#include "browse/thumbnailmaker.h"

#include <algorithm>

#include "browse/sharedthumbnails.h"
#include "browse/thumbnailcache.h"
#include "browse/thumbnailentry.h"
#include "codecs/losslessjpeg.h"
#include "codecs/orientation.h"

namespace {

QImage Scaled(const QImage& image, QSize size, bool smooth) {
  if (image.size() == size) return image;
  return image.scaled(size, Qt::IgnoreAspectRatio,
                      smooth ? Qt::SmoothTransformation : Qt::FastTransformation);
}

bool IsSet(const SIZE& box) { return box.cx > 0 && box.cy > 0; }

}  // namespace

CThumbnailMaker::CThumbnailMaker(ThumbnailCache* cache, CStopEvent& stop)
    : m_pCache(cache), m_stop(stop) {}

QImage CThumbnailMaker::FromCache(const MyString& path, const SIZE& box) {
  tagTHUMBSTAMP stamp;
  QImage entry;
  if (!ReadThumbStamp(path, &stamp) ||
      !m_pCache->ReadCachedThumbnail(path, stamp, &entry, m_decoder.TurboHandle()))
    return QImage();
  // Entries keep the file's orientation.
  if (m_bUpright) entry = OrientImage(entry, ReadFileOrientation(path));
  if (entry.width() == box.cx && entry.height() == box.cy) return entry;
  return Scaled(entry, FitSize(entry.width(), entry.height(), box.cx, box.cy), true);
}

QImage CThumbnailMaker::FromPreview(const MyString& path, const SIZE& box) {
  QImage preview;
  int orientation = 0;
  if (!m_decoder.ReadEmbeddedPreview(path, box, &preview, &orientation)) return QImage();
  preview = OrientImage(preview, orientation);
  if (preview.width() == box.cx && preview.height() == box.cy) return preview;
  return Scaled(preview, FitSize(preview.width(), preview.height(), box.cx, box.cy), true);
}

QImage CThumbnailMaker::FromImage(CThumbnailOwner& owner, const MyString& path, const SIZE& box,
                                  bool allowCache) {
  const bool caching = allowCache && m_pCache && m_pCache->IsEnabled();
  const bool highQuality = m_pCache && m_pCache->IsHighQuality();
  const int side = m_pCache ? m_pCache->GetCacheSize() : 300;
  SIZE generation = box, display = box;
  if (caching) {
    generation = SIZE{std::max<int>(box.cx, side), std::max<int>(box.cy, side)};
    display = SIZE{std::min<int>(box.cx, side), std::min<int>(box.cy, side)};
  }
  // The facts of the file the picture comes from, read before it is read.
  tagTHUMBSTAMP stamp;
  const bool stamped = ReadThumbStamp(path, &stamp) != 0;
  QImage image;
  SIZE header{0, 0};
  if (!m_decoder.Decode(path, highQuality ? nullptr : &generation, &owner.cancel, &image, &header,
                        &generation))
    return QImage();
  // Small pictures are read again quickly: by the file's own size, not the
  // reduced decode's (a 2300 x 1725 photo read at 1/8 is 288 x 216).
  bool keep = caching && stamped && (header.cx >= kMinCachedSide || header.cy >= kMinCachedSide);
  const int orientation = m_bUpright ? ReadFileOrientation(path) : 1;
  image = OrientImage(image, orientation);

  if ((image.width() > generation.cx || image.height() > generation.cy) &&
      !owner.cancel.IsCancelled())
    image = Scaled(image, FitSize(image.width(), image.height(), generation.cx, generation.cy),
                   highQuality);
  bool queued = false;
  // An upright picture is turned back: entries keep the file's orientation.
  const auto entryOf = [&](const QImage& picture) {
    return TransformThumbnail(picture, InverseTransform(UprightTransform(orientation)));
  };
  if (keep && (generation.cx == side || generation.cy == side)) {
    queued = m_pCache->QueueWrite(entryOf(image), path, stamp);
  }
  if (generation.cx != box.cx || generation.cy != box.cy) {
    image = Scaled(image, FitSize(image.width(), image.height(), display.cx, display.cy), true);
  } else if (keep && !queued) {
    m_pCache->QueueWrite(
        entryOf(
            Scaled(image, FitSize(image.width(), image.height(), display.cx, display.cy), true)),
        path, stamp);
  }
  return image;
}

QImage CThumbnailMaker::MakeThumbnail(CThumbnailOwner& owner, const MyString& path, SIZE* box,
                                      bool allowCache) {
  if (!box || !IsSet(*box) || path.IsEmpty()) return QImage();
  const bool stopping = m_stop.IsSet();
  const bool caching = allowCache && m_pCache && m_pCache->IsEnabled();
  QImage result;
  if (!stopping && caching) {
    result = FromCache(path, *box);
    if (!result.isNull()) {
      box->cx = result.width();
      box->cy = result.height();
      return result;
    }
  }
  // Another program's thumbnail of the file, when it is as good as ours.
  // Those are made upright already.
  tagTHUMBSTAMP stamp;
  if (!stopping && !(m_pCache && m_pCache->IsHighQuality()) && ReadThumbStamp(path, &stamp) &&
      ReadSharedThumbnail(path, stamp, *box, &result)) {
    if (result.width() != box->cx || result.height() != box->cy)
      result = Scaled(result, FitSize(result.width(), result.height(), box->cx, box->cy), true);
    box->cx = result.width();
    box->cy = result.height();
    return result;
  }
  owner.bBusy = true;
  if (!stopping && allowCache && !(m_pCache && m_pCache->IsHighQuality()))
    result = FromPreview(path, *box);
  if (result.isNull() && !stopping && !owner.cancel.IsCancelled())
    result = FromImage(owner, path, *box, allowCache);
  owner.bBusy = false;
  if (owner.cancel.IsCancelled()) {
    owner.cancel.Reset();
    return QImage();
  }
  if (result.isNull() && provideThumbnailForFile) {
    result = provideThumbnailForFile(path, *box);
    if (!result.isNull() && caching && ReadThumbStamp(path, &stamp)) {
      const int side = m_pCache->GetCacheSize();
      m_pCache->QueueWrite(
          Scaled(result, FitSize(result.width(), result.height(), side, side), true), path, stamp);
    }
  }
  if (result.isNull()) return QImage();
  box->cx = result.width();
  box->cy = result.height();
  return result;
}
