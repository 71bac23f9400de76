#pragma once
// Every dialog opens centred on the main window, wherever the main window
// is, the first time it is shown.

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>

class QWidget;

class CDialogCentring : public QObject {
  Q_OBJECT

 public:
  // Watches the whole application while it lives.
  explicit CDialogCentring(QWidget* mainWindow);
  ~CDialogCentring() override;

  // The top-left corner that centres a window of size on main:
  // (left + right) / 2 - width / 2, likewise for top, right and bottom
  // exclusive, integer division.
  static QPoint CentredTopLeft(const QRect& main, const QSize& size);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> m_mainWindow;
};
