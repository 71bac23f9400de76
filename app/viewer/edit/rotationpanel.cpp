#include "viewer/edit/rotationpanel.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CRotationPanel::CRotationPanel(QWidget* owner)
    : QWidget(owner, Qt::Tool),
      m_pAngle(new QLineEdit(QStringLiteral("0"), this)),
      m_pApply(new QPushButton(tr("Apply"), this)) {
  setObjectName(QStringLiteral("RotationPanel"));
  setWindowTitle(tr("Arbitrary Rotation"));
  m_pAngle->setObjectName(QStringLiteral("Angle"));
  m_pAngle->setMaxLength(16);
  m_pAngle->setMinimumWidth(70);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(new QLabel(tr("Angle :"), this));
  layout->addWidget(m_pAngle);
  layout->addWidget(new QLabel(tr("degrees"), this));
  layout->addWidget(m_pApply);
  m_pApply->setDefault(true);
  connect(m_pApply, &QPushButton::clicked, this, &CRotationPanel::ApplyClicked);
  connect(m_pAngle, &QLineEdit::returnPressed, this, &CRotationPanel::ApplyClicked);
}

MyString CRotationPanel::AngleText() const { return MyString::FromQString(m_pAngle->text()); }

void CRotationPanel::SetAngleText(const MyString& text) { m_pAngle->setText(text.ToQString()); }

void CRotationPanel::closeEvent(QCloseEvent* event) {
  emit Closed();
  QWidget::closeEvent(event);
}

void CRotationPanel::keyPressEvent(QKeyEvent* event) {
  // A tool window may have no title bar to close it by.
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}
