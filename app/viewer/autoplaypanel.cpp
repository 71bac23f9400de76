#include "viewer/autoplaypanel.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

namespace {

QToolButton* MakeButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& tip) {
  auto* button = new QToolButton(parent);
  button->setIcon(parent->style()->standardIcon(icon));
  button->setToolTip(tip);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

CAutoplayPanel::CAutoplayPanel(QWidget* parent)
    : QWidget(parent),
      m_pBackward(MakeButton(this, QStyle::SP_MediaSeekBackward, tr("Play backward"))),
      m_pPlayPause(MakeButton(this, QStyle::SP_MediaPause, tr("Pause"))),
      m_pForward(MakeButton(this, QStyle::SP_MediaSeekForward, tr("Play forward"))),
      m_pSlide(new QLineEdit(this)) {
  setObjectName(QStringLiteral("AutoplayPanel"));
  setAutoFillBackground(true);
  m_pBackward->setCheckable(true);
  m_pForward->setCheckable(true);
  m_pForward->setChecked(true);
  m_pSlide->setReadOnly(true);
  m_pSlide->setFocusPolicy(Qt::NoFocus);
  m_pSlide->setAlignment(Qt::AlignCenter);
  m_pSlide->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000 / 00000")) + 12);
  m_pSlide->setToolTip(tr("Slide number"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(2);
  layout->addWidget(m_pBackward);
  layout->addWidget(m_pPlayPause);
  layout->addWidget(m_pForward);
  layout->addWidget(m_pSlide);
  connect(m_pBackward, &QToolButton::clicked, this, &CAutoplayPanel::Backward);
  connect(m_pForward, &QToolButton::clicked, this, &CAutoplayPanel::Forward);
  connect(m_pPlayPause, &QToolButton::clicked, this, &CAutoplayPanel::PlayPause);
  adjustSize();
  hide();
}

void CAutoplayPanel::SetSlide(int nSlide, int nCount) {
  m_pSlide->setText(QStringLiteral("%1 / %2").arg(nSlide).arg(nCount));
}

QString CAutoplayPanel::SlideText() const { return m_pSlide->text(); }

void CAutoplayPanel::SetPlaying(bool bPlaying) {
  m_pPlayPause->setIcon(
      style()->standardIcon(bPlaying ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
  m_pPlayPause->setToolTip(bPlaying ? tr("Pause") : tr("Play"));
}

void CAutoplayPanel::SetBackward(bool bBackward) {
  m_pBackward->setChecked(bBackward);
  m_pForward->setChecked(!bBackward);
}

void CAutoplayPanel::Place() {
  QWidget* parent = parentWidget();
  if (!parent) return;
  adjustSize();
  move((parent->width() - width()) / 2, std::max(0, parent->height() - height() - 16));
  raise();
}
