#pragma once
// "About": the program's name and version and the versions of the libraries
// it works with, with the "Installed Plugins..." button that the plug-in
// host fills in.

#include <functional>
#include <vector>

#include "corekit/mystring.h"
#include "corekit_ui/dialog.h"

class QPlainTextEdit;
class QPushButton;

struct tagLIBRARYVERSION {
  MyString strName;
  MyString strVersion;
};

// What each part reports about its libraries, in the order shown.
std::vector<tagLIBRARYVERSION> CollectLibraryVersions();
// The same as lines of "name: version".
MyString FormatLibraryVersions(const std::vector<tagLIBRARYVERSION>& versions);

constexpr int IDC_ABOUT_INSTALLED_PLUGINS = 1001;

class CDlgAbout : public CDialog {
  Q_OBJECT

 public:
  explicit CDlgAbout(QWidget* parent = nullptr);

  // What "Installed Plugins..." does; the button is disabled without it.
  void SetInstalledPluginsHandler(std::function<void()> handler);
  QString GetLibraryText() const;
  QPushButton* GetInstalledPluginsButton() const { return m_plugins; }

 protected:
  int OnInitDialog() override;
  int OnCommand(int id) override;

 private:
  std::function<void()> m_installedPlugins;
  QPushButton* m_plugins;
  QPlainTextEdit* m_libraries;
};

// Command "About": the dialog above, modal.
void RunAbout(QWidget* parent, std::function<void()> installedPlugins = {});
