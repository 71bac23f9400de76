#include "pixwork/formats.h"

#include <mutex>
#include <optional>

const FILTERFILEEXTRY szStaticOpenFileFilter[kStaticOpenFileFilterCount] = {
    {u"BMP", nullptr},      {u"JPG", nullptr},          {u"JPEG", nullptr}, {u"PNG", nullptr},
    {u"PGM", nullptr},      {u"PNM", nullptr},          {u"PPM", nullptr},  {u"TIF", nullptr},
    {u"JP2", nullptr},      {u"J2C", nullptr},          {u"GIF", nullptr},  {u"HDF", nullptr},
    {u"PSD", u"Photoshop"}, {u"LRM", u"LRM Portfolio"},
};

const char16_t* const szSaveFilter2[12] = {u"BMP", u"JPG", u"JPEG", u"PNG", u"PGM", u"PNM",
                                           u"PPM", u"TIF", u"JP2",  u"GIF", u"HDF", nullptr};

namespace {

std::vector<MyString> StaticImageExtensions() {
  std::vector<MyString> extensions;
  for (int i = 0; i < kStaticOpenFileFilterCount; ++i)
    if (i != kPortfolioFilterRow) extensions.emplace_back(szStaticOpenFileFilter[i].pszExtension);
  return extensions;
}

// Plug-ins may register from their loader thread while the GUI builds a
// dialog or scans a folder.
std::mutex& FormatLock() {
  static std::mutex lock;
  return lock;
}

std::optional<MyString>& KeptOpenFilter() {
  static std::optional<MyString> text;
  return text;
}

std::optional<MyString>& KeptOpenFilterWithoutLRM() {
  static std::optional<MyString> text;
  return text;
}

void AppendPart(std::u16string& out, std::u16string_view part) {
  out += part;
  out += u'\0';
}

void AppendFormat(std::u16string& out, const MyString& extension, const char16_t* description) {
  std::u16string label = description ? std::u16string(description) : extension.str();
  label += u" Files (*.";
  label += extension.str();
  label += u')';
  AppendPart(out, label);
  AppendPart(out, u"*." + extension.str());
}

// Caller holds the format lock.
MyString BuildOpenFilter(bool withPortfolio) {
  szSupportedFilesFilter = StaticImageExtensions();
  for (const MyString& extension : sPluginSupportedExtensions)
    szSupportedFilesFilter.push_back(extension);

  auto included = [&](int row) { return withPortfolio || row != kPortfolioFilterRow; };
  std::u16string out;
  AppendPart(out, u"Supported Formats ");
  std::u16string patterns;
  for (int i = 0; i < kStaticOpenFileFilterCount; ++i) {
    if (!included(i)) continue;
    patterns += u"*.";
    patterns += szStaticOpenFileFilter[i].pszExtension;
    patterns += u';';
  }
  for (const MyString& extension : sPluginSupportedExtensions)
    patterns += u"*." + extension.str() + u";";
  AppendPart(out, patterns);
  for (int i = 0; i < kStaticOpenFileFilterCount; ++i)
    if (included(i))
      AppendFormat(out, szStaticOpenFileFilter[i].pszExtension,
                   szStaticOpenFileFilter[i].pszDescription);
  for (const MyString& extension : sPluginSupportedExtensions)
    AppendFormat(out, extension, nullptr);
  if (withPortfolio) {
    AppendPart(out, u"All Files (*.*)");
    AppendPart(out, u"*.*");
  }
  out += u'\0';
  return MyString(std::move(out));
}

bool IsUsableExtension(const MyString& extension) {
  if (extension.IsEmpty()) return false;
  for (char16_t c : extension.str())
    if (c < 0x20 || c == 0x7F || c == u'.' || c == u'*' || c == u'?' || c == u';' || c == u'/' ||
        c == u'\\')
      return false;
  return true;
}

}  // namespace

std::vector<MyString> sPluginSupportedExtensions;
std::vector<MyString> szSupportedFilesFilter = StaticImageExtensions();

MyString GetOpenFilter() {
  std::lock_guard<std::mutex> guard(FormatLock());
  if (!KeptOpenFilter()) KeptOpenFilter() = BuildOpenFilter(true);
  return *KeptOpenFilter();
}

MyString GetOpenFilterWithoutLRM() {
  std::lock_guard<std::mutex> guard(FormatLock());
  if (!KeptOpenFilterWithoutLRM()) KeptOpenFilterWithoutLRM() = BuildOpenFilter(false);
  return *KeptOpenFilterWithoutLRM();
}

void FreeOpenFilterBuffers() {
  std::lock_guard<std::mutex> guard(FormatLock());
  KeptOpenFilter().reset();
  KeptOpenFilterWithoutLRM().reset();
}

int RegisterFileExtension(const MyString& extension) {
  if (!IsUsableExtension(extension)) return 0;
  std::lock_guard<std::mutex> guard(FormatLock());
  for (const FILTERFILEEXTRY& row : szStaticOpenFileFilter)
    if (extension == row.pszExtension) return 0;
  for (const MyString& known : sPluginSupportedExtensions)
    if (extension == known) return 0;
  sPluginSupportedExtensions.push_back(extension);
  szSupportedFilesFilter.push_back(extension);
  KeptOpenFilter() = BuildOpenFilter(true);
  KeptOpenFilterWithoutLRM() = BuildOpenFilter(false);
  return 1;
}

std::vector<MyString> GetSupportedExtensions() {
  std::lock_guard<std::mutex> guard(FormatLock());
  return szSupportedFilesFilter;
}

std::vector<FILTERPART> SplitFilterText(std::u16string_view filter) {
  std::vector<FILTERPART> parts;
  std::vector<std::u16string_view> pieces;
  size_t start = 0;
  while (start < filter.size()) {
    size_t end = filter.find(u'\0', start);
    if (end == std::u16string_view::npos) end = filter.size();
    if (end == start) break;  // the empty part ends the text
    pieces.push_back(filter.substr(start, end - start));
    start = end + 1;
  }
  for (size_t i = 0; i + 1 < pieces.size(); i += 2)
    parts.push_back(FILTERPART{MyString(pieces[i]), MyString(pieces[i + 1])});
  return parts;
}
