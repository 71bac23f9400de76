#pragma once
// "Check for new versions": reads a small version page over HTTP and
// compares the version it names with this program's.
//
// The version page is UTF-8 text, one "key=value" per line; blank lines and
// lines starting with '#' are skipped, unknown keys are ignored (room for
// later additions), and any other line makes the page unreadable:
//
//   # Lorimo version page
//   version=0.2.0
//   download=https://www.zoka-software.com/lorimo/download.html
//
// "version" is required: one to four numbers separated by dots, compared
// number by number ("1.10" is newer than "1.9"; "1.2" equals "1.2.0").
// "download" is optional: the page where the new version can be fetched.
//
// The address is, in this order: the environment variable
// LORIMO_VERSION_URL, the text value "VersionPageURL" in
// Software\ZOKA\Lorimo, or the maker's page.

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <cstdint>
#include <string_view>
#include <vector>

#include "corekit/mystring.h"
#include "corekit_ui/dialog.h"
#include "corekit_ui/uiutil.h"

class QLabel;
class QNetworkReply;

inline constexpr char16_t kNewVersionAvailableText[] = u"A new version is available for download !";
inline constexpr char16_t kNoNewVersionText[] = u"No new versions of Lorimo are available now.";
inline constexpr char16_t kVersionCheckErrorText[] =
    u"An error has occured. Please try again later.";
inline constexpr char16_t kDefaultVersionPage[] =
    u"https://www.zoka-software.com/lorimo/version.txt";

enum VersionCheckResult : int {
  VERSIONCHECK_ERROR = -1,      // the page could not be read or understood
  VERSIONCHECK_UP_TO_DATE = 0,  // the page names this version or an older one
  VERSIONCHECK_NEWER = 1,       // the page names a newer version
};

// The text the user is shown for a result.
MyString GetVersionCheckText(int result);

// Where the version page is (see above).
MyString GetVersionPageAddress();

// 1 and the numbers of a version text ("0.2.10" gives 0, 2, 10), else 0.
int ParseVersionNumber(const MyString& text, std::vector<uint32_t>* numbers);
// 1 and *order = -1, 0 or 1 as a is older than, equal to or newer than b;
// 0 when either is not a version.
int CompareVersions(const MyString& a, const MyString& b, int* order);

struct tagVERSIONPAGE {
  MyString strVersion;
  MyString strDownload;  // empty, or an http(s) address
};
// 1 and the page's fields, or 0 when the text is not a version page.
int ParseVersionPage(std::string_view page, tagVERSIONPAGE* result);

// One check at a time, asynchronous on the GUI thread: Start, then Finished
// once with a VersionCheckResult (also for an address that cannot be used).
class CVersionCheck : public QObject {
  Q_OBJECT

 public:
  explicit CVersionCheck(QObject* parent = nullptr);
  // Cancels a running check.
  ~CVersionCheck() override;

  // How long the server may stay silent before the check fails.
  void SetTimeout(int milliseconds) { m_nTimeoutMs = milliseconds; }
  // 1 when started; 0 while another check runs.
  int Start(const QUrl& address, const MyString& currentVersion = GetVersionInformation());
  // Stops a running check; no Finished follows.
  void Cancel();
  bool IsRunning() const { return m_bRunning; }

  // Of the last finished check.
  int GetResult() const { return m_nResult; }
  const tagVERSIONPAGE& GetPage() const { return m_page; }
  // Why it failed, for the curious (the user sees the fixed error text).
  const MyString& GetErrorDetail() const { return m_strError; }

 signals:
  void Finished(int result);

 private:
  void OnReplyFinished();
  void Finish(int result, const MyString& error = MyString());

  QNetworkAccessManager m_network;
  QPointer<QNetworkReply> m_reply;
  MyString m_strCurrentVersion;
  tagVERSIONPAGE m_page;
  MyString m_strError;
  int m_nResult = VERSIONCHECK_ERROR;
  int m_nTimeoutMs = 15000;
  bool m_bRunning = false;
  bool m_bTooLarge = false;
};

// The "Check for new versions" dialog: runs the check when it opens, shows
// the result text, and a link to the download page when there is one.
class CDlgCheckVersion : public CDialog {
  Q_OBJECT

 public:
  explicit CDlgCheckVersion(QWidget* parent = nullptr,
                            const QUrl& address = QUrl(GetVersionPageAddress().ToQString()));

  CVersionCheck& GetCheck() { return m_check; }
  QString GetMessageText() const;
  // The download link's address while it is shown, else empty.
  QString GetDownloadLink() const;

 protected:
  int OnInitDialog() override;
  void OnDestroy() override;

 private:
  void ShowResult(int result);

  QUrl m_address;
  CVersionCheck m_check;
  QLabel* m_message;
  QLabel* m_download;
};

// Command "Check for new versions": the dialog above, modal.
void RunCheckForNewVersions(QWidget* parent);
