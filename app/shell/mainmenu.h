#pragma once
// The menu bar "LORIMO" and the accelerator table "LORIMO", built from the
// command table. Choosing an entry or pressing an accelerator key sends its
// command id (CommandChosen); each menu refreshes the state of its entries
// as it opens (MenuOpened is sent first: opening a menu stops autoplay).
// GUI thread only.

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <vector>

#include "shell/commandtable.h"
#include "shell/menustate.h"

class QAction;
class QMainWindow;
class QMenu;
class QShortcut;

struct tagFAVORITESMENUENTRY {
  int nId;  // handed out by the router (60000 up)
  QString strText;
  bool bChecked = false;
  bool bSeparatorBefore = false;
  // Favorites only: the entries of its sub-menu, asked for each time the
  // sub-menu opens. Null: a plain entry.
  std::function<std::vector<tagFAVORITESMENUENTRY>()> fillSubmenu = nullptr;
};

class CMainMenu : public QObject {
  Q_OBJECT
 public:
  CMainMenu(QMainWindow* window, const CMenuState& state);

  QAction* GetAction(int id) const;
  QMenu* GetMenu(MAINMENU menu) const;
  // The shortcut of an accelerator key ("Ctrl+F1"), or null.
  QShortcut* GetShortcut(const char* key) const;

  // Reads every entry's state (text, enabled, checked) again.
  void UpdateMenu(QMenu* menu);
  void UpdateAll();

  // The favorites entries, at the end of the Favorites menu; replaces those
  // given before.
  void SetFavoritesEntries(const std::vector<tagFAVORITESMENUENTRY>& entries);
  // One entry added to a favorites menu or sub-menu; a sub-menu's own
  // entries are made when it opens.
  QAction* AddFavoritesEntry(QMenu* menu, const tagFAVORITESMENUENTRY& entry);
  // The plug-ins' entries, at the end of menu (Tools, View); replaces those
  // given before for that menu.
  void SetPluginEntries(MAINMENU menu, const std::vector<tagFAVORITESMENUENTRY>& entries);

  // What the menu shows for a table entry: its text and the key beside it.
  static QString MenuLabel(const tagCOMMANDENTRY& entry);
  static QString MenuLabel(const MyString& text, const char16_t* keyHint);

 signals:
  void CommandChosen(int id);
  void MenuOpened();

 private:
  void Build(QMainWindow* window);
  void BuildAccelerators(QMainWindow* window);
  QMenu* Submenu(QMenu* menu, const QString& title, bool separatorBefore);
  void UpdateAction(QAction* action);
  // The entry's label for the text its state gives.
  static QString ShownText(const tagCOMMANDENTRY& entry, const MyString& text);

  const CMenuState& m_state;
  std::array<QMenu*, MM_COUNT> m_menus{};
  std::map<int, QAction*> m_actions;
  std::map<QString, QMenu*> m_submenus;  // by menu and title
  std::vector<QAction*> m_favorites;
  std::vector<QMenu*> m_favoriteMenus;                   // the favorites' sub-menus
  std::map<int, std::vector<QAction*>> m_pluginEntries;  // by menu
  std::vector<QShortcut*> m_shortcuts;
};
