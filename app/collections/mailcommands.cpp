#include "collections/mailcommands.h"

#include <QObject>
#include <QPointer>

#include "browse/listviewactions.h"
#include "pixwork/dlgmail.h"
#include "pixwork/mailsender.h"
#include "shell/commandids.h"
#include "shell/commandrouter.h"
#include "shell/inputbinding.h"
#include "shell/mainframe.h"
#include "shell/programhooks.h"
#include "viewer/imagedocument.h"
#include "viewer/imageview.h"

namespace {

constexpr char kDialogName[] = "LorimoMailDialog";

// The e-mail commands; a child of the window, so it lives as long.
class CMailCommands : public QObject, public CCommandTarget {
 public:
  explicit CMailCommands(CMainFrame* frame) : QObject(frame), m_pFrame(frame) {}

  int OnCommand(int id) override {
    if (id == IDM_TOOL_EMAIL) {
      m_pFrame->InputBinding().SetMouseTool(IDM_TOOL_EMAIL);
      Open();
      return 1;
    }
    if (id != IDM_EMAIL) return 0;
    CImageView* viewer = m_pFrame->Viewer();
    if (!viewer || !viewer->Document().HasImage() || viewer->Document().GetPath().IsEmpty()) {
      if (viewer && viewer->showMessage)
        viewer->showMessage(u"Please Open Image First.", u"Lorimo: Email");
      return 1;
    }
    const MyString path = viewer->Document().GetPath();
    if (!m_pDialog || !m_pDialog->isVisible()) OnCommand(IDM_TOOL_EMAIL);
    m_pDialog->AddAttachement(path);
    return 1;
  }
  bool IsCommandChecked(int id) const override {
    return id == IDM_TOOL_EMAIL && m_pFrame->InputBinding().GetMouseTool() == IDM_TOOL_EMAIL;
  }

  // A click on a thumbnail while the e-mail tool is chosen.
  bool AddFromList(const MyString& path) {
    if (m_pFrame->InputBinding().GetMouseTool() != IDM_TOOL_EMAIL || path.IsEmpty()) return false;
    Open();
    m_pDialog->AddAttachement(path);
    return true;
  }
  bool IsDialogVisible() const { return m_pDialog && m_pDialog->isVisible(); }
  void CloseDialog() {
    if (m_pDialog && m_pDialog->IsOpen()) m_pDialog->EndDialog(IDC_MAIL_POSTPONE);
  }
  CDlgMail* Dialog() const { return m_pDialog; }

 private:
  void Open() {
    if (!m_pDialog) {
      m_pDialog = new CDlgMail(m_pFrame);
      m_pDialog->setObjectName(kDialogName);
    }
    if (!m_pDialog->IsOpen()) m_pDialog->DoModeless();
    m_pDialog->show();
    m_pDialog->raise();
  }

  CMainFrame* m_pFrame;
  QPointer<CDlgMail> m_pDialog;
};

}  // namespace

void InstallMailCommands(CMainFrame* frame) {
  // What earlier sends left for their mail program is no longer read.
  CMailSender::RemoveSendFolders(CMailSender::DefaultRoot());
  auto* commands = new CMailCommands(frame);
  frame->Router().SetTarget(CO_EMAIL, commands);
  QPointer<CMailCommands> alive = commands;
  gListAddAttachement = [alive](const MyString& path) { return alive && alive->AddFromList(path); };
  if (CImageView* viewer = frame->Viewer())
    viewer->isEmailDialogVisible = [alive] { return alive && alive->IsDialogVisible(); };
  tagPROGRAMHOOKS& hooks = GetProgramHooks();
  hooks.closeToolDialogs = [previous = hooks.closeToolDialogs, alive] {
    if (previous) previous();
    if (alive) alive->CloseDialog();
  };
}

CDlgMail* MailDialog(CMainFrame* frame) {
  auto* commands = dynamic_cast<CMailCommands*>(frame->Router().GetTarget(CO_EMAIL));
  return commands ? commands->Dialog() : nullptr;
}
