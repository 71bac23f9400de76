#include "snapgrabwindow.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include "screengrab.h"

namespace {

// Time for the window manager to take our own window off the screen.
constexpr int kHideMilliseconds = 400;

}  // namespace

CSnapgrabWindow::CSnapgrabWindow(int delaySeconds, QWidget* parent)
    : QWidget(parent),
      m_delay(new QSpinBox(this)),
      m_capture(new QPushButton(QStringLiteral("&Capture"), this)),
      m_status(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Snapgrab"));
  m_delay->setRange(0, 60);
  m_delay->setValue(delaySeconds);
  m_delay->setSuffix(QStringLiteral(" s"));
  m_capture->setDefault(true);
  auto* close = new QPushButton(QStringLiteral("Close"), this);

  auto* delayRow = new QHBoxLayout;
  delayRow->addWidget(new QLabel(QStringLiteral("Delay before the capture:"), this));
  delayRow->addWidget(m_delay);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_capture);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(delayRow);
  layout->addWidget(m_status);
  layout->addLayout(buttons);

  connect(m_capture, &QPushButton::clicked, this, &CSnapgrabWindow::Capture);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void CSnapgrabWindow::Capture() {
  hide();
  QTimer::singleShot(m_delay->value() * 1000 + kHideMilliseconds, this, [this] {
    const QImage image = GrabDesktop();
    show();
    raise();
    if (image.isNull()) {
      QMessageBox::warning(this, windowTitle(),
                           QStringLiteral("The screen could not be captured: this desktop does "
                                          "not let programs read the screen."));
      return;
    }
    SaveCapture(image);
  });
}

void CSnapgrabWindow::SaveCapture(const QImage& image) {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
  const QString suggested =
      folder + QStringLiteral("/Screen capture ") +
      QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh.mm.ss")) +
      QStringLiteral(".png");
  const QString png = QStringLiteral("PNG image (*.png)");
  const QString jpeg = QStringLiteral("JPEG image (*.jpg *.jpeg)");
  const QString bmp = QStringLiteral("BMP image (*.bmp)");
  QString filter = png;
  QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Save the screen capture"),
                                              suggested, png + ";;" + jpeg + ";;" + bmp, &filter);
  if (name.isEmpty()) return;
  name = WithSaveExtension(name, filter == jpeg ? "jpg" : (filter == bmp ? "bmp" : "png"));
  QString error;
  if (!SaveScreenshot(image, name, &error)) {
    QMessageBox::warning(this, windowTitle(), error);
    return;
  }
  m_status->setText(QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(name)));
}
