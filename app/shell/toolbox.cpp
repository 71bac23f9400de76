#include "shell/toolbox.h"

#include <QGridLayout>
#include <QIcon>
#include <QStyle>
#include <QToolButton>

#include "shell/commandids.h"
#include "shell/commandrouter.h"
#include "shell/commandtable.h"

namespace {

constexpr int kColumns = 4;

// The theme's icon of a command, or a short text when the theme has none.
struct tagTOOLFACE {
  int nId;
  const char* pszThemeIcon;
  QStyle::StandardPixmap nStandard;  // used when the theme has no icon; -1: none
  const char* pszShort;
};

constexpr auto kNoStandard = QStyle::StandardPixmap(-1);

const tagTOOLFACE kFaces[] = {
    {IDM_OPEN, "document-open", QStyle::SP_DialogOpenButton, "Open"},
    {IDM_PREVIOUS_IMAGE, "go-previous", QStyle::SP_ArrowLeft, "<"},
    {IDM_NEXT_IMAGE, "go-next", QStyle::SP_ArrowRight, ">"},
    {IDM_AUTOPLAY, "media-playback-start", QStyle::SP_MediaPlay, "Play"},
    {IDM_ZOOM_IN, "zoom-in", kNoStandard, "+"},
    {IDM_ZOOM_OUT, "zoom-out", kNoStandard, "-"},
    {IDM_ACTUAL_SIZE, "zoom-original", kNoStandard, "1:1"},
    {IDM_BEST_FIT, "zoom-fit-best", kNoStandard, "Fit"},
    {IDM_LOCK_ZOOM_SCROLL, "object-locked", kNoStandard, "Lock"},
    {IDM_FULL_SCREEN, "view-fullscreen", QStyle::SP_TitleBarMaxButton, "Full"},
    {IDM_ALWAYS_ON_TOP, "go-top", kNoStandard, "Top"},
    {IDM_ROTATE_CLOCKWISE, "object-rotate-right", kNoStandard, "R"},
    {IDM_TOOL_NAVIGATE, "go-jump", kNoStandard, "Nav"},
    {IDM_TOOL_SELECT, "edit-select", kNoStandard, "Sel"},
    {IDM_TOOL_HAND, "transform-move", kNoStandard, "Hand"},
    {IDM_TOOL_MEASURE, "measure", kNoStandard, "Meas"},
    {IDM_TOOL_ANCHOR, "anchor", kNoStandard, "Anch"},
    {IDM_TOOL_ZOOM, "zoom-select", kNoStandard, "Zoom"},
    {IDM_TOOL_CUSTOM, "input-mouse", kNoStandard, "Cust"},
    {IDM_ROTATE_COUNTER_CLOCKWISE, "object-rotate-left", kNoStandard, "L"},
};

QString ToolTipOf(int id) {
  const tagCOMMANDENTRY* entry = CCommandTable::Find(id);
  if (!entry || !entry->pszText) return QString();
  QString text = QString::fromUtf16(entry->pszText).section(QLatin1Char('\t'), 0, 0).trimmed();
  return text.remove(QLatin1Char('&'));
}

}  // namespace

const std::vector<int>& CToolbox::Commands() {
  static const std::vector<int> commands = [] {
    std::vector<int> ids;
    for (const tagTOOLFACE& face : kFaces) ids.push_back(face.nId);
    return ids;
  }();
  return commands;
}

CToolbox::CToolbox(const CCommandRouter& router, std::function<void(int)> send, QWidget* parent)
    : QWidget(parent), m_router(router), m_send(std::move(send)) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(2, 2, 2, 2);
  grid->setSpacing(2);
  int n = 0;
  for (const tagTOOLFACE& face : kFaces) {
    auto* button = new QToolButton(this);
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(face.pszThemeIcon));
    if (icon.isNull() && face.nStandard != kNoStandard)
      icon = style()->standardIcon(face.nStandard);
    if (icon.isNull())
      button->setText(QString::fromLatin1(face.pszShort));
    else
      button->setIcon(icon);
    button->setToolTip(ToolTipOf(face.nId));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    const tagCOMMANDENTRY* entry = CCommandTable::Find(face.nId);
    button->setCheckable(entry && (entry->nFlags & CF_CHECKABLE));
    const int id = face.nId;
    connect(button, &QToolButton::clicked, this, [this, id] {
      if (m_send) m_send(id);
      // The owner decides whether the button stays pressed.
      Refresh();
    });
    grid->addWidget(button, n / kColumns, n % kColumns);
    m_buttons.emplace(face.nId, button);
    ++n;
  }
  m_nOwnCount = n;
  grid->setRowStretch(grid->rowCount(), 1);
  Refresh();
}

void CToolbox::SetPluginButtons(const std::vector<tagPLUGINBUTTON>& buttons) {
  auto* grid = static_cast<QGridLayout*>(layout());
  // Later: the button may be the one whose click led here.
  for (QToolButton* button : m_pluginButtons) {
    grid->removeWidget(button);
    button->hide();
    button->deleteLater();
  }
  m_pluginButtons.clear();
  int n = m_nOwnCount;
  for (const tagPLUGINBUTTON& face : buttons) {
    auto* button = new QToolButton(this);
    if (face.icon.isNull())
      button->setText(face.strText.left(4));
    else
      button->setIcon(face.icon);
    button->setToolTip(face.strText);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCheckable(true);
    button->setChecked(face.bSelected);
    const int id = face.nId;
    connect(button, &QToolButton::clicked, this, [this, id] {
      if (m_send) m_send(id);
    });
    grid->addWidget(button, n / kColumns, n % kColumns);
    m_pluginButtons.push_back(button);
    ++n;
  }
  grid->setRowStretch(grid->rowCount(), 1);
}

QToolButton* CToolbox::GetButton(int id) const {
  const auto found = m_buttons.find(id);
  return found == m_buttons.end() ? nullptr : found->second;
}

void CToolbox::Refresh() {
  for (const auto& [id, button] : m_buttons) {
    button->setEnabled(m_router.IsCommandEnabled(id));
    if (button->isCheckable()) button->setChecked(m_router.IsCommandChecked(id));
  }
}

void CToolbox::showEvent(QShowEvent* event) {
  Refresh();
  QWidget::showEvent(event);
}
