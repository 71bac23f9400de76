#pragma once
// The help, opened in the user's browser (the pages shipped beside the
// program, or those on the web), and the screen-capture companion program
// started from beside the program.

#include <QStringList>

#include "corekit/mystring.h"
#include "corekit/platform.h"

class QWidget;

inline constexpr char16_t kDefaultHelpWebAddress[] = u"https://www.zoka-software.com/lorimo/help/";

// <program folder>/help/index.html
MyString GetLocalHelpPath(const MyString& programFolder = GetExecutableFolder());
// The environment variable LORIMO_HELP_URL, else the text value "HelpURL"
// in Software\ZOKA\Lorimo, else the maker's pages.
MyString GetHelpWebAddress();

// 1 when the browser was asked to show the page; 0 and *error when the page
// is missing, the address is not a web page, or nothing could show it.
int OpenLocalHelp(const MyString& programFolder, MyString* error);
int OpenHelpOnTheWeb(const MyString& address, MyString* error);

// <program folder>/snapgrab
MyString GetScreenCaptureProgram(const MyString& programFolder = GetExecutableFolder());
// Starts the companion on its own (it outlives the viewer); 1, or 0 and
// *error when it is missing or cannot be started.
int StartScreenCapture(const MyString& programFolder, const QStringList& arguments, MyString* error,
                       qint64* pid = nullptr);

// The commands: each runs the above and shows a failure in a message box.
void RunLorimoHelp(QWidget* parent);          // "Lorimo Help" (F1)
void RunLorimoHelpOnTheWeb(QWidget* parent);  // "Lorimo Help On The Web"
void RunScreenCapture(QWidget* parent);       // "Screen Capture ..."
