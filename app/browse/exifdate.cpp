#include "browse/exifdate.h"

#include <QDateTime>
#include <QTimeZone>
#include <string>

#include <libexif/exif-data.h>

#include "corekit/straw.h"
#include "pixwork/sortdir.h"

namespace {

// OffsetTimeOriginal ("+02:00"); older libexif releases have no name for it.
constexpr ExifTag kOffsetTimeOriginal = ExifTag(0x9011);

// The ASCII value of the tag in the EXIF folder, without its padding.
std::string AsciiValue(ExifData* data, ExifTag tag) {
  ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_EXIF], tag);
  if (!entry || !entry->data || entry->format != EXIF_FORMAT_ASCII) return {};
  std::string text(reinterpret_cast<const char*>(entry->data), entry->size);
  while (!text.empty() && (text.back() == '\0' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

bool ReadExifTakenTime(const MyString& path, FILETIME64* taken) {
  *taken = 0;
  ExifData* data = exif_data_new_from_file(CStrAW::w_toA(path).c_str());
  if (!data) return false;
  const std::string when = AsciiValue(data, EXIF_TAG_DATE_TIME_ORIGINAL);
  const std::string subSeconds = AsciiValue(data, EXIF_TAG_SUB_SEC_TIME_ORIGINAL);
  const std::string offset = AsciiValue(data, kOffsetTimeOriginal);
  exif_data_unref(data);

  // "YYYY:MM:DD HH:MM:SS"; cameras without a clock write blanks or zeros.
  const QDateTime local = QDateTime::fromString(QString::fromLatin1(when.c_str()),
                                                QStringLiteral("yyyy:MM:dd HH:mm:ss"));
  if (!local.isValid()) return false;
  QDateTime stamp = local;
  const QString zone = QString::fromLatin1(offset.c_str());
  if (zone.size() == 6 && (zone[0] == u'+' || zone[0] == u'-') && zone[3] == u':') {
    bool hoursOk = false, minutesOk = false;
    const int hours = zone.mid(1, 2).toInt(&hoursOk);
    const int minutes = zone.mid(4, 2).toInt(&minutesOk);
    if (hoursOk && minutesOk) {
      const int ahead = (hours * 3600 + minutes * 60) * (zone[0] == u'-' ? -1 : 1);
      stamp = QDateTime(local.date(), local.time(), QTimeZone(ahead));
    }
  }
  // The sub-seconds are a decimal fraction: "5" is half a second.
  uint32_t nanoseconds = 0;
  uint32_t scale = 100000000;
  for (char c : subSeconds) {
    if (c < '0' || c > '9') break;
    nanoseconds += uint32_t(c - '0') * scale;
    scale /= 10;
  }
  const int64_t seconds = stamp.toSecsSinceEpoch();
  *taken = FileTimeFromUnix(seconds, nanoseconds);
  return *taken != 0;
}

void RegisterExifDateReader() { SetExifDateReader(&ReadExifTakenTime); }
