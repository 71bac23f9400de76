#include "gathrex/transferdialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "corekit/dll2lorimo.h"
#include "corekit/queuedcall.h"
#include "corekit/registry.h"
#include "corekit_ui/controls.h"

namespace {

constexpr char16_t kLorimoKey[] = u"Software\\ZOKA\\Lorimo";
constexpr int kThumbSide = 100;

enum : int {
  IDC_AUTOMATIC = 1001,
  IDC_MANUAL,
  IDC_LOCATION,
  IDC_SELECT_ALL,
  IDC_CLEAR_ALL,
  IDC_BROWSE,
  IDC_START,
};

// The list model's role holding the row's index in m_items.
constexpr int kRowRole = Qt::UserRole + 1;

enum : int { COL_NAME, COL_SIZE, COL_TYPE, COL_DATE, COL_DIMENSIONS, COL_COUNT };

bool IsPicture(const MyString& path) {
  const tagTRANSFERHOOKS& hooks = TransferHooks();
  return hooks.isPicture ? hooks.isPicture(path) : CDll2LorimoMessage::IsLorimoFile(path) == 1;
}

MyStringList Volumes() {
  const tagTRANSFERHOOKS& hooks = TransferHooks();
  return hooks.volumes ? hooks.volumes() : MyStringList();
}

// Waits for a worker while the event loop runs: the worker may be asking the
// program (on this thread) for a thumbnail.
void JoinPumping(std::thread& worker, const std::atomic<bool>& finished) {
  if (!worker.joinable()) return;
  while (!finished.load()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  worker.join();
}

QImage FromBitmap(HBITMAP bitmap) {
  if (!bitmap || !bitmap->pPixels) return {};
  const QImage image = QImage(bitmap->pPixels, bitmap->nWidth, bitmap->nHeight, bitmap->nStride,
                              QImage::Format_ARGB32)
                           .copy();
  DeleteBitmap32(bitmap);
  return image;
}

// "name: reason" lines of a transfer's failures, empty when there were none.
QString FailureText(const std::vector<tagTRANSFERFAILURE>& failures) {
  QString text;
  for (const tagTRANSFERFAILURE& failure : failures)
    text += failure.strName.ToQString() + QStringLiteral(": ") + failure.strReason.ToQString() +
            QLatin1Char('\n');
  return text;
}

void ReportFailures(QWidget* parent, const std::vector<tagTRANSFERFAILURE>& failures) {
  if (failures.empty()) return;
  QMessageBox box(QMessageBox::Warning, QObject::tr("Lorimo: Picture transfer"),
                  QObject::tr("%n file(s) could not be transferred. They are still on the device.",
                              nullptr, int(failures.size())),
                  QMessageBox::Ok, parent);
  box.setDetailedText(FailureText(failures));
  box.exec();
}

// Sorts the list by the rows' own records (CompareListItems).
class CListSorter : public QSortFilterProxyModel {
 public:
  CListSorter(const std::vector<tagOURLISTITEMDATA>* items, QObject* parent)
      : QSortFilterProxyModel(parent), m_items(items) {}

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
    const size_t a = size_t(sourceModel()->index(left.row(), 0).data(kRowRole).toInt());
    const size_t b = size_t(sourceModel()->index(right.row(), 0).data(kRowRole).toInt());
    if (a >= m_items->size() || b >= m_items->size()) return a < b;
    return CompareListItems((*m_items)[a], (*m_items)[b], left.column()) < 0;
  }

 private:
  const std::vector<tagOURLISTITEMDATA>* m_items;
};

// The progress window itself (texts of the transfer dialogs).
class CDlgProgress : public QDialog {
 public:
  CDlgProgress(QWidget* owner, std::atomic<bool>* stop) : QDialog(owner), m_stop(stop) {
    setWindowTitle(tr("Progress"));
    auto* layout = new QGridLayout(this);
    m_name = new QLabel(tr("Transferring"), this);
    m_name->setMinimumWidth(320);
    layout->addWidget(m_name, 0, 0, 1, 2);
    m_bar = new QProgressBar(this);
    layout->addWidget(m_bar, 1, 0, 1, 2);
    layout->addWidget(new QLabel(tr("Files Transferred:"), this), 2, 0);
    layout->addWidget(new QLabel(tr("Files Remaining:"), this), 3, 0);
    layout->addWidget(new QLabel(tr("Total Files:"), this), 4, 0);
    for (int i = 0; i < 3; ++i) {
      m_counts[i] = new QLabel(QStringLiteral("0"), this);
      layout->addWidget(m_counts[i], 2 + i, 1);
    }
    auto* cancel = new QPushButton(tr("Cancel"), this);
    layout->addWidget(cancel, 5, 1, Qt::AlignRight);
    connect(cancel, &QPushButton::clicked, this, [this] { Cancel(); });
  }

  void Show(size_t index, size_t count, const MyString& name) {
    m_name->setText(tr("Transferring") + QLatin1Char(' ') + name.ToQString() +
                    QStringLiteral(" ..."));
    m_bar->setRange(0, int(count));
    m_bar->setValue(int(index));
    m_counts[0]->setText(QString::number(index));
    m_counts[1]->setText(QString::number(count - index));
    m_counts[2]->setText(QString::number(count));
  }

 protected:
  void reject() override { Cancel(); }

 private:
  void Cancel() {
    m_stop->store(true);
    m_name->setText(tr("Cancelling ..."));
  }

  std::atomic<bool>* m_stop;
  QLabel* m_name;
  QProgressBar* m_bar;
  QLabel* m_counts[3];
};

}  // namespace

tagTRANSFERHOOKS& TransferHooks() {
  static tagTRANSFERHOOKS hooks;
  return hooks;
}

int CompareListItems(const tagOURLISTITEMDATA& a, const tagOURLISTITEMDATA& b, int column) {
  switch (column) {
    case COL_SIZE:
      return a.nSize < b.nSize ? -1 : a.nSize > b.nSize;
    case COL_DATE:
      return a.date < b.date ? -1 : b.date < a.date;
    case COL_DIMENSIONS:
      return a.nWidth < b.nWidth ? -1 : a.nWidth > b.nWidth;
    default:
      return a.strName.Compare(b.strName);
  }
}

void CTransferProgress::Run(QWidget* owner, const Work& work) {
  std::atomic<bool> stop{false};
  std::atomic<bool> finished{false};
  CDlgProgress progress(owner, &stop);
  progress.setModal(true);
  progress.show();
  std::thread worker([&] {
    work(stop, [&progress](size_t index, size_t count, const MyString& name) {
      QueueCall(&progress, [&progress, index, count, name] { progress.Show(index, count, name); });
    });
    finished = true;
  });
  JoinPumping(worker, finished);
  // Progress reports still queued go with the window.
  QCoreApplication::removePostedEvents(&progress);
}

// ---------------------------------------------------------------------------

CDlgTransferWizard::CDlgTransferWizard(QWidget* owner, const MyString& device)
    : CDialog(owner), m_strDevice(device) {}

CDlgTransferWizard::~CDlgTransferWizard() = default;

int CDlgTransferWizard::OnInitDialog() {
  setWindowTitle(tr("Lorimo Image Transfer"));
  auto* layout = new QVBoxLayout(this);
  auto* automatic = new QPushButton(tr("Automatic File Transfer"), this);
  automatic->setMinimumHeight(48);
  layout->addWidget(automatic);
  auto* explanation = new QHBoxLayout;
  explanation->addWidget(new QLabel(
      tr("Select this option to copy all the files to your computer. A new folder will be "
         "created in the"),
      this));
  auto* location = new QLabel(tr("location"), this);
  ConvertStaticToHyperlink(location, IDC_LOCATION);
  explanation->addWidget(location);
  explanation->addWidget(new QLabel(tr("you've specified."), this));
  explanation->addStretch();
  layout->addLayout(explanation);
  auto* manual = new QPushButton(tr("Manual File Transfer"), this);
  manual->setMinimumHeight(48);
  layout->addWidget(manual);
  SetDlgItem(IDC_AUTOMATIC, automatic);
  SetDlgItem(IDC_MANUAL, manual);
  return 1;
}

int CDlgTransferWizard::OnCommand(int id) {
  if (m_bBusy && id != IDC_LOCATION) return 1;
  switch (id) {
    case IDC_AUTOMATIC:
      if (AutomaticTransfer()) EndDialog(IDOK);
      return 1;
    case IDC_LOCATION: {
      MyString folder;
      ChooseDestination(this, &folder);
      return 1;
    }
    case IDC_MANUAL: {
      hide();
      CDlgManualTransfer manual(parentWidget(), m_strDevice);
      m_manual = &manual;
      manual.DoModal();
      m_manual = nullptr;
      EndDialog(IDCANCEL);
      return 1;
    }
    default:
      return CDialog::OnCommand(id);
  }
}

void CDlgTransferWizard::NotifyConnectedDevice(const MyString& device) {
  if (m_manual) m_manual->NotifyConnectedDevice(device);
}

void CDlgTransferWizard::NotifyDisconnectedDevice(const MyString& device) {
  if (m_manual) {
    m_manual->NotifyDisconnectedDevice(device);
    return;
  }
  // Our device went away before anything started: nothing left to offer.
  if (device == m_strDevice && !m_bBusy && IsOpen()) EndDialog(IDCANCEL);
}

MyString CDlgTransferWizard::StoredDestination() {
  MyString folder;
  CRegistry(HKEY_CURRENT_USER, kLorimoKey).GetValue(kWiaDestDirValue, folder);
  return folder;
}

int CDlgTransferWizard::ChooseDestination(QWidget* parent, MyString* folder) {
  const QString chosen = QFileDialog::getExistingDirectory(
      parent, tr("Please choose the directory where the pictures will be stored."),
      StoredDestination().ToQString());
  if (chosen.isEmpty()) return 0;
  *folder = MyString::FromQString(chosen);
  CRegistry registry(HKEY_CURRENT_USER, kLorimoKey);
  registry.SetValue(kWiaDestDirValue, *folder);
  registry.Flush();
  return 1;
}

int CDlgTransferWizard::AutomaticTransfer() {
  MyString destination = StoredDestination();
  while (destination.IsEmpty())
    if (!ChooseDestination(this, &destination)) return 0;
  MyString target;
  if (!MakeDatedFolder(destination, QDate::currentDate(), &target)) {
    QMessageBox::critical(this, tr("Error"), tr("Could not create destination directory!"));
    return 0;
  }

  m_bBusy = true;
  setEnabled(false);
  size_t placed = 0;
  bool stopped = false;
  bool nothing = false;
  MyString cameraError;
  bool libraryFailure = false;
  std::vector<tagTRANSFERFAILURE> failures;
  const MyString device = m_strDevice;
  CTransferProgress::Run(this,
                         [&](const std::atomic<bool>& stop, CTransferEngine::Progress progress) {
                           CTransferEngine engine(target);
                           engine.SetStop(&stop);
                           engine.SetProgress(std::move(progress));
                           if (IsVolumeDevice(device)) {
                             const MyStringList files = CollectPictures(device, IsPicture, &stop);
                             nothing = files.GetListLength() == 0 && !stop.load();
                             if (!nothing) placed = engine.TransferFiles(files);
                           } else {
                             CCameraDevice camera;
                             std::vector<tagCAMERAFILE> files;
                             if (!camera.Open(device) || !camera.ListFiles(&files, &stop)) {
                               cameraError = camera.GetLastError();
                               libraryFailure = camera.IsLibraryFailure();
                               return;
                             }
                             placed = engine.TransferCameraFiles(&camera, files);
                           }
                           stopped = engine.WasStopped();
                           failures = engine.GetFailures();
                         });
  setEnabled(true);
  m_bBusy = false;

  if (!cameraError.IsEmpty()) {
    QMessageBox::critical(this, tr("Fatal Error"),
                          (libraryFailure ? tr("WIA Initialization failure !")
                                          : tr("Device initialization failure!")) +
                              QStringLiteral("\n\n") + cameraError.ToQString());
    return 0;
  }
  if (nothing) {
    QMessageBox::critical(this, tr("Error"), tr("Lorimo cannot find any picture on this device !"));
    return 0;
  }
  ReportFailures(this, failures);
  if (stopped || placed == 0) return 0;
  CDll2LorimoMessage::DisplayDirectoryImages(target);
  return 1;
}

// ---------------------------------------------------------------------------

CDlgManualTransfer::CDlgManualTransfer(QWidget* owner, const MyString& device)
    : CDialog(owner), m_strDevice(device) {}

CDlgManualTransfer::~CDlgManualTransfer() {
  StopLoading();
  if (m_lister.joinable()) m_lister.join();
}

int CDlgManualTransfer::OnInitDialog() {
  setWindowTitle(tr("Lorimo File Transfer"));
  resize(820, 560);
  auto* grid = new QGridLayout(this);

  grid->addWidget(new QLabel(tr("Available devices:"), this), 0, 0);
  m_devices = new QTreeWidget(this);
  m_devices->setHeaderHidden(true);
  m_devices->setMaximumWidth(260);
  grid->addWidget(m_devices, 1, 0, 2, 1);

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(tr("Select the files to transfer:"), this));
  top->addStretch();
  top->addWidget(new QLabel(tr("Views:"), this));
  m_views = new QComboBox(this);
  m_views->addItem(tr("Thumbnails"));
  m_views->addItem(tr("Details"));
  top->addWidget(m_views);
  grid->addLayout(top, 0, 1);

  m_model = new QStandardItemModel(0, COL_COUNT, this);
  m_model->setHorizontalHeaderLabels(
      {tr("Name"), tr("Size"), tr("Type"), tr("Date Picture Taken"), tr("Dimensions")});
  m_sorted = new CListSorter(&m_items, this);
  m_sorted->setSourceModel(m_model);
  m_stack = new QStackedWidget(this);
  m_thumbs = new QListView(this);
  m_thumbs->setViewMode(QListView::IconMode);
  m_thumbs->setIconSize(QSize(kThumbSide, kThumbSide));
  m_thumbs->setGridSize(QSize(kThumbSide + 40, kThumbSide + 36));
  m_thumbs->setResizeMode(QListView::Adjust);
  m_thumbs->setMovement(QListView::Static);
  m_thumbs->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_thumbs->setModel(m_sorted);
  m_details = new QTreeView(this);
  m_details->setRootIsDecorated(false);
  m_details->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_details->setModel(m_sorted);
  m_details->setSelectionModel(m_thumbs->selectionModel());
  m_details->setSortingEnabled(true);
  m_details->sortByColumn(-1, Qt::AscendingOrder);
  m_listText = new QLabel(this);
  m_listText->setAlignment(Qt::AlignCenter);
  m_stack->addWidget(m_thumbs);
  m_stack->addWidget(m_details);
  m_stack->addWidget(m_listText);
  grid->addWidget(m_stack, 1, 1);

  auto* selection = new QHBoxLayout;
  auto* selectAll = new QPushButton(tr("Select All"), this);
  auto* clearAll = new QPushButton(tr("Clear All"), this);
  selection->addStretch();
  selection->addWidget(selectAll);
  selection->addWidget(clearAll);
  grid->addLayout(selection, 2, 1);

  auto* location = new QHBoxLayout;
  location->addWidget(new QLabel(tr("File transfer location:"), this));
  m_destination = new QLineEdit(this);
  location->addWidget(m_destination, 1);
  auto* browse = new QPushButton(tr("Browse ..."), this);
  location->addWidget(browse);
  grid->addLayout(location, 3, 0, 1, 2);
  m_delete = new QCheckBox(tr("Delete files from device after file transfer is complete."), this);
  m_dated = new QCheckBox(tr("Create and transfer to a subdirectory with today's date."), this);
  grid->addWidget(m_delete, 4, 0, 1, 2);
  grid->addWidget(m_dated, 5, 0, 1, 2);
  auto* buttons = new QHBoxLayout;
  auto* start = new QPushButton(tr("&Start Transfer"), this);
  auto* close = new QPushButton(tr("&Close"), this);
  buttons->addStretch();
  buttons->addWidget(start);
  buttons->addWidget(close);
  grid->addLayout(buttons, 6, 0, 1, 2);
  grid->setColumnStretch(1, 1);

  SetDlgItem(IDC_SELECT_ALL, selectAll);
  SetDlgItem(IDC_CLEAR_ALL, clearAll);
  SetDlgItem(IDC_BROWSE, browse);
  SetDlgItem(IDC_START, start);
  SetDlgItem(IDCANCEL, close);

  CRegistry registry(HKEY_CURRENT_USER, kLorimoKey);
  MyString destination;
  registry.GetValue(kWiaDestDirValue, destination);
  m_destination->setText(destination.ToQString());
  uint32_t mode = 1;
  registry.GetValue(kWiaListModeValue, mode);
  SetListMode(mode ? 1 : 0);
  connect(m_views, &QComboBox::currentIndexChanged, this,
          [this](int index) { SetListMode(index == 0 ? 1 : 0); });
  connect(m_devices, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
            if (item) LoadDevice(MyString::FromQString(item->data(0, Qt::UserRole).toString()));
          });

  // Cards come from the program's volume list; cameras are asked for on a
  // worker, with the buttons off meanwhile.
  SetButtonsEnabled(false);
  for (const MyString& volume : Volumes()) AddDevice(volume, {});
  if (!m_strDevice.IsEmpty()) AddDevice(m_strDevice, {});
  m_lister = std::thread([this] {
    std::vector<tagCAMERAPORT> cameras;
    CCameraDevice::Autodetect(&cameras);
    QueueCall(this, [this, cameras] {
      for (const tagCAMERAPORT& camera : cameras) AddDevice(camera.strPort, camera.strModel);
      SetButtonsEnabled(true);
    });
  });
  if (!m_strDevice.IsEmpty()) SelectDevice(m_strDevice);
  return 1;
}

void CDlgManualTransfer::OnDestroy() {
  StopLoading();
  CRegistry registry(HKEY_CURRENT_USER, kLorimoKey);
  registry.SetValue(kWiaListModeValue, uint32_t(m_nListMode));
  registry.Flush();
}

void CDlgManualTransfer::SetButtonsEnabled(bool enabled) {
  for (int id : {int(IDC_SELECT_ALL), int(IDC_CLEAR_ALL), int(IDC_START), int(IDCANCEL)})
    if (QWidget* control = GetDlgItem(id)) control->setEnabled(enabled);
}

void CDlgManualTransfer::SetListMode(int mode) {
  m_nListMode = mode;
  m_views->blockSignals(true);
  m_views->setCurrentIndex(mode == 1 ? 0 : 1);
  m_views->blockSignals(false);
  if (m_stack->currentWidget() != m_listText)
    m_stack->setCurrentWidget(mode ? static_cast<QWidget*>(m_thumbs) : m_details);
}

void CDlgManualTransfer::ShowListText(const QString& text) {
  m_listText->setText(text);
  m_stack->setCurrentWidget(text.isEmpty() ? (m_nListMode ? static_cast<QWidget*>(m_thumbs)
                                                          : static_cast<QWidget*>(m_details))
                                           : m_listText);
}

MyStringList CDlgManualTransfer::GetDevices() const {
  MyStringList devices;
  for (int i = 0; m_devices && i < m_devices->topLevelItemCount(); ++i)
    devices.Append(
        MyString::FromQString(m_devices->topLevelItem(i)->data(0, Qt::UserRole).toString()));
  return devices;
}

void CDlgManualTransfer::AddDevice(const MyString& device, const MyString& label) {
  if (device.IsEmpty() || !m_devices) return;
  for (const MyString& known : GetDevices())
    if (known == device) return;
  auto* item = new QTreeWidgetItem(m_devices);
  const bool volume = IsVolumeDevice(device);
  item->setText(0, label.IsEmpty() ? device.ToQString()
                                   : label.ToQString() + QStringLiteral(" (") + device.ToQString() +
                                         QLatin1Char(')'));
  item->setData(0, Qt::UserRole, device.ToQString());
  item->setIcon(0, style()->standardIcon(volume ? QStyle::SP_DriveFDIcon : QStyle::SP_DriveCDIcon));
}

void CDlgManualTransfer::SelectDevice(const MyString& device) {
  for (int i = 0; i < m_devices->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = m_devices->topLevelItem(i);
    if (MyString::FromQString(item->data(0, Qt::UserRole).toString()) == device) {
      if (m_devices->currentItem() == item)
        LoadDevice(device);
      else
        m_devices->setCurrentItem(item);
      return;
    }
  }
}

void CDlgManualTransfer::NotifyConnectedDevice(const MyString& device) { AddDevice(device, {}); }

void CDlgManualTransfer::NotifyDisconnectedDevice(const MyString& device) {
  for (int i = 0; i < m_devices->topLevelItemCount(); ++i) {
    if (MyString::FromQString(m_devices->topLevelItem(i)->data(0, Qt::UserRole).toString()) !=
        device)
      continue;
    if (device == m_strShown) {
      StopLoading();
      m_model->removeRows(0, m_model->rowCount());
      m_items.clear();
      m_strShown = MyString();
      ShowListText({});
    }
    delete m_devices->takeTopLevelItem(i);
    return;
  }
}

void CDlgManualTransfer::StopLoading() {
  ++m_nRequest;
  m_stop = true;
  if (m_worker.joinable()) {
    // The worker may be waiting on this thread for a thumbnail.
    while (m_bLoading) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    m_worker.join();
  }
  m_stop = false;
  m_bLoading = false;
}

void CDlgManualTransfer::LoadDevice(const MyString& device) {
  StopLoading();
  m_model->removeRows(0, m_model->rowCount());
  m_items.clear();
  m_strShown = device;
  m_bLoading = true;
  ShowListText(tr("Loading content, please wait ..."));
  const int request = m_nRequest;
  m_worker = std::thread([this, device, request] {
    auto post = [this, request](tagOURLISTITEMDATA item, QImage thumbnail) {
      QueueCall(this, [this, request, item = std::move(item), thumbnail]() mutable {
        if (request == m_nRequest) AddRow(std::move(item), thumbnail);
      });
    };
    if (IsVolumeDevice(device)) {
      for (const MyString& path : CollectPictures(device, IsPicture, &m_stop)) {
        if (m_stop) break;
        tagOURLISTITEMDATA item;
        item.strName = path;
        const QFileInfo info(path.ToQString());
        item.nSize = info.size();
        item.date = info.lastModified();
        const SIZE want{kThumbSide, kThumbSide};
        SIZE size{0, 0};
        const QImage thumbnail = FromBitmap(CDll2LorimoMessage::ReadImage(path, &want, &size));
        item.nWidth = size.cx;
        item.nHeight = size.cy;
        post(std::move(item), thumbnail);
      }
    } else {
      CCameraDevice camera;
      std::vector<tagCAMERAFILE> files;
      if (camera.Open(device) && camera.ListFiles(&files, &m_stop)) {
        std::string preview;
        for (const tagCAMERAFILE& file : files) {
          if (m_stop) break;
          tagOURLISTITEMDATA item;
          item.strName = PlainFileName(file.strName);
          item.nSize = std::max<int64_t>(file.nSize, 0);
          if (file.nTime) item.date = QDateTime::fromSecsSinceEpoch(file.nTime).toLocalTime();
          item.nWidth = file.nWidth;
          item.nHeight = file.nHeight;
          item.bCamera = true;
          item.camera = file;
          QImage thumbnail;
          if (camera.ReadFile(file, &preview, true, &m_stop))
            thumbnail.loadFromData(reinterpret_cast<const uchar*>(preview.data()),
                                   int(preview.size()));
          post(std::move(item), thumbnail);
        }
      }
    }
    QueueCall(this, [this, request] {
      if (request != m_nRequest) return;
      m_bLoading = false;
      if (m_items.empty())
        ShowListText(tr("There are no pictures Lorimo can read on this device."));
    });
    // Lets StopLoading's wait end even when the call above is dropped.
    QueueCall(this, [this, request] {
      if (request != m_nRequest) m_bLoading = false;
    });
  });
}

void CDlgManualTransfer::AddRow(tagOURLISTITEMDATA item, const QImage& thumbnail) {
  if (m_items.empty()) ShowListText({});
  const QLocale locale = QLocale::system();
  QPixmap square(kThumbSide, kThumbSide);
  square.fill(Qt::white);
  if (!thumbnail.isNull()) {
    const QImage scaled =
        thumbnail.scaled(kThumbSide, kThumbSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&square);
    painter.drawImage((kThumbSide - scaled.width()) / 2, (kThumbSide - scaled.height()) / 2,
                      scaled);
  }
  item.nImage = int(m_items.size());
  const QMimeType type =
      QMimeDatabase().mimeTypeForFile(item.strName.ToQString(), QMimeDatabase::MatchExtension);
  const int row = int(m_items.size());
  QList<QStandardItem*> cells;
  auto* name = new QStandardItem(QIcon(square), item.strName.GetStringTitleExt().ToQString());
  name->setToolTip(item.strName.ToQString());
  name->setData(row, kRowRole);
  name->setEditable(false);
  cells << name;
  auto cell = [&cells](const QString& text, const QIcon& icon = {}) {
    auto* c = new QStandardItem(icon, text);
    c->setEditable(false);
    cells << c;
  };
  cell(locale.formattedDataSize(item.nSize));
  cell(type.comment(), QIcon::fromTheme(type.iconName()));
  cell(item.date.isValid()
           ? locale.toString(item.date.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                 locale.toString(item.date.time(), QLocale::ShortFormat)
           : QString());
  cell(item.nWidth > 0 && item.nHeight > 0
           ? QStringLiteral("%1 x %2").arg(item.nWidth).arg(item.nHeight)
           : tr("Unknown"));
  m_items.push_back(std::move(item));
  m_model->appendRow(cells);
}

void CDlgManualTransfer::SortBy(int column, bool ascending) {
  m_details->sortByColumn(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

std::vector<int> CDlgManualTransfer::GetShownRows() const {
  std::vector<int> rows;
  for (int i = 0; i < m_sorted->rowCount(); ++i)
    rows.push_back(m_sorted->data(m_sorted->index(i, 0), kRowRole).toInt());
  return rows;
}

std::vector<int> CDlgManualTransfer::SelectedRows() const {
  // In list order: the order the rows show in.
  std::vector<int> rows;
  for (int i = 0; i < m_sorted->rowCount(); ++i) {
    const QModelIndex index = m_sorted->index(i, 0);
    if (m_thumbs->selectionModel()->isSelected(index))
      rows.push_back(m_sorted->data(index, kRowRole).toInt());
  }
  return rows;
}

void CDlgManualTransfer::SetDestination(const MyString& folder) {
  m_destination->setText(folder.ToQString());
}
void CDlgManualTransfer::SetDeleteAfter(bool deleteAfter) { m_delete->setChecked(deleteAfter); }
void CDlgManualTransfer::SetDatedFolder(bool dated) { m_dated->setChecked(dated); }

int CDlgManualTransfer::OnCommand(int id) {
  switch (id) {
    case IDC_SELECT_ALL:
      m_thumbs->selectAll();
      return 1;
    case IDC_CLEAR_ALL:
      m_thumbs->clearSelection();
      return 1;
    case IDC_BROWSE: {
      MyString folder;
      if (CDlgTransferWizard::ChooseDestination(this, &folder)) SetDestination(folder);
      return 1;
    }
    case IDC_START:
      StartTransfer();
      return 1;
    default:
      return CDialog::OnCommand(id);
  }
}

int CDlgManualTransfer::StartTransfer() {
  const std::vector<int> rows = SelectedRows();
  if (rows.empty()) {
    QMessageBox::warning(this, tr("No selection"), tr("Please select at least one image!"));
    return 0;
  }
  const MyString destination = MyString::FromQString(m_destination->text());
  if (destination.IsEmpty() || !QFileInfo(destination.ToQString()).isDir()) {
    QMessageBox::critical(this, tr("Invalid destination"),
                          tr("Please specify a valid destination directory!"));
    return 0;
  }
  MyString target = destination;
  if (m_dated->isChecked() && !MakeDatedFolder(destination, QDate::currentDate(), &target)) {
    QMessageBox::critical(this, tr("Error"), tr("Could not create destination directory!"));
    return 0;
  }

  SetButtonsEnabled(false);
  StopLoading();
  MyStringList files;
  std::vector<tagCAMERAFILE> cameraFiles;
  std::vector<int> cameraRows, fileRows;
  for (int row : rows) {
    if (m_items[row].bCamera) {
      cameraFiles.push_back(m_items[row].camera);
      cameraRows.push_back(row);
    } else {
      files.Append(m_items[row].strName);
      fileRows.push_back(row);
    }
  }
  const bool deleteAfter = m_delete->isChecked();
  const MyString device = m_strShown;
  MyStringList fileTargets, cameraTargets;
  std::vector<tagTRANSFERFAILURE> failures;
  CTransferProgress::Run(
      this, [&](const std::atomic<bool>& stop, CTransferEngine::Progress progress) {
        CTransferEngine engine(target);
        engine.SetStop(&stop);
        engine.SetDeleteAfter(deleteAfter);
        engine.SetProgress(progress);
        if (files.GetListLength()) {
          engine.TransferFiles(files);
          fileTargets = engine.GetTargets();
          failures = engine.GetFailures();
        }
        if (!cameraFiles.empty() && !stop.load()) {
          CCameraDevice camera;
          if (!camera.Open(device)) {
            failures.push_back({device, camera.GetLastError()});
            return;
          }
          engine.TransferCameraFiles(&camera, cameraFiles);
          cameraTargets = engine.GetTargets();
          failures.insert(failures.end(), engine.GetFailures().begin(), engine.GetFailures().end());
        }
      });

  // Rows whose pictures left the device go; failed ones stay.
  if (deleteAfter) {
    std::vector<int> gone;
    auto failed = [&failures](const MyString& name) {
      for (const tagTRANSFERFAILURE& failure : failures)
        if (failure.strName == name) return true;
      return false;
    };
    for (size_t i = 0; i < fileRows.size() && i < fileTargets.GetListLength(); ++i)
      if (!fileTargets[i].IsEmpty() && !failed(files[i])) gone.push_back(fileRows[i]);
    for (size_t i = 0; i < cameraRows.size() && i < cameraTargets.GetListLength(); ++i)
      if (!cameraTargets[i].IsEmpty() && !failed(cameraFiles[i].strName))
        gone.push_back(cameraRows[i]);
    std::sort(gone.begin(), gone.end(), std::greater<int>());
    for (int row : gone) {
      m_items.erase(m_items.begin() + row);
      m_model->removeRow(row);
    }
    for (int row = 0; row < m_model->rowCount(); ++row)
      m_model->item(row, 0)->setData(row, kRowRole);
  }
  SetButtonsEnabled(true);
  ReportFailures(this, failures);
  CDll2LorimoMessage::DisplayDirectoryImages(target);
  return 1;
}
