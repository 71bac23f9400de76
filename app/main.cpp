#include <QApplication>
#include <QCoreApplication>

#include <Magick++.h>

#include "collections/batchheadless.h"
#include "corekit/mystring.h"
#include "shell/program.h"
#include "shell/termination.h"
#include "viewer/monitorprofile.h"

int main(int argc, char** argv) {
  Magick::InitializeMagick(argv[0]);
  // A batch run needs no display and is no second instance of the viewer.
  if (IsHeadlessBatch(argc, argv)) {
    QCoreApplication app(argc, argv);
    return RunHeadlessBatch(argc, argv);
  }
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("ZOKA"));
  QApplication::setApplicationName(QStringLiteral("Lorimo"));
  // The loop ends when the main window's shut-down has run, not when some
  // other window happens to be the last one closed.
  QApplication::setQuitOnLastWindowClosed(false);
  // Embedded colour profiles are shown in the monitor's, when it has one.
  UseMonitorProfile();

  MyStringList arguments;
  const QStringList args = QApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) arguments.Append(MyString::FromQString(args[i]));

  CLorimoProgram program(arguments);
  InstallTerminationHandler([&program] { program.RequestClose(); });
  if (!program.InitInstance()) return kExitInstanceFailed;
  const int code = QApplication::exec();
  program.ExitInstance();
  return code;
}
