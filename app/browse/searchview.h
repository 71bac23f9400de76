#pragma once
// The "Search ..." tool view: name text, a date range, the folder to look
// in and the image type, "Search Now" and "Stop Search", and the results
// in four columns. The search runs on its own thread (CSearchThread); rows
// reach the list on a timer, so a search finding many images keeps the
// window responsive. Activating a row opens it in the viewer.

#include <QComboBox>
#include <QWidget>
#include <memory>
#include <mutex>
#include <vector>

#include "browse/searchthread.h"

class CMainFrame;
class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

// "Look in :": an editable box whose drop-down may open a folder browser.
class CLookInBox : public QComboBox {
  Q_OBJECT
 public:
  using QComboBox::QComboBox;
  void SetBrowsing(bool browsing) { m_bBrowsing = browsing; }
  bool IsBrowsing() const { return m_bBrowsing; }
  void SetFolder(const MyString& folder);
  void showPopup() override;

 private:
  bool m_bBrowsing = false;
};

class CSearchView : public QWidget {
  Q_OBJECT
 public:
  // frame: where results open (null in tests: nothing opens).
  explicit CSearchView(CMainFrame* frame, QWidget* parent = nullptr);
  ~CSearchView() override;  // stops a search, waiting with events running

  static constexpr int kAllTypesRow = 0;

  void StartSearch();  // "Search Now"
  void StopSearch();   // "Stop Search"
  bool IsSearching() const { return m_search.IsRunning() || m_bCollecting; }
  // Opens a result: folder, portfolio or image. 0 when it is gone.
  int OpenResult(const tagSEARCHRESULT& row);
  void SortBy(SearchColumn column);

  // The controls, for the program's menus and tests.
  QLineEdit* TextBox() const { return m_text; }
  CLookInBox* LookInBox() const { return m_lookIn; }
  QComboBox* TypeBox() const { return m_types; }
  QCheckBox* DateCheck() const { return m_byDate; }
  QDateEdit* FromDate() const { return m_from; }
  QDateEdit* ToDate() const { return m_to; }
  QPushButton* SearchButton() const { return m_searchNow; }
  QPushButton* StopButton() const { return m_stop; }
  QTreeWidget* Results() const { return m_results; }
  const std::vector<tagSEARCHRESULT>& GetRows() const { return m_rows; }

 signals:
  void SearchFinished();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Where the search thread leaves its rows; shared, so it may outlive us.
  struct tagSINK {
    std::mutex mutex;
    std::vector<tagSEARCHRESULT> rows;
    bool bDone = false;
  };

  void FillTypes();
  void OnTypeChosen(int row);
  void OnTypeChecked(bool checked);
  void Collect();  // takes the rows found so far
  void AddRow(const tagSEARCHRESULT& row);
  void Rebuild();
  void SetColumnWidths();
  void OnActivated(QTreeWidgetItem* item);

  CMainFrame* m_frame;
  QLineEdit* m_text;
  QCheckBox* m_byDate;
  QDateEdit* m_from;
  QDateEdit* m_to;
  CLookInBox* m_lookIn;
  QCheckBox* m_byType;
  QComboBox* m_types;
  QPushButton* m_searchNow;
  QPushButton* m_stop;
  QTreeWidget* m_results;
  QTimer* m_collect;

  std::vector<MyString> m_typeList;
  CSearchThread m_search;
  std::shared_ptr<tagSINK> m_sink;
  bool m_bCollecting = false;
  std::vector<tagSEARCHRESULT> m_rows;
};
