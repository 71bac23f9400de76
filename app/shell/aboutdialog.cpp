#include "shell/aboutdialog.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtGlobal>

#include <exiv2/version.hpp>

#include "corekit/straw.h"
#include "corekit_ui/uiutil.h"
#include "gathrex/devices.h"
#include "lorimomagick/version.h"
#include "pixwork/libraries.h"

#ifndef LORIMO_TURBOJPEG_VERSION
#define LORIMO_TURBOJPEG_VERSION "unknown"
#endif

std::vector<tagLIBRARYVERSION> CollectLibraryVersions() {
  return {
      {u"Image engine", CStrAW::a_toW(LorimoMagickEngineVersion())},
      {u"Pixwork", PixworkLibraryVersions()},
      {u"Gathrex", GathrexLibraryVersion()},
      {u"Qt", CStrAW::a_toW(qVersion())},
      {u"Exiv2", CStrAW::a_toW(Exiv2::versionString())},
      {u"TurboJPEG", CStrAW::a_toW(LORIMO_TURBOJPEG_VERSION)},
  };
}

MyString FormatLibraryVersions(const std::vector<tagLIBRARYVERSION>& versions) {
  MyString text;
  for (const tagLIBRARYVERSION& library : versions) {
    if (!text.IsEmpty()) text += u'\n';
    text += library.strName + u": " + library.strVersion;
  }
  return text;
}

CDlgAbout::CDlgAbout(QWidget* parent)
    : CDialog(parent),
      m_plugins(new QPushButton(QStringLiteral("Installed Plugins..."), this)),
      m_libraries(new QPlainTextEdit(this)) {
  setWindowTitle(QStringLiteral("About Lorimo"));
  auto* name = new QLabel(QStringLiteral("ZOKA Lorimo"), this);
  QFont big = name->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  name->setFont(big);
  auto* version = new QLabel(QStringLiteral("Version ") + GetVersionInformation().ToQString() +
                                 QStringLiteral("\nAn image viewer and organiser"),
                             this);
  version->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* librariesLabel = new QLabel(QStringLiteral("Libraries:"), this);
  m_libraries->setReadOnly(true);
  m_libraries->setMinimumSize(420, 120);
  m_plugins->setEnabled(false);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  SetDlgItem(IDC_ABOUT_INSTALLED_PLUGINS, m_plugins);
  SetDlgItem(IDOK, ok);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_plugins);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(name);
  layout->addWidget(version);
  layout->addWidget(librariesLabel);
  layout->addWidget(m_libraries, 1);
  layout->addLayout(buttons);
}

void CDlgAbout::SetInstalledPluginsHandler(std::function<void()> handler) {
  m_installedPlugins = std::move(handler);
  m_plugins->setEnabled(bool(m_installedPlugins));
}

QString CDlgAbout::GetLibraryText() const { return m_libraries->toPlainText(); }

int CDlgAbout::OnInitDialog() {
  m_libraries->setPlainText(FormatLibraryVersions(CollectLibraryVersions()).ToQString());
  return 1;
}

int CDlgAbout::OnCommand(int id) {
  if (id == IDC_ABOUT_INSTALLED_PLUGINS) {
    if (m_installedPlugins) m_installedPlugins();
    return 1;
  }
  return CDialog::OnCommand(id);
}

void RunAbout(QWidget* parent, std::function<void()> installedPlugins) {
  CDlgAbout dialog(parent);
  dialog.SetInstalledPluginsHandler(std::move(installedPlugins));
  dialog.DoModal();
}
