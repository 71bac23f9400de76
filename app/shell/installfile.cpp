#include "shell/installfile.h"

#include "corekit/datafile.h"
#include "corekit/platform.h"
#include "shell/recentlists.h"

namespace {

constexpr char16_t kSection[] = u"INST_DEF";
constexpr char16_t kKey[] = u"StartImage";

}  // namespace

MyString GetInstallFilePath() { return GetConfigFolder() + u"/install.ini"; }

MyString ReadStartImage(const MyString& iniPath) {
  CDataFile file;
  file.Load(iniPath);
  const MyString image = file.GetValue(kKey, kSection);
  file.SetFileName(MyString());  // reading never writes it back
  return IsPlausiblePath(image) ? image : MyString();
}

int WriteStartImage(const MyString& iniPath, const MyString& image) {
  if (IsFileReadOnly(iniPath)) ClearFileReadOnly(iniPath);
  CDataFile file;
  file.Load(iniPath);
  file.SetValue(kKey, image, MyString(), kSection);
  const int saved = file.Save();
  file.SetFileName(MyString());  // saved once, not again on destruction
  return saved;
}
