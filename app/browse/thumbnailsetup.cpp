#include "browse/thumbnailsetup.h"

#include <QImage>

#include "browse/thumbnailcache.h"
#include "browse/thumbnailmaker.h"
#include "browse/thumbnailoptionspage.h"
#include "codecs/imagereader.h"
#include "pixwork/options.h"
#include "shell/programhooks.h"
#include "viewer/imageservice.h"

namespace {

// Above this edge thumbnails are made but never kept.
constexpr int kMaxCachedBox = 300;

HBITMAP ServiceThumbnail(const MyString& path, const SIZE& size, int16_t option) {
  if (size.cx <= 0 || size.cy <= 0) return nullptr;
  CThumbnailMaker maker(GetThumbnailCache());
  ConfigureThumbnailMaker(maker);
  CThumbnailOwner owner;
  SIZE box = size;
  const bool allowCache = size.cx <= kMaxCachedBox && size.cy <= kMaxCachedBox;
  const QImage thumbnail = maker.MakeThumbnail(owner, path, &box, allowCache);
  return CImageService::CentreThumbnail(thumbnail, size, option);
}

}  // namespace

void ConfigureThumbnailMaker(CThumbnailMaker& maker) {
  maker.SetUpright(gVO[VO_UPRIGHT].bFlag != 0);
  maker.provideThumbnailForFile = GetProgramHooks().pluginThumbnail;
}

void InstallThumbnailHooks(CImageService* service) {
  tagPROGRAMHOOKS& hooks = GetProgramHooks();
  hooks.initThumbnailCache = [](bool cachingOn) { InitThumbnailCache(cachingOn); };
  hooks.releaseThumbnailCache = [] { ReleaseThumbnailCache(); };
  hooks.rotateCachedThumbnail = [](const MyString& path, int code, const CFileInfo& before) {
    ThumbnailCache* cache = GetThumbnailCache();
    if (!cache || !cache->IsEnabled()) return;
    cache->TransformCachedThumbnail(path, tagTHUMBSTAMP{before.ftLastWriteTime, before.nSize},
                                    code);
  };
  hooks.makeThumbnailOptionsPage = [](QWidget* parent) -> COptionsPage* {
    return new CThumbnailOptionsPage(parent);
  };
  if (service) service->onThumbnail = ServiceThumbnail;
}

void RefreshCachedThumbnail(const MyString& target, const Magick::Image& image) {
  ThumbnailCache* cache = GetThumbnailCache();
  if (!cache || !cache->IsEnabled()) return;
  try {
    Magick::Image copy = image;
    const int side = cache->GetCacheSize();
    const QSize fit = FitSize(int(copy.columns()), int(copy.rows()), side, side);
    if (fit.isEmpty()) return;
    // The 300-pixel rule goes by the saved picture's own size.
    if (copy.columns() < size_t(kMinCachedSide) && copy.rows() < size_t(kMinCachedSide)) return;
    copy.scale(Magick::Geometry(size_t(fit.width()), size_t(fit.height())));
    QImage pixels(int(copy.columns()), int(copy.rows()), QImage::Format_ARGB32);
    ExportBgraPixels(copy, 0, copy.rows(), pixels.bits());
    cache->RefreshAfterSave(target, pixels.convertToFormat(QImage::Format_RGB32));
  } catch (const std::exception&) {
    // No entry: the thumbnail is made again when it is shown.
  }
}
