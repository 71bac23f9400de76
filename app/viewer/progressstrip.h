#pragma once
// The progress strip of viewer decodes: a 100 x 20 progress bar and a
// "Cancel" button at the right of the main window's menu bar, hidden until
// a decode has run for a second. While the decode pumps messages, only the
// Cancel button takes user input: anything else could start another load
// inside the running one.

#include <QWidget>

#include "viewer/progressmonitor.h"

class QProgressBar;
class QPushButton;

class CProgressStrip : public QWidget, public CProgressView {
  Q_OBJECT
 public:
  explicit CProgressStrip(QWidget* parent = nullptr);

  void SetMonitor(CProgressMonitor* monitor) { m_pMonitor = monitor; }

  void ShowProgress() override;
  void SetProgress(int percent) override;
  void PumpMessages() override;
  void HideProgress() override;

  QProgressBar* GetBar() const { return m_pBar; }
  QPushButton* GetCancelButton() const { return m_pCancel; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Runs f on the GUI thread (at once when already there).
  template <typename F>
  void OnGuiThread(F f);
  void OnCancel();

  CProgressMonitor* m_pMonitor = nullptr;
  QProgressBar* m_pBar;
  QPushButton* m_pCancel;
};
