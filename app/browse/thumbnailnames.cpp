#include "browse/thumbnailnames.h"

#include <ctime>

#include "corekit/straw.h"

namespace {

constexpr FILETIME64 kUnixEpochAsFileTime = 116444736000000000ull;
constexpr char16_t kCacheSuffix[] = u".JPEG";
constexpr char16_t kHighQualityMark[] = u"_hq";

bool IsTrimmed(char16_t ch) { return ch == u'[' || ch == u'0' || ch == u']'; }

MyString Decimal(long value) { return MyString::FromUtf8(std::to_string(value)); }

}  // namespace

CThumbnailNames::CThumbnailNames(MyString root) : m_strRoot(std::move(root)) {
  while (m_strRoot.GetLength() > 1 && m_strRoot[m_strRoot.GetLength() - 1] == u'/')
    m_strRoot.erase(m_strRoot.GetLength() - 1);
}

bool CThumbnailNames::IsInsideRoot(const MyString& path) const {
  const std::u16string& p = path.str();
  const std::u16string& r = m_strRoot.str();
  if (r.empty() || p.compare(0, r.size(), r) != 0) return false;
  return p.size() == r.size() || p[r.size()] == u'/';
}

MyString CThumbnailNames::MirrorFolder(const MyString& folder) const {
  if (folder.IsEmpty() || folder[0] != u'/' || IsInsideRoot(folder)) return MyString();
  MyString mirror = m_strRoot + folder;
  while (mirror.GetLength() > m_strRoot.GetLength() && mirror[mirror.GetLength() - 1] == u'/')
    mirror.erase(mirror.GetLength() - 1);
  return mirror;
}

MyString CThumbnailNames::ExtensionText(const MyString& fileName, const MyString& formatExtension) {
  const MyString extension = fileName.GetStringExtension();
  if (extension.IsEmpty())
    return formatExtension.IsEmpty() ? MyString(u"TMP") : formatExtension.ToUpper() + u"TMP";
  std::u16string text = extension.Mid(1).str();
  size_t begin = 0, end = text.size();
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  while (end > begin && IsTrimmed(text[end - 1])) --end;
  return MyString(text.substr(begin, end - begin));
}

MyString CThumbnailNames::FileName(const MyString& fileName, FILETIME64 lastWrite, bool highQuality,
                                   const MyString& formatExtension) {
  const MyString name = fileName.GetStringTitleExt();
  const MyString extension = name.GetStringExtension();
  const MyString base = name.Mid(0, name.GetLength() - extension.GetLength());
  const int64_t seconds = lastWrite >= kUnixEpochAsFileTime
                              ? int64_t((lastWrite - kUnixEpochAsFileTime) / 10000000u)
                              : 0;
  const time_t unixTime = time_t(seconds);
  std::tm utc{};
  gmtime_r(&unixTime, &utc);
  MyString result = base + u"(" + Decimal(utc.tm_year + 1900) + Decimal(utc.tm_mon + 1) +
                    Decimal(utc.tm_mday) + Decimal(utc.tm_hour) + Decimal(utc.tm_min) +
                    Decimal(utc.tm_sec / 10) + u")" + ExtensionText(name, formatExtension);
  if (highQuality) result += kHighQualityMark;
  return result + kCacheSuffix;
}

MyString CThumbnailNames::CachePath(const MyString& source, FILETIME64 lastWrite, bool highQuality,
                                    const MyString& formatExtension) const {
  const MyString mirror = MirrorFolder(source.GetStringPath());
  const MyString name = source.GetStringTitleExt();
  if (mirror.IsEmpty() || name.IsEmpty()) return MyString();
  return mirror + u"/" + FileName(name, lastWrite, highQuality, formatExtension);
}

MyString CThumbnailNames::Find(const MyString& highQualityPath, bool highQuality,
                               const std::function<bool(const MyString&)>& exists) {
  if (highQualityPath.IsEmpty()) return MyString();
  if (exists(highQualityPath)) return highQualityPath;
  if (highQuality) return MyString();
  // "<name>_hq.JPEG" without "_hq".
  const size_t cut = highQualityPath.GetLength() - (std::size(kCacheSuffix) - 1) -
                     (std::size(kHighQualityMark) - 1);
  const MyString normal = highQualityPath.Mid(0, cut) + kCacheSuffix;
  return exists(normal) ? normal : MyString();
}
