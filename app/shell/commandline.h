#pragma once
// The program's command line: only the first argument counts. It is a
// portfolio (".lrm" in any letter case, one trailing separator dropped), the
// switch "/WIAAuto" (exact; given when a camera or card was connected), or
// the path of an image.

#include "corekit/mystring.h"

enum COMMANDLINEKIND {
  COMMANDLINE_NONE,
  COMMANDLINE_IMAGE,
  COMMANDLINE_PORTFOLIO,
  COMMANDLINE_WIA
};

inline constexpr char16_t kWiaAutoSwitch[] = u"/WIAAuto";

struct tagCOMMANDLINE {
  COMMANDLINEKIND nKind = COMMANDLINE_NONE;
  MyString strArgument;  // as given
  MyString strPath;      // the image or portfolio to open
};

tagCOMMANDLINE ParseCommandLine(const MyStringList& arguments);
// Whether a path names a portfolio file.
bool IsPortfolioPath(const MyString& path);
