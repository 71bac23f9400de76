#pragma once
// Puts the list views into the main window: the " Thumbnails" and " Files"
// tool views, the browsing commands ("Delete Image ...", "Rename Image ...",
// "Rescan Files and Thumbnails"), and the hooks by which the rest of the
// program tells the views of changed files and folders. GUI thread.

#include <QObject>
#include <QPointer>
#include <functional>

#include "browse/filesview.h"
#include "browse/thumbnailsview.h"
#include "corekit/mystring.h"
#include "shell/commandrouter.h"

class CMainFrame;

class CBrowsing : public QObject, public CCommandTarget {
  Q_OBJECT
 public:
  explicit CBrowsing(CMainFrame& frame);
  ~CBrowsing() override;

  // The views, null until first shown (or after their docks went).
  CThumbnailsView* ThumbnailsView() const { return m_thumbnails; }
  CFilesView* FilesView() const { return m_files; }

  // CCommandTarget
  int OnCommand(int id) override;
  bool IsCommandEnabled(int id) const override;

  // "Delete Image ...": asked first, then the shown file goes to the Trash
  // and leaves the list. "Rename Image ...": a new name by the rename rules.
  int DeleteImage();
  int RenameImage();

  // Asked before the Trash (true goes on), for a new name (false:
  // cancelled), and where messages go; dialogs by default.
  std::function<bool(const MyString& text, const MyString& caption)> askYesNo;
  std::function<bool(const MyString& name, MyString* typed)> askNewName;
  std::function<void(const MyString& text, const MyString& caption)> showMessage;

 private:
  CMainFrame& m_frame;
  QPointer<CThumbnailsView> m_thumbnails;
  QPointer<CFilesView> m_files;
};

// Made once the main window exists; the frame owns it.
CBrowsing* InstallBrowsing(CMainFrame& frame);
