#pragma once
// Thumbnails other programs left in the freedesktop shared cache
// ($XDG_CACHE_HOME/thumbnails/{normal,large,x-large,xx-large}/<md5 of the
// file's URI>.png). Read only: nothing is ever written there. An entry
// counts only when its Thumb::URI and Thumb::MTime (and Thumb::Size when it
// has one) match the file as it is now.

#include <QImage>
#include <string>

#include "browse/thumbnailentry.h"
#include "corekit/messages.h"
#include "corekit/mystring.h"

// The shared cache's folder ($XDG_CACHE_HOME/thumbnails, default
// ~/.cache/thumbnails).
MyString SharedThumbnailFolder();

// The entry's file name for a file: the MD5 of its file URI, in hex, + ".png".
MyString SharedThumbnailName(const MyString& path);

// What a shared entry says about itself, from the chunks before its pixels.
struct tagPNGTHUMBFACTS {
  int nWidth = 0;
  int nHeight = 0;
  std::string strUri;
  std::string strMTime;
  std::string strSize;
};
// 1 when bytes start as a PNG with a header; the Thumb:: texts (tEXt or
// uncompressed iTXt) are taken when present.
int ReadPngThumbnailFacts(const std::string& bytes, tagPNGTHUMBFACTS* facts);

// The smallest matching entry of path (whose facts are stamp) that covers
// box (fitting it needs no enlarging). 1 and the picture, else 0.
int ReadSharedThumbnail(const MyString& path, const tagTHUMBSTAMP& stamp, const SIZE& box,
                        QImage* image);
