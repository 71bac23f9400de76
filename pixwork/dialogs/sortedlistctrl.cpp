#include "pixwork/sortedlistctrl.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>

namespace {

// The time of a date cell, in milliseconds since the epoch.
constexpr int kDateRole = Qt::UserRole + 1;
// The owner's value of a row (kept on column 0).
constexpr int kDataRole = Qt::UserRole + 2;

long long LeadingNumber(const QString& text) {
  const QString t = text.trimmed();
  int i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) negative = t[i++] == u'-';
  long long value = 0;
  for (; i < t.size() && t[i].isDigit() && t[i].unicode() < 128; ++i) {
    if (value < (1LL << 58)) value = value * 10 + (t[i].unicode() - u'0');
  }
  return negative ? -value : value;
}

class CSortedItem : public QTreeWidgetItem {
 public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem& other) const override {
    const auto* list = static_cast<const CSortedListCtrl*>(treeWidget());
    const int column = list ? list->sortColumn() : 0;
    const SORTEDCOLUMNTYPE type = list ? list->GetColumnType(column) : SLC_TEXT;
    return CSortedListCtrl::LessThan(type, *this, other, column);
  }
};

// Edits only the marked columns; number columns take digits only.
class CSortedDelegate : public QStyledItemDelegate {
 public:
  explicit CSortedDelegate(CSortedListCtrl* list) : QStyledItemDelegate(list), m_pList(list) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    if (!m_pList->IsColumnEditable(index.column())) return nullptr;
    auto* editor = new QLineEdit(parent);
    if (m_pList->GetColumnType(index.column()) == SLC_NUMBER) {
      editor->setValidator(
          new QRegularExpressionValidator(QRegularExpression("[-+]?[0-9]{0,10}"), editor));
    }
    return editor;
  }

 private:
  CSortedListCtrl* m_pList;
};

}  // namespace

CSortedListCtrl::CSortedListCtrl(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  setItemDelegate(new CSortedDelegate(this));
  header()->setSectionsClickable(true);
  header()->setSortIndicatorShown(false);
  connect(header(), &QHeaderView::sectionClicked, this, &CSortedListCtrl::OnHeaderClicked);
  connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (m_bFilling) return;
    SetModified(true);
    emit ItemEdited(indexOfTopLevelItem(item), column);
  });
  showError = [this](const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, this);
    box.exec();
  };
}

int CSortedListCtrl::AddColumn(const QString& heading, SORTEDCOLUMNTYPE type, bool bEditable,
                               Qt::Alignment alignment) {
  m_columns.push_back(Column{type, bEditable, alignment});
  const int column = int(m_columns.size()) - 1;
  setColumnCount(int(m_columns.size()));
  QTreeWidgetItem* head = headerItem();
  head->setText(column, heading);
  head->setTextAlignment(column, alignment);
  return column;
}

SORTEDCOLUMNTYPE CSortedListCtrl::GetColumnType(int column) const {
  return column >= 0 && column < int(m_columns.size()) ? m_columns[column].type : SLC_TEXT;
}

bool CSortedListCtrl::IsColumnEditable(int column) const {
  return column >= 0 && column < int(m_columns.size()) && m_columns[column].bEditable;
}

bool CSortedListCtrl::LessThan(SORTEDCOLUMNTYPE type, const QTreeWidgetItem& a,
                               const QTreeWidgetItem& b, int column) {
  switch (type) {
    case SLC_NUMBER:
      return LeadingNumber(a.text(column)) < LeadingNumber(b.text(column));
    case SLC_DATE:
      return a.data(column, kDateRole).toLongLong() < b.data(column, kDateRole).toLongLong();
    case SLC_TEXT:
      break;
  }
  return QString::localeAwareCompare(a.text(column), b.text(column)) < 0;
}

int CSortedListCtrl::InsertItem(int index, const QStringList& texts, const QVariant& data) {
  m_bFilling = true;
  auto* item = new CSortedItem;
  for (int c = 0; c < int(m_columns.size()); ++c) {
    if (c < texts.size()) item->setText(c, texts[c]);
    item->setTextAlignment(c, m_columns[c].alignment);
  }
  item->setData(0, kDataRole, data);
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  if (index < 0 || index > topLevelItemCount()) index = topLevelItemCount();
  insertTopLevelItem(index, item);
  m_bFilling = false;
  return index;
}

QString CSortedListCtrl::GetItemText(int row, int column) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item ? item->text(column) : QString();
}

void CSortedListCtrl::SetItemText(int row, int column, const QString& text) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) return;
  m_bFilling = true;
  item->setText(column, text);
  m_bFilling = false;
}

void CSortedListCtrl::SetItemDate(int row, int column, const QDateTime& time) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) return;
  m_bFilling = true;
  item->setData(column, kDateRole, time.toMSecsSinceEpoch());
  item->setText(column, QLocale().toString(time, QLocale::ShortFormat));
  m_bFilling = false;
}

QVariant CSortedListCtrl::GetItemData(int row) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item ? item->data(0, kDataRole) : QVariant();
}

void CSortedListCtrl::SetItemData(int row, const QVariant& data) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) return;
  m_bFilling = true;
  item->setData(0, kDataRole, data);
  m_bFilling = false;
}

long long CSortedListCtrl::GetItemNumber(int row, int column) const {
  return LeadingNumber(GetItemText(row, column));
}

void CSortedListCtrl::DeleteItem(int row) { delete takeTopLevelItem(row); }

void CSortedListCtrl::DeleteAllItems() { clear(); }

std::vector<int> CSortedListCtrl::GetSelectedRows() const {
  std::vector<int> rows;
  for (int row = 0; row < topLevelItemCount(); ++row) {
    if (topLevelItem(row)->isSelected()) rows.push_back(row);
  }
  return rows;
}

void CSortedListCtrl::SelectRow(int row, bool bOnly) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) return;
  if (bOnly) clearSelection();
  item->setSelected(true);
  setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
}

void CSortedListCtrl::SortByColumn(int column, bool bAscending) {
  if (column < 0 || column >= int(m_columns.size())) {
    m_nSortColumn = -1;
    header()->setSortIndicatorShown(false);
    return;
  }
  m_nSortColumn = column;
  m_bAscending = bAscending;
  sortItems(column, bAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
  header()->setSortIndicatorShown(true);
  header()->setSortIndicator(column, bAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CSortedListCtrl::Resort() {
  if (m_nSortColumn >= 0) SortByColumn(m_nSortColumn, m_bAscending);
}

void CSortedListCtrl::OnHeaderClicked(int column) {
  SortByColumn(column, column == m_nSortColumn ? !m_bAscending : true);
}

int CSortedListCtrl::MoveSelected(int step) {
  const std::vector<int> rows = GetSelectedRows();
  if (rows.size() > 1) {
    if (showError) showError(tr("Please select only one item to move."), tr("Error"));
    return 0;
  }
  if (rows.empty()) return 0;
  const int from = rows.front();
  const int to = from + step;
  if (to < 0 || to >= topLevelItemCount()) return 0;
  m_bFilling = true;
  QTreeWidgetItem* item = takeTopLevelItem(from);
  insertTopLevelItem(to, item);
  m_bFilling = false;
  SelectRow(to);
  scrollToItem(item);
  SortByColumn(-1, m_bAscending);
  SetModified(true);
  return 1;
}

void CSortedListCtrl::SetModified(bool bModified) {
  if (m_bModified == bModified) return;
  m_bModified = bModified;
  emit ModifiedChanged(bModified);
}
