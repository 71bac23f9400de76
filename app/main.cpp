#include <QApplication>

#include <Magick++.h>

#include "corekit/mystring.h"
#include "shell/mainframe.h"
#include "shell/termination.h"

int main(int argc, char** argv) {
  Magick::InitializeMagick(argv[0]);
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("ZOKA"));
  QApplication::setApplicationName(QStringLiteral("Lorimo"));

  CMainFrame frame;
  frame.show();
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) frame.OpenImage(MyString::FromQString(args[1]));
  InstallTerminationHandler([&frame] { frame.close(); });
  return QApplication::exec();
}
