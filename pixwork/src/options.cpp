#include "pixwork/options.h"

#include <algorithm>
#include <cstring>
#include <iterator>

// The defaults are written once and used both for the static initial values
// and for ResetOptionRecords.
// clang-format off
#define LORIMO_VIEW_OPTIONS {                               \
  {u"AI", IDC_VO_AI, 0, 0},                                 \
  {u"AW", IDC_VO_AW, 1, 0},                                 \
  {u"EnlargeAI", IDC_VO_ENLARGE_AI, 0, 0},                  \
  {u"ShrinkAI", IDC_VO_SHRINK_AI, 0, 0},                    \
  {u"EnalrgeAW", IDC_VO_ENLARGE_AW, 0, 0},                  \
  {u"ShrinkAW", IDC_VO_SHRINK_AW, 1, 0},                    \
  {u"StartFS", IDC_VO_START_FS, 0, 0},                      \
  {u"EnlargeFS", IDC_VO_ENLARGE_FS, 0, 0},                  \
  {u"ShrinkFS", IDC_VO_SHRINK_FS, 1, 0},                    \
  {u"CenterToScreen", IDC_VO_CENTER_TO_SCREEN, 0, 0},       \
  {u"RollOver", IDC_VO_ROLL_OVER, 1, 0},                    \
  {u"OneLorimoInstance", IDC_VO_ONE_INSTANCE, 1, 0},        \
  {u"ShowRGB", IDC_VO_SHOW_RGB, 1, 0},                      \
  {u"ApplyFS", IDC_VO_APPLY_FS, 1, 0},                      \
  {u"DialogErrors", IDC_VO_DIALOG_ERRORS, 1, 0},            \
  {u"ShowCrsFS", IDC_VO_SHOW_CRS_FS, 0, 0},                 \
  {u"RestoreFS", IDC_VO_RESTORE_FS, 1, 0},                  \
  {u"DynamicHelp", IDC_VO_DYNAMIC_HELP, 1, 0},              \
  {u"ShowUpright", IDC_VO_UPRIGHT, 1, 0},                   \
  {u"ColourProfiles", IDC_VO_COLOUR_PROFILES, 1, 0}}

#define LORIMO_PERFORMANCE_OPTIONS {                        \
  {u"SkipOnFastView", IDC_VSO_SKIP_ON_FAST_VIEW, 0, 0},     \
  {u"SampleVLI", IDC_VSO_SAMPLE_VLI, 0, 0},                 \
  {u"OpenFileOutExt", IDC_VSO_OPEN_FILE_OUT_EXT, 0, 0},     \
  {u"LinearScale", IDC_VSO_LINEAR_SCALE, 0, 0}}

#define LORIMO_THUMB_OPTIONS {                              \
  {u"CacheDirectory", IDC_TO_CACHE_DIRECTORY, 1},           \
  {u"CacheSize", IDC_TO_CACHE_SIZE, 300},                   \
  {u"ThumbQuality", IDC_TO_THUMB_QUALITY, 0},               \
  {u"Thumb TTDelay", IDC_TO_TOOLTIP_DELAY, 1}}

#define LORIMO_SAVE_OPTIONS {                                                                 \
  {u"JPG Quality", 75, u"", IDC_SO_JPG_QUALITY_SLIDER, IDC_SO_JPG_QUALITY_EDIT},              \
  {u"JPG Lossless Transforms", 1, u"", IDC_SO_JPG_LOSSLESS, IDC_SO_JPG_LOSSY},                \
  {u"JPG Trim on Lossless", 0, u"", IDC_SO_JPG_TRIM, IDC_SO_JPG_TRIM},                        \
  {u"PNG Quality", 3, u"", IDC_SO_PNG_QUALITY_SLIDER, IDC_SO_PNG_QUALITY_EDIT},               \
  {u"PNG Interlaced", IDC_SO_PNG_INTERLACE_NONE, u"",                                         \
   IDC_SO_PNG_INTERLACE_NONE, IDC_SO_PNG_INTERLACE_ADAM7},                                    \
  {u"Save After RorM", -1, u"", IDC_SO_SAVE_ORIGINAL_NAME, IDC_SO_SAVE_NOTHING},              \
  {u"Save ARM Append", 0, u"_modified_by_Lorimo", IDC_SO_SAVE_APPEND_EDIT,                    \
   IDC_SO_SAVE_APPEND_EDIT},                                                                  \
  {u"Keep Orig DateTime", 0, u"", IDC_SO_KEEP_DATE_TIME, IDC_SO_KEEP_DATE_TIME},              \
  {u"JPG Save Progressive", 0, u"", IDC_SO_JPG_PROGRESSIVE, IDC_SO_JPG_PROGRESSIVE},          \
  {u"PNG Filter", IDC_SO_PNG_FILTER_NONE, u"",                                                \
   IDC_SO_PNG_FILTER_NONE, IDC_SO_PNG_FILTER_ADAPTIVE}}

#define LORIMO_BOOL_OPTIONS {                               \
  {IDC_BO_FIT_SEL, 1, 0, u"Fit Sel"},                       \
  {IDC_BO_CROP_SEL, 0, 0, u"Crop Sel"},                     \
  {IDC_BO_SEL_ZS, 0, 0, u"Sel ZS"},                         \
  {IDC_BO_ON_TOP, 0, 0, u"On Top"}}

#define LORIMO_FAVORITES_OPTIONS {                          \
  {IDC_VFAV_AUTO_UPDATE, 0, 0, u"AutoUppdateFromHDD"},      \
  {IDC_VFAV_LOAD_ALL_PICTURES, 0, 0, u"LoadAllPictures"},   \
  {IDC_VFAV_SHOW_POPUP, 1, 0, u"ShowPopup"}}

#define LORIMO_FA(n, ext, name) {ext, IDC_FA_FIRST + n, 0, 0, u"Lorimo_" name, u"LorimoUndo"}
#define LORIMO_FILE_ASSOCIATIONS {                                                            \
  LORIMO_FA(0, u".bmp", u"BMP"),   LORIMO_FA(1, u".jpg", u"JPG"),                             \
  LORIMO_FA(2, u".jpeg", u"JPEG"), LORIMO_FA(3, u".png", u"PNG"),                             \
  LORIMO_FA(4, u".pgm", u"PGM"),   LORIMO_FA(5, u".pnm", u"PNM"),                             \
  LORIMO_FA(6, u".ppm", u"PPM"),   LORIMO_FA(7, u".tif", u"TIF"),                             \
  LORIMO_FA(8, u".jp2", u"JP2"),   LORIMO_FA(9, u".gif", u"GIF"),                             \
  LORIMO_FA(10, u".hdf", u"HDF"),  LORIMO_FA(11, u".dcm", u"DCM"),                            \
  LORIMO_FA(12, u".psd", u"PSD"),  LORIMO_FA(13, u".j2c", u"J2C")}
// clang-format on

VIEWOPTIONS gVO[VO_COUNT] = LORIMO_VIEW_OPTIONS;
VIEWOPTIONS gVSO[VSO_COUNT] = LORIMO_PERFORMANCE_OPTIONS;
THUMBOPTIONS gTO[TO_COUNT] = LORIMO_THUMB_OPTIONS;
SAVEOPTIONS gSO[SO_COUNT] = LORIMO_SAVE_OPTIONS;
tagBOOL_OPTIONS gBO[BO_COUNT] = LORIMO_BOOL_OPTIONS;
tagBOOL_OPTIONS gVFAV[VFAV_COUNT] = LORIMO_FAVORITES_OPTIONS;
char16_t gszExtEdit[kExtEditLength] = u"";
FILEASSOCIATIONS gFA[FA_COUNT] = LORIMO_FILE_ASSOCIATIONS;

namespace {

template <typename T, size_t N>
void CopyRecords(T (&target)[N], const T (&source)[N]) {
  std::copy(std::begin(source), std::end(source), std::begin(target));
}

}  // namespace

void ResetOptionRecords() {
  static const VIEWOPTIONS kVO[VO_COUNT] = LORIMO_VIEW_OPTIONS;
  static const VIEWOPTIONS kVSO[VSO_COUNT] = LORIMO_PERFORMANCE_OPTIONS;
  static const THUMBOPTIONS kTO[TO_COUNT] = LORIMO_THUMB_OPTIONS;
  static const SAVEOPTIONS kSO[SO_COUNT] = LORIMO_SAVE_OPTIONS;
  static const tagBOOL_OPTIONS kBO[BO_COUNT] = LORIMO_BOOL_OPTIONS;
  static const tagBOOL_OPTIONS kVFAV[VFAV_COUNT] = LORIMO_FAVORITES_OPTIONS;
  static const FILEASSOCIATIONS kFA[FA_COUNT] = LORIMO_FILE_ASSOCIATIONS;
  CopyRecords(gVO, kVO);
  CopyRecords(gVSO, kVSO);
  CopyRecords(gTO, kTO);
  CopyRecords(gSO, kSO);
  CopyRecords(gBO, kBO);
  CopyRecords(gVFAV, kVFAV);
  CopyRecords(gFA, kFA);
  std::fill(std::begin(gszExtEdit), std::end(gszExtEdit), u'\0');
}

int SetRecordText(char16_t* field, size_t capacity, const char16_t* text, size_t length) {
  if (!field || capacity == 0 || length >= capacity) return 0;
  if (length) std::memcpy(field, text, length * sizeof(char16_t));
  std::fill(field + length, field + capacity, u'\0');
  return 1;
}

size_t RecordTextLength(const char16_t* field, size_t capacity) {
  size_t n = 0;
  while (n < capacity && field[n]) ++n;
  return n;
}
