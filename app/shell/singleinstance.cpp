#include "shell/singleinstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "corekit/filelock.h"

namespace {

constexpr char kCloseRequest[] = "CLOSE\n";
constexpr char kClosedReply[] = "CLOSED\n";

// Holds a lock when it could be had before the deadline.
class CTimedLockGuard {
 public:
  CTimedLockGuard(CFileLock& lock, int ms) : m_lock(lock) {
    const QDeadlineTimer deadline(ms);
    while (!(m_bHeld = m_lock.TryLock() == 1) && !deadline.hasExpired()) QThread::msleep(20);
  }
  ~CTimedLockGuard() {
    if (m_bHeld) m_lock.Unlock();
  }
  CTimedLockGuard(const CTimedLockGuard&) = delete;
  CTimedLockGuard& operator=(const CTimedLockGuard&) = delete;
  bool IsHeld() const { return m_bHeld; }

 private:
  CFileLock& m_lock;
  bool m_bHeld = false;
};

// Whether the program at the other end runs as this user: only such a
// program is our viewer, and only its answer is waited for.
bool PeerIsThisUser(const QLocalSocket& socket) {
  ucred cred{};
  socklen_t size = sizeof cred;
  return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &cred, &size) == 0 &&
         cred.uid == ::geteuid();
}

// The newcomer's side: asks the running program to close and waits until it
// has (it answers, or its end closes the connection). false: the deadline
// passed first.
bool AskToCloseAndWait(QLocalSocket& socket, const tagSINGLEINSTANCEDEADLINES& deadlines) {
  const QDeadlineTimer deadline(deadlines.nCloseMs);
  socket.write(kCloseRequest);
  socket.waitForBytesWritten(deadlines.nConnectMs);
  QByteArray received;
  while (socket.state() == QLocalSocket::ConnectedState) {
    if (deadline.hasExpired()) return false;
    if (socket.waitForReadyRead(int(std::min<qint64>(500, deadline.remainingTime())))) {
      received += socket.readAll();
      if (received.contains(kClosedReply)) return true;
    }
  }
  return true;
}

}  // namespace

CSingleInstance::CSingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), m_path(std::move(socketPath)) {
  m_server.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
}

CSingleInstance::~CSingleInstance() { m_server.close(); }

bool CSingleInstance::IsPrivateFolder(const QString& folder) {
  struct stat st {};
  return !folder.isEmpty() && ::lstat(QFile::encodeName(folder).constData(), &st) == 0 &&
         S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

QString CSingleInstance::DefaultSocketPath() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (runtime.startsWith(u'/') && IsPrivateFolder(runtime) &&
      ::access(QFile::encodeName(runtime).constData(), W_OK | X_OK) == 0)
    return runtime + QStringLiteral("/LORIMO");

  // The temporary folder is shared: anyone may have made this name first,
  // to listen on our socket or hold its lock.
  const QString folder =
      QDir::tempPath() + QStringLiteral("/lorimo-") + QString::number(::geteuid());
  if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) {
    qWarning("Cannot make %s (%s): running without the single-instance check", qPrintable(folder),
             std::strerror(errno));
    return QString();
  }
  if (!IsPrivateFolder(folder)) {
    qWarning("%s is not a folder of this user's own: running without the single-instance check",
             qPrintable(folder));
    return QString();
  }
  return folder + QStringLiteral("/LORIMO");
}

int CSingleInstance::TryListen(QLocalSocket& running) {
  // Two programs starting together must not both decide the socket is
  // stale and remove each other's.
  CFileLock lock(MyString::FromQString(m_path + QStringLiteral(".lock")));
  const CTimedLockGuard guard(lock, m_deadlines.nLockMs);
  if (!guard.IsHeld()) {
    qWarning("%s.lock stays locked: running without the single-instance check", qPrintable(m_path));
    return -1;
  }
  // Listening with user-only access replaces whatever is at the path, so
  // first ask whether a program answers there.
  running.connectToServer(m_path);
  if (running.waitForConnected(m_deadlines.nConnectMs)) {
    if (PeerIsThisUser(running)) return 0;
    running.abort();
    qWarning("%s belongs to another user: running without the single-instance check",
             qPrintable(m_path));
    return -1;
  }
  running.abort();
  QLocalServer::removeServer(m_path);  // nobody answers: left by a program that died
  return m_server.listen(m_path) ? 1 : -1;
}

SINGLEINSTANCERESULT CSingleInstance::Run(const MyString& argument) {
  if (m_path.isEmpty()) return SINGLEINSTANCE_GO_ON;  // no private place for the socket

  QLocalSocket running;
  if (TryListen(running) != 0) return SINGLEINSTANCE_GO_ON;  // first, or cannot listen: run anyway
  if (argument == u"/WIAAuto") return SINGLEINSTANCE_STOP;
  if (!AskToCloseAndWait(running, m_deadlines)) {
    qWarning("The running Lorimo did not close within %d ms: starting beside it",
             m_deadlines.nCloseMs);
    return SINGLEINSTANCE_GO_ON;
  }
  running.abort();

  const QDeadlineTimer deadline(m_deadlines.nReleaseMs);
  for (;;) {
    QLocalSocket probe;
    if (TryListen(probe) != 0) return SINGLEINSTANCE_GO_ON;
    if (deadline.hasExpired()) {
      qWarning("The closing Lorimo still answers on %s: starting beside it", qPrintable(m_path));
      return SINGLEINSTANCE_GO_ON;
    }
    QThread::msleep(50);
  }
}

void CSingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = m_server.nextPendingConnection()) {
    socket->setParent(this);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  }
}

void CSingleInstance::OnReadyRead(QLocalSocket* socket) {
  const QByteArray request = socket->readAll();
  if (!request.contains(kCloseRequest)) return;
  m_waiting.append(socket);
  if (m_bCloseRequested) return;  // one shut-down answers every newcomer
  m_bCloseRequested = true;
  emit CloseRequested();
}

void CSingleInstance::ReportClosed() {
  for (const QPointer<QLocalSocket>& socket : m_waiting) {
    if (!socket) continue;
    socket->write(kClosedReply);
    socket->flush();
    socket->waitForBytesWritten(m_deadlines.nConnectMs);
    socket->disconnectFromServer();
  }
  m_waiting.clear();
  m_server.close();
}
