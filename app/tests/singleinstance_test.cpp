#include "shell/singleinstance.h"

#include <QFile>
#include <QThread>
#include <atomic>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

namespace {

// A running program on a thread of its own, so that the newcomer on the
// test's thread can wait for it the way a second process would.
class CRunningProgram : public QThread {
 public:
  explicit CRunningProgram(QString path) : m_path(std::move(path)) {}
  std::atomic<bool> bListening{false};
  std::atomic<int> nCloseRequests{0};

 protected:
  void run() override {
    CSingleInstance running(m_path);
    bListening = running.Run(MyString()) == SINGLEINSTANCE_GO_ON && running.IsListening();
    QObject::connect(&running, &CSingleInstance::CloseRequested, [&running, this] {
      ++nCloseRequests;
      running.ReportClosed();  // as after the settings were saved
    });
    exec();
  }

 private:
  QString m_path;
};

QString SocketPath() {
  return QString::fromStdString((testsupport::NewTempDir("run") / "LORIMO").string());
}

TEST(SingleInstance, FirstProgramListensInTheRuntimeFolder) {
  EXPECT_TRUE(
      CSingleInstance::DefaultSocketPath().startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR")));
  CSingleInstance first(SocketPath());
  EXPECT_EQ(first.Run(MyString()), SINGLEINSTANCE_GO_ON);
  EXPECT_TRUE(first.IsListening());
}

TEST(SingleInstance, NewcomerWithAnImageReplacesTheRunningProgram) {
  const QString path = SocketPath();
  CRunningProgram running(path);
  running.start();
  ASSERT_TRUE(testsupport::WaitFor([&] { return running.bListening.load(); }));

  CSingleInstance newcomer(path);
  EXPECT_EQ(newcomer.Run(u"/pictures/a.png"), SINGLEINSTANCE_GO_ON);
  EXPECT_EQ(running.nCloseRequests, 1);
  EXPECT_TRUE(newcomer.IsListening());
  running.quit();
  running.wait();
}

TEST(SingleInstance, CameraStartLeavesTheRunningProgramAlone) {
  const QString path = SocketPath();
  CRunningProgram running(path);
  running.start();
  ASSERT_TRUE(testsupport::WaitFor([&] { return running.bListening.load(); }));

  CSingleInstance newcomer(path);
  EXPECT_EQ(newcomer.Run(u"/WIAAuto"), SINGLEINSTANCE_STOP);
  EXPECT_FALSE(newcomer.IsListening());
  // Give a close request, had one been sent, time to arrive.
  QThread::msleep(200);
  EXPECT_EQ(running.nCloseRequests, 0);
  running.quit();
  running.wait();
}

// A program that died left its socket behind: nobody answers on it.
TEST(SingleInstance, StaleSocketIsRemovedAndListenedOnAgain) {
  const QString path = SocketPath();
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray native = path.toLocal8Bit();
  std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
  ASSERT_TRUE(QFile::exists(path));

  CSingleInstance program(path);
  EXPECT_EQ(program.Run(u"/WIAAuto"), SINGLEINSTANCE_GO_ON);
  EXPECT_TRUE(program.IsListening());
}

}  // namespace
