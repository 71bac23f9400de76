#include "pixwork/dlgmail.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "corekit/bitmap.h"
#include "corekit/dll2lorimo.h"
#include "corekit_ui/uiutil.h"
#include "pixwork/dibfile.h"
#include "pixwork/dlgbatchresize.h"
#include "pixwork/formats.h"
#include "pixwork/sortedlistctrl.h"

namespace {

enum { COL_NAME = 0, COL_SIZE = 1, COL_TYPE = 2 };
constexpr int kPreviewSide = 160;
constexpr char16_t kSendCaption[] = u"Lorimo: Send E-mail";

}  // namespace

CDlgMail::CDlgMail(QWidget* owner) : CDialog(owner) {
  setWindowTitle(tr("E-mail pictures"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(
      tr("You can add pictures by clicking on the desired picture in the Thumbnails toolbar"),
      this));
  auto* linkLine = new QHBoxLayout;
  linkLine->addWidget(new QLabel(tr("or by pressing the"), this));
  auto* link =
      new QLabel(QStringLiteral("<a href=\"add\">%1</a>").arg(tr("Add Pictures...")), this);
  connect(link, &QLabel::linkActivated, this, [this] { SendCommand(IDC_MAIL_ADD_LINK); });
  linkLine->addWidget(link);
  linkLine->addWidget(new QLabel(tr("button below."), this));
  linkLine->addStretch();
  layout->addLayout(linkLine);

  auto* middle = new QHBoxLayout;
  m_pList = new CSortedListCtrl(this);
  m_pList->AddColumn(tr("Name"), SLC_TEXT);
  m_pList->AddColumn(tr("Size"), SLC_NUMBER, false, Qt::AlignRight | Qt::AlignVCenter);
  m_pList->AddColumn(tr("Type"), SLC_TEXT);
  m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  connect(m_pList, &QTreeWidget::itemSelectionChanged, this, [this] {
    UpdatePreview();
    UpdateControls();
  });
  middle->addWidget(m_pList, 1);
  auto* previewBox = new QGroupBox(tr("Preview"), this);
  auto* previewLayout = new QVBoxLayout(previewBox);
  m_pPreview = new QLabel(previewBox);
  m_pPreview->setFixedSize(kPreviewSide, kPreviewSide);
  m_pPreview->setAlignment(Qt::AlignCenter);
  previewLayout->addWidget(m_pPreview);
  previewLayout->addStretch();
  middle->addWidget(previewBox);
  layout->addLayout(middle);

  auto* listButtons = new QHBoxLayout;
  auto* add = new QPushButton(tr("Add Pictures..."), this);
  m_pRemoveSelected = new QPushButton(tr("Remove Selected"), this);
  m_pRemoveAll = new QPushButton(tr("Remove All Pictures"), this);
  listButtons->addWidget(add);
  listButtons->addWidget(m_pRemoveSelected);
  listButtons->addWidget(m_pRemoveAll);
  listButtons->addStretch();
  layout->addLayout(listButtons);

  auto* sizeLine = new QHBoxLayout;
  sizeLine->addWidget(new QLabel(tr("Uncompressed attachement size:"), this));
  m_pSize = new QLineEdit(this);
  m_pSize->setReadOnly(true);
  sizeLine->addWidget(m_pSize);
  sizeLine->addStretch();
  layout->addLayout(sizeLine);

  auto* optionsLine = new QHBoxLayout;
  m_pZip = new QCheckBox(tr("Zip Files before sending"), this);
  m_pResizeCheck = new QCheckBox(tr("Resize before emailing"), this);
  m_pResizeOptions = new QPushButton(tr("Resize Options ..."), this);
  optionsLine->addWidget(m_pZip);
  optionsLine->addWidget(m_pResizeCheck);
  optionsLine->addWidget(m_pResizeOptions);
  optionsLine->addStretch();
  layout->addLayout(optionsLine);

  m_pProgress = new QProgressBar(this);
  m_pProgress->hide();
  layout->addWidget(m_pProgress);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  m_pSend = new QPushButton(tr("&Send E-mail"), this);
  auto* postpone = new QPushButton(tr("Postpone"), this);
  auto* cancel = new QPushButton(tr("Cancel"), this);
  bottom->addWidget(m_pSend);
  bottom->addWidget(postpone);
  bottom->addWidget(cancel);
  layout->addLayout(bottom);

  SetDlgItem(IDC_MAIL_ADD, add);
  SetDlgItem(IDC_MAIL_REMOVE_SELECTED, m_pRemoveSelected);
  SetDlgItem(IDC_MAIL_REMOVE_ALL, m_pRemoveAll);
  SetDlgItem(IDC_MAIL_ZIP, m_pZip);
  SetDlgItem(IDC_MAIL_RESIZE, m_pResizeCheck);
  SetDlgItem(IDC_MAIL_RESIZE_OPTIONS, m_pResizeOptions);
  SetDlgItem(IDC_MAIL_SEND, m_pSend);
  SetDlgItem(IDC_MAIL_POSTPONE, postpone);
  SetDlgItem(IDCANCEL, cancel);

  askFiles = [this] {
    MyStringList files;
    const QStringList chosen = QFileDialog::getOpenFileNames(
        this, tr("Add Pictures..."), QString(), QtFileDialogFilter(GetOpenFilterWithoutLRM()));
    for (const QString& file : chosen) files.Append(MyString::FromQString(file));
    return files;
  };
  askResize = [](CDlgBatchResize& settings) { return settings.DoModal() == IDOK; };
  showWarning = [this](const QString& text, const QString& caption) {
    QMessageBox::warning(this, caption, text);
  };
  m_sender.onProgress = [this](size_t done, size_t count) {
    m_pProgress->setRange(0, int(count));
    m_pProgress->setValue(int(done));
    m_pProgress->repaint();
  };
  m_sender.onFinished = [this](const tagMAILRESULT& result) { OnSendFinished(result); };
  resize(640, 420);
  UpdateControls();
}

CDlgMail::~CDlgMail() = default;

int CDlgMail::OnInitDialog() {
  UpdateControls();
  return 1;
}

int CDlgMail::AddAttachement(const MyString& path) {
  if (!IsOpen()) DoModeless();
  show();
  raise();
  if (IsSending()) return 0;
  MyStringList paths;
  paths.Append(path);
  AddFiles(paths);
  return 1;
}

int CDlgMail::AddRow(const MyString& path) {
  tagMAILROW row;
  if (m_attachments.Add(path, &row) != MAILADD_ADDED) return 0;
  static const QMimeDatabase mimes;
  const QString full = row.path.ToQString();
  m_pList->InsertItem(m_pList->GetItemCount(),
                      {row.path.GetStringTitleExt().ToQString(), QString::number(row.nSize),
                       mimes.mimeTypeForFile(full).comment()},
                      full);
  return 1;
}

int CDlgMail::AddFiles(const MyStringList& paths) {
  if (IsSending()) return 0;
  int added = 0;
  for (const MyString& path : paths) added += AddRow(path);
  if (m_pList->GetSortColumn() < 0)
    m_pList->SortByColumn(COL_NAME, true);
  else
    m_pList->Resort();
  UpdateControls();
  return added;
}

QString CDlgMail::GetSizeText() const { return m_attachments.GetSizeText().ToQString(); }

void CDlgMail::OnAdd() {
  const MyStringList files = askFiles();
  if (files.GetListLength()) AddFiles(files);
}

void CDlgMail::OnRemoveSelected() {
  const std::vector<int> rows = m_pList->GetSelectedRows();
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    m_attachments.Remove(MyString::FromQString(m_pList->GetItemData(*it).toString()));
    m_pList->DeleteItem(*it);
  }
  UpdateControls();
}

void CDlgMail::OnRemoveAll() {
  m_attachments.RemoveAll();
  m_pList->DeleteAllItems();
  UpdateControls();
}

void CDlgMail::DropResize() {
  m_pResize.reset();
  m_pResizeCheck->setChecked(false);
  UpdateControls();
}

void CDlgMail::OnResizeToggled() {
  if (!m_pResizeCheck->isChecked()) {
    DropResize();
    return;
  }
  m_pResize = std::make_unique<CDlgBatchResize>(this);
  if (!askResize(*m_pResize)) DropResize();
  UpdateControls();
}

void CDlgMail::OnResizeOptions() {
  if (m_pResize) askResize(*m_pResize);
}

void CDlgMail::OnSend() {
  if (m_pList->GetItemCount() == 0 || IsSending()) return;
  std::vector<MyString> paths;
  for (int row = 0; row < m_pList->GetItemCount(); ++row)
    paths.push_back(MyString::FromQString(m_pList->GetItemData(row).toString()));
  tagMAILOPTIONS options;
  options.bZip = m_pZip->isChecked();
  options.bResize = m_pResize != nullptr;
  if (m_pResize) options.resize = m_pResize->GetOptions();

  m_bPreparing = true;
  setEnabled(false);
  m_pProgress->setVisible(options.bResize);
  tagMAILPACKAGE package;
  MyString error;
  const int prepared = m_sender.Prepare(paths, options, &package, &error);
  m_bPreparing = false;
  for (const MyString& path : package.notResized)
    showWarning(path.ToQString(), tr("File cannot be resized ..."));
  if (!prepared) {
    setEnabled(true);
    m_pProgress->hide();
    showWarning(error.ToQString(), QString::fromUtf16(kSendCaption));
    tagMAILRESULT result;
    result.error = error;
    if (onSent) onSent(result);
    return;
  }
  if (!m_sender.Send(package)) {
    setEnabled(true);
    m_pProgress->hide();
  }
}

void CDlgMail::OnSendFinished(const tagMAILRESULT& result) {
  setEnabled(true);
  m_pProgress->hide();
  if (result.nOutcome == MAILOUT_FAILED) {
    // Nothing reached the user: the list stays for another try.
    showWarning(tr("Lorimo cannot detect your email client, and the zip file cannot be saved "
                   "to your desktop.\n%1\nThe pictures stay in the list.")
                    .arg(result.error.ToQString()),
                QString::fromUtf16(kSendCaption));
  } else {
    if (result.nOutcome == MAILOUT_DESKTOP)
      showWarning(tr("Lorimo cannot detect your email client.\nA zip file is saved to your "
                     "desktop."),
                  QString::fromUtf16(kSendCaption));
    DropResize();
    OnRemoveAll();
    if (QWidget* owner = parentWidget()) owner->activateWindow();
  }
  if (onSent) onSent(result);
}

void CDlgMail::UpdateControls() {
  const bool bRows = m_pList->GetItemCount() > 0;
  m_pRemoveSelected->setEnabled(!m_pList->GetSelectedRows().empty());
  m_pRemoveAll->setEnabled(bRows);
  m_pSend->setEnabled(bRows);
  m_pResizeOptions->setEnabled(m_pResize != nullptr);
  m_pSize->setText(GetSizeText());
}

void CDlgMail::UpdatePreview() {
  const std::vector<int> rows = m_pList->GetSelectedRows();
  m_pPreview->clear();
  if (rows.empty()) return;
  const SIZE box{kPreviewSide, kPreviewSide};
  HBITMAP bitmap = CDll2LorimoMessage::ReadImage(
      MyString::FromQString(m_pList->GetItemData(rows.front()).toString()), &box);
  if (!bitmap) return;
  m_pPreview->setPixmap(QPixmap::fromImage(BitmapToQImage(bitmap)));
  DeleteBitmap32(bitmap);
}

int CDlgMail::OnCommand(int id) {
  switch (id) {
    case IDC_MAIL_ADD:
    case IDC_MAIL_ADD_LINK:
      OnAdd();
      return 1;
    case IDC_MAIL_REMOVE_SELECTED:
      OnRemoveSelected();
      return 1;
    case IDC_MAIL_REMOVE_ALL:
      OnRemoveAll();
      return 1;
    case IDC_MAIL_ZIP:
      return 1;
    case IDC_MAIL_RESIZE:
      OnResizeToggled();
      return 1;
    case IDC_MAIL_RESIZE_OPTIONS:
      OnResizeOptions();
      return 1;
    case IDC_MAIL_SEND:
      OnSend();
      return 1;
    case IDC_MAIL_POSTPONE:
      EndDialog(IDC_MAIL_POSTPONE);
      return 1;
    case IDCANCEL:
      if (IsSending()) return 1;
      OnRemoveAll();
      DropResize();
      EndDialog(IDCANCEL);
      return 1;
    default:
      return CDialog::OnCommand(id);
  }
}
