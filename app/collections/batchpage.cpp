#include "collections/batchpage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "collections/batchsettings.h"
#include "collections/slidepreview.h"
#include "corekit/datafile.h"
#include "corekit/slidesfile.h"
#include "pixwork/dlgbatchresize.h"
#include "pixwork/formats.h"
#include "pixwork/sortedlistctrl.h"
#include "shell/commandids.h"
#include "shell/commandrouter.h"
#include "shell/filedialogfilter.h"
#include "shell/mainframe.h"
#include "shell/programhooks.h"
#include "shell/settings.h"
#include "viewer/edit/imageedits.h"

namespace {

enum : int {
  IDC_BATCH_ADD = 1501,
  IDC_BATCH_REMOVE = 1502,
  IDC_BATCH_UP = 1503,
  IDC_BATCH_DOWN = 1504,
  IDC_BATCH_APPLY = 1505,
};

enum : int { COL_NAME = 0, COL_SIZE = 1, COL_TYPE = 2, COL_MODIFIED = 3 };

int IntOf(const QLineEdit* edit, int fallback) {
  bool bOk = false;
  const int n = edit->text().toInt(&bOk);
  return bOk ? n : fallback;
}

}  // namespace

CBatchPage::CBatchPage(QWidget* parent) : QWidget(parent) {
  setWindowTitle(tr("File batch processing"));
  Build();
  showError = [this](const QString& text, const QString& caption) {
    QMessageBox::warning(this, caption, text);
  };
  askFiles = [this] {
    MyStringList files;
    const QStringList chosen = QFileDialog::getOpenFileNames(
        this, tr("Add"), m_pDestination->text(), QtFilterFromFilterText(GetOpenFilterWithoutLRM()));
    for (const QString& f : chosen) files.Append(MyString::FromQString(f));
    return files;
  };
  askFolder = [this] {
    return MyString::FromQString(QFileDialog::getExistingDirectory(
        this, tr("Please choose a directory where your files should be stored."),
        m_pDestination->text()));
  };
  askResize = [this](BATCHRESIZEOPTIONS* options) {
    CDlgBatchResize dialog(this);
    dialog.SetOptions(*options);
    if (dialog.DoModal() != IDOK) return false;
    *options = dialog.GetOptions();
    return true;
  };
  askAngle = [this](MyString* angle) {
    bool bOk = false;
    const QString text = QInputDialog::getText(this, tr("Rotate"), tr("Angle (degrees):"),
                                               QLineEdit::Normal, angle->ToQString(), &bOk);
    double degrees = 0;
    if (!bOk || !CImageEdits::ParseAngle(MyString::FromQString(text), &degrees)) return false;
    *angle = MyString::FromQString(text.trimmed());
    return true;
  };
  const tagRENCONV& numbers = GetLorimoSettings().renConv;
  m_pCutFirst->setText(QString::number(numbers.iCutF));
  m_pCutLast->setText(QString::number(numbers.iCutB));
  m_pNumber->setText(numbers.iNUMStart < 0 ? QString() : QString::number(numbers.iNUMStart));
  m_pIncrement->setText(QString::number(std::max(1, numbers.iNUMInc)));
  m_pPreviewCheck->setChecked(GetLorimoSettings().dwPreviewRename != 0);
  m_pPreview->SetPreviewEnabled(m_pPreviewCheck->isChecked());
  UpdateControls();
  UpdateExample();
}

CBatchPage::~CBatchPage() {
  GetLorimoSettings().StorePreviewRename(m_pPreviewCheck->isChecked() ? 1 : 0);
}

void CBatchPage::Build() {
  auto* listBox = new QGroupBox(tr("Selected files in processing order:"), this);
  auto* listLayout = new QVBoxLayout(listBox);
  auto* buttons = new QHBoxLayout;
  const struct {
    const char* text;
    std::function<void()> action;
  } listButtons[] = {{"Add", [this] { OnAdd(); }},
                     {"Remove", [this] { OnRemove(); }},
                     {"Move Up", [this] { m_pList->MoveSelectedUp(); }},
                     {"Move Down", [this] { m_pList->MoveSelectedDown(); }}};
  for (const auto& b : listButtons) {
    auto* button = new QPushButton(tr(b.text), listBox);
    connect(button, &QPushButton::clicked, this, b.action);
    buttons->addWidget(button);
  }
  m_pPreviewCheck = new QCheckBox(tr("Preview"), listBox);
  buttons->addStretch();
  buttons->addWidget(m_pPreviewCheck);
  m_pList = new CSortedListCtrl(listBox);
  m_pList->AddColumn(tr("Name"), SLC_TEXT);
  m_pList->AddColumn(tr("Size"), SLC_NUMBER, false, Qt::AlignRight | Qt::AlignVCenter);
  m_pList->AddColumn(tr("Type"), SLC_TEXT);
  m_pList->AddColumn(tr("Last modified"), SLC_DATE);
  m_pList->header()->setSectionResizeMode(QHeaderView::Stretch);
  m_pList->showError = [this](const QString& text, const QString& caption) {
    showError(text, caption);
  };
  m_pPreview = new CSlidePreview(listBox);
  m_pPreview->setMinimumSize(160, 120);
  auto* listRow = new QHBoxLayout;
  listRow->addWidget(m_pList, 3);
  listRow->addWidget(m_pPreview, 1);
  listLayout->addLayout(buttons);
  listLayout->addLayout(listRow);
  connect(m_pList, &QTreeWidget::itemSelectionChanged, this, [this] { UpdatePreview(); });
  connect(m_pPreviewCheck, &QCheckBox::toggled, this, [this](bool bOn) {
    m_pPreview->SetPreviewEnabled(bOn);
    UpdatePreview();
  });
  // The order changes with sorting and moving, and with it the names.
  connect(m_pList->model(), &QAbstractItemModel::rowsMoved, this, [this] { UpdateExample(); });
  connect(m_pList->model(), &QAbstractItemModel::layoutChanged, this, [this] { UpdateExample(); });

  auto* work = new QGridLayout;
  m_pConvert = new QCheckBox(tr("Convert files to:"), this);
  m_pFormat = new QComboBox(this);
  for (const MyString& f : BatchFormats()) m_pFormat->addItem(f.ToQString());
  m_pFormat->setCurrentIndex(1);
  m_pRename = new QCheckBox(tr("Rename files as:"), this);
  m_pCutFirst = new QLineEdit(this);
  m_pCutLast = new QLineEdit(this);
  for (QLineEdit* e : {m_pCutFirst, m_pCutLast}) e->setValidator(new QIntValidator(0, 9999, e));
  m_pFront = new QRadioButton(tr("front"), this);
  m_pEnd = new QRadioButton(tr("end"), this);
  m_pFront->setChecked(true);
  auto* appendGroup = new QButtonGroup(this);
  appendGroup->addButton(m_pFront);
  appendGroup->addButton(m_pEnd);
  m_pPreName = new QLineEdit(this);
  m_pNumber = new QLineEdit(this);
  m_pNumber->setValidator(new QIntValidator(0, INT32_MAX, m_pNumber));
  m_pIncrement = new QLineEdit(this);
  m_pIncrement->setValidator(new QIntValidator(0, INT32_MAX, m_pIncrement));
  m_pPostName = new QLineEdit(this);
  m_pResize = new QCheckBox(tr("Resize using"), this);
  m_pResizeOptions = new QPushButton(tr("Options ..."), this);
  m_pRotate = new QCheckBox(tr("Rotate"), this);
  m_pAngle = new QLineEdit(this);
  m_pAngle->setReadOnly(true);
  m_pChangeDir = new QPushButton(tr("Change Directory"), this);
  m_pDestination = new QLineEdit(this);
  m_pWorkers = new QLineEdit(QStringLiteral("2"), this);
  const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
  m_pWorkers->setValidator(new QIntValidator(1, cores, m_pWorkers));
  int row = 0;
  work->addWidget(m_pConvert, row, 0);
  work->addWidget(m_pFormat, row++, 1);
  work->addWidget(m_pRename, row++, 0);
  work->addWidget(new QLabel(tr("Cut first:"), this), row, 0);
  work->addWidget(m_pCutFirst, row, 1);
  work->addWidget(new QLabel(tr("Cut last:"), this), row, 2);
  work->addWidget(m_pCutLast, row++, 3);
  work->addWidget(new QLabel(tr("Append to:"), this), row, 0);
  work->addWidget(m_pFront, row, 1);
  work->addWidget(m_pEnd, row++, 2);
  work->addWidget(new QLabel(tr("PreName:"), this), row, 0);
  work->addWidget(m_pPreName, row, 1);
  work->addWidget(new QLabel(tr("Number:"), this), row, 2);
  work->addWidget(m_pNumber, row++, 3);
  work->addWidget(new QLabel(tr("with increments of"), this), row, 2);
  work->addWidget(m_pIncrement, row, 3);
  work->addWidget(new QLabel(tr("PostName:"), this), row, 0);
  work->addWidget(m_pPostName, row++, 1);
  work->addWidget(m_pResize, row, 0);
  work->addWidget(m_pResizeOptions, row, 1);
  work->addWidget(m_pRotate, row, 2);
  work->addWidget(m_pAngle, row++, 3);
  work->addWidget(new QLabel(tr("Move converted or renamed files to directory:"), this), row++, 0,
                  1, 4);
  work->addWidget(m_pDestination, row, 0, 1, 3);
  work->addWidget(m_pChangeDir, row++, 3);
  work->addWidget(new QLabel(tr("Conversions at once:"), this), row, 0);
  work->addWidget(m_pWorkers, row, 1);
  auto* save = new QPushButton(tr("Save Settings ..."), this);
  auto* load = new QPushButton(tr("Load Settings ..."), this);
  work->addWidget(save, row, 2);
  work->addWidget(load, row++, 3);
  connect(save, &QPushButton::clicked, this, [this] { OnSaveSettings(); });
  connect(load, &QPushButton::clicked, this, [this] { OnLoadSettings(); });

  auto* exampleBox = new QGroupBox(tr("Example"), this);
  auto* exampleLayout = new QVBoxLayout(exampleBox);
  m_pExample = new QLabel(exampleBox);
  m_pExample->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_pExample->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  exampleLayout->addWidget(m_pExample);

  auto* lower = new QHBoxLayout;
  lower->addLayout(work, 3);
  lower->addWidget(exampleBox, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(listBox, 1);
  layout->addLayout(lower);

  for (QCheckBox* c : {m_pConvert, m_pRename})
    connect(c, &QCheckBox::toggled, this, [this] {
      UpdateControls();
      UpdateExample();
    });
  connect(m_pFormat, &QComboBox::currentIndexChanged, this, [this] { UpdateExample(); });
  for (QLineEdit* e : {m_pCutFirst, m_pCutLast, m_pPreName, m_pNumber, m_pPostName})
    connect(e, &QLineEdit::textChanged, this, [this] {
      UpdateControls();
      UpdateExample();
    });
  connect(m_pIncrement, &QLineEdit::textChanged, this, [this](const QString& text) {
    // A step below 1 is shown as 1 at once.
    bool bOk = false;
    if (!text.isEmpty() && (text.toInt(&bOk) < 1 || !bOk))
      m_pIncrement->setText(QStringLiteral("1"));
    UpdateExample();
  });
  connect(m_pFront, &QRadioButton::toggled, this, [this] { UpdateExample(); });
  connect(m_pResize, &QCheckBox::toggled, this, [this](bool bOn) { OnResizeToggled(bOn); });
  connect(m_pResizeOptions, &QPushButton::clicked, this, [this] {
    if (askResize(&m_resize)) m_bResizeSet = true;
  });
  connect(m_pRotate, &QCheckBox::toggled, this, [this](bool bOn) { OnRotateToggled(bOn); });
  connect(m_pChangeDir, &QPushButton::clicked, this, [this] {
    const MyString folder = askFolder();
    if (!folder.IsEmpty()) m_pDestination->setText(folder.ToQString());
  });
}

void CBatchPage::OnResizeToggled(bool bOn) {
  if (!bOn || m_bResizeSet) return;
  // Ticked without options: they are asked for now, and a refusal unticks.
  if (askResize(&m_resize))
    m_bResizeSet = true;
  else
    m_pResize->setChecked(false);
}

void CBatchPage::OnRotateToggled(bool bOn) {
  if (!bOn) return;
  MyString angle = MyString::FromQString(m_pAngle->text());
  if (askAngle(&angle))
    m_pAngle->setText(angle.ToQString());
  else
    m_pRotate->setChecked(false);
}

void CBatchPage::UpdateControls() {
  const bool bFiles = m_pList->GetItemCount() > 0;
  for (QWidget* w : std::initializer_list<QWidget*>{m_pConvert, m_pRename, m_pChangeDir, m_pResize,
                                                    m_pResizeOptions, m_pRotate, m_pAngle})
    w->setEnabled(bFiles);
  m_pFormat->setEnabled(bFiles && m_pConvert->isChecked());
  const bool bRename = bFiles && m_pRename->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{m_pCutFirst, m_pCutLast, m_pFront, m_pEnd,
                                                    m_pPreName, m_pNumber, m_pPostName})
    w->setEnabled(bRename);
  m_pIncrement->setEnabled(bRename && !m_pNumber->text().isEmpty());
  m_pDestination->setEnabled(m_pRename->isChecked() || m_pConvert->isChecked());
}

tagBATCHSETTINGS CBatchPage::Settings() const {
  tagBATCHSETTINGS s;
  s.bRename = m_pRename->isChecked();
  s.rename.numbers.iCutF = std::max(0, IntOf(m_pCutFirst, 0));
  s.rename.numbers.iCutB = std::max(0, IntOf(m_pCutLast, 0));
  s.rename.numbers.iNUMStart = m_pNumber->text().isEmpty() ? -1 : IntOf(m_pNumber, 0);
  s.rename.numbers.iNUMInc = std::max(1, IntOf(m_pIncrement, 1));
  s.rename.preName = MyString::FromQString(m_pPreName->text());
  s.rename.postName = MyString::FromQString(m_pPostName->text());
  s.rename.bAppendEnd = m_pEnd->isChecked();
  s.bConvert = m_pConvert->isChecked();
  s.format = MyString::FromQString(m_pFormat->currentText());
  s.bResize = m_pResize->isChecked();
  s.resize = m_resize;
  s.bRotate = m_pRotate->isChecked();
  s.angle = MyString::FromQString(m_pAngle->text());
  s.destination = MyString::FromQString(m_pDestination->text());
  s.nWorkers = std::max(1, IntOf(m_pWorkers, 2));
  return s;
}

void CBatchPage::SetSettings(const tagBATCHSETTINGS& s) {
  m_pCutFirst->setText(QString::number(s.rename.numbers.iCutF));
  m_pCutLast->setText(QString::number(s.rename.numbers.iCutB));
  m_pNumber->setText(s.rename.numbers.iNUMStart < 0 ? QString()
                                                    : QString::number(s.rename.numbers.iNUMStart));
  m_pIncrement->setText(QString::number(s.rename.numbers.iNUMInc));
  m_pPreName->setText(s.rename.preName.ToQString());
  m_pPostName->setText(s.rename.postName.ToQString());
  (s.rename.bAppendEnd ? m_pEnd : m_pFront)->setChecked(true);
  m_pFormat->setCurrentText(s.format.ToQString());
  m_resize = s.resize;
  m_bResizeSet = true;
  m_pAngle->setText(s.angle.ToQString());
  // Set without asking: the loaded values are the answers.
  for (auto [box, bOn] : {std::pair{m_pResize, s.bResize}, std::pair{m_pRotate, s.bRotate}}) {
    const QSignalBlocker block(box);
    box->setChecked(bOn);
  }
  m_pConvert->setChecked(s.bConvert);
  m_pRename->setChecked(s.bRename);
  m_pDestination->setText(s.destination.ToQString());
  m_pWorkers->setText(QString::number(s.nWorkers));
  UpdateControls();
  UpdateExample();
}

MyStringList CBatchPage::Sources() const {
  MyStringList sources;
  for (int row = 0; row < m_pList->GetItemCount(); ++row)
    sources.Append(MyString::FromQString(m_pList->GetItemData(row).toList().value(0).toString()));
  return sources;
}

QString CBatchPage::ExampleText() const {
  QString text = tr("Convert files to:") + QLatin1Char(' ') +
                 (m_pConvert->isChecked() ? m_pFormat->currentText() : tr("NO CONVERSION"));
  if (!m_pRename->isChecked()) return text + QLatin1Char('\n') + tr("NO RENAMING");
  text += QLatin1Char('\n') + tr("Rename files as:");
  const CBatchRename rename(Settings().rename);
  const MyStringList sources = Sources();
  for (size_t i = 0; i < std::min<size_t>(3, sources.GetListLength()); ++i)
    text += QLatin1Char('\n') + rename.ExampleName(sources[i], i).ToQString();
  return text;
}

void CBatchPage::UpdateExample() { m_pExample->setText(ExampleText()); }

void CBatchPage::UpdatePreview() {
  const std::vector<int> rows = m_pList->GetSelectedRows();
  m_pPreview->SetSlide(
      rows.empty()
          ? MyString()
          : MyString::FromQString(m_pList->GetItemData(rows.front()).toList().value(0).toString()));
}

int CBatchPage::AddRow(const MyString& path) {
  for (int row = 0; row < m_pList->GetItemCount(); ++row) {
    if (m_pList->GetItemText(row, COL_NAME) == path.ToQString()) {
      showError(tr("Unable to add \"%1\"\nYou already have this image name in the list!")
                    .arg(path.ToQString()),
                tr("File Name Error"));
      return 0;
    }
  }
  const QFileInfo info(path.ToQString());
  if (!info.exists() || info.isDir()) return 0;
  static const QMimeDatabase mimes;
  const int row = m_pList->InsertItem(
      m_pList->GetItemCount(),
      {path.ToQString(), QString::number(info.size()), mimes.mimeTypeForFile(info).comment()},
      QVariantList{path.ToQString(), qlonglong(info.size())});
  m_pList->SetItemDate(row, COL_MODIFIED, info.lastModified());
  return 1;
}

int CBatchPage::AddFiles(const MyStringList& paths) {
  MyStringList images;
  std::vector<MyString> portfolios;
  for (const MyString& path : paths) {
    if (path.GetStringExtension().EqualsNoCase(u".lrm"))
      portfolios.push_back(path);
    else
      images.Append(path);
  }
  images.tSortList();
  int added = 0;
  for (const MyString& path : images) added += AddRow(path);
  for (const MyString& portfolio : portfolios) {
    CSlidesFile slides;
    if (!slides.Load(portfolio)) continue;
    for (const CSlide& slide : slides.GetSlides())
      if (!slide.strPath.IsEmpty()) added += AddRow(slide.strPath);
  }
  if (paths.GetListLength() > 0) m_pDestination->setText(paths[0].GetStringPath().ToQString());
  UpdateControls();
  UpdateExample();
  return added;
}

void CBatchPage::OnAdd() { AddFiles(askFiles()); }

void CBatchPage::OnRemove() {
  std::vector<int> rows = m_pList->GetSelectedRows();
  std::sort(rows.rbegin(), rows.rend());
  for (int row : rows) m_pList->DeleteItem(row);
  UpdateControls();
  UpdateExample();
  UpdatePreview();
}

void CBatchPage::OnSaveSettings() {
  const QString path = QFileDialog::getSaveFileName(this, tr("Save Settings ..."), QString(),
                                                    tr("Batch settings (*.ini)"));
  if (path.isEmpty()) return;
  CDataFile file;
  WriteBatchSettings(file, Settings());
  file.SetFileName(MyString::FromQString(path));
  if (!file.Save())
    showError(tr("The settings cannot be saved:\n%1").arg(file.GetLastError().ToQString()),
              tr("Save Settings ..."));
}

void CBatchPage::OnLoadSettings() {
  const QString path = QFileDialog::getOpenFileName(this, tr("Load Settings ..."), QString(),
                                                    tr("Batch settings (*.ini)"));
  if (path.isEmpty()) return;
  CDataFile file;
  tagBATCHSETTINGS settings = Settings();
  MyString error;
  if (!file.Load(MyString::FromQString(path)))
    error = u"The file cannot be read.";
  else if (ReadBatchSettings(file, &settings, &error))
    SetSettings(settings);
  if (!error.IsEmpty()) showError(error.ToQString(), tr("Load Settings ..."));
}

CDlgConversionProgress::CDlgConversionProgress(QWidget* parent) : CDialog(parent) {
  setWindowTitle(tr("Conversion Progress ..."));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("Converting from:"), this));
  m_pFrom = new QLabel(this);
  layout->addWidget(m_pFrom);
  layout->addWidget(new QLabel(tr("Converting to:"), this));
  m_pTo = new QLabel(this);
  layout->addWidget(m_pTo);
  m_pBar = new QProgressBar(this);
  m_pBar->setRange(0, 100);
  layout->addWidget(m_pBar);
  auto* cancel = new QPushButton(tr("Cancel"), this);
  SetDlgItem(IDCANCEL, cancel);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(cancel);
  layout->addLayout(row);
  resize(480, 160);
}

void CDlgConversionProgress::Show(const tagBATCHRECORD& record, size_t count) {
  m_pFrom->setText(record.source.ToQString());
  m_pTo->setText(record.target.ToQString());
  m_pBar->setValue(count ? int(record.k * 100 / count) : 0);
}

int CDlgConversionProgress::OnCommand(int id) {
  if (id != IDCANCEL) return CDialog::OnCommand(id);
  if (cancelled) cancelled();
  EndDialog(IDCANCEL);
  return 1;
}

int CDlgConversionProgress::OnClose() { return OnCommand(IDCANCEL); }

CBatchRunner::CBatchRunner(QWidget* owner) : QObject(owner), m_pOwner(owner) {
  qRegisterMetaType<tagBATCHSUMMARY>("tagBATCHSUMMARY");
}

CBatchRunner::~CBatchRunner() {
  Stop();
  Join();
}

bool CBatchRunner::Start(const tagBATCHSETTINGS& settings, const MyStringList& sources) {
  if (m_bRunning || BatchKind(settings) == BK_NOTHING || sources.GetListLength() == 0) return false;
  Join();
  m_run = std::make_unique<CBatchRun>(settings, sources);
  if (!m_pProgress) {
    m_pProgress = new CDlgConversionProgress(m_pOwner);
    m_pProgress->cancelled = [this] {
      if (m_run) m_run->Stop();
    };
  }
  QPointer<CDlgConversionProgress> progress = m_pProgress;
  m_run->onRecord = [this, progress](const tagBATCHRECORD& record, size_t count) {
    QMetaObject::invokeMethod(this, [progress, record, count] {
      if (progress) progress->Show(record, count);
    });
  };
  if (BatchKind(settings) == BK_RENAME) {
    // Our copy asks before replacing a file, as a shell copy would.
    // Asked without blocking on the window: at exit the window waits for
    // this thread, which then gives up the question as "no".
    CBatchRun* run = m_run.get();
    m_run->askOverwrite = [this, run](const MyString& target) {
      auto answer = std::make_shared<std::promise<bool>>();
      std::future<bool> replied = answer->get_future();
      QMetaObject::invokeMethod(this, [this, target, answer] {
        answer->set_value(
            QMessageBox::question(
                m_pOwner, tr("Confirm File Replace"),
                tr("%1 already exists.\nDo you want to replace it?").arg(target.ToQString())) ==
            QMessageBox::Yes);
      });
      while (replied.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready)
        if (run->IsStopped()) return false;
      try {
        return replied.get() && !run->IsStopped();
      } catch (const std::future_error&) {
        return false;  // the window went away without answering
      }
    };
  }
  m_bRunning = true;
  m_pProgress->DoModeless();
  m_thread = std::thread([this] {
    const tagBATCHSUMMARY summary = m_run->Run();
    QMetaObject::invokeMethod(this, [this, summary] {
      m_bRunning = false;
      if (m_pProgress && m_pProgress->IsOpen()) m_pProgress->EndDialog(IDOK);
      Join();
      // A log that cannot be made or a destination that refuses ends the run
      // at once, and is said.
      if (!summary.error.IsEmpty())
        QMessageBox::warning(m_pOwner, tr("Batch Processing ..."), summary.error.ToQString());
      else if (summary.bLogFailed)
        QMessageBox::warning(
            m_pOwner, tr("Batch Processing ..."),
            tr("The log %1 could not be written to the end.").arg(summary.logPath.ToQString()));
      emit Finished(summary);
    });
  });
  return true;
}

void CBatchRunner::Stop() {
  if (m_run) m_run->Stop();
}

void CBatchRunner::Join() {
  if (m_thread.joinable()) m_thread.join();
}

void CBatchRunner::CloseProgress() {
  if (m_pProgress && m_pProgress->IsOpen()) m_pProgress->EndDialog(IDCANCEL);
}

CDlgBatchProcessing::CDlgBatchProcessing(QWidget* parent, CBatchRunner* runner)
    : CDialog(parent), m_pRunner(runner) {
  setWindowTitle(tr("Batch Processing ..."));
  auto* tabs = new QTabWidget(this);
  m_pPage = new CBatchPage(tabs);
  tabs->addTab(m_pPage, tr("File batch processing"));
  auto* ok = new QPushButton(tr("OK"), this);
  auto* cancel = new QPushButton(tr("Cancel"), this);
  auto* apply = new QPushButton(tr("&Apply"), this);
  SetDlgItem(IDOK, ok);
  SetDlgItem(IDCANCEL, cancel);
  SetDlgItem(IDC_BATCH_APPLY, apply);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  row->addWidget(apply);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs);
  layout->addLayout(row);
  resize(860, 640);
}

CDlgBatchProcessing::~CDlgBatchProcessing() = default;

int CDlgBatchProcessing::OnInitDialog() { return 1; }

bool CDlgBatchProcessing::Apply() {
  const tagBATCHSETTINGS settings = m_pPage->Settings();
  if (m_pRunner->IsRunning()) return false;
  return m_pRunner->Start(settings, m_pPage->Sources());
}

int CDlgBatchProcessing::OnCommand(int id) {
  switch (id) {
    case IDOK:
    case IDC_BATCH_APPLY:
      // The sheet stays open after a run.
      Apply();
      return 1;
    default:
      return CDialog::OnCommand(id);
  }
}

void CDlgBatchProcessing::OnDestroy() {
  const tagBATCHSETTINGS settings = m_pPage->Settings();
  GetLorimoSettings().renConv = settings.rename.numbers;
}

namespace {

class CBatchCommands : public QObject, public CCommandTarget {
 public:
  explicit CBatchCommands(CMainFrame* frame)
      : QObject(frame), m_pFrame(frame), m_runner(new CBatchRunner(frame)) {
    // At exit a run ends after the files in hand, its dialog with the others.
    tagPROGRAMHOOKS& hooks = GetProgramHooks();
    hooks.closeToolDialogs = [previous = hooks.closeToolDialogs,
                              runner = QPointer<CBatchRunner>(m_runner)] {
      if (previous) previous();
      if (!runner) return;
      runner->Stop();
      runner->CloseProgress();
    };
  }

  int OnCommand(int id) override {
    if (id != IDM_BATCH || m_runner->IsRunning()) return 0;
    CDlgBatchProcessing sheet(m_pFrame, m_runner);
    sheet.DoModal();
    return 1;
  }
  bool IsCommandEnabled(int id) const override { return id != IDM_BATCH || !m_runner->IsRunning(); }

 private:
  CMainFrame* m_pFrame;
  CBatchRunner* m_runner;
};

}  // namespace

void InstallBatchCommands(CMainFrame* frame) {
  frame->Router().SetTarget(CO_BATCH, new CBatchCommands(frame));
}
