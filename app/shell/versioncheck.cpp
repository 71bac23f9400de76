#include "shell/versioncheck.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdlib>

#include "corekit/registry.h"
#include "corekit/straw.h"
#include "corekit_ui/controls.h"

namespace {

// A version page is a few lines; anything larger is not one.
constexpr qint64 kMaxPageBytes = 64 * 1024;
constexpr size_t kMaxVersionParts = 4;
constexpr size_t kMaxDigits = 9;  // keeps every part within 32 bits

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool IsWebAddress(const QUrl& url) {
  return url.isValid() && !url.host().isEmpty() &&
         (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

}  // namespace

MyString GetVersionCheckText(int result) {
  switch (result) {
    case VERSIONCHECK_NEWER:
      return kNewVersionAvailableText;
    case VERSIONCHECK_UP_TO_DATE:
      return kNoNewVersionText;
    default:
      return kVersionCheckErrorText;
  }
}

MyString GetVersionPageAddress() {
  const char* env = std::getenv("LORIMO_VERSION_URL");
  if (env && *env) return CStrAW::a_toW(env);
  CRegistry registry(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo", false);
  MyString address;
  if (registry.GetValue(u"VersionPageURL", address) && !address.IsEmpty()) return address;
  return kDefaultVersionPage;
}

int ParseVersionNumber(const MyString& text, std::vector<uint32_t>* numbers) {
  std::vector<uint32_t> parts;
  uint32_t value = 0;
  size_t digits = 0;
  for (size_t i = 0; i <= text.GetLength(); ++i) {
    const char16_t c = i < text.GetLength() ? text[i] : u'.';
    if (c >= u'0' && c <= u'9') {
      if (++digits > kMaxDigits) return 0;
      value = value * 10 + uint32_t(c - u'0');
    } else if (c == u'.' && digits > 0 && parts.size() < kMaxVersionParts) {
      parts.push_back(value);
      value = 0;
      digits = 0;
    } else {
      return 0;
    }
  }
  if (numbers) *numbers = std::move(parts);
  return 1;
}

int CompareVersions(const MyString& a, const MyString& b, int* order) {
  std::vector<uint32_t> left, right;
  if (!ParseVersionNumber(a, &left) || !ParseVersionNumber(b, &right)) return 0;
  left.resize(kMaxVersionParts, 0);
  right.resize(kMaxVersionParts, 0);
  *order = left < right ? -1 : (right < left ? 1 : 0);
  return 1;
}

int ParseVersionPage(std::string_view page, tagVERSIONPAGE* result) {
  if (page.substr(0, 3) == "\xEF\xBB\xBF") page.remove_prefix(3);
  tagVERSIONPAGE found;
  bool haveVersion = false;
  while (!page.empty()) {
    const size_t end = page.find('\n');
    const std::string_view line = Trim(page.substr(0, end));
    page.remove_prefix(end == std::string_view::npos ? page.size() : end + 1);
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return 0;
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (key == "version") {
      if (haveVersion || !ParseVersionNumber(CStrAW::a_toW(value), nullptr)) return 0;
      found.strVersion = CStrAW::a_toW(value);
      haveVersion = true;
    } else if (key == "download") {
      const QUrl url(QString::fromUtf8(value.data(), qsizetype(value.size())), QUrl::StrictMode);
      // Only a web page is offered to the user as a link.
      if (IsWebAddress(url)) found.strDownload = CStrAW::a_toW(value);
    } else if (key.empty()) {
      return 0;
    }
  }
  if (!haveVersion) return 0;
  if (result) *result = std::move(found);
  return 1;
}

CVersionCheck::CVersionCheck(QObject* parent) : QObject(parent) {}

CVersionCheck::~CVersionCheck() { Cancel(); }

int CVersionCheck::Start(const QUrl& address, const MyString& currentVersion) {
  if (m_bRunning) return 0;
  m_bRunning = true;
  m_bTooLarge = false;
  m_nResult = VERSIONCHECK_ERROR;
  m_page = tagVERSIONPAGE();
  m_strError = MyString();
  m_strCurrentVersion = currentVersion;
  if (!IsWebAddress(address)) {
    // Finished always comes after Start returns, as it does for a real request.
    const MyString error = u"Not a web address: " + MyString::FromQString(address.toString());
    QTimer::singleShot(0, this, [this, error] {
      if (m_bRunning && !m_reply) Finish(VERSIONCHECK_ERROR, error);
    });
    return 1;
  }
  QNetworkRequest request(address);
  request.setTransferTimeout(m_nTimeoutMs);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setHeader(QNetworkRequest::UserAgentHeader,
                    QStringLiteral("Lorimo/") + currentVersion.ToQString());
  m_reply = m_network.get(request);
  connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
    if (received > kMaxPageBytes && m_reply) {
      m_bTooLarge = true;
      m_reply->abort();
    }
  });
  connect(m_reply, &QNetworkReply::finished, this, &CVersionCheck::OnReplyFinished);
  return 1;
}

void CVersionCheck::Cancel() {
  m_bRunning = false;
  if (QNetworkReply* reply = m_reply) {
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
  }
}

void CVersionCheck::Finish(int result, const MyString& error) {
  m_bRunning = false;
  m_nResult = result;
  m_strError = error;
  emit Finished(result);
}

void CVersionCheck::OnReplyFinished() {
  QNetworkReply* reply = m_reply;
  if (!reply) return;
  m_reply = nullptr;
  reply->deleteLater();
  if (m_bTooLarge) return Finish(VERSIONCHECK_ERROR, u"The version page is too large.");
  if (reply->error() != QNetworkReply::NoError)
    return Finish(VERSIONCHECK_ERROR, MyString::FromQString(reply->errorString()));
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (status != 200)
    return Finish(VERSIONCHECK_ERROR, CStrAW::printf(u"The server answered %d.", status));
  const QByteArray body = reply->read(kMaxPageBytes + 1);
  if (body.size() > kMaxPageBytes)
    return Finish(VERSIONCHECK_ERROR, u"The version page is too large.");
  tagVERSIONPAGE page;
  if (!ParseVersionPage(std::string_view(body.constData(), size_t(body.size())), &page))
    return Finish(VERSIONCHECK_ERROR, u"The page is not a version page.");
  int order = 0;
  if (!CompareVersions(page.strVersion, m_strCurrentVersion, &order))
    return Finish(VERSIONCHECK_ERROR,
                  u"This program's version cannot be compared: " + m_strCurrentVersion);
  m_page = page;
  Finish(order > 0 ? VERSIONCHECK_NEWER : VERSIONCHECK_UP_TO_DATE);
}

CDlgCheckVersion::CDlgCheckVersion(QWidget* parent, const QUrl& address)
    : CDialog(parent),
      m_address(address),
      m_message(new QLabel(this)),
      m_download(new QLabel(QStringLiteral("Go to the download page"), this)) {
  setWindowTitle(QStringLiteral("Lorimo: Check for new versions"));
  m_message->setWordWrap(true);
  m_message->setMinimumWidth(320);
  m_download->hide();
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setDefault(true);
  SetDlgItem(IDCANCEL, close);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_message);
  layout->addWidget(m_download);
  layout->addLayout(buttons);
  connect(&m_check, &CVersionCheck::Finished, this, &CDlgCheckVersion::ShowResult);
}

QString CDlgCheckVersion::GetMessageText() const { return m_message->text(); }

QString CDlgCheckVersion::GetDownloadLink() const {
  if (m_download->isHidden()) return QString();
  auto* link = m_download->findChild<CHyperlink*>();
  return link ? link->GetUrl() : QString();
}

int CDlgCheckVersion::OnInitDialog() {
  m_message->setText(QStringLiteral("Checking for new versions of Lorimo ..."));
  m_download->hide();
  m_check.Start(m_address);
  return 1;
}

void CDlgCheckVersion::OnDestroy() { m_check.Cancel(); }

void CDlgCheckVersion::ShowResult(int result) {
  m_message->setText(GetVersionCheckText(result).ToQString());
  const MyString& download = m_check.GetPage().strDownload;
  if (result == VERSIONCHECK_NEWER && !download.IsEmpty()) {
    ConvertStaticToHyperlink(m_download, download.ToQString());
    m_download->show();
  }
}

void RunCheckForNewVersions(QWidget* parent) {
  CDlgCheckVersion dialog(parent);
  dialog.DoModal();
}
