#include "shell/mainmenu.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

CMainMenu::CMainMenu(QMainWindow* window, const CMenuState& state)
    : QObject(window), m_state(state) {
  Build(window);
  BuildAccelerators(window);
}

QString CMainMenu::MenuLabel(const MyString& text, const char16_t* keyHint) {
  QString label = text.ToQString();
  if (keyHint && !label.contains(QLatin1Char('\t')))
    label += QLatin1Char('\t') + QString::fromUtf16(keyHint);
  return label;
}

QString CMainMenu::MenuLabel(const tagCOMMANDENTRY& entry) {
  return MenuLabel(MyString(entry.pszText), entry.pszKeyHint);
}

QString CMainMenu::ShownText(const tagCOMMANDENTRY& entry, const MyString& text) {
  QString label = MenuLabel(text, entry.pszKeyHint);
  // A path from a list is shown as it is, not read for mnemonics.
  if (text != MyString(entry.pszText)) label.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return label;
}

QMenu* CMainMenu::Submenu(QMenu* menu, const QString& title, bool separatorBefore) {
  const QString key = menu->title() + QLatin1Char('/') + title;
  if (const auto found = m_submenus.find(key); found != m_submenus.end()) return found->second;
  if (separatorBefore) menu->addSeparator();
  QMenu* submenu = menu->addMenu(title);
  m_submenus.emplace(key, submenu);
  return submenu;
}

void CMainMenu::Build(QMainWindow* window) {
  QMenuBar* bar = window->menuBar();
  bar->setObjectName(QStringLiteral("LORIMO"));
  for (int m = 0; m < MM_COUNT; ++m) {
    QMenu* menu = bar->addMenu(QString::fromUtf16(CCommandTable::MenuTitle(MAINMENU(m))));
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
      emit MenuOpened();
      UpdateMenu(menu);
    });
    m_menus[size_t(m)] = menu;
  }

  for (const tagCOMMANDENTRY& entry : CCommandTable::Entries()) {
    if (entry.nMenu == MM_NONE || !entry.pszText) continue;
    QMenu* menu = m_menus[size_t(entry.nMenu)];
    const bool separator = entry.nFlags & CF_SEPARATOR_BEFORE;
    if (entry.pszSubmenu) {
      const QString title = QString::fromUtf16(entry.pszSubmenu);
      const bool isNew = !m_submenus.count(menu->title() + QLatin1Char('/') + title);
      QMenu* submenu = Submenu(menu, title, separator && isNew);
      if (separator && !isNew) submenu->addSeparator();
      menu = submenu;
    } else if (separator) {
      menu->addSeparator();
    }
    // The input mapping may have named the entry already.
    QAction* action = menu->addAction(ShownText(entry, m_state.Get(entry.nId).strText));
    action->setData(entry.nId);
    action->setCheckable(entry.nFlags & CF_CHECKABLE);
    const int id = entry.nId;
    connect(action, &QAction::triggered, this, [this, action, id] {
      emit CommandChosen(id);
      // The owner decides the check mark, not the click.
      if (action->isCheckable()) UpdateAction(action);
    });
    m_actions.emplace(id, action);
  }
}

void CMainMenu::BuildAccelerators(QMainWindow* window) {
  for (const tagACCELERATOR& accelerator : CCommandTable::Accelerators()) {
    auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(accelerator.pszKey)), window);
    // Also while the viewer is alone on the screen or a tool view floats.
    shortcut->setContext(Qt::ApplicationShortcut);
    shortcut->setObjectName(QString::fromLatin1(accelerator.pszKey));
    const int id = accelerator.nId;
    connect(shortcut, &QShortcut::activated, this, [this, id] { emit CommandChosen(id); });
    // A key held down repeats it, as a menu accelerator does.
    shortcut->setAutoRepeat(true);
    m_shortcuts.push_back(shortcut);
  }
}

QAction* CMainMenu::GetAction(int id) const {
  const auto found = m_actions.find(id);
  if (found != m_actions.end()) return found->second;
  for (QAction* action : m_favorites)
    if (action->data().toInt() == id) return action;
  return nullptr;
}

QMenu* CMainMenu::GetMenu(MAINMENU menu) const {
  return menu > MM_NONE && menu < MM_COUNT ? m_menus[size_t(menu)] : nullptr;
}

QShortcut* CMainMenu::GetShortcut(const char* key) const {
  for (QShortcut* shortcut : m_shortcuts)
    if (shortcut->objectName() == QLatin1String(key)) return shortcut;
  return nullptr;
}

void CMainMenu::UpdateAction(QAction* action) {
  // The plug-ins' entries are always available.
  if (action->property("lorimoPlugin").toBool()) return;
  const int id = action->data().toInt();
  const tagMENUITEMSTATE state = m_state.Get(id);
  const tagCOMMANDENTRY* entry = CCommandTable::Find(id);
  if (entry) action->setText(ShownText(*entry, state.strText));
  action->setEnabled(state.bEnabled);
  if (action->isCheckable()) action->setChecked(state.bChecked);
}

void CMainMenu::UpdateMenu(QMenu* menu) {
  for (QAction* action : menu->actions()) {
    if (QMenu* submenu = action->menu()) {
      UpdateMenu(submenu);
      continue;
    }
    if (!action->isSeparator()) UpdateAction(action);
  }
}

void CMainMenu::UpdateAll() {
  for (QMenu* menu : m_menus) UpdateMenu(menu);
}

void CMainMenu::SetPluginEntries(MAINMENU which,
                                 const std::vector<tagFAVORITESMENUENTRY>& entries) {
  QMenu* menu = m_menus[which];
  std::vector<QAction*>& actions = m_pluginEntries[which];
  for (QAction* action : actions) {
    menu->removeAction(action);
    delete action;
  }
  actions.clear();
  if (!entries.empty()) actions.push_back(menu->addSeparator());
  for (const tagFAVORITESMENUENTRY& entry : entries) {
    QAction* action = menu->addAction(entry.strText);
    action->setData(entry.nId);
    action->setProperty("lorimoPlugin", true);
    const int id = entry.nId;
    connect(action, &QAction::triggered, this, [this, id] { emit CommandChosen(id); });
    actions.push_back(action);
  }
}

void CMainMenu::SetFavoritesEntries(const std::vector<tagFAVORITESMENUENTRY>& entries) {
  QMenu* menu = m_menus[MM_FAVORITES];
  for (QAction* action : m_favorites) {
    menu->removeAction(action);
    if (!action->menu()) delete action;
  }
  m_favorites.clear();
  // Their actions and entries go with them.
  for (QMenu* sub : m_favoriteMenus) delete sub;
  m_favoriteMenus.clear();
  for (const tagFAVORITESMENUENTRY& entry : entries) {
    if (entry.bSeparatorBefore || (m_favorites.empty() && !menu->actions().isEmpty())) {
      QAction* separator = menu->addSeparator();
      m_favorites.push_back(separator);
    }
    m_favorites.push_back(AddFavoritesEntry(menu, entry));
  }
}

QAction* CMainMenu::AddFavoritesEntry(QMenu* menu, const tagFAVORITESMENUENTRY& entry) {
  QAction* action;
  if (entry.fillSubmenu) {
    auto* sub = new QMenu(entry.strText, menu);
    if (menu == m_menus[MM_FAVORITES]) m_favoriteMenus.push_back(sub);
    action = sub->menuAction();
    connect(sub, &QMenu::aboutToShow, this, [this, sub, fill = entry.fillSubmenu] {
      // Sub-menus of the last opening go with their entries.
      for (QMenu* old : sub->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly))
        old->deleteLater();
      sub->clear();
      for (const tagFAVORITESMENUENTRY& child : fill()) AddFavoritesEntry(sub, child);
    });
  } else {
    action = new QAction(entry.strText, menu);
    const int id = entry.nId;
    connect(action, &QAction::triggered, this, [this, id] { emit CommandChosen(id); });
  }
  action->setData(entry.nId);
  action->setCheckable(entry.bChecked);
  action->setChecked(entry.bChecked);
  menu->addAction(action);
  return action;
}
