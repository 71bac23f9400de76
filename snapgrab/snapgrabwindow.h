#pragma once
// The small window of Snapgrab: choose a delay, capture, then choose where
// the picture goes.

#include <QWidget>

class QLabel;
class QPushButton;
class QSpinBox;

class CSnapgrabWindow : public QWidget {
  Q_OBJECT

 public:
  explicit CSnapgrabWindow(int delaySeconds, QWidget* parent = nullptr);

 private:
  void Capture();
  void SaveCapture(const QImage& image);

  QSpinBox* m_delay;
  QPushButton* m_capture;
  QLabel* m_status;
};
