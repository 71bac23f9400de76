#include "shell/commandtable.h"

#include <cstring>
#include <unordered_map>

#include "shell/commandids.h"
#include "shell/toolviewmenu.h"

namespace {

constexpr unsigned CK = CF_CHECKABLE;
constexpr unsigned SEP = CF_SEPARATOR_BEFORE;

std::vector<tagCOMMANDENTRY> BuildEntries() {
  std::vector<tagCOMMANDENTRY> entries = {
      // File
      {IDM_OPEN, u"&Open ...", MM_FILE, nullptr, CO_FRAME, 0, u"Ctrl+O"},
      {IDM_SAVE_AS, u"Save &As ...", MM_FILE, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_SAVE_OPTIONS, u"Save Options ...", MM_FILE, nullptr, CO_SAVE_OPTIONS, 0, nullptr},
      {IDM_TWAIN_SELECT_SOURCE, u"Select Source", MM_FILE, u"TWAIN", CO_SCANNER, SEP, nullptr},
      {IDM_TWAIN_ACQUIRE, u"Acquire", MM_FILE, u"TWAIN", CO_SCANNER, 0, nullptr},
      {IDM_WIA_ACQUIRE, u"Acquire", MM_FILE, u"WIA", CO_CAMERA, 0, nullptr},
      {IDM_DELETE_IMAGE, u"Delete Image ...", MM_FILE, nullptr, CO_BROWSE, SEP, nullptr},
      {IDM_RENAME_IMAGE, u"Rename Image ...", MM_FILE, nullptr, CO_BROWSE, 0, nullptr},
      {IDM_BATCH, u"&Batch Processing ...", MM_FILE, nullptr, CO_BATCH, 0, nullptr},
      {IDM_PRINT, u"&Print ...", MM_FILE, nullptr, CO_VIEWER, SEP, u"Ctrl+P"},
      {IDM_EMAIL, u"Email", MM_FILE, nullptr, CO_EMAIL, 0, nullptr},
      {IDM_DESKTOP_WALLPAPER, u"As wallpaper", MM_FILE, u"Set as Desktop", CO_VIEWER, 0, nullptr},
      {IDM_DESKTOP_COPY, u"As a copy", MM_FILE, u"Set as Desktop", CO_VIEWER, 0, nullptr},
      {IDM_RECENT_FILE_1, u"Recent File 1", MM_FILE, u"Recent Files", CO_FRAME, SEP, nullptr},
      {IDM_RECENT_FILE_1 + 1, u"Recent File 2", MM_FILE, u"Recent Files", CO_FRAME, 0, nullptr},
      {IDM_RECENT_FILE_1 + 2, u"Recent File 3", MM_FILE, u"Recent Files", CO_FRAME, 0, nullptr},
      {IDM_RECENT_FILE_1 + 3, u"Recent File 4", MM_FILE, u"Recent Files", CO_FRAME, 0, nullptr},
      {IDM_RECENT_DIRECTORY_1, u"Recent Directory 1", MM_FILE, u"Recent Directories", CO_FRAME, 0,
       nullptr},
      {IDM_RECENT_DIRECTORY_1 + 1, u"Recent Directory 2", MM_FILE, u"Recent Directories", CO_FRAME,
       0, nullptr},
      {IDM_RECENT_DIRECTORY_1 + 2, u"Recent Directory 3", MM_FILE, u"Recent Directories", CO_FRAME,
       0, nullptr},
      {IDM_RECENT_DIRECTORY_1 + 3, u"Recent Directory 4", MM_FILE, u"Recent Directories", CO_FRAME,
       0, nullptr},
      {IDM_RECENT_PORTFOLIO_1, u"Recent Portofolio 1", MM_FILE, u"Recent Portofolios", CO_FRAME, 0,
       nullptr},
      {IDM_RECENT_PORTFOLIO_2, u"Recent Portofolio 2", MM_FILE, u"Recent Portofolios", CO_FRAME, 0,
       nullptr},
      {IDM_RECENT_PORTFOLIO_3, u"Recent Portofolio 3", MM_FILE, u"Recent Portofolios", CO_FRAME, 0,
       nullptr},
      {IDM_RECENT_PORTFOLIO_4, u"Recent Portofolio 4", MM_FILE, u"Recent Portofolios", CO_FRAME, 0,
       nullptr},
      {IDM_SCREEN_CAPTURE, u"Screen Capture ...", MM_FILE, nullptr, CO_FRAME, SEP, nullptr},
      {IDM_CLOSE, u"Close", MM_FILE, nullptr, CO_FRAME, SEP, nullptr},

      // Edit
      {IDM_UNDO, u"&Undo\tCtrl+Z", MM_EDIT, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_REDO, u"&Redo", MM_EDIT, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_CUT, u"Cu&t\tCtrl+X", MM_EDIT, nullptr, CO_VIEWER, SEP, nullptr},
      {IDM_COPY, u"&Copy\tCtrl+C", MM_EDIT, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_PASTE, u"&Paste\tCtrl+V", MM_EDIT, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_CROP, u"Crop", MM_EDIT, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_RESIZE_IMAGE, u"Resize Image", MM_EDIT, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_ROTATE_CLOCKWISE, u"  90 Clockwise", MM_EDIT, u"Rotate", CO_VIEWER, SEP, nullptr},
      {IDM_ROTATE_COUNTER_CLOCKWISE, u"  90 Counter Clockwise", MM_EDIT, u"Rotate", CO_VIEWER, 0,
       nullptr},
      {IDM_ROTATE_180, u"180 Degrees", MM_EDIT, u"Rotate", CO_VIEWER, 0, nullptr},
      {IDM_ARBITRARY_ROTATION, u"Arbitrary Rotation", MM_EDIT, u"Rotate", CO_VIEWER, CK, nullptr},
      {IDM_FLIP_LEFT_RIGHT, u"Left-Right Flip", MM_EDIT, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_FLIP_UP_DOWN, u"Up-Down Flip", MM_EDIT, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_EXTERNAL_EDITOR, u"External Editor", MM_EDIT, nullptr, CO_VIEWER, SEP, nullptr},
      {IDM_EDIT_OPTIONS, u"Edit Options ...", MM_EDIT, nullptr, CO_VIEWER, 0, nullptr},

      // View
      {IDM_NEXT_IMAGE, u"Next Image", MM_VIEW, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_PREVIOUS_IMAGE, u"Previous Image", MM_VIEW, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_FIRST_IMAGE, u"First Image", MM_VIEW, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_LAST_IMAGE, u"Last Image", MM_VIEW, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_ZOOM_IN, u"Zoom In", MM_VIEW, nullptr, CO_VIEWER, SEP, nullptr},
      {IDM_ZOOM_OUT, u"Zoom Out", MM_VIEW, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_ACTUAL_SIZE, u"Actual Size", MM_VIEW, nullptr, CO_VIEWER, CK, nullptr},
      {IDM_BEST_FIT, u"Best Fit", MM_VIEW, nullptr, CO_VIEWER, CK, nullptr},
      {IDM_LOCK_ZOOM_SCROLL, u"Lock Zoom and Scroll", MM_VIEW, nullptr, CO_VIEWER, CK, nullptr},
      {IDM_SORT_NAME, u"Name", MM_VIEW, u"Sort by", CO_SORT, CK | SEP, nullptr},
      {IDM_SORT_EXTENSION, u"Extension", MM_VIEW, u"Sort by", CO_SORT, CK, nullptr},
      {IDM_SORT_SIZE, u"Size", MM_VIEW, u"Sort by", CO_SORT, CK, nullptr},
      {IDM_SORT_DATE, u"Date", MM_VIEW, u"Sort by", CO_SORT, CK, nullptr},
      {IDM_SORT_EXIF_DATE, u"EXIF Date", MM_VIEW, u"Sort by", CO_SORT, CK, nullptr},
      {IDM_SORT_ASCENDING, u"Ascending", MM_VIEW, u"Sort by", CO_SORT, CK | SEP, nullptr},
      {IDM_SORT_DESCENDING, u"Descending", MM_VIEW, u"Sort by", CO_SORT, CK, nullptr},
      {IDM_AUTOPLAY, u"Autoplay", MM_VIEW, nullptr, CO_VIEWER, CK | SEP, nullptr},
      {IDM_MAXIMIZE_VIEW, u"Maximize View", MM_VIEW, nullptr, CO_VIEWER, CK, nullptr},
      {IDM_FULL_SCREEN, u"Full Screen", MM_VIEW, nullptr, CO_VIEWER, CK, nullptr},
      {IDM_ALWAYS_ON_TOP, u"Always on top", MM_VIEW, nullptr, CO_VIEWER, CK, nullptr},
      {IDM_RESCAN, u"Rescan Files and Thumbnails", MM_VIEW, nullptr, CO_BROWSE, SEP, nullptr},
      {IDM_VIEW_OPTIONS, u"View Options ...", MM_VIEW, nullptr, CO_FRAME, SEP, nullptr},

      // The favorites pane's commands; the F&avorites menu is built by the
      // favorites (fixed entries, then the favorites from IDM_FIRST_FAVORITES_ENTRY).
      {IDM_ADD_FAVORITE_DIRECTORY, u"Add Directory", MM_VIEW, u"Favorites", CO_FAVORITES, SEP,
       nullptr},
      {IDM_ADD_FAVORITE_PORTFOLIO, u"Add Portfolio", MM_VIEW, u"Favorites", CO_FAVORITES, 0,
       nullptr},
      {IDM_EDIT_FAVORITE_PORTFOLIO, u"Edit Portfolio", MM_VIEW, u"Favorites", CO_FAVORITES, 0,
       nullptr},
      {IDM_REMOVE_FAVORITE, u"Remove", MM_VIEW, u"Favorites", CO_FAVORITES, 0, nullptr},
      {IDM_RENAME_FAVORITE, u"Rename", MM_VIEW, u"Favorites", CO_FAVORITES, 0, nullptr},
      {IDM_BROWSE_FAVORITE, u"Browse with Explorer", MM_VIEW, u"Favorites", CO_FAVORITES, 0,
       nullptr},
      {IDM_FAVORITES_MANAGER, u"Manager", MM_VIEW, u"Favorites", CO_FAVORITES, SEP, nullptr},
      {IDM_SELECT_ALL_SUBFOLDERS, u"Select all subfolders", MM_VIEW, u"Favorites", CO_FAVORITES, 0,
       nullptr},
      {IDM_UPDATE_FAVORITES, u"Update", MM_VIEW, u"Favorites", CO_FAVORITES, 0, nullptr},

      // Tools
      {IDM_PORTFOLIO_MANAGER, u"Portfolio Manager ...", MM_TOOLS, nullptr, CO_PORTFOLIOS, 0,
       nullptr},
      {IDM_PROCESS, u"Process", MM_TOOLS, nullptr, CO_TOOL_VIEWS, CK, nullptr},
      {IDM_ARBITRARY_ROTATE, u"Arbitrary Rotate", MM_TOOLS, nullptr, CO_VIEWER, 0, nullptr},
      {IDM_TOOL_NAVIGATE, u"Navigate", MM_TOOLS, nullptr, CO_MOUSE_TOOLS, CK | SEP, nullptr},
      {IDM_TOOL_SELECT, u"Select", MM_TOOLS, nullptr, CO_MOUSE_TOOLS, CK, nullptr},
      {IDM_TOOL_HAND, u"Hand", MM_TOOLS, nullptr, CO_MOUSE_TOOLS, CK, nullptr},
      {IDM_TOOL_MEASURE, u"Measure", MM_TOOLS, nullptr, CO_MOUSE_TOOLS, CK, nullptr},
      {IDM_TOOL_ANCHOR, u"Anchor", MM_TOOLS, nullptr, CO_MOUSE_TOOLS, CK, nullptr},
      {IDM_TOOL_ZOOM, u"Zoom", MM_TOOLS, nullptr, CO_MOUSE_TOOLS, CK, nullptr},
      {IDM_TOOL_CUSTOM, u"Custom", MM_TOOLS, nullptr, CO_MOUSE_TOOLS, CK, nullptr},
      {IDM_TOOL_EMAIL, u"Email", MM_TOOLS, nullptr, CO_EMAIL, CK, nullptr},
      {IDM_KEYBOARD_MAPPINGS, u"Keyboard and Mouse Mappings ...", MM_TOOLS, nullptr,
       CO_INPUT_MAPPING, SEP, nullptr},

      // Help
      {IDM_HELP, u"Lorimo Help", MM_HELP, nullptr, CO_FRAME, 0, u"F1"},
      {IDM_HELP_ON_THE_WEB, u"Lorimo Help On The Web", MM_HELP, nullptr, CO_FRAME, 0, nullptr},
      {IDM_CHECK_VERSION, u"Check for new versions", MM_HELP, nullptr, CO_FRAME, SEP, nullptr},
      {IDM_ABOUT, u"About", MM_HELP, nullptr, CO_FRAME, SEP, nullptr},
  };

  // The tool views, in the order of their stored flags.
  const auto& views = CToolViewMenu::Entries();
  for (int i = 1; i < CToolViewMenu::kEntryCount; ++i)
    entries.push_back({int(views[size_t(i)].nCommand), views[size_t(i)].pszMenuText, MM_WINDOWS,
                       nullptr, CO_TOOL_VIEWS, CK, nullptr});

  // Commands that only keys send.
  const int keyOnly[][2] = {
      {IDM_PRINT_KEY, CO_VIEWER},           {IDM_KEY_NAVIGATION, CO_TOOL_VIEWS},
      {IDM_KEY_THUMBNAILS, CO_TOOL_VIEWS},  {IDM_KEY_TOOLBOX, CO_TOOL_VIEWS},
      {IDM_KEY_FAVORITES, CO_TOOL_VIEWS},   {IDM_KEY_EXIF, CO_TOOL_VIEWS},
      {IDM_KEY_CHANNELS, CO_TOOL_VIEWS},    {IDM_KEY_PROCESS, CO_TOOL_VIEWS},
      {IDM_KEY_DIRECTORIES, CO_TOOL_VIEWS}, {IDM_KEY_IPTC, CO_TOOL_VIEWS},
      {IDM_KEY_FILES, CO_TOOL_VIEWS},       {IDM_KEY_NAVIGATOR, CO_TOOL_VIEWS},
      {IDM_KEY_HISTOGRAM, CO_TOOL_VIEWS},   {IDM_KEY_CTRL_Z, CO_INPUT_KEYS},
      {IDM_KEY_CTRL_C, CO_INPUT_KEYS},      {IDM_KEY_CTRL_X, CO_INPUT_KEYS},
      {IDM_KEY_CTRL_V, CO_INPUT_KEYS},      {IDM_KEY_CTRL_Y, CO_INPUT_KEYS},
      {IDM_KEY_ALT_LEFT, CO_INPUT_KEYS},    {IDM_KEY_ALT_RIGHT, CO_INPUT_KEYS},
      {IDM_KEY_CTRL_M, CO_INPUT_KEYS},      {IDM_KEY_CTRL_A, CO_INPUT_KEYS},
      {IDM_KEY_CTRL_B, CO_INPUT_KEYS},      {IDM_KEY_CTRL_L, CO_INPUT_KEYS},
      {IDM_KEY_CTRL_S, CO_INPUT_KEYS},
  };
  for (const auto& key : keyOnly)
    entries.push_back({key[0], nullptr, MM_NONE, nullptr, COMMANDOWNER(key[1]), 0, nullptr});
  return entries;
}

}  // namespace

const std::vector<tagCOMMANDENTRY>& CCommandTable::Entries() {
  static const std::vector<tagCOMMANDENTRY> entries = BuildEntries();
  return entries;
}

const std::vector<tagACCELERATOR>& CCommandTable::Accelerators() {
  static const std::vector<tagACCELERATOR> accelerators = {
      {"Ctrl+O", IDM_OPEN},
      {"Ctrl+P", IDM_PRINT_KEY},
      {"F1", IDM_HELP},
      {"Ctrl+F1", IDM_KEY_NAVIGATION},
      {"Ctrl+F2", IDM_KEY_THUMBNAILS},
      {"Ctrl+F3", IDM_KEY_TOOLBOX},
      {"Ctrl+F4", IDM_KEY_FAVORITES},
      {"Ctrl+F5", IDM_KEY_EXIF},
      {"Ctrl+F6", IDM_KEY_CHANNELS},
      {"Ctrl+F7", IDM_KEY_PROCESS},
      {"Ctrl+F8", IDM_KEY_DIRECTORIES},
      {"Ctrl+F9", IDM_KEY_IPTC},
      {"Ctrl+F10", IDM_KEY_FILES},
      {"Ctrl+F11", IDM_KEY_NAVIGATOR},
      {"Ctrl+F12", IDM_KEY_HISTOGRAM},
      {"Alt+Left", IDM_KEY_ALT_LEFT},
      {"Alt+Right", IDM_KEY_ALT_RIGHT},
      {"Ctrl+M", IDM_KEY_CTRL_M},
      {"Ctrl+A", IDM_KEY_CTRL_A},
      {"Ctrl+B", IDM_KEY_CTRL_B},
      {"Ctrl+L", IDM_KEY_CTRL_L},
      {"Ctrl+S", IDM_KEY_CTRL_S},
      {"Ctrl+Z", IDM_KEY_CTRL_Z},
      {"Ctrl+C", IDM_KEY_CTRL_C},
      {"Ctrl+X", IDM_KEY_CTRL_X},
      {"Ctrl+V", IDM_KEY_CTRL_V},
      {"Ctrl+Y", IDM_KEY_CTRL_Y},
  };
  return accelerators;
}

const char16_t* CCommandTable::MenuTitle(MAINMENU menu) {
  switch (menu) {
    case MM_FILE:
      return u"&File";
    case MM_EDIT:
      return u"&Edit";
    case MM_VIEW:
      return u"&View";
    case MM_FAVORITES:
      return u"F&avorites";
    case MM_TOOLS:
      return u"&Tools";
    case MM_WINDOWS:
      return u"&Windows";
    case MM_HELP:
      return u"&Help";
    default:
      return u"";
  }
}

const tagCOMMANDENTRY* CCommandTable::Find(int id) {
  static const std::unordered_map<int, const tagCOMMANDENTRY*> index = [] {
    std::unordered_map<int, const tagCOMMANDENTRY*> map;
    for (const tagCOMMANDENTRY& entry : Entries()) map.emplace(entry.nId, &entry);
    return map;
  }();
  const auto found = index.find(id);
  return found == index.end() ? nullptr : found->second;
}

int CCommandTable::AcceleratorCommand(const char* key) {
  for (const tagACCELERATOR& accelerator : Accelerators())
    if (std::strcmp(accelerator.pszKey, key) == 0) return accelerator.nId;
  return 0;
}
