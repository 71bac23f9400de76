#pragma once
// The toolbox ("Tools" tool view): buttons for the commands used most, the
// viewer states (pressed while on) and the mouse tools. A button sends its
// command id like the menu entry; its pressed and enabled state is read
// from the command's owner whenever Refresh runs. GUI thread only.

#include <QIcon>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

class CCommandRouter;
class QToolButton;

class CToolbox : public QWidget {
  Q_OBJECT
 public:
  // The commands of the toolbox, in button order.
  static const std::vector<int>& Commands();

  CToolbox(const CCommandRouter& router, std::function<void(int)> send, QWidget* parent = nullptr);

  QToolButton* GetButton(int id) const;
  void Refresh();

  // The plug-ins' buttons, after the own ones; they send their ids like the
  // others and show the selection their plug-in gives. Replaces those given
  // before.
  struct tagPLUGINBUTTON {
    int nId = 0;
    QIcon icon;
    QString strText;
    bool bSelected = false;
  };
  void SetPluginButtons(const std::vector<tagPLUGINBUTTON>& buttons);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  const CCommandRouter& m_router;
  std::function<void(int)> m_send;
  std::map<int, QToolButton*> m_buttons;
  std::vector<QToolButton*> m_pluginButtons;
  int m_nOwnCount = 0;
};
