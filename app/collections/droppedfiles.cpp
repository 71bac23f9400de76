#include "collections/droppedfiles.h"

#include <QFileInfo>

#include "corekit/datafile.h"
#include "corekit/slidesfile.h"
#include "pixwork/formats.h"

namespace {

constexpr char16_t kSlides[] = u"Slides";

}  // namespace

bool IsSupportedImagePath(const MyString& path) {
  const MyString extension = path.GetStringExtension();
  if (extension.GetLength() < 2) return false;
  const MyString bare = extension.Mid(1);
  for (const MyString& supported : GetSupportedExtensions())
    if (supported.EqualsNoCase(bare)) return true;
  return false;
}

std::vector<MyString> SupportedImages(const std::vector<MyString>& dropped) {
  std::vector<MyString> images;
  for (const MyString& path : dropped) {
    if (QFileInfo(path.ToQString()).isDir() || !IsSupportedImagePath(path)) continue;
    images.push_back(path);
  }
  return images;
}

int SaveImagesAsPortfolio(const std::vector<MyString>& images, const MyString& portfolio,
                          MyString* error) {
  CSlidesFile file;
  for (const MyString& image : images) file.Append(image, 0);
  if (file.Save(portfolio)) return 1;
  if (error) *error = file.GetLastError();
  return 0;
}

int AppendToPortfolio(const MyString& portfolio, const std::vector<MyString>& dropped,
                      MyString* error) {
  const std::vector<MyString> images = SupportedImages(dropped);
  if (images.empty()) return 0;
  CDataFile file(portfolio);
  int32_t count = std::max<int32_t>(0, file.GetInt(u"HowMany", kSlides));
  for (const MyString& image : images) {
    MyString number = MyString::FromUtf8(std::to_string(count));
    file.SetValue(MyString(u"File") + number, image, MyString(), kSlides);
    file.SetInt(MyString(u"Time") + number, 0, MyString(), kSlides);
    ++count;
  }
  file.SetInt(u"HowMany", count, MyString(), kSlides);
  // Written here rather than when the file is released: a failure is told.
  if (!file.Save()) {
    if (error) *error = file.GetLastError();
    // Nothing more to write on release.
    file.SetFileName(MyString());
    return -1;
  }
  return int(images.size());
}
