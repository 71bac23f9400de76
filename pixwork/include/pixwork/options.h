#pragma once
// The option records shared by the program and Pixwork's dialogs. The
// program loads them from the settings at start-up and saves them at exit;
// the dialogs edit the same memory. Each record carries its registry value
// name and the control id of the check box, radio button or slider that
// edits it, so a whole array is loaded, saved or shown by one loop.
//
// The layouts are fixed (other modules and plug-ins index the arrays by
// position); the static_asserts below guard them. GUI thread only.

#include <cstddef>
#include <cstdint>

// --- Record layouts ---

// A flag with an optional second small value (view and performance options).
struct VIEWOPTIONS {
  char16_t szName[100];  // registry value name and settings-export key
  uint32_t nID;          // the control that edits it
  uint8_t bFlag;         // 0 or 1
  uint8_t bExtra;        // a second value: the DynamicHelp delay, the DefaultExt index
};

struct THUMBOPTIONS {
  char16_t szName[100];
  uint32_t nID;
  uint32_t dwValue;
};

// A save setting. For a radio group the value is the control id of the
// chosen button, one of nFirstID..nLastID.
struct SAVEOPTIONS {
  char16_t szName[100];
  int32_t nValue;
  char16_t szText[50];
  uint32_t nFirstID;
  uint32_t nLastID;
};

struct tagBOOL_OPTIONS {
  uint32_t nID;
  uint8_t bFlag;
  uint8_t bSpare;
  char16_t szName[100];
};

// One file type of the "File Association" page.
struct FILEASSOCIATIONS {
  const char16_t* pszExtension;    // ".bmp"
  uint32_t nID;                    // its check box
  uint8_t bAssociated;             // the check box's state
  uint8_t bAssociatedWhenOpened;   // the state when the page opened
  const char16_t* pszProgID;       // "Lorimo_BMP"
  const char16_t* pszBackupValue;  // "LorimoUndo": where the previous default is kept
};

static_assert(offsetof(VIEWOPTIONS, nID) == 200 && offsetof(VIEWOPTIONS, bFlag) == 204 &&
              offsetof(VIEWOPTIONS, bExtra) == 205 && sizeof(VIEWOPTIONS) == 208);
static_assert(offsetof(THUMBOPTIONS, nID) == 200 && offsetof(THUMBOPTIONS, dwValue) == 204 &&
              sizeof(THUMBOPTIONS) == 208);
static_assert(offsetof(SAVEOPTIONS, nValue) == 200 && offsetof(SAVEOPTIONS, szText) == 204 &&
              offsetof(SAVEOPTIONS, nFirstID) == 304 && offsetof(SAVEOPTIONS, nLastID) == 308 &&
              sizeof(SAVEOPTIONS) == 312);
static_assert(offsetof(tagBOOL_OPTIONS, bFlag) == 4 && offsetof(tagBOOL_OPTIONS, bSpare) == 5 &&
              offsetof(tagBOOL_OPTIONS, szName) == 6 && sizeof(tagBOOL_OPTIONS) == 208);

// --- Positions in the arrays ---

enum VIEWOPTIONINDEX : int {
  VO_AI,
  VO_AW,
  VO_ENLARGE_AI,
  VO_SHRINK_AI,
  VO_ENLARGE_AW,
  VO_SHRINK_AW,
  VO_START_FS,
  VO_ENLARGE_FS,
  VO_SHRINK_FS,
  VO_CENTER_TO_SCREEN,
  VO_ROLL_OVER,
  VO_ONE_INSTANCE,
  VO_SHOW_RGB,
  VO_APPLY_FS,
  VO_DIALOG_ERRORS,
  VO_SHOW_CRS_FS,
  VO_RESTORE_FS,
  VO_DYNAMIC_HELP,     // bExtra: index 0..8 of the delay, "2" to "10" seconds
  VO_UPRIGHT,          // photos turned by their EXIF orientation
  VO_COLOUR_PROFILES,  // embedded colour profiles converted for the screen
  VO_COUNT
};

enum PERFORMANCEOPTIONINDEX : int {
  VSO_SKIP_ON_FAST_VIEW,
  VSO_SAMPLE_VLI,
  VSO_OPEN_FILE_OUT_EXT,  // bExtra: the format index of "DefaultExt"
  VSO_LINEAR_SCALE,
  VSO_COUNT
};

enum THUMBOPTIONINDEX : int {
  TO_CACHE_DIRECTORY,
  TO_CACHE_SIZE,
  TO_THUMB_QUALITY,
  TO_TOOLTIP_DELAY,
  TO_COUNT
};

enum SAVEOPTIONINDEX : int {
  SO_JPG_QUALITY,
  SO_JPG_LOSSLESS,
  SO_JPG_TRIM,
  SO_PNG_QUALITY,
  SO_PNG_INTERLACED,
  SO_SAVE_AFTER_ROTATE,
  SO_SAVE_APPEND,  // szText: the suffix appended to the name
  SO_KEEP_DATE_TIME,
  SO_JPG_PROGRESSIVE,
  SO_PNG_FILTER,
  SO_COUNT
};

enum BOOLOPTIONINDEX : int { BO_FIT_SEL, BO_CROP_SEL, BO_SEL_ZS, BO_ON_TOP, BO_COUNT };

enum FAVORITESOPTIONINDEX : int {
  VFAV_AUTO_UPDATE,
  VFAV_LOAD_ALL_PICTURES,
  VFAV_SHOW_POPUP,
  VFAV_COUNT
};

constexpr int FA_COUNT = 14;
constexpr int kExtEditLength = 260;
// Delay choices of "Enable dynamic help": index 0..8 is "2" to "10" seconds.
constexpr int kDynamicHelpDelayCount = 9;
// The DefaultExt index meaning "no format chosen".
constexpr uint8_t kNoDefaultExtension = 255;

// --- Control ids ---

enum : uint32_t {
  // "View Options"
  IDC_VO_AI = 1001,
  IDC_VO_AW = 1002,
  IDC_VO_ENLARGE_AI = 1003,
  IDC_VO_SHRINK_AI = 1004,
  IDC_VO_ENLARGE_AW = 1005,
  IDC_VO_SHRINK_AW = 1006,
  IDC_VO_START_FS = 1007,
  IDC_VO_ENLARGE_FS = 1008,
  IDC_VO_SHRINK_FS = 1009,
  IDC_VO_CENTER_TO_SCREEN = 1010,
  IDC_VO_ROLL_OVER = 1011,
  IDC_VO_ONE_INSTANCE = 1012,
  IDC_VO_SHOW_RGB = 1013,
  IDC_VO_APPLY_FS = 1014,
  IDC_VO_DIALOG_ERRORS = 1015,
  IDC_VO_SHOW_CRS_FS = 1016,
  IDC_VO_RESTORE_FS = 1017,
  IDC_VO_DYNAMIC_HELP = 1018,
  IDC_VO_DYNAMIC_HELP_DELAY = 1019,  // the delay combo box
  IDC_VO_UPRIGHT = 1025,
  IDC_VO_COLOUR_PROFILES = 1026,
  // "Performance Options"
  IDC_VSO_SKIP_ON_FAST_VIEW = 1020,
  IDC_VSO_SAMPLE_VLI = 1021,
  IDC_VSO_OPEN_FILE_OUT_EXT = 1022,
  IDC_VSO_LINEAR_SCALE = 1023,
  IDC_VSO_DEFAULT_EXT = 1024,  // the format combo box
  // "Thumbnail options"
  IDC_TO_CACHE_DIRECTORY = 1113,
  IDC_TO_CACHE_SIZE = 1328,
  IDC_TO_THUMB_QUALITY = 1115,
  IDC_TO_TOOLTIP_DELAY = 1114,
  // "Paste" dialog buttons; the toolbox states use their command ids
  IDC_BO_FIT_SEL = 1040,
  IDC_BO_CROP_SEL = 1041,
  IDC_BO_SEL_ZS = 3042,  // "Lock Zoom and Scroll"
  IDC_BO_ON_TOP = 3051,  // "Always on top"
  // "Favorites Options"
  IDC_VFAV_AUTO_UPDATE = 1050,
  IDC_VFAV_LOAD_ALL_PICTURES = 1051,
  IDC_VFAV_SHOW_POPUP = 1052,
  // Save options: first and last control of each setting
  IDC_SO_JPG_QUALITY_SLIDER = 1080,
  IDC_SO_JPG_QUALITY_EDIT = 1081,
  IDC_SO_JPG_LOSSLESS = 1082,
  IDC_SO_JPG_LOSSY = 1083,
  IDC_SO_JPG_TRIM = 1084,
  IDC_SO_PNG_QUALITY_SLIDER = 1085,
  IDC_SO_PNG_QUALITY_EDIT = 1086,
  IDC_SO_SAVE_APPEND_EDIT = 1087,
  IDC_SO_KEEP_DATE_TIME = 1088,
  IDC_SO_JPG_PROGRESSIVE = 1089,
  IDC_SO_SAVE_ORIGINAL_NAME = 1061,
  IDC_SO_SAVE_APPEND_SUFFIX = 1062,
  IDC_SO_SAVE_ASK_NAME = 1063,
  IDC_SO_SAVE_NOTHING = 1064,
  IDC_SO_PNG_FILTER_NONE = 1099,
  IDC_SO_PNG_FILTER_SUB = 1100,
  IDC_SO_PNG_FILTER_UP = 1101,
  IDC_SO_PNG_FILTER_AVERAGE = 1102,
  IDC_SO_PNG_FILTER_PAETH = 1104,
  IDC_SO_PNG_FILTER_ADAPTIVE = 1105,
  IDC_SO_PNG_INTERLACE_NONE = 1171,
  IDC_SO_PNG_INTERLACE_ADAM7 = 1172,
  // "File Association": one check box per type, in table order
  IDC_FA_FIRST = 1140,
  IDC_FA_LAST = IDC_FA_FIRST + FA_COUNT - 1,
};

// --- The records ---

extern VIEWOPTIONS gVO[VO_COUNT];
extern VIEWOPTIONS gVSO[VSO_COUNT];
extern THUMBOPTIONS gTO[TO_COUNT];
extern SAVEOPTIONS gSO[SO_COUNT];
extern tagBOOL_OPTIONS gBO[BO_COUNT];
extern tagBOOL_OPTIONS gVFAV[VFAV_COUNT];
// The external editor program; empty when none is set.
extern char16_t gszExtEdit[kExtEditLength];
extern FILEASSOCIATIONS gFA[FA_COUNT];

// Puts every record above back to its default (tests, and a settings store
// that is being started over). The sort settings are not touched.
void ResetOptionRecords();

// Copies text into a fixed record field, NUL-terminated. 0 (and the field
// left unchanged) when it does not fit, so a stored value is never cut short.
int SetRecordText(char16_t* field, size_t capacity, const char16_t* text, size_t length);

template <size_t N>
int SetRecordText(char16_t (&field)[N], const char16_t* text, size_t length) {
  return SetRecordText(field, N, text, length);
}

// The length of a record's text field, up to its capacity.
size_t RecordTextLength(const char16_t* field, size_t capacity);

template <size_t N>
size_t RecordTextLength(const char16_t (&field)[N]) {
  return RecordTextLength(field, N);
}
