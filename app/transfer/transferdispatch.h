#pragma once
// Which transfer dialog a connected or removed camera or card reaches. One
// dialog at a time: an open manual dialog is told first, else an open
// wizard; with neither open, an arrival opens the wizard for the device.
// The manual dialog opens without a device for the WIA "Acquire" command,
// "/WIAAuto" and an acquisition request without a device. Dialogs open by a
// queued call, so a device event never runs a modal loop inside the code
// that reported it. GUI thread only.

#include <QObject>
#include <QPointer>

#include "corekit/mystring.h"
#include "gathrex/transferdialogs.h"
#include "shell/commandrouter.h"

class CMainFrame;
class CEventCallback;

class CTransferDispatch : public QObject {
  Q_OBJECT

 public:
  explicit CTransferDispatch(QWidget* owner);
  ~CTransferDispatch() override;

  void DeviceArrived(const MyString& device);
  void DeviceRemoved(const MyString& device);
  // The manual dialog without a device (or an open one brought forward).
  void OpenManualTransfer();

  CDlgTransferWizard* GetWizard() const { return m_wizard; }
  // The open manual dialog: ours, or the one the wizard opened.
  CDlgManualTransfer* GetManualDialog() const;
  CCommandTarget* CommandTarget() { return &m_commands; }

 private:
  void RunWizard(const MyString& device);
  void RunManual();

  QWidget* m_owner;
  QPointer<CDlgTransferWizard> m_wizard;
  QPointer<CDlgManualTransfer> m_manual;
  bool m_bOpening = false;  // a dialog is queued to open
  CCommandFunctions m_commands;
};

// Connects the transfer side to the main window: the volumes and cameras
// the program hears of, the image service's requests 3 and 8, the "Acquire"
// command, the "/WIAAuto" hook, and the udev listener.
void InstallTransfer(CMainFrame* frame);
