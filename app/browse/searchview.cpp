#include "browse/searchview.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDateTime>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeDatabase>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "corekit/platform.h"
#include "corekit/straw.h"
#include "corekit_ui/uiutil.h"
#include "pixwork/formats.h"
#include "shell/commandline.h"
#include "shell/mainframe.h"
#include "viewer/imageview.h"

namespace {

constexpr int kCollectMs = 100;
constexpr int kRowRole = Qt::UserRole;  // index into the rows

QString ModifiedText(const tagSEARCHRESULT& row) {
  const QDateTime when = QDateTime::fromSecsSinceEpoch(row.tModified).toLocalTime();
  return QLocale().toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
         when.time().toString(QStringLiteral("HH:mm"));
}

}  // namespace

void CLookInBox::SetFolder(const MyString& folder) {
  const QString text = folder.ToQString();
  if (findText(text) < 0) insertItem(0, text);
  setCurrentIndex(findText(text));
  setEditText(text);
}

void CLookInBox::showPopup() {
  if (!m_bBrowsing) {
    QComboBox::showPopup();
    return;
  }
  const QString folder = QFileDialog::getExistingDirectory(this, tr("Look in"), currentText());
  if (!folder.isEmpty()) SetFolder(MyString::FromQString(folder));
}

CSearchView::CSearchView(CMainFrame* frame, QWidget* parent)
    : QWidget(parent), m_frame(frame), m_collect(new QTimer(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("Search for ..."), this));
  m_text = new QLineEdit(this);
  layout->addWidget(m_text);

  m_byDate = new QCheckBox(tr("Search by Date"), this);
  layout->addWidget(m_byDate);
  auto* dates = new QHBoxLayout;
  m_from = new QDateEdit(QDate::currentDate(), this);
  m_to = new QDateEdit(QDate::currentDate(), this);
  for (QDateEdit* edit : {m_from, m_to}) {
    edit->setCalendarPopup(true);
    edit->setEnabled(false);
  }
  dates->addWidget(m_from, 1);
  dates->addWidget(new QLabel(QStringLiteral("<<  >>"), this));
  dates->addWidget(m_to, 1);
  layout->addLayout(dates);
  connect(m_byDate, &QCheckBox::toggled, this, [this](bool on) {
    m_from->setEnabled(on);
    m_to->setEnabled(on);
  });

  layout->addWidget(new QLabel(tr("Look in :"), this));
  m_lookIn = new CLookInBox(this);
  m_lookIn->setEditable(true);
  m_lookIn->setInsertPolicy(QComboBox::NoInsert);
  layout->addWidget(m_lookIn);
  MyString start = GetDefaultSearchDirectory();
  if (start.IsEmpty()) {
    // No default: the desktop, a folder browser for the drop-down, and the
    // viewer's folders as they are opened.
    start = GetDesktopFolder();
    m_lookIn->SetBrowsing(true);
    if (m_frame)
      connect(m_frame->Viewer(), &CImageView::CurrentImageChanged, this,
              [this](const QString& path) {
                if (!path.isEmpty())
                  m_lookIn->SetFolder(MyString::FromQString(path).GetStringPath());
              });
  }
  m_lookIn->SetFolder(start);

  m_byType = new QCheckBox(tr("Search by Type"), this);
  layout->addWidget(m_byType);
  m_types = new QComboBox(this);
  layout->addWidget(m_types);
  FillTypes();
  connect(m_types, &QComboBox::activated, this, &CSearchView::OnTypeChosen);
  connect(m_byType, &QCheckBox::clicked, this, &CSearchView::OnTypeChecked);

  auto* buttons = new QHBoxLayout;
  m_searchNow = new QPushButton(tr("Search Now"), this);
  m_stop = new QPushButton(tr("Stop Search"), this);
  m_stop->setEnabled(false);
  buttons->addWidget(m_searchNow);
  buttons->addWidget(m_stop);
  layout->addLayout(buttons);
  connect(m_searchNow, &QPushButton::clicked, this, &CSearchView::StartSearch);
  connect(m_stop, &QPushButton::clicked, this, &CSearchView::StopSearch);
  connect(m_text, &QLineEdit::returnPressed, this, &CSearchView::StartSearch);

  m_results = new QTreeWidget(this);
  m_results->setRootIsDecorated(false);
  m_results->setUniformRowHeights(true);
  m_results->setHeaderLabels({tr("Name"), tr("In Folder"), tr("Type"), tr("Modified")});
  m_results->header()->setSectionsClickable(true);
  m_results->header()->setStretchLastSection(false);
  layout->addWidget(m_results, 1);
  m_results->viewport()->installEventFilter(this);
  connect(m_results->header(), &QHeaderView::sectionClicked, this, [this](int column) {
    if (!IsSearching()) SortBy(SearchColumn(column));
  });
  connect(m_results, &QTreeWidget::itemActivated, this, &CSearchView::OnActivated);

  m_collect->setInterval(kCollectMs);
  connect(m_collect, &QTimer::timeout, this, &CSearchView::Collect);
}

CSearchView::~CSearchView() {
  m_search.Stop();
  // The thread ends at its next entry; events keep running meanwhile.
  while (m_search.IsRunning())
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
  m_search.Wait();
}

void CSearchView::FillTypes() {
  m_typeList = GetSupportedExtensions();
  if (std::none_of(m_typeList.begin(), m_typeList.end(),
                   [](const MyString& type) { return type.EqualsNoCase(u"LRM"); }))
    m_typeList.push_back(u"LRM");
  m_types->addItem(tr("All Lorimo supported types"));
  QMimeDatabase mimes;
  QFileIconProvider icons;
  for (const MyString& type : m_typeList) {
    const QMimeType mime = mimes.mimeTypeForFile(QStringLiteral("x.") + type.ToQString().toLower(),
                                                 QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(mime.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(mime.genericIconName());
    if (icon.isNull()) icon = icons.icon(QFileIconProvider::File);
    const QString name = mime.isDefault() ? type.ToQString() + tr(" file") : mime.comment();
    m_types->addItem(icon, name + QStringLiteral(" (") + type.ToQString() + QLatin1Char(')'));
  }
}

void CSearchView::OnTypeChosen(int row) { m_byType->setChecked(row != kAllTypesRow); }

void CSearchView::OnTypeChecked(bool checked) {
  if (checked) {
    m_types->showPopup();
  } else {
    m_types->setCurrentIndex(kAllTypesRow);
  }
}

void CSearchView::StartSearch() {
  if (IsSearching()) return;
  tagSEARCHQUERY query;
  query.strText = MyString::FromQString(m_text->text());
  query.strFolder = MyString::FromQString(m_lookIn->currentText().trimmed());
  while (query.strFolder.GetLength() > 1 && query.strFolder.str().back() == u'/')
    query.strFolder.tShaveLastChar();
  query.types = m_typeList;
  query.nType = m_types->currentIndex() - 1;
  query.bByDate = m_byDate->isChecked();
  if (query.bByDate) GetSearchDayRange(m_from->date(), m_to->date(), &query.tFrom, &query.tTo);

  m_rows.clear();
  m_results->clear();
  auto sink = std::make_shared<tagSINK>();
  m_sink = sink;
  const int started = m_search.Start(
      query,
      [sink](const tagSEARCHRESULT& row) {
        std::lock_guard<std::mutex> lock(sink->mutex);
        sink->rows.push_back(row);
      },
      [sink] {
        std::lock_guard<std::mutex> lock(sink->mutex);
        sink->bDone = true;
      });
  if (!started) return;
  m_bCollecting = true;
  m_searchNow->setEnabled(false);
  m_stop->setEnabled(true);
  m_collect->start();
}

void CSearchView::StopSearch() { m_search.Stop(); }

void CSearchView::Collect() {
  if (!m_sink) return;
  std::vector<tagSEARCHRESULT> rows;
  bool done;
  {
    std::lock_guard<std::mutex> lock(m_sink->mutex);
    rows.swap(m_sink->rows);
    done = m_sink->bDone;
  }
  m_results->setUpdatesEnabled(false);
  for (tagSEARCHRESULT& row : rows) {
    m_rows.push_back(std::move(row));
    AddRow(m_rows.back());
  }
  m_results->setUpdatesEnabled(true);
  if (!done) return;
  m_search.Wait();
  m_collect->stop();
  m_sink.reset();
  m_bCollecting = false;
  m_searchNow->setEnabled(true);
  m_stop->setEnabled(false);
  emit SearchFinished();
}

void CSearchView::AddRow(const tagSEARCHRESULT& row) {
  auto* item = new QTreeWidgetItem(m_results);
  item->setText(0, row.strName.ToQString());
  item->setText(1, row.strFolder.ToQString());
  item->setText(2, row.strType.ToQString());
  item->setText(3, ModifiedText(row));
  item->setToolTip(0, row.strPath.ToQString());
  item->setData(0, kRowRole, qulonglong(&row - m_rows.data()));
}

void CSearchView::Rebuild() {
  m_results->setUpdatesEnabled(false);
  m_results->clear();
  for (const tagSEARCHRESULT& row : m_rows) AddRow(row);
  m_results->setUpdatesEnabled(true);
}

void CSearchView::SortBy(SearchColumn column) {
  SortSearchResults(&m_rows, column);
  Rebuild();
}

void CSearchView::OnActivated(QTreeWidgetItem* item) {
  const size_t index = size_t(item->data(0, kRowRole).toULongLong());
  if (index < m_rows.size()) OpenResult(m_rows[index]);
}

int CSearchView::OpenResult(const tagSEARCHRESULT& row) {
  if (!QFileInfo::exists(row.strPath.ToQString()) || !m_frame) return 0;
  if (row.bFolder) return m_frame->ShowFolder(row.strPath);
  if (IsPortfolioPath(row.strPath)) return m_frame->ShowPortfolio(row.strPath);
  return m_frame->OpenImage(row.strPath);
}

bool CSearchView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_results->viewport() && event->type() == QEvent::Resize) SetColumnWidths();
  return QWidget::eventFilter(watched, event);
}

void CSearchView::SetColumnWidths() {
  const int width = m_results->viewport()->width();
  m_results->setColumnWidth(0, width / 5);
  m_results->setColumnWidth(1, width * 2 / 5);
  m_results->setColumnWidth(2, width / 5);
  m_results->setColumnWidth(3, width / 5);
}
