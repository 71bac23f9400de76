#include "shell/settingsnotice.h"

#include <QMessageBox>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "corekit/platform.h"
#include "corekit/straw.h"

namespace {

bool gbReported = false;

}  // namespace

MyString CheckConfigFolderWritable() {
  const MyString folder = GetConfigFolder();
  if (::access(CStrAW::w_toA(folder).c_str(), W_OK) == 0) return MyString();
  return CStrAW::printf(u"%s: %S", folder.c_str(), std::strerror(errno));
}

int ReportSettingsNotSaved(const MyString& reason, QWidget* parent) {
  if (gbReported) return 0;
  gbReported = true;
  const MyString text = CStrAW::printf(
      u"Lorimo cannot save its settings (%s).\nThe options you change will not be kept after "
      u"Lorimo closes.",
      reason.c_str());
  std::fprintf(stderr, "lorimo: %s\n", text.ToUtf8().c_str());
  if (!parent) return 1;
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Lorimo: Settings"),
                              text.ToQString(), QMessageBox::Ok, parent);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
  return 1;
}
