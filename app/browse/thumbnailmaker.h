#pragma once
// Makes the thumbnail of one file for a box: from the cache when it holds
// one, else from an embedded preview, else from the image decoded at the
// reduced size the box allows; new thumbnails are queued for the cache so
// that it always receives one that fits its S by S box. One maker per
// thread (it owns a decoder); the cache is shared.

#include <QImage>
#include <atomic>
#include <functional>

#include "browse/thumbnaildecode.h"
#include "codecs/decodeprogress.h"
#include "corekit/loadslot.h"
#include "corekit/messages.h"
#include "corekit/mystring.h"

class ThumbnailCache;

// The asking view's side of one request: busy while it is made, and the
// request's own cancel flag (a cancel stops this request's decode only).
class CThumbnailOwner {
 public:
  std::atomic<bool> bBusy{false};
  CDecodeCancel cancel;
};

// The smallest side an image must reach for its thumbnail to be kept.
constexpr int kMinCachedSide = 300;

class CThumbnailMaker {
 public:
  // cache: null for none.
  explicit CThumbnailMaker(ThumbnailCache* cache, CStopEvent& stop = GetStopEvent());

  // Turns decoded thumbnails (and cache entries as they are read) upright by
  // the file's EXIF orientation. Off by default; embedded EXIF previews are
  // always turned.
  void SetUpright(bool upright) { m_bUpright = upright; }
  // The plug-ins' thumbnail of a file for a box, when one of them makes one
  // (a null image otherwise). Unset: no plug-ins.
  std::function<QImage(const MyString& path, const SIZE& box)> provideThumbnailForFile;

  // The thumbnail of path for *box (in: the wanted size; out: the result's
  // size); a null image when none could be made or the request was
  // cancelled (the owner's cancel flag is then cleared).
  QImage MakeThumbnail(CThumbnailOwner& owner, const MyString& path, SIZE* box, bool allowCache);

  CThumbnailDecoder& Decoder() { return m_decoder; }

 private:
  QImage FromCache(const MyString& path, const SIZE& box);
  QImage FromPreview(const MyString& path, const SIZE& box);
  QImage FromImage(CThumbnailOwner& owner, const MyString& path, const SIZE& box, bool allowCache);

  ThumbnailCache* m_pCache;
  CStopEvent& m_stop;
  CThumbnailDecoder m_decoder;
  bool m_bUpright = false;
};
