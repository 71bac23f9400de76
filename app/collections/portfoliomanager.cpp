#include "collections/portfoliomanager.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "collections/portfoliochooser.h"
#include "collections/slidepreview.h"
#include "corekit/registry.h"
#include "pixwork/formats.h"
#include "pixwork/sortdir.h"
#include "pixwork/sortedlistctrl.h"
#include "shell/filedialogfilter.h"
#include "shell/settings.h"

namespace {

constexpr char16_t kPreviewValue[] = u"PreviewSlide";

// A row's value: the slide's path and whether its file was missing.
QVariant RowData(const MyString& path, bool bMissing) {
  return QVariantList{path.ToQString(), bMissing};
}

}  // namespace

// ---------------------------------------------------------------------------
// The real dialogs.

int CPortfolioDialogs::Question(const MyString& text, const MyString& caption) {
  const auto answer = QMessageBox::question(
      m_pOwner, caption.ToQString(), text.ToQString(),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
  return answer == QMessageBox::Yes ? IDYES : answer == QMessageBox::No ? IDNO : IDCANCEL;
}

void CPortfolioDialogs::Message(const MyString& text, const MyString& caption, int icon) {
  const QMessageBox::Icon icons[] = {QMessageBox::Information, QMessageBox::Warning,
                                     QMessageBox::Critical};
  QMessageBox box(icons[std::clamp(icon, 0, 2)], caption.ToQString(), text.ToQString(),
                  QMessageBox::Ok, m_pOwner);
  box.exec();
}

MyString CPortfolioDialogs::AskSavePath() {
  QFileDialog dialog(m_pOwner, QObject::tr("Save portfolio"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QObject::tr("Lorimo portfolio (*.lrm)"));
  dialog.setDefaultSuffix(QStringLiteral("lrm"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return MyString();
  return MyString::FromQString(dialog.selectedFiles().front());
}

MyString CPortfolioDialogs::AskLoadPath() {
  CPortfolioFileDialog dialog(m_pOwner, QObject::tr("Lorimo Portfolio (*.lrm)"), false);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return MyString();
  return MyString::FromQString(dialog.selectedFiles().front());
}

MyStringList CPortfolioDialogs::AskImages() {
  MyStringList files;
  const QStringList chosen =
      QFileDialog::getOpenFileNames(m_pOwner, QObject::tr("Add images"), QString(),
                                    QtFilterFromFilterText(GetOpenFilterWithoutLRM()));
  for (const QString& file : chosen) files.Append(MyString::FromQString(file));
  return files;
}

MyString CPortfolioDialogs::AskDirectory() {
  return MyString::FromQString(QFileDialog::getExistingDirectory(
      m_pOwner, QObject::tr("Please choose the directory where your images are stored.")));
}

MyString CPortfolioDialogs::AskGifPath() {
  QFileDialog dialog(m_pOwner, QObject::tr("Animated GIF"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QObject::tr("Animated GIF (*.GIF *.gif)"));
  dialog.setDefaultSuffix(QStringLiteral("gif"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return MyString();
  return MyString::FromQString(dialog.selectedFiles().front());
}

// ---------------------------------------------------------------------------
// The manager.

CDlgPortfolioManager::CDlgPortfolioManager(QWidget* owner, const MyString& portfolio,
                                           CPortfolioUi* ui)
    : CDialog(owner), m_pUi(ui), m_strOpenPath(portfolio) {
  if (!m_pUi) {
    m_pOwnUi = std::make_unique<CPortfolioDialogs>(this);
    m_pUi = m_pOwnUi.get();
  }
  autoplayDelay = [] { return GetLorimoSettings().dwAutoPlayMiliseconds; };

  auto* portfolioBox = new QGroupBox(tr("Portfolio"), this);
  auto* portfolioButtons = new QHBoxLayout(portfolioBox);
  const struct {
    int id;
    const char* text;
  } portfolioIds[] = {{IDC_PORTFOLIO_NEW, "&New"},
                      {IDC_PORTFOLIO_LOAD, "&Load"},
                      {IDC_PORTFOLIO_SAVE, "Save"},
                      {IDC_PORTFOLIO_SAVE_AS, "Save As"},
                      {IDC_PORTFOLIO_GIF, "Animated GIF"}};
  for (const auto& b : portfolioIds) {
    auto* button = new QPushButton(tr(b.text), portfolioBox);
    button->setAutoDefault(false);
    portfolioButtons->addWidget(button);
    SetDlgItem(b.id, button);
  }

  auto* imagesBox = new QGroupBox(tr("Images"), this);
  auto* imagesLayout = new QVBoxLayout(imagesBox);
  auto* imageButtons = new QHBoxLayout;
  const struct {
    int id;
    const char* text;
  } imageIds[] = {{IDC_PORTFOLIO_ADD, "&Add"},
                  {IDC_PORTFOLIO_ADD_DIRECTORY, "A&dd Directory"},
                  {IDC_PORTFOLIO_REMOVE, "&Remove"},
                  {IDC_PORTFOLIO_UP, "&Up"},
                  {IDC_PORTFOLIO_DOWN, "&Down"}};
  for (const auto& b : imageIds) {
    auto* button = new QPushButton(tr(b.text), imagesBox);
    button->setAutoDefault(false);
    imageButtons->addWidget(button);
    SetDlgItem(b.id, button);
  }
  m_pPreviewCheck = new QCheckBox(tr("Preview"), imagesBox);
  imageButtons->addWidget(m_pPreviewCheck);
  imageButtons->addStretch();
  connect(m_pPreviewCheck, &QCheckBox::toggled, this, [this](bool on) {
    m_pPreview->SetPreviewEnabled(on);
    UpdatePreview();
  });

  m_pList = new CSortedListCtrl(imagesBox);
  m_pList->AddColumn(tr("Name"), SLC_TEXT);
  m_pList->AddColumn(tr("Delay (ms.)"), SLC_NUMBER, true);
  m_pList->AddColumn(tr("Size"), SLC_NUMBER, false, Qt::AlignRight | Qt::AlignVCenter);
  m_pList->AddColumn(tr("Type"), SLC_TEXT);
  m_pList->AddColumn(tr("Last modified"), SLC_DATE);
  m_pList->setMinimumWidth(500);
  // Five columns of equal width, a fifth of the list each.
  m_pList->header()->setSectionResizeMode(QHeaderView::Stretch);
  SetDlgItem(IDC_PORTFOLIO_LIST, m_pList);
  connect(m_pList, &CSortedListCtrl::ModifiedChanged, this, [this] { UpdateTitle(); });
  connect(m_pList, &QTreeWidget::itemSelectionChanged, this, [this] { UpdatePreview(); });

  m_pPreview = new CSlidePreview(imagesBox);
  m_pPreview->setMinimumSize(200, 150);
  auto* listAndPreview = new QHBoxLayout;
  listAndPreview->addWidget(m_pList, 3);
  listAndPreview->addWidget(m_pPreview, 1);
  imagesLayout->addLayout(imageButtons);
  imagesLayout->addLayout(listAndPreview);

  auto* close = new QPushButton(tr("&Close"), this);
  close->setAutoDefault(false);
  SetDlgItem(IDCLOSE, close);
  auto* closeRow = new QHBoxLayout;
  closeRow->addStretch();
  closeRow->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(portfolioBox);
  layout->addWidget(imagesBox, 1);
  layout->addLayout(closeRow);
  resize(820, 460);
  UpdateTitle();
}

CDlgPortfolioManager::~CDlgPortfolioManager() = default;

int CDlgPortfolioManager::OnInitDialog() {
  uint32_t preview = 1;
  CRegistry registry(HKEY_CURRENT_USER, kLorimoKey);
  registry.GetSetValue(kPreviewValue, preview);
  m_pPreviewCheck->setChecked(preview != 0);
  m_pPreview->SetPreviewEnabled(preview != 0);
  if (!m_strOpenPath.IsEmpty()) LoadFile(m_strOpenPath);
  UpdateTitle();
  UpdatePreview();
  return 1;
}

int CDlgPortfolioManager::OnCommand(int id) {
  switch (id) {
    case IDC_PORTFOLIO_NEW:
      return NewPortfolio(), 1;
    case IDC_PORTFOLIO_LOAD:
      return LoadPortfolio(), 1;
    case IDC_PORTFOLIO_SAVE:
      return Save(), 1;
    case IDC_PORTFOLIO_SAVE_AS:
      return SaveAs(), 1;
    case IDC_PORTFOLIO_GIF:
      return BuildSlideshow(), 1;
    case IDC_PORTFOLIO_ADD:
      return AddFiles(m_pUi->AskImages()), 1;
    case IDC_PORTFOLIO_ADD_DIRECTORY: {
      const MyString folder = m_pUi->AskDirectory();
      if (!folder.IsEmpty()) AddDirectory(folder);
      return 1;
    }
    case IDC_PORTFOLIO_REMOVE:
      return RemoveSelected(), 1;
    case IDC_PORTFOLIO_UP:
      return m_pList->MoveSelectedUp(), 1;
    case IDC_PORTFOLIO_DOWN:
      return m_pList->MoveSelectedDown(), 1;
    case IDCLOSE:
    case IDCANCEL:
      if (CloseManager()) EndDialog(IDCLOSE);
      return 1;
    default:
      return CDialog::OnCommand(id);
  }
}

int CDlgPortfolioManager::OnClose() { return OnCommand(IDCLOSE); }

void CDlgPortfolioManager::OnDestroy() {
  CRegistry registry(HKEY_CURRENT_USER, kLorimoKey);
  registry.SetValue(kPreviewValue, uint32_t(m_pPreviewCheck->isChecked() ? 1 : 0));
}

bool CDlgPortfolioManager::IsModified() const { return m_pList->IsModified(); }

void CDlgPortfolioManager::SetModified(bool bModified) {
  m_pList->SetModified(bModified);
  UpdateTitle();
}

void CDlgPortfolioManager::UpdateTitle() {
  QString title = tr("Portfolio Manager - ") +
                  (m_strPath.IsEmpty() ? tr("New Portfolio") : m_strPath.ToQString());
  if (m_pList && m_pList->IsModified()) title += QLatin1Char('*');
  setWindowTitle(title);
}

void CDlgPortfolioManager::UpdatePreview() {
  const std::vector<int> rows = m_pList->GetSelectedRows();
  m_pPreview->SetSlide(
      rows.empty()
          ? MyString()
          : MyString::FromQString(m_pList->GetItemData(rows.front()).toList().value(0).toString()));
}

bool CDlgPortfolioManager::IsRowMissing(int row) const {
  return m_pList->GetItemData(row).toList().value(1).toBool();
}

std::vector<CSlide> CDlgPortfolioManager::GetSlides() const {
  std::vector<CSlide> slides;
  for (int row = 0; row < m_pList->GetItemCount(); ++row) {
    const long long delay = std::clamp<long long>(m_pList->GetItemNumber(row, PORTFOLIO_COL_DELAY),
                                                  INT32_MIN, INT32_MAX);
    slides.push_back(
        CSlide{MyString::FromQString(m_pList->GetItemData(row).toList().value(0).toString()),
               int32_t(delay)});
  }
  return slides;
}

int CDlgPortfolioManager::AddRow(const MyString& path, int32_t delay, bool bKeepMissing) {
  const QFileInfo info(path.ToQString());
  const bool bMissing = !info.exists() || info.isDir();
  if (bMissing && !bKeepMissing) return 0;
  QStringList texts{info.fileName(), QString::number(delay)};
  if (bMissing) {
    texts << QString() << tr("Missing file");
  } else {
    static const QMimeDatabase mimes;
    texts << QString::number(info.size()) << mimes.mimeTypeForFile(info).comment();
  }
  const int row = m_pList->InsertItem(m_pList->GetItemCount(), texts, RowData(path, bMissing));
  if (bMissing) {
    m_pList->topLevelItem(row)->setForeground(PORTFOLIO_COL_NAME, palette().placeholderText());
    m_pList->topLevelItem(row)->setToolTip(PORTFOLIO_COL_NAME, path.ToQString());
  } else {
    m_pList->SetItemDate(row, PORTFOLIO_COL_MODIFIED, info.lastModified());
  }
  return 1;
}

int CDlgPortfolioManager::AskToSave() {
  if (!IsModified()) return 1;
  switch (m_pUi->Question(u"Do you want to save the current portfolio?", u"File save")) {
    case IDYES:
      // An emptied portfolio has nothing to save.
      return m_pList->GetItemCount() == 0 || Save() ? 1 : 0;
    case IDNO:
      return 1;
    default:
      return 0;
  }
}

int CDlgPortfolioManager::NewPortfolio() {
  if (!AskToSave()) return 0;
  m_pList->DeleteAllItems();
  m_strPath = MyString();
  SetModified(false);
  UpdatePreview();
  return 1;
}

int CDlgPortfolioManager::LoadPortfolio() {
  if (!AskToSave()) return 0;
  const MyString path = m_pUi->AskLoadPath();
  if (path.IsEmpty()) return 0;
  return LoadFile(path);
}

int CDlgPortfolioManager::LoadFile(const MyString& path) {
  CSlidesFile file;
  if (!file.Load(path)) {
    m_pUi->Message(u"Unable to load this file", u"LoadSlide Error", 2);
    return 0;
  }
  m_pList->setUpdatesEnabled(false);
  m_pList->DeleteAllItems();
  m_pList->SortByColumn(-1, true);
  for (const CSlide& slide : file.GetSlides()) {
    // Missing files stay: a save would otherwise drop them from the file.
    if (!slide.strPath.IsEmpty()) AddRow(slide.strPath, slide.nDelay, true);
  }
  m_pList->setUpdatesEnabled(true);
  m_strPath = path;
  SetModified(false);
  UpdatePreview();
  return 1;
}

int CDlgPortfolioManager::Save() { return SaveTo(m_strPath); }

int CDlgPortfolioManager::SaveAs() {
  const MyString old = m_strPath;
  m_strPath = MyString();
  if (SaveTo(MyString())) return 1;
  m_strPath = old;
  UpdateTitle();
  return 0;
}

int CDlgPortfolioManager::SaveTo(const MyString& target) {
  if (m_pList->GetItemCount() == 0) return 0;
  MyString path = target;
  if (path.IsEmpty()) {
    path = m_pUi->AskSavePath();
    if (path.IsEmpty()) return 0;
  }
  CSlidesFile file;
  for (const CSlide& slide : GetSlides()) file.Append(slide.strPath, slide.nDelay);
  if (!file.Save(path)) {
    MyString text = u"Unable to save the portfolio ";
    text += path;
    if (!file.GetLastError().IsEmpty()) {
      text += u":\n";
      text += file.GetLastError();
    }
    m_pUi->Message(text, u"Save portfolio", 2);
    return 0;
  }
  m_strPath = path;
  SetModified(false);
  m_pUi->Message(u"Operation completed successfully !", u"Save portfolio", 0);
  if (shownPortfolio && reopenPortfolio && !path.IsEmpty() && shownPortfolio() == path)
    reopenPortfolio(path);
  return 1;
}

int CDlgPortfolioManager::AddFiles(const MyStringList& files) {
  int added = 0;
  for (const MyString& file : files) added += AddRow(file, 0, false);
  if (added) {
    m_pList->Resort();
    SetModified(true);
  }
  return added;
}

int CDlgPortfolioManager::AddDirectory(const MyString& folder) {
  SortDir listing;
  listing.InitializeSortDir(folder);
  listing.CreateSortedImageList();
  int added = 0;
  for (int i = 0; i < listing.GetLengthFileList(); ++i) {
    if (const CFileEntry* entry = listing.GetEntry(i)) added += AddRow(entry->strPath, 0, false);
  }
  if (added) SetModified(true);
  return added;
}

int CDlgPortfolioManager::RemoveSelected() {
  const std::vector<int> rows = m_pList->GetSelectedRows();
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) m_pList->DeleteItem(*row);
  if (!rows.empty()) SetModified(true);
  UpdatePreview();
  return int(rows.size());
}

int CDlgPortfolioManager::CloseManager() {
  OnDestroy();  // "PreviewSlide" is stored even when the user stays
  return AskToSave();
}

int CDlgPortfolioManager::BuildSlideshow(const MyString& output) {
  if (m_pList->GetItemCount() == 0) return 0;
  if (m_pBuilder && m_pBuilder->IsRunning()) return 0;
  const MyString target = output.IsEmpty() ? m_pUi->AskGifPath() : output;
  if (target.IsEmpty()) return 0;
  // Not a child of the manager: disabling the manager must leave Cancel usable.
  if (!m_pBuilder) m_pBuilder = std::make_unique<CDlgSlideshowBuilder>(parentWidget());
  setEnabled(false);
  const uint32_t autoplay = autoplayDelay ? autoplayDelay() : 1000;
  if (!m_pBuilder->Start(GetSlides(), autoplay, target,
                         [this](SLIDESHOWRESULT result, const std::string& error) {
                           OnSlideshowDone(result, error);
                         })) {
    setEnabled(true);
    return 0;
  }
  return 1;
}

void CDlgPortfolioManager::OnSlideshowDone(SLIDESHOWRESULT result, const std::string& error) {
  setEnabled(true);
  switch (result) {
    case SLIDESHOW_COMPLETE:
      m_pUi->Message(u"Slideshow creation complete.", u"Success", 0);
      break;
    case SLIDESHOW_ABORTED:
      m_pUi->Message(u"Slideshow creation aborted.", u"Stop", 1);
      break;
    case SLIDESHOW_FAILED: {
      MyString text = u"Slideshow creation failed: ";
      text += MyString::FromUtf8(error);
      m_pUi->Message(text, u"Slideshow builder", 2);
      break;
    }
  }
}

// ---------------------------------------------------------------------------
// The builder's progress dialog.

CDlgSlideshowBuilder::CDlgSlideshowBuilder(QWidget* owner) : CDialog(owner) {
  setWindowTitle(tr("Slideshow builder"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("Rendering, please wait ..."), this));
  m_pBar = new QProgressBar(this);
  m_pBar->setRange(0, 100);
  layout->addWidget(m_pBar);
  m_pStatus = new QLabel(this);
  m_pStatus->setMinimumWidth(320);
  layout->addWidget(m_pStatus);
  auto* cancel = new QPushButton(tr("Cancel"), this);
  m_pCancel = cancel;
  SetDlgItem(IDCANCEL, cancel);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(cancel);
  layout->addLayout(row);
}

CDlgSlideshowBuilder::~CDlgSlideshowBuilder() {
  m_builder.Abort();
  Join();
}

void CDlgSlideshowBuilder::Join() {
  if (m_thread.joinable()) m_thread.join();
}

int CDlgSlideshowBuilder::Start(std::vector<CSlide> slides, uint32_t autoplayMs,
                                const MyString& output,
                                std::function<void(SLIDESHOWRESULT, const std::string&)> done) {
  if (m_bRunning) return 0;
  Join();
  m_builder.Reset();
  m_bRunning = true;
  m_pBar->setValue(0);
  m_pStatus->clear();
  m_pCancel->setEnabled(true);
  DoModeless();
  m_builder.onProgress = [this](int percent, const std::string& status) {
    QMetaObject::invokeMethod(
        this,
        [this, percent, text = QString::fromStdString(status)] {
          m_pBar->setValue(percent);
          if (!text.isEmpty() && m_pCancel->isEnabled()) m_pStatus->setText(text);
        },
        Qt::QueuedConnection);
  };
  m_thread = std::thread(
      [this, slides = std::move(slides), autoplayMs, output, done = std::move(done)]() mutable {
        const SLIDESHOWRESULT result = m_builder.Build(slides, autoplayMs, output);
        const std::string error = m_builder.GetLastError();
        QMetaObject::invokeMethod(
            this,
            [this, result, error, done = std::move(done)] {
              Join();
              m_bRunning = false;
              EndDialog(result == SLIDESHOW_COMPLETE ? IDOK : IDCANCEL);
              if (done) done(result, error);
            },
            Qt::QueuedConnection);
      });
  return 1;
}

QString CDlgSlideshowBuilder::GetStatus() const { return m_pStatus->text(); }

int CDlgSlideshowBuilder::GetPercent() const { return m_pBar->value(); }

int CDlgSlideshowBuilder::OnCommand(int id) {
  if (id != IDCANCEL) return CDialog::OnCommand(id);
  // The worker ends the dialog once it has stopped.
  if (m_bRunning) {
    m_pCancel->setEnabled(false);
    m_pStatus->setText(tr("Aborting ..."));
    m_builder.Abort();
  }
  return 1;
}

int CDlgSlideshowBuilder::OnClose() { return OnCommand(IDCANCEL); }
