#pragma once
// One cache entry: a small JPEG made with TurboJPEG whose comment holds
// the exact last-write time and size of the file it shows. The name only
// tells the time in tens of seconds; the comment tells a quick re-save
// apart. Reading trusts nothing in the file: a damaged, truncated,
// warning-raising or mismatching entry is simply not used.

#include <QImage>
#include <cstdint>
#include <string>

#include "corekit/mystring.h"
#include "corekit/platform.h"

// What a thumbnail was made from: the source's facts read before its decode.
struct tagTHUMBSTAMP {
  FILETIME64 ftLastWrite = 0;
  uint64_t nSize = 0;
  bool operator==(const tagTHUMBSTAMP&) const = default;
};

// 1 and the facts of the regular file at path, else 0.
int ReadThumbStamp(const MyString& path, tagTHUMBSTAMP* stamp);

// The largest side an entry may have; larger ones are not ours.
constexpr int kMaxEntrySide = 1024;

// The JPEG bytes of image (any format Qt holds) with the stamp in its
// comment; empty on failure. handle: a TurboJPEG compressor to reuse, or null.
std::string EncodeThumbnailEntry(const QImage& image, const tagTHUMBSTAMP& stamp,
                                 void* handle = nullptr);

// The stamp an entry's comment holds. 1 when it has one.
int ReadEntryStamp(const std::string& bytes, tagTHUMBSTAMP* stamp);

// Decodes an entry made for expected (RGB32). 1 on success; 0 for anything
// else: no or another stamp, a decoder error or warning, a size beyond
// kMaxEntrySide. handle: a TurboJPEG decompressor to reuse, or null.
int DecodeThumbnailEntry(const std::string& bytes, const tagTHUMBSTAMP& expected, QImage* image,
                         void* handle = nullptr);

// Reads and decodes the entry file at path; 0 as above or when unreadable.
int ReadThumbnailEntry(const MyString& path, const tagTHUMBSTAMP& expected, QImage* image,
                       void* handle = nullptr);
