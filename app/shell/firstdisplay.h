#pragma once
// What the viewer shows first: the command line's portfolio or image, the
// camera transfer for "/WIAAuto", or, without an argument, the start-up
// choice: the default image, the last displayed image, the startup screen
// or nothing.

#include <functional>

#include "corekit/mystring.h"
#include "shell/commandline.h"

enum FIRSTDISPLAYKIND {
  FIRST_DISPLAY_EMPTY,
  FIRST_DISPLAY_IMAGE,
  FIRST_DISPLAY_PORTFOLIO,
  FIRST_DISPLAY_WIA_TRANSFER,
  FIRST_DISPLAY_STARTUP_SCREEN,
};

struct tagFIRSTDISPLAY {
  FIRSTDISPLAYKIND nKind = FIRST_DISPLAY_EMPTY;
  MyString strPath;
};

struct tagFIRSTDISPLAYINPUT {
  tagCOMMANDLINE commandLine;
  uint32_t dwStartupChoice = 3;
  MyString strDefaultImage;
  MyString strLastLoadedImage;
  bool bStartFullScreen = false;
  // Whether a stored image path still exists (default: a file on disk).
  std::function<bool(const MyString&)> fileExists;
};

tagFIRSTDISPLAY ChooseFirstDisplay(const tagFIRSTDISPLAYINPUT& input);
