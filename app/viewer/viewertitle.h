#pragma once
// The main window's title while the viewer shows an image.

#include "corekit/mystring.h"

// "ZOKA Lorimo", followed with bShowInfo ("Show information in window title
// bar") and a shown image by " - ", "[portfolio.lrm] " while a portfolio
// plays (strPortfolioPath empty otherwise), and the image's file name.
MyString BuildViewerTitle(bool bHasImage, bool bShowInfo, const MyString& strFileName,
                          const MyString& strPortfolioPath);
