#include "shell/helplauncher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>
#include <cstdlib>

#include "corekit/registry.h"
#include "corekit/straw.h"

namespace {

void ShowError(QWidget* parent, const char16_t* operation, const MyString& error) {
  QMessageBox::warning(parent, QStringLiteral("Lorimo: ") + QString::fromUtf16(operation),
                       error.ToQString());
}

}  // namespace

MyString GetLocalHelpPath(const MyString& programFolder) {
  return programFolder + u"/help/index.html";
}

MyString GetHelpWebAddress() {
  const char* env = std::getenv("LORIMO_HELP_URL");
  if (env && *env) return CStrAW::a_toW(env);
  CRegistry registry(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo", false);
  MyString address;
  if (registry.GetValue(u"HelpURL", address) && !address.IsEmpty()) return address;
  return kDefaultHelpWebAddress;
}

int OpenLocalHelp(const MyString& programFolder, MyString* error) {
  const MyString path = GetLocalHelpPath(programFolder);
  if (!QFileInfo(path.ToQString()).isFile()) {
    if (error) *error = u"The help could not be found:\n" + path;
    return 0;
  }
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path.ToQString()))) {
    if (error) *error = u"No browser could be started to show the help:\n" + path;
    return 0;
  }
  return 1;
}

int OpenHelpOnTheWeb(const MyString& address, MyString* error) {
  const QUrl url(address.ToQString(), QUrl::StrictMode);
  if (!url.isValid() || url.host().isEmpty() ||
      (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))) {
    if (error) *error = u"The help address is not a web page:\n" + address;
    return 0;
  }
  if (!QDesktopServices::openUrl(url)) {
    if (error) *error = u"No browser could be started to show the help:\n" + address;
    return 0;
  }
  return 1;
}

MyString GetScreenCaptureProgram(const MyString& programFolder) {
  return programFolder + u"/snapgrab";
}

int StartScreenCapture(const MyString& programFolder, const QStringList& arguments, MyString* error,
                       qint64* pid) {
  const MyString program = GetScreenCaptureProgram(programFolder);
  const QFileInfo info(program.ToQString());
  if (!info.isFile() || !info.isExecutable()) {
    if (error) *error = u"The screen capture program is not installed beside Lorimo:\n" + program;
    return 0;
  }
  if (!QProcess::startDetached(program.ToQString(), arguments, QString(), pid)) {
    if (error) *error = u"The screen capture program could not be started:\n" + program;
    return 0;
  }
  return 1;
}

void RunLorimoHelp(QWidget* parent) {
  MyString error;
  if (!OpenLocalHelp(GetExecutableFolder(), &error)) ShowError(parent, u"Help", error);
}

void RunLorimoHelpOnTheWeb(QWidget* parent) {
  MyString error;
  if (!OpenHelpOnTheWeb(GetHelpWebAddress(), &error)) ShowError(parent, u"Help On The Web", error);
}

void RunScreenCapture(QWidget* parent) {
  MyString error;
  if (!StartScreenCapture(GetExecutableFolder(), {}, &error, nullptr))
    ShowError(parent, u"Screen Capture", error);
}
