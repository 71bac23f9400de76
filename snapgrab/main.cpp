// Snapgrab: takes a picture of the screen and saves it as PNG, JPEG or BMP.
//
//   snapgrab                          a small window: delay, capture, save as
//   snapgrab --output FILE [--delay S] saves straight to FILE and exits:
//                                      0 saved, 1 the screen could not be
//                                      read, 2 a bad argument or the file
//                                      could not be written
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "screengrab.h"
#include "snapgrabwindow.h"

namespace {

void PrintError(const QString& text) { std::fprintf(stderr, "snapgrab: %s\n", qPrintable(text)); }

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Snapgrab"));
  QApplication::setOrganizationName(QStringLiteral("ZOKA"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Takes a picture of the screen."));
  parser.addHelpOption();
  const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                  QStringLiteral("Save to <file> (.png, .jpg or .bmp) and exit."),
                                  QStringLiteral("file"));
  const QCommandLineOption delay({QStringLiteral("d"), QStringLiteral("delay")},
                                 QStringLiteral("Wait <seconds> (0 to 60) before the capture."),
                                 QStringLiteral("seconds"), QStringLiteral("0"));
  parser.addOption(output);
  parser.addOption(delay);
  parser.process(app);

  bool isNumber = false;
  const int seconds = parser.value(delay).toInt(&isNumber);
  if (!isNumber || seconds < 0 || seconds > 60) {
    PrintError(QStringLiteral("the delay must be a number of seconds from 0 to 60"));
    return 2;
  }

  if (!parser.isSet(output)) {
    CSnapgrabWindow window(seconds);
    window.show();
    return QApplication::exec();
  }

  const QString file = parser.value(output);
  if (SaveFormatFor(file).isEmpty()) {
    PrintError(
        QStringLiteral("%1: screen captures are saved as .png, .jpg or .bmp files").arg(file));
    return 2;
  }
  QTimer::singleShot(seconds * 1000, &app, [&file] {
    const QImage image = GrabDesktop();
    if (image.isNull()) {
      PrintError(
          QStringLiteral("the screen could not be captured: this display does not let "
                         "programs read the screen"));
      QApplication::exit(1);
      return;
    }
    QString error;
    if (!SaveScreenshot(image, file, &error)) {
      PrintError(error);
      QApplication::exit(2);
      return;
    }
    QApplication::exit(0);
  });
  return QApplication::exec();
}
