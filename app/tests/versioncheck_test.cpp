#include "shell/versioncheck.h"

#include <QCoreApplication>
#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdlib>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/registry.h"
#include "testsupport/testsupport.h"

namespace {

// A real HTTP/1.1 server on the loopback address, answering each path as
// told (or not at all).
class CTestHttpServer : public QObject {
 public:
  struct tagANSWER {
    int nStatus = 200;
    QByteArray body;
    QByteArray headers;    // extra header lines, each ending in "\r\n"
    bool bSilent = false;  // accept and never answer
  };

  CTestHttpServer() {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] { Accept(); });
  }

  void Answer(const QByteArray& path, const tagANSWER& answer) { m_answers[path] = answer; }
  QUrl Url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
  }
  quint16 Port() const { return m_server.serverPort(); }
  void Close() { m_server.close(); }
  const QList<QByteArray>& Requests() const { return m_requests; }

 private:
  void Accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
      connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
      connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
  }

  void Read(QTcpSocket* socket) {
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) return;
    const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
    m_buffers.remove(socket);
    const QByteArray path = requestLine.size() >= 2 ? requestLine[1] : QByteArray();
    m_requests.append(path);
    const auto found = m_answers.find(path);
    const tagANSWER answer =
        found != m_answers.end() ? found->second : tagANSWER{404, "not found", {}, false};
    if (answer.bSilent) return;
    QByteArray response = "HTTP/1.1 " + QByteArray::number(answer.nStatus) + " Answer\r\n";
    response += "Content-Type: text/plain\r\nConnection: close\r\n";
    response += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    response += answer.headers + "\r\n" + answer.body;
    socket->write(response);
    socket->disconnectFromHost();
  }

  QTcpServer m_server;
  std::map<QByteArray, tagANSWER> m_answers;
  QHash<QTcpSocket*, QByteArray> m_buffers;
  QList<QByteArray> m_requests;
};

// Records the results a check reports.
class CFinishedRecorder {
 public:
  explicit CFinishedRecorder(CVersionCheck& check)
      : m_connection(QObject::connect(&check, &CVersionCheck::Finished,
                                      [this](int result) { results.push_back(result); })) {}
  ~CFinishedRecorder() { QObject::disconnect(m_connection); }

  std::vector<int> results;

 private:
  QMetaObject::Connection m_connection;
};

int RunCheck(CVersionCheck& check, const QUrl& url, const MyString& current = u"0.1.0") {
  CFinishedRecorder finished(check);
  if (check.Start(url, current) != 1) return -100;
  if (!testsupport::WaitFor([&] { return !finished.results.empty(); })) return -101;
  EXPECT_EQ(finished.results.size(), 1u);
  EXPECT_FALSE(check.IsRunning());
  return finished.results[0];
}

struct tagPAGECASE {
  const char* pszCase;
  int nStatus;
  QByteArray body;
  int nExpected;
};

void PrintTo(const tagPAGECASE& page, std::ostream* out) { *out << page.pszCase; }

class VersionCheckAgainstAServer : public ::testing::TestWithParam<tagPAGECASE> {};

TEST_P(VersionCheckAgainstAServer, GivesTheResultOfThePage) {
  CTestHttpServer server;
  server.Answer("/version.txt", {GetParam().nStatus, GetParam().body, {}, false});
  CVersionCheck check;
  EXPECT_EQ(RunCheck(check, server.Url("/version.txt")), GetParam().nExpected);
  EXPECT_EQ(check.GetResult(), GetParam().nExpected);
  if (GetParam().nExpected == VERSIONCHECK_ERROR) {
    EXPECT_FALSE(check.GetErrorDetail().IsEmpty());
  }
  EXPECT_EQ(server.Requests(), QList<QByteArray>{"/version.txt"});
}

INSTANTIATE_TEST_SUITE_P(
    Pages, VersionCheckAgainstAServer,
    ::testing::Values(
        tagPAGECASE{"Newer", 200, "version=0.2.0\n", VERSIONCHECK_NEWER},
        tagPAGECASE{"NewerByTheFourthNumber", 200, "# Lorimo\r\n\r\n  version = 0.1.0.1 \r\n",
                    VERSIONCHECK_NEWER},
        tagPAGECASE{"NewerWithByteOrderMark", 200, "\xEF\xBB\xBFversion=1\n", VERSIONCHECK_NEWER},
        tagPAGECASE{"NewerTenAfterNine", 200, "version=0.10\n", VERSIONCHECK_NEWER},
        tagPAGECASE{"Same", 200, "version=0.1.0\n", VERSIONCHECK_UP_TO_DATE},
        tagPAGECASE{"SameWithoutTrailingZero", 200, "version=0.1", VERSIONCHECK_UP_TO_DATE},
        tagPAGECASE{"Older", 200, "version=0.0.9\nfuture=ignored\n", VERSIONCHECK_UP_TO_DATE},
        tagPAGECASE{"NotFound", 404, "version=9.0\n", VERSIONCHECK_ERROR},
        tagPAGECASE{"ServerError", 500, "version=9.0\n", VERSIONCHECK_ERROR},
        tagPAGECASE{"NoContent", 204, "", VERSIONCHECK_ERROR},
        tagPAGECASE{"EmptyPage", 200, "", VERSIONCHECK_ERROR},
        tagPAGECASE{"HtmlPage", 200, "<html><body>Welcome to the hotel network</body></html>",
                    VERSIONCHECK_ERROR},
        tagPAGECASE{"VersionIsAWord", 200, "version=latest\n", VERSIONCHECK_ERROR},
        tagPAGECASE{"TwoVersions", 200, "version=0.2\nversion=0.3\n", VERSIONCHECK_ERROR},
        tagPAGECASE{"TooLarge", 200, "version=9.0\n" + QByteArray(200 * 1024, '#'),
                    VERSIONCHECK_ERROR}),
    [](const ::testing::TestParamInfo<tagPAGECASE>& info) { return info.param.pszCase; });

TEST(VersionCheck, FollowsARedirectAndKeepsTheDownloadPage) {
  CTestHttpServer server;
  server.Answer("/old", {301, "", "Location: /lorimo/version.txt\r\n", false});
  server.Answer("/lorimo/version.txt",
                {200, "version=3.0\ndownload=https://example.org/lorimo/get.html\n", {}, false});
  CVersionCheck check;
  EXPECT_EQ(RunCheck(check, server.Url("/old")), VERSIONCHECK_NEWER);
  EXPECT_EQ(check.GetPage().strVersion, u"3.0");
  EXPECT_EQ(check.GetPage().strDownload, u"https://example.org/lorimo/get.html");
}

TEST(VersionCheck, ARefusedConnectionIsAnError) {
  QUrl url;
  {
    CTestHttpServer server;
    url = server.Url("/version.txt");
    server.Close();
  }
  CVersionCheck check;
  EXPECT_EQ(RunCheck(check, url), VERSIONCHECK_ERROR);
  EXPECT_FALSE(check.GetErrorDetail().IsEmpty());
}

TEST(VersionCheck, ASilentServerTimesOut) {
  CTestHttpServer server;
  server.Answer("/version.txt", {200, "", {}, true});
  CVersionCheck check;
  check.SetTimeout(300);
  EXPECT_EQ(RunCheck(check, server.Url("/version.txt")), VERSIONCHECK_ERROR);
}

TEST(VersionCheck, AddressesThatAreNotWebPagesFailAfterStartReturns) {
  for (const char* address :
       {"", "not an address", "ftp://example.org/version.txt", "file:///etc/hostname", "http://"}) {
    CVersionCheck check;
    CFinishedRecorder finished(check);
    ASSERT_EQ(check.Start(QUrl(QString::fromUtf8(address)), u"0.1.0"), 1) << address;
    EXPECT_TRUE(finished.results.empty()) << address;
    ASSERT_TRUE(testsupport::WaitFor([&] { return !finished.results.empty(); })) << address;
    EXPECT_EQ(finished.results[0], VERSIONCHECK_ERROR) << address;
  }
}

TEST(VersionCheck, AnUnreadableProgramVersionIsAnError) {
  CTestHttpServer server;
  server.Answer("/version.txt", {200, "version=1.0\n", {}, false});
  CVersionCheck check;
  EXPECT_EQ(RunCheck(check, server.Url("/version.txt"), u"1.0-beta"), VERSIONCHECK_ERROR);
}

TEST(VersionCheck, OneCheckAtATimeAndCancelIsSilent) {
  CTestHttpServer server;
  server.Answer("/version.txt", {200, "", {}, true});
  server.Answer("/now.txt", {200, "version=0.1.0\n", {}, false});
  CVersionCheck check;
  CFinishedRecorder finished(check);
  ASSERT_EQ(check.Start(server.Url("/version.txt"), u"0.1.0"), 1);
  EXPECT_TRUE(check.IsRunning());
  EXPECT_EQ(check.Start(server.Url("/now.txt"), u"0.1.0"), 0);
  ASSERT_TRUE(testsupport::WaitFor([&] { return server.Requests().size() == 1; }));
  check.Cancel();
  EXPECT_FALSE(check.IsRunning());
  // Once cancelled, a new check may start, and only it reports.
  ASSERT_EQ(check.Start(server.Url("/now.txt"), u"0.1.0"), 1);
  ASSERT_TRUE(testsupport::WaitFor([&] { return !finished.results.empty(); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(finished.results.size(), 1u);
  EXPECT_EQ(finished.results[0], VERSIONCHECK_UP_TO_DATE);
}

struct tagCOMPARECASE {
  const char16_t* a;
  const char16_t* b;
  int nOrder;
};

class VersionComparison : public ::testing::TestWithParam<tagCOMPARECASE> {};

TEST_P(VersionComparison, ComparesNumberByNumber) {
  int order = 99;
  ASSERT_EQ(CompareVersions(GetParam().a, GetParam().b, &order), 1);
  EXPECT_EQ(order, GetParam().nOrder);
  ASSERT_EQ(CompareVersions(GetParam().b, GetParam().a, &order), 1);
  EXPECT_EQ(order, -GetParam().nOrder);
}

INSTANTIATE_TEST_SUITE_P(Pairs, VersionComparison,
                         ::testing::Values(tagCOMPARECASE{u"1.10", u"1.9", 1},
                                           tagCOMPARECASE{u"1.2", u"1.2.0.0", 0},
                                           tagCOMPARECASE{u"2", u"1.99.99.99", 1},
                                           tagCOMPARECASE{u"0.1.0", u"0.1.0", 0},
                                           tagCOMPARECASE{u"007.1", u"7.1", 0},
                                           tagCOMPARECASE{u"4294967.0", u"999999999", -1}));

TEST(VersionNumbers, RefuseWhatIsNotAVersion) {
  for (const char16_t* text : {u"", u".", u"1.", u".1", u"1..2", u"1.2.3.4.5", u"v1.2", u"1.2-rc1",
                               u" 1.2", u"1234567890", u"\u0661.2"}) {
    EXPECT_EQ(ParseVersionNumber(text, nullptr), 0) << MyString(text).ToUtf8();
    int order = 0;
    EXPECT_EQ(CompareVersions(text, u"1.0", &order), 0) << MyString(text).ToUtf8();
  }
  std::vector<uint32_t> numbers;
  ASSERT_EQ(ParseVersionNumber(u"0.2.10.999999999", &numbers), 1);
  EXPECT_EQ(numbers, (std::vector<uint32_t>{0, 2, 10, 999999999}));
}

TEST(VersionPage, OffersOnlyWebPagesForDownload) {
  tagVERSIONPAGE page;
  ASSERT_EQ(ParseVersionPage("version=1.0\ndownload=file:///etc/passwd\n", &page), 1);
  EXPECT_TRUE(page.strDownload.IsEmpty());
  ASSERT_EQ(ParseVersionPage("version=1.0\ndownload=javascript:alert(1)\n", &page), 1);
  EXPECT_TRUE(page.strDownload.IsEmpty());
  ASSERT_EQ(ParseVersionPage("download = http://example.org/x\nversion=1.0", &page), 1);
  EXPECT_EQ(page.strDownload, u"http://example.org/x");
  EXPECT_EQ(ParseVersionPage("=1.0\nversion=1.0\n", &page), 0);
  EXPECT_EQ(ParseVersionPage("# only a comment\n", &page), 0);
}

TEST(VersionPageAddress, EnvironmentThenSettingThenTheMakersPage) {
  unsetenv("LORIMO_VERSION_URL");
  EXPECT_EQ(GetVersionPageAddress(), kDefaultVersionPage);
  {
    CRegistry registry(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo");
    registry.SetValue(u"VersionPageURL", MyString(u"http://mirror.example/v.txt"));
  }
  EXPECT_EQ(GetVersionPageAddress(), u"http://mirror.example/v.txt");
  setenv("LORIMO_VERSION_URL", "http://127.0.0.1:9/v.txt", 1);
  EXPECT_EQ(GetVersionPageAddress(), u"http://127.0.0.1:9/v.txt");
  unsetenv("LORIMO_VERSION_URL");
}

struct tagDIALOGCASE {
  const char* pszCase;
  CTestHttpServer::tagANSWER answer;
  const char16_t* pszText;
  const char* pszLink;
};

void PrintTo(const tagDIALOGCASE& dialog, std::ostream* out) { *out << dialog.pszCase; }

class CheckVersionDialog : public ::testing::TestWithParam<tagDIALOGCASE> {
 protected:
  void SetUp() override { QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3")); }
  void TearDown() override { QCoreApplication::setApplicationVersion(QString()); }
};

TEST_P(CheckVersionDialog, ShowsTheResultText) {
  CTestHttpServer server;
  server.Answer("/version.txt", GetParam().answer);
  CDlgCheckVersion dialog(nullptr, server.Url("/version.txt"));
  ASSERT_EQ(dialog.DoModeless(), 1);
  const QString expected = QString::fromUtf16(GetParam().pszText);
  ASSERT_TRUE(testsupport::WaitFor([&] { return dialog.GetMessageText() == expected; }))
      << dialog.GetMessageText().toStdString();
  EXPECT_EQ(dialog.GetDownloadLink(), QString::fromUtf8(GetParam().pszLink));
  dialog.EndDialog(IDCANCEL);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CheckVersionDialog,
    ::testing::Values(
        tagDIALOGCASE{"Newer",
                      {200, "version=1.3\ndownload=https://example.org/get.html\n", {}, false},
                      kNewVersionAvailableText,
                      "https://example.org/get.html"},
        tagDIALOGCASE{"Same",
                      {200, "version=1.2.3\ndownload=https://example.org/\n", {}, false},
                      kNoNewVersionText,
                      ""},
        tagDIALOGCASE{"Missing", {404, "", {}, false}, kVersionCheckErrorText, ""}),
    [](const ::testing::TestParamInfo<tagDIALOGCASE>& info) { return info.param.pszCase; });

TEST(CheckVersionDialogClosing, StopsTheCheck) {
  CTestHttpServer server;
  server.Answer("/version.txt", {200, "", {}, true});
  CDlgCheckVersion dialog(nullptr, server.Url("/version.txt"));
  CFinishedRecorder finished(dialog.GetCheck());
  ASSERT_EQ(dialog.DoModeless(), 1);
  EXPECT_TRUE(dialog.GetCheck().IsRunning());
  ASSERT_TRUE(testsupport::WaitFor([&] { return server.Requests().size() == 1; }));
  dialog.EndDialog(IDCANCEL);
  EXPECT_FALSE(dialog.GetCheck().IsRunning());
  QCoreApplication::processEvents();
  EXPECT_TRUE(finished.results.empty());
}

}  // namespace
