#include "viewer/edit/editoptions.h"

#include "pixwork/options.h"

tagEDITOPTIONS tagEDITOPTIONS::FromRecords() {
  tagEDITOPTIONS options;
  const int saveAfter = gSO[SO_SAVE_AFTER_ROTATE].nValue;
  options.nSaveAfter =
      saveAfter >= int(IDC_SO_SAVE_ORIGINAL_NAME) && saveAfter <= int(IDC_SO_SAVE_NOTHING)
          ? saveAfter
          : -1;
  options.strSuffix =
      MyString(gSO[SO_SAVE_APPEND].szText, RecordTextLength(gSO[SO_SAVE_APPEND].szText));
  options.bKeepDateTime = gSO[SO_KEEP_DATE_TIME].nValue != 0;
  options.bLossless = gSO[SO_JPG_LOSSLESS].nValue == 1;
  options.bTrim = gSO[SO_JPG_TRIM].nValue != 0;
  options.bFitSelection = gBO[BO_FIT_SEL].bFlag != 0 || gBO[BO_CROP_SEL].bFlag == 0;
  options.strEditor = MyString(gszExtEdit, RecordTextLength(gszExtEdit));
  return options;
}

int tagEDITOPTIONS::Store(MyString* error) const {
  auto fail = [error](const char16_t* why) {
    if (error) *error = why;
    return 0;
  };
  const bool chosen =
      nSaveAfter >= int(IDC_SO_SAVE_ORIGINAL_NAME) && nSaveAfter <= int(IDC_SO_SAVE_NOTHING);
  if (!chosen && nSaveAfter != -1)
    return fail(u"Please choose what is done with a rotated or flipped image.");
  if (strSuffix.GetLength() > size_t(kMaxSuffixLength))
    return fail(u"The text added to the file name can be at most 24 characters long.");
  if (strSuffix.Find(u'/') != MyString::npos || strSuffix.Find(u'\0') != MyString::npos)
    return fail(u"The text added to the file name cannot contain \"/\".");
  if (strEditor.GetLength() >= size_t(kExtEditLength))
    return fail(u"The path of the external editor is too long.");

  gSO[SO_SAVE_AFTER_ROTATE].nValue = nSaveAfter;
  SetRecordText(gSO[SO_SAVE_APPEND].szText, strSuffix.c_str(), strSuffix.GetLength());
  gSO[SO_KEEP_DATE_TIME].nValue = bKeepDateTime ? 1 : 0;
  gSO[SO_JPG_LOSSLESS].nValue = bLossless ? 1 : 0;
  gSO[SO_JPG_TRIM].nValue = bTrim ? 1 : 0;
  gBO[BO_FIT_SEL].bFlag = bFitSelection ? 1 : 0;
  gBO[BO_CROP_SEL].bFlag = bFitSelection ? 0 : 1;
  SetRecordText(gszExtEdit, strEditor.c_str(), strEditor.GetLength());
  return 1;
}
