#include "plugins/pluginprobing.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>

std::vector<MyString> FindPluginFiles(const MyString& folder) {
  QDir dir(folder.ToQString());
  std::vector<MyString> files;
  const QFileInfoList entries =
      dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo& entry : entries) {
    if (entry.isDir()) continue;
    if (entry.fileName().right(4).compare(QStringLiteral(".LPL"), Qt::CaseInsensitive) != 0)
      continue;
    files.push_back(MyString::FromQString(entry.absoluteFilePath()));
  }
  std::sort(files.begin(), files.end(),
            [](const MyString& a, const MyString& b) { return a.ToQString() < b.ToQString(); });
  return files;
}

MyString ProbeReasonText(int result, const MyString& detail) {
  switch (result) {
    case PR_OK:
      return MyString();
    case PR_NOT_LOADABLE:
      return u"It is not a plug-in library: " + detail;
    case PR_NO_EXPORT:
      return u"The library lacks the export " + detail + u".";
    case PR_WRONG_VERSION:
      return u"It was made for plug-in interface version " + detail + u", not 1009.";
    case PR_NULL_INSTANCE:
      return u"The library offers no plug-in.";
    case PR_CRASHED:
      return u"The plug-in crashed while starting (" + detail + u").";
    case PR_HUNG:
      return u"The plug-in did not finish starting and was stopped.";
    default:
      return u"The plug-in could not be tried: " + detail;
  }
}

tagPROBERESULT ProbePluginFile(const MyString& probe, const MyString& path, int timeoutMs) {
  tagPROBERESULT result;
  result.strPath = path;
  QProcess process;
  process.setProcessChannelMode(QProcess::SeparateChannels);
  process.start(probe.ToQString(), {path.ToQString()});
  if (!process.waitForStarted(timeoutMs)) {
    result.nResult = PR_NO_PROBE;
    result.strReason = ProbeReasonText(PR_NO_PROBE, MyString::FromQString(process.errorString()));
    return result;
  }
  if (!process.waitForFinished(timeoutMs)) {
    process.kill();
    process.waitForFinished(-1);
    result.nResult = PR_HUNG;
    result.strReason = ProbeReasonText(PR_HUNG, MyString());
    return result;
  }
  const QString output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
  if (process.exitStatus() == QProcess::CrashExit) {
    result.nResult = PR_CRASHED;
    result.strReason = ProbeReasonText(
        PR_CRASHED, u"signal " + MyString::FromQString(QString::number(process.exitCode())));
    return result;
  }
  result.nResult = process.exitCode();
  // Any other code (a sanitizer's, an exit() in the library) is a failed
  // start as well.
  const int code = result.nResult;
  if (code != PR_OK && (code < PR_NOT_LOADABLE || code > PR_NULL_INSTANCE)) {
    result.nResult = PR_CRASHED;
    result.strReason =
        ProbeReasonText(PR_CRASHED, u"exit code " + MyString::FromQString(QString::number(code)));
    return result;
  }
  result.strReason = ProbeReasonText(result.nResult, MyString::FromQString(output));
  return result;
}
