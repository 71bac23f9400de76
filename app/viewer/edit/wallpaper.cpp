#include "viewer/edit/wallpaper.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "viewer/imagedocument.h"
#include "viewer/imageio.h"

namespace {

constexpr char kPortalService[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
// The portal may show the user a preview to confirm.
constexpr int kPortalAnswerMs = 5 * 60 * 1000;
constexpr int kCommandMs = 15000;

// The extensions every desktop's image reader takes.
bool DesktopsRead(const MyString& path) {
  const MyString ext = path.GetStringExtension();
  for (const char16_t* known : {u".jpg", u".jpeg", u".png", u".bmp"})
    if (ext.EqualsNoCase(known)) return true;
  return false;
}

QStringList DesktopNames(const QString& desktops) {
  return desktops.toLower().split(u':', Qt::SkipEmptyParts);
}

}  // namespace

// Waits for the portal request's answer.
class CPortalResponse : public QObject {
  Q_OBJECT
 public:
  QEventLoop loop;
  int nResponse = -1;

 public slots:
  void OnResponse(uint response, const QVariantMap&) {
    nResponse = int(response);
    loop.quit();
  }
};

namespace {

// 1 set, -1 declined, 0 failed with the portal's reason, -2 no portal here.
int SetThroughPortal(const MyString& file, MyString* error) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return -2;
  // The request's object path is known before the call, so the answer
  // cannot come before we listen for it.
  const QString token =
      QStringLiteral("lorimo%1").arg(QRandomGenerator::global()->generate(), 0, 16);
  QString sender = bus.baseService().mid(1);
  sender.replace(u'.', u'_');
  const QString request =
      QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
  CPortalResponse response;
  bus.connect(kPortalService, request, QStringLiteral("org.freedesktop.portal.Request"),
              QStringLiteral("Response"), &response, SLOT(OnResponse(uint, QVariantMap)));
  QDBusMessage call = QDBusMessage::createMethodCall(
      kPortalService, kPortalPath, QStringLiteral("org.freedesktop.portal.Wallpaper"),
      QStringLiteral("SetWallpaperURI"));
  QVariantMap options;
  options.insert(QStringLiteral("handle_token"), token);
  options.insert(QStringLiteral("show-preview"), false);
  options.insert(QStringLiteral("set-on"), QStringLiteral("background"));
  call << QString() << QUrl::fromLocalFile(file.ToQString()).toString(QUrl::FullyEncoded)
       << options;
  const QDBusMessage reply = bus.call(call, QDBus::Block, kCommandMs);
  if (reply.type() == QDBusMessage::ErrorMessage) {
    bus.disconnect(kPortalService, request, QStringLiteral("org.freedesktop.portal.Request"),
                   QStringLiteral("Response"), &response, SLOT(OnResponse(uint, QVariantMap)));
    return -2;  // no portal, or none that sets wallpapers
  }
  if (response.nResponse < 0) {
    QTimer::singleShot(kPortalAnswerMs, &response.loop, &QEventLoop::quit);
    response.loop.exec();
  }
  bus.disconnect(kPortalService, request, QStringLiteral("org.freedesktop.portal.Request"),
                 QStringLiteral("Response"), &response, SLOT(OnResponse(uint, QVariantMap)));
  if (response.nResponse == 0) return 1;
  if (response.nResponse == 1) return -1;
  if (error) *error = u"The desktop portal did not set the wallpaper.";
  return 0;
}

// Runs a command; 1 when it ended well, else 0 with its complaint in *error.
int RunCommand(const QString& program, const QStringList& arguments, MyString* error,
               QString* output = nullptr) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForStarted(kCommandMs)) {
    if (error)
      *error = MyString::FromQString(program + QStringLiteral(": ") + process.errorString());
    return 0;
  }
  if (!process.waitForFinished(kCommandMs)) {
    process.kill();
    process.waitForFinished(1000);
    if (error) *error = MyString::FromQString(program + QStringLiteral(" did not finish."));
    return 0;
  }
  if (output) *output = QString::fromUtf8(process.readAllStandardOutput());
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    if (error)
      *error = MyString::FromQString(QString::fromUtf8(process.readAllStandardError()).trimmed());
    return 0;
  }
  return 1;
}

int SetOnXfce(const MyString& file, MyString* error) {
  QString listing;
  if (!RunCommand(QStringLiteral("xfconf-query"),
                  {QStringLiteral("-c"), QStringLiteral("xfce4-desktop"), QStringLiteral("-l")},
                  error, &listing))
    return 0;
  const QStringList properties = XfceImageProperties(listing);
  if (properties.isEmpty()) {
    if (error) *error = u"The desktop has no wallpaper setting to change.";
    return 0;
  }
  for (const QString& property : properties) {
    if (!RunCommand(QStringLiteral("xfconf-query"),
                    {QStringLiteral("-c"), QStringLiteral("xfce4-desktop"), QStringLiteral("-p"),
                     property, QStringLiteral("-s"), file.ToQString()},
                    error))
      return 0;
  }
  return 1;
}

}  // namespace

tagWALLPAPERFILE ChooseWallpaperFile(const MyString& path, bool bModified, const MyString& folder) {
  tagWALLPAPERFILE choice;
  if (!path.IsEmpty() && !bModified && DesktopsRead(path)) {
    choice.strPath = path;
    return choice;
  }
  MyString title = path.IsEmpty() ? MyString() : path.GetStringTitle();
  if (title.IsEmpty()) title = u"wallpaper";
  choice.strPath = folder + u"/" + title + u".png";
  choice.bWriteImage = true;
  return choice;
}

MyString GetWallpaperFolder() {
  return MyString::FromQString(
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
      QStringLiteral("/ZOKA/Lorimo/Wallpaper"));
}

bool IsXfceDesktop(const QString& desktops) {
  return DesktopNames(desktops).contains(QStringLiteral("xfce"));
}

std::vector<tagWALLPAPERCOMMAND> DesktopWallpaperCommands(const QString& desktops,
                                                          const MyString& file) {
  const QString path = file.ToQString();
  const QString uri = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
  const QString gsettings = QStringLiteral("gsettings");
  const QString set = QStringLiteral("set");
  for (const QString& name : DesktopNames(desktops)) {
    if (name == u"gnome" || name == u"unity" || name == u"ubuntu" || name == u"budgie" ||
        name == u"pantheon") {
      const QString schema = QStringLiteral("org.gnome.desktop.background");
      return {{gsettings, {set, schema, QStringLiteral("picture-uri"), uri}, false},
              // The dark style's own picture (GNOME 42 and later).
              {gsettings, {set, schema, QStringLiteral("picture-uri-dark"), uri}, true}};
    }
    if (name == u"x-cinnamon" || name == u"cinnamon")
      return {{gsettings,
               {set, QStringLiteral("org.cinnamon.desktop.background"),
                QStringLiteral("picture-uri"), uri},
               false}};
    if (name == u"mate")
      return {
          {gsettings,
           {set, QStringLiteral("org.mate.background"), QStringLiteral("picture-filename"), path},
           false}};
    if (name == u"kde") return {{QStringLiteral("plasma-apply-wallpaperimage"), {path}, false}};
  }
  return {};
}

QStringList XfceImageProperties(const QString& listing) {
  QStringList properties;
  for (const QString& line : listing.split(u'\n', Qt::SkipEmptyParts)) {
    const QString property = line.trimmed();
    if (property.startsWith(u"/backdrop/") && property.endsWith(u"/last-image"))
      properties.append(property);
  }
  return properties;
}

int SetDesktopWallpaper(const MyString& file, MyString* error) {
  MyString reason;
  const int portal = SetThroughPortal(file, &reason);
  if (portal != -2) {
    if (error) *error = reason;
    return portal;
  }
  const QString desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
  if (IsXfceDesktop(desktops)) return SetOnXfce(file, error);
  const std::vector<tagWALLPAPERCOMMAND> commands = DesktopWallpaperCommands(desktops, file);
  if (commands.empty()) {
    if (error)
      *error =
          u"This desktop offers no way to set its wallpaper (no desktop portal, and "
          u"XDG_CURRENT_DESKTOP names no desktop known here).";
    return 0;
  }
  for (const tagWALLPAPERCOMMAND& command : commands) {
    MyString failure;
    if (!RunCommand(command.strProgram, command.arguments, &failure) && !command.bOptional) {
      if (error) *error = failure;
      return 0;
    }
  }
  return 1;
}

CDesktopWallpaper::CDesktopWallpaper(CImageDocument& document, CFileEditUi& ui)
    : setWallpaper(SetDesktopWallpaper),
      strFolder(GetWallpaperFolder()),
      m_document(document),
      m_ui(ui) {}

int CDesktopWallpaper::Run() {
  if (!m_document.HasImage()) {
    m_ui.Message(u"Please Open Image First.", u"Lorimo: Set desktop wallpaper", MK_WARNING);
    return 0;
  }
  const tagWALLPAPERFILE choice =
      ChooseWallpaperFile(m_document.GetPath(), m_document.IsModified(), strFolder);
  if (choice.bWriteImage) {
    QDir().mkpath(strFolder.ToQString());
    // Our own copy: whatever has the name is replaced, a link never followed.
    tagIMAGEWRITE write;
    write.file.nTarget = AT_REPLACE_NAME;
    // SaveImage tells the user itself when it fails.
    if (!SaveImage(m_document.GetWindow(), choice.strPath, m_document.GetImage(), write)) return 0;
  }
  MyString error;
  const int result = setWallpaper ? setWallpaper(choice.strPath, &error) : 0;
  if (result == 0)
    m_ui.Message(
        error.IsEmpty() ? MyString(u"Unknown error occured.") : u"Error occured !\n" + error,
        u"Lorimo: SetWallpaper()", MK_ERROR);
  return result == 1 ? 1 : 0;
}

#include "wallpaper.moc"
