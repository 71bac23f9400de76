#include "viewer/edit/rotatename.h"

#include <climits>
#include <filesystem>
#include <system_error>

#include "corekit/straw.h"

namespace {

bool AllDigits(std::u16string_view text) {
  if (text.empty()) return false;
  for (char16_t c : text)
    if (c < u'0' || c > u'9') return false;
  return true;
}

// The title without an ending of suffix + "_" + digits.
std::u16string BaseTitle(const std::u16string& title, const std::u16string& suffix) {
  const std::u16string marker = suffix + u"_";
  const size_t at = title.rfind(marker);
  if (at == std::u16string::npos) return title;
  if (!AllDigits(std::u16string_view(title).substr(at + marker.size()))) return title;
  return title.substr(0, at);
}

enum NAMESTATE { NS_FREE, NS_TAKEN, NS_UNKNOWN };

NAMESTATE StateOf(const MyString& path) {
  std::error_code ec;
  // A dangling link counts as taken: writing through it would create a
  // file somewhere else.
  const auto status = std::filesystem::symlink_status(CStrAW::ToPath(path), ec);
  if (status.type() == std::filesystem::file_type::not_found) return NS_FREE;
  if (ec) return NS_UNKNOWN;
  return NS_TAKEN;
}

}  // namespace

int MakeRotatedFileName(const MyString& source, const MyString& suffix, MyString* result,
                        const CStopEvent& stop) {
  if (source.IsEmpty() || suffix.Find(u'/') != MyString::npos) return 0;
  const size_t slash = source.ReverseFind(u'/');
  const MyString folder = slash == MyString::npos ? MyString() : source.Mid(0, slash + 1);
  const MyString title = BaseTitle(source.GetStringTitle().str(), suffix.str());
  const MyString extension = source.GetStringExtension();

  for (int n = 1; n < INT_MAX; ++n) {
    if (stop.IsSet()) return 0;
    const MyString candidate =
        CStrAW::printf(u"%s%s%s_%d", folder.c_str(), title.c_str(), suffix.c_str(), n) + extension;
    // The source may be gone by now; its name is still never reused.
    if (candidate == source) continue;
    switch (StateOf(candidate)) {
      case NS_FREE:
        *result = candidate;
        return 1;
      case NS_TAKEN:
        continue;
      case NS_UNKNOWN:
        return 0;
    }
  }
  return 0;
}
