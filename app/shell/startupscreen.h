#pragma once
// The startup screen ("Startup options"): in place of the viewer when the
// program starts without an image and the start-up choice asks for it.
// Its links issue the commands of the main menu (Command) or open a recent
// file; dropped files are handed on like drops on the viewer.

#include <QStringList>
#include <QWidget>

#include "corekit/mystring.h"
#include "shell/commandids.h"

class QCheckBox;

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
