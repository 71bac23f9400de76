#pragma once
// The start-up and shut-down steps whose work belongs to other parts of the
// program: each part sets its hook when it is built, and the step calls it.
// A hook that is not set means that part is not in the program (yet), and
// its step has nothing to do. GUI thread only.

#include <QImage>
#include <functional>

#include "corekit/bitmap.h"
#include "corekit/messages.h"
#include "corekit/mystring.h"
#include "corekit/platform.h"

class COptionsPage;
class CStopEvent;
class QWidget;

struct tagPROGRAMHOOKS {
  // Start-up.
  std::function<void()> loadPlugins;  // plug-in loader; sets GetPluginsLoadedEvent()
  std::function<void(QWidget* mainWindow)> arrangePanes;  // docked panes and the layout file
  std::function<void(bool bCachingOn)> initThumbnailCache;
  std::function<void(QWidget* mainWindow)> initTwain;
  // The manual camera and card transfer, with no device named.
  std::function<void(QWidget* mainWindow)> openWiaTransfer;
  // Selects a folder in the favorites and directories panes and the address bar.
  std::function<void(const MyString& folder)> showFolderInPanes;
  std::function<void(const MyString& portfolio)> showPortfolioInPanes;
  // Files dropped on the viewer or the startup screen (unset: the first opens).
  std::function<void(const MyStringList& paths)> openDroppedFiles;

  // While running: the thumbnail cache and the thumbnails pane hear of
  // files the viewer changed. A file was turned in place by a rotate-and-
  // flip code (1 to 5): its cached thumbnail turns the same way. before:
  // the file's facts before the turn, which its thumbnail was made from.
  std::function<void(const MyString& path, int code, const CFileInfo& before)>
      rotateCachedThumbnail;
  // The plug-ins' thumbnail of a file for a box (a null image when none
  // makes one). Called on thumbnail worker threads; set while the plug-in
  // host exists.
  std::function<QImage(const MyString& path, const SIZE& box)> pluginThumbnail;
  // Writes a picture through the codec plug-in that declared the path's
  // extension: 1 written, 0 failed (*error says why), -1 no plug-in takes
  // the extension. Any thread; set while the plug-in host exists.
  std::function<int(const MyString& path, const tagLORIMOBITMAP& bitmap, MyString* error)>
      pluginWrite;
  // A file was written or added: its entry in the thumbnails pane is redrawn.
  std::function<void(const MyString& path)> updateThumbnailEntry;
  // The "Thumbnail options" page of the "View Options" sheet.
  std::function<COptionsPage*(QWidget* parent)> makeThumbnailOptionsPage;
  // The "Favorites Options" page of the same sheet.
  std::function<COptionsPage*(QWidget* parent)> makeFavoritesOptionsPage;

  // Shut-down, in the order they run.
  std::function<void()> askToSaveModifiedImage;  // the viewer's "Save the modified image ...?"
  std::function<void()> stopAutoplay;
  std::function<void()> uninitializePrinting;
  std::function<void()> releasePlugins;
  // Joins the thumbnail cache's writer (the stop event is set by then).
  std::function<void()> releaseThumbnailCache;
  std::function<void()> releaseTwain;
  std::function<void()> closeToolDialogs;  // modeless tool dialogs still open
  // Writes the pane arrangement (the layout file) while the panes exist.
  std::function<void()> savePanes;
  // Writes the favorites file; called holding the favorites lock.
  std::function<void()> writeFavorites;
};

tagPROGRAMHOOKS& GetProgramHooks();

// Set once the plug-in loader has finished (at once when there is none);
// it stays set.
CStopEvent& GetPluginsLoadedEvent();
