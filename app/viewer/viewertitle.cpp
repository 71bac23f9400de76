#include "viewer/viewertitle.h"

MyString BuildViewerTitle(bool bHasImage, bool bShowInfo, const MyString& strFileName,
                          const MyString& strPortfolioPath) {
  MyString title(u"ZOKA Lorimo");
  if (!bHasImage || !bShowInfo || strFileName.IsEmpty()) return title;
  title += u" - ";
  if (!strPortfolioPath.IsEmpty()) {
    // A portfolio kept as a folder-like path ends in a separator.
    MyString path = strPortfolioPath;
    if (path[path.GetLength() - 1] == u'/') path.tShaveLastChar();
    title += u"[" + path.GetStringTitleExt() + u"] ";
  }
  title += strFileName;
  return title;
}
