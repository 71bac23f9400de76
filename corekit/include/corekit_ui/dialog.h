#pragma once
// CDialog: the base of the program's dialogs, a thin layer over QDialog with
// one overridable handler per kind of window message. Buttons and our own
// controls are given command ids (SetDlgItem); using them calls OnCommand.
// GUI thread only.

#include <QDialog>
#include <QHash>
#include <QPointer>

#include "corekit/messages.h"

class QCloseEvent;
class QEvent;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr int IDCLOSE = 8;

class CDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CDialog(QWidget* parent = nullptr);
  ~CDialog() override;

  // Shows the dialog and runs until EndDialog; returns the result given to
  // it (also when OnInitDialog ends it, which then never shows). -1 when the
  // dialog is already open or OnInitDialog refuses.
  int DoModal();
  // Shows the dialog and returns at once: 1, or 0 when it is already open or
  // OnInitDialog refuses. It stays open until EndDialog (which hides it).
  int DoModeless();
  // Ends the dialog with result (DoModal's result). Calls OnDestroy first.
  void EndDialog(int result);
  int GetDialogResult() const { return m_nResult; }
  bool IsOpen() const { return m_bOpen; }

  // Gives control the command id: a click on a button, or a command of a
  // CMenuButton / CXPButtonMenu / hyperlink, goes to OnCommand.
  void SetDlgItem(int id, QWidget* control);
  QWidget* GetDlgItem(int id) const;

  // Runs the handlers as a control or the message layer would.
  int SendCommand(int id) { return OnCommand(id); }
  int SendNotify(int id, int code, void* data) { return OnNotify(id, code, data); }

  // The dialog's handle in the message layer; its messages go to OnMessage.
  HWND GetSafeHwnd();

  // The hook the program's event filter calls before applying accelerators:
  // whether the event is meant for an open modeless dialog, which then keeps
  // it (its keys are its own, not the main window's shortcuts).
  static bool IsModelessDialogMessage(QObject* target, QEvent* event);

 protected:
  // Before the dialog shows: fill the controls. 0 refuses to open; calling
  // EndDialog here ends it before it shows.
  virtual int OnInitDialog() { return 1; }
  // A command of a control. The default ends the dialog on IDOK and IDCANCEL.
  // Returns 1 when handled.
  virtual int OnCommand(int id);
  // A notification of a control (id, code and data as the control defines).
  virtual int OnNotify(int id, int code, void* data) { return 0; }
  // The window's close button. The default issues IDCANCEL (as Escape does); a
  // handler that does not end the dialog keeps it open.
  virtual int OnClose();
  // The dialog is ending (store settings here).
  virtual void OnDestroy() {}
  // Other messages sent to GetSafeHwnd(). The default maps WM_COMMAND to
  // OnCommand and WM_CLOSE to OnClose, else returns 0.
  virtual LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);

  void accept() override;
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // 1 open, 0 refused by OnInitDialog, -1 ended by it.
  int Open();

  QHash<int, QPointer<QWidget>> m_items;
  int m_nResult = 0;
  bool m_bOpen = false;
  bool m_bModeless = false;
  HWND m_hwnd = nullptr;
};
