#pragma once
// Where a thumbnail of a file is kept in the cache: the mirror of the
// file's folder below the cache root, and a name made from the file's name
// and last-write time, so that a changed file gets a new name. A plain
// class, no file is touched except by Find's exists test.

#include <cstdint>
#include <functional>

#include "corekit/mystring.h"
#include "corekit/platform.h"

class CThumbnailNames {
 public:
  explicit CThumbnailNames(MyString root);

  const MyString& GetRoot() const { return m_strRoot; }

  // Whether path is the cache root or lies below it (a user folder that
  // merely has the root's name in it does not).
  bool IsInsideRoot(const MyString& path) const;

  // The mirror of an absolute folder: the root joined with the folder
  // ("/home/ann/Photos" gives "<root>/home/ann/Photos"). Empty for a
  // folder inside the root (the cache is never mirrored) or a relative one.
  MyString MirrorFolder(const MyString& folder) const;

  // The extension text of a file name: its last extension without the dot,
  // '[', '0' and ']' trimmed from both ends; "TMP" without an extension, or
  // formatExtension + "TMP" when files without one are opened as a format.
  static MyString ExtensionText(const MyString& fileName, const MyString& formatExtension);

  // The cache file name for a file name last written at lastWrite (UTC,
  // seconds in tens): "IMG_0012(2004715953)jpg.JPEG", or with
  // "_hq" before ".JPEG" for a high-quality thumbnail.
  static MyString FileName(const MyString& fileName, FILETIME64 lastWrite, bool highQuality,
                           const MyString& formatExtension = MyString());

  // The full cache path of source's thumbnail; empty when it has none.
  MyString CachePath(const MyString& source, FILETIME64 lastWrite, bool highQuality,
                     const MyString& formatExtension = MyString()) const;

  // The cache file that serves a request: with high quality on only the
  // "_hq" file; with it off the "_hq" file when it exists (it serves
  // normal quality too), else the normal one. Empty when none exists.
  static MyString Find(const MyString& highQualityPath, bool highQuality,
                       const std::function<bool(const MyString&)>& exists);

 private:
  MyString m_strRoot;
};
