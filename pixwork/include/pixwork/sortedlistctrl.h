#pragma once
// CSortedListCtrl: a report list whose columns are typed (text, number,
// date) and sorted by a click on their heading, a second click reversing
// the order. Marked columns are edited in place (double click, F2). "Up"
// and "Down" move the one selected row and leave the list in manual order
// (no sort column). Every change by the user sets the modified flag; the
// owner clears it. Rows carry a value of the owner (SetItemData).
// GUI thread only.

#include <QDateTime>
#include <QTreeWidget>
#include <functional>
#include <vector>

enum SORTEDCOLUMNTYPE : int {
  SLC_TEXT = 0,
  SLC_NUMBER = 1,  // sorted by the signed decimal the text starts with
  SLC_DATE = 2,    // sorted by the time given to SetItemDate
};

class CSortedListCtrl : public QTreeWidget {
  Q_OBJECT

 public:
  explicit CSortedListCtrl(QWidget* parent = nullptr);

  // Appends a column; editable columns take in-place edits (number columns
  // only digits with an optional sign). Returns its index.
  int AddColumn(const QString& heading, SORTEDCOLUMNTYPE type, bool bEditable = false,
                Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
  SORTEDCOLUMNTYPE GetColumnType(int column) const;
  bool IsColumnEditable(int column) const;

  // Inserts a row at index (past the end: appended) with the texts of its
  // first columns; returns its index. Does not sort and does not mark the
  // list modified: the owner decides both.
  int InsertItem(int index, const QStringList& texts, const QVariant& data = QVariant());
  int GetItemCount() const { return topLevelItemCount(); }
  QString GetItemText(int row, int column) const;
  void SetItemText(int row, int column, const QString& text);
  // A date cell: shown in the locale's short form, sorted by time.
  void SetItemDate(int row, int column, const QDateTime& time);
  QVariant GetItemData(int row) const;
  void SetItemData(int row, const QVariant& data);
  // The signed decimal the cell starts with (0 when none).
  long long GetItemNumber(int row, int column) const;
  void DeleteItem(int row);
  void DeleteAllItems();

  // Selected rows, ascending.
  std::vector<int> GetSelectedRows() const;
  void SelectRow(int row, bool bOnly = true);

  // Sorts by column (-1: manual order, nothing moves). A click on a
  // heading does this, reversing the order on the current sort column.
  void SortByColumn(int column, bool bAscending);
  // Sorts again by the current sort column (nothing in manual order).
  void Resort();
  int GetSortColumn() const { return m_nSortColumn; }
  bool IsSortAscending() const { return m_bAscending; }

  // Move the selected row one place. 1 when moved; 0 at the end of the
  // list or with no row selected; with two or more rows selected the
  // refusal "Please select only one item to move." ("Error") is shown.
  int MoveSelectedUp() { return MoveSelected(-1); }
  int MoveSelectedDown() { return MoveSelected(1); }

  bool IsModified() const { return m_bModified; }
  void SetModified(bool bModified);

  // Shows the refusal of a move (default: a warning box). Tests and
  // owners without a window may replace it.
  std::function<void(const QString& text, const QString& caption)> showError;

  static bool LessThan(SORTEDCOLUMNTYPE type, const QTreeWidgetItem& a, const QTreeWidgetItem& b,
                       int column);

 signals:
  // The modified flag changed.
  void ModifiedChanged(bool bModified);
  // A cell was edited in place (the flag is set by then).
  void ItemEdited(int row, int column);

 private:
  struct Column {
    SORTEDCOLUMNTYPE type;
    bool bEditable;
    Qt::Alignment alignment;
  };

  int MoveSelected(int step);
  void OnHeaderClicked(int column);

  std::vector<Column> m_columns;
  int m_nSortColumn = -1;
  bool m_bAscending = true;
  bool m_bModified = false;
  bool m_bFilling = false;  // programmatic changes: no edit notices
};
