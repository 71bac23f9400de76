#include "nestbook/dlgselfromfav.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "nestbook/tvt.h"

namespace {

QIcon EntryIcon(const QStyle* style, CBrowseEntry::Kind kind) {
  const QList<QIcon> images = TVTDefaultImageList(style);
  switch (kind) {
    case CBrowseEntry::kFolder:
      return images[0];
    case CBrowseEntry::kDirectory:
      return images[2];
    case CBrowseEntry::kPortfolio:
      return images[4];
    default:
      return style->standardIcon(QStyle::SP_FileIcon);
  }
}

}  // namespace

CDlgSelFromFav::CDlgSelFromFav(QWidget* parent) : CDialog(parent) {
  setWindowTitle(QStringLiteral("Select from Favorites..."));
  m_pLookIn = new QComboBox(this);
  m_pUp = new QToolButton(this);
  m_pUp->setText(QStringLiteral("Up"));
  m_pUp->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
  m_pList = new QListWidget(this);
  m_pFileName = new QLineEdit(this);
  m_pFileTypes = new QComboBox(this);
  m_pOpen = new QPushButton(QStringLiteral("Open"), this);
  m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
  m_pOpen->setDefault(true);

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Look in:"), this));
  top->addWidget(m_pLookIn, 1);
  top->addWidget(m_pUp);
  auto* bottom = new QGridLayout;
  bottom->addWidget(new QLabel(QStringLiteral("File name:"), this), 0, 0);
  bottom->addWidget(m_pFileName, 0, 1);
  bottom->addWidget(m_pOpen, 0, 2);
  bottom->addWidget(new QLabel(QStringLiteral("Files of type:"), this), 1, 0);
  bottom->addWidget(m_pFileTypes, 1, 1);
  bottom->addWidget(m_pCancel, 1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(m_pList, 1);
  layout->addLayout(bottom);
  resize(520, 360);

  for (const CFavFileType& type : GetSelFromFavFileTypes())
    m_pFileTypes->addItem(type.strText.ToQString());

  SetDlgItem(IDOK, m_pOpen);
  SetDlgItem(IDCANCEL, m_pCancel);
  SetDlgItem(IDC_UP, m_pUp);
  connect(m_pLookIn, &QComboBox::activated, this, &CDlgSelFromFav::OnLookIn);
  connect(m_pList, &QListWidget::itemActivated, this, &CDlgSelFromFav::OnActivated);
  connect(m_pList, &QListWidget::itemSelectionChanged, this, &CDlgSelFromFav::OnSelected);
  connect(m_pFileTypes, &QComboBox::currentIndexChanged, this, &CDlgSelFromFav::OnFileType);
}

CDlgSelFromFav::~CDlgSelFromFav() {
  m_pBrowser.reset();
  delete m_data.pRoot;
}

void CDlgSelFromFav::LoadFavorites() {
  m_pBrowser.reset();
  FTLoadDataFromFile(&m_data);
  m_pBrowser = std::make_unique<CFavoritesBrowser>(m_data.pRoot);
  OnFileType(m_pFileTypes->currentIndex());
}

int CDlgSelFromFav::OnInitDialog() {
  m_strPathName = MyString();
  m_pFileName->clear();
  LoadFavorites();
  return 1;
}

void CDlgSelFromFav::Refresh() {
  if (!m_pBrowser) return;
  m_bRefreshing = true;
  m_lookIn = m_pBrowser->GetLookInEntries();
  m_pLookIn->clear();
  int current = 0;
  for (size_t i = 0; i < m_lookIn.size(); ++i) {
    const CLookInEntry& entry = m_lookIn[i];
    const QString indent(entry.nDepth * 3, QLatin1Char(' '));
    m_pLookIn->addItem(indent + entry.strName.ToQString());
    const bool here = entry.pNode ? entry.pNode == m_pBrowser->GetNode() &&
                                        (m_pBrowser->GetDiskPlace().IsEmpty() ||
                                         entry.strPath == m_pBrowser->GetDiskPlace())
                                  : entry.strPath == m_pBrowser->GetDiskPlace();
    if (here) current = int(i);
  }
  m_pLookIn->setCurrentIndex(current);

  m_entries = m_pBrowser->GetEntries();
  m_pList->clear();
  for (const CBrowseEntry& entry : m_entries)
    m_pList->addItem(
        new QListWidgetItem(EntryIcon(style(), entry.nKind), entry.strName.ToQString()));
  m_pUp->setEnabled(m_pBrowser->GetNode()->pParent || !m_pBrowser->GetDiskPlace().IsEmpty());
  m_bRefreshing = false;
}

void CDlgSelFromFav::OnLookIn(int index) {
  if (!m_pBrowser || index < 0 || size_t(index) >= m_lookIn.size()) return;
  m_pBrowser->GoTo(m_lookIn[size_t(index)]);
  Refresh();
}

void CDlgSelFromFav::OnActivated(QListWidgetItem* item) {
  const int row = m_pList->row(item);
  if (row >= 0 && size_t(row) < m_entries.size()) Choose(m_entries[size_t(row)]);
}

void CDlgSelFromFav::OnSelected() {
  if (m_bRefreshing) return;
  const int row = m_pList->currentRow();
  if (row < 0 || size_t(row) >= m_entries.size()) return;
  if (m_entries[size_t(row)].nKind == CBrowseEntry::kFile)
    m_pFileName->setText(m_entries[size_t(row)].strName.ToQString());
}

void CDlgSelFromFav::OnFileType(int index) {
  const auto& types = GetSelFromFavFileTypes();
  if (!m_pBrowser || index < 0 || size_t(index) >= types.size()) return;
  m_pBrowser->SetExtensions(types[size_t(index)].extensions);
  Refresh();
}

int CDlgSelFromFav::Choose(const CBrowseEntry& entry) {
  if (entry.nKind != CBrowseEntry::kFile) {
    if (!m_pBrowser->Open(entry)) return 0;
    m_pFileName->clear();
    Refresh();
    return 1;
  }
  m_strPathName = entry.strPath;
  EndDialog(IDOK);
  return 1;
}

int CDlgSelFromFav::OnCommand(int id) {
  if (id == IDC_UP) {
    if (m_pBrowser && m_pBrowser->Up()) Refresh();
    return 1;
  }
  if (id != IDOK || !m_pBrowser) return CDialog::OnCommand(id);

  const MyString text = MyString::FromQString(m_pFileName->text().trimmed());
  CBrowseEntry entry;
  if (!text.IsEmpty()) {
    entry = m_pBrowser->Resolve(text);
  } else if (const int row = m_pList->currentRow(); row >= 0 && size_t(row) < m_entries.size()) {
    entry = m_entries[size_t(row)];
  } else {
    return 1;  // nothing chosen yet
  }
  if (entry.strPath.IsEmpty() && !entry.pNode) {
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral("%1\nFile not found.").arg(text.ToQString()));
    return 1;
  }
  if (!Choose(entry))
    QMessageBox::warning(
        this, windowTitle(),
        QStringLiteral("%1\nCannot be opened here.").arg(entry.strPath.ToQString()));
  return 1;
}
