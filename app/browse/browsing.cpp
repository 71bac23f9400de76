#include "browse/browsing.h"

#include <QInputDialog>
#include <QMessageBox>
#include <mutex>

#include "browse/exifdate.h"
#include "browse/fileoperations.h"
#include "browse/filesview.h"
#include "browse/thumbnailsview.h"
#include "browse/treepanes.h"
#include "pixwork/listposition.h"
#include "shell/commandids.h"
#include "shell/mainframe.h"
#include "shell/programhooks.h"
#include "shell/toolviewdocks.h"
#include "shell/toolviewmenu.h"
#include "viewer/imageview.h"

namespace {

// The tool-view entry toggled by a command.
int EntryOf(int command) {
  const auto& entries = CToolViewMenu::Entries();
  for (int i = 0; i < CToolViewMenu::kEntryCount; ++i)
    if (int(entries[size_t(i)].nCommand) == command) return i;
  return -1;
}

}  // namespace

CBrowsing::CBrowsing(CMainFrame& frame) : QObject(&frame), m_frame(frame) {
  // Large folders must not hold up the window: opened files show first.
  m_frame.Viewer()->ListFoldersOnWorker(true);
  RegisterExifDateReader();
  askYesNo = [this](const MyString& text, const MyString& caption) {
    return QMessageBox::question(&m_frame, caption.ToQString(), text.ToQString()) ==
           QMessageBox::Yes;
  };
  askNewName = [this](const MyString& name, MyString* typed) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(&m_frame, QStringLiteral("Rename Image"), QStringLiteral("New name:"),
                              QLineEdit::Normal, name.ToQString(), &ok);
    *typed = MyString::FromQString(text);
    return ok;
  };
  showMessage = [this](const MyString& text, const MyString& caption) {
    QMessageBox::information(&m_frame, caption.ToQString(), text.ToQString());
  };

  CImageView* viewer = frame.Viewer();
  frame.ToolViews().SetContentFactory(
      EntryOf(IDM_VIEW_THUMBNAILS), [this, viewer](QWidget* parent) {
        auto* view = new CThumbnailsView(viewer, &m_frame.Settings(), parent);
        m_thumbnails = view;
        return view;
      });
  frame.ToolViews().SetContentFactory(EntryOf(IDM_VIEW_FILES), [this, viewer](QWidget* parent) {
    auto* view = new CFilesView(viewer, &m_frame.Settings(), parent);
    m_files = view;
    return view;
  });
  frame.Router().SetTarget(CO_BROWSE, this);

  // The favorites pane and the cache setup share these hooks: each part
  // adds itself to what was there.
  tagPROGRAMHOOKS& hooks = GetProgramHooks();
  QPointer<CBrowsing> self(this);
  hooks.updateThumbnailEntry = [self, previous = hooks.updateThumbnailEntry](const MyString& path) {
    if (previous) previous(path);
    if (self && self->m_thumbnails) self->m_thumbnails->UpdateEntry(path);
  };
  // The views' workers make thumbnails with the cache: they stop first.
  hooks.releaseThumbnailCache = [self, previous = hooks.releaseThumbnailCache] {
    if (self && self->m_thumbnails) self->m_thumbnails->DropWorkers();
    if (self && self->m_files) self->m_files->DropWorkers();
    if (previous) previous();
  };
}

// Deleted with the frame's children, once the frame and its router are gone.
CBrowsing::~CBrowsing() = default;

int CBrowsing::OnCommand(int id) {
  switch (id) {
    case IDM_DELETE_IMAGE:
      DeleteImage();
      return 1;
    case IDM_RENAME_IMAGE:
      RenameImage();
      return 1;
    case IDM_RESCAN:
      // The viewer lists again; the views follow the changed list and ask
      // for every picture again.
      m_frame.Viewer()->OnCommand(IDM_RESCAN);
      return 1;
    default:
      return 0;
  }
}

bool CBrowsing::IsCommandEnabled(int id) const {
  switch (id) {
    case IDM_DELETE_IMAGE:
    case IDM_RENAME_IMAGE:
      return !m_frame.Viewer()->ListPosition().GetCurrentPath().IsEmpty();
    default:
      return true;
  }
}

int CBrowsing::DeleteImage() {
  CImageView* viewer = m_frame.Viewer();
  CListPosition& position = viewer->ListPosition();
  const MyString path = position.GetCurrentPath();
  if (path.IsEmpty()) {
    showMessage(u"Please Open Image First.", u"Lorimo: Delete Image Function");
    return 0;
  }
  if (!askYesNo(
          u"Are you sure you want to move \"" + path.GetStringTitleExt() + u"\" to the Trash?",
          u"Lorimo: Delete Image"))
    return 0;
  const tagFILEOPRESULT result = CFileOperations().Trash({path});
  if (!result.Succeeded()) {
    showMessage(CFileOperations::ReportText(result), u"Lorimo: Delete Image");
    return 0;
  }
  bool left;
  MyString folder;
  {
    std::lock_guard lock(position.GetLock());
    // Still the shown entry: nothing moved the position while we asked.
    if (position.GetCurrentPath() == path)
      left = position.DeleteCurrent();
    else
      left = position.HasImage();
    folder = position.GetList().GetDirectory();
  }
  if (left)
    viewer->ShowIndex(position.GetCurrent());
  else
    viewer->ShowFolder(folder);
  viewer->NotifyListChanged();
  return 1;
}

int CBrowsing::RenameImage() {
  CImageView* viewer = m_frame.Viewer();
  CListPosition& position = viewer->ListPosition();
  const MyString path = position.GetCurrentPath();
  if (path.IsEmpty()) {
    showMessage(u"Please Open Image First.", u"Lorimo: Rename Image Function");
    return 0;
  }
  MyString typed;
  if (!askNewName(path.GetStringTitle(), &typed)) return 0;
  if (!RenameListedFile(viewer, path, typed, u"Lorimo: Rename Image", showMessage)) return 0;
  // The shown image is read again under its new name (title, recent files).
  viewer->ShowIndex(position.GetCurrent());
  viewer->NotifyListChanged();
  return 1;
}

CBrowsing* InstallBrowsing(CMainFrame& frame) {
  InstallTreePanes(frame);
  return new CBrowsing(frame);
}
