#include "corekit_ui/dialog.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QWindow>
#include <algorithm>
#include <vector>

#include "corekit_ui/controls.h"

namespace {

// Open modeless dialogs, for the message loop's hook. GUI thread only.
std::vector<CDialog*>& ModelessDialogs() {
  static std::vector<CDialog*> dialogs;
  return dialogs;
}

void ForgetModeless(CDialog* dialog) {
  auto& dialogs = ModelessDialogs();
  dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), dialog), dialogs.end());
}

}  // namespace

CDialog::CDialog(QWidget* parent) : QDialog(parent) {}

CDialog::~CDialog() {
  ForgetModeless(this);
  // Before QObject's destructor, so no message reaches a half-destroyed dialog.
  if (m_hwnd) DestroyMessageReceiver(m_hwnd);
}

int CDialog::Open() {
  m_nResult = 0;
  // Open while the handler runs, so that it may end the dialog at once.
  m_bOpen = true;
  if (!OnInitDialog()) {
    m_bOpen = false;
    return 0;
  }
  return m_bOpen ? 1 : -1;
}

int CDialog::DoModal() {
  if (m_bOpen) return -1;
  m_bModeless = false;
  const int opened = Open();
  if (opened == 0) return -1;
  if (opened < 0) return m_nResult;  // ended by OnInitDialog: never shown
  QPointer<CDialog> self(this);
  exec();
  if (!self) return -1;
  if (m_bOpen) {
    // Hidden without EndDialog (its owner went away): ended as cancelled.
    m_bOpen = false;
    m_nResult = IDCANCEL;
    OnDestroy();
  }
  return m_nResult;
}

int CDialog::DoModeless() {
  if (m_bOpen) return 0;
  m_bModeless = true;
  setModal(false);
  if (Open() != 1) return 0;
  ModelessDialogs().push_back(this);
  show();
  return 1;
}

void CDialog::EndDialog(int result) {
  m_nResult = result;
  if (!m_bOpen) return;
  m_bOpen = false;
  ForgetModeless(this);
  OnDestroy();
  QDialog::done(result);
}

void CDialog::SetDlgItem(int id, QWidget* control) {
  if (!control) {
    m_items.remove(id);
    return;
  }
  m_items.insert(id, control);
  if (auto* menuButton = qobject_cast<CMenuButton*>(control)) {
    connect(menuButton, &CMenuButton::Command, this, &CDialog::SendCommand);
  } else if (auto* xpButton = qobject_cast<CXPButtonMenu*>(control)) {
    connect(xpButton, &CXPButtonMenu::clicked, this, [this, id] { OnCommand(id); });
    connect(xpButton, &CXPButtonMenu::Command, this, &CDialog::SendCommand);
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
  }
}

QWidget* CDialog::GetDlgItem(int id) const { return m_items.value(id); }

HWND CDialog::GetSafeHwnd() {
  if (!m_hwnd)
    m_hwnd = CreateMessageReceiver(this, [this](HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
      return OnMessage(msg, wParam, lParam);
    });
  return m_hwnd;
}

int CDialog::OnCommand(int id) {
  if (id != IDOK && id != IDCANCEL) return 0;
  EndDialog(id);
  return 1;
}

int CDialog::OnClose() { return OnCommand(IDCANCEL); }

LRESULT CDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) return OnCommand(int(wParam & 0xFFFF));
  if (msg == WM_CLOSE) return OnClose();
  return 0;
}

void CDialog::accept() { OnCommand(IDOK); }

void CDialog::reject() { OnCommand(IDCANCEL); }

void CDialog::closeEvent(QCloseEvent* event) {
  if (m_bOpen) OnClose();
  // A close handler that did not end the dialog keeps it open.
  if (m_bOpen)
    event->ignore();
  else
    event->accept();
}

bool CDialog::IsModelessDialogMessage(QObject* target, QEvent* event) {
  if (!target || !event) return false;
  for (CDialog* dialog : ModelessDialogs()) {
    if (!dialog->isVisible()) continue;
    if (auto* widget = qobject_cast<QWidget*>(target)) {
      if (widget->window() == dialog) return true;
    } else if (target == dialog->windowHandle()) {
      return true;
    }
  }
  return false;
}
