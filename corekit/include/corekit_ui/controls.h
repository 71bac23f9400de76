#pragma once
// Owner-drawn controls of the dialogs and tool windows, and labels turned
// into links. Controls that carry command ids emit Command(id); a CDialog
// routes that to OnCommand (CDialog::SetDlgItem).

#include <QAbstractButton>
#include <QIcon>
#include <QMenu>
#include <QPushButton>
#include <QString>
#include <QToolButton>

class QLabel;

// A flat button that draws only its icon (and optional text to its right),
// raised while the mouse is over it and sunk while pressed or checked.
class CIconButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit CIconButton(const QIcon& icon, const QString& text = QString(),
                       QWidget* parent = nullptr);

  QSize sizeHint() const override;
  bool IsHot() const { return m_bHot; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool m_bHot = false;
};

// A button with a drop-down menu: pressing it opens the menu, choosing an
// entry issues the entry's command id.
class CMenuButton : public QPushButton {
  Q_OBJECT

 public:
  explicit CMenuButton(const QString& text, QWidget* parent = nullptr);

  QAction* AddMenuItem(int id, const QString& text);
  void AddSeparator();
  // Checks the entry of id and clears the others (a choice among entries).
  void SetCheckedItem(int id);
  QMenu* GetMenu() { return &m_menu; }

 signals:
  void Command(int id);

 private:
  QMenu m_menu;
};

// A toolbar-style split button: the main part issues its own click, the
// arrow part opens a menu whose entries issue their command ids. Drawn flat
// with the hot-tracking highlight of classic desktop menus.
class CXPButtonMenu : public QToolButton {
  Q_OBJECT

 public:
  explicit CXPButtonMenu(const QIcon& icon, const QString& text, QWidget* parent = nullptr);

  QAction* AddMenuItem(int id, const QString& text);
  void AddSeparator();
  QMenu* GetMenu() { return &m_menu; }

 signals:
  void Command(int id);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QMenu m_menu;
};

// A label acting as a link: drawn underlined in the link colour with a hand
// cursor; a click (or Enter / Space when it has the focus) opens its address
// or issues its command: to the label's CDialog (OnCommand) and as Command(id).
class CHyperlink : public QObject {
  Q_OBJECT

 public:
  CHyperlink(QLabel* label, const QString& url, int commandId);

  void SetUrl(const QString& url, int commandId);
  const QString& GetUrl() const { return m_url; }
  int GetCommandId() const { return m_nCommandId; }
  // What a click does. Returns 1 when the address opened or the command went out.
  int Activate();

 signals:
  void Command(int id);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLabel* m_label;
  QString m_url;
  int m_nCommandId = 0;
};

// Turn a label into a link that opens url, or that issues commandId. A label
// converted twice keeps one link with the newer target.
CHyperlink* ConvertStaticToHyperlink(QLabel* label, const QString& url);
CHyperlink* ConvertStaticToHyperlink(QLabel* label, int commandId);
