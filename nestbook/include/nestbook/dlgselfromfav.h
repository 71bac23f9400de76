#pragma once
// CDlgSelFromFav: the modal "Select from Favorites..." dialog. It reads its
// own copy of the favorites tree and lets the user walk it ("Look in:",
// "Up", double clicks) down to an image or a portfolio slide; "Open" ends it
// with the chosen file (GetPathName). GUI thread only.

#include <memory>

#include "corekit/mystring.h"
#include "corekit_ui/dialog.h"
#include "nestbook/favoritesbrowser.h"
#include "nestbook/favoritesfile.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QToolButton;

class CDlgSelFromFav : public CDialog {
  Q_OBJECT

 public:
  enum { IDC_UP = 1001 };

  explicit CDlgSelFromFav(QWidget* parent = nullptr);
  ~CDlgSelFromFav() override;

  // The file chosen with "Open".
  const MyString& GetPathName() const { return m_strPathName; }

  // Reads the favorites file and shows its top level (done when the dialog
  // opens; callable before, to prepare or test it).
  void LoadFavorites();

  QComboBox* GetLookIn() const { return m_pLookIn; }
  QListWidget* GetList() const { return m_pList; }
  QLineEdit* GetFileName() const { return m_pFileName; }
  QComboBox* GetFileTypes() const { return m_pFileTypes; }
  CFavoritesBrowser* GetBrowser() const { return m_pBrowser.get(); }

 protected:
  int OnInitDialog() override;
  int OnCommand(int id) override;

 private:
  void Refresh();
  void OnLookIn(int index);
  void OnActivated(QListWidgetItem* item);
  void OnSelected();
  void OnFileType(int index);
  // Opens the entry: goes into it, or ends the dialog with a file. 1 when done.
  int Choose(const CBrowseEntry& entry);

  tagFAVORITESDATA m_data;
  std::unique_ptr<CFavoritesBrowser> m_pBrowser;
  std::vector<CBrowseEntry> m_entries;
  std::vector<CLookInEntry> m_lookIn;
  MyString m_strPathName;
  bool m_bRefreshing = false;

  QComboBox* m_pLookIn;
  QToolButton* m_pUp;
  QListWidget* m_pList;
  QLineEdit* m_pFileName;
  QComboBox* m_pFileTypes;
  QPushButton* m_pOpen;
  QPushButton* m_pCancel;
};
