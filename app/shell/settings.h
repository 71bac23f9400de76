#pragma once
// The program's persisted settings, in memory from the load at start-up to
// the save at exit, and their registry layout below Software\ZOKA\Lorimo:
// the root values with the option records of Pixwork (options.h) and its
// sort settings (sortsettings.h), then the keys "RenConv", "Mapping", "Menu"
// and "MRU". The window placement ("WinPos") has its own class.
//
// Loading never fails: a value that is missing, of the wrong type or out of
// range keeps its default, the rest is taken as stored. GUI thread only.

#include <cstdint>

#include "corekit/mystring.h"
#include "shell/mappingvalues.h"
#include "shell/recentlists.h"
#include "shell/toolviewmenu.h"

class CRegistry;
class CRegistryStore;

// What the program shows when it starts without an argument.
enum STARTUPCHOICE : uint32_t {
  STARTUP_BLANK = 0,
  STARTUP_LAST_IMAGE = 1,
  STARTUP_DEFAULT_IMAGE = 2,
  STARTUP_SCREEN = 3,
};

// The batch rename counters.
struct tagRENCONV {
  int32_t iCutF = 0;
  int32_t iCutB = 0;
  int32_t iNUMStart = 0;  // -1: no numbering
  int32_t iNUMInc = 1;
};

inline constexpr char16_t kLorimoKey[] = u"Software\\ZOKA\\Lorimo";
inline constexpr uint32_t kSettingsLayoutVersion = 2;
// The autoplay delays the options page offers, in milliseconds.
inline constexpr uint32_t kMinAutoPlayDelay = 100;
inline constexpr uint32_t kMaxAutoPlayDelay = 3600000;

class CLorimoSettings {
 public:
  // store: where the values live; null for the program's registry.reg.
  explicit CLorimoSettings(CRegistryStore* store = nullptr);

  // Reads "OneLorimoInstance" alone: the single-instance rule runs before
  // the rest is loaded.
  void LoadOneInstanceOption();
  // Every value but the window placement and the Menu flags.
  void Load();
  // The Menu flags, read when the main window builds its menu.
  void LoadMenuFlags();
  // Writes the root values ("LorimoVersion" = 2 first), then RenConv,
  // Mapping, Menu and MRU. 1 when everything reached the disk; 0 when the
  // store could not be written (GetLastError says why; the values stay
  // pending in the store for a later try).
  int Save();
  MyString GetLastError() const;

  // Values that their owners store as soon as they change; each updates the
  // memory and writes its one value at once. 1 when it reached the disk.
  int StoreAutoPlayDelay(uint32_t milliseconds);
  int StorePreviewRename(uint32_t flag);
  int StorePreviewSlide(uint32_t flag);
  int StoreFilesViewSize(uint32_t size);
  int StoreThumbnailsSize(uint32_t size);

  // Every value here, the option records and the sort settings back to
  // their defaults.
  void ResetToDefaults();

  CRegistryStore& GetStore() const { return *m_pStore; }

  uint32_t dwDefaultImage = STARTUP_SCREEN;
  uint32_t dwAutoPlayMiliseconds = 1000;
  MyString strLastLoadedImage;
  // "StartImage" of install.ini, used by start-up choice 2.
  MyString strDefaultImagePath;
  uint32_t dwPreviewRename = 1;
  uint32_t dwPreviewSlide = 1;
  uint32_t dwFilesViewSize = 0;
  uint32_t dwThumbnailsSize = 0;
  tagRENCONV renConv;
  CRecentLists recent;
  CToolViewMenu menu;
  CMappingValues mapping;

 private:
  void LoadRootValues(const CRegistry& root);
  void SaveRootValues(CRegistry& root) const;
  int StoreRootValue(const char16_t* name, uint32_t value);

  CRegistryStore* m_pStore;
};

// The settings of the running program.
CLorimoSettings& GetLorimoSettings();
