#include "shell/startupscreen.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <QVBoxLayout>

#include "corekit_ui/controls.h"

namespace {

QStringList LocalFiles(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths.append(url.toLocalFile());
  return paths;
}

QLabel* AddHeading(QVBoxLayout* layout, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  layout->addWidget(label);
  return label;
}

}  // namespace

CStartupScreen::CStartupScreen(const std::vector<MyString>& recentFiles, QWidget* parent)
    : QWidget(parent) {
  setObjectName(QStringLiteral("LorimoSplash"));
  setWindowTitle(tr("Startup options"));
  setAcceptDrops(true);
  setAutoFillBackground(true);

  auto* outer = new QVBoxLayout(this);
  auto* panel = new QFrame(this);
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setMaximumWidth(520);
  outer->addStretch(1);
  outer->addWidget(panel, 0, Qt::AlignHCenter);
  outer->addStretch(2);

  auto* layout = new QVBoxLayout(panel);
  AddHeading(layout, tr("Startup options"), panel);
  layout->addWidget(new QLabel(tr("Select the action you'd like to perform:"), panel));
  const struct {
    const char* text;
    int id;
  } actions[] = {{"Open file ...", IDM_OPEN},
                 {"Add directories to favorites ...", IDM_ADD_FAVORITE_DIRECTORY},
                 {"Add portfolio to favorites ...", IDM_ADD_FAVORITE_PORTFOLIO},
                 {"Rename or convert files ...", IDM_BATCH}};
  for (const auto& action : actions) {
    auto* label = new QLabel(tr(action.text), panel);
    label->setContentsMargins(16, 0, 0, 0);
    layout->addWidget(label);
    CHyperlink* link = ConvertStaticToHyperlink(label, action.id);
    connect(link, &CHyperlink::Command, this, &CStartupScreen::Command);
  }

  layout->addSpacing(8);
  layout->addWidget(new QLabel(tr("Open recent files:"), panel));
  for (size_t i = 0; i < recentFiles.size() && i < 4; ++i) {
    auto* label = new QLabel(recentFiles[i].ToQString(), panel);
    label->setContentsMargins(16, 0, 0, 0);
    label->setToolTip(recentFiles[i].ToQString());
    layout->addWidget(label);
    CHyperlink* link = ConvertStaticToHyperlink(label, IDM_RECENT_FILE_1 + int(i));
    connect(link, &CHyperlink::Command, this, &CStartupScreen::Command);
  }

  layout->addSpacing(8);
  auto* site = new QLabel(tr("Visit the Lorimo web site"), panel);
  ConvertStaticToHyperlink(site, QString::fromLatin1(kLorimoWebSite));
  layout->addWidget(site);
  auto* contact = new QLabel(tr("Contact us"), panel);
  ConvertStaticToHyperlink(contact, QString::fromLatin1(kLorimoContact));
  layout->addWidget(contact);

  layout->addSpacing(8);
  m_dontShow = new QCheckBox(tr("Don't show again"), panel);
  layout->addWidget(m_dontShow);
}

bool CStartupScreen::IsDontShowAgainChecked() const { return m_dontShow->isChecked(); }

void CStartupScreen::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CStartupScreen::dropEvent(QDropEvent* event) {
  const QStringList paths = LocalFiles(event->mimeData());
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  emit FilesDropped(paths);
}
