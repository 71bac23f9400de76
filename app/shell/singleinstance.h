#pragma once
// One running viewer per user: a local socket named "LORIMO" in the user's
// runtime folder ($XDG_RUNTIME_DIR), reachable by this user only. The first
// program listens on it. A later program with an image or a portfolio asks
// it to close, waits until it has run its normal shut-down (settings saved)
// and takes its place; a later program started for a connected camera
// ("/WIAAuto") leaves it alone and ends. A socket left behind by a program
// that died is removed and listened on again.
//
// Protocol: the newcomer sends "CLOSE\n"; the running program answers
// "CLOSED\n" once its settings are saved, then stops listening.

#include <QList>
#include <QLocalServer>
#include <QObject>
#include <QPointer>
#include <QString>

#include "corekit/mystring.h"

class QLocalSocket;

enum SINGLEINSTANCERESULT { SINGLEINSTANCE_GO_ON, SINGLEINSTANCE_STOP };

class CSingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit CSingleInstance(QString socketPath = DefaultSocketPath(), QObject* parent = nullptr);
  ~CSingleInstance() override;

  // $XDG_RUNTIME_DIR/LORIMO.
  static QString DefaultSocketPath();

  // Applies the rule for a program started with argument (empty: none).
  // GO_ON: this program is now the running one (or could not listen, in
  // which case it runs beside another); STOP: it must end.
  SINGLEINSTANCERESULT Run(const MyString& argument);
  bool IsListening() const { return m_server.isListening(); }

  // Tells every newcomer waiting for this program that its shut-down has
  // saved what it had to, and stops listening.
  void ReportClosed();

 signals:
  // A newer program asks this one to close; it waits until ReportClosed.
  void CloseRequested();

 private:
  // Listens, removing a socket nobody answers on. 1 listening, 0 another
  // program answers, -1 failed.
  int TryListen();
  void OnNewConnection();
  void OnReadyRead(QLocalSocket* socket);

  QString m_path;
  QLocalServer m_server;
  QList<QPointer<QLocalSocket>> m_waiting;
  bool m_bCloseRequested = false;
};
