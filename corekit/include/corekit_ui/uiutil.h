#pragma once
// Window helpers of the dialog framework: handles to widgets, pending event
// delivery, coordinate conversion, version and folder facts, and the bitmap
// record to and from QImage. GUI thread only, except the bitmap conversions.

#include <QImage>
#include <QRect>

#include "corekit/bitmap.h"
#include "corekit/messages.h"
#include "corekit/mystring.h"

class QWidget;

// The widget behind a window handle, or null (no such handle, or its owner
// is not a widget).
QWidget* WidgetFromHwnd(HWND hwnd);

// Delivers the events already queued for the window and its children
// (posted messages, pending updates), without taking new user input.
void FlushWindowsMessages(QWidget* window);
void FlushWindowsMessages(HWND hwnd);

// Rectangle conversion between a widget's client coordinates and the screen.
// RECT's right and bottom are exclusive; a null widget leaves it unchanged.
void ClientToScreen(const QWidget* widget, RECT* rect);
void ScreenToClient(const QWidget* widget, RECT* rect);
QRect ClientToScreen(const QWidget* widget, const QRect& rect);
QRect ScreenToClient(const QWidget* widget, const QRect& rect);

// Themed controls are always available here.
inline bool HaveCommonControls6() { return true; }

// The program's version text ("0.1.0"): the application's version when one
// is set, else the version this build was made as.
MyString GetVersionInformation();

// Where searches start: the user's Pictures folder when it exists, else the
// home folder; empty when neither exists.
MyString GetDefaultSearchDirectory();

// A deep copy as a QImage (Format_ARGB32, whose bytes are B, G, R, A), or a
// null image for a null or bad record.
QImage BitmapToQImage(const tagLORIMOBITMAP* bitmap);
// A new bitmap holding the image's pixels (converted to non-premultiplied
// BGRA), or null for a null image or a size the bitmap limits refuse.
HBITMAP QImageToBitmap(const QImage& image);
