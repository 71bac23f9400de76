#include "shell/singleinstance.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
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

// A socket bound at path; listening unless told otherwise. -1 on failure.
int BindSocket(const QString& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray native = QFile::encodeName(path);
  std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A program that died left its socket behind: nobody answers on it.
TEST(SingleInstance, StaleSocketIsRemovedAndListenedOnAgain) {
  const QString path = SocketPath();
  const int fd = BindSocket(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  ASSERT_TRUE(QFile::exists(path));

  CSingleInstance program(path);
  EXPECT_EQ(program.Run(u"/WIAAuto"), SINGLEINSTANCE_GO_ON);
  EXPECT_TRUE(program.IsListening());
}

// Without a usable runtime folder the socket goes into this user's own
// folder below TMPDIR; the environment is put back afterwards.
class SingleInstanceFallback : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"})
      if (const char* value = std::getenv(name)) m_saved[name] = value;
    m_temp = testsupport::NewTempDir("tmp");
    m_runtime = testsupport::NewTempDir("shared-runtime");
    std::filesystem::permissions(m_runtime, std::filesystem::perms::all);  // not private
    setenv("XDG_RUNTIME_DIR", m_runtime.c_str(), 1);
    setenv("TMPDIR", m_temp.c_str(), 1);
  }
  void TearDown() override {
    for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
      if (m_saved.count(name))
        setenv(name, m_saved[name].c_str(), 1);
      else
        unsetenv(name);
    }
  }
  std::filesystem::path Folder() const {
    return m_temp / ("lorimo-" + std::to_string(::geteuid()));
  }

  std::map<std::string, std::string> m_saved;
  std::filesystem::path m_temp, m_runtime;
};

TEST_F(SingleInstanceFallback, UsesAFolderOfThisUsersOwn) {
  const QString path = CSingleInstance::DefaultSocketPath();
  EXPECT_EQ(path.toStdString(), (Folder() / "LORIMO").string());
  struct stat st {};
  ASSERT_EQ(::lstat(Folder().c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, ::geteuid());
  // The next start finds the same place.
  EXPECT_EQ(CSingleInstance::DefaultSocketPath(), path);
}

// Someone else made the name first: the folder is not used, and the
// program starts as if alone.
class SpoiledFallbackFolder : public SingleInstanceFallback,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(SpoiledFallbackFolder, IsNotUsed) {
  namespace fs = std::filesystem;
  const std::string what = GetParam();
  const fs::path elsewhere = testsupport::NewTempDir("elsewhere");
  fs::permissions(elsewhere, fs::perms::owner_all, fs::perm_options::replace);
  if (what == "WritableByOthers") {
    fs::create_directory(Folder());
    fs::permissions(Folder(), fs::perms::all);
  } else if (what == "SymbolicLink") {
    fs::create_directory_symlink(elsewhere, Folder());
  } else if (what == "OwnedByAnotherUser") {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a folder away";
    fs::create_directory(Folder());
    fs::permissions(Folder(), fs::perms::owner_all, fs::perm_options::replace);
    ASSERT_EQ(::chown(Folder().c_str(), 65534, 65534), 0);
  }
  EXPECT_TRUE(CSingleInstance::DefaultSocketPath().isEmpty());
  CSingleInstance program(CSingleInstance::DefaultSocketPath());
  EXPECT_EQ(program.Run(u"/pictures/a.png"), SINGLEINSTANCE_GO_ON);
  EXPECT_FALSE(program.IsListening());
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_TRUE(fs::is_empty(Folder()));
}

INSTANTIATE_TEST_SUITE_P(Cases, SpoiledFallbackFolder,
                         ::testing::Values("WritableByOthers", "SymbolicLink",
                                           "OwnedByAnotherUser"),
                         [](const auto& info) { return std::string(info.param); });

// Something at the socket that is not a running viewer of this user must
// not hold up the start: it goes on within the deadlines, as if alone.
struct tagBLOCKERCASE {
  const char* what;
  int nCloseMs;  // a long one shows that the blocker is not waited for at all
};
void PrintTo(const tagBLOCKERCASE& c, std::ostream* os) { *os << c.what; }

class BlockedStart : public SingleInstanceFallback,
                     public ::testing::WithParamInterface<tagBLOCKERCASE> {
 protected:
  void TearDown() override {
    if (m_child > 0) {
      ::kill(m_child, SIGKILL);
      ::waitpid(m_child, nullptr, 0);
    }
    if (m_fd >= 0) ::close(m_fd);
    SingleInstanceFallback::TearDown();
  }
  pid_t m_child = -1;
  int m_fd = -1;
};

TEST_P(BlockedStart, GoesOnWithinTheDeadlines) {
  const std::string what = GetParam().what;
  const QString path = CSingleInstance::DefaultSocketPath();
  ASSERT_FALSE(path.isEmpty());
  if (what == "SilentListener") {
    // Connections are taken into the backlog and never answered.
    m_fd = BindSocket(path);
    ASSERT_GE(m_fd, 0);
    ASSERT_EQ(::listen(m_fd, 8), 0);
  } else if (what == "HeldLock") {
    m_fd = ::open(QFile::encodeName(path + QStringLiteral(".lock")).constData(),
                  O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(m_fd, 0);
    ASSERT_EQ(::flock(m_fd, LOCK_EX), 0);
  } else if (what == "ListenerOfAnotherUser") {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can listen as another user";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const QByteArray native = QFile::encodeName(path);
    m_child = ::fork();
    ASSERT_GE(m_child, 0);
    if (m_child == 0) {
      // Listening fixes the peer's user id that connecting programs see.
      const int fd = BindSocket(path);
      if (fd < 0 || ::setresgid(65534, 65534, 65534) != 0 ||
          ::setresuid(65534, 65534, 65534) != 0 || ::listen(fd, 8) != 0)
        ::_exit(1);
      [[maybe_unused]] ssize_t n = ::write(ready[1], "r", 1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
  }

  CSingleInstance newcomer(path);
  tagSINGLEINSTANCEDEADLINES deadlines;
  deadlines.nLockMs = 200;
  deadlines.nConnectMs = 200;
  deadlines.nCloseMs = GetParam().nCloseMs;
  deadlines.nReleaseMs = 200;
  newcomer.SetDeadlines(deadlines);
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(newcomer.Run(u"/pictures/a.png"), SINGLEINSTANCE_GO_ON);
  EXPECT_LT(clock.elapsed(), 5000);
  EXPECT_FALSE(newcomer.IsListening());  // the name is taken
}

INSTANTIATE_TEST_SUITE_P(Cases, BlockedStart,
                         ::testing::Values(tagBLOCKERCASE{"SilentListener", 300},
                                           tagBLOCKERCASE{"HeldLock", 300},
                                           tagBLOCKERCASE{"ListenerOfAnotherUser", 60000}),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
