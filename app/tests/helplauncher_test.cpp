#include "shell/helplauncher.h"

#include <QDesktopServices>
#include <QRegularExpression>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/registry.h"
#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace {

namespace fs = std::filesystem;

// Takes the place of the browser: Qt hands it what it would open.
class CUrlCatcher : public QObject {
  Q_OBJECT

 public:
  CUrlCatcher() {
    for (const char* scheme : {"file", "http", "https"})
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Open");
  }
  ~CUrlCatcher() override {
    for (const char* scheme : {"file", "http", "https"})
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
  }

  std::vector<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened.push_back(url); }
};

TEST(LocalHelp, OpensThePageBesideTheProgramInTheBrowser) {
  const fs::path folder = testsupport::NewTempDir("program folder");
  testsupport::WriteFile(folder / "help" / "index.html", "<html></html>");
  const MyString programFolder = CStrAW::FromPath(folder);
  EXPECT_EQ(GetLocalHelpPath(programFolder), programFolder + u"/help/index.html");

  CUrlCatcher browser;
  MyString error;
  ASSERT_EQ(OpenLocalHelp(programFolder, &error), 1) << error.ToUtf8();
  ASSERT_EQ(browser.opened.size(), 1u);
  EXPECT_TRUE(browser.opened[0].isLocalFile());
  EXPECT_EQ(browser.opened[0].toLocalFile().toStdString(), (folder / "help/index.html").string());
}

TEST(LocalHelp, AMissingPageIsReportedNotOpened) {
  const MyString programFolder = CStrAW::FromPath(testsupport::NewTempDir());
  CUrlCatcher browser;
  MyString error;
  EXPECT_EQ(OpenLocalHelp(programFolder, &error), 0);
  EXPECT_NE(error.ToUtf8().find(GetLocalHelpPath(programFolder).ToUtf8()), std::string::npos);
  EXPECT_TRUE(browser.opened.empty());
}

class HelpOnTheWeb : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(HelpOnTheWeb, OpensOnlyWebPages) {
  CUrlCatcher browser;
  MyString error;
  const bool opens = GetParam().second;
  EXPECT_EQ(OpenHelpOnTheWeb(MyString::FromUtf8(GetParam().first), &error), opens ? 1 : 0);
  ASSERT_EQ(browser.opened.size(), opens ? 1u : 0u);
  if (opens) {
    EXPECT_EQ(browser.opened[0].toString().toStdString(), GetParam().first);
  } else {
    EXPECT_FALSE(error.IsEmpty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, HelpOnTheWeb,
    ::testing::Values(std::pair{"https://www.zoka-software.com/lorimo/help/", true},
                      std::pair{"http://127.0.0.1:8080/help.html", true}, std::pair{"", false},
                      std::pair{"file:///etc/passwd", false},
                      std::pair{"javascript:alert(1)", false}, std::pair{"https://", false},
                      std::pair{"help pages", false}));

TEST(HelpOnTheWebAddress, EnvironmentThenSettingThenTheMakersPages) {
  unsetenv("LORIMO_HELP_URL");
  EXPECT_EQ(GetHelpWebAddress(), kDefaultHelpWebAddress);
  {
    CRegistry registry(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo");
    registry.SetValue(u"HelpURL", MyString(u"https://mirror.example/help/"));
  }
  EXPECT_EQ(GetHelpWebAddress(), u"https://mirror.example/help/");
  setenv("LORIMO_HELP_URL", "http://localhost/help/", 1);
  EXPECT_EQ(GetHelpWebAddress(), u"http://localhost/help/");
  unsetenv("LORIMO_HELP_URL");
}

TEST(ShippedHelp, IsAPageWhoseLocalLinksAllResolve) {
  const fs::path help = testsupport::SourcePath("docs/help");
  const QString page = QString::fromStdString(testsupport::ReadFile(help / "index.html"));
  ASSERT_FALSE(page.isEmpty());
  EXPECT_TRUE(page.contains(QStringLiteral("<title>Lorimo Help</title>")));
  const QRegularExpression reference(QStringLiteral("(?:href|src)=\"([^\"]*)\""));
  int local = 0;
  for (auto match = reference.globalMatch(page); match.hasNext();) {
    const QString target = match.next().captured(1);
    ASSERT_FALSE(target.isEmpty());
    if (target.startsWith(QLatin1String("https://")) || target.startsWith(QLatin1String("http://")))
      continue;
    if (target.startsWith(QLatin1Char('#'))) {
      EXPECT_TRUE(page.contains(QStringLiteral("id=\"%1\"").arg(target.mid(1))))
          << target.toStdString();
    } else {
      EXPECT_TRUE(fs::is_regular_file(help / target.toStdString())) << target.toStdString();
    }
    ++local;
  }
  EXPECT_GT(local, 5);
}

class ScreenCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder = testsupport::NewTempDir("program");
    m_program = CStrAW::FromPath(m_folder);
  }
  fs::path m_folder;
  MyString m_program;
};

TEST_F(ScreenCapture, StartsTheCompanionBesideTheProgram) {
  // A stand-in companion that notes how it was started.
  const fs::path note = m_folder / "started.txt";
  testsupport::WriteFile(m_folder / "snapgrab",
                         "#!/bin/sh\nprintf '%s|' \"$@\" > \"" + note.string() +
                             ".part\"\n"
                             "mv \"" +
                             note.string() + ".part\" \"" + note.string() + "\"\n");
  fs::permissions(m_folder / "snapgrab", fs::perms::owner_all);
  EXPECT_EQ(GetScreenCaptureProgram(m_program), m_program + u"/snapgrab");
  MyString error;
  qint64 pid = 0;
  ASSERT_EQ(StartScreenCapture(m_program, {QStringLiteral("--delay"), QStringLiteral("2 s")},
                               &error, &pid),
            1)
      << error.ToUtf8();
  EXPECT_GT(pid, 0);
  ASSERT_TRUE(testsupport::WaitFor([&] { return fs::exists(note); }));
  EXPECT_EQ(testsupport::ReadFile(note), "--delay|2 s|");
}

TEST_F(ScreenCapture, AMissingOrUnusableCompanionIsReported) {
  MyString error;
  EXPECT_EQ(StartScreenCapture(m_program, {}, &error), 0);
  EXPECT_NE(error.ToUtf8().find((m_folder / "snapgrab").string()), std::string::npos);

  testsupport::WriteFile(m_folder / "snapgrab", "#!/bin/sh\n");
  fs::permissions(m_folder / "snapgrab", fs::perms::owner_read | fs::perms::owner_write);
  error = MyString();
  EXPECT_EQ(StartScreenCapture(m_program, {}, &error), 0);
  EXPECT_FALSE(error.IsEmpty());

  fs::remove(m_folder / "snapgrab");
  fs::create_directory(m_folder / "snapgrab");
  error = MyString();
  EXPECT_EQ(StartScreenCapture(m_program, {}, &error), 0);
  EXPECT_FALSE(error.IsEmpty());
}

}  // namespace

#include "helplauncher_test.moc"
