#pragma once
// "Installed Plugins": the loaded plug-ins with their icons, and below the
// list what the selected one says about itself; files that were refused
// are listed with their reason. The dialog only shows what it is given.

#include <QDialog>
#include <QImage>
#include <vector>

#include "corekit/mystring.h"

class QLabel;
class QListWidget;

struct tagINSTALLEDPLUGIN {
  MyString strFile;  // the file name without folder; empty: unknown
  QImage icon;       // 32 x 32; null: the program's own
  MyString strName, strDeveloper, strWebAddress, strSupportPhone;
  MyString strRefusal;  // non-empty for a refused file
};

class CInstalledPluginsDialog : public QDialog {
  Q_OBJECT
 public:
  CInstalledPluginsDialog(std::vector<tagINSTALLEDPLUGIN> plugins, QWidget* parent = nullptr);

  QListWidget* List() const { return m_list; }
  // The text under the list (rich text with the developer's link).
  QString DetailsText() const;

  static constexpr char kEmptyText[] = "No installed plugins found.";

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowDetails();

  std::vector<tagINSTALLEDPLUGIN> m_plugins;
  QListWidget* m_list;
  QLabel* m_details;
};
