#include "shell/dialogcentring.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QVariant>

namespace {

constexpr char kCentredProperty[] = "lorimoCentred";

}  // namespace

CDialogCentring::CDialogCentring(QWidget* mainWindow) : m_mainWindow(mainWindow) {
  qApp->installEventFilter(this);
}

CDialogCentring::~CDialogCentring() {
  if (qApp) qApp->removeEventFilter(this);
}

QPoint CDialogCentring::CentredTopLeft(const QRect& main, const QSize& size) {
  const int right = main.x() + main.width();
  const int bottom = main.y() + main.height();
  return QPoint((main.x() + right) / 2 - size.width() / 2,
                (main.y() + bottom) / 2 - size.height() / 2);
}

bool CDialogCentring::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Show || !m_mainWindow || !m_mainWindow->isVisible()) return false;
  auto* dialog = qobject_cast<QDialog*>(watched);
  if (!dialog || !dialog->isWindow() || dialog->property(kCentredProperty).toBool()) return false;
  dialog->setProperty(kCentredProperty, true);
  dialog->move(CentredTopLeft(m_mainWindow->frameGeometry(), dialog->frameGeometry().size()));
  return false;
}
