// Starts the real program with a configuration of its own, as a user
// would, and looks at what it leaves behind: the settings store, install.ini,
// the single-instance rule between two programs, crash reports.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <csignal>
#include <memory>

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

// HOME and the XDG folders of one user, fresh for each test.
class CUserFolders {
 public:
  CUserFolders() : m_root(testsupport::NewTempDir("user")) {
    for (const char* sub : {"home", "config", "cache", "runtime"})
      fs::create_directories(m_root / sub);
    fs::permissions(m_root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
  }
  fs::path Config() const { return m_root / "config"; }
  fs::path Cache() const { return m_root / "cache"; }
  fs::path Runtime() const { return m_root / "runtime"; }
  fs::path Store() const { return Config() / "ZOKA" / "Lorimo" / "registry.reg"; }
  fs::path Socket() const { return Runtime() / "LORIMO"; }

  void SeedStore(const std::string& root, const std::string& more = std::string()) const {
    testsupport::WriteFile(Store(),
                           "Windows Registry Editor Version 5.00\n\n"
                           "[HKEY_CURRENT_USER\\Software\\ZOKA\\Lorimo]\n" +
                               root + "\n" + more);
  }
  std::string StoreText() const {
    return fs::exists(Store()) ? testsupport::ReadFile(Store()) : "";
  }

  QProcessEnvironment Environment(const fs::path& config) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), QString::fromStdString((m_root / "home").string()));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(config.string()));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), QString::fromStdString(Cache().string()));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(Runtime().string()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
  }

 private:
  fs::path m_root;
};

class CLorimo {
 public:
  CLorimo(const CUserFolders& user, const QStringList& args, fs::path config = fs::path()) {
    m_process.setProcessEnvironment(user.Environment(config.empty() ? user.Config() : config));
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStringLiteral(LORIMO_PROGRAM), args);
  }
  ~CLorimo() {
    if (m_process.state() != QProcess::NotRunning) {
      m_process.kill();
      m_process.waitForFinished(5000);
    }
  }
  bool Started() { return m_process.waitForStarted(10000); }
  bool IsRunning() const { return m_process.state() == QProcess::Running; }
  // Still running after the given time.
  bool KeepsRunning(int ms) { return !m_process.waitForFinished(ms); }
  void Signal(int signal) { ::kill(pid_t(m_process.processId()), signal); }
  bool Finished(int ms = 30000) { return m_process.waitForFinished(ms); }
  int ExitCode() const { return m_process.exitCode(); }
  QProcess::ExitStatus ExitStatus() const { return m_process.exitStatus(); }
  std::string ErrorOutput() { return m_process.readAllStandardError().toStdString(); }
  // Terminates as a desktop session would, which runs the normal shut-down.
  bool Quit() {
    Signal(SIGTERM);
    return Finished() && ExitStatus() == QProcess::NormalExit && ExitCode() == 0;
  }

 private:
  QProcess m_process;
};

QString Sample(const char* name) {
  return QString::fromStdString(testsupport::SourcePath(std::string("samples/") + name).string());
}

bool WaitForFile(const fs::path& path) {
  return testsupport::WaitFor([&] { return fs::exists(path); }, std::chrono::seconds(20));
}

TEST(Startup, FirstRunSavesEveryValueOnQuit) {
  CUserFolders user;
  CLorimo lorimo(user, {});
  ASSERT_TRUE(lorimo.Started());
  ASSERT_TRUE(WaitForFile(user.Socket()));
  ASSERT_TRUE(lorimo.KeepsRunning(500));
  ASSERT_TRUE(lorimo.Quit()) << lorimo.ErrorOutput();

  const std::string store = user.StoreText();
  const size_t root = store.find("[HKEY_CURRENT_USER\\Software\\ZOKA\\Lorimo]\n");
  ASSERT_NE(root, std::string::npos) << store;
  EXPECT_EQ(store.compare(root + 41, 31, "\"LorimoVersion\"=dword:00000002\n"), 0) << store;
  for (const char* line :
       {"\"DefaultImage\"=dword:00000003", "\"AutoPlayMiliseconds\"=dword:000003e8",
        "\"SortMode\"=dword:00000000", "\"SortDir\"=dword:00000001",
        "\"OneLorimoInstance\"=dword:00000001", "\"DynamicHelp\"=dword:00000001",
        "\"CacheSize\"=dword:0000012c", "\"PNG Filter\"=dword:0000044b",
        "\"Save ARM Append\"=\"_modified_by_Lorimo\"", "\"ShowPopup\"=dword:00000001",
        "\"iNUMInc\"=dword:00000001", "\" Exif\\tCtrl+F5\"=dword:00000001",
        // A first start is maximized over the default rectangle.
        "\"Prop 2Main Win\"=dword:000003de", "\"Prop 3Main Win\"=dword:000001f4",
        "\"Maximized\"=dword:00000001"})
    EXPECT_NE(store.find(line), std::string::npos) << line;
  const std::string install =
      testsupport::ReadFile(user.Config() / "ZOKA" / "Lorimo" / "install.ini");
  EXPECT_NE(install.find("[INST_DEF]"), std::string::npos) << install;
  EXPECT_NE(install.find("StartImage"), std::string::npos);
  EXPECT_FALSE(fs::exists(user.Socket())) << "the socket goes with the program";
}

TEST(Startup, StoredSettingsComeBackUnchanged) {
  CUserFolders user;
  const std::string root =
      "\"OneLorimoInstance\"=dword:00000001\n\"DefaultImage\"=dword:00000000\n"
      "\"SortMode\"=dword:00000002\n\"SortDir\"=dword:00000000\n\"DynamicHelp\"=dword:00000301\n"
      "\"DefaultExt\"=dword:00000004\n\"OpenFileOutExt\"=dword:00000001\n"
      "\"Save ARM Append\"=\"_rotated\"\n\"JPG Quality\"=dword:0000005a\n";
  const std::string winPos =
      "[HKEY_CURRENT_USER\\Software\\ZOKA\\Lorimo\\WinPos]\n\"Prop 0Main Win\"=dword:0000001e\n"
      "\"Prop 1Main Win\"=dword:00000028\n\"Prop 2Main Win\"=dword:000002bc\n"
      "\"Prop 3Main Win\"=dword:000001c2\n\"Prop 4Main Win\"=dword:00000000\n"
      "\"Prop 5Main Win\"=dword:00000000\n\"Prop 6Main Win\"=dword:00000000\n";
  user.SeedStore(root, winPos);
  CLorimo lorimo(user, {});
  ASSERT_TRUE(lorimo.Started());
  ASSERT_TRUE(WaitForFile(user.Socket()));
  ASSERT_TRUE(lorimo.KeepsRunning(500));
  ASSERT_TRUE(lorimo.Quit()) << lorimo.ErrorOutput();
  const std::string store = user.StoreText();
  for (const char* line :
       {"\"DefaultImage\"=dword:00000000", "\"SortMode\"=dword:00000002",
        "\"SortDir\"=dword:00000000", "\"DynamicHelp\"=dword:00000301",
        "\"DefaultExt\"=dword:00000004", "\"OpenFileOutExt\"=dword:00000001",
        "\"Save ARM Append\"=\"_rotated\"", "\"JPG Quality\"=dword:0000005a",
        "\"Prop 0Main Win\"=dword:0000001e", "\"Prop 1Main Win\"=dword:00000028",
        "\"Prop 2Main Win\"=dword:000002bc", "\"Prop 3Main Win\"=dword:000001c2"})
    EXPECT_NE(store.find(line), std::string::npos) << line << "\n" << store;
  // It was not maximized, and a stored placement is no first start.
  EXPECT_EQ(store.find("\"Maximized\""), std::string::npos) << store;
}

TEST(Startup, SecondStartWithAnImageReplacesTheFirst) {
  CUserFolders user;
  CLorimo first(user, {});
  ASSERT_TRUE(first.Started());
  ASSERT_TRUE(WaitForFile(user.Socket()));
  ASSERT_TRUE(first.KeepsRunning(300));
  ASSERT_FALSE(fs::exists(user.Store()));

  const QString sky = Sample("sky.jpg");
  CLorimo second(user, {sky});
  ASSERT_TRUE(second.Started());
  // The first one runs its normal shut-down, which saves its settings.
  ASSERT_TRUE(first.Finished()) << "the running program was not replaced";
  EXPECT_EQ(first.ExitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.ExitCode(), 0);
  EXPECT_NE(user.StoreText().find("\"LorimoVersion\"=dword:00000002"), std::string::npos);

  ASSERT_TRUE(WaitForFile(user.Socket()));
  ASSERT_TRUE(second.KeepsRunning(800));
  ASSERT_TRUE(second.Quit()) << second.ErrorOutput();
  const std::string store = user.StoreText();
  EXPECT_NE(store.find("\"MRU_0\"=\"" + sky.toStdString() + "\""), std::string::npos) << store;
  EXPECT_NE(store.find("\"LastLoadedImage\"=\"" + sky.toStdString() + "\""), std::string::npos);
}

TEST(Startup, CameraStartLeavesTheRunningProgramAlone) {
  CUserFolders user;
  CLorimo first(user, {});
  ASSERT_TRUE(first.Started());
  ASSERT_TRUE(WaitForFile(user.Socket()));

  CLorimo camera(user, {QStringLiteral("/WIAAuto")});
  ASSERT_TRUE(camera.Started());
  ASSERT_TRUE(camera.Finished(20000));
  EXPECT_EQ(camera.ExitStatus(), QProcess::NormalExit);
  EXPECT_EQ(camera.ExitCode(), 255);
  EXPECT_TRUE(first.KeepsRunning(500));
  EXPECT_FALSE(fs::exists(user.Store())) << "the running program saved: it was closed";
  EXPECT_TRUE(first.Quit());
}

TEST(Startup, WithoutTheOneInstanceOptionBothRun) {
  CUserFolders user;
  user.SeedStore("\"OneLorimoInstance\"=dword:00000000\n");
  CLorimo first(user, {});
  ASSERT_TRUE(first.Started());
  ASSERT_TRUE(first.KeepsRunning(1000));
  CLorimo second(user, {Sample("sky.jpg")});
  ASSERT_TRUE(second.Started());
  EXPECT_TRUE(second.KeepsRunning(1500));
  EXPECT_TRUE(first.IsRunning());
  EXPECT_FALSE(fs::exists(user.Socket()));
  EXPECT_TRUE(second.Quit());
  EXPECT_TRUE(first.Quit());
}

// A configuration folder that cannot be made: the program runs and says so.
TEST(Startup, UnwritableConfigurationKeepsRunningAndSaysSo) {
  CUserFolders user;
  const fs::path blocked = testsupport::NewTempDir("blocked") / "config-is-a-file";
  testsupport::WriteFile(blocked, "not a folder");
  CLorimo lorimo(user, {}, blocked);
  ASSERT_TRUE(lorimo.Started());
  ASSERT_TRUE(lorimo.KeepsRunning(1500));
  ASSERT_TRUE(lorimo.Quit());
  const std::string errors = lorimo.ErrorOutput();
  const std::string notice = "cannot save its settings";
  const size_t first = errors.find(notice);
  EXPECT_NE(first, std::string::npos) << errors;
  EXPECT_EQ(errors.find(notice, first + 1), std::string::npos) << "said more than once:\n"
                                                               << errors;
}

TEST(Startup, CrashLeavesAReportWithTheSettings) {
  CUserFolders user;
  CLorimo lorimo(user, {});
  ASSERT_TRUE(lorimo.Started());
  ASSERT_TRUE(WaitForFile(user.Socket()));
  ASSERT_TRUE(lorimo.KeepsRunning(300));
  lorimo.Signal(SIGSEGV);
  ASSERT_TRUE(lorimo.Finished());
  EXPECT_EQ(lorimo.ExitStatus(), QProcess::CrashExit);

  const fs::path crashes = user.Cache() / "ZOKA" / "Lorimo" / "crash";
  std::vector<fs::path> reports;
  for (const auto& entry : fs::directory_iterator(crashes)) reports.push_back(entry.path());
  ASSERT_EQ(reports.size(), 1u);
  const std::string settings = testsupport::ReadFile(reports[0] / "LorimoSettings.ini");
  EXPECT_NE(settings.find("[SHOW WINDOW]"), std::string::npos) << settings;
  EXPECT_NE(settings.find("Auto Play Delay=1000ms"), std::string::npos) << settings;
  const std::string files = testsupport::ReadFile(reports[0] / "files.txt");
  EXPECT_NE(files.find("LorimoSettings.ini\tLorimo's current settings"), std::string::npos);
  EXPECT_NE(files.find("lorimo.layout\tLorimo's current layout"), std::string::npos) << files;
}

}  // namespace
