#include "browse/sharedthumbnails.h"

#include <QCryptographicHash>
#include <QPainter>
#include <QUrl>
#include <cerrno>
#include <cstdlib>

#include "corekit/atomicfile.h"
#include "corekit/platform.h"
#include "corekit/straw.h"

namespace {

constexpr FILETIME64 kUnixEpochAsFileTime = 116444736000000000ull;
// The largest shared size is 1024 pixels; a PNG of it stays well below this.
constexpr size_t kMaxEntryBytes = 16 << 20;

// Bigger than the largest shared size: not a shared thumbnail.
constexpr int kMaxSharedSide = 2048;

QByteArray FileUri(const MyString& path) {
  return QUrl::fromLocalFile(path.ToQString()).toEncoded();
}

// A whole decimal number equal to value ("1700000000", also "1700000000.0").
bool SameNumber(const std::string& text, uint64_t value) {
  if (text.empty() || text.size() > 40) return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long number = std::strtoull(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || text[0] == '-') return false;
  const std::string rest(end);
  if (!rest.empty() && rest.find_first_not_of("0", rest[0] == '.' ? 1 : 0) != std::string::npos)
    return false;
  return number == value;
}

}  // namespace

MyString SharedThumbnailFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache && cache[0] == '/') return MyString::FromUtf8(cache) + u"/thumbnails";
  return GetHomeFolder() + u"/.cache/thumbnails";
}

MyString SharedThumbnailName(const MyString& path) {
  const QByteArray hash = QCryptographicHash::hash(FileUri(path), QCryptographicHash::Md5);
  return MyString::FromUtf8(hash.toHex().toStdString()) + u".png";
}

int ReadPngThumbnailFacts(const std::string& bytes, tagPNGTHUMBFACTS* facts) {
  static const char kSignature[] = "\x89PNG\r\n\x1a\n";
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t size = bytes.size();
  if (size < 8 || bytes.compare(0, 8, kSignature, 8) != 0) return 0;
  *facts = tagPNGTHUMBFACTS();
  size_t pos = 8;
  bool header = false;
  // The chunks before the pixels; each length is checked against what is left.
  while (pos + 12 <= size) {
    const uint32_t length = (uint32_t(data[pos]) << 24) | (uint32_t(data[pos + 1]) << 16) |
                            (uint32_t(data[pos + 2]) << 8) | data[pos + 3];
    if (length > size - pos - 12) return 0;
    const std::string type(bytes, pos + 4, 4);
    const std::string chunk(bytes, pos + 8, length);
    if (type == "IHDR") {
      if (length < 8) return 0;
      const auto* d = data + pos + 8;
      facts->nWidth = int(
          (uint32_t(d[0]) << 24 | uint32_t(d[1]) << 16 | uint32_t(d[2]) << 8 | d[3]) & 0x7FFFFFFF);
      facts->nHeight = int(
          (uint32_t(d[4]) << 24 | uint32_t(d[5]) << 16 | uint32_t(d[6]) << 8 | d[7]) & 0x7FFFFFFF);
      header = true;
    } else if (type == "IDAT" || type == "IEND") {
      break;
    } else if (type == "tEXt" || type == "iTXt") {
      const size_t keyEnd = chunk.find('\0');
      if (keyEnd != std::string::npos) {
        const std::string key = chunk.substr(0, keyEnd);
        std::string text;
        if (type == "tEXt") {
          text = chunk.substr(keyEnd + 1);
        } else {
          // Compression flag and method, then language and translated key.
          if (keyEnd + 3 > chunk.size() || chunk[keyEnd + 1] != 0) {
            pos += 12 + length;
            continue;
          }
          const size_t language = chunk.find('\0', keyEnd + 3);
          const size_t translated =
              language == std::string::npos ? language : chunk.find('\0', language + 1);
          if (translated == std::string::npos) {
            pos += 12 + length;
            continue;
          }
          text = chunk.substr(translated + 1);
        }
        if (key == "Thumb::URI")
          facts->strUri = text;
        else if (key == "Thumb::MTime")
          facts->strMTime = text;
        else if (key == "Thumb::Size")
          facts->strSize = text;
      }
    }
    pos += 12 + length;
  }
  return header ? 1 : 0;
}

int ReadSharedThumbnail(const MyString& path, const tagTHUMBSTAMP& stamp, const SIZE& box,
                        QImage* image) {
  if (box.cx <= 0 || box.cy <= 0 || stamp.ftLastWrite < kUnixEpochAsFileTime) return 0;
  const std::string uri = FileUri(path).toStdString();
  const uint64_t mtime = (stamp.ftLastWrite - kUnixEpochAsFileTime) / 10000000u;
  const MyString name = SharedThumbnailName(path);
  const MyString folder = SharedThumbnailFolder();
  // Smallest first: the first that covers the box is the cheapest to read.
  for (const char16_t* size : {u"/normal/", u"/large/", u"/x-large/", u"/xx-large/"}) {
    std::string bytes;
    if (!ReadWholeFile(folder + size + name, &bytes, kMaxEntryBytes)) continue;
    tagPNGTHUMBFACTS facts;
    if (!ReadPngThumbnailFacts(bytes, &facts)) continue;
    if (facts.nWidth < box.cx && facts.nHeight < box.cy) continue;
    if (facts.nWidth > kMaxSharedSide || facts.nHeight > kMaxSharedSide) continue;
    if (facts.strUri != uri || !SameNumber(facts.strMTime, mtime)) continue;
    if (!facts.strSize.empty() && !SameNumber(facts.strSize, stamp.nSize)) continue;
    QImage picture;
    if (!picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), int(bytes.size()),
                              "png") ||
        picture.isNull())
      continue;
    // Transparent parts over white, as the thumbnails' cells are.
    QImage opaque(picture.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, picture);
    painter.end();
    *image = std::move(opaque);
    return 1;
  }
  return 0;
}
