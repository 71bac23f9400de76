#include "shell/settingsexport.h"

#include "corekit/datafile.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "shell/settings.h"

namespace {

void AddFlags(CDataFile& file, const char16_t* section, const VIEWOPTIONS* records, int count) {
  for (int i = 0; i < count; ++i)
    file.CreateKey(records[i].szName, CStrAW::printf(u"%d", int(records[i].bFlag)), MyString(),
                   section);
}

}  // namespace

int WriteSettingsExport(const CLorimoSettings& settings, const MyString& path) {
  CDataFile file;
  file.SetFileName(path);
  for (int i = 0; i < CToolViewMenu::kEntryCount; ++i) {
    const bool shown = settings.menu.GetFlag(i) == CToolViewMenu::kShown;
    file.CreateKey(CToolViewMenu::Entries()[size_t(i)].pszMenuText, shown ? u"1" : u"0", MyString(),
                   u"SHOW WINDOW");
  }
  file.CreateKey(u"Auto Play Delay", CStrAW::printf(u"%ums", settings.dwAutoPlayMiliseconds),
                 MyString(), u"AUTO PLAY DELAY");
  AddFlags(file, u"VIEW OPTIONS", gVO, VO_COUNT);
  AddFlags(file, u"PERFORMANCE OPTIONS", gVSO, VSO_COUNT);
  const int saved = file.Save();
  file.SetFileName(MyString());
  return saved;
}
