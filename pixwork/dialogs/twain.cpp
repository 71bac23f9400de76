#include "pixwork/twain.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <atomic>
#include <thread>

#include "corekit/queuedcall.h"
#include "pixwork/sanescanner.h"

// The modeless scan dialog: the device's main options, Scan, progress and
// Cancel. The scanner is used by the worker while a scan runs and by this
// dialog otherwise.
class CDlgScan : public QDialog {
 public:
  CDlgScan(CTwain* owner, int count, const tagTWAINVIEWER& viewer, const std::string& device)
      : QDialog(viewer.pMainWindow), m_owner(owner), m_nCount(count), m_viewer(viewer) {
    setWindowTitle(tr("Scan"));
    auto* layout = new QVBoxLayout(this);
    m_form = new QFormLayout;
    layout->addLayout(m_form);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    layout->addWidget(m_progress);
    auto* buttons = new QHBoxLayout;
    m_scan = new QPushButton(tr("Scan"), this);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_close = new QPushButton(tr("Close"), this);
    m_cancel->setEnabled(false);
    buttons->addStretch();
    buttons->addWidget(m_scan);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_close);
    layout->addLayout(buttons);
    connect(m_scan, &QPushButton::clicked, this, [this] { Scan(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_scanner.Cancel(); });
    connect(m_close, &QPushButton::clicked, this, [this] { close(); });
    m_bOpen = m_scanner.Open(device) == 1;
    if (m_bOpen) BuildOptions();
  }

  ~CDlgScan() override {
    m_scanner.Cancel();
    if (m_worker.joinable()) m_worker.join();
  }

  bool IsDeviceOpen() const { return m_bOpen; }
  const MyString& GetError() const { return m_scanner.GetLastError(); }
  bool IsScanning() const { return m_bScanning; }
  CSaneScanner& Scanner() { return m_scanner; }

  void Scan() {
    if (m_bScanning) return;
    if (m_worker.joinable()) m_worker.join();
    m_bScanning = true;
    m_bStopPages = false;
    SetControlsEnabled(false);
    m_progress->setValue(0);
    const bool feeder = m_nCount < 0 && m_scanner.IsFeeder();
    const int pages = feeder ? -1 : std::max(1, m_nCount);
    m_worker = std::thread([this, pages] {
      int done = 0;
      for (;;) {
        Magick::Image image;
        const int result = m_scanner.ScanPage(&image, [this](int percent) {
          QueueCall(this, [this, percent] { m_progress->setValue(percent < 0 ? 0 : percent); });
        });
        if (result != 1) {
          // An empty feeder after the first page is the normal end.
          const bool emptyAfterPages = result == -1 && done > 0;
          const QString text = emptyAfterPages ? QString() : m_scanner.GetLastError().ToQString();
          QueueCall(this, [this, text] { Report(text); });
          break;
        }
        ++done;
        QueueCall(this, [this, image] { Deliver(image); });
        if (m_bStopPages || (pages > 0 && done >= pages)) break;
      }
      m_scanner.EndScan();
      QueueCall(this, [this] { Finished(); });
    });
  }

 protected:
  void closeEvent(QCloseEvent* event) override {
    if (!MayClose()) {
      event->ignore();
      return;
    }
    QDialog::closeEvent(event);
  }
  void reject() override {
    if (MayClose()) QDialog::reject();
  }
  // However it ends (Close, Escape, the window's button), the dialog goes.
  void done(int result) override {
    QDialog::done(result);
    deleteLater();
  }

 private:
  bool MayClose() const { return !m_bScanning && (!m_owner || m_owner->CanClose()); }

  void BuildOptions() {
    const std::vector<tagSANEOPTION> options = m_scanner.GetOptions();
    auto find = [&options](const char* name) -> const tagSANEOPTION* {
      for (const tagSANEOPTION& option : options)
        if (option.strName == name && option.bActive) return &option;
      return nullptr;
    };
    m_form->addRow(tr("Device:"),
                   new QLabel(QString::fromStdString(m_scanner.GetDeviceName()), this));
    for (const char* name : {"source", "mode"}) {
      const tagSANEOPTION* option = find(name);
      if (!option || option->choices.empty()) continue;
      auto* box = new QComboBox(this);
      for (const std::string& choice : option->choices)
        box->addItem(QString::fromStdString(choice));
      box->setCurrentText(QString::fromStdString(option->strValue));
      const std::string optionName = option->strName;
      connect(box, &QComboBox::currentTextChanged, this, [this, optionName](const QString& text) {
        SetOption(optionName, text.toStdString());
      });
      m_form->addRow(QString::fromStdString(option->strTitle) + QLatin1Char(':'), box);
      m_controls.push_back(box);
    }
    for (const char* name : {"resolution", "tl-x", "tl-y", "br-x", "br-y"}) {
      const tagSANEOPTION* option = find(name);
      if (!option) continue;
      if (!option->choices.empty()) {
        auto* box = new QComboBox(this);
        for (const std::string& choice : option->choices)
          box->addItem(QString::fromStdString(choice));
        box->setCurrentText(QString::fromStdString(option->strValue));
        const std::string optionName = option->strName;
        connect(box, &QComboBox::currentTextChanged, this,
                [this, optionName](const QString& t) { SetOption(optionName, t.toStdString()); });
        m_form->addRow(QString::fromStdString(option->strTitle) + QLatin1Char(':'), box);
        m_controls.push_back(box);
        continue;
      }
      auto* spin = new QDoubleSpinBox(this);
      spin->setDecimals(option->nType == SANE_TYPE_FIXED ? 1 : 0);
      spin->setRange(option->dMin, option->dMax > option->dMin ? option->dMax : 1e6);
      spin->setValue(std::atof(option->strValue.c_str()));
      spin->setSuffix(option->nUnit == SANE_UNIT_MM    ? QStringLiteral(" mm")
                      : option->nUnit == SANE_UNIT_DPI ? QStringLiteral(" dpi")
                                                       : QString());
      const std::string optionName = option->strName;
      connect(spin, &QDoubleSpinBox::editingFinished, this, [this, spin, optionName] {
        SetOption(optionName, QString::number(spin->value()).toStdString());
      });
      m_form->addRow(QString::fromStdString(option->strTitle) + QLatin1Char(':'), spin);
      m_controls.push_back(spin);
    }
  }

  void SetOption(const std::string& name, const std::string& value) {
    if (!m_scanner.SetOption(name, value) && m_viewer.onStatus)
      m_viewer.onStatus(m_scanner.GetLastError().ToQString());
  }

  void SetControlsEnabled(bool enabled) {
    for (QWidget* control : m_controls) control->setEnabled(enabled);
    m_scan->setEnabled(enabled);
    m_close->setEnabled(enabled);
    m_cancel->setEnabled(!enabled);
  }

  void Deliver(const Magick::Image& image) {
    const int answer = m_owner ? m_owner->ShouldTransfer() : 0;
    if (answer == 2) {
      m_bStopPages = true;
      m_scanner.Cancel();
      return;
    }
    if (answer != 0 || !m_viewer.onImage) return;
    if (!m_viewer.onImage(image)) {
      m_bStopPages = true;
      m_scanner.Cancel();
    }
  }

  void Report(const QString& text) {
    if (!text.isEmpty() && m_viewer.onStatus) m_viewer.onStatus(text);
  }

  void Finished() {
    if (m_worker.joinable()) m_worker.join();
    m_bScanning = false;
    SetControlsEnabled(true);
    m_progress->setValue(100);
  }

  CTwain* m_owner;
  int m_nCount;
  tagTWAINVIEWER m_viewer;
  CSaneScanner m_scanner;
  bool m_bOpen = false;
  std::atomic<bool> m_bScanning{false};
  std::atomic<bool> m_bStopPages{false};
  QFormLayout* m_form;
  QProgressBar* m_progress;
  QPushButton* m_scan;
  QPushButton* m_cancel;
  QPushButton* m_close;
  std::vector<QWidget*> m_controls;
  std::thread m_worker;
};

CTwain::CTwain() = default;

CTwain::~CTwain() { ReleaseTwain(); }

int CTwain::InitTwain(QWidget*) {
  if (m_bAvailable) return 1;
  m_bAvailable = CSaneScanner::Init() == 1;
  return m_bAvailable ? 1 : 0;
}

int CTwain::SelectSource(const tagTWAINVIEWER& viewer) {
  if (!m_bAvailable) return 0;
  QDialog dialog(viewer.pMainWindow);
  dialog.setWindowTitle(QObject::tr("Select Source"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* list = new QListWidget(&dialog);
  list->addItem(QObject::tr("Looking for scanners ..."));
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);

  // Listing may take seconds (network scanners): on a worker.
  std::atomic<bool> finished{false};
  std::vector<tagSANEDEVICE> devices;
  MyString error;
  std::thread worker([&] {
    CSaneScanner::ListDevices(&devices, &error);
    finished = true;
    QueueCall(&dialog, [&] {
      list->clear();
      for (const tagSANEDEVICE& device : devices) {
        auto* item = new QListWidgetItem(
            QString::fromStdString(device.strLabel + " (" + device.strName + ")"), list);
        item->setData(Qt::UserRole, QString::fromStdString(device.strName));
        if (device.strName == m_strSource) list->setCurrentItem(item);
      }
      if (devices.empty())
        list->addItem(QObject::tr("No scanner was found."));
      else if (!list->currentItem())
        list->setCurrentRow(0);
      buttons->button(QDialogButtonBox::Ok)->setEnabled(!devices.empty());
    });
  });
  const int result = dialog.exec();
  while (!finished) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  worker.join();
  QCoreApplication::removePostedEvents(&dialog);
  if (result != QDialog::Accepted || !list->currentItem()) return 0;
  const QString name = list->currentItem()->data(Qt::UserRole).toString();
  if (name.isEmpty()) return 0;
  m_strSource = name.toStdString();
  return 1;
}

int CTwain::Acquire(int count, const tagTWAINVIEWER& viewer) {
  if (!m_bAvailable) {
    if (viewer.onStatus) viewer.onStatus(QObject::tr("Scanning is not available."));
    return 0;
  }
  if (m_dialog) {
    m_dialog->raise();
    m_dialog->activateWindow();
    return 1;
  }
  auto* dialog = new CDlgScan(this, count, viewer, m_strSource);
  if (!dialog->IsDeviceOpen()) {
    if (viewer.onStatus) viewer.onStatus(dialog->GetError().ToQString());
    delete dialog;
    return 0;
  }
  m_dialog = dialog;
  dialog->show();
  return 1;
}

void CTwain::ReleaseTwain() {
  if (m_dialog) delete m_dialog.data();
  if (m_bAvailable) CSaneScanner::Exit();
  m_bAvailable = false;
}
