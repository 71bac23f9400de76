#include "corekit_ui/controls.h"

#include <QDesktopServices>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QUrl>
#include <algorithm>

#include "corekit_ui/dialog.h"

namespace {

constexpr int kIconPadding = 3;

// The hot-tracking colours of classic desktop menus and toolbars.
const QColor kHotBorder(49, 106, 197);
const QColor kHotFill(193, 210, 238);
const QColor kDownFill(152, 181, 226);

QAction* AddCommandAction(QMenu& menu, int id, const QString& text) {
  QAction* action = menu.addAction(text);
  action->setData(id);
  return action;
}

}  // namespace

CIconButton::CIconButton(const QIcon& icon, const QString& text, QWidget* parent)
    : QAbstractButton(parent) {
  setIcon(icon);
  setText(text);
  setIconSize(QSize(16, 16));
  setAttribute(Qt::WA_Hover);
}

QSize CIconButton::sizeHint() const {
  QSize size = iconSize() + QSize(2 * kIconPadding, 2 * kIconPadding);
  if (!text().isEmpty()) size.rwidth() += fontMetrics().horizontalAdvance(text()) + kIconPadding;
  size.setHeight(std::max(size.height(), fontMetrics().height() + 2 * kIconPadding));
  return size;
}

void CIconButton::enterEvent(QEnterEvent* event) {
  m_bHot = true;
  update();
  QAbstractButton::enterEvent(event);
}

void CIconButton::leaveEvent(QEvent* event) {
  m_bHot = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void CIconButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const bool sunk = isDown() || isChecked();
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  if (isEnabled() && (sunk || m_bHot)) {
    painter.setPen(sunk ? palette().color(QPalette::Dark) : palette().color(QPalette::Mid));
    painter.setBrush(sunk ? palette().color(QPalette::Midlight) : palette().color(QPalette::Light));
    painter.drawRect(frame);
  }
  // A pressed button's content moves down and right by a pixel, as on a key.
  const int shift = sunk ? 1 : 0;
  const QIcon::Mode mode =
      !isEnabled() ? QIcon::Disabled : (m_bHot ? QIcon::Active : QIcon::Normal);
  const QIcon::State state = isChecked() ? QIcon::On : QIcon::Off;
  QRect iconRect(QPoint(kIconPadding + shift, (height() - iconSize().height()) / 2 + shift),
                 iconSize());
  if (text().isEmpty()) iconRect.moveLeft((width() - iconSize().width()) / 2 + shift);
  icon().paint(&painter, iconRect, Qt::AlignCenter, mode, state);
  if (!text().isEmpty()) {
    const QRect textRect(iconRect.right() + 1 + kIconPadding, shift,
                         width() - iconRect.right() - 1 - kIconPadding, height());
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text());
  }
}

CMenuButton::CMenuButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent), m_menu(this) {
  setMenu(&m_menu);
  connect(&m_menu, &QMenu::triggered, this,
          [this](QAction* action) { emit Command(action->data().toInt()); });
}

QAction* CMenuButton::AddMenuItem(int id, const QString& text) {
  return AddCommandAction(m_menu, id, text);
}

void CMenuButton::AddSeparator() { m_menu.addSeparator(); }

void CMenuButton::SetCheckedItem(int id) {
  for (QAction* action : m_menu.actions()) {
    if (action->isSeparator()) continue;
    action->setCheckable(true);
    action->setChecked(action->data().toInt() == id);
  }
}

CXPButtonMenu::CXPButtonMenu(const QIcon& icon, const QString& text, QWidget* parent)
    : QToolButton(parent), m_menu(this) {
  setIcon(icon);
  setText(text);
  setToolButtonStyle(text.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
  setAutoRaise(true);
  setPopupMode(QToolButton::MenuButtonPopup);
  setMenu(&m_menu);
  connect(&m_menu, &QMenu::triggered, this,
          [this](QAction* action) { emit Command(action->data().toInt()); });
}

QAction* CXPButtonMenu::AddMenuItem(int id, const QString& text) {
  return AddCommandAction(m_menu, id, text);
}

void CXPButtonMenu::AddSeparator() { m_menu.addSeparator(); }

void CXPButtonMenu::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionToolButton option;
  initStyleOption(&option);
  // The same parts QToolButton uses to tell a click on the arrow apart.
  const QRect buttonRect =
      style()->subControlRect(QStyle::CC_ToolButton, &option, QStyle::SC_ToolButton, this);
  const QRect arrowRect =
      style()->subControlRect(QStyle::CC_ToolButton, &option, QStyle::SC_ToolButtonMenu, this);

  const bool hot = isEnabled() && (option.state & QStyle::State_MouseOver);
  const bool down = isDown() || (option.activeSubControls & QStyle::SC_ToolButtonMenu &&
                                 option.state & QStyle::State_Sunken);
  if (hot || down || isChecked()) {
    painter.setPen(kHotBorder);
    painter.setBrush(down || isChecked() ? kDownFill : kHotFill);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.drawLine(arrowRect.topLeft(), arrowRect.bottomLeft());
  }

  const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
  QRect iconRect(buttonRect.left() + kIconPadding,
                 buttonRect.top() + (buttonRect.height() - iconSize().height()) / 2,
                 iconSize().width(), iconSize().height());
  if (toolButtonStyle() == Qt::ToolButtonIconOnly)
    iconRect.moveLeft(buttonRect.left() + (buttonRect.width() - iconSize().width()) / 2);
  icon().paint(&painter, iconRect, Qt::AlignCenter, mode);
  if (toolButtonStyle() != Qt::ToolButtonIconOnly) {
    const QRect textRect(iconRect.right() + 1 + kIconPadding, buttonRect.top(),
                         buttonRect.right() - iconRect.right() - kIconPadding, buttonRect.height());
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text());
  }

  QStyleOption arrow;
  arrow.initFrom(this);
  arrow.rect = arrowRect.adjusted(2, 0, -1, 0);
  painter.drawPrimitive(QStyle::PE_IndicatorArrowDown, arrow);
}

CHyperlink::CHyperlink(QLabel* label, const QString& url, int commandId)
    : QObject(label), m_label(label), m_url(url), m_nCommandId(commandId) {
  QFont font = label->font();
  font.setUnderline(true);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
  label->setPalette(palette);
  label->setCursor(Qt::PointingHandCursor);
  label->setFocusPolicy(Qt::TabFocus);
  // The whole label is the link, so its text is shown as it stands.
  label->setTextFormat(Qt::PlainText);
  label->installEventFilter(this);
}

void CHyperlink::SetUrl(const QString& url, int commandId) {
  m_url = url;
  m_nCommandId = commandId;
}

int CHyperlink::Activate() {
  if (!m_url.isEmpty()) return QDesktopServices::openUrl(QUrl::fromUserInput(m_url)) ? 1 : 0;
  // The command may close the dialog and delete the label with this link.
  QPointer<CHyperlink> self(this);
  const int id = m_nCommandId;
  if (auto* dialog = qobject_cast<CDialog*>(m_label->window())) dialog->SendCommand(id);
  if (self) emit Command(id);
  return 1;
}

bool CHyperlink::eventFilter(QObject* watched, QEvent* event) {
  if (watched != m_label) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    case QEvent::MouseButtonRelease: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) return false;
      // Released outside the label: the click was taken back.
      if (m_label->rect().contains(mouse->position().toPoint())) Activate();
      return true;
    }
    case QEvent::KeyPress: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space) return false;
      Activate();
      return true;
    }
    default:
      return false;
  }
}

namespace {

CHyperlink* Convert(QLabel* label, const QString& url, int commandId) {
  if (!label) return nullptr;
  if (auto* known = label->findChild<CHyperlink*>(QString(), Qt::FindDirectChildrenOnly)) {
    known->SetUrl(url, commandId);
    return known;
  }
  return new CHyperlink(label, url, commandId);
}

}  // namespace

CHyperlink* ConvertStaticToHyperlink(QLabel* label, const QString& url) {
  return Convert(label, url, 0);
}

CHyperlink* ConvertStaticToHyperlink(QLabel* label, int commandId) {
  return Convert(label, QString(), commandId);
}
