#pragma once
// "As wallpaper" (Set as Desktop): makes the shown image the desktop's
// wallpaper. The desktop portal is asked first; without one, the desktop's
// own setting (by XDG_CURRENT_DESKTOP) is changed with its own tool. Either
// way the choice is stored in the user's profile and the desktop follows it.

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "viewer/edit/fileeditui.h"

class CImageDocument;

// The file the desktop is given.
struct tagWALLPAPERFILE {
  MyString strPath;
  // The shown image is to be written to strPath first.
  bool bWriteImage = false;
};

// The shown file itself when the desktops read its format and it shows
// what the viewer shows; otherwise the image written as title + ".png"
// into folder, where it stays as long as it is the wallpaper.
tagWALLPAPERFILE ChooseWallpaperFile(const MyString& path, bool bModified, const MyString& folder);

// Where written wallpapers are kept: the program's folder in the user's
// data folder (not the temporary folder, which is emptied at start-up).
MyString GetWallpaperFolder();

// One way of changing a desktop's setting: a program and its arguments.
struct tagWALLPAPERCOMMAND {
  QString strProgram;
  QStringList arguments;
  // Its failure does not count (a key that older versions lack).
  bool bOptional = false;
};

// The commands that set file as wallpaper on the desktops named in
// desktops (XDG_CURRENT_DESKTOP: names separated by ':', any case); empty
// for a desktop without a known setting. XFCE is set per monitor, see
// XfceImageProperties.
std::vector<tagWALLPAPERCOMMAND> DesktopWallpaperCommands(const QString& desktops,
                                                          const MyString& file);
bool IsXfceDesktop(const QString& desktops);
// The properties that hold a monitor's image, from the listing of
// "xfconf-query -c xfce4-desktop -l".
QStringList XfceImageProperties(const QString& listing);

// Sets file as the wallpaper. 1 on success; 0 with the reason in *error
// (empty when none is known); -1 when the user declined in the portal.
int SetDesktopWallpaper(const MyString& file, MyString* error);

class CDesktopWallpaper {
 public:
  CDesktopWallpaper(CImageDocument& document, CFileEditUi& ui);

  // SetDesktopWallpaper by default.
  std::function<int(const MyString& file, MyString* error)> setWallpaper;
  // Where a written wallpaper goes (GetWallpaperFolder by default).
  MyString strFolder;

  // 1 when the wallpaper was set.
  int Run();

 private:
  CImageDocument& m_document;
  CFileEditUi& m_ui;
};
