#pragma once
// The command table of the main menu "LORIMO": every command id with its
// menu text, where the menu shows it, and who carries it out; and the
// accelerator table "LORIMO" (keys and the ids they send). The menu bar, the
// accelerators and the routing are all built from these two tables.

#include <vector>

// Who carries out a command. The main window's own owners always answer;
// the others are entry points of other parts of the program, and a command
// whose part is not in the program goes on to the viewer and then to the
// plug-ins like an unknown id.
enum COMMANDOWNER : int {
  CO_NONE = -1,      // nobody took the command
  CO_FRAME,          // the main window: open, close, help, about, options, recent lists
  CO_TOOL_VIEWS,     // showing and hiding the tool views
  CO_MOUSE_TOOLS,    // what the left button does over the viewer
  CO_SORT,           // the sort settings; the viewer then sorts again
  CO_INPUT_KEYS,     // keys that run the action the input mapping gives them
  CO_VIEWER,         // the document commands of the viewer
  CO_FAVORITES,      // the favorites pane
  CO_BROWSE,         // the thumbnails and files views
  CO_BATCH,          // batch rename and convert
  CO_PORTFOLIOS,     // the portfolio manager
  CO_EMAIL,          // e-mailing pictures
  CO_SCANNER,        // scanners (SANE)
  CO_CAMERA,         // cameras and memory cards
  CO_SAVE_OPTIONS,   // the save options dialog
  CO_INPUT_MAPPING,  // the keyboard and mouse mappings dialog
  CO_PLUGINS,        // menu entries of plug-ins
  CO_COUNT
};

// The menus of the menu bar, in their order.
enum MAINMENU : int {
  MM_NONE = -1,  // no menu entry (a key only)
  MM_FILE,
  MM_EDIT,
  MM_VIEW,
  MM_FAVORITES,
  MM_TOOLS,
  MM_WINDOWS,
  MM_HELP,
  MM_COUNT
};

enum COMMANDFLAGS : unsigned {
  CF_CHECKABLE = 1,         // the entry shows a check mark
  CF_SEPARATOR_BEFORE = 2,  // a line above the entry (or above its submenu)
};

struct tagCOMMANDENTRY {
  int nId;
  const char16_t* pszText;  // menu text; null for a key-only command
  MAINMENU nMenu;
  const char16_t* pszSubmenu;  // the submenu holding the entry, or null
  COMMANDOWNER nOwner;
  unsigned nFlags;
  const char16_t* pszKeyHint;  // the key shown beside the text, when the text has none
};

struct tagACCELERATOR {
  const char* pszKey;  // in QKeySequence's portable form: "Ctrl+O", "Alt+Left"
  int nId;
};

class CCommandTable {
 public:
  // In menu order within each menu.
  static const std::vector<tagCOMMANDENTRY>& Entries();
  static const std::vector<tagACCELERATOR>& Accelerators();
  static const char16_t* MenuTitle(MAINMENU menu);

  // The entry of an id, or null (favorites entries and plug-in ids have none).
  static const tagCOMMANDENTRY* Find(int id);
  // The id an accelerator key sends, or 0.
  static int AcceleratorCommand(const char* key);
};
