#pragma once
// One running viewer per user: a local socket named "LORIMO" in the user's
// runtime folder ($XDG_RUNTIME_DIR), reachable by this user only. The first
// program listens on it. A later program with an image or a portfolio asks
// it to close, waits until it has run its normal shut-down (settings saved)
// and takes its place; a later program started for a connected camera
// ("/WIAAuto") leaves it alone and ends. A socket left behind by a program
// that died is removed and listened on again.
//
// Without a usable runtime folder the socket lives in a folder of this
// user's own below the temporary folder (/tmp/lorimo-<uid>); when that one
// is not private (a link, another owner, writable by others) the program
// runs as if alone. Only a peer of this user counts as a running program,
// and every wait has a deadline, after which the newcomer says so and runs
// as if alone: a program that never answers cannot hold up a start.
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

// How long a newcomer waits, in milliseconds.
struct tagSINGLEINSTANCEDEADLINES {
  int nLockMs = 5000;     // for the lock that keeps two starts apart
  int nConnectMs = 2000;  // for a connection, and for the request to be written
  // For the running program's shut-down, which may ask about a modified image.
  int nCloseMs = 30000;
  int nReleaseMs = 10000;  // for it to let go of the socket after answering
};

class CSingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit CSingleInstance(QString socketPath = DefaultSocketPath(), QObject* parent = nullptr);
  ~CSingleInstance() override;

  // $XDG_RUNTIME_DIR/LORIMO when that folder is private to this user; else
  // LORIMO in this user's folder below the temporary folder, made when
  // missing; empty when that one is not private either.
  static QString DefaultSocketPath();
  // An existing real folder (not a link) owned by this user that no one else
  // may write to.
  static bool IsPrivateFolder(const QString& folder);

  void SetDeadlines(const tagSINGLEINSTANCEDEADLINES& deadlines) { m_deadlines = deadlines; }

  // Applies the rule for a program started with argument (empty: none).
  // GO_ON: this program is now the running one (or could not listen, or
  // gave up waiting, in which case it runs beside another); STOP: it must end.
  SINGLEINSTANCERESULT Run(const MyString& argument);
  bool IsListening() const { return m_server.isListening(); }

  // Tells every newcomer waiting for this program that its shut-down has
  // saved what it had to, and stops listening.
  void ReportClosed();

 signals:
  // A newer program asks this one to close; it waits until ReportClosed.
  void CloseRequested();

 private:
  // Listens, removing a socket nobody answers on. 1 listening; 0 a program
  // of this user answers, connected through running; -1 failed or gave up.
  int TryListen(QLocalSocket& running);
  void OnNewConnection();
  void OnReadyRead(QLocalSocket* socket);

  QString m_path;
  tagSINGLEINSTANCEDEADLINES m_deadlines;
  QLocalServer m_server;
  QList<QPointer<QLocalSocket>> m_waiting;
  bool m_bCloseRequested = false;
};
