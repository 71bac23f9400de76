#pragma once
// Acquiring pictures from scanners (SANE) into the viewer: "Select Source"
// chooses a device, "Acquire" opens a scan dialog with the device's source,
// mode, resolution and area, and hands each scanned page to the viewer
// through a callback of the viewer parameters (this library knows nothing
// of the program's documents). Reading runs on a worker; the dialogs live
// on the GUI thread.

#include <QDialog>
#include <QPointer>
#include <QString>
#include <functional>
#include <string>

#include <Magick++.h>

class QDialog;
class QWidget;

// What the viewer gives an acquisition.
struct tagTWAINVIEWER {
  QWidget* pMainWindow = nullptr;
  // A page arrived; false when the viewer kept its own image (the user
  // declined to replace unsaved changes), which ends the acquisition.
  std::function<bool(const Magick::Image& image)> onImage;
  // Why a step was refused, for the status bar.
  std::function<void(const QString& text)> onStatus;
};

class CTwain {
 public:
  CTwain();
  virtual ~CTwain();

  // sane_init; 1, or 0 when scanning is not available (the commands stay
  // greyed).
  int InitTwain(QWidget* mainWindow);
  bool IsAvailable() const { return m_bAvailable; }
  // "Select Source": the devices, listed on a worker. 1 when one was chosen.
  int SelectSource(const tagTWAINVIEWER& viewer);
  // Opens the scan dialog for the chosen device (else SANE_DEFAULT_DEVICE,
  // else the first). count -1: every page of a feeder until it is empty,
  // one page per scan on a flatbed. 1 when the dialog is open.
  int Acquire(int count, const tagTWAINVIEWER& viewer);
  // For each page: 0 transfer it, 1 skip it, 2 stop the acquisition.
  virtual int ShouldTransfer() { return 0; }
  // Whether the scan dialog may close now.
  virtual bool CanClose() { return true; }
  // Closes the dialog and the device, then sane_exit.
  void ReleaseTwain();

  const std::string& GetChosenSource() const { return m_strSource; }
  // The open scan dialog (its "Scan" button is the first push button).
  QDialog* GetScanDialog() const { return m_dialog; }

 private:
  bool m_bAvailable = false;
  std::string m_strSource;
  QPointer<QDialog> m_dialog;
};
