#pragma once
// The startup screen ("Startup options"): in place of the viewer when the
// program starts without an image and the start-up choice asks for it.
// Its links issue the commands of the main menu (Command) or open a recent
// file; dropped files are handed on like drops on the viewer.

#include <QStringList>
#include <QWidget>

#include "corekit/mystring.h"

class QCheckBox;

// Command ids the screen's links issue.
enum : int {
  IDM_OPEN = 1,
  IDM_BATCH = 6,
  IDM_ADD_FAVORITE_DIRECTORY = 350,
  IDM_ADD_FAVORITE_PORTFOLIO = 351,
  IDM_RECENT_FILE_1 = 3059,  // .. 3062
};

inline constexpr char kLorimoWebSite[] = "https://lorimo.example.org/";
inline constexpr char kLorimoContact[] = "mailto:lorimo@example.org";

class CStartupScreen : public QWidget {
  Q_OBJECT

 public:
  // recentFiles: the recent files list, most recent first (up to four used).
  explicit CStartupScreen(const std::vector<MyString>& recentFiles, QWidget* parent = nullptr);

  // "Don't show again", read as the screen closes.
  bool IsDontShowAgainChecked() const;
  QCheckBox* DontShowAgainBox() const { return m_dontShow; }

 signals:
  void Command(int id);
  void FilesDropped(const QStringList& paths);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QCheckBox* m_dontShow;
};
