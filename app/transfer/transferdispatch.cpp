#include "transfer/transferdispatch.h"

#include <QTimer>

#include "gathrex/eventcallback.h"
#include "shell/acquisitionbridge.h"
#include "shell/commandids.h"
#include "shell/mainframe.h"
#include "shell/programhooks.h"
#include "shell/volumewatcher.h"
#include "viewer/imageservice.h"

CTransferDispatch::CTransferDispatch(QWidget* owner) : QObject(owner), m_owner(owner) {
  m_commands.onCommand = [this](int id) {
    if (id != IDM_WIA_ACQUIRE) return 0;
    OpenManualTransfer();
    return 1;
  };
}

CTransferDispatch::~CTransferDispatch() {
  // The hooks below reach into the main window, which is going.
  TransferHooks().volumes = nullptr;
  GetProgramHooks().openWiaTransfer = nullptr;
}

CDlgManualTransfer* CTransferDispatch::GetManualDialog() const {
  if (m_manual) return m_manual;
  return m_wizard ? m_wizard->GetManualDialog() : nullptr;
}

void CTransferDispatch::DeviceArrived(const MyString& device) {
  if (device.IsEmpty()) {
    OpenManualTransfer();
    return;
  }
  if (CDlgManualTransfer* manual = GetManualDialog()) {
    manual->NotifyConnectedDevice(device);
  } else if (m_wizard) {
    m_wizard->NotifyConnectedDevice(device);
  } else if (!m_bOpening) {
    m_bOpening = true;
    QTimer::singleShot(0, this, [this, device] { RunWizard(device); });
  }
}

void CTransferDispatch::DeviceRemoved(const MyString& device) {
  if (CDlgManualTransfer* manual = GetManualDialog())
    manual->NotifyDisconnectedDevice(device);
  else if (m_wizard)
    m_wizard->NotifyDisconnectedDevice(device);
}

void CTransferDispatch::OpenManualTransfer() {
  if (CDlgManualTransfer* manual = GetManualDialog()) {
    manual->raise();
    manual->activateWindow();
    return;
  }
  if (m_bOpening || m_wizard) return;
  m_bOpening = true;
  QTimer::singleShot(0, this, [this] { RunManual(); });
}

void CTransferDispatch::RunWizard(const MyString& device) {
  m_bOpening = false;
  if (m_wizard || m_manual) return;
  CDlgTransferWizard wizard(m_owner, device);
  m_wizard = &wizard;
  wizard.DoModal();
  m_wizard = nullptr;
}

void CTransferDispatch::RunManual() {
  m_bOpening = false;
  if (m_wizard || m_manual) return;
  CDlgManualTransfer manual(m_owner, MyString());
  m_manual = &manual;
  manual.DoModal();
  m_manual = nullptr;
}

void InstallTransfer(CMainFrame* frame) {
  QPointer<CTransferDispatch> dispatch = new CTransferDispatch(frame);
  CVolumeWatcher* volumes = &frame->VolumeWatcher();
  TransferHooks().volumes = [volumes] { return volumes->GetVolumes(); };

  CAcquisitionBridge* bridge = &frame->AcquisitionBridge();
  QObject::connect(bridge, &CAcquisitionBridge::DeviceArrived, dispatch,
                   [dispatch](const QString& device) {
                     if (dispatch) dispatch->DeviceArrived(MyString::FromQString(device));
                   });
  QObject::connect(bridge, &CAcquisitionBridge::DeviceRemoved, dispatch,
                   [dispatch](const QString& device) {
                     if (dispatch) dispatch->DeviceRemoved(MyString::FromQString(device));
                   });
  if (CImageService* service = frame->ImageService()) {
    QPointer<CAcquisitionBridge> bridgeRef(bridge);
    service->onDevice = [dispatch, bridgeRef](const MyString& device, bool connected) {
      CAcquisitionBridge* bridge = bridgeRef.data();
      if (!dispatch || !bridge) return;
      if (device.IsEmpty()) {
        if (connected) dispatch->OpenManualTransfer();
      } else if (connected) {
        bridge->DeviceConnected(device);
      } else {
        bridge->DeviceDisconnected(device);
      }
    };
  }
  frame->Router().SetTarget(CO_CAMERA, dispatch->CommandTarget());
  GetProgramHooks().openWiaTransfer = [dispatch](QWidget*) {
    if (dispatch) dispatch->OpenManualTransfer();
  };

  auto* events = new CEventCallback(dispatch);
  events->Register();
}
