#include "shell/firstdisplay.h"

#include "corekit/platform.h"
#include "shell/settings.h"

namespace {

bool IsExistingFile(const MyString& path) {
  CFileInfo info;
  return !path.IsEmpty() && GetFileInfo(path, &info) && !info.bDirectory;
}

}  // namespace

tagFIRSTDISPLAY ChooseFirstDisplay(const tagFIRSTDISPLAYINPUT& input) {
  const auto exists = [&input](const MyString& path) {
    return input.fileExists ? input.fileExists(path) : IsExistingFile(path);
  };
  tagFIRSTDISPLAY display;
  switch (input.commandLine.nKind) {
    case COMMANDLINE_PORTFOLIO:
      display.nKind = FIRST_DISPLAY_PORTFOLIO;
      display.strPath = input.commandLine.strPath;
      break;
    case COMMANDLINE_IMAGE:
      display.nKind = FIRST_DISPLAY_IMAGE;
      display.strPath = input.commandLine.strPath;
      break;
    case COMMANDLINE_WIA:
      display.nKind = FIRST_DISPLAY_WIA_TRANSFER;
      break;
    case COMMANDLINE_NONE:
      if (input.dwStartupChoice == STARTUP_DEFAULT_IMAGE && exists(input.strDefaultImage)) {
        display.nKind = FIRST_DISPLAY_IMAGE;
        display.strPath = input.strDefaultImage;
      } else if (input.dwStartupChoice == STARTUP_LAST_IMAGE && exists(input.strLastLoadedImage)) {
        display.nKind = FIRST_DISPLAY_IMAGE;
        display.strPath = input.strLastLoadedImage;
      } else if (input.dwStartupChoice == STARTUP_SCREEN && !input.bStartFullScreen) {
        display.nKind = FIRST_DISPLAY_STARTUP_SCREEN;
      }
      break;
  }
  return display;
}
