#include "plugins/installedplugins.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "corekit_ui/uiutil.h"
#include "plugins/pluginhost.h"

namespace {

QString OrNotAvailable(const MyString& text) {
  return text.IsEmpty() ? QStringLiteral("N/A") : text.ToQString().toHtmlEscaped();
}

}  // namespace

CInstalledPluginsDialog::CInstalledPluginsDialog(std::vector<tagINSTALLEDPLUGIN> plugins,
                                                 QWidget* parent)
    : QDialog(parent),
      m_plugins(std::move(plugins)),
      m_list(new QListWidget(this)),
      m_details(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Installed Plugins"));
  m_list->setIconSize(QSize(32, 32));
  m_list->viewport()->installEventFilter(this);
  const QIcon own = QApplication::windowIcon();
  for (const tagINSTALLEDPLUGIN& plugin : m_plugins) {
    QString text =
        plugin.strFile.IsEmpty() ? QStringLiteral("Unknown plugin") : plugin.strFile.ToQString();
    if (!plugin.strRefusal.IsEmpty()) text += QStringLiteral(" (not loaded)");
    QIcon icon = plugin.icon.isNull() ? own : QIcon(QPixmap::fromImage(plugin.icon));
    m_list->addItem(new QListWidgetItem(icon, text));
  }
  m_details->setTextFormat(Qt::RichText);
  m_details->setOpenExternalLinks(true);
  m_details->setWordWrap(true);
  m_details->setMinimumHeight(80);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_list);
  layout->addWidget(m_details);
  layout->addWidget(buttons);
  connect(m_list, &QListWidget::currentRowChanged, this, [this] { ShowDetails(); });
  ShowDetails();
}

QString CInstalledPluginsDialog::DetailsText() const { return m_details->text(); }

void CInstalledPluginsDialog::ShowDetails() {
  const int row = m_list->currentRow();
  if (row < 0 || size_t(row) >= m_plugins.size()) {
    m_details->setText(QStringLiteral("No more information available."));
    return;
  }
  const tagINSTALLEDPLUGIN& plugin = m_plugins[size_t(row)];
  if (!plugin.strRefusal.IsEmpty()) {
    m_details->setText(plugin.strRefusal.ToQString().toHtmlEscaped());
    return;
  }
  QString developer = OrNotAvailable(plugin.strDeveloper);
  if (!plugin.strDeveloper.IsEmpty() && !plugin.strWebAddress.IsEmpty()) {
    QString address = plugin.strWebAddress.ToQString();
    if (!address.contains(QStringLiteral("://"))) address.prepend(QStringLiteral("https://"));
    developer = QStringLiteral("<a href=\"%1\">%2</a>").arg(address.toHtmlEscaped(), developer);
  }
  m_details->setText(
      QStringLiteral("Name: %1<br>Developer: %2<br>Support phone: %3")
          .arg(OrNotAvailable(plugin.strName), developer, OrNotAvailable(plugin.strSupportPhone)));
}

bool CInstalledPluginsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_list->viewport() && event->type() == QEvent::Paint && m_list->count() == 0) {
    QPainter painter(m_list->viewport());
    QFont font = painter.font();
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(QColor(119, 146, 170));
    painter.drawText(m_list->viewport()->rect(), Qt::AlignCenter | Qt::TextWordWrap,
                     QString::fromLatin1(kEmptyText));
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void CPluginHost::ShowInstalledPlugins(QWidget* parent) {
  std::vector<tagINSTALLEDPLUGIN> list;
  for (const auto& record : m_records) {
    tagINSTALLEDPLUGIN plugin;
    plugin.strFile = record->strPath.GetStringTitleExt();
    plugin.strName = record->info.szName;
    plugin.strDeveloper = record->info.szDeveloper;
    plugin.strWebAddress = record->info.szWebAddress;
    plugin.strSupportPhone = record->info.szSupportPhone;
    if (record->getIcon) {
      HBITMAP icon = nullptr;
      PFN_GetLorimoPluginIcon get = record->getIcon;
      Guard(*record, [&] { icon = get(); });
      if (icon) {
        plugin.icon =
            BitmapToQImage(icon).scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        DeleteBitmap32(icon);
      }
    }
    list.push_back(plugin);
  }
  for (const tagPROBERESULT& refused : m_refused) {
    tagINSTALLEDPLUGIN plugin;
    plugin.strFile = refused.strPath.GetStringTitleExt();
    plugin.strRefusal = refused.strReason;
    list.push_back(plugin);
  }
  CInstalledPluginsDialog dialog(std::move(list), parent);
  dialog.exec();
}
