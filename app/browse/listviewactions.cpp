#include "browse/listviewactions.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <mutex>

#include "browse/fileoperations.h"
#include "corekit/straw.h"
#include "pixwork/formats.h"
#include "pixwork/listposition.h"
#include "shell/commandids.h"
#include "viewer/imageview.h"

std::function<bool(const MyString& path)> gListAddAttachement;

namespace {

constexpr int kMaxFindText = 259;

bool IsImagePath(const MyString& path) {
  const MyString ext = path.GetStringExtension();
  if (ext.GetLength() < 2) return false;
  const MyString bare = ext.Mid(1);
  for (const MyString& known : GetSupportedExtensions())
    if (known.EqualsNoCase(bare)) return true;
  return false;
}

}  // namespace

void CRenameEdit::keyPressEvent(QKeyEvent* event) {
  if (m_bEnded) return;
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    m_bEnded = true;
    emit Commit(text());
    return;
  }
  if (event->key() == Qt::Key_Escape) {
    m_bEnded = true;
    emit Dropped();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void CRenameEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (m_bEnded) return;
  m_bEnded = true;
  emit Dropped();
}

CFindThumbDialog::CFindThumbDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Find thumb ..."));
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Find what :")), 0, 0);
  m_pText = new QLineEdit;
  m_pText->setMaxLength(kMaxFindText);
  grid->addWidget(m_pText, 0, 1);
  m_pNext = new QPushButton(QStringLiteral("Find Next"));
  m_pNext->setDefault(true);
  m_pNext->setEnabled(false);
  grid->addWidget(m_pNext, 0, 2);
  m_pCase = new QCheckBox(QStringLiteral("Match case"));
  m_pUp = new QCheckBox(QStringLiteral("Search Up"));
  grid->addWidget(m_pCase, 1, 0);
  grid->addWidget(m_pUp, 1, 1);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"));
  grid->addWidget(cancel, 1, 2);
  auto* note = new QLabel(QStringLiteral(
      "Searching is valid only for file names, not including directories and extensions .\n"
      "Typing a capital letter over the thumbnails jumps to the next file beginning with it."));
  note->setWordWrap(true);
  grid->addWidget(note, 2, 0, 1, 3);
  connect(m_pText, &QLineEdit::textChanged, this,
          [this](const QString& text) { m_pNext->setEnabled(!text.isEmpty()); });
  connect(m_pNext, &QPushButton::clicked, this, [this] {
    emit FindNextClicked(m_pText->text(), m_pCase->isChecked(), m_pUp->isChecked());
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::close);
}

CListViewActions::CListViewActions(CImageView* viewer, CListViewState& state, QWidget* view)
    : QObject(view), m_viewer(viewer), m_state(state), m_view(view) {
  chooseFolder = [this](const MyString& title) {
    return MyString::FromQString(QFileDialog::getExistingDirectory(m_view, title.ToQString()));
  };
  showMessage = [this](const MyString& text, const MyString& caption) {
    QMessageBox::information(m_view, caption.ToQString(), text.ToQString());
  };
  askYesNo = [this](const MyString& text, const MyString& caption) {
    return QMessageBox::question(m_view, caption.ToQString(), text.ToQString()) == QMessageBox::Yes;
  };
  openImage = [this](const MyString& path) { return m_viewer->OpenFile(path); };
}

MyString CListViewActions::PathOf(int index) const {
  CListPosition& position = m_viewer->ListPosition();
  std::lock_guard lock(position.GetLock());
  return position.GetList().GetString(index);
}

std::vector<MyString> CListViewActions::SelectedPaths(int index) const {
  std::vector<MyString> paths;
  CListPosition& position = m_viewer->ListPosition();
  std::lock_guard lock(position.GetLock());
  const SortDir& list = position.GetList();
  if (m_state.HasSelection()) {
    for (int i : m_state.Selection()) {
      const MyString path = list.GetString(i);
      if (!path.IsEmpty()) paths.push_back(path);
    }
  } else if (index >= 0) {
    const MyString path = list.GetString(index);
    if (!path.IsEmpty()) paths.push_back(path);
  }
  return paths;
}

int CListViewActions::Click(int index, Qt::KeyboardModifiers modifiers) {
  if (index < 0) return 0;
  const bool ctrl = modifiers & Qt::ControlModifier;
  const bool shift = modifiers & Qt::ShiftModifier;
  if (!ctrl && !shift && gListAddAttachement && gListAddAttachement(PathOf(index))) return 0;
  const CLICKRESULT result = m_state.Click(index, ctrl, shift);
  if (refresh) refresh();
  if (result != CLICK_OPEN || m_viewer->Stepper().IsLoading()) return 0;
  return m_viewer->ShowIndex(index) ? 1 : 0;
}

bool CListViewActions::IsCommandEnabled(int id) const {
  switch (id) {
    case IDM_LIST_MOVE_SELECTED:
    case IDM_LIST_COPY_SELECTED:
    case IDM_LIST_DELETE_SELECTED:
      return m_state.HasSelection();
    default:
      return true;
  }
}

void CListViewActions::ShowMenu(int index, const QPoint& global) {
  QMenu menu(m_view);
  const struct {
    int id;
    const char* text;
  } items[] = {{IDM_LIST_RENAME, "Rename"},
               {IDM_LIST_MOVE_SELECTED, "Move selected to..."},
               {IDM_LIST_COPY_SELECTED, "Copy selected to..."},
               {IDM_LIST_DELETE_SELECTED, "Delete selected"},
               {IDM_LIST_FIND_THUMB, "Find thumb..."}};
  for (const auto& item : items) {
    QAction* action = menu.addAction(QString::fromLatin1(item.text));
    action->setData(item.id);
    action->setEnabled(IsCommandEnabled(item.id) && (item.id != IDM_LIST_RENAME || index >= 0));
  }
  const QAction* chosen = menu.exec(global);
  if (chosen) RunCommand(chosen->data().toInt(), index);
}

int CListViewActions::RunCommand(int id, int index) {
  if (!IsCommandEnabled(id)) return 0;
  switch (id) {
    case IDM_LIST_RENAME:
      if (index < 0 || !startRename) return 0;
      startRename(index);
      return 1;
    case IDM_LIST_MOVE_SELECTED:
      return MoveOrCopySelected(false);
    case IDM_LIST_COPY_SELECTED:
      return MoveOrCopySelected(true);
    case IDM_LIST_DELETE_SELECTED:
      return DeleteSelected();
    case IDM_LIST_FIND_THUMB:
      OpenFindDialog();
      return 1;
    default:
      return 0;
  }
}

int CListViewActions::Rename(int index, const QString& typed) {
  const MyString oldPath = PathOf(index);
  if (oldPath.IsEmpty()) return 0;
  if (!RenameListedFile(m_viewer, oldPath, MyString::FromQString(typed), u"Lorimo: Rename",
                        showMessage))
    return 0;
  m_viewer->NotifyListChanged();
  return 1;
}

int CListViewActions::MoveOrCopySelected(bool bCopy) {
  if (!m_state.HasSelection()) return 0;
  const MyString folder = chooseFolder(u"Please choose your destination directory");
  if (folder.IsEmpty()) return 0;
  CFileOperations operations;
  const std::vector<MyString> files = SelectedPaths(-1);
  const tagFILEOPRESULT result =
      bCopy ? operations.Copy(files, folder) : operations.Move(files, folder);
  m_state.ClearSelection();
  showMessage(CFileOperations::ReportText(result), CFileOperations::ReportCaption(result));
  AfterOperation(result.AnyGone());
  return result.Succeeded() ? 1 : 0;
}

int CListViewActions::DeleteSelected() {
  if (!m_state.HasSelection()) return 0;
  const std::vector<MyString> files = SelectedPaths(-1);
  const MyString question =
      files.size() == 1 ? u"Move \"" + files[0].GetStringTitleExt() + u"\" to the Trash?"
                        : CStrAW::printf(u"Move these %d files to the Trash?", int(files.size()));
  if (!askYesNo(question, u"Delete files")) return 0;
  const tagFILEOPRESULT result = CFileOperations().Trash(files);
  m_state.ClearSelection();
  showMessage(CFileOperations::ReportText(result), CFileOperations::ReportCaption(result));
  AfterOperation(result.AnyGone());
  return result.Succeeded() ? 1 : 0;
}

void CListViewActions::AfterOperation(bool bListChanged) {
  // Files that left the folder leave the list too (the viewer's Rescan).
  if (bListChanged) m_viewer->OnCommand(IDM_RESCAN);
  if (refresh) refresh();
}

CFindThumbDialog* CListViewActions::OpenFindDialog() {
  if (!m_find) {
    m_find = new CFindThumbDialog(m_view);
    m_find->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_find, &CFindThumbDialog::FindNextClicked, this,
            [this](const QString& text, bool matchCase, bool up) {
              FindNext(MyString::FromQString(text), matchCase, up);
            });
  }
  m_find->show();
  m_find->raise();
  m_find->activateWindow();
  return m_find;
}

int CListViewActions::FindNext(const MyString& text, bool bMatchCase, bool bUp) {
  int match;
  {
    CListPosition& position = m_viewer->ListPosition();
    std::lock_guard lock(position.GetLock());
    match = FindThumb(position.GetList(), position.GetCurrent(), text, bMatchCase, bUp);
  }
  if (match < 0) {
    showMessage(u"Lorimo has finished searching the thumnails files", u"Lorimo Thumbnails");
    return 0;
  }
  return m_viewer->ShowIndex(match) ? 1 : 0;
}

QMimeData* CListViewActions::MakeDragData(int index) const {
  // The selection when the dragged item is in it, else the item alone.
  const std::vector<MyString> paths =
      m_state.IsSelected(index) ? SelectedPaths(index) : std::vector<MyString>{PathOf(index)};
  QList<QUrl> urls;
  for (const MyString& path : paths)
    if (!path.IsEmpty()) urls.push_back(QUrl::fromLocalFile(path.ToQString()));
  if (urls.isEmpty()) return nullptr;
  auto* data = new QMimeData;
  data->setUrls(urls);
  return data;
}

bool CListViewActions::HasImages(const QMimeData* data) {
  if (!data || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile() && IsImagePath(MyString::FromQString(url.toLocalFile()))) return true;
  return false;
}

int CListViewActions::DropImages(const QMimeData* data) {
  if (!data || !data->hasUrls()) return 0;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const MyString path = MyString::FromQString(url.toLocalFile());
    if (IsImagePath(path)) return openImage(path) ? 1 : 0;
  }
  return 0;
}

tagVIEWERLIST ReadViewerList(CImageView* viewer) {
  tagVIEWERLIST list;
  CListPosition& position = viewer->ListPosition();
  std::lock_guard lock(position.GetLock());
  const MyString portfolio = viewer->Stepper().GetPortfolioPath();
  list.path = portfolio.IsEmpty() ? position.GetList().GetDirectory() : portfolio;
  list.nCount = position.GetList().GetLengthFileList();
  list.nCurrent = position.HasImage() ? position.GetCurrent() : -1;
  return list;
}

int RenameListedFile(CImageView* viewer, const MyString& path, const MyString& typed,
                     const MyString& caption,
                     const std::function<void(const MyString&, const MyString&)>& message) {
  MyString newPath;
  if (!MakeRenamePath(path, typed, &newPath)) {
    message(u"A file name can't be empty, \".\" or \"..\", nor hold \"/\".", caption);
    return 0;
  }
  if (newPath == path) return 0;
  int renamed;
  {
    CListPosition& position = viewer->ListPosition();
    std::lock_guard lock(position.GetLock());
    renamed = position.GetList().RenameFile(path, newPath);
  }
  if (renamed == 0) {
    message(u"Can't rename \"" + path.GetStringTitleExt() + u"\" to \"" +
                newPath.GetStringTitleExt() + u"\".",
            caption);
    return 0;
  }
  return 1;
}
