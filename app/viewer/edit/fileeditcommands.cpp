#include "viewer/edit/fileeditcommands.h"

#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

#include "pixwork/dibfile.h"
#include "shell/commandids.h"
#include "shell/programhooks.h"
#include "viewer/edit/editoptionsdialog.h"
#include "viewer/edit/imageprint.h"
#include "viewer/edit/rotateflipfile.h"

namespace {

// The viewer whose save question the program asks before it closes.
CFileEditCommands* gCloseQuestionOwner = nullptr;

}  // namespace

// --- The real dialogs ---

void CFileEditDialogs::Message(const MyString& text, const MyString& caption, MESSAGEKIND kind) {
  const QMessageBox::Icon icon = kind == MK_ERROR         ? QMessageBox::Critical
                                 : kind == MK_INFORMATION ? QMessageBox::Information
                                                          : QMessageBox::Warning;
  const QString title = caption.IsEmpty() ? QStringLiteral("Lorimo") : caption.ToQString();
  QMessageBox box(icon, title, text.ToQString(), QMessageBox::Ok, m_pOwner);
  box.exec();
}

bool CFileEditDialogs::AskYesNo(const MyString& text, const MyString& caption) {
  QMessageBox box(QMessageBox::Question, caption.ToQString(), text.ToQString(),
                  QMessageBox::Yes | QMessageBox::No, m_pOwner);
  return box.exec() == QMessageBox::Yes;
}

MyString CFileEditDialogs::AskSaveName(const MyString& proposed) {
  DibFileInitialize(m_pOwner);
  MyString path = proposed;
  MyString title;
  if (!DibFileSaveDlg(m_pOwner, &path, &title)) return MyString();
  return path;
}

bool CFileEditDialogs::ShowEditOptions(bool bNotSet) {
  CDlgEditOptions dialog(m_pOwner, tagEDITOPTIONS::FromRecords(), bNotSet);
  return dialog.DoModal() == IDOK;
}

bool CFileEditDialogs::OfferEditorChoice() {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Lorimo: External Editor"),
                  QStringLiteral("No external editor has been chosen yet, or the chosen one "
                                 "cannot be found.\nDo you want to choose one now?"),
                  QMessageBox::Yes | QMessageBox::No, m_pOwner);
  return box.exec() == QMessageBox::Yes;
}

MyString CFileEditDialogs::ChooseEditorProgram(const MyString& current) {
  return ChooseEditorFile(m_pOwner, current);
}

bool CFileEditDialogs::SetUpPrinter(QPrinter* printer) {
  QPrintDialog dialog(printer, m_pOwner);
  return dialog.exec() == QDialog::Accepted;
}

// --- The part ---

class CFileEditCommands::CUiRelay : public CFileEditUi {
 public:
  explicit CUiRelay(CFileEditUi*& ui) : m_ui(ui) {}
  void Message(const MyString& text, const MyString& caption, MESSAGEKIND kind) override {
    m_ui->Message(text, caption, kind);
  }
  bool AskYesNo(const MyString& text, const MyString& caption) override {
    return m_ui->AskYesNo(text, caption);
  }
  MyString AskSaveName(const MyString& proposed) override { return m_ui->AskSaveName(proposed); }
  bool ShowEditOptions(bool bNotSet) override { return m_ui->ShowEditOptions(bNotSet); }
  bool OfferEditorChoice() override { return m_ui->OfferEditorChoice(); }
  MyString ChooseEditorProgram(const MyString& current) override {
    return m_ui->ChooseEditorProgram(current);
  }
  bool SetUpPrinter(QPrinter* printer) override { return m_ui->SetUpPrinter(printer); }

 private:
  CFileEditUi*& m_ui;
};

CFileEditCommands::CFileEditCommands(CImageView& view)
    : m_view(view),
      m_dialogs(&view),
      m_pUi(&m_dialogs),
      m_pRelay(std::make_unique<CUiRelay>(m_pUi)),
      m_question(view.Document(), *m_pRelay, m_host),
      m_editor(view.Document(), *m_pRelay),
      m_wallpaper(view.Document(), *m_pRelay) {
  m_host.showAsNewImage = [this] { m_view.ShowAsNewImage(); };
  m_host.openFile = [this](const MyString& path) { return m_view.OpenFile(path); };
  m_host.isLoading = [this] {
    return m_view.Stepper().IsLoading() || m_view.Document().GetMonitor().IsRunning();
  };
  m_host.saveAs = [this] {
    // Its dialogs need the main window.
    m_view.TerminateFullScreen();
    return m_view.SaveAs();
  };
  m_view.askToSaveModified = [this] { return m_question.BeforeStep(); };
  gCloseQuestionOwner = this;
  GetProgramHooks().askToSaveModifiedImage = [this] { m_question.BeforeClose(); };
}

CFileEditCommands::~CFileEditCommands() {
  if (gCloseQuestionOwner == this) {
    GetProgramHooks().askToSaveModifiedImage = nullptr;
    gCloseQuestionOwner = nullptr;
  }
}

bool CFileEditCommands::OwnsCommand(int id) const {
  switch (id) {
    case IDM_ROTATE_CLOCKWISE:
    case IDM_ROTATE_COUNTER_CLOCKWISE:
    case IDM_ROTATE_180:
    case IDM_FLIP_LEFT_RIGHT:
    case IDM_FLIP_UP_DOWN:
    case IDM_EXTERNAL_EDITOR:
    case IDM_EDIT_OPTIONS:
    case IDM_DESKTOP_WALLPAPER:
    case IDM_DESKTOP_COPY:
    case IDM_PRINT:
    case IDM_PRINT_KEY:
      return true;
    default:
      return false;
  }
}

int CFileEditCommands::OnCommand(int id) {
  if (const int code = RotateFlipCodeOfCommand(id)) {
    CRotateFlipFile(m_view.Document(), *m_pRelay, m_host).Run(code);
    return 1;
  }
  switch (id) {
    case IDM_EXTERNAL_EDITOR:
      m_editor.Run();
      return 1;
    case IDM_EDIT_OPTIONS:
      m_view.TerminateFullScreen();
      m_pRelay->ShowEditOptions(false);
      return 1;
    case IDM_DESKTOP_WALLPAPER:
      m_wallpaper.Run();
      return 1;
    case IDM_DESKTOP_COPY:
      CDesktopCopy(m_view.Document(), *m_pRelay, m_strDesktop).Run();
      return 1;
    case IDM_PRINT:
    case IDM_PRINT_KEY:
      m_view.TerminateFullScreen();
      CPrintCommand(m_view.Document(), *m_pRelay, m_question).Run();
      return 1;
    default:
      return 0;
  }
}
