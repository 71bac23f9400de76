#pragma once
// Taking the picture of the screen and writing it to a file.

#include <QImage>
#include <QString>

// Every screen in one image of the whole desktop. A null image when the
// display does not let programs read the screen.
QImage GrabDesktop();

// The image format a file name asks for by its extension ("png", "jpg" or
// "bmp"), or empty when it is not one we write.
QByteArray SaveFormatFor(const QString& fileName);

// The file name with the extension of the format added when it has none
// we write ("shot" with "jpg" gives "shot.jpg").
QString WithSaveExtension(const QString& fileName, const QByteArray& format);

// Writes the image in the format of the name's extension. The file is
// replaced only once the new one is complete. False and *error on failure.
bool SaveScreenshot(const QImage& image, const QString& fileName, QString* error);
