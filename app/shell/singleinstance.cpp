#include "shell/singleinstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <chrono>

#include "corekit/filelock.h"

namespace {

constexpr char kCloseRequest[] = "CLOSE\n";
constexpr char kClosedReply[] = "CLOSED\n";
constexpr int kConnectMs = 2000;
// How long the running program may take to let go of the socket after it
// answered.
constexpr auto kReleaseTimeout = std::chrono::seconds(10);

// The newcomer's side: asks the running program to close and waits until it
// has (it answers, or its end closes the connection).
void AskToCloseAndWait(QLocalSocket& socket) {
  socket.write(kCloseRequest);
  socket.waitForBytesWritten(kConnectMs);
  QByteArray received;
  while (socket.state() == QLocalSocket::ConnectedState) {
    if (socket.waitForReadyRead(500)) {
      received += socket.readAll();
      if (received.contains(kClosedReply)) return;
    }
  }
}

}  // namespace

CSingleInstance::CSingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), m_path(std::move(socketPath)) {
  m_server.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
}

CSingleInstance::~CSingleInstance() { m_server.close(); }

QString CSingleInstance::DefaultSocketPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return folder + QStringLiteral("/LORIMO");
}

int CSingleInstance::TryListen() {
  // Two programs starting together must not both decide the socket is
  // stale and remove each other's.
  CFileLock lock(MyString::FromQString(m_path + QStringLiteral(".lock")));
  CFileLockGuard guard(lock);
  // Listening with user-only access replaces whatever is at the path, so
  // first ask whether a program answers there.
  QLocalSocket probe;
  probe.connectToServer(m_path);
  if (probe.waitForConnected(kConnectMs)) return 0;
  QLocalServer::removeServer(m_path);  // nobody answers: left by a program that died
  return m_server.listen(m_path) ? 1 : -1;
}

SINGLEINSTANCERESULT CSingleInstance::Run(const MyString& argument) {
  const int listening = TryListen();
  if (listening != 0) return SINGLEINSTANCE_GO_ON;  // first, or cannot listen: run anyway

  QLocalSocket running;
  running.connectToServer(m_path);
  if (!running.waitForConnected(kConnectMs)) {
    // It went away meanwhile.
    return TryListen() == 0 ? SINGLEINSTANCE_STOP : SINGLEINSTANCE_GO_ON;
  }
  if (argument == u"/WIAAuto") return SINGLEINSTANCE_STOP;
  AskToCloseAndWait(running);
  running.abort();

  const auto deadline = std::chrono::steady_clock::now() + kReleaseTimeout;
  while (TryListen() == 0 && std::chrono::steady_clock::now() < deadline) QThread::msleep(50);
  return SINGLEINSTANCE_GO_ON;
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
    socket->waitForBytesWritten(kConnectMs);
    socket->disconnectFromServer();
  }
  m_waiting.clear();
  m_server.close();
}
